// The boot loaders, the ROM boot mode and the TI flash frames against the
// virtual remote at "PROG", on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <vector>

#include "formats/ModelCatalogue.h"
#include "link/OlderFlashTransfers.h"
#include "link/Upgrade.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class UpgradeTest : public LinkFixture {
protected:
    UpgradeTest() : upgrader(link, flash, buffers) {
        for (size_t i = 0; i < buffers.mcu.size(); ++i) buffers.mcu[i] = uint8_t(i * 13 + i / 512);
        EXPECT_TRUE(link.EnsureLinkPort());
    }

    // The user presses CANCEL as soon as `when` holds (looked at every ms).
    void CancelWhen(std::function<bool()> when) {
        cancelWhen_ = std::move(when);
        Watch();
    }

    // The positions the gauge was given end at its maximum, none beyond it;
    // the runner's reset to 0 follows.
    void ExpectGaugeEndsAt(int maximum) {
        const auto& g = view.gauges;
        ASSERT_GE(g.size(), 2u);
        EXPECT_EQ(g.back(), 0);
        EXPECT_EQ(g[g.size() - 2], maximum);
        EXPECT_LE(*std::max_element(g.begin(), g.end()), maximum);
        EXPECT_GE(*std::min_element(g.begin(), g.end()), 0);
    }

    bool FirmwareHolds(size_t bytes) const {
        const auto& fw = remote.Boot().Firmware();
        return std::equal(buffers.mcu.begin(), buffers.mcu.begin() + long(bytes), fw.begin());
    }
    std::vector<uint8_t> RemoteBlocks(size_t first, size_t count) const {
        auto f = remote.Flash();
        return {f.begin() + long(first * 264), f.begin() + long((first + count) * 264)};
    }
    std::vector<uint8_t> ImageBlocks(size_t first, size_t count) const {
        auto img = flash.Image();
        return {img.begin() + long(first * 264), img.begin() + long((first + count) * 264)};
    }

    UpgradeBuffers buffers;
    Upgrader upgrader;

private:
    void Watch() {
        pump.Schedule(1, [this] {
            if (cancelWhen_()) {
                link.SetUserAbort(true);
                link.SetLinkStatus(kLinkFailed);
            } else {
                Watch();
            }
        });
    }
    std::function<bool()> cancelWhen_;
};

// ---- The binary boot loader

TEST_F(UpgradeTest, Qm5100ProgramIsErasedWrittenAndFinished) {
    const auto outcome = upgrader.BootWriteBinary(BinaryLoader::Qm5100);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_TRUE(FirmwareHolds(115 * 512));
    EXPECT_EQ(remote.Boot().SectorsErased(), 115);
    EXPECT_EQ(remote.Boot().PagesWritten(), 115);
    EXPECT_EQ(remote.Boot().Programs(), 1);
    EXPECT_EQ(view.gauge, 114);
    // 'A' went out at 300 bit/s; the rest at 115200.
    const auto& rates = port.OpenedRates();
    EXPECT_NE(std::find(rates.begin(), rates.end(), 300), rates.end());
    EXPECT_EQ(rates.back(), 115200);
}

TEST_F(UpgradeTest, MembersEraseAndWriteTheirOwnPageCounts) {
    struct Case { BinaryLoader member; const char* ident; const char* name; int pages; };
    for (const Case c : {Case{BinaryLoader::Qm1400, "QM-1400", "", 59}, Case{BinaryLoader::Named, "PRM", "PRM", 60},
                         Case{BinaryLoader::Slimline, "    SLIMLINE", "", 115}}) {
        SCOPED_TRACE(c.ident);
        remote.Boot().Faults().identification = c.ident;
        const int erasedBefore = remote.Boot().SectorsErased();
        const int pagesBefore = remote.Boot().PagesWritten();
        ASSERT_TRUE(upgrader.BootWriteBinary(c.member, c.name).Ok());
        EXPECT_EQ(remote.Boot().SectorsErased() - erasedBefore, c.pages);
        EXPECT_EQ(remote.Boot().PagesWritten() - pagesBefore, c.pages);
        EXPECT_TRUE(FirmwareHolds(size_t(c.pages) * 512));
    }
}

