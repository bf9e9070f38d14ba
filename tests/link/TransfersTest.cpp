// The main download and upload, the per-model variants and the backup's link
// side, against the virtual remote on the virtual clock.
#include <gtest/gtest.h>

#include <vector>

#include "link/Upgrade.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class TransfersTest : public LinkFixture {};

TEST_F(TransfersTest, DownloadReplacesTheConfigurationPagesOnly) {
    FillRemote();
    FillImage(0x11);
    ASSERT_TRUE(transfers.DownloadFromRemote(progress));
    EXPECT_TRUE(ImageEqualsRemote(kTransferBytes));
    // Pages from 1013 up are not moved by the download.
    auto img = flash.Image();
    EXPECT_TRUE(std::all_of(img.begin() + long(kTransferBytes), img.end(), [](uint8_t b) { return b == 0x11; }));
    EXPECT_EQ(progress.status, "Download from Remote.");
    EXPECT_EQ(progress.maximum, 1012);
    EXPECT_TRUE(progress.succeeded);
    EXPECT_EQ(progress.releases, 1);
    EXPECT_EQ(remote.BlocksSent(), 1013);
    EXPECT_EQ(remote.WakeUps(), 1);
    // The wake byte went out at 300 bit/s, the blocks at 115200.
    ASSERT_GE(port.OpenedRates().size(), 2u);
    EXPECT_EQ(port.OpenedRates()[0], 300);
    EXPECT_EQ(port.OpenedRates()[1], 115200);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(TransfersTest, UploadWritesTheImageAndSetsTheClock) {
    FillImage(0x5C);
    auto img = flash.Image();
    for (size_t i = 0; i < kTransferBytes; ++i) img[i] = uint8_t(i * 7 + 3);
    std::vector<uint8_t> remoteBefore(remote.Flash().begin(), remote.Flash().end());
    ASSERT_TRUE(transfers.UploadToRemote(progress, kKindWhole));
    EXPECT_EQ(progress.status, "Upload to Remote.");
    EXPECT_TRUE(progress.succeeded);
    EXPECT_TRUE(ImageEqualsRemote(kTransferBytes));
    // The remote's pages above the configuration are untouched.
    EXPECT_TRUE(std::equal(remote.Flash().begin() + long(kTransferBytes), remote.Flash().end(),
                           remoteBefore.begin() + long(kTransferBytes)));
    ASSERT_TRUE(remote.ClockSet().has_value());
    EXPECT_EQ(remote.ClockSet()->year, 2026);
    EXPECT_EQ(remote.ClockSet()->month, 12);
    EXPECT_EQ(remote.ClockSet()->day, 8);
    EXPECT_EQ(remote.ClockSet()->hour, 9);
    EXPECT_EQ(remote.ClockSet()->minute, 41);
    EXPECT_EQ(remote.UploadsEnded(), 1);
    // Read of block 103, its write back, the range, the clock and the end.
    std::vector<uint8_t> expected = {kCmdReadBlocks, kCmdWriteBlocks, kCmdWriteBlocks, kCmdSetClock, kCmdEndUpload};
    EXPECT_EQ(remote.Commands(), expected);
}

TEST_F(TransfersTest, UploadKeepsTheRemotesTwentySettingsBytes) {
    FillRemote(3);
    std::vector<uint8_t> remoteSettings(remote.Flash().begin() + 27304, remote.Flash().begin() + 27324);
    FillImage(0xEE);
    ASSERT_TRUE(transfers.UploadToRemote(progress, kKindWhole));
    EXPECT_TRUE(std::equal(remoteSettings.begin(), remoteSettings.end(), flash.Image().begin() + 27304));
    EXPECT_TRUE(std::equal(remoteSettings.begin(), remoteSettings.end(), remote.Flash().begin() + 27304));
    // Everything else of block 103 comes from the image.
    EXPECT_EQ(remote.Flash()[27303], 0xEE);
    EXPECT_EQ(remote.Flash()[27324], 0xEE);
}

TEST_F(TransfersTest, DownloadThenUploadRoundTrip) {
    FillRemote(9);
    std::vector<uint8_t> original(remote.Flash().begin(), remote.Flash().begin() + long(kTransferBytes));
    ASSERT_TRUE(transfers.DownloadFromRemote(progress));
    link.CloseLinkPort();
    std::fill(remote.Flash().begin(), remote.Flash().begin() + long(kTransferBytes), uint8_t(0));
    ASSERT_TRUE(transfers.UploadToRemote(progress, kKindWhole));
    // All but the twenty settings bytes, which the upload takes from the remote.
    EXPECT_TRUE(std::equal(original.begin(), original.begin() + 27304, remote.Flash().begin()));
    EXPECT_TRUE(std::equal(original.begin() + 27324, original.end(), remote.Flash().begin() + 27324));
}

TEST_F(TransfersTest, CancelledDownloadLeavesTheImageAsItWas) {
    FillRemote();
    FillImage(0x42);
    std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());
    progress.cancelAt = 500;
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
    EXPECT_TRUE(link.UserAbort());
    EXPECT_FALSE(progress.succeeded);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin()));
    // The read stopped after the cancelled block.
    EXPECT_LE(remote.BlocksSent(), 502);
}

