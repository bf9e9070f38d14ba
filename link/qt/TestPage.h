// The communication window's service pages for the technician: the serial
// test page ("SerialPortTest": the byte monitor, the port settings, the
// older 256 KB transfers by hand and the 32k boot mode panel) and the
// loop-back page of the test jig ("MX-1090 Tools").
//
// The window owns the link; these pages drive it through their buttons and
// show what it tells through the window (the monitor Receive1Mo is theirs).
#pragma once

#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/LinkEngine.h"
#include "link/LoopbackTest.h"
#include "link/OlderFlashTransfers.h"
#include "link/ReceiveAssembler.h"
#include "platform/Random.h"
#include "platform/qt/QtSerialPort.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace orvalink {

class UiServices;

class TSerialTestPage final : public QWidget {
    Q_OBJECT
public:
    // portPath names the device of COM n (for the second port).
    TSerialTestPage(LinkEngine& link, UiServices& ui, Clock& clock, const std::filesystem::path& programFolder,
                    QtSerialPort::Resolver portPath, QWidget* parent = nullptr);
    ~TSerialTestPage() override;

    // The loop-back page, a page of its own in the window.
    QWidget* LoopPage() const { return loopPage_; }

    // The older flash as the file holder keeps it (what "Recv256" fills and
    // "Send256" writes), and the transfer buffer ("Save" writes it).
    std::vector<uint8_t>& FlashFileData() { return *flashFileData_; }
    // The window's one older flash holder, shared with the file and upgrade
    // pages (the page keeps a buffer of its own until it is given one).
    void UseOlderFlash(std::vector<uint8_t>& shared) { flashFileData_ = &shared; }
    // The link trace of what the monitor shows (kept by the window); "Save
    // trace..." writes it, "Clear View" starts it over.
    void UseMonitorTrace(TraceMemory& trace) { monitorTrace_ = &trace; }
    // Told true when the page comes into view (the monitor runs) and false
    // when it leaves it (the window hidden or another page chosen).
    void SetMonitorRunning(std::function<void(bool running)> handler) { monitorRunning_ = std::move(handler); }
    const std::vector<uint8_t>& TransferBuffer() const { return transfer_; }
    // The ROM boot mode writer of the "32k Boot Mode" panel's "Write"; the
    // button stays disabled until one is given.
    using BootWriter = std::function<void(std::span<const uint8_t> loader, std::span<const uint8_t> program)>;
    void SetBootWriter(BootWriter writer);
    const std::vector<uint8_t>& LoaderBuffer() const { return loader_; }
    const std::vector<uint8_t>& ProgramBuffer() const { return program_; }
    const LoopbackTest& Loop() const { return loop_; }

    // User events.
    void ClearViewBtnClick();
    void SaveTraceBtnClick();
    void Send1BtnClick();
    void ClearBufBtnClick();
    void ParityCBoxChange(const QString& text);
    void DataBitCBoxChange(const QString& text);
    void StopBitCBoxChange(const QString& text);
    void InBufferCBoxChange(const QString& text);
    void OutBufferCBoxChange(const QString& text);
    void NRecvTBtnClick();
    void SaveFTBtnClick();
    void NSendTBtnClick();
    void SendPreTBtnClick();
    void CancleTBtnClick();
    void Load2kBtnClick();
    void Load32kBtnClick();
    void BootWriteBtnClick();
    void BootCancleBtnClick();
    void ActBtnClick();
    void Timer1Timer();
    void LoopClearBtnClick();

    QPlainTextEdit* Receive1Mo = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QComboBox* m_ComPortCBox = nullptr;
    QComboBox* m_BaudRateCBox = nullptr;
    QComboBox* m_ParityCBox = nullptr;
    QComboBox* m_DataBitCBox = nullptr;
    QComboBox* m_StopBitCBox = nullptr;
    QComboBox* m_InBufferCBox = nullptr;
    QComboBox* m_OutBufferCBox = nullptr;
    QPushButton* m_ClearBufBtn = nullptr;
    QPushButton* m_Send1Btn = nullptr;
    QPushButton* m_ClearViewBtn = nullptr;
    QPushButton* m_SaveTraceBtn = nullptr;
    QPushButton* m_LoopTBtn = nullptr;
    QPushButton* m_NSendTBtn = nullptr;
    QPushButton* m_NRecvTBtn = nullptr;
    QPushButton* m_SaveFTBtn = nullptr;
    QPushButton* m_SendPreTBtn = nullptr;
    QPushButton* m_CancleTBtn = nullptr;
    QProgressBar* m_CGue = nullptr;
    QPushButton* m_Load2kBtn = nullptr;
    QPushButton* m_Load32kBtn = nullptr;
    QPushButton* m_BootWriteBtn = nullptr;
    QPushButton* m_BootCancleBtn = nullptr;
    QPushButton* ActBtn = nullptr;
    QPlainTextEdit* SendMo = nullptr;
    QPlainTextEdit* ReceiveMo = nullptr;
    QPushButton* m_LoopClearBtn = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void BuildTestPage();
    void BuildLoopPage();
    void ShowOutcome(const TransferOutcome& outcome);
    // The gauge follows the link's progress while a transfer runs.
    void GaugeStart(int maximum);
    void GaugeStop();
    void LoadBuffer(const char* filter, const char* extension, size_t maxBytes, std::vector<uint8_t>& into);

    LinkEngine& link_;
    UiServices& ui_;
    Clock& clock_;
    std::filesystem::path programFolder_;
    Pcg32Random random_;
    LoopbackTest loop_;
    OlderFlashTransfers older_;
    std::vector<uint8_t> ownFlashFileData_ = std::vector<uint8_t>(kOlderFlashSize, 0xFF);
    std::vector<uint8_t>* flashFileData_ = &ownFlashFileData_;
    std::vector<uint8_t> transfer_ = std::vector<uint8_t>(kOlderFlashSize, 0xFF);
    std::vector<uint8_t> loader_;
    std::vector<uint8_t> program_;
    BootWriter bootWriter_;
    TraceMemory* monitorTrace_ = nullptr;
    std::function<void(bool)> monitorRunning_;

    // The second port (115200 bit/s) and its own receiver; it listens for
    // packet numbers and no exchange uses it.
    QtSerialPort aPort2;
    ReceiveAssembler aPort2Receiver_;

    QPointer<QWidget> loopPage_;
    QTimer* gaugeTimer_ = nullptr;
};

}  // namespace orvalink
