#include <gtest/gtest.h>

#include <vector>

#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::FreeBlockCount;
using testing::SampleCode;

constexpr int kAllBlocks = 16896;

CycleInfo SampleCycle(int steps, uint8_t seed = 1) {
    CycleInfo c;
    c.size = 0;  // let WriteCycle size the list
    c.carried = {0x11, 0x22, 0x33, 0x44, 0x55};
    c.stepCount = uint8_t(steps);
    for (int i = 0; i < steps; ++i) c.steps[size_t(i)] = SampleCode(uint8_t(2 + i % 3), uint8_t(seed + 10 * i));
    return c;
}

std::vector<uint8_t> BlockMap(const TTiFlashFm& flash) {
    auto img = flash.Image();
    auto start = img.begin() + flash.BlockMapStart();
    return {start, start + 2112};
}

uint16_t CodeIndexOf(const TTiFlashFm& flash, int device, int key) {
    KeySlot s;
    EXPECT_TRUE(ReadKeySlot(flash, device, key, s));
    return s.codeIndex;
}

TEST(CycleRecords, WriteStoresTheListFirstThenEachStepInBlocksOfItsOwn) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteCycle(flash, 2, 9, SampleCycle(3)));
    // List of 3 steps: 8 + 6 bytes = 2 blocks at 0; steps of 2, 3 and 4 blocks at 2, 4 and 7.
    EXPECT_EQ(CodeIndexOf(flash, 2, 9), 0);
    auto list = StoreBytes(flash, 0, 2);
    const std::vector<uint8_t> expected = {2, 13, 0x11, 0x22, 0x33, 0x44, 0x55, 3,
                                           2, 0,  4,    0,    7,    0,    0xFF, 0xFF};
    EXPECT_EQ(std::vector<uint8_t>(list.begin(), list.end()), expected);
    EXPECT_EQ(StoreBytes(flash, 2, 1)[0], 2);
    EXPECT_EQ(StoreBytes(flash, 4, 1)[0], 3);
    EXPECT_EQ(StoreBytes(flash, 7, 1)[0], 4);
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 11);

    CycleInfo back;
    ASSERT_TRUE(ReadCycle(flash, 2, 9, back));
    EXPECT_EQ(back.size, 2);
    EXPECT_EQ(back.marker, kCycleMarker);
    EXPECT_EQ(back.carried, SampleCycle(3).carried);
    EXPECT_EQ(back.stepCount, 3);
    EXPECT_EQ(back.stepIndex[0], 2);
    EXPECT_EQ(back.stepIndex[1], 4);
    EXPECT_EQ(back.stepIndex[2], 7);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(back.steps[size_t(i)].size, SampleCycle(3).steps[size_t(i)].size) << i;
        EXPECT_EQ(back.steps[size_t(i)].data, SampleCycle(3).steps[size_t(i)].data) << i;
    }
}

TEST(CycleRecords, ListSizeFollowsTheStepCountOrKeepsALargerOne) {
    struct Row { int steps; uint8_t asked; uint8_t stored; };
    for (Row r : {Row{1, 0, 2}, Row{4, 0, 2}, Row{5, 0, 3}, Row{6, 0, 3}, Row{6, 4, 4}, Row{2, 3, 3},
                  Row{5, 2, 3}, Row{1, 5, 2}}) {
        TTiFlashFm flash;
        CycleInfo c = SampleCycle(r.steps);
        c.size = r.asked;
        ASSERT_TRUE(WriteCycle(flash, 1, 6, c)) << r.steps;
        CycleInfo back;
        ASSERT_TRUE(ReadCycle(flash, 1, 6, back));
        EXPECT_EQ(back.size, r.stored) << r.steps << " " << int(r.asked);
        EXPECT_EQ(back.stepCount, r.steps);
    }
    EXPECT_EQ(CycleListBlocks(1), 2);
    EXPECT_EQ(CycleListBlocks(6), 3);
}

TEST(CycleRecords, DeleteCodeOfAThreeStepCycleFreesTheListAndTheSteps) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteIrCode(flash, 1, 1, SampleCode(2, 9)));  // a neighbour that must stay
    ASSERT_TRUE(WriteCycle(flash, 1, 7, SampleCycle(3)));
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 2 - 11);
    ASSERT_TRUE(DeleteCode(flash, 1, 7));
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 2);
    EXPECT_EQ(CodeIndexOf(flash, 1, 7), kNoIndex);
    IrCodeInfo neighbour;
    ASSERT_TRUE(ReadIrCode(flash, 1, 1, neighbour));
    EXPECT_EQ(neighbour.data, SampleCode(2, 9).data);
    CycleInfo back;
    EXPECT_FALSE(ReadCycle(flash, 1, 7, back));
    EXPECT_FALSE(DeleteCode(flash, 1, 7));  // nothing left to delete
}

