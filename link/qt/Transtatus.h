// The transfer progress dialog "Transmission Status": status text, gauge,
// OK once every block went through, Cancel (and closing) sets the link's
// userAbort. While it is open the main window is disabled; it stands modal
// and on top, centred on the main window.
#pragma once

#include <QDialog>

#include <functional>

#include "link/LinkEngine.h"
#include "link/Transtatus.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvalink {

class TTranStaFm final : public QDialog, public TransferProgress {
    Q_OBJECT
public:
    // `mainWindow` places the dialog (it may be null); `enableMain` disables
    // the main window while the dialog is open and enables it again.
    TTranStaFm(LinkEngine& link, QWidget* mainWindow, std::function<void(bool)> enableMain = {});
    ~TTranStaFm() override;

    void Open(const std::string& status, int maximum) override;
    void SetPosition(int position) override;
    void Succeeded() override;
    bool Closed() const override { return closed_; }
    void Release() override;

    QPushButton* OkButton() const { return m_OkBtn; }
    QPushButton* CancelButton() const { return m_CancelBtn; }
    QLabel* StatusLabel() const { return StsLbe; }
    int Position() const;

    void m_OkBtnClick();
    void m_CancelBtnClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { m_CancelBtnClick(); }

private:
    // The main window is given back exactly once per opening.
    void GiveBackMainWindow();
    void Centre();

    LinkEngine& link_;
    QWidget* mainWindow_;
    std::function<void(bool)> enableMain_;
    bool holdsMain_ = false;
    bool closed_ = true;
    QLabel* StsLbe = nullptr;
    QProgressBar* m_CGue = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
};

}  // namespace orvalink