TEST_F(UpgradeTest, AnotherModelsIdentificationEndsBeforeAnyErase) {
    remote.Boot().Faults().identification = "QM-1400";
    const auto outcome = upgrader.BootWriteBinary(BinaryLoader::Qm5100);
    EXPECT_EQ(outcome.kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().SectorsErased(), 0);
    EXPECT_EQ(remote.Boot().PagesWritten(), 0);
    EXPECT_EQ(remote.WakeUps(), 1);  // no second try either
    EXPECT_EQ(std::count(remote.Commands().begin(), remote.Commands().end(), 0xA7), 0);
    EXPECT_EQ(ButtonInfo(UpgradeButton::WriteN5kMcu).errorText,
              UpgradeButtonReports(UpgradeButton::WriteN5kMcu, outcome).back().text);
}

TEST_F(UpgradeTest, IdentificationIsTheTextUpToItsPadding) {
    auto answer = [](std::string text) {
        std::vector<uint8_t> a(16, 0x00);
        std::copy(text.begin(), text.end(), a.begin());
        return a;
    };
    EXPECT_TRUE(IdentificationMatches(answer("QM-5100"), "QM-5100"));
    EXPECT_TRUE(IdentificationMatches(answer("QM-5100 V2.1"), "QM-5100"));
    EXPECT_TRUE(IdentificationMatches(answer("    SLIMLINE    "), "SLIMLINE"));
    EXPECT_FALSE(IdentificationMatches(answer("QM-51000"), "QM-5100"));
    EXPECT_FALSE(IdentificationMatches(answer("QM-1400"), "QM-5100"));
    EXPECT_FALSE(IdentificationMatches(answer("QM-510"), "QM-5100"));
    EXPECT_FALSE(IdentificationMatches(answer("PR-60"), "PRM"));
    EXPECT_FALSE(IdentificationMatches(answer(""), ""));
}

TEST_F(UpgradeTest, APageRefusedOnceIsSentAgainWithItsNumber) {
    remote.Boot().Faults().refusePage = 7;
    remote.Boot().Faults().refuseTimes = 1;
    ASSERT_TRUE(upgrader.BootWriteBinary(BinaryLoader::Qm5100).Ok());
    EXPECT_EQ(remote.Boot().PageRefusals(), 1);
    EXPECT_TRUE(FirmwareHolds(115 * 512));
}

TEST_F(UpgradeTest, TheTenthRefusalOfAPageFails) {
    remote.Boot().Faults().refusePage = 3;
    remote.Boot().Faults().refuseTimes = 9;
    EXPECT_TRUE(upgrader.BootWriteBinary(BinaryLoader::Qm5100).Ok());

    remote.Boot().Faults().refusePage = 4;
    remote.Boot().Faults().refuseTimes = 9 + 10;  // 9 used above, 10 more
    EXPECT_EQ(upgrader.BootWriteBinary(BinaryLoader::Qm5100).kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().Programs(), 1);
}

TEST_F(UpgradeTest, ThreeMissingAnswersEndTheUpgrade) {
    remote.Boot().Faults().mutePage = 5;
    remote.Boot().Faults().muteTimes = 2;
    ASSERT_TRUE(upgrader.BootWriteBinary(BinaryLoader::Qm5100).Ok());
    EXPECT_TRUE(FirmwareHolds(115 * 512));

    remote.Boot().Faults().mutePage = 6;
    remote.Boot().Faults().muteTimes = 2 + 3;
    const int before = remote.Boot().PagesWritten();
    EXPECT_EQ(upgrader.BootWriteBinary(BinaryLoader::Qm5100).kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().PagesWritten() - before, 6);  // pages 0..5
    EXPECT_EQ(remote.Boot().Programs(), 1);
}

