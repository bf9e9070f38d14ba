// The start dialog: begin with the default document, an existing document,
// or a download from the remote.
#pragma once

#include <QDialog>

#include "app/AppServices.h"

class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace orvalink {

class TMainFm;

class TDoYouKnowFm : public QDialog {
    Q_OBJECT
public:
    // `familyCode` is the start-up choice's family (2000 for the QM-5100 line).
    TDoYouKnowFm(const AppServices& services, TMainFm& main, uint16_t familyCode, QWidget* parent = nullptr);

    // Disables the main window and shows the dialog after its 800 ms timer.
    void Start();

    QRadioButton* NewButton() const { return m_RBtn1; }
    QRadioButton* OpenButton() const { return m_RBtn2; }
    QRadioButton* DownloadButton() const { return m_RBtn3; }
    QLineEdit* NameEdit() const { return m_NameEdt; }
    QPushButton* BrowseButton() const { return m_BrowseBtn; }

    void m_BrowseBtnClick();
    void m_YesBtnClick();
    void m_CancelBtnClick();
    void m_RBtnClick();

signals:
    // A start succeeded (the main window holds its document).
    void Started();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    bool StartNewDefault();
    bool StartOpenExisting();
    bool StartDownload();
    // Selects the QM-5100 image and gives the template path (empty for other families).
    std::string PrepareDefault();
    // Loads a document into the image; a file that does not load is said so.
    bool LoadStartDocument(const std::string& path);
    void Warn(const std::string& text);

    AppServices services_;
    TMainFm& main_;
    uint16_t familyCode_;
    bool finished_ = false;
    QRadioButton* m_RBtn1 = nullptr;
    QRadioButton* m_RBtn2 = nullptr;
    QRadioButton* m_RBtn3 = nullptr;
    QLineEdit* m_NameEdt = nullptr;
    QPushButton* m_BrowseBtn = nullptr;
    QPushButton* m_YesBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace orvalink
