#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/KeyGeometry.h"
#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"
#include "platform/Random.h"

namespace orvalink {
namespace {

constexpr Rgb kInk = 0x123456;
constexpr Rgb kPaper = 0xABCDEF;

// Puts a glyph into the image's glyph table: `width`, and every row solid
// across that width unless rows are given.
void PutGlyph(TTiFlashFm& flash, int index, uint8_t width, std::vector<uint8_t> rows = {}) {
    if (rows.empty()) rows.assign(kGlyphRows, uint8_t((1u << std::min<int>(width, 8)) - 1));
    auto img = flash.Image();
    size_t at = flash.GlyphTableStart() + size_t(kGlyphBytes) * size_t(index);
    img[at] = width;
    for (int r = 0; r < kGlyphRows; ++r) img[at + 1 + size_t(r)] = rows[size_t(r)];
}

void PutIcon(TTiFlashFm& flash, int index, uint8_t fill) {
    auto img = flash.Image();
    std::fill_n(img.begin() + flash.IconTableStart() + kIconBytes * index, kIconBytes, fill);
}

// An image whose glyphs 'A' and 'B' are 5 pixels wide and solid.
struct LabelImage : ::testing::Test {
    TTiFlashFm flash;
    void SetUp() override {
        PutGlyph(flash, 'A' - 32, 5);
        PutGlyph(flash, 'B' - 32, 5);
        PutIcon(flash, 0, 0xFF);
    }
    LabelLayoutResult Layout(std::vector<uint8_t> label, int width = 60, int height = 40) {
        LabelLayoutResult r;
        EXPECT_TRUE(LayoutLabel(flash, label, width, height, r));
        return r;
    }
    bool Fails(std::vector<uint8_t> label, int width = 60, int height = 40) {
        LabelLayoutResult r;
        r.items.push_back({});
        bool ok = LayoutLabel(flash, label, width, height, r);
        EXPECT_EQ(r.items.size(), 1u) << "a failed layout must leave the result alone";
        return !ok;
    }
};

std::vector<uint8_t> Codes(const char* text) {
    std::vector<uint8_t> v(text, text + std::char_traits<char>::length(text));
    v.push_back(0);
    return v;
}

TEST(GlyphBitmap, RowBitsAreColumnsLeastSignificantFirst) {
    GlyphBytes g{};
    g[0] = 3;
    g[1] = 0b101;       // row 0: columns 0 and 2
    g[10] = 0b1000010;  // row 9: column 1, and column 6 which lies beyond the width
    Bitmap b;
    ASSERT_TRUE(DrawGlyph(g, kInk, kPaper, b));
    EXPECT_EQ(b.width, 3);
    EXPECT_EQ(b.height, 10);
    EXPECT_EQ(b.At(0, 0), kInk);
    EXPECT_EQ(b.At(1, 0), kPaper);
    EXPECT_EQ(b.At(2, 0), kInk);
    EXPECT_EQ(b.At(1, 9), kInk);
    EXPECT_EQ(b.At(0, 9), kPaper);
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kInk), 3);
}

TEST(GlyphBitmap, WidthAboveEightIsUnusable) {
    GlyphBytes g{};
    g.fill(0xFF);
    g[0] = 8;
    Bitmap b;
    ASSERT_TRUE(DrawGlyph(g, kInk, kPaper, b));
    EXPECT_EQ(b.width, 8);
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kInk), 80);
    g[0] = 9;
    Bitmap untouched(1, 1, kInk);
    EXPECT_FALSE(DrawGlyph(g, kInk, kPaper, untouched));
    EXPECT_EQ(untouched, Bitmap(1, 1, kInk));
}

TEST(IconBitmap, BandsOfEightColumnsOneByteARow) {
    IconBytes icon{};
    icon[3] = 0x01;            // band 0, row 3, column 0
    icon[16 + 5] = 0x04;       // band 1, row 5, column 8 + 2
    icon[47] = 0x80;           // band 2, row 15, column 16 + 7
    Bitmap b = DrawIcon(icon, kInk, kPaper);
    ASSERT_EQ(b.width, 24);
    ASSERT_EQ(b.height, 16);
    EXPECT_EQ(b.At(0, 3), kInk);
    EXPECT_EQ(b.At(10, 5), kInk);
    EXPECT_EQ(b.At(23, 15), kInk);
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kInk), 3);
}