TEST_F(UpgradeTest, CancelStopsTheBinaryLoaderAtEachStage) {
    CancelWhen([this] { return remote.Boot().SectorsErased() > 0; });
    EXPECT_EQ(upgrader.BootWriteBinary(BinaryLoader::Qm5100).kind, TransferResult::Broken);
    EXPECT_EQ(remote.Boot().PagesWritten(), 0);

    link.SetUserAbort(false);
    CancelWhen([this] { return remote.Boot().PagesWritten() >= 20; });
    EXPECT_EQ(upgrader.BootWriteBinary(BinaryLoader::Qm5100).kind, TransferResult::Broken);
    EXPECT_LT(remote.Boot().PagesWritten(), 25);
    EXPECT_EQ(remote.Boot().Programs(), 0);

    // A remote that never answers the wake-up: CANCEL ends the waiting.
    link.SetUserAbort(false);
    remote.Timing().wakeMicros = 5'000'000;
    const uint64_t start = pump.NowMicros();
    CancelWhen([this, start] { return pump.NowMicros() > start + 3'000'000; });
    EXPECT_EQ(upgrader.BootWriteBinary(BinaryLoader::Qm5100).kind, TransferResult::Broken);
    EXPECT_LT(pump.NowMicros(), start + 5'000'000);
}

TEST_F(UpgradeTest, EveryProgramSizeTheFilesAllowIsTakenAndItsPagesWritten) {
    // Up to the 66000 bytes of the page's MCU buffer ("Make VMCU" makes 65536
    // from model code 1200 on); the binary loader writes its 115 pages of it.
    struct Case { size_t size; bool taken; };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{58880, true}, Case{65536, true}, Case{66000, true},
                         Case{66001, false}}) {
        SCOPED_TRACE(c.size);
        std::vector<uint8_t> program(c.size);
        for (size_t i = 0; i < program.size(); ++i) program[i] = uint8_t(i * 7 + c.size + i / 512);
        const std::vector<uint8_t> held = buffers.mcu;
        ASSERT_EQ(buffers.SetProgram(program), c.taken);
        if (!c.taken) {
            EXPECT_EQ(buffers.mcu, held);
            continue;
        }
        const int before = remote.Boot().PagesWritten();
        ASSERT_TRUE(upgrader.BootWriteBinary(BinaryLoader::Qm5100).Ok());
        EXPECT_EQ(remote.Boot().PagesWritten() - before, 115);
        std::vector<uint8_t> expected(115 * 512, 0xFF);
        std::copy_n(program.begin(), std::min(program.size(), expected.size()), expected.begin());
        EXPECT_EQ(remote.Boot().Firmware(), expected);
    }
}

// ---- A flash image from a file

TEST(TakeUpgradeFlash, TheModelFamilyChoosesTheTargetAndThePayloadFillsItsStart) {
    // A 5100 image at the start, as the window has it; the older holder
    // with a mark that shows whether it was touched.
    enum class Target { Older, Image2300, Image5100 };
    struct Case { uint16_t modelCode; Target target; long sizeDelta; };  // payload = target size + delta
    const std::vector<uint8_t> olderMark(16, 0x5A);
    for (const Case c : {Case{500, Target::Older, -1000}, Case{999, Target::Older, +1000},
                         Case{1000, Target::Image2300, -3000}, Case{1199, Target::Image2300, +3000},
                         Case{1200, Target::Image5100, -5000}, Case{2010, Target::Image5100, +5000}}) {
        SCOPED_TRACE(c.modelCode);
        TTiFlashFm flash;
        std::vector<uint8_t> older = olderMark;
        // What a fresh image of the expected variant holds.
        TTiFlashFm fresh;
        if (c.target == Target::Image2300) {
            ASSERT_TRUE(fresh.SelectModel(kSelector2300));
        }
        const std::vector<uint8_t> freshImage(fresh.Image().begin(), fresh.Image().end());
        const size_t targetSize = c.target == Target::Older ? kOlderFlashSize : freshImage.size();
        std::vector<uint8_t> payload(size_t(long(targetSize) + c.sizeDelta));
        for (size_t i = 0; i < payload.size(); ++i) payload[i] = uint8_t(i * 31 + i / 251 + 1);
        const size_t copied = std::min(payload.size(), targetSize);

        ASSERT_TRUE(TakeUpgradeFlash(c.modelCode, payload, flash, older));

        std::vector<uint8_t> expected = c.target == Target::Older ? std::vector<uint8_t>(kOlderFlashSize, 0xFF)
                                                                   : freshImage;
        std::copy_n(payload.begin(), copied, expected.begin());
        if (c.target == Target::Older) {
            EXPECT_EQ(older, expected);
            EXPECT_EQ(flash.Selector(), kSelector5100);  // the memory image is not touched
            EXPECT_EQ(std::vector<uint8_t>(flash.Image().begin(), flash.Image().end()), freshImage);
        } else {
            EXPECT_EQ(flash.Selector(), c.target == Target::Image2300 ? kSelector2300 : kSelector5100);
            EXPECT_TRUE(std::vector<uint8_t>(flash.Image().begin(), flash.Image().end()) == expected);
            EXPECT_EQ(older, olderMark);  // the older holder is not touched
        }
    }
}

