// The soft-key LCD's geometry: cells and pixels, snapping, zones of a key
// picture, the page strip and the empty LCD.
#include <gtest/gtest.h>

#include <algorithm>

#include "editors/core/LcdGrid.h"
#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"

namespace orvalink {
namespace {

TEST(KeyPicturePlace, CellsBecomePixelsBesideTheGridLines) {
    struct Row { int column, row, width, height; EditorRect picture; };
    for (Row r : {
             Row{0, 0, 2, 2, {2, 49, 68, 56}},
             Row{1, 2, 3, 2, {36, 105, 102, 56}},
             Row{4, 6, 2, 2, {138, 217, 68, 56}},                  // the bottom-right corner
             Row{5, 0, 3, 2, {104, 49, 102, 56}},                  // column + width > 6: column 6 - width
             Row{0, 7, 2, 3, {2, 5 * 28 + 49, 68, 84}},            // row + height > 8: row 8 - height
             Row{-2, -1, 2, 2, {2, 49, 68, 56}},                   // negative column and row: 0
             Row{0, 0, 1, 9, {2, 49, 68, 224}},                    // width to 2..6, height to 2..8
             Row{3, 3, 7, 1, {2, 3 * 28 + 49, 204, 56}},
         }) {
        EXPECT_EQ(KeyPictureRect(r.column, r.row, r.width, r.height), r.picture)
            << r.column << "," << r.row << " " << r.width << "x" << r.height;
    }
}

TEST(KeyPicturePlace, SizeByteZeroLiesAtItsOwnPlace) {
    KeyInfo k = DefaultKey();
    k.column = 2;
    k.row = 3;
    EXPECT_EQ(KeyPictureRect(k), (EditorRect{70, 133, 102, 56}));
    k.size = 0;
    EXPECT_EQ(KeyPictureRect(k), (EditorRect{0, 47, 68, 56}));
}

TEST(SnapToCells, RemaindersOverHalfACellRoundUp) {
    struct Row { EditorRect rect; KeyCells cells; const char* what; };
    for (Row r : {
             Row{{34 + 17, 48, 68, 56}, {1, 0, 2, 2}, "x remainder 17 rounds down"},
             Row{{34 + 18, 48, 68, 56}, {2, 0, 2, 2}, "x remainder 18 rounds up"},
             Row{{0, 48 + 28 + 14, 68, 56}, {0, 1, 2, 2}, "y remainder 14 rounds down"},
             Row{{0, 48 + 28 + 15, 68, 56}, {0, 2, 2, 2}, "y remainder 15 rounds up"},
             Row{{0, 48, 3 * 34 + 17, 56}, {0, 0, 3, 2}, "width remainder 17 rounds down"},
             Row{{0, 48, 3 * 34 + 18, 56}, {0, 0, 4, 2}, "width remainder 18 rounds up"},
             Row{{0, 48, 68, 3 * 28 + 14}, {0, 0, 2, 3}, "height remainder 14 rounds down"},
             Row{{0, 48, 68, 3 * 28 + 15}, {0, 0, 2, 4}, "height remainder 15 rounds up"},
             Row{{10, 60, 40, 30}, {0, 0, 2, 2}, "40 x 30 at (10, 60): the smallest key at the origin"},
             Row{{2, 49, 102, 56}, {0, 0, 3, 2}, "a picture at its own place snaps to its own cells"},
         }) {
        EXPECT_EQ(SnapRectToCells(r.rect), r.cells) << r.what;
    }
}

TEST(SnapToCells, ResultIsClampedAtEveryEdge) {
    struct Row { EditorRect rect; KeyCells cells; const char* what; };
    for (Row r : {
             Row{{-60, 48, 68, 56}, {0, 0, 2, 2}, "left of the grid: column 0"},
             Row{{5 * 34, 48, 102, 56}, {3, 0, 3, 2}, "past the right edge: column 6 - width"},
             Row{{0, 20, 68, 56}, {0, 0, 2, 2}, "above the grid: row 0"},
             Row{{0, 48 + 7 * 28, 68, 84}, {0, 5, 2, 3}, "past the bottom edge: row 8 - height"},
             Row{{0, 48, 300, 56}, {0, 0, 6, 2}, "wider than the grid: 6 cells"},
             Row{{0, 48, 68, 400}, {0, 0, 2, 8}, "taller than the grid: 8 cells"},
             Row{{0, 48, 10, 5}, {0, 0, 2, 2}, "smaller than a key: 2 x 2"},
             Row{{0, 48, -40, -40}, {0, 0, 2, 2}, "no area at all: 2 x 2"},
         }) {
        EXPECT_EQ(SnapRectToCells(r.rect), r.cells) << r.what;
    }
}

struct ZoneRow {
    int x, y;
    uint8_t zone;
};

void ExpectZones(int width, int height, std::initializer_list<ZoneRow> rows) {
    for (const ZoneRow& r : rows)
        EXPECT_EQ(ZoneOf(r.x, r.y, width, height), r.zone)
            << "(" << r.x << ", " << r.y << ") in " << width << " x " << height;
}

TEST(KeyZones, EveryZoneOfATwoByTwoKey) {
    // 68 x 56: corners reach x < 7, x > 61, y < 7, y > 49; the middles are
    // x 32..37 and y 26..31.
    ExpectZones(68, 56, {
        {0, 0, kZoneTopLeft}, {6, 6, kZoneTopLeft},
        {67, 55, kZoneBottomRight}, {62, 50, kZoneBottomRight},
        {67, 0, kZoneTopRight}, {62, 6, kZoneTopRight},
        {0, 55, kZoneBottomLeft}, {6, 50, kZoneBottomLeft},
        {32, 0, kZoneTop}, {37, 6, kZoneTop},
        {32, 55, kZoneBottom}, {37, 50, kZoneBottom},
        {0, 26, kZoneLeft}, {6, 31, kZoneLeft},
        {67, 26, kZoneRight}, {62, 31, kZoneRight},
        {34, 28, kZoneMove},
        // Just beside each zone.
        {7, 0, kZoneMove}, {0, 7, kZoneMove}, {61, 55, kZoneMove}, {67, 49, kZoneMove},
        {31, 0, kZoneMove}, {38, 0, kZoneMove}, {32, 7, kZoneMove}, {37, 49, kZoneMove},
        {0, 25, kZoneMove}, {0, 32, kZoneMove}, {7, 28, kZoneMove}, {61, 28, kZoneMove},
        // Outside the picture.
        {68, 10, kZoneNone}, {10, 56, kZoneNone}, {68, 56, kZoneNone},
    });
}

TEST(KeyZones, ATwoPixelWideKeyIsAllLeftAndRightEdge) {
    // Every x is both < 7 and > W - 7: the top is the top-left corner, the
    // bottom the bottom-right one, the middle height the left middle.
    ExpectZones(2, 56, {
        {0, 0, kZoneTopLeft}, {1, 6, kZoneTopLeft},
        {0, 55, kZoneBottomRight}, {1, 50, kZoneBottomRight},
        {0, 26, kZoneLeft}, {1, 31, kZoneLeft},
        {0, 7, kZoneMove}, {1, 25, kZoneMove}, {0, 32, kZoneMove}, {1, 49, kZoneMove},
        {2, 0, kZoneNone}, {0, 56, kZoneNone},
    });
}

TEST(KeyZones, MiddlesRoundHalfSizesDown) {
    // 69 x 57: W/2 = 34 and H/2 = 28 as for 68 x 56.
    ExpectZones(69, 57, {{31, 0, kZoneMove}, {32, 0, kZoneTop}, {37, 0, kZoneTop}, {38, 0, kZoneMove},
                         {0, 25, kZoneMove}, {0, 26, kZoneLeft}, {0, 31, kZoneLeft}, {0, 32, kZoneMove}});
}

TEST(KeyZones, APictureWithoutAreaHasNoZone) {
    EXPECT_EQ(ZoneOf(0, 0, 0, 56), kZoneNone);
    EXPECT_EQ(ZoneOf(0, 0, 68, 0), kZoneNone);
    EXPECT_EQ(ZoneOf(0, 0, -4, 20), kZoneNone);
}

TEST(KeyZones, EachZoneHasItsCursorShape) {
    struct Row { uint8_t zone; CursorShape shape; };
    for (Row r : {
             Row{kZoneTopLeft, CursorShape::NwSe}, Row{kZoneBottomRight, CursorShape::NwSe},
             Row{kZoneTopRight, CursorShape::NeSw}, Row{kZoneBottomLeft, CursorShape::NeSw},
             Row{kZoneTop, CursorShape::Vertical}, Row{kZoneBottom, CursorShape::Vertical},
             Row{kZoneLeft, CursorShape::Horizontal}, Row{kZoneRight, CursorShape::Horizontal},
             Row{kZoneMove, CursorShape::Move}, Row{kZoneNone, CursorShape::None}, Row{45, CursorShape::None},
         }) {
        EXPECT_EQ(CursorOfZone(r.zone), r.shape) << int(r.zone);
    }
}

TEST(PageStrip, ClicksStepThroughThePages) {
    struct Row { int x, y; PageStripHit hit; };
    for (Row r : {
             Row{1, 276, PageStripHit::Previous}, Row{76, 321, PageStripHit::Previous},
             Row{40, 300, PageStripHit::Previous},
             Row{130, 276, PageStripHit::Next}, Row{204, 321, PageStripHit::Next},
             Row{1, 275, PageStripHit::None}, Row{130, 275, PageStripHit::None},  // just above the strip
             Row{1, 322, PageStripHit::None},
             Row{0, 300, PageStripHit::None}, Row{77, 300, PageStripHit::None},    // beside the arrows
             Row{100, 300, PageStripHit::None}, Row{129, 300, PageStripHit::None},
             Row{205, 300, PageStripHit::None},
         }) {
        EXPECT_EQ(HitPageStrip(r.x, r.y), r.hit) << r.x << "," << r.y;
    }
}

TEST(PageStrip, PagesWrapBothWays) {
    EXPECT_EQ(StepPage(0, PageStripHit::Previous), 7);
    EXPECT_EQ(StepPage(7, PageStripHit::Next), 0);
    EXPECT_EQ(StepPage(3, PageStripHit::Previous), 2);
    EXPECT_EQ(StepPage(3, PageStripHit::Next), 4);
    EXPECT_EQ(StepPage(5, PageStripHit::None), 5);
    int page = 0;
    for (int i = 0; i < 8; ++i) page = StepPage(page, PageStripHit::Next);
    EXPECT_EQ(page, 0);
}

TEST(PageStrip, LabelCountsFromOne) {
    EXPECT_EQ(PageLabelText(0), "1/8");
    EXPECT_EQ(PageLabelText(7), "8/8");
}

TEST(EmptyLcd, GridLinesAreDoubleAndFollowTheGridSwitch) {
    const std::vector<LcdLine> shown = EmptyLcdLines(true);
    const std::vector<LcdLine> hidden = EmptyLcdLines(false);
    ASSERT_EQ(shown.size(), size_t(7 * 2 + 9 * 2 + 2));
    ASSERT_EQ(hidden.size(), shown.size());
    int vertical = 0, horizontal = 0, blue = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        const LcdLine& l = shown[i];
        EXPECT_LT(std::max(l.x1, l.x2), kLcdPictureWidth);
        EXPECT_LT(std::max(l.y1, l.y2), kLcdPictureHeight);
        if (l.colour == kRgbBlue) {
            ++blue;
            EXPECT_TRUE(l.y1 == 43 || l.y1 == 44);
            EXPECT_EQ(hidden[i], l);  // the title line does not follow the grid switch
            continue;
        }
        EXPECT_EQ(l.colour, kRgbSilver);
        EXPECT_EQ(hidden[i].colour, kRgbWhite);
        if (l.x1 == l.x2) {
            ++vertical;
            EXPECT_EQ(l.y1, 47);
            EXPECT_EQ(l.y2, 273);
            EXPECT_TRUE(l.x1 % 34 == 0 || l.x1 % 34 == 1) << l.x1;
        } else {
            ++horizontal;
            EXPECT_EQ(l.x1, 0);
            EXPECT_EQ(l.x2, 205);
            EXPECT_TRUE((l.y1 - 47) % 28 == 0 || (l.y1 - 48) % 28 == 0) << l.y1;
        }
    }
    EXPECT_EQ(vertical, 14);
    EXPECT_EQ(horizontal, 18);
    EXPECT_EQ(blue, 2);
}

TEST(EmptyLcd, KeyPicturesLieJustInsideTheGridLines) {
    // The double lines of a key's column and row edge lie on the two pixels
    // before its picture, and no line runs through the picture's first
    // column or row.
    const EditorRect p = KeyPictureRect(1, 1, 2, 2);
    auto vertical = [](const LcdLine& l, int x) { return l.colour != kRgbBlue && l.x1 == l.x2 && l.x1 == x; };
    auto horizontal = [](const LcdLine& l, int y) { return l.colour != kRgbBlue && l.y1 == l.y2 && l.y1 == y; };
    const std::vector<LcdLine> lines = EmptyLcdLines(true);
    auto any = [&](auto&& pred, int v) {
        return std::any_of(lines.begin(), lines.end(), [&](const LcdLine& l) { return pred(l, v); });
    };
    EXPECT_TRUE(any(vertical, p.left - 2));
    EXPECT_TRUE(any(vertical, p.left - 1));
    EXPECT_FALSE(any(vertical, p.left));
    EXPECT_TRUE(any(horizontal, p.top - 2));
    EXPECT_TRUE(any(horizontal, p.top - 1));
    EXPECT_FALSE(any(horizontal, p.top));
}

}  // namespace
}  // namespace orvalink
