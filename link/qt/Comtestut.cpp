#include "link/qt/Comtestut.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QVBoxLayout>

#include "formats/FileKinds.h"
#include "formats/ModelCatalogue.h"
#include "formats/SideFiles.h"
#include "formats/ServiceFileCommands.h"
#include "link/qt/FilePages.h"
#include "link/qt/TestPage.h"
#include "link/qt/Transtatus.h"
#include "link/qt/UpgradePage.h"
#include "platform/qt/QtHttpClient.h"
#include "platform/UiServices.h"
#if defined(ORVALINK_HAVE_UDEV)
#include "platform/qt/UdevDeviceNotifier.h"
#endif

namespace orvalink {

namespace {

// Tray pictures: 0 no port, 1 the cable's port is there.
QIcon TrayPicture(int image) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(image == 1 ? QColor(40, 170, 60) : QColor(150, 150, 150));
    p.drawRoundedRect(3, 1, 10, 14, 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(5, 3, 6, 4);
    return QIcon(pm);
}

}  // namespace

TComTestFm::TComTestFm(const std::filesystem::path& programFolder, UiServices& ui, Clock& clock, TTiFlashFm& flash,
                       Registry& registry, QWidget* parent)
    : QWidget(parent),
      programFolder_(programFolder),
      ui_(ui),
      clock_(clock),
      registry_(registry),
      port_([this](int n) { return registry_.PortPath(n); }),
      trace_(clock),
      link_(std::make_unique<LinkEngine>(port_, pump_, registry_, ui, clock, *this, trace_)),
      flash_(flash),
      transfers_(*link_, flash),
      older_(std::make_unique<TFlashFm>()) {
    setWindowTitle(QStringLiteral("Communications"));
    BuildPages();
    http_ = std::make_unique<QtHttpClient>();
    upgradeRunner_ = std::make_unique<LinkUpgradeRunner>(*link_, flash_);
    upgradePage_ = new UpgradePage(programFolder_, ui, clock, flash_, *http_, *upgradeRunner_, pages_);
    upgradePage_->UseOlderFlash(older_->flash.bytes);
    // The "32k Boot Mode" panel's Write: the ROM boot mode writer with the
    // panel's loader (our default until "Load 2k Prg") and program.
    testPage_->SetBootWriter([this](std::span<const uint8_t> loader, std::span<const uint8_t> program) {
        UpgradeBuffers& buffers = upgradeRunner_->Buffers();
        if (!loader.empty()) buffers.SetLoader(loader);
        if (!program.empty()) buffers.SetProgram(program);
        const TransferOutcome outcome = upgradeRunner_->RunButton(UpgradeButton::RomBootWrite, buffers.kind);
        for (const LinkReport& r : UpgradeButtonReports(UpgradeButton::RomBootWrite, outcome)) ui_.Inform(r.text, r.icon);
    });
    pages_->insertTab(0, upgradePage_, QStringLiteral("Upgrade  Flash Memory"));
    pages_->setCurrentIndex(0);
    LinkTryIcon = new QSystemTrayIcon(TrayPicture(0), this);
    if (QSystemTrayIcon::isSystemTrayAvailable()) LinkTryIcon->show();
#if defined(ORVALINK_HAVE_UDEV)
    auto udev = std::make_unique<UdevDeviceNotifier>(this);
    udev->SetHandler([this](const DeviceChangeEvent& e) {
        registry_.Refresh();
        link_->Discovery().OnDeviceChange(e);
    });
    notifier_ = std::move(udev);
#endif
    CreateSignalFile(programFolder_);
    LoadModelList();
    // The cable may already be plugged in.
    int number = 0;
    if (link_->FindVisualComPort(number)) SetTrayImage(1);
}

TComTestFm::~TComTestFm() {
    // Closing the window as it goes hides the page after these members are gone.
    testPage_->SetMonitorRunning({});
    link_->CloseLinkPort();
    // A recording still running ends with the program and keeps its file.
    std::string why;
    if (traceFile_.IsOpen()) StopLinkTrace(why);
    DeleteSignalFile(programFolder_);
}

void TComTestFm::closeEvent(QCloseEvent* event) {
    if (pump_.Waiting()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TComTestFm::BuildPages() {
    auto* layout = new QVBoxLayout(this);
    pages_ = new QTabWidget(this);
    layout->addWidget(pages_);

    // File page: security, X and S files.
    m_FilePages = new FilePages(programFolder_, ui_, clock_, flash_, *older_, pages_);
    pages_->addTab(m_FilePages, QStringLiteral("File"));

    // The serial test page and the loop-back page.
    testPage_ = new TSerialTestPage(*link_, ui_, link_->GetClock(), programFolder_,
                                    [this](int n) { return registry_.PortPath(n); }, pages_);
    testPage_->UseOlderFlash(older_->flash.bytes);
    testPage_->UseMonitorTrace(monitorTrace_);
    testPage_->SetMonitorRunning([this](bool running) { SetMonitorRunning(running); });
    Receive1Mo = testPage_->Receive1Mo;
    m_ComPortCBox = testPage_->m_ComPortCBox;
    m_BaudRateCBox = testPage_->m_BaudRateCBox;
    connect(m_ComPortCBox, &QComboBox::textActivated, this, [this](const QString& t) { ComPortCBoxChange(t); });
    connect(m_BaudRateCBox, &QComboBox::textActivated, this, [this](const QString& t) { BaudRateCBoxChange(t); });
    pages_->addTab(testPage_, QStringLiteral("SerialPortTest"));
    pages_->addTab(testPage_->LoopPage(), QStringLiteral("MX-1090"));

    // Discovery page: the log of the port search.
    auto* discovery = new QWidget(pages_);
    auto* d = new QVBoxLayout(discovery);
    m_ComMemo = new QPlainTextEdit(discovery);
    m_ComMemo->setReadOnly(true);
    d->addWidget(m_ComMemo);
    auto* buttons = new QHBoxLayout;
    auto* action = new QPushButton(QStringLiteral("&Action"), discovery);
    auto* clear = new QPushButton(QStringLiteral("&Clear Message"), discovery);
    action->setAccessibleName(QStringLiteral("Action"));
    clear->setAccessibleName(QStringLiteral("Clear Message"));
    m_ComMemo->setAccessibleName(QStringLiteral("Port search log"));
    buttons->addWidget(action);
    buttons->addWidget(clear);
    buttons->addStretch();
    d->addLayout(buttons);
    connect(action, &QPushButton::clicked, this, [this] { m_ActionBtnClick(); });
    connect(clear, &QPushButton::clicked, this, [this] { m_ClearBtnClick(); });
    pages_->addTab(discovery, QStringLiteral("Com Port"));

    // Close hands the main window back (the close box does the same).
    auto* bottom = new QHBoxLayout;
    auto* closeBtn = new QPushButton(QStringLiteral("Close"), this);
    closeBtn->setAccessibleName(QStringLiteral("Close"));
    bottom->addStretch();
    bottom->addWidget(closeBtn);
    layout->addLayout(bottom);
    connect(closeBtn, &QPushButton::clicked, this, [this] { close(); });
    resize(720, 660);
}

void TComTestFm::LoadModelList() {
    std::vector<std::string> names;
    if (ReadTypeIni(programFolder_ / kTypeIniFile, names)) {
        upgradePage_->SetModelNames(names);
        return;
    }
    ui_.Inform(" File : \"type.ini\" not found !   ", MsgIcon::Error);
    for (std::string_view n : DefaultUpgradeModelList()) names.emplace_back(n);
    upgradePage_->SetModelNames(names);
}

TransferOutcome TComTestFm::DownloadFromRemote() {
    TTranStaFm dialog(*link_, mainWindow_, enableMain_);
    return transfers_.DownloadFromRemote(dialog);
}

TransferOutcome TComTestFm::UploadToRemote(int kind) {
    TTranStaFm dialog(*link_, mainWindow_, enableMain_);
    return transfers_.UploadToRemote(dialog, kind);
}

UploadOutcome TComTestFm::UploadAndVerify(int kind, bool verify) {
    TTranStaFm dialog(*link_, mainWindow_, enableMain_);
    return transfers_.UploadAndVerify(dialog, kind, verify);
}

void TComTestFm::SetVerifyWrites(bool on) { upgradeRunner_->Buffers().verify = on; }

void TComTestFm::m_ActionBtnClick() {
    int number = 0;
    link_->FindVisualComPort(number);
}

void TComTestFm::m_ClearBtnClick() { m_ComMemo->clear(); }

void TComTestFm::ComPortCBoxChange(const QString& qtext) {
    const std::string text = qtext.toStdString();
    if (text.size() >= 4 && text[3] != 'o' && port_.IsOpen()) {
        link_->Discovery().UsePortNumber(PortNumberFromName(text));
        return;
    }
    const PortDiscovery::Opened opened = link_->Discovery().OpenDiscoveredPort();
    if (!opened.found) return;
    if (opened.number >= 1 && opened.number <= 32)
        Receive1Mo->appendPlainText(QString::number(opened.number) + QStringLiteral("\n"));
    else
        ui_.Inform("Visual ComPort Not Found ! Please Checking again!", MsgIcon::Error);
}

void TComTestFm::BaudRateCBoxChange(const QString& text) {
    link_->Discovery().SetBaudRate(LeadingNumber(text.toStdString()));
}

void TComTestFm::ProgressChanged(int position) { upgradePage_->SetGauge(position); }
void TComTestFm::ProgressRange(int maximum) { upgradePage_->SetGaugeMaximum(maximum); }

void TComTestFm::DiscoveryStarted() { m_ComMemo->clear(); }
void TComTestFm::DiscoveryLog(const std::string& text) { m_ComMemo->appendPlainText(QString::fromStdString(text)); }
void TComTestFm::AdapterSeen(const std::string& hint) { SetTrayHint(hint); }

void TComTestFm::PortFound(const std::string& name, const std::string& hint) {
    SelectPortText(name);
    SetTrayImage(1);
    SetTrayHint(hint);
}

void TComTestFm::PortArrived(const std::string& hint) {
    SetTrayImage(1);
    SetTrayHint(hint);
}

void TComTestFm::PortLost(const std::string& hint) {
    SelectPortText("Auto");
    SetTrayImage(0);
    SetTrayHint(hint);
}

void TComTestFm::BytesSent(const std::string& hex) {
    MonitorTouched();
    Receive1Mo->appendPlainText(QString::fromStdString(hex));
}
void TComTestFm::MonitorWrapped() {
    MonitorTouched();
    Receive1Mo->clear();
    monitorTrace_.Clear();
}
void TComTestFm::PacketLog(const std::string& text) {
    MonitorTouched();
    Receive1Mo->appendPlainText(QString::fromStdString(text));
}
void TComTestFm::PacketReadStarting() {
    MonitorTouched();
    Receive1Mo->clear();
    monitorTrace_.Clear();
}

// The monitor's memory records only while the page is in view, so that a
// window nobody looks at records nothing. When the memo was written to
// meanwhile, the monitor starts over: "Save trace..." saves what it shows.
void TComTestFm::SetMonitorRunning(bool running) {
    if (running == monitorRunning_) return;
    monitorRunning_ = running;
    if (!running) {
        trace_.RemoveSink(monitorTrace_);
        return;
    }
    if (monitorStale_) {
        Receive1Mo->clear();
        monitorTrace_.Clear();
        monitorStale_ = false;
    }
    trace_.AddSink(monitorTrace_);
}

bool TComTestFm::StartLinkTrace(const std::string& path, std::string& why) {
    if (traceFile_.IsOpen()) {
        why = "a link trace is being recorded already";
        return false;
    }
    if (!traceFile_.Open(PathFromUtf8(path), &why)) return false;
    trace_.AddSink(traceFile_);
    return true;
}

bool TComTestFm::StopLinkTrace(std::string& why) {
    if (!traceFile_.IsOpen()) return true;
    trace_.RemoveSink(traceFile_);
    return traceFile_.Close(&why);
}

void TComTestFm::SetTrayImage(int image) { LinkTryIcon->setIcon(TrayPicture(image)); }
void TComTestFm::SetTrayHint(const std::string& text) { LinkTryIcon->setToolTip(QString::fromStdString(text)); }
QString TComTestFm::TrayHint() const { return LinkTryIcon->toolTip(); }

void TComTestFm::SelectPortText(const std::string& text) {
    const QString t = QString::fromStdString(text);
    int i = m_ComPortCBox->findText(t);
    if (i >= 0) m_ComPortCBox->setCurrentIndex(i);
}

}  // namespace orvalink
