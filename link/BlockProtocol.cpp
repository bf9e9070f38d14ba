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

WakeResult BlockProtocol::LinkWakeUp(uint32_t settleMs) {
    WakeResult r;
    if (!discovery_.OpenLinkPortAt(300)) return r;
    // Whatever came before the wake byte is no answer to it.
    channel_.Receiver().ClearFrameReady();
    channel_.Receiver().ResetAssembly();
    channel_.SendByte(kWakeByte);
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

bool BlockProtocol::ReceiveBlock(std::span<uint8_t> out264) {
    if (!channel_.WaitFrame(kBlockTimeoutMs)) {
        channel_.SendByte(kRefuse);
        return false;
    }
    const auto frame = channel_.Receiver().Frame();
    ByteReader r(frame.data(), std::min(frame.size(), kBlockBytes + 2));
    auto data = r.View(kBlockBytes);
    uint16_t sum = r.U16();
    if (!r.ok() || Sum16(data) != sum) {
        channel_.SendByte(kRefuse);
        return false;
    }
    channel_.Receiver().ResetAssembly();
    channel_.Receiver().ClearFrameReady();
    channel_.SendByte(kAccept);
    std::copy(data.begin(), data.end(), out264.begin());
    return true;
}

bool BlockProtocol::SendBlock(std::span<const uint8_t> block264) {
    const uint16_t sum = Sum16(block264);
    const uint8_t sumBytes[2] = {uint8_t(sum), uint8_t(sum >> 8)};
    for (int attempt = 0; attempt < 3; ++attempt) {
        channel_.SendBytes(block264);
        channel_.SendBytes(sumBytes);
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
        if (!ReceiveBlock(out.subspan(size_t(i) * kBlockBytes, kBlockBytes))) return false;
        channel_.SetProgress(first + i);
        if (progress) progress(first + i);
        if (channel_.ShouldStop()) return false;
    }
    return true;
}

bool BlockProtocol::WriteBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data,
                                const BlockProgress& progress) {
    if (data.size() < size_t(count) * kBlockBytes) return false;
    if (!SendFrameAndJudge(BlockFrame(kCmdWriteBlocks, first, count), false)) return false;
    for (int i = 0; i < count; ++i) {
        if (!SendBlock(data.subspan(size_t(i) * kBlockBytes, kBlockBytes))) return false;
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
    if (!channel_.SendByte(kAccept)) return false;
    if (!channel_.WaitFrame(kIrLearnCodeTimeoutMs)) return false;
    receiver.ClearFrameReady();
    receiver.ResetAssembly();
    const auto frame = receiver.Frame();
    ByteReader r(frame.data(), std::min(frame.size(), kIrCodeBytes + 2));
    auto data = r.View(kIrCodeBytes);
    uint16_t sum = r.U16();
    if (!r.ok() || Sum16(data) != sum) return false;
    std::copy(data.begin(), data.end(), code.begin());
    return true;
}

void BlockProtocol::IrStop() { channel_.SendByte(kRefuse); }

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
    uint8_t reply = 0;
    channel_.RecvReply(reply);  // the answer is not judged
    return channel_.SendByte(kAccept);
}

void BlockProtocol::IrSendRelease() {
    channel_.SendByte(kAccept);
    uint8_t reply = 0;
    if (!channel_.RecvReply(reply, kIrReleaseTimeoutMs)) channel_.SendByte(kAccept);
}

}  // namespace orvalink
