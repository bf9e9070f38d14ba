// The older packet protocol of the 256 KB models: 128-byte packets at 38400
// bit/s, packet numbers and sums high byte first. The remote acknowledges
// with 0x06, reports its own time-out with 0x09 and echoes the wake byte 0x08.
#include <string>

#include "base/ByteIo.h"
#include "link/LinkEngine.h"

namespace orvalink {

namespace {
constexpr const char* kNoAnswer = "\xE6\xB2\x92\xE6\x9C\x89\xE5\x9B\x9E\xE6\x87\x89!  Time Out!";  // 沒有回應!
}

bool LinkEngine::PacketWakeUp(int rounds, uint32_t echoWaitMs, bool readSide) {
    Expect(ReceiveMode::WakeEcho);
    for (int round = 0; round < rounds; ++round) {
        if (readSide && family_ == WindowsFamily::Win95) WaitTicks(10);
        SendByte(kPacketWake);
        if (WaitFrame(echoWaitMs)) {
            Expect(ReceiveMode::AckOrTimeout);
            return true;
        }
        if (!readSide) WaitTicks(3);
        if (userAbort) {
            if (!readSide) Inform("Transfer Broke!");
            return false;
        }
    }
    return false;
}

bool LinkEngine::PacketWakeUpWrite() { return PacketWakeUp(600, 5, false); }

bool LinkEngine::PacketWakeUpRead() { return PacketWakeUp(620, 8, true); }

bool LinkEngine::PacketWriteStart() {
    // The wake-up left the mode at AckOrTimeout.
    frameReady = false;
    SendByte(kPacketWake);
    return WaitAndTake(1000) && frame_[0] == kPacketAck;
}

bool LinkEngine::PacketRateWriter() {
    Expect(ReceiveMode::AckOrTimeout);
    SendByte('L');
    bool ok = WaitAndTake(500) && frame_[0] == kPacketAck;
    WaitTicks(2);
    return ok;
}

bool LinkEngine::PacketRateReader() {
    Expect(ReceiveMode::RateHL);
    if (!WaitAndTake(500)) return false;
    Expect(ReceiveMode::AckOrTimeout);
    SendByte(kPacketTimeout);
    return true;
}

bool LinkEngine::PacketSend(uint16_t number, std::span<const uint8_t> packet128) {
    if (packet128.size() != kPacketBytes) return false;
    Expect(ReceiveMode::AckOrTimeout);
    SendByte(kPacketAck);
    if (!WaitAndTake(1500)) {
        Warn("Packet Time Out! Over 500 ms! ");
        return false;
    }
    if (frame_[0] == kPacketTimeout) {
        Warn("Packet Time Out! ( 0x09 )");
        return false;
    }
    const uint8_t num[2] = {uint8_t(number >> 8), uint8_t(number)};
    SendBytes(num);
    if (!WaitAndTake(2500)) {
        Warn("Segment Time Out! Over 500 ms!");
        return false;
    }
    if (frame_[0] == kPacketTimeout) {
        Warn("Segment Time Out! ( 0x09 )");
        return false;
    }
    Expect(ReceiveMode::Checksum2);
    SendBytes(packet128);
    if (!WaitAndTake(1500)) {
        Warn(kNoAnswer);
        return false;
    }
    if (uint16_t(frame_[0] << 8 | frame_[1]) != Sum16(packet128)) {
        Warn("Packet Check Sum Error !!!");
        return false;
    }
    return true;
}

bool LinkEngine::PacketReadStart(uint16_t first, uint16_t last) {
    if (first >= kPacketCount || last >= kPacketCount || last < first) return false;
    const bool is95 = family_ == WindowsFamily::Win95;
    if (is95) {
        assemblyLength_ = 0;
        view_.ClearMonitor();
        WaitTicks(10);
    }
    if (!PacketWakeUpRead()) {
        Monitor("Weak Up Error! \n");
        return false;
    }
    WaitTicks(is95 ? 150 : 100);
    Expect(ReceiveMode::AckOrTimeout);
    SendByte(kPacketRead);
    if (!WaitAndTake(1100) || frame_[0] != kPacketAck) {
        Monitor("Trans Action Error! \n");
        return false;
    }
    if (!is95) WaitTicks(2);
    Expect(ReceiveMode::SegmentAck);
    uint8_t range[4];
    ByteWriter w(range, sizeof range);
    w.U16BE(first);
    w.U16BE(last);
    SendBytes(range);
    if (!WaitFrame(is95 ? 3000 : 400) || frame_[0] == kPacketTimeout) {
        Monitor("Trans SegMent Error! \n");
        return false;
    }
    // The handler has switched to WakeEcho; the echo may have come with the ack.
    if (frame_[0] != kPacketWake) {
        Expect(ReceiveMode::WakeEcho);
        if (!WaitFrame(300)) {
            Monitor("Trans Recv Strat Error! \n");
            return false;
        }
    }
    frameReady = false;
    SendByte(kPacketAck);
    if (!PacketRateReader()) {
        Monitor("Change BitRate Error! \n");
        return false;
    }
    return true;
}

bool LinkEngine::PacketReceive(std::span<uint8_t> buffer, uint16_t* number) {
    // The packet's start byte may already be in: the remote sends it unasked.
    if (!WaitAndTake(500)) {
        Warn("Packet ABC Time Out! Over 500 ms! ");
        return false;
    }
    if (frame_[0] != kPacketAck) return false;  // 0x09: the remote gave up
    Expect(ReceiveMode::PacketNumber);
    SendByte(kPacketAck);
    if (!WaitAndTake(500)) {
        Warn("Segment Time Out! Over 500 ms!");
        return false;
    }
    const uint16_t p = uint16_t(frame_[0] << 8 | frame_[1]);
    Expect(ReceiveMode::Packet128);
    SendByte(kPacketAck);
    if (!WaitAndTake(500)) {
        Warn(kNoAnswer);
        return false;
    }
    if (frameLength_ < kPacketBytes) return false;
    std::array<uint8_t, kPacketBytes> packet{};
    std::copy_n(frame_.begin(), kPacketBytes, packet.begin());
    Expect(ReceiveMode::AckOrTimeout);
    const uint16_t sum = Sum16(packet);
    const uint8_t sumBytes[2] = {uint8_t(sum >> 8), uint8_t(sum)};
    SendBytes(sumBytes);
    if (p < kPacketCount && (size_t(p) + 1) * kPacketBytes <= buffer.size())
        std::copy(packet.begin(), packet.end(), buffer.begin() + size_t(p) * kPacketBytes);
    if (number) *number = p;
    return true;
}

bool LinkEngine::ReadPackets(uint16_t first, uint16_t last, std::span<uint8_t> buffer,
                             const BlockProgress& progress) {
    if (!PacketReadStart(first, last)) return false;
    for (int p = first; p <= last; ++p) {
        if (!PacketReceive(buffer)) {
            Monitor("Receive Packet Error! \n");
            return false;
        }
        view_.SetStatusPanel("Seg = " + std::to_string(p));
        SetProgress(kPacketBytes * (p - first + 1));
        if (progress) progress(p);
        if (userAbort) return false;
    }
    Monitor("Receive Packet Ok! \n");
    return true;
}

}  // namespace orvalink
