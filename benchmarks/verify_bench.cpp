// orvalink-verify-bench: what "Verify after upload" costs. Against
// orvalink-remote-sim with real wire timing at 115200 bit/s it times a plain
// upload of the 1013 configuration blocks, the same upload with its
// read-back, and a plain download of the same blocks, and prints the ratio of
// the verify's share (upload and verify, less the upload) to the download:
// the read-back is a download of what was sent, so the ratio stays near 1
// when verifying adds nothing but the wire time of the read-back (a fresh
// wake-up, the blocks, the comparison).
//
//   orvalink-verify-bench [PATH-TO-orvalink-remote-sim]

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "link/sim/VirtualRemote.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtSerialPort.h"
#include "tools/link-bench/BenchRemote.h"
#include "tools/link-bench/BenchTiming.h"

using namespace orvalink;
using namespace orvalink::bench;

namespace {

class QuietProgress final : public TransferProgress {
public:
    void Open(const std::string&, int) override {}
    void SetPosition(int) override {}
    void Succeeded() override {}
    bool Closed() const override { return true; }
    void Release() override {}
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString sim = QCoreApplication::applicationDirPath() + "/../tools/orvalink-remote-sim";
    if (argc > 1) sim = QString::fromLocal8Bit(argv[1]);

    QTemporaryDir dir;
    std::vector<uint8_t> remoteFlash(VirtualRemote::kDefaultFlashBytes);
    for (size_t i = 0; i < remoteFlash.size(); ++i) remoteFlash[i] = uint8_t(i * 29 + i / 264);
    QProcess remote;
    const std::string path = StartRemoteSim(remote, sim, dir, remoteFlash, "orvalink-verify-bench");
    if (path.empty()) return 1;

    QtSerialPort port(SimPortNames(path));
    QtEventPump pump;
    MemoryRegistry registry;
    RegisterSimPort(registry, "bench");
    ScriptedUiServices ui;
    SystemClock clock;
    LinkView view;
    LinkEngine link(port, pump, registry, ui, clock, view);
    TTiFlashFm flash;
    auto image = flash.Image();
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 7 + 3 + i / 264);
    Transfers transfers(link, flash);
    QuietProgress progress;

    std::printf("Verify benchmark: %d blocks of %zu bytes at 115200 bit/s against orvalink-remote-sim --wire\n",
                kConfigBlocks, kBlockBytes);
    bool ok = false;
    const Measure upload = Run([&] { return transfers.UploadAndVerify(progress, kKindWhole, false).Ok(); }, ok);
    link.CloseLinkPort();
    std::printf("upload            %s  wall %8.3f s\n", ok ? "ok    " : "FAILED", upload.wall);

    UploadOutcome verified;
    const Measure both = Run([&] {
        verified = transfers.UploadAndVerify(progress, kKindWhole, true);
        return verified.Ok() && verified.verify.result == VerifyResult::Same;
    }, ok);
    link.CloseLinkPort();
    std::printf("upload + verify   %s  wall %8.3f s  (%u blocks read back)\n", ok ? "ok    " : "FAILED", both.wall,
                verified.verify.blocks);

    // The same blocks by a plain download: what the read-back cannot beat.
    const Measure download = Run([&] { return transfers.DownloadFromRemote(progress).Ok(); }, ok);
    link.CloseLinkPort();
    std::printf("download          %s  wall %8.3f s\n", ok ? "ok    " : "FAILED", download.wall);
    // The wire's own floor of the read-back: the 0xA1 frame and a 'B' a block
    // from the PC, the wake reply and the blocks from the remote, the 100 ms
    // settle time.
    const double n = kConfigBlocks;
    const double floor = WireSeconds(8 + n + 1 + n * 266) + 0.100;

    const double verifyShare = both.wall - upload.wall;
    std::printf("verify's share    %8.3f s  ratio to the download %.4f  ratio to the wire's floor %.4f\n",
                verifyShare, verifyShare / download.wall, verifyShare / floor);

    remote.terminate();
    remote.waitForFinished(5000);
    return 0;
}
