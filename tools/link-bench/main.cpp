// orvalink-link-bench: how close a whole download and a whole upload of the
// 1013 configuration blocks come to what the wire allows.
//
// It starts orvalink-remote-sim with real wire timing, runs the link engine
// over QSerialPort and the Qt event loop against it, and prints for each
// transfer the wall time, the floor (the wire time of every byte both sides
// must send at 115200 bit/s, plus the waits the protocol prescribes), their
// ratio, the same ratio with the virtual remote's own reply delays added to
// the floor, and Orvalink's CPU time over the wall time.

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "tools/link-bench/BenchRemote.h"
#include "tools/link-bench/BenchTiming.h"
#include "link/Transfers.h"
#include "link/sim/VirtualRemote.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtSerialPort.h"

using namespace orvalink;
using namespace orvalink::bench;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString sim = SimProgram(argc, argv, "orvalink-remote-sim");

    QTemporaryDir dir;
    const std::vector<uint8_t> remoteFlash = PatternedRemoteFlash(VirtualRemote::kDefaultFlashBytes);
    QProcess remote;
    const std::string path = StartRemoteSim(remote, sim, dir, remoteFlash, "orvalink-link-bench");
    if (path.empty()) return 1;

    BenchLink bench(path);
    LinkEngine& link = bench.link;
    TTiFlashFm flash;
    Transfers transfers(link, flash);
    QuietProgress progress;
    const RemoteTiming timing;
    const double n = kConfigBlocks;

    std::printf("Link benchmark: %d blocks of %zu bytes at 115200 bit/s against orvalink-remote-sim --wire\n",
                kConfigBlocks, kBlockBytes);

    // Download: the 0xA1 frame and a 'B' per block from the PC; the wake
    // reply and the blocks from the remote; the 100 ms settle time. The wake
    // byte crosses the wire during the settle time.
    bool ok = false;
    Measure down = Run([&] { return transfers.DownloadFromRemote(progress).Ok(); }, ok);
    link.CloseLinkPort();
    const double downFloor = WireSeconds(8 + n + 1 + n * 266) + 0.100;
    const double downDelays = (10.0 / 300 + timing.wakeMicros / 1e6 - 0.100) + n * timing.replyMicros / 1e6;
    Report("download", ok, down, downFloor, downDelays);

    // Upload: block 103 read and written back, the range, the clock and end
    // frames; waits 100 settle + 100 + 200 + 4 x 10 after the frames + 2 x 10
    // around the clock frame.
    Measure up = Run([&] { return transfers.UploadToRemote(progress, kKindWhole).Ok(); }, ok);
    link.CloseLinkPort();
    const double pcBytes = 8 + 1 + 8 + 266 + 8 + n * 266 + 8 + 8;
    const double remoteBytes = 1 + 266 + 1 + 1 + 1 + n + 1 + 1;
    const double upFloor = WireSeconds(pcBytes + remoteBytes) + 0.460;
    const double upDelays = (10.0 / 300 + timing.wakeMicros / 1e6 - 0.100) + 2 * (timing.eraseMicros / 1e6 - 0.010) +
                            (n + 4) * timing.replyMicros / 1e6;
    Report("upload", ok, up, upFloor, upDelays);

    remote.terminate();
    remote.waitForFinished(5000);
    return 0;
}
