// Verify after upload against the virtual remote on the virtual clock: a
// remote that acknowledges a block but keeps other bytes (all of them, or one
// bit) is caught by the read-back and the block named; without the read-back
// it goes unnoticed; a sound remote passes.
#include <gtest/gtest.h>

#include <vector>

#include "image/ImageRegions.h"
#include "link/Upgrade.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

enum class Fault { None, StoreOther, FlipBit, BadReadSum };

void Arm(VirtualRemote& remote, Fault fault, int block) {
    if (fault == Fault::StoreOther) remote.Faults().storeOtherBlock = block;
    if (fault == Fault::FlipBit) remote.Faults().flipBitBlock = block;
    if (fault == Fault::BadReadSum) remote.Faults().corruptBlock = block;
}

class VerifyTest : public LinkFixture {
protected:
    void FillImageWithPattern() {
        auto img = flash.Image();
        for (size_t i = 0; i < img.size(); ++i) img[i] = uint8_t(i * 13 + i / 264);
    }
    bool RemoteBlockEqualsImage(int block) const {
        auto img = flash.Image();
        auto f = remote.Flash();
        const size_t at = size_t(block) * kBlockBytes;
        return std::equal(img.begin() + long(at), img.begin() + long(at + kBlockBytes), f.begin() + long(at));
    }
};

