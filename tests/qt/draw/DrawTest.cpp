// Key pictures, labels and the title painted on QImage: colours per drawing
// state, frame shapes per key type at sample pixels, and the picture sizes.
#include <QtTest>

#include <algorithm>
#include <vector>

#include "image/CodeRecords.h"
#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"
#include "image/qt/KeyDrawing.h"

using namespace orvalink;

namespace {

const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 128, 0);
const QColor kSilver(192, 192, 192);
const QColor kMagenta(255, 0, 255);

QColor At(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)).toRgb(); }

// Whether `colour` lies within one pixel of (x, y); frames are drawn by the
// platform's rasteriser, so their edges are checked with that slack.
bool Near(const QImage& image, int x, int y, const QColor& colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            int px = x + dx, py = y + dy;
            if (image.rect().contains(px, py) && At(image, px, py) == colour) return true;
        }
    return false;
}

int Count(const QImage& image, const QRect& area, const QColor& colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += At(image, x, y) == colour;
    return n;
}

void PutGlyph(TTiFlashFm& flash, char c, uint8_t width) {
    auto img = flash.Image();
    size_t at = flash.GlyphTableStart() + size_t(kGlyphBytes) * size_t(c - 32);
    img[at] = width;
    for (int r = 0; r < kGlyphRows; ++r) img[at + 1 + size_t(r)] = uint8_t((1u << width) - 1);
}

KeyInfo Key(uint8_t type, uint8_t flags, const char* label = "A", uint8_t width = 3, uint8_t height = 2) {
    KeyInfo k = DefaultKey();
    k.keyType = type;
    k.flags = flags;
    k.width = width;
    k.height = height;
    k.ownerDevice = 1;
    k.keyNumber = 10;
    k.SetLabel(std::string(label));
    return k;
}

QImage Drawn(const TTiFlashFm& flash, const KeyInfo& key, int state, bool* laidOut = nullptr) {
    QImage picture;
    bool ok = DrawKey(flash, key, state, picture);
    if (laidOut) *laidOut = ok;
    return picture;
}

}  // namespace

class DrawTest : public QObject {
    Q_OBJECT

    TTiFlashFm flash;

    void PutMacro(int key, int blocks, uint8_t timerKind, uint8_t steps) {
        std::vector<uint8_t> record(8 * size_t(blocks), 0);
        record[0] = uint8_t(blocks);
        record[1] = kMacroMarker;
        record[2] = timerKind;
        record[7] = steps;
        QVERIFY(WriteCodeRaw(flash, kMacroSlot, key, blocks, record));
    }
    KeyInfo MacroKey(int key) {
        KeyInfo k = Key(kKeyMacro, kFlagRectangle | kFlagHasCode);
        k.ownerDevice = kMacroSlot;
        k.keyNumber = uint8_t(key);
        return k;
    }
    // Red pixels in the mark column of a macro key, above the clock.
    int MarkInk(const QImage& img) { return Count(img, QRect(4, 1, 24, 27), kRed); }

private slots:
    void initTestCase() {
        PutGlyph(flash, 'A', 5);
        PutGlyph(flash, 'B', 5);
    }

