// Sending with its limits and the monitor echo, the reply and word reads with
// their time-outs and messages, the checksum, and the wake-up.
#include <gtest/gtest.h>

#include <vector>

#include "base/ByteIo.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class SendReceiveTest : public LinkFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(link.EnsureLinkPort());
        ASSERT_TRUE(link.OpenLinkPortAt(115200));
    }
    // The "remote" answers these bytes after delayMs (it is asleep, so the
    // virtual remote itself stays quiet).
    void AnswerAfter(uint32_t delayMs, std::vector<uint8_t> bytes) {
        pump.Schedule(delayMs, [this, bytes] { port.SendFromPeer(bytes, 115200); });
    }
};

TEST_F(SendReceiveTest, SendBytesLimits) {
    std::vector<uint8_t> big(1025, 1), none;
    EXPECT_FALSE(link.Channel().SendBytes(big));
    EXPECT_FALSE(link.Channel().SendBytes(none));
    EXPECT_TRUE(port.Written().empty());
    std::vector<uint8_t> max(1024, 2);
    EXPECT_TRUE(link.Channel().SendBytes(max));
    EXPECT_EQ(port.Written().size(), 1024u);
}

TEST_F(SendReceiveTest, SendBytesNeedsMoreThanNPlusTwoFree) {
    port.Close();
    port.SetOutBufferSize(102);
    ASSERT_TRUE(port.Open());
    std::vector<uint8_t> hundred(100, 3), ninetyNine(99, 4);
    EXPECT_FALSE(link.Channel().SendBytes(hundred));  // 102 free is not more than 102
    EXPECT_TRUE(link.Channel().SendBytes(ninetyNine));
    EXPECT_EQ(port.Written().size(), 99u);
}

TEST_F(SendReceiveTest, SendOnAClosedPortFails) {
    port.Close();
    EXPECT_FALSE(link.Channel().SendByte(0x41));
}

TEST_F(SendReceiveTest, MonitorShowsEveryByteAndStartsOverAfter2048) {
    const uint8_t two[2] = {0x0A, 0xF3};
    ASSERT_TRUE(link.Channel().SendBytes(two));
    EXPECT_EQ(view.monitor, "0A F3 ");
    std::vector<uint8_t> block(1024, 0xEE);
    ASSERT_TRUE(link.Channel().SendBytes(block));
    ASSERT_TRUE(link.Channel().SendBytes(block));  // 2050 shown: cleared after the 2048th
    EXPECT_EQ(view.monitorClears, 1);
    EXPECT_EQ(view.monitor, "EE EE ");
}

TEST_F(SendReceiveTest, Sum16) {
    std::vector<uint8_t> ff(264, 0xFF);
    EXPECT_EQ(Sum16(ff), 0x06F8);
    std::vector<uint8_t> empty;
    EXPECT_EQ(Sum16(empty), 0);
}

TEST_F(SendReceiveTest, BlockWriteSendsTheChecksumLowByteFirst) {
    std::vector<uint8_t> ff(264, 0xFF);
    port.ClearWritten();
    AnswerAfter(1, {'B'});
    ASSERT_TRUE(link.Blocks().SendBlock(ff));
    ASSERT_EQ(port.Written().size(), 266u);
    EXPECT_EQ(port.Written()[264], 0xF8);
    EXPECT_EQ(port.Written()[265], 0x06);
}

