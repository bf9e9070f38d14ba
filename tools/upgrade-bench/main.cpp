// orvalink-upgrade-bench: how close a whole 5100-family upgrade (the program
// through the binary boot loader, the pause, then all 4096 flash blocks)
// comes to what the wire allows.
//
// It starts orvalink-remote-sim with real wire timing, runs the upgrade
// routines over QSerialPort and the Qt event loop against it, and prints the
// wall time of each step and of the whole, the floor (the wire time of every
// byte both sides must send, plus the waits the protocol prescribes), their
// ratio, the ratio with the virtual remote's own reply delays added to the
// floor, and Orvalink's CPU time over the wall time.

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
#include "link/Upgrade.h"
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
    QProcess remote;
    const std::string path =
        StartRemoteSim(remote, sim, dir, std::vector<uint8_t>(VirtualRemote::kDefaultFlashBytes, 0xFF), "orvalink-upgrade-bench");
    if (path.empty()) return 1;

    BenchLink bench(path);
    LinkEngine& link = bench.link;
    TTiFlashFm flash;
    flash.SelectModel(kSelector5100);
    {
        auto img = flash.Image();
        for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 29 + i / 264);
    }
    UpgradeBuffers buffers;
    for (size_t i = 0; i < buffers.mcu.size(); ++i) buffers.mcu[i] = uint8_t(i * 13 + i / 512);
    Upgrader upgrader(link, flash, buffers);
    const RemoteTiming timing;
    const double pages = 115, erases = 11, blocks = kFlash5100Blocks;

    std::printf("Upgrade benchmark: a QM-5100 program (%d pages of 512 bytes) and flash (%d blocks of %zu bytes)\n"
                "at 115200 bit/s against orvalink-remote-sim --wire\n",
                int(pages), int(blocks), kBlockBytes);
    if (!link.EnsureLinkPort()) {
        std::fprintf(stderr, "orvalink-upgrade-bench: the port did not open\n");
        return 1;
    }

    // Program: 'A' at 300 bit/s and its 5 ms settle, 0xAF and its 16-byte
    // answer, 0xA7, the erase frames, per page 0xA9 + 'B' + 514 + 'B', 0xAA.
    bool okProgram = false;
    const Measure program = Run([&] { return upgrader.BootWriteBinary(BinaryLoader::Qm5100).Ok(); }, okProgram);
    const double programBytes = 1 + 8 + 16 + 8 + 1 + erases * 9 + pages * (8 + 1 + 514 + 1) + 8 + 1;
    const double programFloor = WireSeconds(1, 300) + WireSeconds(programBytes - 1);
    const double programDelays = timing.wakeMicros / 1e6 + erases * timing.eraseMicros / 1e6 +
                                 (3 + erases + 2 * pages + 1) * timing.replyMicros / 1e6;
    Report("program", okProgram, program, programFloor, programDelays);

    // The pause the upgrade flow keeps between the steps.
    bool okPause = true;
    const Measure pause = Run([&] { link.WaitTicks(kProgramToFlashPauseMs); return true; }, okPause);
    Report("pause", okPause, pause, kProgramToFlashPauseMs / 1000.0, 0);

    // Flash: wake (the byte crosses during the 100 ms settle), block 103 read
    // and written back, the range's 0xA3, the blocks, 0xA5; the waits 100 +
    // 200 + 3 x 10 after the frames + 50 before 0xA5.
    bool okFlash = false;
    const Measure flashRun = Run([&] { return upgrader.FlashTransfers().WriteFlash5100(kKindWhole).Ok(); }, okFlash);
    const double pcBytes = 8 + 1 + 8 + 266 + 8 + blocks * 266 + 8;
    const double remoteBytes = 1 + 266 + 1 + 1 + 1 + blocks + 1;
    const double flashFloor = WireSeconds(pcBytes + remoteBytes) + 0.380;
    const double flashDelays = (timing.wakeMicros / 1e6 - 0.100) + 2 * (timing.eraseMicros / 1e6 - 0.010) +
                               (blocks + 4) * timing.replyMicros / 1e6;
    Report("flash", okFlash, flashRun, flashFloor, flashDelays);

    const Measure whole{program.wall + pause.wall + flashRun.wall, program.cpu + pause.cpu + flashRun.cpu};
    Report("whole", okProgram && okFlash, whole, programFloor + kProgramToFlashPauseMs / 1000.0 + flashFloor,
           programDelays + flashDelays);

    link.CloseLinkPort();
    remote.terminate();
    remote.waitForFinished(5000);
    return okProgram && okFlash ? 0 : 1;
}