    void stateColours_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QColor>("frame");
        QTest::addColumn<QColor>("ink");
        QTest::addColumn<QColor>("background");
        QTest::newRow("100") << 100 << kBlue << kBlack << kWhite;
        QTest::newRow("200") << 200 << kRed << kRed << kWhite;
        QTest::newRow("300") << 300 << kRed << kBlack << kYellow;
        QTest::newRow("400") << 400 << kRed << kBlack << kGreen;
        QTest::newRow("500") << 500 << kSilver << kBlack << kWhite;
        QTest::newRow("other") << 0 << kBlack << kBlack << kBlack;
    }
    void stateColours() {
        QFETCH(int, state);
        QFETCH(QColor, frame);
        QFETCH(QColor, ink);
        QFETCH(QColor, background);
        // A 3 x 2 rectangle key: 102 x 56, label area 45 x 24 zoomed to 90 x
        // 48 at (6, 4); "A" at remote (19, 7), so editor x 44..53, y 18..37.
        bool laidOut = false;
        QImage img = Drawn(flash, Key(kKeyIrCode, kFlagRectangle | kFlagHasCode), state, &laidOut);
        QVERIFY(laidOut);
        QCOMPARE(img.size(), QSize(102, 56));
        QVERIFY(Near(img, 1, 28, frame));
        QVERIFY(Near(img, 51, 1, frame));
        QVERIFY(Near(img, 100, 28, frame));
        QCOMPARE(At(img, 48, 28), ink);
        QCOMPARE(At(img, 44, 18), ink);
        QCOMPARE(At(img, 53, 37), ink);
        QCOMPARE(At(img, 43, 28), background);
        QCOMPARE(At(img, 54, 28), background);
        QCOMPARE(At(img, 10, 10), background);
        QCOMPARE(At(img, 90, 48), background);
    }

    void failedLabelShowsOnlyBackground() {
        KeyInfo k = Key(kKeyIrCode, kFlagRectangle | kFlagHasCode);
        k.SetLabel(std::vector<uint8_t>{240, 150, 0});
        bool laidOut = true;
        QImage img = Drawn(flash, k, 300, &laidOut);
        QVERIFY(!laidOut);
        const QRect labelArea(6, 4, 90, 48);
        QCOMPARE(Count(img, labelArea, kYellow), 90 * 48);
        QVERIFY(Near(img, 1, 28, kRed));
    }

    void skippedCodeDrawsLikeItsAbsence() {
        KeyInfo plain = Key(kKeyIrCode, kFlagRectangle, "AB");
        KeyInfo skipped = plain;
        skipped.SetLabel(std::vector<uint8_t>{'A', 180, 'B', 0});
        QCOMPARE(Drawn(flash, skipped, 100), Drawn(flash, plain, 100));
    }

    void irCodeShapes() {
        // Rectangle: the frame runs along the picture's edges.
        QImage rect = Drawn(flash, Key(kKeyIrCode, kFlagRectangle), 200);
        QVERIFY(Near(rect, 51, 1, kRed));
        QVERIFY(Near(rect, 51, 54, kRed));
        // Otherwise a band 44 high centred on the key: y 6..50 for 2 rows.
        QImage round = Drawn(flash, Key(kKeyIrCode, kFlagHasCode), 200);
        QVERIFY(Near(round, 51, 6, kRed));
        QVERIFY(Near(round, 51, 50, kRed));
        QVERIFY(Near(round, 1, 28, kRed));
        QCOMPARE(At(round, 51, 2), kWhite);
        QCOMPARE(At(round, 51, 54), kWhite);
        // Its label area is 43 x 16, zoomed to 86 x 32 at (8, 12); "A" at x 44..53, y 18..37.
        QCOMPARE(Count(round, QRect(30, 14, 40, 26), kRed), 10 * 20);
        QImage tall = Drawn(flash, Key(kKeyIrCode, 0, "A", 3, 4), 200);
        QCOMPARE(tall.size(), QSize(102, 112));
        QVERIFY(Near(tall, 51, 4 * 14 - 22, kRed));
        QCOMPARE(At(tall, 51, 30), kWhite);
    }

    void deviceShape() {
        // Pen width 4 on (1, 1)..(98, 52).
        QImage img = Drawn(flash, Key(kKeyDevice, kFlagRectangle), 200);
        QCOMPARE(At(img, 51, 1), kRed);
        QCOMPARE(At(img, 51, 2), kRed);
        QVERIFY(Near(img, 51, 52, kRed));
        QCOMPARE(At(img, 51, 55), kWhite);
        QVERIFY(Near(img, 98, 28, kRed));
        QCOMPARE(At(img, 101, 28), kWhite);
    }

    void macroShapeElsewhere() {
        QImage img = Drawn(flash, Key(kKeyMacro, kFlagRectangle), 200);
        QVERIFY(Near(img, 4, 4, kRed));  // the corner strokes
        QVERIFY(Near(img, 5, 5, kRed));
        QVERIFY(Near(img, 1, 28, kRed));
        QCOMPARE(At(img, 48, 28), kRed);  // the label in the middle
    }

    void macroShapeOnTheMacroDevice() {
        PutMacro(10, 2, 0, 3);
        QImage img = Drawn(flash, MacroKey(10), 200);
        QVERIFY(Near(img, 29, 28, kRed));
        QCOMPARE(At(img, 1, 28), kWhite);
        QVERIFY(MarkInk(img) > 20);
        QVERIFY(!Near(img, 14, 37, kRed));
        // The label takes one cell less (28 x 24, zoomed 56 x 48), centred
        // and 14 to the right: x from 37; "A" at editor x 59..68.
        QCOMPARE(At(img, 59, 28), kRed);
        QCOMPARE(At(img, 68, 28), kRed);
        QCOMPARE(At(img, 58, 28), kWhite);
        QCOMPARE(At(img, 69, 28), kWhite);
    }

    void macroTimerClock() {
        PutMacro(11, 3, 2, 5);
        QImage img = Drawn(flash, MacroKey(11), 200);
        QVERIFY(MarkInk(img) > 20);
        QVERIFY(Near(img, 14, 37, kRed));  // the upright hand
        QVERIFY(Near(img, 10, 41, kRed));  // the level hand
        QVERIFY(Near(img, 3, 41, kRed));   // the face
        QVERIFY(Near(img, 25, 41, kRed));
    }

    void macroMarksNeedAFittingRecord() {
        struct Case { int key, blocks, timer, steps; bool mark, clock; };
        for (Case c : {Case{12, 2, 1, 0, false, true},    // no steps: clock only
                       Case{13, 2, 0, 64, false, false},  // 64 steps get no mark
                       Case{14, 2, 0, 63, true, false},
                       Case{15, 1, 1, 3, false, false},   // one block is too small
                       Case{16, 24, 1, 3, true, true},
                       Case{17, 25, 1, 3, false, false}}) {  // above 24 blocks
            PutMacro(c.key, c.blocks, uint8_t(c.timer), uint8_t(c.steps));
            QImage img = Drawn(flash, MacroKey(c.key), 200);
            QVERIFY2((MarkInk(img) > 20) == c.mark, qPrintable(QString("key %1").arg(c.key)));
            QVERIFY2(Near(img, 14, 37, kRed) == c.clock, qPrintable(QString("key %1").arg(c.key)));
            QVERIFY(Near(img, 29, 28, kRed));
        }
        // A key without a macro record still gets its frame.
        QImage img = Drawn(flash, MacroKey(30), 200);
        QCOMPARE(MarkInk(img), 0);
        QVERIFY(Near(img, 29, 28, kRed));
    }

    void cycleShapes() {
        // Distinct colours: the eight-stroke outline, nothing filled.
        QImage outline = Drawn(flash, Key(kKeyCycle, 0), 200);
        QVERIFY(Near(outline, 4, 28, kRed));
        QVERIFY(Near(outline, 95, 28, kRed));
        QVERIFY(Near(outline, 50, 2, kRed));
        QVERIFY(Near(outline, 50, 53, kRed));
        QCOMPARE(At(outline, 10, 6), kWhite);
        // Equal colours: a filled rounded rectangle from (4, 2).
        QImage filled = Drawn(flash, Key(kKeyCycle, 0), 0);
        QCOMPARE(At(filled, 10, 6), kBlack);
        QCOMPARE(At(filled, 50, 28), kBlack);
        QCOMPARE(At(filled, 1, 28), kWhite);
        QCOMPARE(At(filled, 99, 28), kWhite);
    }

    void equalColoursFillTheFrame() {
        QImage img = Drawn(flash, Key(kKeyIrCode, kFlagRectangle), 999);
        QCOMPARE(At(img, 51, 2), kBlack);
        QCOMPARE(At(img, 3, 28), kBlack);
        QCOMPARE(At(img, 0, 0), kWhite);  // outside the rounded corner
    }

    void labelKeysHaveNoFrame() {
        for (uint8_t flags : {uint8_t(0), uint8_t(kFlagRectangle), uint8_t(kFlagHasCode), uint8_t(kFlagAlignRight)}) {
            QImage picture(102, 56, QImage::Format_ARGB32);
            picture.fill(kMagenta);
            QVERIFY(DrawKey(flash, Key(kKeyLabel, flags), 200, picture));
            QCOMPARE(picture.size(), QSize(102, 56));
            QCOMPARE(At(picture, 1, 28), kMagenta);
            QCOMPARE(At(picture, 51, 1), kMagenta);
            QCOMPARE(At(picture, 0, 0), kMagenta);
            QCOMPARE(Count(picture, picture.rect(), kRed), 10 * 20);
        }
    }

    void pictureSizeFollowsTheClampedCells() {
        QCOMPARE(Drawn(flash, Key(kKeyIrCode, kFlagRectangle, "A", 1, 1), 100).size(), QSize(68, 56));
        QCOMPARE(Drawn(flash, Key(kKeyIrCode, kFlagRectangle, "A", 9, 12), 100).size(), QSize(204, 224));
        KeyInfo wide = Key(kKeyIrCode, kFlagRectangle, "A", 3, 2);
        wide.column = 5;
        QCOMPARE(KeyRect(wide).left, 3 * 34);
        KeyInfo empty = Key(kKeyIrCode, kFlagRectangle);
        empty.size = 0;
        QCOMPARE(Drawn(flash, empty, 100).size(), QSize(68, 56));
        // A picture of the wrong size or format is replaced; a fitting one is kept.
        QImage small(10, 10, QImage::Format_RGB32);
        small.fill(kMagenta);
        DrawKey(flash, Key(kKeyLabel, 0), 100, small);
        QCOMPARE(small.size(), QSize(102, 56));
        QCOMPARE(At(small, 0, 0), kWhite);
        QImage indexed(102, 56, QImage::Format_Indexed8);
        DrawKey(flash, Key(kKeyLabel, 0), 100, indexed);
        QCOMPARE(indexed.format(), QImage::Format_RGB32);
    }

    void labelAtRemoteSize() {
        QImage out;
        QVERIFY(DrawLabel(flash, Key(0, 0).label, 3, 2, 0, kKeyIrCode, kBlack, kWhite, out));
        QCOMPARE(out.size(), QSize(43, 16));
        QCOMPARE(Count(out, out.rect(), kBlack), 50);
        QVERIFY(DrawLabel(flash, Key(0, 0).label, 3, 2, kFlagRectangle, kKeyIrCode, kBlack, kWhite, out));
        QCOMPARE(out.size(), QSize(45, 24));
        QVERIFY(!DrawLabel(flash, Key(0, 0).label, 7, 2, 0, kKeyIrCode, kBlack, kWhite, out));
        QVERIFY(out.isNull());
        QVERIFY(!DrawLabel(flash, Key(0, 0).label, 3, 0, kFlagRectangle, kKeyIrCode, kBlack, kWhite, out));
        // One cell: an area too narrow for a label, filled with the background.
        QVERIFY(!DrawLabel(flash, Key(0, 0).label, 1, 2, kFlagRectangle, kKeyIrCode, kBlack, kYellow, out));
        QCOMPARE(out.size(), QSize(11, 24));
        QCOMPARE(Count(out, out.rect(), kYellow), 11 * 24);
    }

    void title() {
        QImage canvas(206, 48, QImage::Format_RGB32);
        canvas.fill(Qt::cyan);
        QVERIFY(DrawTitle(flash, Key(0, 0, "AB").label, 300, canvas));
        // 55 x 20 zoomed to 110 x 40 at (49, 3); "AB" 12 wide at remote (21, 5).
        QCOMPARE(At(canvas, 49, 3), kYellow);
        QCOMPARE(At(canvas, 158, 42), kYellow);
        QCOMPARE(At(canvas, 48, 3), QColor(Qt::cyan));
        QCOMPARE(At(canvas, 159, 42), QColor(Qt::cyan));
        QCOMPARE(At(canvas, 49, 43), QColor(Qt::cyan));
        QCOMPARE(At(canvas, 91, 13), kBlack);
        QCOMPARE(At(canvas, 100, 32), kBlack);
        QCOMPARE(At(canvas, 101, 20), kYellow);
        QCOMPARE(Count(canvas, canvas.rect(), kBlack), 2 * 5 * 10 * 4);
        QImage none;
        QVERIFY(!DrawTitle(flash, Key(0, 0).label, 100, none));
        QVERIFY(none.isNull());
    }

    void zoomRepeatsPixels() {
        QImage image(2, 1, QImage::Format_ARGB32);
        image.setPixelColor(0, 0, QColor(10, 20, 30, 40));
        image.setPixelColor(1, 0, kRed);
        QImage out;
        QVERIFY(Zoom(image, 3, out));
        QCOMPARE(out.size(), QSize(6, 3));
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 6; ++x)
                QCOMPARE(out.pixelColor(x, y), x < 3 ? QColor(10, 20, 30, 40) : kRed);
        QImage untouched(1, 1, QImage::Format_RGB32);
        untouched.fill(kBlue);
        QVERIFY(!Zoom(image, 0, untouched));
        QVERIFY(!Zoom(image, 11, untouched));
        QCOMPARE(At(untouched, 0, 0), kBlue);
    }

    void bitmapConversions() {
        Bitmap b(2, 2, 0x102030);
        b.Set(1, 1, kRgbBlack);
        QImage image = ToQImage(b);
        QCOMPARE(At(image, 0, 0), QColor(0x10, 0x20, 0x30));
        QCOMPARE(At(image, 1, 1), kBlack);
        QVERIFY(FromQImage(image) == b);
        QCOMPARE(ToRgb(ToQColor(0xC0C0C0)), Rgb(0xC0C0C0));
    }
};

QTEST_MAIN(DrawTest)
#include "DrawTest.moc"
