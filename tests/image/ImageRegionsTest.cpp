// Pages of the image named by what they hold: the fixed regions by their
// names, device pages and block store pages by the device and keys whose
// records lie there, anything else by number.
#include <gtest/gtest.h>

#include <vector>

#include "image/ImageRegions.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SampleCode;
using testing::SoftKey;

TEST(ImageRegions, PagesAreNamedByWhatTheyHold) {
    TTiFlashFm flash;
    // Slot 1 "TV" and slot 2 "DVD". Their key records and codes fill the
    // store from block 0: Home's Device keys, TV keys 12..14 with codes, then
    // DVD key 6 with a code of 30 blocks that runs into the second page.
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1)));
    ASSERT_TRUE(WriteKey(flash, 0, 7, DeviceKey("DVD", 2)));
    for (int key = 12; key <= 14; ++key) {
        ASSERT_TRUE(WriteKey(flash, 1, key, SoftKey("K" + std::to_string(key))));
        ASSERT_TRUE(WriteIrCode(flash, 1, key, SampleCode(2, uint8_t(key))));
    }
    ASSERT_TRUE(WriteKey(flash, 2, 6, SoftKey("Play")));
    ASSERT_TRUE(WriteIrCode(flash, 2, 6, SampleCode(30, 3)));
    ASSERT_TRUE(WriteIrCode(flash, 1, 0, SampleCode(30, 4)));

    const struct {
        std::vector<uint32_t> pages;
        const char* text;
    } cases[] = {
        {{0}, "image head"},
        {{1, 2, 3}, "pages 1-3"},
        {{4, 9}, "glyphs"},
        {{10, 39}, "icons"},
        {{95, 102}, "welcome picture (system)"},
        {{103}, "settings"},
        {{112, 119}, "welcome picture (real system)"},
        {{150}, "Home"},
        {{151}, "device TV"},
        {{215}, "Macro"},
        {{233, 240}, "block map"},
        // Block 0..: Home 6, 7 (2 blocks each), TV 12 (2 + code 2), 13, 14,
        // DVD 6 and its code; the first page holds 33 blocks.
        {{245}, "Home keys 6-7, device TV keys 12-14, device DVD key 6"},
        {{246}, "device DVD key 6, device TV key 0"},
        {{500, 756}, "free blocks"},
        {{757, 1012}, "second block area"},
        {{1042, 1088}, "code index"},
        {{1089}, "page 1089"},
        {{1346, 2000, 3333}, "code library"},
        {{40, 41, 42}, "pages 40-42"},
        {{3334}, "page 3334"},
        {{5000}, "page 5000"},
        // Order follows the pages; a region named twice is named once.
        {{1346, 151, 0, 1400}, "image head, device TV, code library"},
        {{151, 245}, "device TV keys 12-14, Home keys 6-7, device DVD key 6"},
        {{41, 43, 44}, "page 41, pages 43-44"},
        {{}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(DescribePagesText(flash, c.pages), c.text);
    }
    // Each region lists its own pages, ascending.
    const std::vector<uint32_t> pages{1400, 4, 1346, 5};
    const std::vector<PageRegion> regions = DescribePages(flash, pages);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].pages, (std::vector<uint32_t>{4, 5}));
    EXPECT_EQ(regions[1].pages, (std::vector<uint32_t>{1346, 1400}));
}

}  // namespace
}  // namespace orvalink
