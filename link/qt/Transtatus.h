// The transfer progress dialog: status text, gauge, OK once every block went
// through, Cancel (and closing) sets the link's userAbort.
#pragma once

#include <QDialog>

#include "link/LinkEngine.h"
#include "link/Transtatus.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvalink {

class TTranStaFm final : public QDialog, public TransferProgress {
    Q_OBJECT
public:
    TTranStaFm(LinkEngine& link, QWidget* parent = nullptr);

    void Open(const std::string& status, int maximum) override;
    void SetPosition(int position) override;
    void Succeeded() override;
    bool Closed() const override { return closed_; }
    void Release() override;

    QPushButton* OkButton() const { return m_OkBtn; }
    QPushButton* CancelButton() const { return m_CancelBtn; }
    int Position() const;

    void m_OkBtnClick();
    void m_CancelBtnClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override { m_CancelBtnClick(); }

private:
    LinkEngine& link_;
    bool closed_ = true;
    QLabel* m_StatusLbe = nullptr;
    QProgressBar* m_Gauge = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
};

}  // namespace orvalink
