// The factory configuration of the memory image: character and icon sets,
// welcome pictures, settings and Home with its starter devices.
#include <gtest/gtest.h>

#include <set>

#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "image/DeviceTree.h"
#include "image/KeyRecords.h"
#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"
#include "image/Settings.h"
#include "tests/tools/FactoryTestSupport.h"
#include "tools/gen-default/LayoutTemplates.h"

namespace orvalink::testing {
namespace {

int InkOf(const Bitmap& b) {
    int n = 0;
    for (Rgb p : b.pixels) n += p == kRgbBlack;
    return n;
}

class FactoryImage : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(TheFactory().ok) << TheFactory().error; }
    const TTiFlashFm& flash = TheFactory().flash;
};

TEST_F(FactoryImage, GlyphsAreTheFontsLettersAtTheirInkWidth) {
    GlyphBytes a{}, i{}, m{}, space{};
    ASSERT_TRUE(ReadGlyph(flash, 'A' - 32, a));
    ASSERT_TRUE(ReadGlyph(flash, 'i' - 32, i));
    ASSERT_TRUE(ReadGlyph(flash, 'M' - 32, m));
    ASSERT_TRUE(ReadGlyph(flash, ' ' - 32, space));
    Bitmap drawn;
    ASSERT_TRUE(DrawGlyph(a, kRgbBlack, kRgbWhite, drawn));
    EXPECT_GT(InkOf(drawn), 10);
    EXPECT_EQ(drawn.height, kGlyphRows);
    EXPECT_LT(i[0], m[0]);  // proportional: an i is narrower than an M
    ASSERT_TRUE(DrawGlyph(space, kRgbBlack, kRgbWhite, drawn));
    EXPECT_EQ(InkOf(drawn), 0);
    EXPECT_GT(space[0], 0);
    // Every glyph reads and all that should are inked, the special ones too.
    std::set<std::vector<uint8_t>> distinct;
    for (int index = 0; index < kGlyphCount; ++index) {
        GlyphBytes g{};
        ASSERT_TRUE(ReadGlyph(flash, index, g)) << index;
        distinct.insert(std::vector<uint8_t>(g.begin(), g.end()));
    }
    EXPECT_GE(distinct.size(), size_t(kGlyphCount) - 2);  // space and the soft hyphen's twin may repeat
    for (uint8_t code : {uint8_t(160), uint8_t(164), uint8_t(168), uint8_t(127)}) {
        GlyphBytes g{};
        ASSERT_TRUE(ReadGlyph(flash, code - 32, g));
        ASSERT_TRUE(DrawGlyph(g, kRgbBlack, kRgbWhite, drawn));
        EXPECT_GT(InkOf(drawn), 4) << int(code);
    }
}

TEST_F(FactoryImage, IconsAreAllInkedAndAllDifferent) {
    std::set<std::vector<uint8_t>> distinct;
    for (int index = 0; index < kIconCount; ++index) {
        IconBytes icon{};
        ASSERT_TRUE(ReadIcon(flash, index, icon));
        Bitmap b = DrawIcon(icon, kRgbBlack, kRgbWhite);
        EXPECT_GT(InkOf(b), 6) << "icon " << index;
        EXPECT_LT(InkOf(b), kIconWidth * kIconHeight) << "icon " << index;
        distinct.insert(std::vector<uint8_t>(icon.begin(), icon.end()));
    }
    EXPECT_EQ(distinct.size(), size_t(kIconCount));
}

TEST_F(FactoryImage, WelcomePicturesAreTwoDifferentPictures) {
    PictureBytes ten{}, twenty{};
    ASSERT_TRUE(ReadPicture(flash, kWelcomeSystem, ten));
    ASSERT_TRUE(ReadPicture(flash, kWelcomeReal, twenty));
    EXPECT_NE(ten, twenty);
    for (const auto* p : {&ten, &twenty}) {
        int ink = InkOf(DrawPicture(*p));
        EXPECT_GT(ink, 500);
        EXPECT_LT(ink, kLcdWidth * kLcdHeight / 2);
    }
}

TEST_F(FactoryImage, SettingsAreTheDefaultsAndTheVersionIsOnePointZero) {
    RemoteSettings values{};
    ASSERT_TRUE(ReadSettings(flash, values));
    EXPECT_EQ(values, DefaultSettings());
    EXPECT_EQ(flash.Image()[27224], 1);
    EXPECT_EQ(flash.Image()[27225], 0);
}

