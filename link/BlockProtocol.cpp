#include "link/BlockProtocol.h"

#include <algorithm>

#include "base/ByteIo.h"

namespace orvalink {

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

bool BlockProtocol::SendAck(uint8_t byte) {
    const bool sent = channel_.SendByte(byte);
    if (sent && channel_.Trace().Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Sent;
        f.kind = TraceKind::Ack;
        f.code = byte;
        channel_.Trace().Frame(f);
    }
    return sent;
}

void BlockProtocol::NoteSent(TraceKind kind) {
    TraceFrame f;
    f.direction = TraceDirection::Sent;
    f.kind = kind;
    channel_.Note(f);
}

WakeResult BlockProtocol::LinkWakeUp(uint32_t settleMs) {
    WakeResult r;
    if (!discovery_.OpenLinkPortAt(300)) return r;
    // Whatever came before the wake byte is no answer to it.
    channel_.Receiver().ClearFrameReady();
    channel_.Receiver().ResetAssembly();
    if (channel_.SendByte(kWakeByte)) NoteSent(TraceKind::Wake);
    if (!discovery_.OpenLinkPortAt(115200)) return r;
    r.portOk = true;
    channel_.WaitTicks(settleMs);
    r.replied = channel_.RecvReply(r.reply);
    return r;
}

bool BlockProtocol::WakeForTransfer() {
    WakeResult r = LinkWakeUp(kSettleTransferMs);
    if (!r.portOk) return false;
    if (r.replied && r.reply != kAccept) channel_.SetLinkStatus(kLinkFailed);
    return true;
}

bool BlockProtocol::SendFrame(const std::array<uint8_t, 8>& frame) {
    if (!channel_.SendBytes(frame)) return false;
    if (channel_.Trace().Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Sent;
        f.kind = TraceKind::Command;
        f.command = frame;
        channel_.Trace().Frame(f);
    }
    return true;
}

bool BlockProtocol::SendFrameAndJudge(const std::array<uint8_t, 8>& frame, bool missingIsFailure) {
    if (!SendFrame(frame)) {
        channel_.SetLinkStatus(kLinkFailed);  // the port is closed or gone
        return false;
    }
    channel_.WaitTicks(10);
    uint8_t reply = 0;
    if (!channel_.RecvReply(reply)) return !missingIsFailure;
    if (reply != kAccept) channel_.SetLinkStatus(kLinkFailed);
    return true;
}

bool BlockProtocol::ReceiveBlock(std::span<uint8_t> out264, int number) {
    if (!channel_.WaitFrame(kBlockTimeoutMs)) {
        channel_.NoteTimeout("block", kBlockTimeoutMs, number);
        SendAck(kRefuse);
        return false;
    }
    const auto frame = channel_.Receiver().Frame();
    ByteReader r(frame.data(), std::min(frame.size(), kBlockBytes + 2));
    auto data = r.View(kBlockBytes);
    uint16_t sum = r.U16();
    const bool good = r.ok() && Sum16(data) == sum;
    if (channel_.Trace().Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Received;
        f.kind = TraceKind::Block;
        f.number = number;
        f.sum = sum;
        f.expected = r.ok() ? Sum16(data) : 0;
        f.good = good;
        channel_.Trace().Frame(f);
    }
    if (!good) {
        SendAck(kRefuse);
        return false;
    }
    channel_.Receiver().ResetAssembly();
    channel_.Receiver().ClearFrameReady();
    SendAck(kAccept);
    std::copy(data.begin(), data.end(), out264.begin());
    return true;
}

bool BlockProtocol::SendBlock(std::span<const uint8_t> block264, int number) {
    const uint16_t sum = Sum16(block264);
    const uint8_t sumBytes[2] = {uint8_t(sum), uint8_t(sum >> 8)};
    for (int attempt = 0; attempt < 3; ++attempt) {
        channel_.SendBytes(block264);
        channel_.SendBytes(sumBytes);
        if (channel_.Trace().Recording()) {
            TraceFrame f;
            f.direction = TraceDirection::Sent;
            f.kind = TraceKind::Block;
            f.number = number;
            f.sum = sum;
            f.attempt = attempt + 1;
            channel_.Trace().Frame(f);
        }
        uint8_t reply = 0;
        if (channel_.RecvReply(reply) && reply == kAccept) return true;
        if (channel_.ShouldStop()) return false;
    }
    channel_.SetLinkStatus(kLinkFailed);
    return false;
}

bool BlockProtocol::ReadBlocks(uint16_t first, uint16_t count, std::span<uint8_t> out, const BlockProgress& progress) {
    if (out.size() < size_t(count) * kBlockBytes) return false;
    channel_.SetLinkStatus(kLinkGood);
    ReceiveAssembler& receiver = channel_.Receiver();
    receiver.ClearFrameReady();
    receiver.ResetAssembly();
    receiver.SetMode(ReceiveMode::Word2);
    if (!SendFrame(BlockFrame(kCmdReadBlocks, first, count))) {
        channel_.SetLinkStatus(kLinkFailed);
        return false;
    }
    receiver.SetMode(ReceiveMode::Block266);
    receiver.ResetAssembly();
    for (int i = 0; i < count; ++i) {
        if (!ReceiveBlock(out.subspan(size_t(i) * kBlockBytes, kBlockBytes), first + i)) return false;
        if (progress)
            progress(first + i);
        else
            channel_.SetProgress(first + i);
        if (channel_.ShouldStop()) return false;
    }
    return true;
}

bool BlockProtocol::WriteBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data,
                                const BlockProgress& progress) {
    if (data.size() < size_t(count) * kBlockBytes) return false;
    if (!SendFrameAndJudge(BlockFrame(kCmdWriteBlocks, first, count), false)) return false;
    for (int i = 0; i < count; ++i) {
        if (!SendBlock(data.subspan(size_t(i) * kBlockBytes, kBlockBytes), first + i)) return false;
        channel_.SetProgress(first + i);
        if (progress) progress(first + i);
        if (channel_.ShouldStop()) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// IR learn and send

bool BlockProtocol::IrLearnStart() {
    int number = 0;
    if (!discovery_.FindVisualComPort(number)) return false;
    WakeResult r = LinkWakeUp(kSettleIrLearnMs);
    if (!r.portOk || !r.replied) return false;
    if (!SendFrame(BlockFrame(kCmdIrLearn, 0, 0))) return false;
    channel_.WaitTicks(20);
    uint8_t reply = 0;
    return channel_.RecvReply(reply) && reply == kAccept;
}

bool BlockProtocol::IrLearnReceive(std::array<uint8_t, kIrCodeBytes>& code, const std::function<bool()>& stop) {
    uint8_t start = 0;
    if (!channel_.RecvReplyUnless(start, kIrLearnStartTimeoutMs, stop) || start != kAccept) return false;
    ReceiveAssembler& receiver = channel_.Receiver();
    receiver.Expect(ReceiveMode::IrCode514);
    if (!SendAck(kAccept)) return false;
    if (!channel_.WaitFrame(kIrLearnCodeTimeoutMs)) {
        channel_.NoteTimeout("ir-code", kIrLearnCodeTimeoutMs);
        return false;
    }
    receiver.ClearFrameReady();
    receiver.ResetAssembly();
    const auto frame = receiver.Frame();
    ByteReader r(frame.data(), std::min(frame.size(), kIrCodeBytes + 2));
    auto data = r.View(kIrCodeBytes);
    uint16_t sum = r.U16();
    const bool good = r.ok() && Sum16(data) == sum;
    if (channel_.Trace().Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Received;
        f.kind = TraceKind::IrCode;
        f.sum = sum;
        f.expected = r.ok() ? Sum16(data) : 0;
        f.good = good;
        channel_.Trace().Frame(f);
    }
    if (!good) return false;
    std::copy(data.begin(), data.end(), code.begin());
    return true;
}

void BlockProtocol::IrStop() { SendAck(kRefuse); }

bool BlockProtocol::IrSendStart() {
    WakeResult r = LinkWakeUp(kSettleIrSendMs);
    if (!r.portOk || !r.replied) return false;
    if (!SendFrame(BlockFrame(kCmdIrSend, 0, 0))) return false;
    uint8_t reply = 0;
    return channel_.RecvReply(reply) && reply == kAccept;
}

bool BlockProtocol::IrSendCode(std::span<const uint8_t> code512) {
    if (code512.size() != kIrCodeBytes) return false;
    std::array<uint8_t, kIrCodeBytes + 2> out{};
    std::copy(code512.begin(), code512.end(), out.begin());
    const uint16_t sum = Sum16(code512);
    out[kIrCodeBytes] = uint8_t(sum);
    out[kIrCodeBytes + 1] = uint8_t(sum >> 8);
    if (!channel_.SendBytes(out)) return false;
    if (channel_.Trace().Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Sent;
        f.kind = TraceKind::IrCode;
        f.sum = sum;
        channel_.Trace().Frame(f);
    }
    uint8_t reply = 0;
    channel_.RecvReply(reply);  // the answer is not judged
    return SendAck(kAccept);
}

void BlockProtocol::IrSendRelease() {
    SendAck(kAccept);
    uint8_t reply = 0;
    if (!channel_.RecvReply(reply, kIrReleaseTimeoutMs)) SendAck(kAccept);
}

}  // namespace orvalink
