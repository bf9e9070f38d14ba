#include "link/qt/Transtatus.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink {

TTranStaFm::TTranStaFm(LinkEngine& link, QWidget* parent) : QDialog(parent), link_(link) {
    setWindowTitle(QStringLiteral("Transfer"));
    auto* layout = new QVBoxLayout(this);
    m_StatusLbe = new QLabel(this);
    m_Gauge = new QProgressBar(this);
    m_Gauge->setMinimumWidth(320);
    layout->addWidget(m_StatusLbe);
    layout->addWidget(m_Gauge);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_OkBtn = new QPushButton(QStringLiteral("OK"), this);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    layout->addLayout(buttons);
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
}

void TTranStaFm::Open(const std::string& status, int maximum) {
    m_StatusLbe->setText(QString::fromStdString(status));
    m_Gauge->setRange(0, maximum > 0 ? maximum : 1);
    m_Gauge->setValue(0);
    m_OkBtn->setEnabled(false);
    m_CancelBtn->setEnabled(true);
    closed_ = false;
    show();
}

void TTranStaFm::SetPosition(int position) { m_Gauge->setValue(position); }

int TTranStaFm::Position() const { return m_Gauge->value(); }

void TTranStaFm::Succeeded() {
    m_Gauge->setValue(m_Gauge->maximum());
    m_CancelBtn->setEnabled(false);
    m_OkBtn->setEnabled(true);
    m_OkBtn->setDefault(true);
}

void TTranStaFm::Release() {
    m_Gauge->setValue(0);
    closed_ = true;
    hide();
}

void TTranStaFm::m_OkBtnClick() {
    closed_ = true;
    hide();
}

void TTranStaFm::m_CancelBtnClick() {
    link_.userAbort = true;
    closed_ = true;
    hide();
}

void TTranStaFm::closeEvent(QCloseEvent* event) {
    // Closing the dialog while blocks still move cancels the transfer.
    if (m_CancelBtn->isEnabled()) link_.userAbort = true;
    closed_ = true;
    event->accept();
}

}  // namespace orvalink