TEST_F(TransfersTest, CancelledUploadStillSendsTheClockFrame) {
    progress.cancelAt = 200;
    EXPECT_FALSE(transfers.UploadToRemote(progress, kKindWhole));
    EXPECT_LT(remote.BlocksWritten(), 1013);
    auto w = port.Written();
    auto frame = ClockFrame(kCmdSetClock, clock.Now());
    EXPECT_NE(std::search(w.begin(), w.end(), frame.begin(), frame.end()), w.end());
}

TEST_F(TransfersTest, ImageNotReadyRefusesWithoutWakingTheRemoteOnUpload) {
    flash.Release();
    const TransferOutcome o = transfers.UploadToRemote(progress, kKindWhole);
    EXPECT_EQ(o.kind, TransferResult::NotReady);
    EXPECT_EQ(o.message, "Ti Flash not ready !");
    EXPECT_EQ(o.icon, MsgIcon::Error);
    // The transfer itself shows nothing; the window shows the outcome.
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_EQ(remote.WakeUps(), 0);
    EXPECT_TRUE(port.Written().empty());
}

TEST_F(TransfersTest, ImageNotReadyOnDownloadShowsNoDialog) {
    flash.Release();
    const TransferOutcome o = transfers.DownloadFromRemote(progress);
    EXPECT_EQ(o.kind, TransferResult::NotReady);
    ShowReports(ui, DownloadReports(o, false));
    EXPECT_EQ(ui.MessageTexts(), (std::vector<std::string>{"Ti Flash not ready !", "Download Flash Data Error !"}));
    EXPECT_EQ(progress.opens, 0);
}

TEST_F(TransfersTest, UploadOfAnotherKindRefreshesThePreservedBytesAndWritesNothing) {
    FillRemote(5);
    FillImage(0x00);
    EXPECT_FALSE(transfers.UploadToRemote(progress, 10));
    EXPECT_EQ(remote.WakeUps(), 1);
    EXPECT_EQ(remote.BlocksWritten(), 0);
    EXPECT_TRUE(std::equal(remote.Flash().begin() + 27304, remote.Flash().begin() + 27324, flash.Image().begin() + 27304));
    EXPECT_EQ(progress.opens, 0);
}

TEST_F(TransfersTest, UploadWhoseClockFrameGetsNoReplyFails) {
    // The remote falls silent once every block is in: block 103 read and
    // written back, then the 1013 of the range.
    remote.Faults().silentAfter = 1015;
    EXPECT_FALSE(transfers.UploadToRemote(progress, kKindWhole));
    EXPECT_TRUE(progress.succeeded);
    EXPECT_EQ(remote.BlocksWritten(), 1014);
    EXPECT_FALSE(remote.ClockSet().has_value());
}

TEST_F(TransfersTest, NoPortFoundEndsTheTransfersQuietly) {
    registry.RemoveKey(kNtAdapterKey);
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
    EXPECT_FALSE(transfers.UploadToRemote(progress, kKindWhole));
    EXPECT_TRUE(ui.Messages().empty());
    EXPECT_TRUE(port.Written().empty());
}

// Every fault of the remote ends the transfer with a clear failure, and a
// failed download leaves the image untouched.
struct FaultCase {
    const char* name;
    void (*apply)(RemoteFaults&);
    bool hitsDownload;
};

class TransferFaults : public LinkFixture, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TransferFaults, DownloadFailsAndTheImageStays) {
    FillRemote();
    FillImage(0x99);
    GetParam().apply(remote.Faults());
    if (!GetParam().hitsDownload) {
        // A refusing remote still gives its blocks: downloads send none to it.
        EXPECT_TRUE(transfers.DownloadFromRemote(progress));
        return;
    }
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
    EXPECT_FALSE(progress.succeeded);
    auto img = flash.Image();
    EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](uint8_t b) { return b == 0x99; }));
}

