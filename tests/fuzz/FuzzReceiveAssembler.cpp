// Feeds the input into the link's receive assembler in every receive mode:
// the first byte picks the starting mode, the rest arrive in deliveries whose
// sizes come from the input too, and now and then a consumer takes the frame
// and resets the assembly. Nothing may be read or written outside the
// assembly and frame buffers, whatever arrives.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/LinkEngine.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/LoopbackSerialPort.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/doubles/VirtualEventPump.h"

using namespace orvalink;

namespace {
constexpr ReceiveMode kModes[] = {
    ReceiveMode::None,      ReceiveMode::AckOrTimeout, ReceiveMode::SegmentAck, ReceiveMode::WakeEcho,
    ReceiveMode::BootAB,    ReceiveMode::BootZero,     ReceiveMode::BootAA,     ReceiveMode::RateHL,
    ReceiveMode::BootW,     ReceiveMode::AnyByte,      ReceiveMode::Word2,      ReceiveMode::Dword4,
    ReceiveMode::PacketNumber, ReceiveMode::Packet128, ReceiveMode::Checksum2,  ReceiveMode::Text8,
    ReceiveMode::Reply16,   ReceiveMode::Reply14,      ReceiveMode::Reply268,   ReceiveMode::Block266,
    ReceiveMode::IrCode514, ReceiveMode::TestFrame994,
};
constexpr size_t kModeCount = sizeof kModes / sizeof kModes[0];
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static VirtualEventPump pump;
    static LoopbackSerialPort port(pump);
    static MemoryRegistry registry;
    static ScriptedUiServices ui;
    static FixedClock clock;
    static LinkView view;
    static LinkEngine link(port, pump, registry, ui, clock, view);
    if (size == 0) return 0;
    for (size_t start = 0; start < kModeCount; ++start) {
        link.Expect(kModes[(data[0] + start) % kModeCount]);
        size_t pos = 1;
        while (pos < size) {
            const size_t n = std::min<size_t>(size - pos, 1 + data[pos - 1] % 300);
            link.Receiver().Assemble({data + pos, n});
            if (link.Receiver().AssemblyLength() > kAssemblySize) std::abort();
            if (link.Receiver().Frame().size() > kFrameSize) std::abort();
            // A consumer now and then: take the frame, pick the next mode.
            if (link.Receiver().FrameReady() && data[pos] % 3 == 0) {
                link.Expect(kModes[data[pos] % kModeCount]);
            }
            pos += n;
        }
    }
    return 0;
}