// ---- The text boot loader

TEST_F(UpgradeTest, FourKLoaderSpeaksItsWords) {
    ASSERT_TRUE(upgrader.BootWriteText(TextLoader::FourK).Ok());
    EXPECT_TRUE(FirmwareHolds(60 * 512));
    const auto& words = remote.Boot().Words();
    ASSERT_GE(words.size(), 3u);
    EXPECT_EQ(words[0], "RESTART");
    EXPECT_EQ(words[1], "ERASE");
    EXPECT_EQ(words.back(), "COMPLETE");
    EXPECT_EQ(std::count(words.begin(), words.end(), "WRITE"), 60);
    EXPECT_EQ(view.gauge, 59);
}

TEST_F(UpgradeTest, ErrorToWriteIsAskedAgainUntilTheTenth) {
    remote.Boot().Faults().errorTimes = 9;
    ASSERT_TRUE(upgrader.BootWriteText(TextLoader::FourK).Ok());
    EXPECT_TRUE(FirmwareHolds(60 * 512));

    remote.Boot().Faults().errorTimes = 9 + 10;
    const int pages = remote.Boot().PagesWritten();
    EXPECT_EQ(upgrader.BootWriteText(TextLoader::FourK).kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().PagesWritten(), pages);
    EXPECT_EQ(remote.Boot().Words().back(), "WRITE");
}

TEST_F(UpgradeTest, VcLoaderAcknowledgesPagesWithTheirSum) {
    remote.Boot().Faults().vcAcknowledge = true;
    ASSERT_TRUE(upgrader.BootWriteText(TextLoader::Vc).Ok());
    EXPECT_TRUE(FirmwareHolds(60 * 512));
    // The same loader answering "FINISH" to a page is not the VC loader.
    remote.Boot().Faults().vcAcknowledge = false;
    EXPECT_FALSE(upgrader.BootWriteText(TextLoader::Vc).Ok());
}

TEST_F(UpgradeTest, CancelStopsTheTextLoaderBetweenPages) {
    CancelWhen([this] { return remote.Boot().PagesWritten() >= 10; });
    EXPECT_EQ(upgrader.BootWriteText(TextLoader::FourK).kind, TransferResult::Broken);
    EXPECT_EQ(remote.Boot().Programs(), 0);
    EXPECT_NE(remote.Boot().Words().back(), "COMPLETE");
}

// The loader is asked to ERASE up to 3 times and to COMPLETE up to 5 times.
struct TextTries {
    const char* word;
    int failures;  // the remote's "FAIL"s before it does it
    bool ok;
};

class TextLoaderTries : public UpgradeTest, public ::testing::WithParamInterface<TextTries> {};

