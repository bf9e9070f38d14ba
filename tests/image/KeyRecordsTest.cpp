#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/KeyRecords.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SoftKey;

std::string Label(const KeyInfo& k) {
    std::string text;
    int n = 0;
    EXPECT_TRUE(LabelToText(k.label, text, n));
    return text;
}

TEST(ReadKey, FreshImageHasHardKeysButNoSoftKeys) {
    TTiFlashFm flash;
    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 0, 6, k));
    ASSERT_TRUE(ReadKey(flash, 0, 0, k));
    EXPECT_EQ(Label(k), "Power");
    EXPECT_EQ(k.column, 4);
    EXPECT_EQ(k.row, 0);
    EXPECT_EQ(k.page, 8);
    EXPECT_EQ(k.size, 2);
    EXPECT_EQ(k.flags, 3);
    EXPECT_EQ(k.labelLength, 5);
    EXPECT_EQ(k.keyNumber, 0);
    EXPECT_EQ(k.ownerDevice, 0);
}

TEST(ReadKey, HardKeyTable) {
    struct Row { int key; const char* label; int column, row; };
    TTiFlashFm flash;
    for (Row r : {Row{0, "Power", 4, 0}, Row{1, "Vol+", 6, 4}, Row{2, "Vol-", 0, 4}, Row{3, "Ch+", 2, 2},
                  Row{4, "Ch-", 2, 6}, Row{5, "Mute", 0, 0}}) {
        KeyInfo k;
        ASSERT_TRUE(ReadKey(flash, 12, r.key, k));
        EXPECT_EQ(Label(k), r.label);
        EXPECT_EQ(k.column, r.column) << r.label;
        EXPECT_EQ(k.row, r.row) << r.label;
        EXPECT_EQ(k.width, 2);
        EXPECT_EQ(k.height, 2);
    }
    // The Macro device has no hard keys: its keys 0..5 are records like the others.
    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 65, 0, k));
}

TEST(ReadKey, RejectsSlotsAndKeysOutOfRange) {
    TTiFlashFm flash;
    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 66, 0, k));
    EXPECT_FALSE(ReadKey(flash, 0, 64, k));
    EXPECT_FALSE(ReadKey(flash, -1, 0, k));
}

TEST(WriteKey, TwoBlockKeyTakesBlocksZeroAndOneAndDeleteFreesThem) {
    TTiFlashFm flash;
    KeyInfo k = SoftKey("Menu");
    k.column = 3;
    k.row = 5;
    k.width = 3;
    k.height = 4;
    k.flags = kFlagRectangle | kFlagHasCode;
    ASSERT_TRUE(WriteKey(flash, 4, 20, k));
    KeySlot slot;
    ASSERT_TRUE(ReadKeySlot(flash, 4, 20, slot));
    EXPECT_EQ(slot.keyRecord, 0);
    const uint8_t* map = flash.Image().data() + flash.BlockMapStart();
    EXPECT_EQ(map[0], 0xFC);

    const uint8_t* rec = flash.Image().data() + flash.BlockStoreStart();
    EXPECT_EQ(rec[0], 2);     // size
    EXPECT_EQ(rec[3], 0x06);  // type 0 high, flags low
    EXPECT_EQ(rec[4], 0x35);  // column high, row low
    EXPECT_EQ(rec[5], 0x34);  // width high, height low
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec + 8)), "Menu");

    KeyInfo back;
    ASSERT_TRUE(ReadKey(flash, 4, 20, back));
    EXPECT_EQ(Label(back), "Menu");
    EXPECT_EQ(back.column, 3);
    EXPECT_EQ(back.row, 5);
    EXPECT_EQ(back.width, 3);
    EXPECT_EQ(back.height, 4);
    EXPECT_EQ(back.flags, kFlagRectangle | kFlagHasCode);
    EXPECT_EQ(back.keyNumber, 20);
    EXPECT_EQ(back.ownerDevice, 4);

    ASSERT_TRUE(DeleteKey(flash, 4, 20));
    EXPECT_EQ(map[0], 0xFF);
    EXPECT_FALSE(ReadKey(flash, 4, 20, back));
    EXPECT_FALSE(DeleteKey(flash, 4, 20));
}

TEST(WriteKey, RewriteReplacesTheOldRecord) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 1, 6, SoftKey("A", 3)));
    ASSERT_TRUE(WriteKey(flash, 1, 6, SoftKey("Longer label", 4)));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 4);
    KeyInfo k;
    ASSERT_TRUE(ReadKey(flash, 1, 6, k));
    EXPECT_EQ(Label(k), "Longer label");
}

