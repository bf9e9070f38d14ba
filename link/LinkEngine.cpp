#include "link/LinkEngine.h"

#include <algorithm>
#include <cstdio>

#include "base/ByteIo.h"

namespace orvalink {

size_t ExpectedLength(ReceiveMode mode) {
    switch (mode) {
        case ReceiveMode::AckOrTimeout:
        case ReceiveMode::SegmentAck:
        case ReceiveMode::WakeEcho:
        case ReceiveMode::BootAB:
        case ReceiveMode::BootZero:
        case ReceiveMode::BootAA:
        case ReceiveMode::RateHL:
        case ReceiveMode::BootW:
        case ReceiveMode::AnyByte: return 1;
        case ReceiveMode::Word2:
        case ReceiveMode::PacketNumber:
        case ReceiveMode::Checksum2: return 2;
        case ReceiveMode::Dword4: return 4;
        case ReceiveMode::Text8: return 8;
        case ReceiveMode::Reply14: return 14;
        case ReceiveMode::Reply16: return 16;
        case ReceiveMode::Packet128: return 128;
        case ReceiveMode::Block266: return 266;
        case ReceiveMode::Reply268: return 268;
        case ReceiveMode::IrCode514: return 514;
        case ReceiveMode::TestFrame994: return 994;
        case ReceiveMode::None: break;
    }
    return 0;
}

namespace {

// Modes whose frames are longer than the 128 bytes after which the
// assembly otherwise starts over.
bool IsLongFrameMode(ReceiveMode mode) {
    return mode == ReceiveMode::Reply268 || mode == ReceiveMode::Block266 || mode == ReceiveMode::IrCode514 ||
           mode == ReceiveMode::TestFrame994;
}

}  // namespace

std::array<uint8_t, 8> BlockFrame(uint8_t code, uint16_t firstBlock, uint16_t count) {
    std::array<uint8_t, 8> f{};
    ByteWriter w(f.data(), f.size());
    w.U8(code);
    w.U8(0);
    w.U16(firstBlock);
    w.U16(0);
    w.U16(count);
    return f;
}

std::array<uint8_t, 8> ClockFrame(uint8_t code, const LocalDateTime& when) {
    std::array<uint8_t, 8> f{};
    ByteWriter w(f.data(), f.size());
    w.U8(code);
    w.U8(0);
    w.U16(uint16_t(when.year));
    w.U8(uint8_t(when.month));
    w.U8(uint8_t(when.day));
    w.U8(uint8_t(when.hour));
    w.U8(uint8_t(when.minute));
    return f;
}

LinkEngine::LinkEngine(SerialPort& port, EventPump& pump, Registry& registry, UiServices& ui, Clock& clock,
                       LinkView& view, uint32_t windowsVersion)
    : port_(port), pump_(pump), registry_(registry), ui_(ui), clock_(clock), view_(view),
      windowsVersion_(windowsVersion), assembly_(kAssemblySize) {
    family_ = FamilyFromVersion(windowsVersion_);
    port_.SetDataAvailableHandler([this](size_t count) { aPort1TriggerAvail(count); });
}

LinkEngine::~LinkEngine() { port_.SetDataAvailableHandler({}); }

// ---------------------------------------------------------------------------
// Receiving

void LinkEngine::aPort1TriggerAvail(size_t count) {
    if (count == 0) return;
    readBuffer_.resize(count);
    size_t got = 0;
    if (count == 1) {
        got = port_.ReadChar(readBuffer_[0]) ? 1 : 0;
    } else {
        got = port_.Read(readBuffer_);
    }
    Assemble({readBuffer_.data(), got});
}

void LinkEngine::Assemble(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
        const ReceiveMode mode = receiveMode;
        if (assemblyLength_ > 128 && !IsLongFrameMode(mode)) assemblyLength_ = 0;
        if (assemblyLength_ >= assembly_.size()) continue;  // full: the byte is dropped
        assembly_[assemblyLength_++] = b;
        const size_t expected = ExpectedLength(mode);
        if (expected == 1) {
            FrameHandler({&b, 1});
        } else if (expected != 0 && (assemblyLength_ == expected || mode == ReceiveMode::Text8)) {
            FrameHandler({assembly_.data(), assemblyLength_});
        }
    }
}