TEST_P(TransferFaults, UploadFails) {
    GetParam().apply(remote.Faults());
    EXPECT_FALSE(transfers.UploadToRemote(progress, kKindWhole));
}

const FaultCase kFaults[] = {
    {"RefuseBlock", [](RemoteFaults& f) { f.refuseBlock = 300; }, false},
    {"CorruptBlock", [](RemoteFaults& f) { f.corruptBlock = 103; }, true},
    {"SilentAfter", [](RemoteFaults& f) { f.silentAfter = 500; }, true},
    {"HangUpAfter", [](RemoteFaults& f) { f.hangUpAfter = 500; }, true},
    {"Garbage", [](RemoteFaults& f) { f.garbage = true; }, true},
};

INSTANTIATE_TEST_SUITE_P(EveryFault, TransferFaults, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransfersTest, HangUpMidDownloadFailsWithThePortGone) {
    FillRemote();
    remote.Faults().hangUpAfter = 500;
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
    EXPECT_TRUE(port.HungUp());
    EXPECT_TRUE(remote.HungUp());
    // The next attempt cannot even open the port.
    EXPECT_FALSE(transfers.DownloadFromRemote(progress));
}

TEST_F(TransfersTest, ReadAndWriteThe5100Flash) {
    FillRemote(1);
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(transfers.ReadFlash5100());
    EXPECT_TRUE(ImageEqualsRemote(flash.ImageSize()));
    link.CloseLinkPort();

    std::vector<uint8_t> remoteSettings(remote.Flash().begin() + 27304, remote.Flash().begin() + 27324);
    FillImage(0x3A);
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(transfers.WriteFlash5100(kKindWhole));
    EXPECT_TRUE(ImageEqualsRemote(flash.ImageSize()));
    EXPECT_TRUE(std::equal(remoteSettings.begin(), remoteSettings.end(), remote.Flash().begin() + 27304));
}

TEST_F(TransfersTest, PartialWriteOf5100WritesTheCodeRegionAndKeepsTheRest) {
    FillRemote(2);
    std::vector<uint8_t> before(remote.Flash().begin(), remote.Flash().end());
    auto img = flash.Image();
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 7 + 3 + i / 264);
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(transfers.WriteFlash5100(kKindPartial));
    // Pages 1018..3381 are the document's; of the rest only bytes 32-33 of
    // blocks 103 and 111 come from it, everything else is the remote's.
    const size_t regionStart = size_t(kCodeRegionFirstPage) * 264;
    const size_t regionEnd = (size_t(kCodeRegionLastPage) + 1) * 264;
    auto f = remote.Flash();
    for (size_t i = 0; i < f.size(); ++i) {
        const bool taken = i == 103 * 264 + 32 || i == 103 * 264 + 33 || i == 111 * 264 + 32 || i == 111 * 264 + 33 ||
                           (i >= regionStart && i < regionEnd);
        ASSERT_EQ(f[i], taken ? img[i] : before[i]) << "byte " << i;
    }
    EXPECT_EQ(remote.UploadsEnded(), 1);
}

TEST_F(TransfersTest, AWriteOfNoBlockIsRefusedBeforeAnythingIsSent) {
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(link.Blocks().WakeForTransfer());
    port.ClearWritten();
    const TransferOutcome none = transfers.WriteImageRange(kPartial5100First, 0);
    EXPECT_FALSE(none.Ok());
    // Nor a range past the image's end.
    EXPECT_FALSE(transfers.WriteImageRange(4095, 2).Ok());
    pump.Advance(100);
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(remote.UploadsEnded(), 0);
    EXPECT_EQ(UpgradeButtonReports(UpgradeButton::WriteTi5Flash, none).back().text, "Write 5100 Flash Data Error !");
}

TEST_F(TransfersTest, WriteFlash1400Kinds) {
    FillRemote(4);
    std::vector<uint8_t> before(remote.Flash().begin(), remote.Flash().end());
    FillImage(0x77);
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(transfers.WriteFlash1400(kKindPartial));
    auto f = remote.Flash();
    // Blocks 0-1 are the remote's but for bytes 14-15; 639..2047 the image's.
    EXPECT_EQ(f[14], 0x77);
    EXPECT_EQ(f[15], 0x77);
    EXPECT_EQ(f[13], before[13]);
    EXPECT_EQ(f[16], before[16]);
    EXPECT_EQ(f[638 * 264], before[638 * 264]);
    EXPECT_EQ(f[639 * 264], 0x77);
    EXPECT_EQ(f[2048 * 264 - 1], 0x77);
    EXPECT_EQ(f[2048 * 264], before[2048 * 264]);
    EXPECT_FALSE(transfers.WriteFlash1400(30));
}