TEST_P(TextLoaderTries, TheLastTryStillCountsAndNoMore) {
    const TextTries t = GetParam();
    const std::string word = t.word;
    (word == "ERASE" ? remote.Boot().Faults().failEraseTimes : remote.Boot().Faults().failCompleteTimes) = t.failures;
    const auto outcome = upgrader.BootWriteText(TextLoader::FourK);
    EXPECT_EQ(outcome.Ok(), t.ok);
    const auto& words = remote.Boot().Words();
    EXPECT_EQ(std::count(words.begin(), words.end(), word), t.ok ? t.failures + 1 : t.failures);
    EXPECT_EQ(remote.Boot().Programs(), t.ok ? 1 : 0);
    // A loader that never erased is sent no page.
    if (word == "ERASE" && !t.ok) {
        EXPECT_EQ(std::count(words.begin(), words.end(), "WRITE"), 0);
    }
    if (t.ok) {
        EXPECT_TRUE(FirmwareHolds(60 * 512));
    }
}

INSTANTIATE_TEST_SUITE_P(EraseThreeCompleteFive, TextLoaderTries,
                         ::testing::Values(TextTries{"ERASE", 2, true}, TextTries{"ERASE", 3, false},
                                           TextTries{"COMPLETE", 4, true}, TextTries{"COMPLETE", 5, false}));

// ---- The ROM boot mode

TEST_F(UpgradeTest, RomBootWritesTheImageAndComparesSums) {
    ASSERT_TRUE(upgrader.RomBootWrite().Ok());
    EXPECT_TRUE(FirmwareHolds(32768));
    const uint32_t sum = Sum32(std::span<const uint8_t>(buffers.mcu).subspan(2048, 32768 - 2048));
    EXPECT_EQ(view.status, "Buf Sum = " + std::to_string(sum) + "  Flash Sum = " + std::to_string(sum));
    EXPECT_EQ(view.gauge, 32768);
    ASSERT_GE(port.OpenedRates().size(), 2u);
    EXPECT_EQ(port.OpenedRates().back(), 38400);
}

TEST_F(UpgradeTest, RomBootRefusesAnotherChipAndAWrongEcho) {
    remote.Boot().Faults().chipId = 0x0501;
    EXPECT_EQ(upgrader.RomBootWrite().kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().Programs(), 0);
    EXPECT_EQ(port.OpenedRates().back(), 9600);  // never went on to the write

    remote.Boot().Reset();
    remote.Boot().Faults().chipId = 0x0500;
    remote.Boot().Faults().wrongEchoAt = 100;
    EXPECT_EQ(upgrader.RomBootWrite().kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().Programs(), 0);
    EXPECT_EQ(port.OpenedRates().back(), 9600);

    // The loader buffer is ours by default and must not be too long.
    EXPECT_EQ(DefaultRomBootLoader().size(), kLoaderBufferBytes);
    std::vector<uint8_t> tooLong(kLoaderBufferBytes + 1, 1);
    EXPECT_FALSE(buffers.SetLoader(tooLong));
    EXPECT_TRUE(std::equal(buffers.loader.begin(), buffers.loader.end(), DefaultRomBootLoader().begin()));
}

TEST_F(UpgradeTest, CancelStopsTheRomBootWrite) {
    CancelWhen([this] { return view.gauge >= 4096; });
    EXPECT_EQ(upgrader.RomBootWrite().kind, TransferResult::Broken);
    EXPECT_EQ(remote.Boot().Programs(), 0);
}

// ---- The TI flash

TEST_F(UpgradeTest, TiReadAcknowledgesEveryBlockAndFillsTheImage) {
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    FillRemote();
    ASSERT_TRUE(upgrader.TiFlashRead2300().Ok());
    EXPECT_EQ(ImageBlocks(0, 2048), RemoteBlocks(0, 2048));
    EXPECT_EQ(remote.Boot().TiBlocksSent(), 2048);
    EXPECT_EQ(view.gauge, 2047);
}

TEST_F(UpgradeTest, TiReadEndsAtAWrongBlockSumLeavingTheImage) {
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    FillRemote();
    FillImage(0x3C);
    remote.Boot().Faults().badSumBlock = 10;
    EXPECT_EQ(upgrader.TiFlashRead2300().kind, TransferResult::Failed);
    // Block 10 was answered with the PC's own sum, so no block 11 came.
    pump.Advance(50);  // the PC's answer crosses the wire
    EXPECT_EQ(remote.Boot().TiBlocksSent(), 11);
    EXPECT_FALSE(remote.Boot().Active());
    auto img = flash.Image();
    EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](uint8_t b) { return b == 0x3C; }));
}

