#include <gtest/gtest.h>

#include <vector>

#include "image/CodeRecords.h"
#include "image/Settings.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::SampleCode;

TEST(Settings, FreshImageFailsAndDefaultsApply) {
    TTiFlashFm flash;
    RemoteSettings v{};
    EXPECT_FALSE(ReadSettings(flash, v));
    EXPECT_EQ(DefaultSettings(), (RemoteSettings{2, 28, 180, 30, 6, 2, 1}));
}

TEST(Settings, RoundTripThroughThePageBytes) {
    TTiFlashFm flash;
    RemoteSettings v{3, 42, 600, 100, 60, 3, 0};
    ASSERT_TRUE(WriteSettings(flash, v));
    const uint8_t* page = flash.Image().data() + flash.SettingsPageStart();
    EXPECT_EQ(page[134], 3);
    EXPECT_EQ(page[38], 42);
    EXPECT_EQ(page[132], 600 & 0xFF);
    EXPECT_EQ(page[133], 600 >> 8);
    EXPECT_EQ(page[40], 100);
    EXPECT_EQ(page[39], 60);
    EXPECT_EQ(page[41], 3);
    EXPECT_EQ(page[42], 0);
    RemoteSettings back{};
    ASSERT_TRUE(ReadSettings(flash, back));
    EXPECT_EQ(back, v);
}

TEST(Settings, OutOfRangeValuesAreRefusedWholesale) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteSettings(flash, DefaultSettings()));
    for (int i = 0; i < kSettingCount; ++i) {
        RemoteSettings v = DefaultSettings();
        v[size_t(i)] = SettingMaximum(i) + 1;
        v[0] = i == 0 ? v[0] : 0;  // an in-range change that must not be written either
        EXPECT_FALSE(WriteSettings(flash, v)) << i;
        RemoteSettings back{};
        ASSERT_TRUE(ReadSettings(flash, back));
        EXPECT_EQ(back, DefaultSettings()) << i;
    }
    flash.Image()[flash.SettingsPageStart() + 133] = 3;  // LCD off 180 + 768
    RemoteSettings back{};
    EXPECT_FALSE(ReadSettings(flash, back));
}

TEST(IrCodes, SymbolWidths) {
    struct Row { int entries, width; };
    for (Row r : {Row{0, 1}, Row{2, 1}, Row{3, 2}, Row{4, 2}, Row{5, 3}, Row{8, 3}, Row{9, 4}, Row{16, 4},
                  Row{17, 5}, Row{33, 6}, Row{65, 7}, Row{129, 8}, Row{255, 8}})
        EXPECT_EQ(SymbolWidth(r.entries), r.width) << r.entries;
}

TEST(IrCodes, WriteReadDeleteThroughTheSlot) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteIrCode(flash, 3, 2, SampleCode(4, 7)));
    IrCodeInfo back;
    ASSERT_TRUE(ReadIrCode(flash, 3, 2, back));
    EXPECT_EQ(back.size, 4);
    EXPECT_EQ(back.carrier, 304);
    EXPECT_EQ(back.data, SampleCode(4, 7).data);
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 4);
    ASSERT_TRUE(WriteIrCode(flash, 3, 2, SampleCode(2, 1)));  // rewrite frees the old one
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 2);
    ASSERT_TRUE(DeleteIrCode(flash, 3, 2));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
    EXPECT_FALSE(ReadIrCode(flash, 3, 2, back));
    EXPECT_FALSE(WriteIrCode(flash, 65, 2, SampleCode()));  // the Macro device holds macros
}

TEST(IrCodes, HeaderChecks) {
    TTiFlashFm flash;
    IrCodeInfo bad = SampleCode();
    bad.timingCount = 16;
    EXPECT_FALSE(WriteIrCode(flash, 1, 1, bad));
    bad = SampleCode();
    bad.firstCount = 200;
    EXPECT_FALSE(WriteIrCode(flash, 1, 1, bad));
    bad = SampleCode();
    bad.size = 33;
    EXPECT_FALSE(WriteIrCode(flash, 1, 1, bad));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
}

TEST(IrCodes, FullStoreKeepsTheOldCode) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteIrCode(flash, 1, 1, SampleCode(2, 5)));
    testing::FillStoreLeaving(flash, 0);
    EXPECT_FALSE(WriteIrCode(flash, 1, 1, SampleCode(8, 6)));
    IrCodeInfo back;
    ASSERT_TRUE(ReadIrCode(flash, 1, 1, back));
    EXPECT_EQ(back.data, SampleCode(2, 5).data);
    EXPECT_FALSE(IsBlockFree(flash, 0));
    EXPECT_FALSE(IsBlockFree(flash, 1));
}

TEST(RawCodes, MacroRecordsOnTheMacroDevice) {
    TTiFlashFm flash;
    std::vector<uint8_t> macro(16, 0);
    macro[0] = 2;
    macro[1] = kMacroMarker;
    macro[7] = 2;
    ASSERT_TRUE(WriteCodeRaw(flash, 65, 10, 2, macro));
    std::vector<uint8_t> back;
    ASSERT_TRUE(ReadCodeRaw(flash, 65, 10, back));
    EXPECT_EQ(back, macro);
    ASSERT_TRUE(WriteCodeRaw(flash, 65, 10, 2, macro));  // replacing frees the old blocks
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 2);
    std::vector<uint8_t> typeTooHigh = macro;
    typeTooHigh[1] = 16;
    ASSERT_TRUE(WriteCodeRaw(flash, 65, 11, 2, typeTooHigh));
    EXPECT_FALSE(ReadCodeRaw(flash, 65, 11, back));
}

TEST(RawCodes, DeletingACycleListFreesItsSteps) {
    TTiFlashFm flash;
    // Three step codes stored on keys 20..22, then moved under a cycle list on key 7.
    std::vector<uint16_t> steps;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WriteIrCode(flash, 1, 20 + i, SampleCode(2, uint8_t(i))));
        KeySlot s;
        ASSERT_TRUE(ReadKeySlot(flash, 1, 20 + i, s));
        steps.push_back(s.codeIndex);
        s.codeIndex = kNoIndex;
        ASSERT_TRUE(WriteKeySlot(flash, 1, 20 + i, s));
    }
    std::vector<uint8_t> list(16, 0xFF);
    list[0] = 2;
    list[1] = kCycleMarker;
    list[7] = 3;
    for (int i = 0; i < 3; ++i) {
        list[size_t(8 + 2 * i)] = uint8_t(steps[size_t(i)]);
        list[size_t(9 + 2 * i)] = uint8_t(steps[size_t(i)] >> 8);
    }
    ASSERT_TRUE(WriteCodeRaw(flash, 1, 7, 2, list));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896 - 8);
    ASSERT_TRUE(DeleteCode(flash, 1, 7));
    EXPECT_EQ(testing::FreeBlockCount(flash), 16896);
    KeySlot s;
    ASSERT_TRUE(ReadKeySlot(flash, 1, 7, s));
    EXPECT_FALSE(s.HasCode());
}

}  // namespace
}  // namespace orvalink
