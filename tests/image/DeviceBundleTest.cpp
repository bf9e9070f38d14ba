#include <gtest/gtest.h>

#include <vector>

#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SampleCode;
using testing::SoftKey;

// Home -> TV (slot 1, key 6) with two soft keys and codes; TV holds a nested
// device (slot 2) with one key.
void BuildTree(TTiFlashFm& flash) {
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1, 100)));
    ASSERT_TRUE(WriteKey(flash, 1, 6, SoftKey("Menu")));
    ASSERT_TRUE(WriteKey(flash, 1, 7, SoftKey("Guide", 3)));
    ASSERT_TRUE(WriteIrCode(flash, 1, 0, SampleCode(2, 1)));
    ASSERT_TRUE(WriteIrCode(flash, 1, 6, SampleCode(3, 2)));
    ASSERT_TRUE(WriteKey(flash, 1, 8, DeviceKey("Sub", 2)));
    ASSERT_TRUE(WriteKey(flash, 2, 6, SoftKey("Deep")));
    ASSERT_TRUE(WriteIrCode(flash, 2, 6, SampleCode(2, 9)));
}

TEST(DeleteDevice, TreeRemovesNestedDevicesAndFreesEveryBlock) {
    TTiFlashFm flash;
    BuildTree(flash);
    ASSERT_TRUE(DeleteDeviceTree(flash, 1));
    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 1, 6, k));
    EXPECT_FALSE(ReadKey(flash, 2, 6, k));
    IrCodeInfo c;
    EXPECT_FALSE(ReadIrCode(flash, 1, 0, c));
    EXPECT_FALSE(ReadIrCode(flash, 2, 6, c));
    // Only the Home key that links to the device is left.
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 2);
    LinkTrailer t;
    ASSERT_TRUE(ReadLinkTrailer(flash, 2, t));
    EXPECT_EQ(t, LinkTrailer{});
}

TEST(DeleteDevice, ClearKeysLeavesLinkedDevicesAlone) {
    TTiFlashFm flash;
    BuildTree(flash);
    ASSERT_TRUE(ClearDeviceKeys(flash, 1));
    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 1, 7, k));
    EXPECT_TRUE(ReadKey(flash, 2, 6, k));
}

TEST(DeleteDevice, LoopOfLinksEnds) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 3, 6, DeviceKey("to 4", 4)));
    ASSERT_TRUE(WriteKey(flash, 4, 6, DeviceKey("to 3", 3)));
    ASSERT_TRUE(WriteKey(flash, 4, 7, DeviceKey("to self", 4)));
    ASSERT_TRUE(DeleteDeviceTree(flash, 3));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
}

TEST(Bundle, CopyPackUnpackPasteRestoresKeysAndCodes) {
    TTiFlashFm flash;
    BuildTree(flash);
    KeyInfo tv;
    ASSERT_TRUE(ReadKey(flash, 0, 6, tv));
    DeviceBundle bundle;
    ASSERT_TRUE(CopyDeviceOut(flash, 1, tv, bundle));
    EXPECT_EQ(bundle.device.size, 4);
    // Keys 6, 7, 8 (2 + 3 + 2 blocks), then codes of keys 0 and 6 (2 + 3).
    EXPECT_EQ(bundle.slotTable[6], 0);
    EXPECT_EQ(bundle.slotTable[7], 2);
    EXPECT_EQ(bundle.slotTable[8], 5);
    EXPECT_EQ(bundle.slotTable[64], 7);
    EXPECT_EQ(bundle.slotTable[70], 9);
    int used = 0;
    ASSERT_TRUE(BundleUsedBlocks(bundle, used));
    EXPECT_EQ(used, 12);

    std::vector<uint8_t> flat;
    ASSERT_TRUE(PackDevice(bundle, flat));
    EXPECT_EQ(flat.size(), 296u + 8 * 12);
    EXPECT_EQ(flat[40], 0xFF);  // slot table, little-endian; hard keys have no record
    EXPECT_EQ(flat[40 + 2 * 6], 0);
    EXPECT_EQ(flat[40 + 2 * 7], 2);
    EXPECT_EQ(flat[40 + 2 * 70], 9);
    EXPECT_EQ(flat[40 + 2 * 70 + 1], 0);

    DeviceBundle back;
    ASSERT_TRUE(UnpackDevice(flat, back));
    TTiFlashFm other;
    ASSERT_TRUE(PasteDeviceIn(other, back, 5));
    KeyInfo k;
    ASSERT_TRUE(ReadKey(other, 5, 7, k));
    std::string text;
    int n;
    ASSERT_TRUE(LabelToText(k.label, text, n));
    EXPECT_EQ(text, "Guide");
    IrCodeInfo original, pasted;
    ASSERT_TRUE(ReadIrCode(flash, 1, 6, original));
    ASSERT_TRUE(ReadIrCode(other, 5, 6, pasted));
    EXPECT_EQ(pasted.size, original.size);
    EXPECT_EQ(pasted.reserved2, original.reserved2);
    EXPECT_EQ(pasted.data, original.data);
    ASSERT_TRUE(ReadIrCode(other, 5, 0, pasted));  // hard key code
}

