// The two dialogs of the code page that give a key a code it did not learn:
// "Make code" (a protocol and its numbers) and "Import code" (a signal of a
// shared IR file). Both show the code as the key would hold it, its
// waveform and what it reads as, before OK; OK on a code the remote cannot
// hold says why and keeps the dialog open. The rules are KeyCodeSources'.
#pragma once

#include <QDialog>

#include <vector>

#include "editors/core/KeyCodeSources.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace orvalink {

class BtnWaveform;
class Random;
class UiServices;

// What both dialogs show below their choice: what the code reads as (or why
// the remote cannot hold it) and its waveform; and OK and Cancel.
class BtnCodeChoice : public QDialog {
    Q_OBJECT
public:
    // The code OK puts on the key (valid after accept()).
    const KeyCodeCandidate& Candidate() const { return candidate_; }
    const KeyCodeOutcome& Outcome() const { return outcome_; }

    // ---- User events.
    void m_OkBtnClick();
    void m_CancelBtnClick() { reject(); }

    QLabel* ResultText() const { return m_resultLbe; }
    BtnWaveform* Chart() const { return m_Cht; }
    QPushButton* OkButton() const { return m_OkBtn; }

protected:
    BtnCodeChoice(UiServices& ui, Random& random, const KeyInfo& key, const QString& title, QWidget* parent);
    // Puts the chart, the result and the buttons below `choice`.
    void Finish(QLayout* choice);
    // Shows the code a choice makes, or why there is none.
    void ShowOutcome(const KeyCodeOutcome& outcome, const KeyCodeCandidate& candidate);

    const KeyInfo& key_;

private:
    UiServices& ui_;
    Random& random_;
    KeyCodeCandidate candidate_;
    KeyCodeOutcome outcome_{KeyCodeRefusal::NoCode, "Nothing is chosen."};
    QLabel* m_resultLbe = nullptr;
    BtnWaveform* m_Cht = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
};

// "Make code": protocol, device, sub-device (where the protocol has one),
// function and toggle (where the protocol has one).
class TMakeCodeFm : public BtnCodeChoice {
    Q_OBJECT
public:
    TMakeCodeFm(UiServices& ui, Random& random, const KeyInfo& key, QWidget* parent);

    // Picks a protocol by its place in the list and sets the numbers (the
    // tests and a person alike go through the boxes).
    QComboBox* ProtocolBox() const { return m_protocolCBox; }
    QSpinBox* DeviceBox() const { return m_deviceEdt; }
    QSpinBox* SubDeviceBox() const { return m_subDeviceEdt; }
    QSpinBox* FunctionBox() const { return m_functionEdt; }
    QCheckBox* ToggleBox() const { return m_toggleChk; }

    // ---- User events.
    void m_protocolCBoxChange();
    void m_NumberChange();

private:
    std::vector<IrDecoded> protocols_;
    QComboBox* m_protocolCBox = nullptr;
    QSpinBox* m_deviceEdt = nullptr;
    QSpinBox* m_subDeviceEdt = nullptr;
    QSpinBox* m_functionEdt = nullptr;
    QCheckBox* m_toggleChk = nullptr;
};

// "Import code": the signals of a file by name with their protocol.
class TImportCodeFm : public BtnCodeChoice {
    Q_OBJECT
public:
    TImportCodeFm(UiServices& ui, Random& random, const KeyInfo& key, const QString& fileName,
                  std::vector<IrSignal> found, QWidget* parent);

    QTableWidget* SignalGrid() const { return m_signalGrid; }

    // ---- User events.
    void m_signalGridSelect(int row);

private:
    std::vector<IrSignal> signals_;
    QTableWidget* m_signalGrid = nullptr;
};

}  // namespace orvalink