void LinkEngine::Accept(std::span<const uint8_t> frame, bool resetLength) {
    frameLength_ = std::min(frame.size(), frame_.size());
    std::copy_n(frame.begin(), frameLength_, frame_.begin());
    frameReady = true;
    if (resetLength) assemblyLength_ = 0;
}

void LinkEngine::FrameHandler(std::span<const uint8_t> frame) {
    const uint8_t first = frame.empty() ? 0 : frame[0];
    switch (receiveMode) {
        case ReceiveMode::AckOrTimeout:
            if (first == kPacketAck || first == kPacketTimeout) Accept(frame, true);
            break;
        case ReceiveMode::SegmentAck:
            if (first == kPacketAck || first == kPacketTimeout) {
                Accept(frame, true);
                receiveMode = ReceiveMode::WakeEcho;
            }
            break;
        case ReceiveMode::WakeEcho:
            if (first == kPacketWake) Accept(frame, true);
            break;
        case ReceiveMode::BootAB:
            if (first == 0xAB) Accept(frame, true);
            break;
        case ReceiveMode::BootZero:
            if (first == 0x00) Accept(frame, false);
            break;
        case ReceiveMode::BootAA:
            if (first == 0xAA) Accept(frame, false);
            break;
        case ReceiveMode::RateHL:
            if (first == 'H' || first == 'L') Accept(frame, true);
            break;
        case ReceiveMode::BootW:
            if (first == 'W') Accept(frame, false);
            break;
        case ReceiveMode::AnyByte:
        case ReceiveMode::Word2:
        case ReceiveMode::Dword4:
        case ReceiveMode::Packet128:
        case ReceiveMode::Checksum2: Accept(frame, true); break;
        case ReceiveMode::PacketNumber:
        case ReceiveMode::Text8:
        case ReceiveMode::Reply16:
        case ReceiveMode::Reply14:
        case ReceiveMode::Reply268:
        case ReceiveMode::Block266:
        case ReceiveMode::IrCode514: Accept(frame, false); break;
        case ReceiveMode::TestFrame994: view_.TestFrame(frame); break;
        case ReceiveMode::None: break;
    }
}

bool LinkEngine::WaitFrame(uint32_t ms) {
    return pump_.PumpUntil([this] { return frameReady; }, ms);
}

// Waits for the frame and, when it came, marks it taken.
bool LinkEngine::WaitAndTake(uint32_t ms) {
    if (!WaitFrame(ms)) return false;
    frameReady = false;
    return true;
}

// ---------------------------------------------------------------------------
// Sending

bool LinkEngine::SendBytes(std::span<const uint8_t> data) {
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
            view_.AppendMonitor(text);
            text.clear();
            view_.ClearMonitor();
        }
    }
    if (!text.empty()) view_.AppendMonitor(text);
    return true;
}

bool LinkEngine::RecvReply(uint8_t& out, uint32_t timeoutMs) {
    receiveMode = ReceiveMode::AnyByte;
    assemblyLength_ = 0;
    if (!WaitFrame(timeoutMs)) return false;
    frameReady = false;
    out = frame_[0];
    return true;
}

uint8_t LinkEngine::RecvByte() {
    receiveMode = ReceiveMode::AnyByte;
    if (!WaitAndTake(kRecvByteTimeoutMs)) {
        linkStatus = kLinkFailed;
        Inform("RecvByte Time Out!");
        return 0xFF;
    }
    return frame_[0];
}

uint16_t LinkEngine::RecvWord() {
    assemblyLength_ = 0;
    receiveMode = ReceiveMode::Word2;
    if (!WaitAndTake(kRecvWordTimeoutMs)) {
        linkStatus = kLinkFailed;
        Inform("RecvWord Time Out!");
        return lastWord_;
    }
    lastWord_ = uint16_t(frame_[0] << 8 | frame_[1]);
    return lastWord_;
}

