// The loop-back test of the test jig, against the virtual jig on the cable.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "link/LoopbackTest.h"
#include "link/sim/OlderRemote.h"
#include "platform/Random.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

class LoopbackJigTest : public LinkFixture {
protected:
    LoopbackJigTest() : loop(link, random, clock) {
        remote.SetOlderRemote(&older);
        older.SetEnd(FarEnd::Jig);
        clock.Set(1'765'000'000);
    }
    // Runs the window's timer until the test ends; the states it went through.
    std::vector<LoopState> RunTicks() {
        std::vector<LoopState> states;
        for (int i = 0; i < 10; ++i) {
            link.WaitTicks(kLoopTickMs);
            states.push_back(loop.Tick());
            if (states.back() != LoopState::Waiting) break;
        }
        return states;
    }

    OlderRemote older;
    Pcg32Random random;
    LoopbackTest loop;
};

TEST_F(LoopbackJigTest, EchoOfTheJigPassesAtTheFirstTick) {
    std::string hex;
    ASSERT_TRUE(loop.Start(hex));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.BaudRate(), 38400);
    ASSERT_EQ(hex.rfind(kLoopSendLog, 0), 0u);
    EXPECT_EQ(hex.size(), std::string(kLoopSendLog).size() + 3 * kLoopBytes);
    // Every byte sent is 0..254 and shown as it went out.
    const auto sent = loop.SendArea();
    EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](uint8_t b) { return b != 0xFF; }));
    char first[4];
    std::snprintf(first, sizeof first, "%02X ", sent[0]);
    EXPECT_EQ(hex.substr(std::string(kLoopSendLog).size(), 3), first);

    EXPECT_EQ(RunTicks(), std::vector<LoopState>{LoopState::Passed});
    EXPECT_EQ(older.BytesSeen(), kLoopBytes);
    EXPECT_TRUE(std::equal(sent.begin(), sent.end(), loop.Echo().begin()));
    EXPECT_FALSE(loop.Running());
    EXPECT_FALSE(port.IsOpen());  // closed once the test ended
    EXPECT_EQ(VerdictOf(LoopState::Passed).text, Utf8(u8"\u8FF4\u8DEF\u6B63\u5E38 !"));
}

TEST_F(LoopbackJigTest, SameSecondSameBytesNextSecondOthers) {
    std::string hex;
    ASSERT_TRUE(loop.Start(hex));
    RunTicks();
    const std::vector<uint8_t> firstRun(loop.SendArea().begin(), loop.SendArea().end());
    ASSERT_TRUE(loop.Start(hex));
    RunTicks();
    EXPECT_TRUE(std::equal(firstRun.begin(), firstRun.end(), loop.SendArea().begin()));
    clock.Set(1'765'000'001);
    ASSERT_TRUE(loop.Start(hex));
    RunTicks();
    EXPECT_FALSE(std::equal(firstRun.begin(), firstRun.end(), loop.SendArea().begin()));
}

TEST_F(LoopbackJigTest, ChangedOrLostBytesAreDataErrors) {
    struct Case {
        int drop, change;
        std::vector<LoopState> states;
    };
    const Case cases[] = {
        {-1, 0, {LoopState::DataError}},
        {-1, 1023, {LoopState::DataError}},
        // A lost byte leaves the echo short: the test waits its three ticks.
        {500, -1, {LoopState::Waiting, LoopState::Waiting, LoopState::DataError}},
    };
    for (const Case& c : cases) {
        older.Faults() = JigFaults{c.drop, c.change};
        std::string hex;
        ASSERT_TRUE(loop.Start(hex));
        EXPECT_EQ(RunTicks(), c.states) << "drop " << c.drop << " change " << c.change;
        EXPECT_FALSE(port.IsOpen());
    }
    EXPECT_EQ(VerdictOf(LoopState::DataError).text, Utf8(u8"\u8CC7\u6599\u932F\u8AA4 !"));
    EXPECT_EQ(VerdictOf(LoopState::DataError).icon, MsgIcon::Warning);
}

TEST_F(LoopbackJigTest, NothingOnTheCableIsNoLoopAfterTheThirdTick) {
    older.SetEnd(FarEnd::Nothing);
    std::string hex;
    ASSERT_TRUE(loop.Start(hex));
    EXPECT_EQ(RunTicks(), (std::vector<LoopState>{LoopState::Waiting, LoopState::Waiting, LoopState::NoLoop}));
    EXPECT_EQ(loop.Ticks(), 3);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(VerdictOf(LoopState::NoLoop).text, Utf8(u8"\u8FF4\u8DEF\u4E0D\u901A !"));
    EXPECT_EQ(loop.Tick(), LoopState::Idle);  // a late tick changes nothing
}

TEST_F(LoopbackJigTest, TheRemoteInsteadOfTheJigIsNoPass) {
    // The remote itself does not echo: whatever it answers is not the bytes sent.
    older.SetEnd(FarEnd::Remote);
    std::string hex;
    ASSERT_TRUE(loop.Start(hex));
    const auto states = RunTicks();
    ASSERT_FALSE(states.empty());
    EXPECT_NE(states.back(), LoopState::Passed);
    EXPECT_NE(states.back(), LoopState::Waiting);
}

TEST_F(LoopbackJigTest, NoPortNoTest) {
    MemoryRegistry empty;
    LinkEngine bare(port, pump, empty, ui, clock, view);
    LoopbackTest lonely(bare, random, clock);
    std::string hex;
    EXPECT_FALSE(lonely.Start(hex));
    EXPECT_FALSE(lonely.Running());
    EXPECT_TRUE(Shown("Visual ComPort Not Found !"));
    EXPECT_EQ(older.BytesSeen(), 0u);
    EXPECT_EQ(lonely.Tick(), LoopState::Idle);
}

}  // namespace
}  // namespace orvalink::testing