TEST(CycleRecords, DeleteCycleFreesEverythingAndRefusesOtherRecords) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteCycle(flash, 64, 63, SampleCycle(6)));
    ASSERT_TRUE(DeleteCycle(flash, 64, 63));
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks);
    EXPECT_EQ(CodeIndexOf(flash, 64, 63), kNoIndex);
    ASSERT_TRUE(WriteIrCode(flash, 3, 3, SampleCode()));
    EXPECT_FALSE(DeleteCycle(flash, 3, 3));  // an IR code is not a cycle list
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 2);
    EXPECT_FALSE(DeleteCycle(flash, 65, 3));
}

TEST(CycleRecords, RewritingReplacesAnOldCycleWithItsStepsOrAnOldCode) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteCycle(flash, 4, 10, SampleCycle(5, 3)));
    ASSERT_TRUE(WriteCycle(flash, 4, 10, SampleCycle(2, 7)));
    // 2 list blocks + steps of 2 and 3 blocks; the old list and five steps are free again.
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 7);
    CycleInfo back;
    ASSERT_TRUE(ReadCycle(flash, 4, 10, back));
    EXPECT_EQ(back.stepCount, 2);
    EXPECT_EQ(back.steps[1].data, SampleCycle(2, 7).steps[1].data);

    ASSERT_TRUE(WriteIrCode(flash, 4, 11, SampleCode(4, 1)));
    ASSERT_TRUE(WriteCycle(flash, 4, 11, SampleCycle(1)));
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 7 - 4);
    ASSERT_TRUE(WriteIrCode(flash, 4, 10, SampleCode(2, 1)));  // a code in place of a cycle
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 2 - 4);
}

TEST(CycleRecords, AFailedWriteForLackOfRoomKeepsTheOldCycleAndFreesWhatItTook) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteCycle(flash, 1, 8, SampleCycle(2, 5)));  // blocks 0..6
    // Room for the list and some steps, not all of them: only blocks 7..14 are free.
    testing::FillStoreLeaving(flash, 0);
    ASSERT_TRUE(MarkBlocks(flash, 0, 7, false));
    ASSERT_TRUE(MarkBlocks(flash, 7, 8, true));
    const auto mapBefore = BlockMap(flash);
    const std::vector<uint8_t> storeBefore(flash.Image().begin() + flash.BlockStoreStart(),
                                           flash.Image().begin() + flash.BlockStoreStart() + 8 * 16);
    // The old record's 7 blocks and the 8 free ones make a run of 15; this needs 3 + 2 + 3 + 4 + 2 + 3 = 17.
    EXPECT_FALSE(WriteCycle(flash, 1, 8, SampleCycle(5, 9)));
    EXPECT_EQ(BlockMap(flash), mapBefore);
    const std::vector<uint8_t> storeAfter(flash.Image().begin() + flash.BlockStoreStart(),
                                          flash.Image().begin() + flash.BlockStoreStart() + 8 * 16);
    EXPECT_EQ(storeAfter, storeBefore);  // nothing half-written
    CycleInfo back;
    ASSERT_TRUE(ReadCycle(flash, 1, 8, back));
    EXPECT_EQ(back.stepCount, 2);
    EXPECT_EQ(back.steps[0].data, SampleCycle(2, 5).steps[0].data);
    // With two more free blocks the same write succeeds.
    ASSERT_TRUE(MarkBlocks(flash, 15, 2, true));
    EXPECT_TRUE(WriteCycle(flash, 1, 8, SampleCycle(5, 9)));
}

TEST(CycleRecords, AFailedWriteKeepsAnOldIrCode) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteIrCode(flash, 1, 8, SampleCode(3, 4)));
    testing::FillStoreLeaving(flash, 0);
    const auto mapBefore = BlockMap(flash);
    EXPECT_FALSE(WriteCycle(flash, 1, 8, SampleCycle(1)));  // 2 + 2 blocks, only the old 3 there
    EXPECT_EQ(BlockMap(flash), mapBefore);
    IrCodeInfo back;
    ASSERT_TRUE(ReadIrCode(flash, 1, 8, back));
    EXPECT_EQ(back.data, SampleCode(3, 4).data);
}

TEST(CycleRecords, WritesThatBreakTheRulesChangeNothing) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteIrCode(flash, 1, 8, SampleCode(3, 4)));
    const auto mapBefore = BlockMap(flash);
    CycleInfo none = SampleCycle(1);
    none.stepCount = 0;
    EXPECT_FALSE(WriteCycle(flash, 1, 8, none));
    CycleInfo seven = SampleCycle(6);
    seven.stepCount = 7;
    EXPECT_FALSE(WriteCycle(flash, 1, 8, seven));
    CycleInfo badStep = SampleCycle(3);
    badStep.steps[2].timingCount = 16;
    EXPECT_FALSE(WriteCycle(flash, 1, 8, badStep));
    badStep = SampleCycle(3);
    badStep.steps[1].size = 0;
    EXPECT_FALSE(WriteCycle(flash, 1, 8, badStep));
    EXPECT_FALSE(WriteCycle(flash, 65, 8, SampleCycle(2)));
    EXPECT_FALSE(WriteCycle(flash, 1, 64, SampleCycle(2)));
    EXPECT_EQ(BlockMap(flash), mapBefore);
    IrCodeInfo back;
    EXPECT_TRUE(ReadIrCode(flash, 1, 8, back));
}

