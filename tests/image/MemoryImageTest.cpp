#include <gtest/gtest.h>

#include <algorithm>

#include "image/Tiflashut.h"

namespace orvalink {
namespace {

bool AllBytes(std::span<const uint8_t> s, uint8_t v) {
    return std::all_of(s.begin(), s.end(), [v](uint8_t b) { return b == v; });
}

TEST(SelectModel, HolderStartsWithAnErasedQm5100Image) {
    TTiFlashFm flash;
    auto [base, exists] = flash.ImageData();
    ASSERT_TRUE(exists);
    ASSERT_NE(base, nullptr);
    EXPECT_EQ(flash.Selector(), 5100);
    EXPECT_EQ(flash.ImageSize(), 1081344u);
    EXPECT_TRUE(AllBytes(flash.Image(), 0xFF));
}

TEST(SelectModel, SameSelectorKeepsTheImageAnotherErasesIt) {
    TTiFlashFm flash;
    flash.Image()[12345] = 0x42;
    EXPECT_TRUE(flash.SelectModel(5100));
    EXPECT_EQ(flash.Image()[12345], 0x42);

    EXPECT_TRUE(flash.SelectModel(2300));
    EXPECT_EQ(flash.ImageSize(), 540672u);
    EXPECT_TRUE(flash.SelectModel(5100));
    EXPECT_EQ(flash.ImageSize(), 1081344u);
    EXPECT_TRUE(AllBytes(flash.Image(), 0xFF));
}

TEST(SelectModel, Fresh2300ImageHasZeroGlyphArea) {
    TTiFlashFm flash;
    ASSERT_TRUE(flash.SelectModel(2300));
    auto img = flash.Image();
    EXPECT_TRUE(AllBytes(img.subspan(0, 528), 0xFF));
    EXPECT_TRUE(AllBytes(img.subspan(528, 1584), 0x00));
    EXPECT_TRUE(AllBytes(img.subspan(2112), 0xFF));
    EXPECT_EQ(flash.BlockCount(), 12672);
    EXPECT_EQ(flash.LibraryCount(), 44318u);
}

TEST(SelectModel, UnknownSelectorChangesNothing) {
    TTiFlashFm flash;
    flash.Image()[7] = 1;
    EXPECT_FALSE(flash.SelectModel(4000));
    EXPECT_FALSE(flash.SelectModel(0));
    EXPECT_EQ(flash.Selector(), 5100);
    EXPECT_EQ(flash.Image()[7], 1);
}

TEST(SelectModel, VariantsSetTheirCountsAndSizes) {
    struct Row { uint16_t selector; size_t bytes; uint16_t blocks; uint32_t library; uint32_t payloadUnits; };
    for (Row r : {Row{5100, 1081344, 16896, 65604, 0}, Row{5110, 1081344, 16896, 65604, 0},
                  Row{5120, 2162688, 16896, 65604, 268672}, Row{2300, 540672, 12672, 44318, 0}}) {
        TTiFlashFm flash;
        ASSERT_TRUE(flash.SelectModel(r.selector)) << r.selector;
        EXPECT_EQ(flash.ImageSize(), r.bytes) << r.selector;
        EXPECT_EQ(flash.BlockCount(), r.blocks) << r.selector;
        EXPECT_EQ(flash.LibraryCount(), r.library) << r.selector;
        EXPECT_EQ(flash.PayloadUnits(), r.payloadUnits) << r.selector;
        EXPECT_EQ(flash.CodeIndexCount(), 3072) << r.selector;
        EXPECT_EQ(flash.MaxDevices(), 64) << r.selector;
        EXPECT_EQ(flash.Layout().secondBlockCount, 8448u) << r.selector;
        EXPECT_EQ(flash.Layout().blockSize, 8) << r.selector;
    }
}

TEST(SelectModel, RegionStartsOfTheLayout) {
    TTiFlashFm flash;
    EXPECT_EQ(flash.GlyphTableStart(), 1056u);
    EXPECT_EQ(flash.IconTableStart(), 2640u);
    EXPECT_EQ(flash.Welcome10Start(), 25080u);
    EXPECT_EQ(flash.SettingsPageStart(), 27192u);
    EXPECT_EQ(flash.Welcome20Start(), 29568u);
    EXPECT_EQ(flash.DevicePagesStart(), 39600u);
    EXPECT_EQ(flash.BlockMapStart(), 61512u);
    EXPECT_EQ(flash.BlockStoreStart(), 64680u);
    EXPECT_EQ(flash.CodeIndexStart(), 275088u);
    EXPECT_EQ(flash.CodeLibraryStart(), 355344u);
    EXPECT_EQ(flash.Layout().set2300[13], 681u * 264);
    EXPECT_EQ(flash.Layout().set2300[15], 540672u);
    EXPECT_EQ(flash.Layout().set2300[16], 540671u);
    // The block store ends exactly where the second block area starts.
    EXPECT_EQ(flash.BlockStoreStart() + 8u * flash.BlockCount(), 757u * 264);
}

TEST(ImageData, NoImageBeforeTheFirstSelectAndAfterRelease) {
    TTiFlashFm none{TTiFlashFm::NoImage{}};
    auto [base, exists] = none.ImageData();
    EXPECT_EQ(base, nullptr);
    EXPECT_FALSE(exists);
    EXPECT_TRUE(none.Image().empty());
    EXPECT_FALSE(none.Release());

    TTiFlashFm flash;
    EXPECT_TRUE(flash.Release());
    EXPECT_FALSE(flash.ImageData().second);
    EXPECT_TRUE(flash.SelectModel(5100));
    EXPECT_TRUE(flash.ImageData().second);
}

}  // namespace
}  // namespace orvalink
