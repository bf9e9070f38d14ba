// The virtual remote's handed codes to learn and its account of every IR
// code it learns, takes, fires and releases.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

using Code = std::array<uint8_t, 512>;

Code Numbered(uint8_t n) {
    Code c{};
    c[0] = 4;
    for (size_t i = 1; i < c.size(); ++i) c[i] = uint8_t(n + i);
    return c;
}

struct Seen {
    VirtualRemote::IrEvent event;
    std::vector<uint8_t> code;
};

class RemoteIrLogTest : public LinkFixture {
protected:
    RemoteIrLogTest() {
        remote.SetIrEventHandler([this](VirtualRemote::IrEvent e, std::span<const uint8_t> code) {
            seen.push_back({e, std::vector<uint8_t>(code.begin(), code.end())});
        });
    }
    // One learning session that ends with the first code.
    Code LearnOne() {
        Code got{};
        EXPECT_TRUE(link.Blocks().IrLearnStart());
        bool learned = false;
        for (int round = 0; round < 5 && !learned; ++round) {
            learned = link.Blocks().IrLearnReceive(got);
            if (!learned) link.WaitTicks(100);
        }
        EXPECT_TRUE(learned);
        link.Blocks().IrStop();
        pump.Advance(10);
        return got;
    }
    std::vector<Seen> seen;
};

TEST_F(RemoteIrLogTest, HandedCodesAreLearnedInTurn) {
    remote.SetLearnQueue({Numbered(1), Numbered(2)});
    EXPECT_EQ(LearnOne(), Numbered(1));
    EXPECT_EQ(LearnOne(), Numbered(2));
    EXPECT_EQ(LearnOne(), Numbered(1));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].event, VirtualRemote::IrEvent::Learned);
    const Code second = Numbered(2);
    EXPECT_EQ(seen[1].code, std::vector<uint8_t>(second.begin(), second.end()));
}

TEST_F(RemoteIrLogTest, WithoutHandedCodesTheBuiltInOneIsLearned) {
    const Code builtIn = remote.LearnedCode();
    EXPECT_EQ(LearnOne(), builtIn);
    EXPECT_EQ(LearnOne(), builtIn);
}

TEST_F(RemoteIrLogTest, ASendIsReceivedFiredAndReleased) {
    int n = 0;
    ASSERT_TRUE(link.FindVisualComPort(n));
    const Code code = Numbered(9);
    ASSERT_TRUE(link.Blocks().IrSendStart());
    ASSERT_TRUE(link.Blocks().IrSendCode(code));
    link.WaitTicks(1000);
    link.Blocks().IrSendRelease();
    pump.Advance(10);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].event, VirtualRemote::IrEvent::Received);
    EXPECT_EQ(seen[0].code, std::vector<uint8_t>(code.begin(), code.end()));
    EXPECT_EQ(seen[1].event, VirtualRemote::IrEvent::Fired);
    EXPECT_EQ(seen[2].event, VirtualRemote::IrEvent::Released);
    // A code with a wrong checksum is refused and not told.
    seen.clear();
    ASSERT_TRUE(link.Blocks().IrSendStart());
    // 512 zero bytes, whose sum is 0, followed by a sum of 1.
    std::vector<uint8_t> spoiled(514, 0);
    spoiled[512] = 1;
    ASSERT_TRUE(link.Channel().SendBytes(std::span<const uint8_t>(spoiled.data(), 512)));
    ASSERT_TRUE(link.Channel().SendBytes(std::span<const uint8_t>(spoiled.data() + 512, 2)));
    pump.Advance(10);
    EXPECT_TRUE(seen.empty());
}

}  // namespace
}  // namespace orvalink::testing
