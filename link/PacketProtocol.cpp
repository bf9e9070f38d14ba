#include "link/PacketProtocol.h"

#include <algorithm>
#include <array>
#include <string>

#include "base/ByteIo.h"

namespace orvalink {

bool PacketProtocol::TakeAck(uint32_t ms) {
    if (!channel_.WaitAndTake(ms)) {
        channel_.NoteTimeout("reply", ms);
        return false;
    }
    channel_.NoteReceived(TraceKind::Ack, FirstByte());
    return true;
}

void PacketProtocol::NotePacket(TraceDirection direction, uint16_t number, uint16_t sum, const uint16_t* judged) {
    if (!channel_.Trace().Recording()) return;
    TraceFrame f;
    f.direction = direction;
    f.kind = TraceKind::Packet;
    f.number = number;
    f.sum = judged ? *judged : sum;
    f.expected = sum;
    f.attempt = judged ? 1 : 0;
    f.good = !judged || *judged == sum;
    channel_.Trace().Frame(f);
}

bool PacketProtocol::PacketWakeUp(int rounds, uint32_t echoWaitMs, bool readSide) {
    channel_.Receiver().Expect(ReceiveMode::WakeEcho);
    for (int round = 0; round < rounds; ++round) {
        if (readSide && discovery_.Family() == WindowsFamily::Win95) channel_.WaitTicks(10);
        channel_.SendByte(kPacketWake);
        if (channel_.WaitFrame(echoWaitMs)) {
            channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
            return true;
        }
        if (!readSide) channel_.WaitTicks(3);
        if (channel_.UserAbort()) {
            if (!readSide) channel_.Inform("Transfer Broke!");
            return false;
        }
    }
    return false;
}

bool PacketProtocol::PacketWakeUpWrite() { return PacketWakeUp(600, 5, false); }

bool PacketProtocol::PacketWakeUpRead() { return PacketWakeUp(620, 8, true); }

bool PacketProtocol::PacketWriteStart() {
    // The wake-up left the mode at AckOrTimeout.
    channel_.Receiver().ClearFrameReady();
    channel_.SendByte(kPacketWake);
    return TakeAck(1000) && FirstByte() == kPacketAck;
}

bool PacketProtocol::PacketRateWriter() {
    channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
    channel_.SendByte('L');
    bool ok = TakeAck(500) && FirstByte() == kPacketAck;
    channel_.WaitTicks(2);
    return ok;
}

bool PacketProtocol::PacketRateReader() {
    channel_.Receiver().Expect(ReceiveMode::RateHL);
    if (!TakeAck(500)) return false;
    channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
    channel_.SendByte(kPacketTimeout);
    return true;
}

bool PacketProtocol::PacketSend(uint16_t number, std::span<const uint8_t> packet128) {
    if (packet128.size() != kPacketBytes) return false;
    channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
    channel_.SendByte(kPacketAck);
    if (!TakeAck(1500)) {
        channel_.Warn("Packet Time Out! Over 500 ms! ");
        return false;
    }
    if (FirstByte() == kPacketTimeout) {
        channel_.Warn("Packet Time Out! ( 0x09 )");
        return false;
    }
    const uint8_t num[2] = {uint8_t(number >> 8), uint8_t(number)};
    channel_.SendBytes(num);
    if (!TakeAck(2500)) {
        channel_.Warn("Segment Time Out! Over 500 ms!");
        return false;
    }
    if (FirstByte() == kPacketTimeout) {
        channel_.Warn("Segment Time Out! ( 0x09 )");
        return false;
    }
    channel_.Receiver().Expect(ReceiveMode::Checksum2);
    channel_.SendBytes(packet128);
    const uint16_t ours = Sum16(packet128);
    NotePacket(TraceDirection::Sent, number, ours);
    if (!channel_.WaitAndTake(1500)) {
        channel_.NoteTimeout("sum", 1500, number);
        channel_.Warn(kPacketNoAnswerText);
        return false;
    }
    const auto sum = channel_.Receiver().Frame();
    const uint16_t theirs = uint16_t(sum[0] << 8 | sum[1]);
    NotePacket(TraceDirection::Received, number, ours, &theirs);
    if (theirs != ours) {
        channel_.Warn("Packet Check Sum Error !!!");
        return false;
    }
    return true;
}

bool PacketProtocol::PacketReadStart(uint16_t first, uint16_t last) {
    if (first >= kPacketCount || last >= kPacketCount || last < first) return false;
    const bool is95 = discovery_.Family() == WindowsFamily::Win95;
    if (is95) {
        channel_.Receiver().ResetAssembly();
        channel_.View().PacketReadStarting();
        channel_.WaitTicks(10);
    }
    if (!PacketWakeUpRead()) {
        channel_.View().PacketLog("Weak Up Error! \n");
        return false;
    }
    channel_.WaitTicks(is95 ? 150 : 100);
    channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
    channel_.SendByte(kPacketRead);
    if (!TakeAck(1100) || FirstByte() != kPacketAck) {
        channel_.View().PacketLog("Trans Action Error! \n");
        return false;
    }
    if (!is95) channel_.WaitTicks(2);
    channel_.Receiver().Expect(ReceiveMode::SegmentAck);
    uint8_t range[4];
    ByteWriter w(range, sizeof range);
    w.U16BE(first);
    w.U16BE(last);
    channel_.SendBytes(range);
    if (!channel_.WaitFrame(is95 ? 3000 : 400) || FirstByte() == kPacketTimeout) {
        channel_.View().PacketLog("Trans SegMent Error! \n");
        return false;
    }
    // The handler has switched to WakeEcho; the echo may have come with the ack.
    if (FirstByte() != kPacketWake) {
        channel_.Receiver().Expect(ReceiveMode::WakeEcho);
        if (!channel_.WaitFrame(300)) {
            channel_.View().PacketLog("Trans Recv Strat Error! \n");
            return false;
        }
    }
    channel_.Receiver().ClearFrameReady();
    channel_.SendByte(kPacketAck);
    if (!PacketRateReader()) {
        channel_.View().PacketLog("Change BitRate Error! \n");
        return false;
    }
    return true;
}

bool PacketProtocol::PacketReceive(std::span<uint8_t> buffer, uint16_t* number) {
    // The packet's start byte may already be in: the remote sends it unasked.
    if (!TakeAck(500)) {
        channel_.Warn("Packet ABC Time Out! Over 500 ms! ");
        return false;
    }
    if (FirstByte() != kPacketAck) return false;  // 0x09: the remote gave up
    channel_.Receiver().Expect(ReceiveMode::PacketNumber);
    channel_.SendByte(kPacketAck);
    if (!channel_.WaitAndTake(500)) {
        channel_.NoteTimeout("word", 500);
        channel_.Warn("Segment Time Out! Over 500 ms!");
        return false;
    }
    const auto numberFrame = channel_.Receiver().Frame();
    const uint16_t p = uint16_t(numberFrame[0] << 8 | numberFrame[1]);
    channel_.NoteReceived(TraceKind::Word, p);
    channel_.Receiver().Expect(ReceiveMode::Packet128);
    channel_.SendByte(kPacketAck);
    if (!channel_.WaitAndTake(500)) {
        channel_.NoteTimeout("packet", 500, p);
        channel_.Warn(kPacketNoAnswerText);
        return false;
    }
    const auto frame = channel_.Receiver().Frame();
    if (frame.size() < kPacketBytes) return false;
    std::array<uint8_t, kPacketBytes> packet{};
    std::copy_n(frame.begin(), kPacketBytes, packet.begin());
    channel_.Receiver().Expect(ReceiveMode::AckOrTimeout);
    const uint16_t sum = Sum16(packet);
    NotePacket(TraceDirection::Received, p, sum);
    const uint8_t sumBytes[2] = {uint8_t(sum >> 8), uint8_t(sum)};
    channel_.SendBytes(sumBytes);
    if (p < kPacketCount && (size_t(p) + 1) * kPacketBytes <= buffer.size())
        std::copy(packet.begin(), packet.end(), buffer.begin() + size_t(p) * kPacketBytes);
    if (number) *number = p;
    return true;
}

bool PacketProtocol::ReadPackets(uint16_t first, uint16_t last, std::span<uint8_t> buffer,
                             const PacketProgress& progress) {
    if (!PacketReadStart(first, last)) return false;
    for (int p = first; p <= last; ++p) {
        if (!PacketReceive(buffer)) {
            channel_.View().PacketLog("Receive Packet Error! \n");
            return false;
        }
        channel_.View().StatusMessage("Seg = " + std::to_string(p));
        channel_.SetProgress(kPacketBytes * (p - first + 1));
        if (progress) progress(p);
        if (channel_.UserAbort()) return false;
    }
    channel_.View().PacketLog("Receive Packet Ok! \n");
    return true;
}

}  // namespace orvalink
