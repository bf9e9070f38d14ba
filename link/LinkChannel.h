// The byte conversation over the link port: sending with the monitor's
// echo, the waits for a frame (EventPump waits with their time-outs), the
// single-value reads, and the state every exchange shares: the link status,
// the user's abort and the progress counter. It owns the receive assembler
// and feeds it from the port's data-available event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "link/LinkTrace.h"
#include "link/LinkView.h"
#include "link/ReceiveAssembler.h"
#include "platform/EventPump.h"
#include "platform/SerialPort.h"
#include "platform/UiServices.h"

namespace orvalink {

inline constexpr uint8_t kXon = 0x11;

inline constexpr int kLinkGood = 6;
inline constexpr int kLinkFailed = 9;

// Time-outs of the single-value reads, in milliseconds.
inline constexpr uint32_t kReplyTimeoutMs = 800;
inline constexpr uint32_t kRecvByteTimeoutMs = 1500;
inline constexpr uint32_t kRecvWordTimeoutMs = 600;
inline constexpr uint32_t kRecvDWordTimeoutMs = 500;

class LinkChannel {
public:
    // The port is the one the trace records (a TracingSerialPort over the
    // real one when recording can be switched on).
    LinkChannel(SerialPort& port, EventPump& pump, UiServices& ui, LinkView& view, LinkTrace& trace);
    ~LinkChannel();
    LinkChannel(const LinkChannel&) = delete;
    LinkChannel& operator=(const LinkChannel&) = delete;

    SerialPort& Port() { return port_; }
    EventPump& Pump() { return pump_; }
    UiServices& Ui() { return ui_; }
    LinkView& View() { return view_; }
    ReceiveAssembler& Receiver() { return receiver_; }
    const ReceiveAssembler& Receiver() const { return receiver_; }
    LinkTrace& Trace() { return trace_; }
    // Hands a frame to the trace when it records.
    void Note(const TraceFrame& frame) {
        if (trace_.Recording()) trace_.Frame(frame);
    }
    // A wait for `what` (block n, or -1) that ended after ms without its frame.
    void NoteTimeout(const char* what, uint32_t ms, int number = -1);
    // A value read by itself (a reply byte, a word of the boot loaders).
    void NoteReceived(TraceKind kind, uint32_t value);

    // linkStatus: kLinkGood, or kLinkFailed once an exchange failed.
    int LinkStatus() const { return linkStatus_; }
    void SetLinkStatus(int status) { linkStatus_ = status; }
    bool Failed() const { return linkStatus_ == kLinkFailed; }
    // The user's Cancel.
    bool UserAbort() const { return userAbort_; }
    void SetUserAbort(bool abort) { userAbort_ = abort; }
    // A failed status or the user's Cancel: the exchange stops.
    bool ShouldStop() const { return Failed() || userAbort_; }

    // The data-available handler of the link port: reads count bytes and
    // feeds them to the assembler.
    void aPort1TriggerAvail(size_t count);

    // ---- Waits
    uint32_t WaitTicks(uint32_t ms) { return pump_.WaitTicks(ms); }
    // Until a frame is ready (true) or ms passed (false). Neither clears nor reads it.
    bool WaitFrame(uint32_t ms);
    // WaitFrame, and when the frame came, marks it taken.
    bool WaitAndTake(uint32_t ms);

    // ---- Sending
    // 1..1024 bytes, and only when the output buffer has more than n + 2 free.
    bool SendBytes(std::span<const uint8_t> data);
    bool SendByte(uint8_t byte) { return SendBytes({&byte, 1}); }

    // ---- Receiving
    // One reply byte within timeoutMs (mode AnyByte); no message.
    bool RecvReply(uint8_t& out, uint32_t timeoutMs = kReplyTimeoutMs);
    // The same, given up at once when stop() holds (checked after every event).
    bool RecvReplyUnless(uint8_t& out, uint32_t timeoutMs, const std::function<bool()>& stop);
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
    // RecvByte; XON sends `byte`, anything else fails with "XON Time Out!" in
    // the status bar. The writer moves the gauge by the bytes it sent.
    bool WaitXon(uint8_t byte);

    // ---- Progress
    int Progress() const { return progress_; }
    void SetProgress(int value);

    // Message boxes of the exchanges.
    void Inform(const std::string& text) { ui_.Inform(text, MsgIcon::Information); }
    void Warn(const std::string& text) { ui_.Inform(text, MsgIcon::Warning); }

private:
    SerialPort& port_;
    EventPump& pump_;
    UiServices& ui_;
    LinkView& view_;
    LinkTrace& trace_;
    ReceiveAssembler receiver_;
    std::vector<uint8_t> readBuffer_;
    int linkStatus_ = kLinkGood;
    bool userAbort_ = false;
    uint64_t monitorShown_ = 0;
    uint16_t lastWord_ = 0;
    int progress_ = 0;
};

}  // namespace orvalink