TEST_F(TransfersTest, ReadFlash5100IntoASmallerImageIsRefused) {
    flash.SelectModel(kSelector2300);  // 2048 pages
    FillImage(0x12);
    ASSERT_TRUE(link.EnsureLinkPort());
    EXPECT_EQ(transfers.ReadFlash5100().kind, TransferResult::NotReady);
    // The box stays up a while; the remote, asked for 4096 blocks, gives up.
    pump.Advance(3000);
    EXPECT_TRUE(transfers.ReadFlash1400());
    EXPECT_TRUE(ImageEqualsRemote(flash.ImageSize()));
}

TEST_F(TransfersTest, Backup5100ReportsAndClosesThePort) {
    FillRemote(8);
    const TransferOutcome o = transfers.BackupDownload5100();
    EXPECT_EQ(o.kind, TransferResult::Ok);
    ShowReports(ui, Backup5100Reports(o));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Download 5100 Flash Data Ok !"});
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(ImageEqualsRemote(flash.ImageSize()));
}

TEST_F(TransfersTest, Backup5100Broken) {
    FillRemote(8);
    pump.Schedule(5000, [this] { link.SetUserAbort(true); });
    const TransferOutcome o = transfers.BackupDownload5100();
    EXPECT_EQ(o.kind, TransferResult::Broken);
    ShowReports(ui, Backup5100Reports(o));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Download transfer broken !"});
    EXPECT_FALSE(link.UserAbort());
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(TransfersTest, Backup5100Error) {
    remote.Faults().corruptBlock = 2000;
    const TransferOutcome o = transfers.BackupDownload5100();
    EXPECT_EQ(o.kind, TransferResult::Failed);
    ShowReports(ui, Backup5100Reports(o));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Download 5100 Flash Data Error !"});
    EXPECT_EQ(ui.Messages().back().icon, MsgIcon::Error);
}

TEST_F(TransfersTest, Backup5100WithoutAPortSaysOnlyWhatTheSearchSaid) {
    registry.RemoveKey(kNtAdapterKey);
    const TransferOutcome o = transfers.BackupDownload5100();
    EXPECT_EQ(o.kind, TransferResult::NoPort);
    ShowReports(ui, Backup5100Reports(o));
    EXPECT_EQ(ui.MessageTexts(), std::vector<std::string>{"Visual ComPort Not Found !"});
}

// The words after each command, in order, for every kind of outcome.
TEST(TransferReports, EachCommandWordsItsOutcome) {
    const TransferOutcome ok{TransferResult::Ok, {}, MsgIcon::None};
    const TransferOutcome failed{TransferResult::Failed, {}, MsgIcon::None};
    const TransferOutcome broken{TransferResult::Broken, {}, MsgIcon::None};
    const TransferOutcome notReady{TransferResult::NotReady, "Ti Flash not ready !", MsgIcon::Error};
    auto texts = [](const std::vector<LinkReport>& reports) {
        std::vector<std::string> out;
        for (const auto& r : reports) out.push_back(r.text);
        return out;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(texts(DownloadReports(ok, false)), V{"Download Flash Data Ok !"});
    EXPECT_EQ(DownloadReports(ok, false)[0].icon, MsgIcon::Information);
    EXPECT_EQ(texts(DownloadReports(failed, true)), V{"Download Flash Data Error !"});
    EXPECT_EQ(DownloadReports(failed, true)[0].icon, MsgIcon::Error);
    // The main window calls a cancelled download an error; the start dialog says broken.
    EXPECT_EQ(texts(DownloadReports(broken, false)), V{"Download Flash Data Error !"});
    EXPECT_EQ(texts(DownloadReports(broken, true)), V{"Download transfer broken !"});
    EXPECT_EQ(DownloadReports(broken, true)[0].icon, MsgIcon::Information);
    EXPECT_EQ(texts(DownloadReports(notReady, true)), (V{"Ti Flash not ready !", "Download Flash Data Error !"}));
    EXPECT_EQ(texts(UploadReports(ok)), V{"Upload Flash Data Ok !"});
    EXPECT_EQ(texts(UploadReports(broken)), V{"Upload Flash Data Error !"});
    EXPECT_EQ(texts(UploadReports(notReady)), (V{"Ti Flash not ready !", "Upload Flash Data Error !"}));
    EXPECT_EQ(texts(Backup5100Reports(notReady)), (V{"Ti Flash not ready !", "Download 5100 Flash Data Error !"}));
}

}  // namespace
}  // namespace orvalink::testing