TEST(WelcomePicture, BandsOfOneHundredSixtyRows) {
    PictureBytes p{};
    p[0] = 0x01;              // (0, 0)
    p[160 + 1] = 0x02;        // band 1, row 1: (9, 1)
    p[160 * 12 + 159] = 0x80; // (103, 159)
    Bitmap b = DrawPicture(p);
    ASSERT_EQ(b.width, 104);
    ASSERT_EQ(b.height, 160);
    EXPECT_EQ(b.At(0, 0), kRgbBlack);
    EXPECT_EQ(b.At(9, 1), kRgbBlack);
    EXPECT_EQ(b.At(103, 159), kRgbBlack);
    EXPECT_EQ(b.At(1, 0), kRgbWhite);
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kRgbBlack), 3);
}

TEST(WelcomePicture, PackingKeepsOnlyPureBlack) {
    Bitmap b(104, 160, kRgbWhite);
    b.Set(9, 1, kRgbBlack);
    b.Set(0, 0, 0x010101);  // nearly black is not black
    b.Set(50, 80, 0x808080);
    PictureBytes p;
    ASSERT_TRUE(PictureFromBitmap(b, p));
    for (size_t i = 0; i < p.size(); ++i) EXPECT_EQ(p[i], i == 161 ? 0x02 : 0x00) << "byte " << i;
}

TEST(WelcomePicture, PackingRoundTripsEveryPicture) {
    Pcg32Random random(77);
    PictureBytes p;
    for (auto& b : p) b = uint8_t(random.Next());
    PictureBytes back{};
    ASSERT_TRUE(PictureFromBitmap(DrawPicture(p), back));
    EXPECT_EQ(back, p);
}

TEST(WelcomePicture, PackingRefusesOtherSizes) {
    PictureBytes p;
    p.fill(0x5A);
    EXPECT_FALSE(PictureFromBitmap(Bitmap(103, 160, kRgbWhite), p));
    EXPECT_FALSE(PictureFromBitmap(Bitmap(104, 161, kRgbWhite), p));
    EXPECT_FALSE(PictureFromBitmap(Bitmap(), p));
    EXPECT_TRUE(std::all_of(p.begin(), p.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST(WelcomePicture, TwoSlotsReadAndWritten) {
    TTiFlashFm flash;
    std::vector<uint8_t> a(kPictureBytes, 0x11), b(kPictureBytes, 0x22);
    a[0] = 0x01;
    a[2079] = 0x80;
    ASSERT_TRUE(WritePicture(flash, kWelcomeSystem, a));
    ASSERT_TRUE(WritePicture(flash, kWelcomeReal, b));
    auto img = flash.Image();
    EXPECT_EQ(img[flash.Welcome10Start()], 0x01);
    EXPECT_EQ(img[flash.Welcome10Start() + 2079], 0x80);
    EXPECT_EQ(img[flash.Welcome10Start() + 2080], 0xFF) << "the byte after the slot is not touched";
    EXPECT_EQ(img[flash.Welcome20Start()], 0x22);
    PictureBytes back;
    ASSERT_TRUE(ReadPicture(flash, kWelcomeSystem, back));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), a.begin()));
    ASSERT_TRUE(ReadPicture(flash, kWelcomeReal, back));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), b.begin()));
}

TEST(WelcomePicture, BadSlotOrLengthWritesNothing) {
    TTiFlashFm flash;
    std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());
    std::vector<uint8_t> pic(kPictureBytes, 0);
    EXPECT_FALSE(WritePicture(flash, 15, pic));
    EXPECT_FALSE(WritePicture(flash, 0, pic));
    EXPECT_FALSE(WritePicture(flash, kWelcomeSystem, std::vector<uint8_t>(kPictureBytes - 1, 0)));
    EXPECT_FALSE(WritePicture(flash, kWelcomeSystem, std::vector<uint8_t>(kPictureBytes + 1, 0)));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin()));
    PictureBytes out;
    EXPECT_FALSE(ReadPicture(flash, 11, out));
    TTiFlashFm none(TTiFlashFm::NoImage{});
    EXPECT_FALSE(ReadPicture(none, kWelcomeSystem, out));
    EXPECT_FALSE(WritePicture(none, kWelcomeSystem, pic));
}