TEST_F(UpgradeTest, TiWriteWholeAndRefusedKinds) {
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    auto img = flash.Image();
    for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 5 + 1);
    ASSERT_TRUE(upgrader.TiFlashWrite2300(kKindWhole).Ok());
    EXPECT_EQ(RemoteBlocks(0, 2048), ImageBlocks(0, 2048));

    const int written = remote.Boot().TiBlocksWritten();
    EXPECT_EQ(upgrader.TiFlashWrite2300(15).kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().TiBlocksWritten(), written);
}

TEST_F(UpgradeTest, TiWritePartialKeepsOrReplacesBlocksZeroAndOne) {
    for (uint16_t marker : {uint16_t(1001), uint16_t(1002)}) {
        SCOPED_TRACE(marker);
        ASSERT_TRUE(flash.SelectModel(kSelector2300));
        FillRemote(uint8_t(marker));
        auto f = remote.Flash();
        f[14] = uint8_t(marker);
        f[15] = uint8_t(marker >> 8);
        const auto before = RemoteBlocks(0, 2048);
        FillImage(0x66);
        ASSERT_TRUE(upgrader.TiFlashWrite2300(kKindPartial).Ok());
        auto expected01 = std::vector<uint8_t>(before.begin(), before.begin() + 528);
        if (marker == 1001) {
            expected01.assign(528, 0x66);
        } else {
            expected01[14] = 0x66;
            expected01[15] = 0x66;
        }
        EXPECT_EQ(RemoteBlocks(0, 2), expected01);
        // Blocks 2..638 are the remote's; 639..2047 the image's.
        EXPECT_EQ(RemoteBlocks(2, 637), std::vector<uint8_t>(before.begin() + 2 * 264, before.begin() + 639 * 264));
        EXPECT_EQ(RemoteBlocks(639, 1409), ImageBlocks(639, 1409));
    }
}

TEST_F(UpgradeTest, SlimlinePartialWriteKeepsBlock103ButBytes32And33) {
    ASSERT_TRUE(flash.SelectModel(kSelector5100));
    FillRemote();
    const auto before = RemoteBlocks(0, 4096);
    FillImage(0x77);
    ASSERT_TRUE(upgrader.TiFlashWriteSlimline(kKindPartial).Ok());
    auto expected103 = std::vector<uint8_t>(before.begin() + 103 * 264, before.begin() + 104 * 264);
    expected103[32] = 0x77;
    expected103[33] = 0x77;
    EXPECT_EQ(RemoteBlocks(103, 1), expected103);
    EXPECT_EQ(RemoteBlocks(1018, 3381 - 1018 + 1), ImageBlocks(1018, 3381 - 1018 + 1));
    EXPECT_EQ(RemoteBlocks(3382, 4096 - 3382), std::vector<uint8_t>(before.begin() + 3382 * 264, before.end()));
    EXPECT_EQ(RemoteBlocks(0, 103), std::vector<uint8_t>(before.begin(), before.begin() + 103 * 264));
}

TEST_F(UpgradeTest, ATiRunOfNoBlockIsNone) {
    FillRemote();
    const auto before = RemoteBlocks(0, 4096);
    std::vector<uint8_t> data(264, 0x42);
    port.ClearWritten();
    EXPECT_FALSE(upgrader.TiBlocksWrite(1018, 0, data));
    EXPECT_FALSE(upgrader.TiBlocksRead(1018, 0, data));
    pump.Advance(100);
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(RemoteBlocks(0, 4096), before);
}

TEST_F(UpgradeTest, TiWriteGivesUpAfterThreeWrongSums) {
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    FillImage(0x12);
    remote.Boot().Faults().badSumBlock = 40;
    EXPECT_EQ(upgrader.TiFlashWrite2300(kKindWhole).kind, TransferResult::Failed);
    EXPECT_EQ(remote.Boot().TiBlocksWritten(), 40);
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
}