TEST(WriteKey, FullStoreKeepsTheOldRecord) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 9, DeviceKey("TV", 7, 120)));
    testing::FillStoreLeaving(flash, 0);
    std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());

    // Two blocks are freed by dropping the old record, but four are needed.
    EXPECT_FALSE(WriteKey(flash, 0, 9, SoftKey("Television", 4)));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin()));
    KeyInfo k;
    ASSERT_TRUE(ReadKey(flash, 0, 9, k));
    EXPECT_EQ(Label(k), "TV");
    LinkTrailer t;
    ASSERT_TRUE(ReadLinkTrailer(flash, 7, t));
    EXPECT_EQ(t.linkState, 0);
    EXPECT_EQ(t.parentKey, 9);
}

TEST(WriteKey, RefusesSizesThatCannotBePackedWithoutTouchingTheKey) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 1, 6, SoftKey("Keep")));
    for (uint8_t size : {uint8_t(0), uint8_t(7), uint8_t(0xFF)}) {
        EXPECT_FALSE(WriteKey(flash, 1, 6, SoftKey("X", size))) << int(size);
        KeyInfo k;
        ASSERT_TRUE(ReadKey(flash, 1, 6, k));
        EXPECT_EQ(Label(k), "Keep");
    }
}

TEST(DeviceLinks, DeviceKeyWritesAndDeleteResetsTheLinkedTrailer) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 9, DeviceKey("DVD", 7, 513)));
    const uint8_t* page7 = flash.Image().data() + flash.DevicePagesStart() + 7 * 264;
    EXPECT_EQ(std::vector<uint8_t>(page7 + 258, page7 + 264),
              (std::vector<uint8_t>{0, 0xFF, 513 & 0xFF, 513 >> 8, 0, 9}));

    KeyInfo k;
    ASSERT_TRUE(ReadKey(flash, 0, 9, k));
    EXPECT_EQ(k.keyType, kKeyDevice);
    EXPECT_EQ(k.link, 7);
    EXPECT_EQ(k.codeNumber, 513);
    EXPECT_EQ(k.ownerDevice, 0);
    EXPECT_EQ(k.parentKey, 9);

    // A key of the linked device knows the key it hangs from.
    ASSERT_TRUE(WriteKey(flash, 7, 30, SoftKey("Play")));
    ASSERT_TRUE(ReadKey(flash, 7, 30, k));
    EXPECT_EQ(k.ownerDevice, 7);
    EXPECT_EQ(k.parentKey, 9);

    ASSERT_TRUE(DeleteKey(flash, 0, 9));
    EXPECT_TRUE(std::all_of(page7 + 258, page7 + 264, [](uint8_t b) { return b == 0xFF; }));
}

TEST(UnpackKey, LabelScanRules) {
    // A 6-block record whose first 32 label bytes hold no zero reads back empty.
    std::vector<uint8_t> rec(48, 'A');
    rec[0] = 6;
    rec[1] = 0;
    rec[3] = 0;
    KeyInfo k;
    ASSERT_TRUE(UnpackKey(rec, k));
    EXPECT_EQ(k.labelLength, 0);
    EXPECT_EQ(k.label[0], 0);

    // The label runs to one past the last zero byte of the scanned range.
    std::vector<uint8_t> two(16, 0xFF);
    two[0] = 2;
    const char text[] = "AB\0C\0";
    std::copy(text, text + 5, two.begin() + 8);
    ASSERT_TRUE(UnpackKey(two, k));
    EXPECT_EQ(k.labelLength, 5);
    EXPECT_EQ(Label(k), "AB");

    // Page bits 4..7 are dropped; sizes above 6 and 0xFF are refused.
    two[1] = 0xF3;
    ASSERT_TRUE(UnpackKey(two, k));
    EXPECT_EQ(k.page, 3);
    two[0] = 7;
    EXPECT_FALSE(UnpackKey(two, k));
    two[0] = 0xFF;
    EXPECT_FALSE(UnpackKey(two, k));
    // A record shorter than the label range it needs is refused.
    std::vector<uint8_t> shortRec = {4, 0, 0, 0, 0, 0, 0, 0, 'A', 0};
    EXPECT_FALSE(UnpackKey(shortRec, k));
}