TEST(GlyphAndIconTables, IndexesRangeChecked) {
    TTiFlashFm flash;
    PutGlyph(flash, 0, 4);
    PutGlyph(flash, 143, 8);
    GlyphBytes g;
    ASSERT_TRUE(ReadGlyph(flash, 0, g));
    EXPECT_EQ(g[0], 4);
    ASSERT_TRUE(ReadGlyph(flash, 143, g));
    EXPECT_EQ(g[0], 8);
    EXPECT_FALSE(ReadGlyph(flash, 144, g));
    EXPECT_FALSE(ReadGlyph(flash, -1, g));
    EXPECT_FALSE(ReadGlyph(flash, 1, g)) << "an erased glyph (width 0xFF) cannot be read";

    PutIcon(flash, 164, 0x3C);
    IconBytes icon;
    ASSERT_TRUE(ReadIcon(flash, 164, icon));
    EXPECT_EQ(icon[47], 0x3C);
    EXPECT_EQ(flash.Image()[flash.IconTableStart() + 164 * 48], 0x3C);
    EXPECT_FALSE(ReadIcon(flash, 165, icon));
    EXPECT_FALSE(ReadIcon(flash, -1, icon));

    TTiFlashFm none(TTiFlashFm::NoImage{});
    EXPECT_FALSE(ReadGlyph(none, 0, g));
    EXPECT_FALSE(ReadIcon(none, 0, icon));
}

TEST(LabelCodes, GlyphAndIconCodes) {
    uint8_t code = 0;
    ASSERT_TRUE(GlyphCode(0, code));
    EXPECT_EQ(code, 32);
    ASSERT_TRUE(GlyphCode(143, code));
    EXPECT_EQ(code, 175);
    code = 99;
    EXPECT_FALSE(GlyphCode(144, code));
    EXPECT_FALSE(GlyphCode(-1, code));
    EXPECT_EQ(code, 99);

    EXPECT_EQ(IconCode(0), (std::array<uint8_t, 2>{0xF0, 0x01}));
    EXPECT_EQ(IconCode(164), (std::array<uint8_t, 2>{0xF0, 0xA5}));
    EXPECT_EQ(IconCode(165), (std::array<uint8_t, 2>{0xF0, 0x00}));
    EXPECT_EQ(IconCode(-1), (std::array<uint8_t, 2>{0xF0, 0x00}));
}

TEST_F(LabelImage, TwoGlyphsMakeOneLineTwelveWide) {
    auto r = Layout(Codes("AB"));
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[0], (LabelItem{LabelItemKind::Glyph, 5, 10, 'A', 0}));
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0], (LabelLine{12, 10, 2}));
}

TEST_F(LabelImage, LineBreakStartsASecondLine) {
    auto r = Layout({'A', 13, 'B', 0});
    ASSERT_EQ(r.items.size(), 3u);
    EXPECT_EQ(r.items[1], (LabelItem{LabelItemKind::Break, 0, 7, 13, 0}));
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], (LabelLine{6, 10, 1}));
    EXPECT_EQ(r.lines[1], (LabelLine{7, 10, 2})) << "the break opens the second line";
    // A line of a break alone is 7 high.
    r = Layout({'A', 13, 13, 'B', 0});
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[1].height, 7);
}

TEST_F(LabelImage, LinesWrapAtTheAreaWidth) {
    // 5 + 1 three times is 18; a fourth glyph would end at 23 > 20.
    auto r = Layout(Codes("AAAA"), 20, 40);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0].itemCount, 3);
    EXPECT_EQ(r.lines[1].itemCount, 1);
    // An icon wider than the area still takes the first place of a line.
    r = Layout({240, 1, 'A', 0}, 20, 40);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.lines[0], (LabelLine{25, 16, 1}));
}

TEST_F(LabelImage, LinesStopWhenTheAreaIsFull) {
    // Height 16: after one line of 10 the running height is 20 > 16.
    auto r = Layout({'A', 13, 'B', 0}, 60, 16);
    EXPECT_EQ(r.lines.size(), 1u);
    // Height 20 takes two lines of 10 but not a third.
    r = Layout({'A', 13, 'B', 13, 'A', 0}, 60, 20);
    EXPECT_EQ(r.lines.size(), 2u);
    r = Layout({'A', 13, 'B', 13, 'A', 0}, 60, 30);
    EXPECT_EQ(r.lines.size(), 3u);
}

