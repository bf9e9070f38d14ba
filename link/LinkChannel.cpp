#include "link/LinkChannel.h"

#include <cstdio>

#include "base/ByteIo.h"

namespace orvalink {

LinkChannel::LinkChannel(SerialPort& port, EventPump& pump, UiServices& ui, LinkView& view, LinkTrace& trace)
    : port_(port), pump_(pump), ui_(ui), view_(view), trace_(trace) {
    receiver_.SetTestFrameSink([this](std::span<const uint8_t> frame) { view_.TestFrameReceived(frame); });
    port_.SetDataAvailableHandler([this](size_t count) { aPort1TriggerAvail(count); });
}

LinkChannel::~LinkChannel() { port_.SetDataAvailableHandler({}); }

void LinkChannel::aPort1TriggerAvail(size_t count) {
    if (count == 0) return;
    readBuffer_.resize(count);
    size_t got = 0;
    if (count == 1) {
        got = port_.ReadChar(readBuffer_[0]) ? 1 : 0;
    } else {
        got = port_.Read(readBuffer_);
    }
    receiver_.Assemble({readBuffer_.data(), got});
}

void LinkChannel::NoteTimeout(const char* what, uint32_t ms, int number) {
    if (!trace_.Recording()) return;
    TraceFrame f;
    f.direction = TraceDirection::Received;
    f.kind = TraceKind::Timeout;
    f.what = what;
    f.value = ms;
    f.number = number;
    trace_.Frame(f);
}

void LinkChannel::NoteReceived(TraceKind kind, uint32_t value) {
    if (!trace_.Recording()) return;
    TraceFrame f;
    f.direction = TraceDirection::Received;
    f.kind = kind;
    f.code = uint8_t(value);
    f.value = value;
    trace_.Frame(f);
}

bool LinkChannel::WaitFrame(uint32_t ms) {
    return pump_.PumpUntil([this] { return receiver_.FrameReady(); }, ms);
}

bool LinkChannel::WaitAndTake(uint32_t ms) {
    if (!WaitFrame(ms)) return false;
    receiver_.ClearFrameReady();
    return true;
}

bool LinkChannel::SendBytes(std::span<const uint8_t> data) {
    const size_t n = data.size();
    if (n < 1 || n > 1024) return false;
    if (!port_.IsOpen()) return false;
    if (port_.OutputFree() <= int(n) + 2) return false;
    bool ok = n == 1 ? port_.WriteChar(data[0]) : port_.Write(data);
    if (!ok) return false;
    // The monitor shows every byte; it starts over after every 2048 bytes.
    std::string text;
    text.reserve(3 * n);
    char hex[4];
    for (uint8_t b : data) {
        std::snprintf(hex, sizeof hex, "%02X ", b);
        text += hex;
        if (++monitorShown_ % 2048 == 0) {
            view_.BytesSent(text);
            text.clear();
            view_.MonitorWrapped();
        }
    }
    if (!text.empty()) view_.BytesSent(text);
    return true;
}

bool LinkChannel::RecvReply(uint8_t& out, uint32_t timeoutMs) { return RecvReplyUnless(out, timeoutMs, {}); }

bool LinkChannel::RecvReplyUnless(uint8_t& out, uint32_t timeoutMs, const std::function<bool()>& stop) {
    receiver_.SetMode(ReceiveMode::AnyByte);
    receiver_.ResetAssembly();
    const bool came =
        pump_.PumpUntil([&] { return receiver_.FrameReady() || (stop && stop()); }, timeoutMs) && receiver_.FrameReady();
    if (!came) {
        // Given up because the exchange ended is no time-out.
        if (!(stop && stop())) NoteTimeout("reply", timeoutMs);
        return false;
    }
    receiver_.ClearFrameReady();
    out = receiver_.Frame()[0];
    NoteReceived(TraceKind::Ack, out);
    return true;
}

uint8_t LinkChannel::RecvByte() {
    receiver_.SetMode(ReceiveMode::AnyByte);
    if (!WaitAndTake(kRecvByteTimeoutMs)) {
        NoteTimeout("byte", kRecvByteTimeoutMs);
        linkStatus_ = kLinkFailed;
        Inform("RecvByte Time Out!");
        return 0xFF;
    }
    NoteReceived(TraceKind::Byte, receiver_.Frame()[0]);
    return receiver_.Frame()[0];
}

uint16_t LinkChannel::RecvWord() {
    receiver_.ResetAssembly();
    receiver_.SetMode(ReceiveMode::Word2);
    if (!WaitAndTake(kRecvWordTimeoutMs)) {
        NoteTimeout("word", kRecvWordTimeoutMs);
        linkStatus_ = kLinkFailed;
        Inform("RecvWord Time Out!");
        return lastWord_;
    }
    const auto f = receiver_.Frame();
    lastWord_ = uint16_t(f[0] << 8 | f[1]);
    NoteReceived(TraceKind::Word, lastWord_);
    return lastWord_;
}

uint32_t LinkChannel::RecvDWord() {
    receiver_.ResetAssembly();
    receiver_.SetMode(ReceiveMode::Dword4);
    if (!WaitAndTake(kRecvDWordTimeoutMs)) {
        NoteTimeout("dword", kRecvDWordTimeoutMs);
        linkStatus_ = kLinkFailed;
        Inform("RecvDWord Time Out!");
        return 0;
    }
    ByteReader r(receiver_.Frame().data(), 4);
    const uint32_t value = r.U32BE();
    NoteReceived(TraceKind::DWord, value);
    return value;
}

uint16_t LinkChannel::RecvWordKeepMode() {
    if (!WaitAndTake(1000)) {
        NoteTimeout("word", 1000);
        linkStatus_ = kLinkFailed;
        Inform("RecvWord Time Out!");
        return lastWord_;
    }
    const auto f = receiver_.Frame();
    lastWord_ = uint16_t(f[0] << 8 | f[1]);
    NoteReceived(TraceKind::Word, lastWord_);
    return lastWord_;
}

uint32_t LinkChannel::RecvDWordLittle(bool* ok) {
    receiver_.ResetAssembly();
    receiver_.SetMode(ReceiveMode::Dword4);
    bool got = WaitAndTake(700);
    if (ok) *ok = got;
    if (!got) {
        NoteTimeout("dword", 700);
        return 0;
    }
    ByteReader r(receiver_.Frame().data(), 4);
    const uint32_t value = r.U32();
    NoteReceived(TraceKind::DWord, value);
    return value;
}

bool LinkChannel::WaitXon(uint8_t byte) {
    if (RecvByte() == kXon) {
        SendByte(byte);
        return true;
    }
    linkStatus_ = kLinkFailed;
    view_.StatusMessage("XON Time Out!");
    return false;
}

void LinkChannel::SetProgress(int value) {
    progress_ = value;
    view_.ProgressChanged(value);
}

}  // namespace orvalink