TEST(PackKey, WritesAtMostFortyLabelBytes) {
    KeyInfo k = SoftKey(std::string(60, 'x'), 6);
    std::vector<uint8_t> out(60, 0xEE);
    ASSERT_TRUE(PackKey(k, out));
    EXPECT_EQ(out[47], 'x');
    EXPECT_EQ(out[48], 0xEE);
    EXPECT_EQ(PackedKeyBytes(6), 48u);
    EXPECT_EQ(PackedKeyBytes(1), 8u);
    EXPECT_EQ(PackedKeyBytes(7), 0u);
    std::vector<uint8_t> small(20);
    EXPECT_FALSE(PackKey(k, small));
}

TEST(KeyInfoValues, DefaultKeyAndCopy) {
    KeyInfo d = DefaultKey();
    EXPECT_EQ(d.size, 2);
    EXPECT_EQ(d.page, 0xFF);
    EXPECT_EQ(d.flags, 10);
    EXPECT_EQ(d.width, 3);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(d.link, 0xFF);
    EXPECT_EQ(d.codeBlockCount, 0xFF);

    KeyInfo k = SoftKey(std::string(50, 'q'), 6);
    k.codeBlockCount = 3;
    k.codeBlocks[23] = 0x77;
    KeyInfo c = CopyKeyInfo(k);
    EXPECT_EQ(c.codeBlockCount, 3);
    EXPECT_EQ(c.codeBlocks[23], 0x77);
    EXPECT_EQ(c.label[39], 'q');   // 8 x 6 - 8 = 40 label bytes are copied
    EXPECT_EQ(c.label[40], 0);
}

TEST(KeyStyles, TablesOfTypesAndPages) {
    TTiFlashFm flash;
    KeyInfo macro = SoftKey("M", 2, 3);
    macro.keyType = kKeyMacro;
    ASSERT_TRUE(WriteKey(flash, 2, 10, macro));
    ASSERT_TRUE(WriteKey(flash, 2, 11, SoftKey("x", 2, 7)));
    KeyStyleTables t;
    t.type.fill(0xFF);
    t.page.fill(0xFF);
    ASSERT_TRUE(KeyStyles(flash, 2, t));
    EXPECT_EQ(t.type[0], 0);
    EXPECT_EQ(t.page[0], 9);  // hard keys are on page 8
    EXPECT_EQ(t.type[10], kKeyMacro);
    EXPECT_EQ(t.page[10], 4);
    EXPECT_EQ(t.page[11], 8);
    EXPECT_EQ(t.type[12], 0xFF);
    EXPECT_EQ(t.page[64], 0xFF);
    EXPECT_FALSE(KeyStyles(flash, 65, t));
}

TEST(LabelText, CharacterSetAndStopRules) {
    EXPECT_EQ(LabelCharCode('A'), U'A');
    EXPECT_EQ(LabelCharCode(128), char32_t(224));
    EXPECT_EQ(LabelCharCode(159), char32_t(255));
    EXPECT_EQ(LabelCharCode(160), char32_t(0x0153));
    EXPECT_EQ(LabelCharCode(164), char32_t(0x25B2));
    EXPECT_EQ(LabelCharCode(168), char32_t(0x263A));
    EXPECT_EQ(LabelCharCode(200), char32_t(200));

    std::string text;
    int n = -1;
    const uint8_t mixed[] = {'T', 'V', 163, 0, 'x'};
    ASSERT_TRUE(LabelToText(mixed, text, n));
    EXPECT_EQ(text, "TV\xC3\x9F");
    EXPECT_EQ(n, 3);

    const uint8_t lineBreakFirst[] = {13, 'A'};
    ASSERT_TRUE(LabelToText(lineBreakFirst, text, n));
    EXPECT_EQ(n, 0);
    const uint8_t iconFirst[] = {240, 3, 0};
    EXPECT_FALSE(LabelToText(iconFirst, text, n));
    const uint8_t stopAtIcon[] = {'O', 'K', 240, 3, 0};
    ASSERT_TRUE(LabelToText(stopAtIcon, text, n));
    EXPECT_EQ(text, "OK");

    std::vector<uint8_t> longRun(39, 'a');
    longRun.push_back(0);
    ASSERT_TRUE(LabelToText(longRun, text, n));
    EXPECT_EQ(n, 39);
    longRun.insert(longRun.begin(), 'a');
    EXPECT_FALSE(LabelToText(longRun, text, n));
}

}  // namespace
}  // namespace orvalink