TEST_F(LabelImage, AreaBoundsAreChecked) {
    EXPECT_TRUE(Fails(Codes("A"), 19, 40));
    EXPECT_TRUE(Fails(Codes("A"), 103, 40));
    EXPECT_TRUE(Fails(Codes("A"), 60, 15));
    EXPECT_TRUE(Fails(Codes("A"), 60, 113));
    EXPECT_FALSE(Fails(Codes("A"), 20, 16));
    EXPECT_FALSE(Fails(Codes("A"), 102, 112));
}

TEST_F(LabelImage, IconIndexAbove143Fails) {
    EXPECT_TRUE(Fails({240, 150, 0}));
    EXPECT_TRUE(Fails({'A', 240, 144, 0}));
    auto r = Layout({240, 143, 0});
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0], (LabelItem{LabelItemKind::Icon, 24, 16, 240, 143}));
}

TEST_F(LabelImage, LabelsWithoutItemsFail) {
    EXPECT_TRUE(Fails({0}));
    EXPECT_TRUE(Fails({}));
    EXPECT_TRUE(Fails({180, 176, 182, 0}));
    EXPECT_TRUE(Fails(Codes("C"))) << "glyph 'C' is erased in this image";
    EXPECT_TRUE(Fails({1, 'A', 0})) << "code 1 ends the label at once";
}

TEST_F(LabelImage, CodesWithoutGlyphAreSkipped) {
    auto plain = Layout(Codes("AB"));
    for (uint8_t skipped : {176, 180, 182}) {
        auto r = Layout({'A', skipped, 'B', 0});
        EXPECT_EQ(r.items, plain.items) << int(skipped);
        EXPECT_EQ(r.lines, plain.lines) << int(skipped);
    }
    // An unreadable glyph is skipped too and the rest still laid out.
    auto r = Layout(Codes("ACB"));
    EXPECT_EQ(r.lines, plain.lines);
}

TEST_F(LabelImage, LabelEnds) {
    EXPECT_EQ(Layout({'A', 0, 'B', 0}).items.size(), 1u);
    EXPECT_EQ(Layout({'A', 200, 'B', 0}).items.size(), 1u) << "183..239 end the label";
    EXPECT_EQ(Layout({'A', 240}).items.size(), 1u) << "an icon code without its index byte";
    EXPECT_EQ(Layout({'A', 240, 0, 'B', 0}).items.size(), 1u) << "the zero is the label's end, not an index";
    // An unterminated label ends with its bytes.
    std::vector<uint8_t> unterminated(10, 'A');
    EXPECT_EQ(Layout(unterminated, 102, 112).items.size(), 10u);
    // At most 256 bytes are read.
    std::vector<uint8_t> huge(300, 13);
    EXPECT_EQ(Layout(huge, 102, 112).items.size(), 256u);
}

TEST_F(LabelImage, HigherIconCodesTakeRoomButDrawNothing) {
    auto r = Layout({241, 1, 'A', 0});
    ASSERT_EQ(r.items.size(), 2u);
    EXPECT_EQ(r.items[0].kind, LabelItemKind::Icon);
    EXPECT_EQ(r.lines[0].width, 31);
    Bitmap b;
    ASSERT_TRUE(DrawLabelBitmap(flash, std::vector<uint8_t>{241, 1, 0}, 43, 16, kInk, kPaper, b));
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kInk), 0);
    ASSERT_TRUE(DrawLabelBitmap(flash, std::vector<uint8_t>{240, 1, 0}, 43, 16, kInk, kPaper, b));
    EXPECT_EQ(std::count(b.pixels.begin(), b.pixels.end(), kInk), 24 * 16);
}

TEST_F(LabelImage, LabelIsCentredInItsArea) {
    Bitmap b;
    ASSERT_TRUE(DrawLabelBitmap(flash, Codes("AB"), 26, 16, kInk, kPaper, b));
    ASSERT_EQ(b.width, 26);
    ASSERT_EQ(b.height, 16);
    // Line 12 wide in 26: x from 7; 10 high in 16: y from 3.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 26; ++x) {
            bool ink = y >= 3 && y < 13 && ((x >= 7 && x < 12) || (x >= 13 && x < 18));
            ASSERT_EQ(b.At(x, y), ink ? kInk : kPaper) << x << "," << y;
        }
}

