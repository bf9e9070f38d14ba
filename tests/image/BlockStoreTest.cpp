#include <gtest/gtest.h>

#include "image/BlockStore.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

TEST(BlockMap, FirstFitLowestAddressAndRunsResetAtUsedBlocks) {
    TTiFlashFm flash;
    EXPECT_EQ(FindFreeBlocks(flash, 3), 0);
    ASSERT_TRUE(MarkBlocks(flash, 2, 1, false));  // free 0,1 | used 2 | free 3..
    EXPECT_EQ(FindFreeBlocks(flash, 2), 0);
    EXPECT_EQ(FindFreeBlocks(flash, 3), 3);
    ASSERT_TRUE(MarkBlocks(flash, 0, 1, false));
    EXPECT_EQ(FindFreeBlocks(flash, 1), 1);
    EXPECT_EQ(FindFreeBlocks(flash, 127), 3);
}

TEST(BlockMap, BitOrderIsLeastSignificantFirst) {
    TTiFlashFm flash;
    ASSERT_TRUE(MarkBlocks(flash, 9, 2, false));
    const uint8_t* map = flash.Image().data() + flash.BlockMapStart();
    EXPECT_EQ(map[0], 0xFF);
    EXPECT_EQ(map[1], 0xF9);  // bits 1 and 2 of byte 1 are blocks 9 and 10
    ASSERT_TRUE(MarkBlocks(flash, 9, 2, true));
    EXPECT_EQ(map[1], 0xFF);
}

TEST(BlockMap, RejectsRunsOutsideTheStoreAndCountsOf128) {
    TTiFlashFm flash;
    EXPECT_FALSE(FindFreeBlocks(flash, 128));
    EXPECT_FALSE(FindFreeBlocks(flash, 0));
    EXPECT_FALSE(MarkBlocks(flash, 16895, 1, false));  // the last block is never allocated
    EXPECT_FALSE(MarkBlocks(flash, 16890, 10, false)); // would run past the store
    EXPECT_FALSE(MarkBlocks(flash, -1, 1, false));
    EXPECT_FALSE(MarkBlocks(flash, 0, 128, false));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
}

TEST(BlockMap, NeverHandsOutTheLastBlock) {
    TTiFlashFm flash;
    testing::FillStoreLeaving(flash, 1);
    EXPECT_EQ(FindFreeBlocks(flash, 1), 16894);
    EXPECT_FALSE(FindFreeBlocks(flash, 2));  // 16894 and the never-used 16895
}

TEST(KeySlots, SlotAndTrailerRoundTripAndRangeChecks) {
    TTiFlashFm flash;
    KeySlot slot;
    ASSERT_TRUE(ReadKeySlot(flash, 65, 63, slot));
    EXPECT_FALSE(slot.HasKeyRecord());
    EXPECT_FALSE(slot.HasCode());
    slot.keyRecord = 100;
    slot.codeIndex = 0x8000 | 200;  // bit 15 is written clear
    slot.trailer = LinkTrailer{0, 0xFF, 1234, 0, 9};
    ASSERT_TRUE(WriteKeySlot(flash, 3, 7, slot));
    KeySlot back;
    ASSERT_TRUE(ReadKeySlot(flash, 3, 7, back));
    EXPECT_EQ(back.keyRecord, 100);
    EXPECT_EQ(back.codeIndex, 200);
    EXPECT_EQ(back.trailer, slot.trailer);
    const uint8_t* page = flash.Image().data() + flash.DevicePagesStart() + 3 * 264;
    EXPECT_EQ(page[28], 100);
    EXPECT_EQ(page[31], 0x00);
    EXPECT_EQ(page[258], 0);
    EXPECT_EQ(page[260] | page[261] << 8, 1234);

    EXPECT_FALSE(ReadKeySlot(flash, 66, 0, back));
    EXPECT_FALSE(ReadKeySlot(flash, 0, 64, back));
    EXPECT_FALSE(WriteLinkTrailer(flash, 66, LinkTrailer{}));
}

TEST(KeySlots, IndexBeyondTheStoreMakesTheSlotUnreadable) {
    TTiFlashFm flash;
    uint8_t* page = flash.Image().data() + flash.DevicePagesStart() + 2 * 264;
    page[4 * 10] = 0x00;  // key record index 16896 = 0x4200
    page[4 * 10 + 1] = 0x42;
    KeySlot slot;
    EXPECT_FALSE(ReadKeySlot(flash, 2, 10, slot));
    page[4 * 10 + 1] = 0x41;  // 16640: valid
    EXPECT_TRUE(ReadKeySlot(flash, 2, 10, slot));
    page[4 * 11 + 2] = 0xFF;  // code index 0xC2FF: masked 0x42FF is outside
    page[4 * 11 + 3] = 0xC2;
    EXPECT_FALSE(ReadKeySlot(flash, 2, 11, slot));
}

}  // namespace
}  // namespace orvalink
