// The block rules of the current protocol: retries and refusals of writes,
// the read's checksum and time-out, Cancel between blocks.
#include <gtest/gtest.h>

#include <vector>

#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class BlockProtocolTest : public LinkFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(link.EnsureLinkPort());
        link.Expect(ReceiveMode::Word2);
        ASSERT_TRUE(link.Blocks().WakeForTransfer());
        for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i ^ 0x5A);
    }
    std::vector<uint8_t> data = std::vector<uint8_t>(5 * kBlockBytes);
};

TEST_F(BlockProtocolTest, ABlockRefusedOnceIsSentAgainAndTheNextFollows) {
    remote.Faults().refuseBlock = 11;
    remote.Faults().refuseTimes = 1;
    ASSERT_TRUE(link.Blocks().WriteBlocks(10, 5, data));
    EXPECT_EQ(link.LinkStatus(), kLinkGood);
    EXPECT_EQ(remote.Refusals(), 1);
    EXPECT_EQ(remote.BlocksWritten(), 5);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), remote.Flash().begin() + 10 * 264));
}

TEST_F(BlockProtocolTest, ABlockRefusedThreeTimesFailsTheLink) {
    remote.Faults().refuseBlock = 11;
    EXPECT_FALSE(link.Blocks().WriteBlocks(10, 5, data));
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
    EXPECT_EQ(remote.Refusals(), 3);
    EXPECT_EQ(remote.BlocksWritten(), 1);
}

TEST_F(BlockProtocolTest, ABlockRefusedTwiceStillGoesThrough) {
    remote.Faults().refuseBlock = 12;
    remote.Faults().refuseTimes = 2;
    EXPECT_TRUE(link.Blocks().WriteBlocks(10, 5, data));
    EXPECT_EQ(remote.Refusals(), 2);
}

TEST_F(BlockProtocolTest, WriteStopsAtCancelBetweenBlocks) {
    int moved = 0;
    EXPECT_FALSE(link.Blocks().WriteBlocks(10, 5, data, [&](int) {
        if (++moved == 2) link.SetUserAbort(true);
    }));
    EXPECT_EQ(remote.BlocksWritten(), 2);
}

TEST_F(BlockProtocolTest, WriteFrameRefusedMarksTheLinkFailed) {
    // Past the end of the remote's flash: it answers 'C' to the frame.
    EXPECT_FALSE(link.Blocks().WriteBlocks(4095, 5, data));
    EXPECT_EQ(link.LinkStatus(), kLinkFailed);
}

TEST_F(BlockProtocolTest, ReadBlocksChecksEverySum) {
    FillRemote(6);
    std::vector<uint8_t> out(5 * kBlockBytes);
    ASSERT_TRUE(link.Blocks().ReadBlocks(20, 5, out));
    EXPECT_TRUE(std::equal(out.begin(), out.end(), remote.Flash().begin() + 20 * 264));
    EXPECT_EQ(link.Progress(), 24);
}

TEST_F(BlockProtocolTest, AReadBlockWithSwappedChecksumIsAnsweredCAndTheReadEnds) {
    remote.Faults().corruptBlock = 22;
    std::vector<uint8_t> out(5 * kBlockBytes);
    port.ClearWritten();
    EXPECT_FALSE(link.Blocks().ReadBlocks(20, 5, out));
    EXPECT_EQ(port.Written().back(), 'C');
    EXPECT_EQ(remote.BlocksSent(), 3);
    // Once the refusal has crossed the wire the remote is ready for the next command.
    pump.Advance(5);
    EXPECT_EQ(remote.StateName(), "Command");
}

TEST_F(BlockProtocolTest, AReadWhoseBlockNeverComesTimesOutWithC) {
    remote.Faults().silentAfter = 2;
    std::vector<uint8_t> out(5 * kBlockBytes);
    port.ClearWritten();
    EXPECT_FALSE(link.Blocks().ReadBlocks(0, 5, out));
    EXPECT_EQ(port.Written().back(), 'C');
}

TEST_F(BlockProtocolTest, ReadIntoTooSmallABufferIsRefused) {
    std::vector<uint8_t> out(100);
    port.ClearWritten();
    EXPECT_FALSE(link.Blocks().ReadBlocks(0, 5, out));
    EXPECT_FALSE(link.Blocks().WriteBlocks(0, 5, out));
    EXPECT_TRUE(port.Written().empty());
}

TEST_F(BlockProtocolTest, FramesAreLittleEndian) {
    auto f = BlockFrame(kCmdReadBlocks, 0x0102, 0x03F5);
    std::array<uint8_t, 8> expected = {0xA1, 0, 0x02, 0x01, 0, 0, 0xF5, 0x03};
    EXPECT_EQ(f, expected);
    auto c = ClockFrame(kCmdSetClock, LocalDateTime{2026, 12, 8, 9, 41, 0});
    std::array<uint8_t, 8> clockExpected = {0xA4, 0, 0xEA, 0x07, 12, 8, 9, 41};
    EXPECT_EQ(c, clockExpected);
}

}  // namespace
}  // namespace orvalink::testing
