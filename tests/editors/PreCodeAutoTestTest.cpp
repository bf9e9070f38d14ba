// The code picker's Auto Test against the virtual remote: every code of the
// list in order, pressed, held and released; codes without a set passed
// over; Cancel stopping after the code just sent.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "editors/core/PreCodeAutoTest.h"
#include "image/CodeLibrary.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

// A one-key code set whose lead mark tells the code numbers apart.
IrCodeInfo LeadCode(uint16_t leadMark) {
    IrCodeInfo code;
    code.size = 3;
    code.codeType = kCodeNormal;
    code.timingCount = 3;
    code.carrier = 210;
    code.firstCount = 4;
    code.repeatCount = 0xFF;
    const uint16_t table[] = {leadMark, 4500, 560, 560, 560, 1690};
    for (int i = 0; i < 6; ++i) {
        code.data[size_t(2 * i)] = uint8_t(table[i]);
        code.data[size_t(2 * i + 1)] = uint8_t(table[i] >> 8);
    }
    code.data[12] = 0b10'01'10'00;
    return code;
}

class PreCodeAutoTestTest : public LinkFixture {
protected:
    PreCodeAutoTestTest() : autoTest(flash, link.Channel(), link.Discovery(), link.Blocks()) {
        uint32_t unit = 0;
        // 1200, 1201 and 1203 have sets (on key 3, 0 and 12); 1202 has none.
        const std::pair<int, int> sets[] = {{1200, 3}, {1201, 0}, {1203, 12}};
        uint16_t lead = 9000;
        for (auto [number, key] : sets) {
            std::vector<std::optional<IrCodeInfo>> keys(64);
            keys[size_t(key)] = LeadCode(lead);
            lead += 100;
            LibraryCodeSet set;
            EXPECT_TRUE(BuildLibraryCodeSet(keys, set));
            uint32_t used = 0;
            EXPECT_TRUE(WriteLibraryCode(flash, number, set, unit, &used));
            unit += used;
        }
    }

    LearnedCode SendOf(int number) {
        LearnedCode send{};
        EXPECT_TRUE(PreCodeSendRecord(flash, number, send)) << number;
        return send;
    }

    PreCodeAutoTest autoTest;
    std::vector<int> shown;
};

TEST_F(PreCodeAutoTestTest, SendsEachCodeInOrderAndPassesOverMissingOnes) {
    LearnedCode unchanged{};
    unchanged.fill(0x77);
    LearnedCode send = unchanged;
    EXPECT_FALSE(PreCodeSendRecord(flash, 1202, send));
    EXPECT_EQ(send, unchanged);
    EXPECT_NE(SendOf(1200), SendOf(1201));

    const std::vector<int> codes = {1201, 1202, 1200, 1203};
    AutoTestHooks hooks;
    hooks.showing = [this](int n) { shown.push_back(n); };
    auto result = autoTest.Run(codes, hooks);
    pump.Advance(10);
    EXPECT_EQ(result.outcome, AutoTestOutcome::Done);
    EXPECT_EQ(result.lastCode, 1203);
    EXPECT_EQ(result.sent, 3);
    EXPECT_EQ(shown, (std::vector<int>{1201, 1200, 1203}));
    const std::vector<std::array<uint8_t, 512>> expected = {SendOf(1201), SendOf(1200), SendOf(1203)};
    EXPECT_EQ(remote.CodesReceived(), expected);
    EXPECT_EQ(remote.Shots(), 3);
    EXPECT_EQ(remote.StateName(), "Asleep");
}

TEST_F(PreCodeAutoTestTest, EachCodeIsHeldASecondBeforeItsRelease) {
    std::vector<uint32_t> at;
    AutoTestHooks hooks;
    hooks.showing = [&](int) { at.push_back(pump.TickCount()); };
    const std::vector<int> codes = {1200, 1201};
    autoTest.Run(codes, hooks);
    ASSERT_EQ(at.size(), 2u);
    // Wake-up, press, the held second and the release lie between two codes.
    EXPECT_GE(at[1] - at[0], kAutoTestHoldMs);
}

TEST_F(PreCodeAutoTestTest, CancelStopsAfterTheCodeJustSent) {
    const std::vector<int> codes = {1200, 1201, 1203};
    AutoTestHooks hooks;
    hooks.showing = [this](int n) { shown.push_back(n); };
    hooks.cancelled = [this] { return !shown.empty() && shown.back() == 1201; };
    auto result = autoTest.Run(codes, hooks);
    pump.Advance(10);
    EXPECT_EQ(result.outcome, AutoTestOutcome::Cancelled);
    EXPECT_EQ(result.lastCode, 1201);
    EXPECT_EQ(shown, (std::vector<int>{1200, 1201}));
    const std::vector<std::array<uint8_t, 512>> expected = {SendOf(1200), SendOf(1201)};
    EXPECT_EQ(remote.CodesReceived(), expected);
    // The cancelled press still gets its 'B', and the remote fires it.
    EXPECT_EQ(port.Written().back(), 'B');
    EXPECT_EQ(remote.Shots(), 2);
}

TEST_F(PreCodeAutoTestTest, WithoutTheCableNothingIsSent) {
    registry.RemoveKey(kNtAdapterKey);
    AutoTestHooks hooks;
    hooks.showing = [this](int n) { shown.push_back(n); };
    const std::vector<int> codes = {1200};
    auto result = autoTest.Run(codes, hooks);
    EXPECT_EQ(result.outcome, AutoTestOutcome::NoCable);
    EXPECT_EQ(result.lastCode, -1);
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(port.Written().empty());
}

}  // namespace
}  // namespace orvalink::testing
