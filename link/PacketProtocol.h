// The older packet protocol of the 256 KB models: 128-byte packets at 38400
// bit/s, packet numbers and sums high byte first. The remote acknowledges
// with 0x06, reports its own time-out with 0x09, echoes the wake byte 0x08
// and is asked to read with 0x04.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "link/LinkChannel.h"
#include "link/PortDiscovery.h"

namespace orvalink {

inline constexpr uint8_t kPacketRead = 0x04;
inline constexpr size_t kPacketBytes = 128;
inline constexpr int kPacketCount = 2048;
inline constexpr char kPacketNoAnswerText[] =
    "\xE6\xB2\x92\xE6\x9C\x89\xE5\x9B\x9E\xE6\x87\x89!  Time Out!";  // 沒有回應!

class PacketProtocol {
public:
    PacketProtocol(LinkChannel& channel, PortDiscovery& discovery) : channel_(channel), discovery_(discovery) {}

    bool PacketWakeUpWrite();
    bool PacketWakeUpRead();
    bool PacketWriteStart();
    bool PacketRateWriter();
    bool PacketRateReader();
    bool PacketSend(uint16_t number, std::span<const uint8_t> packet128);
    bool PacketReadStart(uint16_t first, uint16_t last);
    // Receives one packet and stores it at number * 128 of buffer.
    bool PacketReceive(std::span<uint8_t> buffer, uint16_t* number = nullptr);
    // Called with the packet number after every packet read.
    using PacketProgress = std::function<void(int packet)>;
    // Packets first..last into buffer (262144 bytes), with the page logs.
    bool ReadPackets(uint16_t first, uint16_t last, std::span<uint8_t> buffer, const PacketProgress& progress = {});

private:
    bool PacketWakeUp(int rounds, uint32_t echoWaitMs, bool readSide);
    uint8_t FirstByte() const { return channel_.Receiver().Frame()[0]; }
    // WaitAndTake of a one-byte answer, named in the trace (the byte, or the
    // wait that ran out).
    bool TakeAck(uint32_t ms);
    // A packet in the trace; `judged` is the remote's sum of a packet written.
    void NotePacket(TraceDirection direction, uint16_t number, uint16_t sum, const uint16_t* judged = nullptr);

    LinkChannel& channel_;
    PortDiscovery& discovery_;
};

}  // namespace orvalink
