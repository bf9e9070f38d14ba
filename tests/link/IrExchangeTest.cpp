// IR learning and sending through the remote.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "base/ByteIo.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class IrExchangeTest : public LinkFixture {};

TEST_F(IrExchangeTest, LearnGivesTheRemotesCode) {
    std::array<uint8_t, 512> mine{};
    for (size_t i = 0; i < mine.size(); ++i) mine[i] = uint8_t(i * 5 + 1);
    remote.SetLearnedCode(mine);
    ASSERT_TRUE(link.Blocks().IrLearnStart());
    std::array<uint8_t, 512> got{};
    // The editor asks every 100 ms until a code comes.
    bool learned = false;
    for (int round = 0; round < 5 && !learned; ++round) {
        learned = link.Blocks().IrLearnReceive(got);
        if (!learned) link.WaitTicks(100);
    }
    ASSERT_TRUE(learned);
    EXPECT_EQ(got, mine);
    link.Blocks().IrStop();
    pump.Advance(10);
    EXPECT_EQ(remote.StateName(), "Asleep");
}

TEST_F(IrExchangeTest, LearnWithoutAPortFails) {
    registry.RemoveKey(kNtAdapterKey);
    EXPECT_FALSE(link.Blocks().IrLearnStart());
    EXPECT_TRUE(port.Written().empty());
}

TEST_F(IrExchangeTest, LearnNeedsTheWakeReply) {
    remote.Faults().silentAfter = 0;  // wakes, then says nothing more
    remote.Timing().wakeMicros = 5'000'000;
    EXPECT_FALSE(link.Blocks().IrLearnStart());
}

TEST_F(IrExchangeTest, ALearnedCodeWithABadChecksumIsNotGiven) {
    ASSERT_TRUE(link.Blocks().IrLearnStart());
    // The first round sees the start byte; spoil the code frame on its way.
    remote.Faults().garbage = true;
    std::array<uint8_t, 512> got{};
    got.fill(0xAA);
    EXPECT_FALSE(link.Blocks().IrLearnReceive(got));
    EXPECT_TRUE(std::all_of(got.begin(), got.end(), [](uint8_t b) { return b == 0xAA; }));
}

TEST_F(IrExchangeTest, LearnRoundWithoutAStartByteGivesNothing) {
    remote.Timing().learnMicros = 10'000'000;  // nobody points a remote at it
    ASSERT_TRUE(link.Blocks().IrLearnStart());
    std::array<uint8_t, 512> got{};
    EXPECT_FALSE(link.Blocks().IrLearnReceive(got));
}

// Ending learning while a round waits for the remote's 'B' ends the wait at
// once; the link is fit for the next round.
TEST_F(IrExchangeTest, LearnRoundGivesUpWhenTold) {
    remote.Timing().learnMicros = 1'000'000;  // the other remote is pointed at it after a second
    ASSERT_TRUE(link.Blocks().IrLearnStart());
    std::array<uint8_t, 512> got{};
    const uint32_t before = pump.TickCount();
    EXPECT_FALSE(link.Blocks().IrLearnReceive(got, [] { return true; }));
    EXPECT_LT(pump.TickCount() - before, 1000u) << "the round waited for the remote although told to stop";
    bool learned = false;
    for (int round = 0; round < 5 && !learned; ++round) learned = link.Blocks().IrLearnReceive(got, [] { return false; });
    EXPECT_TRUE(learned);
}

TEST_F(IrExchangeTest, SendPressAndRelease) {
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    std::array<uint8_t, 512> code{};
    for (size_t i = 0; i < code.size(); ++i) code[i] = uint8_t(255 - i);
    ASSERT_TRUE(link.Blocks().IrSendStart());
    ASSERT_TRUE(link.Blocks().IrSendCode(code));
    link.WaitTicks(1000);
    link.Blocks().IrSendRelease();
    pump.Advance(10);
    ASSERT_EQ(remote.CodesReceived().size(), 1u);
    EXPECT_EQ(remote.CodesReceived()[0], code);
    EXPECT_EQ(remote.Shots(), 1);
    EXPECT_EQ(remote.StateName(), "Asleep");
    // The code went out as one 514-byte write with its sum low byte first.
    const auto& w = port.Written();
    auto sum = Sum16(code);
    auto at = std::search(w.begin(), w.end(), code.begin(), code.end());
    ASSERT_NE(at, w.end());
    EXPECT_EQ(*(at + 512), uint8_t(sum));
    EXPECT_EQ(*(at + 513), uint8_t(sum >> 8));
}

TEST_F(IrExchangeTest, ReleaseWithoutAnswerSendsBAgain) {
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    ASSERT_TRUE(link.OpenLinkPortAt(115200));
    port.ClearWritten();
    link.Blocks().IrSendRelease();  // the remote is asleep: no answer
    EXPECT_EQ(port.Written(), (std::vector<uint8_t>{'B', 'B'}));
}

TEST_F(IrExchangeTest, SendStartNeedsAPortAndAReply) {
    // No port known: the wake-up cannot open it.
    EXPECT_FALSE(link.Blocks().IrSendStart());
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    remote.Faults().silentAfter = 0;
    remote.Timing().wakeMicros = 2'000'000;
    EXPECT_FALSE(link.Blocks().IrSendStart());
    std::array<uint8_t, 100> shortCode{};
    EXPECT_FALSE(link.Blocks().IrSendCode(shortCode));
}

}  // namespace
}  // namespace orvalink::testing
