// The link engine: everything the program says to the remote over the link
// port and how it listens. The communication window TComTestFm owns one and
// forwards its port, button and device-change events to it.
//
// The conversation is written as it happens: set the receive mode, send the
// request, wait for the frame, judge it. Received bytes go through the
// assembler (aPort1TriggerAvail), which collects them until the current
// receive mode's frame length is reached and hands the frame to the frame
// handler; every wait is an EventPump wait with its time-out, so the
// assembler, Cancel and the device-change handler run while an exchange
// waits.
//
// Current protocol: eight-byte command frames, 264-byte blocks followed by
// their Sum16 low byte first, 'A' wakes the remote, 'B' accepts, 'C' refuses.
// Older packet protocol: 128-byte packets at 38400 bit/s, numbers and sums
// high byte first, 0x06 accepted, 0x09 timed out, 0x08 wake echo, 0x04 read.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "platform/DeviceNotifier.h"
#include "platform/EventPump.h"
#include "platform/PortNames.h"
#include "platform/Registry.h"
#include "platform/SerialPort.h"
#include "platform/UiServices.h"

namespace orvalink {

// The kind of frame expected next, with its length (ExpectedLength).
enum class ReceiveMode : int32_t {
    None = 0,         // bytes are collected and never handed over
    AckOrTimeout = 1, // 1: 0x06 or 0x09
    SegmentAck = 2,   // 1: 0x06 or 0x09, then the mode becomes WakeEcho
    WakeEcho = 3,     // 1: 0x08
    BootAB = 4,       // 1: 0xAB
    BootZero = 5,     // 1: 0x00
    BootAA = 6,       // 1: 0xAA
    RateHL = 7,       // 1: 'H' or 'L'
    BootW = 8,        // 1: 'W'
    AnyByte = 9,      // 1: any byte
    Word2 = 10,       // 2
    Dword4 = 11,      // 4
    PacketNumber = 12,// 2
    Packet128 = 13,   // 128
    Text8 = 14,       // 8, and the text so far after every byte
    Reply16 = 15,     // 16
    Reply14 = 16,     // 14
    Reply268 = 17,    // 268
    Block266 = 18,    // 266: a 264-byte block and its checksum
    IrCode514 = 19,   // 514: a 512-byte IR code and its checksum
    TestFrame994 = 20,// 994: handed to the test page, ready is not set
    Checksum2 = 1210, // 2: the remote's checksum of a packet the PC wrote
};

// Expected frame length of a mode (0 for modes that never hand a frame over).
size_t ExpectedLength(ReceiveMode mode);

// Bytes of the conversation.
inline constexpr uint8_t kWakeByte = 'A';
inline constexpr uint8_t kAccept = 'B';
inline constexpr uint8_t kRefuse = 'C';
inline constexpr uint8_t kPacketAck = 0x06;
inline constexpr uint8_t kPacketTimeout = 0x09;
inline constexpr uint8_t kPacketWake = 0x08;
inline constexpr uint8_t kPacketRead = 0x04;
inline constexpr uint8_t kXon = 0x11;

// Command codes.
inline constexpr uint8_t kCmdReadBlocks = 0xA1;
inline constexpr uint8_t kCmdWriteBlocks = 0xA3;
inline constexpr uint8_t kCmdSetClock = 0xA4;
inline constexpr uint8_t kCmdEndUpload = 0xA5;
inline constexpr uint8_t kCmdIrSend = 0xB2;
inline constexpr uint8_t kCmdIrLearn = 0xB3;

inline constexpr int kLinkGood = 6;
inline constexpr int kLinkFailed = 9;

inline constexpr size_t kAssemblySize = 20000;
inline constexpr size_t kFrameSize = 4098;
inline constexpr size_t kBlockBytes = 264;
inline constexpr size_t kIrCodeBytes = 512;
inline constexpr size_t kPacketBytes = 128;
inline constexpr int kPacketCount = 2048;

// Time-outs of the waits, in milliseconds.
inline constexpr uint32_t kReplyTimeoutMs = 800;
inline constexpr uint32_t kRecvByteTimeoutMs = 1500;
inline constexpr uint32_t kRecvWordTimeoutMs = 600;
inline constexpr uint32_t kRecvDWordTimeoutMs = 500;
inline constexpr uint32_t kBlockTimeoutMs = 3000;
inline constexpr uint32_t kIrLearnStartTimeoutMs = 4000;
inline constexpr uint32_t kIrLearnCodeTimeoutMs = 2000;
inline constexpr uint32_t kIrReleaseTimeoutMs = 500;

// Settle times after the wake-up.
inline constexpr uint32_t kSettleTransferMs = 100;
inline constexpr uint32_t kSettleIrLearnMs = 50;
inline constexpr uint32_t kSettleIrSendMs = 5;

// Link port rates OpenLinkPortAt accepts.
inline constexpr std::array<int, 5> kLinkRates = {300, 2400, 9600, 38400, 115200};

enum class WindowsFamily : uint8_t { Win32s = 1, Win95 = 2, WinNT = 3 };
// The family a GetVersion value names.
WindowsFamily FamilyFromVersion(uint32_t versionWord);
// A GetVersion value of the NT family (Windows XP).
inline constexpr uint32_t kNtVersionWord = 0x0A280105;

// An eight-byte command frame: code, then bytes 2-3 and 6-7 little-endian.
std::array<uint8_t, 8> BlockFrame(uint8_t code, uint16_t firstBlock, uint16_t count);
// The set-clock frame (and its end-of-upload twin): year in bytes 2-3, then
// month, day, hour, minute.
std::array<uint8_t, 8> ClockFrame(uint8_t code, const LocalDateTime& when);

// The communication window's controls the engine writes to. Every method has
// an empty default, so a caller overrides only what it shows.
class LinkView {
public:
    virtual ~LinkView() = default;
    // The discovery page's log (GetComMemo).
    virtual void AppendComMemo(const std::string& /*text*/) {}
    virtual void ClearComMemo() {}
    // The monitor memo (Receive1Mo): sent bytes and packet protocol logs.
    virtual void AppendMonitor(const std::string& /*text*/) {}
    virtual void ClearMonitor() {}
    // The status bar's first panel.
    virtual void SetStatusPanel(const std::string& /*text*/) {}
    // The tray icon LinkTryIcon: image 0 no port, 1 port present; its hint.
    virtual void SetTrayImage(int /*image*/) {}
    virtual void SetTrayHint(const std::string& /*text*/) {}
    // The port combo's text ("COM3", "Auto").
    virtual void SetPortComboText(const std::string& /*text*/) {}
    // The progress counter behind the page gauges, and the gauge's maximum.
    virtual void SetGauge(int /*position*/) {}
    virtual void SetGaugeMaximum(int /*maximum*/) {}
    // A 994-byte frame for the test page's receive area.
    virtual void TestFrame(std::span<const uint8_t> /*frame*/) {}
};

// What LinkWakeUp saw.
struct WakeResult {
    bool portOk = false;  // the port opened at both rates
    bool replied = false;
    uint8_t reply = 0;
};

class LinkEngine {
public:
    // Everything the engine needs is handed in; it keeps references.
    // windowsVersion is a GetVersion value (it decides the discovery keys).
    LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
               LinkView& view, uint32_t windowsVersion = kNtVersionWord);
    ~LinkEngine();
    LinkEngine(const LinkEngine&) = delete;
    LinkEngine& operator=(const LinkEngine&) = delete;