TEST_F(UpgradeTest, CancelStopsTheTiReadAndWrite) {
    ASSERT_TRUE(flash.SelectModel(kSelector2300));
    FillImage(0x21);
    CancelWhen([this] { return remote.Boot().TiBlocksWritten() >= 100; });
    EXPECT_EQ(upgrader.TiFlashWrite2300(kKindWhole).kind, TransferResult::Broken);
    EXPECT_LT(remote.Boot().TiBlocksWritten(), 105);

    link.SetUserAbort(false);
    pump.Advance(3000);  // the remote gives the broken write up
    FillRemote();
    CancelWhen([this] { return remote.Boot().TiBlocksSent() >= 100; });
    EXPECT_EQ(upgrader.TiFlashRead2300().kind, TransferResult::Broken);
    auto img = flash.Image();
    EXPECT_TRUE(std::all_of(img.begin(), img.end(), [](uint8_t b) { return b == 0x21; }));
}

// ---- Buttons and backup

TEST_F(UpgradeTest, ButtonsReportTheirTextsAndCloseThePort) {
    // The gauges count blocks from 0: the last block's index is the maximum.
    EXPECT_EQ(GaugeMaximum(UpgradeButton::WriteSlFlash, kKindPartial), 3381 - 1018);
    EXPECT_EQ(GaugeMaximum(UpgradeButton::WriteSlFlash, kKindWhole), 4095);
    EXPECT_EQ(GaugeMaximum(UpgradeButton::WriteTi4Flash, kKindPartial), 2047 - 639);
    EXPECT_EQ(GaugeMaximum(UpgradeButton::WriteTi5Flash, kKindPartial), 3381 - 1018);
    for (const auto& info : UpgradeButtons()) EXPECT_EQ(&ButtonInfo(info.button), &info);

    const auto broken = UpgradeButtonReports(UpgradeButton::ReadSlFlash, {TransferResult::Broken, {}, MsgIcon::None});
    ASSERT_EQ(broken.size(), 1u);
    EXPECT_EQ(broken[0].text, "Download transfer broken !");
    EXPECT_EQ(UpgradeButtonReports(UpgradeButton::Write4Mcu, {TransferResult::Broken, {}, MsgIcon::None})[0].text, "Transfer broken !");
    const auto notReady = UpgradeButtonReports(UpgradeButton::WriteTi4Flash,
                                               {TransferResult::NotReady, "Ti Flash not ready !", MsgIcon::Error});
    ASSERT_EQ(notReady.size(), 2u);
    EXPECT_EQ(notReady[1].text, "Write 2300 Flash Data Error !");

    const auto outcome = RunUpgradeButton(upgrader, UpgradeButton::WriteN5kMcu);
    EXPECT_TRUE(outcome.Ok());
    EXPECT_EQ(view.gaugeMaximum, 114);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(UpgradeButtonReports(UpgradeButton::WriteN5kMcu, outcome)[0].text, "Write 5k MCU Flash Data Ok !");
}

TEST_F(UpgradeTest, UpgradeStepsFollowTheModelCode) {
    EXPECT_FALSE(UpgradeStepsFor(100).supported);
    EXPECT_FALSE(UpgradeStepsFor(kModelPrm).writesFlash);
    EXPECT_EQ(UpgradeStepsFor(1080).program, UpgradeButton::WritePrMcu);
    EXPECT_EQ(UpgradeStepsFor(1050).flash, UpgradeButton::WriteTi4Flash);
    EXPECT_EQ(UpgradeStepsFor(kModelSlimline).flash, UpgradeButton::WriteSlFlash);
    EXPECT_EQ(UpgradeStepsFor(kModelQm5100).program, UpgradeButton::WriteN5kMcu);
    EXPECT_EQ(UpgradeStepsFor(kModelQm5100).flash, UpgradeButton::WriteTi5Flash);
}