// A list written by hand: header, steps as given.
void PutList(TTiFlashFm& flash, int device, int key, uint16_t at, std::vector<uint8_t> bytes) {
    auto out = StoreBytes(flash, at, int(bytes.size() / 8));
    std::copy(bytes.begin(), bytes.end(), out.begin());
    MarkBlocks(flash, at, int(bytes.size() / 8), false);
    KeySlot s;
    ASSERT_TRUE(ReadKeySlot(flash, device, key, s));
    s.codeIndex = at;
    ASSERT_TRUE(WriteKeySlot(flash, device, key, s));
}

TEST(CycleRecords, ReadingChecksTheListAndEveryStep) {
    TTiFlashFm flash;
    // Two step codes at 100 and 110 (bit 15 of the second index set, which is masked off).
    PackIrCode(SampleCode(2, 1), StoreBytes(flash, 100, 2));
    PackIrCode(SampleCode(3, 2), StoreBytes(flash, 110, 3));
    MarkBlocks(flash, 100, 2, false);
    MarkBlocks(flash, 110, 3, false);
    auto notIr = StoreBytes(flash, 120, 3);  // timing count 20: no IR code
    std::fill(notIr.begin(), notIr.end(), uint8_t(0));
    notIr[0] = 3;
    notIr[3] = 20;
    // 0xFFFF ends the list early: a list of 4 steps that holds 2.
    PutList(flash, 1, 20, 200, {2, 13, 1, 2, 3, 4, 5, 4, 100, 0, 110, 0x80, 0xFF, 0xFF, 0, 0});
    CycleInfo back;
    ASSERT_TRUE(ReadCycle(flash, 1, 20, back));
    EXPECT_EQ(back.stepCount, 2);
    EXPECT_EQ(back.stepIndex[1], 110);
    EXPECT_EQ(back.steps[1].data, SampleCode(3, 2).data);

    struct Bad { const char* why; std::vector<uint8_t> list; };
    const Bad bad[] = {
        {"size 5", {5, 13, 0, 0, 0, 0, 0, 1, 100, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"marker", {2, 15, 0, 0, 0, 0, 0, 1, 100, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"no steps", {2, 13, 0, 0, 0, 0, 0, 0, 100, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"seven steps", {2, 13, 0, 0, 0, 0, 0, 7, 100, 0, 0xFF, 0xFF, 0, 0, 0, 0}},
        {"first index 0xFFFF", {2, 13, 0, 0, 0, 0, 0, 2, 0xFF, 0xFF, 100, 0, 0, 0, 0, 0}},
        {"step is no IR code", {2, 13, 0, 0, 0, 0, 0, 2, 100, 0, 120, 0, 0, 0, 0, 0}},
        {"step is no record", {2, 13, 0, 0, 0, 0, 0, 2, 100, 0, 0, 0, 0, 0, 0, 0}},
        {"step past the store", {2, 13, 0, 0, 0, 0, 0, 1, 0x00, 0x42, 0xFF, 0xFF, 0, 0, 0, 0}},
    };
    int key = 30;
    for (const Bad& b : bad) {
        PutList(flash, 1, key, uint16_t(200 + 10 * (key - 29)), b.list);
        EXPECT_FALSE(ReadCycle(flash, 1, key, back)) << b.why;
        ++key;
    }
    // A 1-block list has no room for step indexes: its steps end at once.
    PutList(flash, 1, 50, 300, {1, 13, 0, 0, 0, 0, 0, 3});
    EXPECT_FALSE(ReadCycle(flash, 1, 50, back));
    EXPECT_FALSE(ReadCycle(flash, 65, 20, back));
    EXPECT_FALSE(ReadCycle(flash, 1, 21, back));  // no record
}

TEST(CycleRecords, DeleteSkipsStepsThatAreNoIrCodes) {
    TTiFlashFm flash;
    PackIrCode(SampleCode(2, 1), StoreBytes(flash, 100, 2));
    MarkBlocks(flash, 100, 2, false);
    // Block 120 holds a record whose timing count (20) makes it no IR code: it must stay in use.
    auto other = StoreBytes(flash, 120, 3);
    std::fill(other.begin(), other.end(), uint8_t(0));
    other[0] = 3;
    other[3] = 20;
    MarkBlocks(flash, 120, 3, false);
    PutList(flash, 2, 7, 200, {2, 13, 0, 0, 0, 0, 0, 2, 100, 0, 120, 0, 0xFF, 0xFF, 0xFF, 0xFF});
    ASSERT_TRUE(DeleteCode(flash, 2, 7));
    EXPECT_TRUE(IsBlockFree(flash, 100));
    EXPECT_TRUE(IsBlockFree(flash, 200));
    EXPECT_FALSE(IsBlockFree(flash, 120));
    EXPECT_EQ(FreeBlockCount(flash), kAllBlocks - 3);
}

}  // namespace
}  // namespace orvalink
