// The "Code" page of Button Properties: the key's IR code shown (type,
// carrier, protocol and waveform), learned through the remote, shot to test
// it, loaded from a file, and copied and pasted as Pronto Hex. A code
// learned, loaded or pasted becomes the key's code at once.
#pragma once

#include <QPointer>
#include <QWidget>

#include "editors/BtnShared.h"

class QDialog;
class QLabel;
class QPushButton;
class QStatusBar;

namespace orvalink {

class BtnIrSession;
class BtnWaveform;
class TImportCodeFm;
class TMakeCodeFm;

class TBtnCodePage : public QWidget {
    Q_OBJECT
public:
    TBtnCodePage(BtnOpenKey& open, BtnIrSession& session, const BtnServices& services, QStatusBar& status,
                 QWidget* parent);

    // Shows the open key's code, when it holds one.
    void ShowKeyCode();
    // The code type, carrier and protocol of `code` (the cycle page shows
    // its steps' codes there too).
    void ShowCodeValues(const IrCodeInfo& code);
    // No code: the values and the waveform empty.
    void ClearCode();
    // While learning the learning, loading and sending buttons are off; the
    // leave button is on while this page (`own`) learns.
    void SetLearningControls(bool learning, bool own);
    // OK and Cancel of Button Properties: a Make or Import dialog still
    // open is cancelled with them.
    void CloseDialogs();

    // ---- User events.
    void m_LearnBtnClick();
    void m_LeaveBtnClick();
    void m_ShootBtnDown();
    void m_ShootBtnUp();
    void m_LoadIRBtnClick();
    void m_ProntoCopyBtnClick();
    void m_ProntoPasteBtnClick();
    // "Make code…" and "Import code…" open their dialog (window-modal, not
    // waiting); its OK puts the code on the key.
    void m_MakeCodeBtnClick();
    void m_ImportCodeBtnClick();
    void m_ExportCodeBtnClick();

    // ---- The parts, for the tests.
    QLabel* CodeTypeText() const { return m_codeTypeTxt; }
    QLabel* CarrierText() const { return m_codeCarryTxt; }
    QLabel* ProtocolText() const { return m_protocolTxt; }
    BtnWaveform* Chart() const { return m_Cht; }
    QPushButton* LearnButton() const { return m_LearnBtn; }
    QPushButton* ShootButton() const { return m_ShootBtn; }
    QPushButton* MakeCodeButton() const { return m_MakeCodeBtn; }
    QPushButton* ImportCodeButton() const { return m_ImportCodeBtn; }
    QPushButton* ExportCodeButton() const { return m_ExportCodeBtn; }
    // The dialog open now, if any.
    TMakeCodeFm* MakeDialog() const;
    TImportCodeFm* ImportDialog() const;

private:
    void Build();
    void Say(const QString& text);
    // A learned, loaded or pasted code as the key's code; `source` names it
    // on the status bar.
    bool StoreLearned(const LearnedCode& learned, const QString& source);
    void ShowCode(const IrCodeInfo& code);
    void OpenBesideTheKey(QDialog* dialog);

    BtnOpenKey& open_;
    BtnIrSession& session_;
    UiServices& ui_;
    Random& random_;
    QStatusBar& status_;
    std::function<std::string(int device)> deviceName_;
    QPointer<QDialog> makeFm_;
    QPointer<QDialog> importFm_;

    QLabel* m_codeTypeTxt = nullptr;
    QLabel* m_codeCarryTxt = nullptr;
    QLabel* m_protocolTxt = nullptr;
    QPushButton* m_LearnBtn = nullptr;
    QPushButton* m_LeaveBtn = nullptr;
    QPushButton* m_ShootBtn = nullptr;
    QPushButton* m_LoadIRBtn = nullptr;
    QPushButton* m_ProntoCopyBtn = nullptr;
    QPushButton* m_ProntoPasteBtn = nullptr;
    QPushButton* m_MakeCodeBtn = nullptr;
    QPushButton* m_ImportCodeBtn = nullptr;
    QPushButton* m_ExportCodeBtn = nullptr;
    BtnWaveform* m_Cht = nullptr;
};

}  // namespace orvalink