    SerialPort& Port() { return port_; }
    EventPump& Pump() { return pump_; }
    UiServices& Ui() { return ui_; }
    Clock& GetClock() { return clock_; }
    LinkView& View() { return view_; }

    // ---- Receive state
    ReceiveMode receiveMode = ReceiveMode::None;
    bool frameReady = false;
    int linkStatus = kLinkGood;
    bool userAbort = false;

    size_t AssemblyLength() const { return assemblyLength_; }
    void ResetAssembly() { assemblyLength_ = 0; }
    // Mode, assembly length 0 and frameReady cleared: ready for a new answer.
    void Expect(ReceiveMode mode) {
        receiveMode = mode;
        assemblyLength_ = 0;
        frameReady = false;
    }
    // The last frame handed over (the first byte is a single reply byte).
    std::span<const uint8_t> Frame() const { return {frame_.data(), frameLength_}; }

    // The data-available handler of the link port: reads count bytes and
    // feeds them to the assembler.
    void aPort1TriggerAvail(size_t count);
    // The assembler proper.
    void Assemble(std::span<const uint8_t> bytes);

    // ---- Waits
    uint32_t WaitTicks(uint32_t ms) { return pump_.WaitTicks(ms); }
    // Until frameReady (true) or ms passed (false). Neither clears nor reads it.
    bool WaitFrame(uint32_t ms);