TEST_F(LabelImage, GlyphsSitThreeLowerBesideAnIcon) {
    Bitmap b;
    ASSERT_TRUE(DrawLabelBitmap(flash, std::vector<uint8_t>{240, 1, 'A', 0}, 40, 20, kInk, kPaper, b));
    // Line: 25 + 6 = 31 wide, 16 high; x from 4, y from 2. The glyph at x 29, y 5.
    EXPECT_EQ(b.At(4, 2), kInk);
    EXPECT_EQ(b.At(27, 17), kInk);
    EXPECT_EQ(b.At(28, 2), kPaper);
    EXPECT_EQ(b.At(29, 4), kPaper);
    EXPECT_EQ(b.At(29, 5), kInk);
    EXPECT_EQ(b.At(33, 14), kInk);
    EXPECT_EQ(b.At(29, 15), kPaper);
}

TEST_F(LabelImage, SkippedCodeDrawsAsIfAbsent) {
    Bitmap plain, skipped;
    ASSERT_TRUE(DrawLabelBitmap(flash, Codes("AB"), 43, 16, kInk, kPaper, plain));
    ASSERT_TRUE(DrawLabelBitmap(flash, std::vector<uint8_t>{'A', 180, 'B', 0}, 43, 16, kInk, kPaper, skipped));
    EXPECT_EQ(skipped, plain);
}

TEST_F(LabelImage, FailedLayoutLeavesTheBackground) {
    Bitmap b;
    EXPECT_FALSE(DrawLabelBitmap(flash, std::vector<uint8_t>{240, 150, 0}, 45, 24, kInk, kPaper, b));
    EXPECT_EQ(b, Bitmap(45, 24, kPaper));
    // An area too narrow for a layout is still filled.
    EXPECT_FALSE(DrawLabelBitmap(flash, Codes("A"), 11, 24, kInk, kPaper, b));
    EXPECT_EQ(b, Bitmap(11, 24, kPaper));
    EXPECT_FALSE(DrawLabelBitmap(flash, Codes("A"), 0, 24, kInk, kPaper, b));
    EXPECT_TRUE(b.Empty());
}

TEST(LabelArea, ByShape) {
    LabelArea rect = LabelAreaOf(3, 2, kFlagRectangle);
    EXPECT_EQ(rect.width, 45);
    EXPECT_EQ(rect.height, 24);
    LabelArea round = LabelAreaOf(3, 2, kFlagHasCode | kFlagWhite);
    EXPECT_EQ(round.width, 43);
    EXPECT_EQ(round.height, 16);
    LabelArea big = LabelAreaOf(6, 8, kFlagRectangle);
    EXPECT_EQ(big.width, 96);
    EXPECT_EQ(big.height, 108);
}

// What a key of the image shows of its label, as Button Properties warns of
// it: an icon (24 wide) and a glyph need 31 pixels on one line.
TEST_F(LabelImage, KeyShowsWhatItsLabelAreaHolds) {
    KeyInfo key = DefaultKey();
    key.column = 0;
    key.row = 0;
    key.width = 2;
    key.height = 2;
    const auto fit = [&](std::vector<uint8_t> label, uint8_t flags) {
        key.label.fill(0);
        std::copy(label.begin(), label.end(), key.label.begin());
        key.flags = flags;
        return FitLabelOnKey(flash, key);
    };
    // 2 x 2 oval: 26 x 16, one line; the glyph wraps onto a line that is cut.
    LabelFit f = fit({240, 1, 'A', 0}, 0);
    EXPECT_EQ(f.items, 2);
    EXPECT_EQ(f.shown, 1);
    EXPECT_FALSE(f.Whole());
    // Two glyphs fit the same key; so does an empty label.
    EXPECT_TRUE(fit(Codes("AB"), 0).Whole());
    EXPECT_TRUE(fit({0}, 0).Whole());
    // A line break on an oval key leaves the second line off; a 2 x 3
    // rectangle (28 x 38) shows both lines.
    EXPECT_FALSE(fit({'A', 13, 'B', 0}, 0).Whole());
    key.height = 3;
    EXPECT_TRUE(fit({'A', 13, 'B', 0}, kFlagRectangle).Whole());
    // 3 cells wide holds the icon and the glyph on one line, except on the
    // Macro device, whose keys lose a cell to their mark column.
    key.height = 2;
    key.width = 3;
    EXPECT_TRUE(fit({240, 1, 'A', 0}, 0).Whole());
    key.ownerDevice = kMacroSlot;
    EXPECT_FALSE(fit({240, 1, 'A', 0}, 0).Whole());
    // A label that cannot be laid out at all (icon index 144) shows nothing.
    key.ownerDevice = 1;
    f = fit({240, 145, 0}, 0);
    EXPECT_EQ(f.shown, 0);
    EXPECT_FALSE(f.Whole());
}