uint32_t LinkEngine::RecvDWord() {
    assemblyLength_ = 0;
    receiveMode = ReceiveMode::Dword4;
    if (!WaitAndTake(kRecvDWordTimeoutMs)) {
        linkStatus = kLinkFailed;
        Inform("RecvDWord Time Out!");
        return 0;
    }
    ByteReader r(frame_.data(), 4);
    return r.U32BE();
}

uint16_t LinkEngine::RecvWordKeepMode() {
    if (!WaitAndTake(1000)) {
        linkStatus = kLinkFailed;
        Inform("RecvWord Time Out!");
        return lastWord_;
    }
    lastWord_ = uint16_t(frame_[0] << 8 | frame_[1]);
    return lastWord_;
}

uint32_t LinkEngine::RecvDWordLittle(bool* ok) {
    assemblyLength_ = 0;
    receiveMode = ReceiveMode::Dword4;
    bool got = WaitAndTake(700);
    if (ok) *ok = got;
    if (!got) return 0;
    ByteReader r(frame_.data(), 4);
    return r.U32();
}

bool LinkEngine::WaitXon(uint8_t byte) {
    if (RecvByte() == kXon) {
        SendByte(byte);
        SetProgress(progress_ + 1);
        return true;
    }
    linkStatus = kLinkFailed;
    view_.SetStatusPanel("XON Time Out!");
    return false;
}

void LinkEngine::SetProgress(int value) {
    progress_ = value;
    view_.SetGauge(value);
}

// ---------------------------------------------------------------------------
// The current protocol

WakeResult LinkEngine::LinkWakeUp(uint32_t settleMs) {
    WakeResult r;
    if (!OpenLinkPortAt(300)) return r;
    // Whatever came before the wake byte is no answer to it.
    frameReady = false;
    assemblyLength_ = 0;
    SendByte(kWakeByte);
    if (!OpenLinkPortAt(115200)) return r;
    r.portOk = true;
    WaitTicks(settleMs);
    r.replied = RecvReply(r.reply);
    return r;
}

bool LinkEngine::WakeForTransfer() {
    WakeResult r = LinkWakeUp(kSettleTransferMs);
    if (!r.portOk) return false;
    if (r.replied && r.reply != kAccept) linkStatus = kLinkFailed;
    return true;
}

bool LinkEngine::SendFrameAndJudge(const std::array<uint8_t, 8>& frame, bool missingIsFailure) {
    if (!SendFrame(frame)) {
        linkStatus = kLinkFailed;  // the port is closed or gone
        return false;
    }
    WaitTicks(10);
    uint8_t reply = 0;
    if (!RecvReply(reply)) return !missingIsFailure;
    if (reply != kAccept) linkStatus = kLinkFailed;
    return true;
}

bool LinkEngine::ReceiveBlock(std::span<uint8_t> out264) {
    if (!WaitFrame(kBlockTimeoutMs)) {
        SendByte(kRefuse);
        return false;
    }
    ByteReader r(frame_.data(), std::min(frameLength_, kBlockBytes + 2));
    auto data = r.View(kBlockBytes);
    uint16_t sum = r.U16();
    if (!r.ok() || Sum16(data) != sum) {
        SendByte(kRefuse);
        return false;
    }
    assemblyLength_ = 0;
    frameReady = false;
    SendByte(kAccept);
    std::copy(data.begin(), data.end(), out264.begin());
    return true;
}

bool LinkEngine::SendBlock(std::span<const uint8_t> block264) {
    const uint16_t sum = Sum16(block264);
    const uint8_t sumBytes[2] = {uint8_t(sum), uint8_t(sum >> 8)};
    for (int attempt = 0; attempt < 3; ++attempt) {
        SendBytes(block264);
        SendBytes(sumBytes);
        uint8_t reply = 0;
        if (RecvReply(reply) && reply == kAccept) {
            SetProgress(progress_ + 1);
            return true;
        }
        if (linkStatus == kLinkFailed || userAbort) return false;
    }
    linkStatus = kLinkFailed;
    return false;
}

