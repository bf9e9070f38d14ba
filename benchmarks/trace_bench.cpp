// What recording the link conversation costs: a whole download of the 1013
// configuration blocks from the in-process virtual remote on the virtual
// clock (so only the computer's own work is timed, no wire), three ways:
//   without a recorder (the baseline),
//   with a recorder that records nothing (the program's state while the
//     Tools menu's recording is off and the command line's without --trace),
//   with a recorder writing every byte and frame into memory.
//
// usage: orvalink-trace-bench [RUNS]   (at least 5, default 20; medians count)
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "BenchSupport.h"
#include "link/LinkEngine.h"
#include "link/LinkTrace.h"
#include "link/Transfers.h"
#include "link/sim/SimLink.h"
#include "link/sim/VirtualRemote.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/LoopbackSerialPort.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/VirtualEventPump.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

class RemoteOnCable final : public CablePeer {
public:
    RemoteOnCable(VirtualRemote& remote, LoopbackSerialPort& port) : remote_(remote), port_(port) {
        port_.SetPeer(this);
        remote_.SetOutput([this](std::span<const uint8_t> bytes, int baud) { port_.SendFromPeer(bytes, baud); });
    }
    ~RemoteOnCable() override { port_.SetPeer(nullptr); }
    void OnReceive(std::span<const uint8_t> bytes, int baud, uint64_t now) override { remote_.Receive(bytes, baud, now); }
    uint64_t NextEventMicros() const override { return remote_.NextEventMicros(); }
    void RunUntil(uint64_t now) override { remote_.RunUntil(now); }

private:
    VirtualRemote& remote_;
    LoopbackSerialPort& port_;
};

// The progress dialog nobody looks at: closed as soon as it may be.
struct NoDialog final : TransferProgress {
    void Open(const std::string&, int) override {}
    void SetPosition(int) override {}
    void Succeeded() override {}
    bool Closed() const override { return true; }
    void Release() override {}
};

enum class Recording { None, Off, IntoMemory };

// One download; its time in ms, or a negative number when it failed.
double Download(Recording recording, size_t* traceBytes) {
    VirtualEventPump pump;
    LoopbackSerialPort port(pump, kSimComNumber);
    VirtualRemote remote;
    RemoteOnCable cable(remote, port);
    MemoryRegistry registry;
    RegisterSimPort(registry, "bench");
    QuietUi ui;
    FixedClock clock;
    LinkView view;
    LinkTraceRecorder recorder(pump);
    TraceMemory memory(size_t(64) << 20);
    if (recording == Recording::IntoMemory) recorder.AddSink(memory);
    std::unique_ptr<LinkEngine> link =
        recording == Recording::None ? std::make_unique<LinkEngine>(port, pump, registry, ui, clock, view)
                                     : std::make_unique<LinkEngine>(port, pump, registry, ui, clock, view, recorder);
    TTiFlashFm flash;
    Transfers transfers(*link, flash);
    NoDialog dialog;
    const auto start = Timer::now();
    const bool ok = transfers.DownloadFromRemote(dialog).Ok();
    const double ms = Millis(start);
    if (traceBytes) *traceBytes = memory.Text().size();
    return ok ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 20;
    if (runs < 5) {
        std::fprintf(stderr, "RUNS must be a number of at least 5\n");
        return 2;
    }
    std::vector<double> none, off, on;
    size_t traceBytes = 0;
    for (int run = 0; run < runs; ++run) {
        // Interleaved, so a slower moment of the machine falls on all three.
        const double a = Download(Recording::None, nullptr);
        const double b = Download(Recording::Off, nullptr);
        const double c = Download(Recording::IntoMemory, &traceBytes);
        if (a < 0 || b < 0 || c < 0) {
            std::fprintf(stderr, "a download from the virtual remote failed\n");
            return 1;
        }
        none.push_back(a);
        off.push_back(b);
        on.push_back(c);
    }
    const double base = Median(none);
    std::printf("download of 1013 blocks from the virtual remote, %d runs (medians)\n", runs);
    std::printf("without a recorder:         %8.2f ms\n", base);
    std::printf("recorder, recording off:    %8.2f ms  ratio %.2f\n", Median(off), Median(off) / base);
    std::printf("recording into memory:      %8.2f ms  ratio %.2f  (%zu bytes of trace)\n", Median(on),
                Median(on) / base, traceBytes);
    return 0;
}
