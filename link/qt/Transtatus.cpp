#include "link/qt/Transtatus.h"

#include <QCloseEvent>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvalink {

namespace {
// A dialog border with only the title: no close, minimise or maximise
// boxes; it stays above the main window.
constexpr Qt::WindowFlags kDialogFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint;
}  // namespace

TTranStaFm::TTranStaFm(LinkEngine& link, QWidget* mainWindow, std::function<void(bool)> enableMain)
    : QDialog(mainWindow, kDialogFlags), link_(link), mainWindow_(mainWindow), enableMain_(std::move(enableMain)) {
    setWindowTitle(QStringLiteral("Transmission Status"));
    setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(this);
    StsLbe = new QLabel(QStringLiteral("Download from Remote"), this);
    QFont large = StsLbe->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    large.setBold(true);
    StsLbe->setFont(large);
    layout->addWidget(StsLbe);
    auto* progressLabel = new QLabel(QStringLiteral("Progress:"), this);
    layout->addWidget(progressLabel);
    m_CGue = new QProgressBar(this);
    m_CGue->setMinimumWidth(320);
    m_CGue->setAccessibleName(QStringLiteral("Progress"));
    progressLabel->setBuddy(m_CGue);
    layout->addWidget(m_CGue);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_OkBtn = new QPushButton(QStringLiteral("OK"), this);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    m_OkBtn->setEnabled(false);
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    layout->addLayout(buttons);
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
}

TTranStaFm::~TTranStaFm() { GiveBackMainWindow(); }

void TTranStaFm::GiveBackMainWindow() {
    if (!holdsMain_) return;
    holdsMain_ = false;
    if (enableMain_) enableMain_(true);
}

void TTranStaFm::Centre() {
    adjustSize();
    if (!mainWindow_) return;
    const QRect main = mainWindow_->frameGeometry();
    move(main.center() - QPoint(width() / 2, height() / 2));
}

void TTranStaFm::Open(const std::string& status, int maximum) {
    if (!holdsMain_ && enableMain_) {
        enableMain_(false);
        holdsMain_ = true;
    }
    StsLbe->setText(QString::fromStdString(status));
    m_CGue->setRange(0, maximum > 0 ? maximum : 1);
    m_CGue->setValue(0);
    m_OkBtn->setEnabled(false);
    m_CancelBtn->setEnabled(true);
    closed_ = false;
    Centre();
    show();
    raise();
    activateWindow();
}

void TTranStaFm::SetPosition(int position) { m_CGue->setValue(position); }

int TTranStaFm::Position() const { return m_CGue->value(); }

void TTranStaFm::Succeeded() {
    m_CGue->setValue(m_CGue->maximum());
    m_CancelBtn->setEnabled(false);
    m_OkBtn->setEnabled(true);
    m_OkBtn->setDefault(true);
    m_OkBtn->setFocus();
}

void TTranStaFm::Release() {
    m_CGue->setValue(0);
    closed_ = true;
    hide();
    GiveBackMainWindow();
}

void TTranStaFm::m_OkBtnClick() {
    GiveBackMainWindow();
    closed_ = true;
    hide();
}

void TTranStaFm::m_CancelBtnClick() {
    GiveBackMainWindow();
    link_.SetUserAbort(true);
    closed_ = true;
    hide();
}

void TTranStaFm::closeEvent(QCloseEvent* event) {
    // Closing the dialog while blocks still move cancels the transfer.
    if (m_CancelBtn->isEnabled()) link_.SetUserAbort(true);
    GiveBackMainWindow();
    closed_ = true;
    event->accept();
}

}  // namespace orvalink