TEST_F(UpgradeTest, BackupReadsTheWholeFlashByFamily) {
    FillRemote();
    auto r5100 = BackupRemote(upgrader, kModelQm5100);
    ASSERT_TRUE(r5100.outcome.Ok());
    EXPECT_EQ(r5100.bytes, RemoteBlocks(0, 4096));
    EXPECT_EQ(r5100.reports.front().text, "Download 5100 Flash Data Ok !");

    pump.Advance(3000);  // back to sleep after the 5100 read
    auto slim = BackupRemote(upgrader, kModelSlimline);
    ASSERT_TRUE(slim.outcome.Ok());
    EXPECT_EQ(slim.bytes, RemoteBlocks(0, 4096));
    EXPECT_EQ(remote.Boot().TiBlocksSent(), 4096);

    auto r2300 = BackupRemote(upgrader, 1050);
    ASSERT_TRUE(r2300.outcome.Ok());
    EXPECT_EQ(r2300.bytes, RemoteBlocks(0, 2048));
    EXPECT_EQ(r2300.reports.back().text, "Download Flash Data Ok !");

    remote.Boot().Faults().badSumBlock = 5;
    auto bad = BackupRemote(upgrader, kModelSlimline);
    EXPECT_FALSE(bad.outcome.Ok());
    EXPECT_TRUE(bad.bytes.empty());
    EXPECT_EQ(bad.reports.back().text, "Download Slimline Flash Data Error !");
    EXPECT_FALSE(port.IsOpen());
}

// ---- Gauges: every position within the maximum, the last one at it

struct GaugeCase {
    UpgradeButton button;
    int kind;
};

class UpgradeGauges : public UpgradeTest, public ::testing::WithParamInterface<GaugeCase> {};

TEST_P(UpgradeGauges, EveryButtonAndKind) {
    const auto [button, kind] = GetParam();
    BootFaults& faults = remote.Boot().Faults();
    switch (button) {
        case UpgradeButton::Write1400Mcu: faults.identification = "QM-1400"; break;
        case UpgradeButton::WriteNSlMcu: faults.identification = "SLIMLINE"; break;
        case UpgradeButton::WritePrMcu: faults.identification = "PR-60"; break;
        case UpgradeButton::WritePrmMcu: faults.identification = "PRM"; break;
        case UpgradeButton::WriteVcMcu: faults.vcAcknowledge = true; break;
        default: break;
    }
    FillRemote();
    buffers.kind = kind;
    view.gauges.clear();
    ASSERT_TRUE(RunUpgradeButton(upgrader, button).Ok());
    EXPECT_EQ(view.gaugeMaximum, GaugeMaximum(button, kind));
    ExpectGaugeEndsAt(GaugeMaximum(button, kind));
}

std::vector<GaugeCase> EveryButtonAndKind() {
    std::vector<GaugeCase> cases;
    for (const auto& info : UpgradeButtons()) {
        cases.push_back({info.button, kKindWhole});
        if (info.gaugePartialMaximum != info.gaugeMaximum) cases.push_back({info.button, kKindPartial});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Upgrade, UpgradeGauges, ::testing::ValuesIn(EveryButtonAndKind()),
                         [](const ::testing::TestParamInfo<GaugeCase>& p) {
                             std::string name;
                             for (char c : ButtonInfo(p.param.button).caption)
                                 if (std::isalnum(static_cast<unsigned char>(c))) name += c;
                             return name + "_kind" + std::to_string(p.param.kind);
                         });

TEST_F(UpgradeTest, BackupGaugesOfEveryFamilyEndAtTheirMaximum) {
    FillRemote();
    for (uint16_t model : {kModelQm5100, kModelSlimline, uint16_t(1050), uint16_t(100)}) {
        SCOPED_TRACE(model);
        pump.Advance(3000);  // the remote back asleep
        view.gauges.clear();
        view.gaugeMaximum = -1;
        ASSERT_TRUE(BackupRemote(upgrader, model).outcome.Ok());
        ExpectGaugeEndsAt(view.gaugeMaximum);
    }
}

}  // namespace
}  // namespace orvalink::testing
