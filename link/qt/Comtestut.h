// The communication window: it owns the serial port and every piece of link
// state, finds the cable's port and follows it being plugged in and out
// (tray icon LinkTryIcon), and carries the discovery, test and upgrade pages.
// Created hidden at start-up; the main window and the start dialog reach the
// remote through it.
#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

#include "link/LinkEngine.h"
#include "link/RemoteLink.h"
#include "link/Transfers.h"
#include "platform/Registry.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtSerialPort.h"

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSystemTrayIcon;
class QTabWidget;

namespace orvalink {

class FilePages;
class TFlashFm;
class HttpClient;
class TTiFlashFm;
class TSerialTestPage;
class UiServices;
class UpgradePage;
class UpgradeRunner;
class UdevDeviceNotifier;

class TComTestFm final : public QWidget, public LinkView, public RemoteLink {
    Q_OBJECT
public:
    // The registry view is the one port discovery walks; the program builds it.
    TComTestFm(const std::filesystem::path& programFolder, UiServices& ui, Clock& clock, TTiFlashFm& flash,
               Registry& registry, QWidget* parent = nullptr);
    ~TComTestFm() override;

    LinkEngine& Link() { return *link_; }
    // The main window: the transfer dialog is placed over it and disables it
    // while it is open.
    void SetMainWindow(QWidget* mainWindow, std::function<void(bool)> enableMain) {
        mainWindow_ = mainWindow;
        enableMain_ = std::move(enableMain);
    }

    // The remote link for the main window and the start dialog.
    bool EnsureLinkPort() override { return link_->EnsureLinkPort(); }
    void SetUserAbort(bool abort) override { link_->SetUserAbort(abort); }
    bool UserAbort() const override { return link_->UserAbort(); }
    TransferOutcome DownloadFromRemote() override;
    TransferOutcome UploadToRemote(int kind) override;
    UploadOutcome UploadAndVerify(int kind, bool verify) override;
    void SetVerifyWrites(bool on) override;
    void CloseLinkPort() override { link_->CloseLinkPort(); }
    bool StartLinkTrace(const std::string& path, std::string& why) override;
    bool StopLinkTrace(std::string& why) override;
    bool RecordingLinkTrace() const { return traceFile_.IsOpen(); }
    // The conversation since the monitor last started over, as a trace.
    const TraceMemory& MonitorTrace() const { return monitorTrace_; }
    // Whether the serial test page is in view, its monitor recording.
    bool MonitorRunning() const { return monitorRunning_; }

    // What the link tells.
    void DiscoveryStarted() override;
    void DiscoveryLog(const std::string& text) override;
    void AdapterSeen(const std::string& hint) override;
    void PortFound(const std::string& name, const std::string& hint) override;
    void PortArrived(const std::string& hint) override;
    void PortLost(const std::string& hint) override;
    void BytesSent(const std::string& hex) override;
    void MonitorWrapped() override;
    void PacketLog(const std::string& text) override;
    void PacketReadStarting() override;
    void StatusMessage(const std::string& text) override { statusText_ = text; }
    void ProgressChanged(int position) override;
    void ProgressRange(int maximum) override;

    QPlainTextEdit* ComMemo() const { return m_ComMemo; }
    QPlainTextEdit* Monitor() const { return Receive1Mo; }
    QComboBox* PortCombo() const { return m_ComPortCBox; }
    FilePages* FilePage() const { return m_FilePages; }
    TFlashFm& OlderFlashHolder() { return *older_; }
    UpgradePage* Upgrade() const { return upgradePage_; }
    const std::string& StatusText() const { return statusText_; }
    QString TrayHint() const;

    // User events.
    // The discovery page's Action: search for the adapter's port again.
    void m_ActionBtnClick();
    // The discovery page's Clear Message.
    void m_ClearBtnClick();
    // The test page's port: "Auto" opens the port discovery finds; "COMn"
    // names the port the next open takes while one is open.
    void ComPortCBoxChange(const QString& text);
    void BaudRateCBoxChange(const QString& text);

protected:
    // The window cannot be closed while an exchange with the remote waits:
    // CANCEL ends an upgrade.
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildPages();
    void SetTrayImage(int image);
    void SetTrayHint(const std::string& text);
    void SelectPortText(const std::string& text);
    void LoadModelList();
    void SetMonitorRunning(bool running);
    // Something reached the monitor memo while the page was out of view.
    void MonitorTouched() {
        if (!monitorRunning_) monitorStale_ = true;
    }

    std::filesystem::path programFolder_;
    UiServices& ui_;
    const Clock& clock_;
    Registry& registry_;
    QtSerialPort port_;
    QtEventPump pump_;
    // The link's recorder: into the monitor's memory while the serial test
    // page is in view, and into a file while Tools > Record link trace is
    // checked. With neither it has no sink and records nothing: the link
    // asks Recording() and makes no record at all.
    LinkTraceRecorder trace_;
    TraceMemory monitorTrace_;
    TraceFile traceFile_;
    bool monitorRunning_ = false;
    // The monitor memo shows more than its trace holds: it starts over when
    // the page comes into view again.
    bool monitorStale_ = false;
    std::unique_ptr<LinkEngine> link_;
    TTiFlashFm& flash_;
    Transfers transfers_;
    std::unique_ptr<UdevDeviceNotifier> notifier_;
    std::unique_ptr<TFlashFm> older_;
    std::string statusText_;
    QWidget* mainWindow_ = nullptr;
    std::function<void(bool)> enableMain_;

    QTabWidget* pages_ = nullptr;
    TSerialTestPage* testPage_ = nullptr;
    QPlainTextEdit* m_ComMemo = nullptr;
    QPlainTextEdit* Receive1Mo = nullptr;
    QComboBox* m_ComPortCBox = nullptr;
    QComboBox* m_BaudRateCBox = nullptr;
    FilePages* m_FilePages = nullptr;
    QSystemTrayIcon* LinkTryIcon = nullptr;
    std::unique_ptr<HttpClient> http_;
    std::unique_ptr<UpgradeRunner> upgradeRunner_;
    UpgradePage* upgradePage_ = nullptr;
};

}  // namespace orvalink
