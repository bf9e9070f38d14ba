#include <gtest/gtest.h>

#include <vector>

#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "image/MacroRecords.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

constexpr int kAllBlocks = 16896;

MacroInfo SampleMacro(int steps) {
    MacroInfo m;
    m.timerKind = 1;
    m.month = 12;
    m.day = 24;
    m.hour = 18;
    m.minute = 30;
    m.stepCount = uint8_t(steps);
    for (int i = 0; i < steps; ++i) m.steps[size_t(i)] = {uint8_t(i % 65), uint8_t((3 * i) % 64), uint8_t(i % 11)};
    return m;
}

TEST(MacroRecords, ThreeStepsPackIntoThreeBlocks) {
    std::vector<uint8_t> rec;
    ASSERT_TRUE(PackMacro(SampleMacro(3), rec));
    const std::vector<uint8_t> expected = {3,    15,   1,    12,   24,   18,   30,   3,     // header
                                           0,    0,    0,    1,    3,    1,    2,    6,     // steps 0, 1 and
                                           2,    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}; // the delay of 2
    EXPECT_EQ(rec, expected);
    EXPECT_EQ(MacroBlocks(1), 2);
    EXPECT_EQ(MacroBlocks(60), 24);
    EXPECT_EQ(MacroBlocks(64), 25);
}

TEST(MacroRecords, RoundTripThroughTheMacroDevice) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteMacro(flash, 12, SampleMacro(60)));
    EXPECT_EQ(testing::FreeBlockCount(flash), kAllBlocks - 24);
    MacroInfo back;
    ASSERT_TRUE(ReadMacro(flash, 12, back));
    EXPECT_EQ(back.size, 24);
    EXPECT_EQ(back.stepCount, 60);
    EXPECT_EQ(back.timerKind, 1);
    EXPECT_EQ(back.minute, 30);
    EXPECT_EQ(back.steps, SampleMacro(60).steps);
    ASSERT_TRUE(WriteMacro(flash, 12, SampleMacro(2)));  // replacing frees the old one
    EXPECT_EQ(testing::FreeBlockCount(flash), kAllBlocks - 2);
    ASSERT_TRUE(DeleteMacro(flash, 12));
    EXPECT_EQ(testing::FreeBlockCount(flash), kAllBlocks);
    EXPECT_FALSE(ReadMacro(flash, 12, back));
    EXPECT_FALSE(DeleteMacro(flash, 12));
}

TEST(MacroRecords, TimerBytesAreCarriedAsStored) {
    // Month 0 and minute 60 are the macro editor's business: the record reads.
    MacroInfo m = SampleMacro(1);
    m.month = 0;
    m.minute = 60;
    std::vector<uint8_t> rec;
    ASSERT_TRUE(PackMacro(m, rec));
    MacroInfo back;
    ASSERT_TRUE(UnpackMacro(rec, back));
    EXPECT_EQ(back.month, 0);
    EXPECT_EQ(back.minute, 60);
}

TEST(MacroRecords, RecordsOutsideThePartsLimitsAreRefused) {
    std::vector<uint8_t> good;
    ASSERT_TRUE(PackMacro(SampleMacro(3), good));
    struct Bad { const char* why; size_t at; uint8_t value; };
    for (Bad b : {Bad{"marker", 1, 13}, Bad{"no steps", 7, 0}, Bad{"65 steps", 7, 65}, Bad{"size 2 for 3 steps", 0, 2},
                  Bad{"size 26", 0, 26}, Bad{"size 0", 0, 0}, Bad{"device 65", 8, 65}, Bad{"key 64", 12, 64}}) {
        std::vector<uint8_t> rec = good;
        rec[b.at] = b.value;
        if (b.at == 0 && b.value == 26) rec.resize(8 * 26, 0);
        MacroInfo back;
        EXPECT_FALSE(UnpackMacro(rec, back)) << b.why;
    }
    // A record shorter than its size byte says.
    std::vector<uint8_t> cut(good.begin(), good.begin() + 16);
    MacroInfo back;
    EXPECT_FALSE(UnpackMacro(cut, back));
    // A size larger than the steps need is accepted.
    std::vector<uint8_t> roomy = good;
    roomy[0] = 4;
    roomy.resize(32, 0xFF);
    EXPECT_TRUE(UnpackMacro(roomy, back));

    MacroInfo m = SampleMacro(3);
    m.steps[1].device = 65;
    std::vector<uint8_t> rec;
    EXPECT_FALSE(PackMacro(m, rec));
    m = SampleMacro(64);
    EXPECT_TRUE(PackMacro(m, rec));
    m.stepCount = 65;
    EXPECT_FALSE(PackMacro(m, rec));
}

TEST(MacroRecords, AFullStoreKeepsTheOldMacro) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteMacro(flash, 7, SampleMacro(2)));
    testing::FillStoreLeaving(flash, 0);
    EXPECT_FALSE(WriteMacro(flash, 7, SampleMacro(20)));
    MacroInfo back;
    ASSERT_TRUE(ReadMacro(flash, 7, back));
    EXPECT_EQ(back.stepCount, 2);
}

}  // namespace
}  // namespace orvalink