TEST(KeyRectangle, CellsAreClampedIntoTheGrid) {
    struct Row { int column, row, width, height; EditorRect rect; };
    for (Row r : {
             Row{0, 0, 3, 2, {0, 48, 102, 56}},
             Row{0, 0, 1, 1, {0, 48, 68, 56}},         // 1 x 1 is drawn as 2 x 2
             Row{5, 0, 3, 2, {102, 48, 102, 56}},      // column 5 width 3 goes to column 3
             Row{0, 7, 2, 3, {0, 5 * 28 + 48, 68, 84}},  // row 7 height 3 goes to row 5
             Row{2, 1, 9, 12, {0, 48, 204, 224}},      // 6 x 8 at most, from 0, 0
             Row{-3, -1, 2, 2, {0, 48, 68, 56}},       // negative values become 0
             Row{4, 6, 2, 2, {136, 216, 68, 56}},
         }) {
        EXPECT_EQ(KeyRect(r.column, r.row, r.width, r.height), r.rect)
            << r.column << "," << r.row << " " << r.width << "x" << r.height;
    }
}

TEST(KeyRectangle, SizeByteZeroHasItsOwnPlace) {
    KeyInfo k = DefaultKey();
    k.column = 3;
    k.row = 3;
    EXPECT_EQ(KeyRect(k), (EditorRect{102, 132, 102, 56}));
    EXPECT_EQ(KeyDrawCells(k), (KeyCells{3, 3, 3, 2}));
    k.size = 0;
    EXPECT_EQ(KeyRect(k), (EditorRect{0, 47, 68, 56}));
    EXPECT_EQ(KeyDrawCells(k).width, 2);
    EXPECT_EQ(KeyDrawCells(k).height, 2);
}

TEST(KeyStates, ColourTable) {
    EXPECT_EQ(StateColoursOf(100), (StateColours{kRgbWhite, kRgbBlack, 0x0000FF}));
    EXPECT_EQ(StateColoursOf(200), (StateColours{kRgbWhite, 0xFF0000, 0xFF0000}));
    EXPECT_EQ(StateColoursOf(300), (StateColours{0xFFFF00, kRgbBlack, 0xFF0000}));
    EXPECT_EQ(StateColoursOf(400), (StateColours{0x008000, kRgbBlack, 0xFF0000}));
    EXPECT_EQ(StateColoursOf(500), (StateColours{kRgbWhite, kRgbBlack, 0xC0C0C0}));
    for (int other : {0, 150, 600, -100})
        EXPECT_EQ(StateColoursOf(other), (StateColours{kRgbBlack, kRgbBlack, kRgbBlack})) << other;
}

TEST(BitmapZoom, EachPixelBecomesASquare) {
    Bitmap b(2, 1, kPaper);
    b.Set(1, 0, kInk);
    Bitmap z;
    ASSERT_TRUE(Zoom(b, 3, z));
    ASSERT_EQ(z.width, 6);
    ASSERT_EQ(z.height, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 6; ++x) EXPECT_EQ(z.At(x, y), x >= 3 ? kInk : kPaper);
    ASSERT_TRUE(Zoom(b, 1, z));
    EXPECT_EQ(z, b);
    Bitmap untouched(1, 1, kInk);
    EXPECT_FALSE(Zoom(b, 0, untouched));
    EXPECT_FALSE(Zoom(b, 11, untouched));
    EXPECT_EQ(untouched, Bitmap(1, 1, kInk));
}

}  // namespace
}  // namespace orvalink