    // ---- Sending
    // 1..1024 bytes, and only when the output buffer has more than n + 2 free.
    bool SendBytes(std::span<const uint8_t> data);
    bool SendByte(uint8_t byte) { return SendBytes({&byte, 1}); }

    // ---- Receiving
    // One reply byte within timeoutMs (mode AnyByte); no message.
    bool RecvReply(uint8_t& out, uint32_t timeoutMs = kReplyTimeoutMs);
    // One byte within 1500 ms; on time-out linkStatus 9, "RecvByte Time Out!" and 0xFF.
    uint8_t RecvByte();
    // Two bytes, first high, within 600 ms; on time-out linkStatus 9,
    // "RecvWord Time Out!" and the previous word.
    uint16_t RecvWord();
    // Four bytes, first most significant, within 500 ms; on time-out
    // linkStatus 9, "RecvDWord Time Out!" and 0.
    uint32_t RecvDWord();
    // The firmware upgrade's word read: keeps the caller's mode, 1000 ms,
    // first byte high; on time-out linkStatus 9 and "RecvWord Time Out!".
    uint16_t RecvWordKeepMode();
    // The firmware upgrade's four-byte read: mode Dword4, 700 ms, first byte
    // least significant; no message (ok tells whether it came).
    uint32_t RecvDWordLittle(bool* ok = nullptr);
    // RecvByte; XON sends `byte` and advances the gauge, anything else fails
    // with "XON Time Out!" in the status bar.
    bool WaitXon(uint8_t byte);

    // ---- Current protocol
    // 'A' at 300 bit/s, reopen at 115200, settle, one reply.
    WakeResult LinkWakeUp(uint32_t settleMs);
    // The wake-up of downloads and uploads: false only when the port would not
    // open; a reply other than 'B' sets linkStatus 9, no reply is let pass.
    bool WakeForTransfer();
    bool SendFrame(const std::array<uint8_t, 8>& frame) { return SendBytes(frame); }
    // Sends a block or clock frame, waits 10 ms, takes the reply: not 'B' sets
    // linkStatus 9. No reply gives !missingIsFailure.
    bool SendFrameAndJudge(const std::array<uint8_t, 8>& frame, bool missingIsFailure);

    // One block of a read (mode Block266 must be set): 3 s, checksum, 'B' or 'C'.
    bool ReceiveBlock(std::span<uint8_t> out264);
    // One block of a write: up to 3 attempts, 'B' expected.
    bool SendBlock(std::span<const uint8_t> block264);