TEST_F(FactoryImage, HomeHoldsTheStarterDevicesEachLaidOutFromItsTemplate) {
    struct Expected {
        const char* label;
        int code;
    };
    const Expected expected[] = {{"TV", 1152}, {"DVD", 1536}, {"SAT", 1}, {"Audio", 1920}, {"CD", 2304}, {"AUX", 2856}};
    for (int i = 0; i < 6; ++i) {
        const int slot = i + 1;
        KeyInfo device;
        ASSERT_TRUE(ReadKey(flash, kHomeSlot, kHardKeyCount + i, device)) << expected[i].label;
        EXPECT_EQ(device.keyType, kKeyDevice);
        EXPECT_EQ(device.link, slot);
        EXPECT_EQ(device.codeNumber, expected[i].code);
        std::string text;
        int length = 0;
        ASSERT_TRUE(LabelToText(device.label, text, length));
        EXPECT_EQ(text, expected[i].label);

        // The soft keys are the template's, and every key with a library
        // code carries exactly that code.
        DeviceBundle layout;
        ASSERT_TRUE(UnpackDevice(TheFactory().files.templates.at(gen::TemplateOfCode(expected[i].code)), layout));
        int codes = 0;
        for (int k = 0; k < kKeysPerDevice; ++k) {
            if (k >= kHardKeyCount) {
                KeyInfo key;
                EXPECT_EQ(ReadKey(flash, slot, k, key), layout.slotTable[size_t(k)] != 0xFFFF) << slot << "/" << k;
            }
            IrCodeInfo library, stored;
            bool inLibrary = LibraryKey(flash, expected[i].code, k, library);
            ASSERT_EQ(ReadIrCode(flash, slot, k, stored), inLibrary) << slot << "/" << k;
            if (!inLibrary) continue;
            ++codes;
            EXPECT_EQ(stored.size, library.size);
            EXPECT_EQ(stored.codeType, library.codeType);
            EXPECT_EQ(stored.carrier, library.carrier);
            EXPECT_EQ(stored.firstCount, library.firstCount);
            EXPECT_TRUE(std::equal(stored.data.begin(), stored.data.begin() + 8 * stored.size - 8,
                                   library.data.begin()));
        }
        EXPECT_GE(codes, 10) << expected[i].label;
        IrCodeInfo power;
        EXPECT_TRUE(ReadIrCode(flash, slot, 0, power)) << expected[i].label << " has no power code";
    }
    // No seventh device, and the Macro device is empty.
    KeyInfo key;
    EXPECT_FALSE(ReadKey(flash, kHomeSlot, kHardKeyCount + 6, key));
    for (int k = 0; k < kKeysPerDevice; ++k) EXPECT_FALSE(ReadKey(flash, kMacroSlot, k, key));
    LinkTrailer macro;
    ASSERT_TRUE(ReadLinkTrailer(flash, kMacroSlot, macro));
    EXPECT_EQ(macro, LinkTrailer{});
}

TEST_F(FactoryImage, EveryKeyWhoseFlagsClaimACodeHasOne) {
    int devices = 0;
    for (const DeviceTreeNode& node : BuildDeviceTree(flash)) {
        const int slot = node.key.link;
        ++devices;
        int claimed = 0;
        for (int k = 0; k < kKeysPerDevice; ++k) {
            KeyInfo key;
            if (!ReadKey(flash, slot, k, key) || key.keyType != kKeyIrCode) continue;
            IrCodeInfo code;
            const bool hasCode = ReadIrCode(flash, slot, k, code);
            EXPECT_EQ((key.flags & kFlagHasCode) != 0, hasCode) << node.text << " key " << k;
            claimed += hasCode;
        }
        EXPECT_GE(claimed, 10) << node.text;
    }
    EXPECT_EQ(devices, 6);
}

TEST_F(FactoryImage, EveryTemplateLabelFitsItsKey) {
    for (const auto& [number, flat] : TheFactory().files.templates) {
        DeviceBundle bundle;
        ASSERT_TRUE(UnpackDevice(flat, bundle)) << number;
        int keys = 0;
        for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
            if (bundle.slotTable[size_t(k)] == 0xFFFF) continue;
            KeyInfo key;
            auto record = std::span<const uint8_t>(bundle.blocks).subspan(8 * size_t(bundle.slotTable[size_t(k)]));
            ASSERT_TRUE(UnpackKey(record, key)) << number << "/" << k;
            ++keys;
            EXPECT_LE(key.column + key.width, 6);
            EXPECT_LE(key.row + key.height, 8);
            EXPECT_LT(key.page, 8);
            LabelArea area = LabelAreaOf(key.width, key.height, key.flags);
            LabelLayoutResult layout;
            ASSERT_TRUE(LayoutLabel(flash, std::span<const uint8_t>(key.label).first(key.labelLength), area.width,
                                    area.height, layout))
                << number << "/" << k;
            int height = 0;
            for (const auto& line : layout.lines) {
                EXPECT_LE(line.width, area.width + 1) << number << "/" << k;
                height += line.height;
            }
            EXPECT_LE(height, area.height) << number << "/" << k;
        }
        EXPECT_GE(keys, 10) << "template " << number;
    }
}

}  // namespace
}  // namespace orvalink::testing