bool LinkEngine::ReadBlocks(uint16_t first, uint16_t count, std::span<uint8_t> out, const BlockProgress& progress) {
    if (out.size() < size_t(count) * kBlockBytes) return false;
    linkStatus = kLinkGood;
    frameReady = false;
    assemblyLength_ = 0;
    receiveMode = ReceiveMode::Word2;
    if (!SendFrame(BlockFrame(kCmdReadBlocks, first, count))) {
        linkStatus = kLinkFailed;
        return false;
    }
    receiveMode = ReceiveMode::Block266;
    assemblyLength_ = 0;
    for (int i = 0; i < count; ++i) {
        if (!ReceiveBlock(out.subspan(size_t(i) * kBlockBytes, kBlockBytes))) return false;
        SetProgress(first + i);
        if (progress) progress(first + i);
        if (linkStatus == kLinkFailed || userAbort) return false;
    }
    return true;
}

bool LinkEngine::WriteBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data,
                             const BlockProgress& progress) {
    if (data.size() < size_t(count) * kBlockBytes) return false;
    if (!SendFrameAndJudge(BlockFrame(kCmdWriteBlocks, first, count), false)) return false;
    for (int i = 0; i < count; ++i) {
        if (!SendBlock(data.subspan(size_t(i) * kBlockBytes, kBlockBytes))) return false;
        if (progress) progress(first + i);
        if (linkStatus == kLinkFailed || userAbort) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// IR learn and send

bool LinkEngine::IrLearnStart() {
    int number = 0;
    if (!FindVisualComPort(number)) return false;
    WakeResult r = LinkWakeUp(kSettleIrLearnMs);
    if (!r.portOk || !r.replied) return false;
    if (!SendFrame(BlockFrame(kCmdIrLearn, 0, 0))) return false;
    WaitTicks(20);
    uint8_t reply = 0;
    return RecvReply(reply) && reply == kAccept;
}

bool LinkEngine::IrLearnReceive(std::array<uint8_t, kIrCodeBytes>& code) {
    uint8_t start = 0;
    if (!RecvReply(start, kIrLearnStartTimeoutMs) || start != kAccept) return false;
    receiveMode = ReceiveMode::IrCode514;
    assemblyLength_ = 0;
    frameReady = false;
    if (!SendByte(kAccept)) return false;
    if (!WaitFrame(kIrLearnCodeTimeoutMs)) return false;
    frameReady = false;
    assemblyLength_ = 0;
    ByteReader r(frame_.data(), std::min(frameLength_, kIrCodeBytes + 2));
    auto data = r.View(kIrCodeBytes);
    uint16_t sum = r.U16();
    if (!r.ok() || Sum16(data) != sum) return false;
    std::copy(data.begin(), data.end(), code.begin());
    return true;
}

void LinkEngine::IrStop() { SendByte(kRefuse); }

bool LinkEngine::IrSendStart() {
    WakeResult r = LinkWakeUp(kSettleIrSendMs);
    if (!r.portOk || !r.replied) return false;
    if (!SendFrame(BlockFrame(kCmdIrSend, 0, 0))) return false;
    uint8_t reply = 0;
    return RecvReply(reply) && reply == kAccept;
}

bool LinkEngine::IrSendCode(std::span<const uint8_t> code512) {
    if (code512.size() != kIrCodeBytes) return false;
    std::array<uint8_t, kIrCodeBytes + 2> out{};
    std::copy(code512.begin(), code512.end(), out.begin());
    const uint16_t sum = Sum16(code512);
    out[kIrCodeBytes] = uint8_t(sum);
    out[kIrCodeBytes + 1] = uint8_t(sum >> 8);
    if (!SendBytes(out)) return false;
    uint8_t reply = 0;
    RecvReply(reply);  // the answer is not judged
    return SendByte(kAccept);
}

void LinkEngine::IrSendRelease() {
    SendByte(kAccept);
    uint8_t reply = 0;
    if (!RecvReply(reply, kIrReleaseTimeoutMs)) SendByte(kAccept);
}

}  // namespace orvalink