TEST(Bundle, UsedBlocksLimits) {
    DeviceBundle b;
    int used = -1;
    ASSERT_TRUE(BundleUsedBlocks(b, used));
    EXPECT_EQ(used, 0);
    b.slotTable[3] = 500;  // entries of hard keys are not counted
    ASSERT_TRUE(BundleUsedBlocks(b, used));
    EXPECT_EQ(used, 0);
    b.slotTable[20] = 1243;
    b.blocks[8 * 1243] = 2;  // ends at 1245
    EXPECT_FALSE(BundleUsedBlocks(b, used));
    std::vector<uint8_t> flat;
    b.device = SoftKey("Dev", 4);
    EXPECT_FALSE(PackDevice(b, flat));
    b.blocks[8 * 1243] = 1;
    ASSERT_TRUE(BundleUsedBlocks(b, used));
    EXPECT_EQ(used, 1244);
    b.device.size = 6;
    EXPECT_FALSE(PackDevice(b, flat));
}

TEST(Bundle, DeviceTooLargeForABundleReportsIt) {
    TTiFlashFm flash;
    for (int k = 6; k < 64; ++k) ASSERT_TRUE(WriteKey(flash, 1, k, SoftKey("Big", 6)));
    for (int k = 0; k < 64; ++k) ASSERT_TRUE(WriteIrCode(flash, 1, k, SampleCode(32, uint8_t(k))));
    DeviceBundle bundle;
    EXPECT_FALSE(CopyDeviceOut(flash, 1, SoftKey("Dev"), bundle));
    std::vector<uint8_t> flat;
    ASSERT_TRUE(PackDevice(bundle, flat));  // what fitted still packs
    EXPECT_LE(flat.size(), kMaxModelFileBytes);  // so that it can be imported again
}

TEST(Bundle, UnpackRefusesBadLengthsAndPasteSkipsBadPositions) {
    DeviceBundle b;
    std::vector<uint8_t> small(295, 0);
    EXPECT_FALSE(UnpackDevice(small, b));
    std::vector<uint8_t> huge(kMaxFlatBundleBytes + 8, 0);
    huge[0] = 4;
    EXPECT_FALSE(UnpackDevice(huge, b));

    std::vector<uint8_t> flat(296 + 16, 0xFF);
    flat[0] = 4;
    for (int i = 1; i < 40; ++i) flat[size_t(i)] = 0;
    flat[40 + 2 * 6] = 0xFD;  // key 6 at position 1277: past the area
    flat[40 + 2 * 6 + 1] = 0x04;
    ASSERT_TRUE(UnpackDevice(flat, b));
    TTiFlashFm flash;
    EXPECT_TRUE(PasteDeviceIn(flash, b, 3));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
}

}  // namespace
}  // namespace orvalink
