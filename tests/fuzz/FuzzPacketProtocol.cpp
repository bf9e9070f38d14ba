// The receive side of the older packet protocol against a remote that says
// whatever the input says. The first byte picks the conversation (a packet
// read of a few packets, one packet received, a packet sent after the write
// wake-up, a read start followed by packets); the second and third give the
// packet numbers. The rest is the remote's script: every time the PC sends
// something, the remote answers with the next piece, a length byte and that
// many bytes (0 is silence). Whatever comes back, the engine ends every wait
// by its time-out, never writes outside the packet buffer, and keeps its
// assembly within bounds.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "link/LinkEngine.h"
#include "link/sim/SimLink.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/LoopbackSerialPort.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/doubles/VirtualEventPump.h"

using namespace orvalink;

namespace {

// The far end of the cable, reading its answers from the script.
class ScriptedRemote final : public CablePeer {
public:
    ScriptedRemote(LoopbackSerialPort& port, std::span<const uint8_t> script) : port_(port), script_(script) {
        port_.SetPeer(this);
    }
    ~ScriptedRemote() override { port_.SetPeer(nullptr); }
    void OnReceive(std::span<const uint8_t> /*bytes*/, int baud, uint64_t /*now*/) override {
        if (script_.empty()) return;
        const size_t n = std::min<size_t>(script_[0], script_.size() - 1);
        const auto answer = script_.subspan(1, n);
        script_ = script_.subspan(1 + n);
        if (!answer.empty()) port_.SendFromPeer(answer, baud);
    }

private:
    LoopbackSerialPort& port_;
    std::span<const uint8_t> script_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    VirtualEventPump pump;
    LoopbackSerialPort port(pump, kSimComNumber);
    MemoryRegistry registry;
    RegisterSimPort(registry, "fuzz");
    ScriptedUiServices ui;
    FixedClock clock;
    LinkView view;
    LinkEngine link(port, pump, registry, ui, clock, view);
    ScriptedRemote remote(port, {data + 3, size - 3});
    if (!link.EnsureLinkPort() || !link.OpenLinkPortAt(38400)) std::abort();

    std::vector<uint8_t> buffer(size_t(kPacketCount) * kPacketBytes, 0);
    const uint16_t first = uint16_t((data[1] << 8 | data[2]) % kPacketCount);
    const uint16_t last = uint16_t(std::min<int>(first + data[1] % 4, kPacketCount - 1));
    switch (data[0] % 4) {
        case 0:
            link.Packets().ReadPackets(first, last, buffer);
            break;
        case 1: {
            link.Expect(ReceiveMode::AckOrTimeout);
            uint16_t number = 0xFFFF;
            link.Packets().PacketReceive(buffer, &number);
            break;
        }
        case 2: {
            std::vector<uint8_t> packet(kPacketBytes);
            for (size_t i = 0; i < packet.size(); ++i) packet[i] = uint8_t(i * 7 + data[2]);
            if (link.Packets().PacketWakeUpWrite() && link.Packets().PacketWriteStart() && link.Packets().PacketRateWriter())
                link.Packets().PacketSend(first, packet);
            break;
        }
        default:
            if (link.Packets().PacketReadStart(first, last))
                for (int p = first; p <= last && link.Packets().PacketReceive(buffer); ++p) {
                }
            break;
    }
    if (link.Receiver().AssemblyLength() > kAssemblySize || link.Receiver().Frame().size() > kFrameSize) std::abort();
    link.CloseLinkPort();
    return 0;
}