TEST_F(VerifyTest, TheReadBackCatchesABlockStoredOtherThanSentAndNamesIt) {
    struct Case {
        const char* name;
        Fault fault;
        int block;
        bool verify;
        VerifyResult result;
    };
    const Case cases[] = {
        {"sound remote, verified", Fault::None, -1, true, VerifyResult::Same},
        {"sound remote, not verified", Fault::None, -1, false, VerifyResult::NotRun},
        {"other bytes stored at 500, verified", Fault::StoreOther, 500, true, VerifyResult::Differ},
        {"other bytes stored at 500, not verified", Fault::StoreOther, 500, false, VerifyResult::NotRun},
        {"one bit flipped at 1012, verified", Fault::FlipBit, 1012, true, VerifyResult::Differ},
        {"one bit flipped at 1012, not verified", Fault::FlipBit, 1012, false, VerifyResult::NotRun},
        {"one bit flipped in the settings block, verified", Fault::FlipBit, 103, true, VerifyResult::Differ},
        {"other bytes stored at block 0, verified", Fault::StoreOther, 0, true, VerifyResult::Differ},
        // The remote stored it well but spoils it on the way back: no verdict.
        {"block 600 read back with a wrong sum", Fault::BadReadSum, 600, true, VerifyResult::ReadFailed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualRemote fresh;
        remote.Faults() = fresh.Faults();
        std::copy(fresh.Flash().begin(), fresh.Flash().end(), remote.Flash().begin());
        ScriptedProgress dialog(link);
        FillRemote(uint8_t(c.block));
        FillImageWithPattern();
        Arm(remote, c.fault, c.block);
        const int sentBefore = remote.BlocksSent();

        const UploadOutcome outcome = transfers.UploadAndVerify(dialog, kKindWhole, c.verify);

        // Every block was acknowledged, so the upload itself went through.
        EXPECT_TRUE(outcome.upload.Ok());
        EXPECT_EQ(outcome.verify.result, c.result);
        EXPECT_EQ(outcome.Ok(), c.result != VerifyResult::Differ && c.result != VerifyResult::ReadFailed);
        // The fault is real: the remote holds other bytes than were sent.
        if (c.fault == Fault::StoreOther || c.fault == Fault::FlipBit) {
            EXPECT_FALSE(RemoteBlockEqualsImage(c.block));
        }
        const UploadWords words = VerifiedUploadReports(outcome, flash);
        if (c.verify) {
            // Its own run of the dialog, reading every block back.
            EXPECT_EQ(dialog.opens, 2);
            EXPECT_EQ(dialog.status, kVerifyingStatus);
            EXPECT_EQ(dialog.maximum, 1012);
            if (c.result == VerifyResult::ReadFailed) {
                // The read ended at the spoiled block; the dialog is left to Cancel.
                EXPECT_EQ(remote.BlocksSent() - sentBefore, 1 + c.block + 1);
                EXPECT_EQ(outcome.verify.blocks, 0u);
                EXPECT_FALSE(dialog.succeeded);
                ASSERT_EQ(words.reports.size(), 1u);
                EXPECT_EQ(words.reports[0].text, kVerifyReadFailedText);
                EXPECT_EQ(words.reports[0].icon, MsgIcon::Error);
                EXPECT_TRUE(words.again.empty());
                link.CloseLinkPort();
                continue;
            }
            EXPECT_EQ(remote.BlocksSent() - sentBefore, 1 + 1013);
            EXPECT_EQ(outcome.verify.blocks, 1013u);
        } else {
            EXPECT_EQ(dialog.opens, 1);
            EXPECT_EQ(remote.BlocksSent() - sentBefore, 1);  // block 103 only, before the upload
            ASSERT_EQ(words.reports.size(), 1u);
            EXPECT_EQ(words.reports[0].text, "Upload Flash Data Ok !");
        }
        EXPECT_TRUE(dialog.succeeded);
        if (c.result == VerifyResult::Same) {
            EXPECT_TRUE(outcome.verify.differing.empty());
            ASSERT_EQ(words.reports.size(), 1u);
            EXPECT_NE(words.reports[0].text.find("Upload verified: 1013 blocks as sent."), std::string::npos);
            EXPECT_TRUE(words.again.empty());
        }
        if (c.result == VerifyResult::Differ) {
            const std::vector<uint32_t> named{uint32_t(c.block)};
            EXPECT_EQ(outcome.verify.differing, named);
            EXPECT_TRUE(words.reports.empty());
            const std::string expected = "Verify failed: 1 block differs \u2014 " + DescribePagesText(flash, named);
            EXPECT_EQ(words.again.rfind(expected, 0), 0u) << words.again;
            EXPECT_NE(words.again.find("Upload again?"), std::string::npos);
        }
        link.CloseLinkPort();
    }
}

// The upgrade page's flash writes (the 5100 and 1400 families' block writes,
// the TI flash frames of the 2300 family and the Slimline) read back what
// they wrote when the buffers ask for it, the partial kinds' own copies of
// the blocks they keep included.
TEST_F(VerifyTest, TheUpgradeFlashWritesReadBackWhatTheyWrote) {
    struct Case {
        const char* name;
        UpgradeButton button;
        int kind;
        Fault fault;
        int block;
        bool verify;
        bool ok;
        uint32_t blocks;  // compared when verified and sound
    };
    const Case cases[] = {
        {"5100 partial, sound", UpgradeButton::WriteTi5Flash, kKindPartial, Fault::None, -1, true, true,
         2 + kPartial5100Count},
        {"5100 partial, a code page flipped", UpgradeButton::WriteTi5Flash, kKindPartial, Fault::FlipBit, 2000, true,
         false, 0},
        {"5100 partial, the kept block 111 stored other", UpgradeButton::WriteTi5Flash, kKindPartial,
         Fault::StoreOther, 111, true, false, 0},
        {"5100 partial, a code page flipped, not verified", UpgradeButton::WriteTi5Flash, kKindPartial,
         Fault::FlipBit, 2000, false, true, 0},
        {"5100 whole, block 4095 stored other", UpgradeButton::WriteTi5Flash, kKindWhole, Fault::StoreOther, 4095,
         true, false, 0},
        {"1400 partial, sound", UpgradeButton::Write1400Flash, kKindPartial, Fault::None, -1, true, true,
         2 + kPartial1400Count},
        {"1400 partial, the kept block 1 flipped", UpgradeButton::Write1400Flash, kKindPartial, Fault::FlipBit, 1,
         true, false, 0},
        {"2300 partial, sound", UpgradeButton::WriteTi4Flash, kKindPartial, Fault::None, -1, true, true,
         2 + (kTiBlocks2300 - 639)},
        {"2300 partial, page 700 flipped", UpgradeButton::WriteTi4Flash, kKindPartial, Fault::FlipBit, 700, true,
         false, 0},
        {"2300 whole, page 5 stored other, not verified", UpgradeButton::WriteTi4Flash, kKindWhole,
         Fault::StoreOther, 5, false, true, 0},
        {"Slimline partial, sound", UpgradeButton::WriteSlFlash, kKindPartial, Fault::None, -1, true, true,
         1 + kPartial5100Count},
        {"Slimline partial, the kept block 103 stored other", UpgradeButton::WriteSlFlash, kKindPartial,
         Fault::StoreOther, 103, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VirtualRemote fresh;
        remote.Faults() = fresh.Faults();
        FillRemote(3);
        FillImageWithPattern();
        Arm(remote, c.fault, c.block);
        // The remote of the last case falls asleep first, as a remote at
        // "PROG" listens for the TI frames only then.
        link.WaitTicks(3000);
        UpgradeBuffers buffers;
        buffers.kind = c.kind;
        buffers.verify = c.verify;
        Upgrader upgrader(link, flash, buffers);
        const TransferOutcome outcome = RunUpgradeButton(upgrader, c.button);
        EXPECT_EQ(outcome.Ok(), c.ok);
        const bool ti = c.button == UpgradeButton::WriteTi4Flash || c.button == UpgradeButton::WriteSlFlash;
        const VerifyOutcome& verify = ti ? upgrader.LastTiVerify() : upgrader.FlashTransfers().LastWriteVerify();
        if (!c.verify) {
            EXPECT_EQ(verify.result, VerifyResult::NotRun);
        } else if (c.ok) {
            EXPECT_EQ(verify.result, VerifyResult::Same);
            EXPECT_EQ(verify.blocks, c.blocks);
        } else {
            const std::vector<uint32_t> named{uint32_t(c.block)};
            EXPECT_EQ(verify.differing, named);
            EXPECT_EQ(outcome.kind, TransferResult::Failed);
            EXPECT_EQ(outcome.message, VerifyFailedText(flash, verify));
            const auto reports = UpgradeButtonReports(c.button, outcome);
            ASSERT_EQ(reports.size(), 2u);
            EXPECT_EQ(reports[0].text.rfind("Verify failed: 1 block differs", 0), 0u);
            EXPECT_EQ(reports[1].text, ButtonInfo(c.button).errorText);
        }
    }
}

}  // namespace
}  // namespace orvalink::testing