TEST_F(SendReceiveTest, RecvReplyWaits800ms) {
    uint8_t b = 0;
    // The caller's time-out.
    AnswerAfter(3900, {'Q'});
    EXPECT_TRUE(link.Channel().RecvReply(b, 4000));
    EXPECT_EQ(b, 'Q');
    AnswerAfter(790, {'B'});
    EXPECT_TRUE(link.Channel().RecvReply(b));
    EXPECT_EQ(b, 'B');
    AnswerAfter(810, {'B'});
    EXPECT_FALSE(link.Channel().RecvReply(b));
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(SendReceiveTest, RecvByteTimeOut) {
    AnswerAfter(1490, {0x11});
    EXPECT_EQ(link.Channel().RecvByte(), 0x11);
    EXPECT_EQ(link.LinkStatus(), kLinkGood);
    AnswerAfter(1510, {0x11});
    EXPECT_EQ(link.Channel().RecvByte(), 0xFF);
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
    EXPECT_TRUE(Shown("RecvByte Time Out!"));
    EXPECT_EQ(ui.Messages().back().icon, MsgIcon::Information);
}

TEST_F(SendReceiveTest, RecvWordIsHighByteFirstAndKeepsThePreviousOnTimeOut) {
    AnswerAfter(590, {0x12, 0x34});
    EXPECT_EQ(link.Channel().RecvWord(), 0x1234);
    AnswerAfter(610, {0x56, 0x78});
    EXPECT_EQ(link.Channel().RecvWord(), 0x1234);
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
    EXPECT_TRUE(Shown("RecvWord Time Out!"));
}

TEST_F(SendReceiveTest, RecvDWordIsBigEndianAndZeroOnTimeOut) {
    AnswerAfter(490, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(link.Channel().RecvDWord(), 0x01020304u);
    AnswerAfter(510, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(link.Channel().RecvDWord(), 0u);
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
    EXPECT_TRUE(Shown("RecvDWord Time Out!"));
}

TEST_F(SendReceiveTest, TheUpgradesQuietReads) {
    link.Expect(ReceiveMode::Word2);
    AnswerAfter(990, {0xAB, 0xCD});
    EXPECT_EQ(link.Channel().RecvWordKeepMode(), 0xABCD);
    link.Expect(ReceiveMode::Word2);
    EXPECT_EQ(link.Channel().RecvWordKeepMode(), 0xABCD);
    EXPECT_TRUE(Shown("RecvWord Time Out!"));
    ui.Clear();
    bool ok = false;
    AnswerAfter(690, {0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(link.Channel().RecvDWordLittle(&ok), 0x04030201u);
    EXPECT_TRUE(ok);
    EXPECT_EQ(link.Channel().RecvDWordLittle(&ok), 0u);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(SendReceiveTest, WaitXon) {
    port.ClearWritten();
    AnswerAfter(5, {kXon});
    EXPECT_TRUE(link.Channel().WaitXon(0x5A));
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(port.Written()[0], 0x5A);
    // The writer moves the gauge by bytes; an XON is no step of its own.
    EXPECT_EQ(link.Progress(), 0);
    AnswerAfter(5, {0x13});
    EXPECT_FALSE(link.Channel().WaitXon(0x5A));
    EXPECT_EQ(view.status, "XON Time Out!");
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
}

TEST_F(SendReceiveTest, WaitsPumpTheEventLoopRatherThanSpin) {
    // A 3-second wait with nothing arriving is a handful of pump steps.
    link.Expect(ReceiveMode::Block266);
    const uint64_t before = pump.Steps();
    EXPECT_FALSE(link.Channel().WaitFrame(3000));
    EXPECT_LT(pump.Steps() - before, 10u);
}

TEST_F(SendReceiveTest, WakeUpSendsAAt300ThenListensAt115200) {
    link.CloseLinkPort();
    link.EnsureLinkPort();
    port.ClearWritten();
    WakeResult r = link.Blocks().LinkWakeUp(kSettleTransferMs);
    EXPECT_TRUE(r.portOk);
    EXPECT_TRUE(r.replied);
    EXPECT_EQ(r.reply, 'B');
    ASSERT_EQ(port.Written().size(), 1u);
    EXPECT_EQ(port.Written()[0], 'A');
    EXPECT_EQ(port.BaudRate(), 115200);
    EXPECT_EQ(remote.WakeUps(), 1);
}

TEST_F(SendReceiveTest, WakeForTransferJudgesTheReply) {
    // No reply is let pass; a wrong one marks the link failed.
    remote.Timing().wakeMicros = 2'000'000;
    link.SetLinkStatus(kLinkGood);
    EXPECT_TRUE(link.Blocks().WakeForTransfer());
    EXPECT_EQ(link.LinkStatus(), kLinkGood);
    remote.Faults().garbage = true;
    remote.Timing().wakeMicros = 100'000;
    pump.Advance(3000);
    EXPECT_TRUE(link.Blocks().WakeForTransfer());
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
    // A port that will not open ends it.
    link.CloseLinkPort();
    EXPECT_FALSE(link.Blocks().WakeForTransfer());
}

}  // namespace
}  // namespace orvalink::testing