    // Called with the block number after every block moved.
    using BlockProgress = std::function<void(int block)>;
    // Reads count blocks from first into out (count * 264 bytes).
    bool ReadBlocks(uint16_t first, uint16_t count, std::span<uint8_t> out, const BlockProgress& progress = {});
    // Writes count blocks from first out of data (count * 264 bytes).
    bool WriteBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data,
                     const BlockProgress& progress = {});
    int Progress() const { return progress_; }
    void SetProgress(int value);

    // ---- IR learn and send
    bool IrLearnStart();
    // One round of learning: the remote's 'B', then the 514-byte code frame.
    // True with the code when its checksum matches.
    bool IrLearnReceive(std::array<uint8_t, kIrCodeBytes>& code);
    void IrStop();
    bool IrSendStart();
    bool IrSendCode(std::span<const uint8_t> code512);
    void IrSendRelease();

    // ---- Older packet protocol (38400 bit/s)
    bool PacketWakeUpWrite();
    bool PacketWakeUpRead();
    bool PacketWriteStart();
    bool PacketRateWriter();
    bool PacketRateReader();
    bool PacketSend(uint16_t number, std::span<const uint8_t> packet128);
    bool PacketReadStart(uint16_t first, uint16_t last);
    // Receives one packet and stores it at number * 128 of buffer.
    bool PacketReceive(std::span<uint8_t> buffer, uint16_t* number = nullptr);
    // Packets first..last into buffer (262144 bytes), with the page logs.
    bool ReadPackets(uint16_t first, uint16_t last, std::span<uint8_t> buffer,
                     const BlockProgress& progress = {});

    // ---- Port discovery and the link port
    bool FindVisualComPort(int& portNumber);
    bool EnsureLinkPort();
    bool OpenLinkPortAt(int rate);
    bool CloseLinkPort();
    // Handler of the device-change notifications; always answers 1.
    int OnDeviceChange(const DeviceChangeEvent& event);
    // Routes a notifier's events to OnDeviceChange.
    void Listen(DeviceNotifier& notifier);

    int PortNumber() const { return portNumber_; }
    const std::string& PortName() const { return portName_; }
    bool PortFound() const { return portFound_ != 0; }
    WindowsFamily Family() const { return family_; }
    uint16_t PumpInterval() const { return pumpInterval_; }

    // ---- The test page's settings and the discovery page
    void ComPortCBoxChange(const std::string& text);
    void BaudRateCBoxChange(const std::string& text);
    void ParityCBoxChange(const std::string& text);
    void DataBitCBoxChange(const std::string& text);
    void StopBitCBoxChange(const std::string& text);
    void InBufferCBoxChange(const std::string& text);
    void OutBufferCBoxChange(const std::string& text);
    void ClearBufBtnClick();
    void ActionBtnClick();
    void ClearBtnClick();

private:
    void FrameHandler(std::span<const uint8_t> frame);
    void Accept(std::span<const uint8_t> frame, bool resetLength);
    void Log(const std::string& text) { view_.AppendComMemo(text); }
    void Monitor(const std::string& text) { view_.AppendMonitor(text); }
    void Inform(const std::string& text) { ui_.Inform(text, MsgIcon::Information); }
    void Warn(const std::string& text) { ui_.Inform(text, MsgIcon::Warning); }
    bool WaitAndTake(uint32_t ms);
    bool PacketWakeUp(int rounds, uint32_t echoWaitMs, bool readSide);
    void SetTray(int image, const std::string& hint);

    SerialPort& port_;
    EventPump& pump_;
    Registry& registry_;
    UiServices& ui_;
    Clock& clock_;
    LinkView& view_;
    uint32_t windowsVersion_;

    std::vector<uint8_t> assembly_;
    size_t assemblyLength_ = 0;
    std::array<uint8_t, kFrameSize> frame_{};
    size_t frameLength_ = 0;
    std::vector<uint8_t> readBuffer_;

    uint64_t monitorShown_ = 0;
    uint16_t lastWord_ = 0;
    int progress_ = 0;

    int portNumber_ = 0;
    std::string portName_;
    uint8_t portFound_ = 0;
    WindowsFamily family_ = WindowsFamily::WinNT;
    uint16_t pumpInterval_ = 2000;
};

}  // namespace orvalink
