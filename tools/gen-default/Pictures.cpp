#include "tools/gen-default/Pictures.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "base/ByteIo.h"

namespace orvalink::gen {

namespace {

void CentredText(Canvas& canvas, const BitmapFont& font, int y, const std::string& text) {
    auto t = Utf32Of(text);
    font.DrawText(canvas, (canvas.Width() - font.TextWidth(t)) / 2, y, t);
}

// A small remote control seen from the front: body, LCD, hard keys.
void DrawRemote(Canvas& c, int x, int y) {
    c.RoundRect(x, y, 34, 76, 6);
    c.Rect(x + 4, y + 5, 26, 30);                 // the LCD
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 2; ++k) c.Rect(x + 7 + 12 * k, y + 9 + 8 * r, 8, 5);  // soft keys
    c.Ellipse(x + 17, y + 46, 6, 5, false);       // the round pad
    c.Ellipse(x + 17, y + 46, 2, 2, true);
    for (int r = 0; r < 2; ++r)
        for (int k = 0; k < 3; ++k) c.Ellipse(x + 7 + 10 * k, y + 60 + 7 * r, 2, 2, true);
}

// Waves leaving the remote's nose.
void DrawWaves(Canvas& c, int cx, int cy) {
    for (int r = 6; r <= 18; r += 6)
        for (int a = -r; a <= r; ++a) {
            int dy = -int(std::sqrt(double(r * r - a * a)) * 0.6);
            if (std::abs(a) < r * 3 / 4) c.Set(cx + a, cy + dy);
        }
}

}  // namespace

Canvas WelcomePicture(int which, const PictureFonts& fonts) {
    Canvas c(kLcdWidth, kLcdHeight);
    c.RoundRect(1, 1, kLcdWidth - 2, kLcdHeight - 2, 8);
    if (which == 10) {
        CentredText(c, *fonts.title, 10, "TAVERO");
        c.Line(14, 32, kLcdWidth - 15, 32);
        DrawWaves(c, 52, 58);
        DrawRemote(c, 35, 62);
        CentredText(c, *fonts.text, 142, "QM-5100");
    } else {
        CentredText(c, *fonts.text, 12, "Welcome");
        CentredText(c, *fonts.title, 28, "Orvalink");
        // A house with a sun: "home" for the first page the remote shows.
        c.FillTriangle(22, 96, 52, 68, 82, 96);
        c.FillTriangle(28, 94, 52, 73, 76, 94, false);
        c.Rect(28, 96, 48, 34);
        c.FillRect(46, 110, 12, 20);
        c.FillRect(33, 102, 8, 8);
        c.FillRect(63, 102, 8, 8);
        c.Ellipse(84, 64, 6, 6, true);
        for (int a = 0; a < 8; ++a) {
            double t = a * 3.14159265 / 4;
            c.Line(84 + int(9 * std::cos(t)), 64 + int(9 * std::sin(t)), 84 + int(12 * std::cos(t)),
                   64 + int(12 * std::sin(t)));
        }
        CentredText(c, *fonts.text, 142, "Press any key");
    }
    return c;
}

std::vector<uint8_t> EncodeWelcomePicture(const Canvas& picture) {
    Bitmap screen(kLcdWidth, kLcdHeight, kRgbWhite);
    for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x)
            if (picture.Ink(x, y)) screen.Set(x, y, kRgbBlack);
    PictureBytes bytes{};
    PictureFromBitmap(screen, bytes);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Bmp24(int width, int height, const std::vector<uint8_t>& rgb) {
    const size_t rowBytes = (size_t(width) * 3 + 3) / 4 * 4;
    const size_t pixelBytes = rowBytes * size_t(height);
    std::vector<uint8_t> out(54 + pixelBytes, 0);
    ByteWriter w(out);
    w.U8('B');
    w.U8('M');
    w.U32(uint32_t(out.size()));
    w.U32(0);
    w.U32(54);          // pixel data offset
    w.U32(40);          // BITMAPINFOHEADER
    w.U32(uint32_t(width));
    w.U32(uint32_t(height));  // positive: bottom row first
    w.U16(1);
    w.U16(24);
    w.U32(0);           // BI_RGB
    w.U32(uint32_t(pixelBytes));
    w.U32(2835);        // 72 dpi
    w.U32(2835);
    w.U32(0);
    w.U32(0);
    for (int y = height - 1; y >= 0; --y) {
        size_t rowStart = w.pos();
        for (int x = 0; x < width; ++x) {
            size_t p = (size_t(y) * size_t(width) + size_t(x)) * 3;
            w.U8(rgb[p + 2]);
            w.U8(rgb[p + 1]);
            w.U8(rgb[p]);
        }
        w.Fill(0, rowBytes - (w.pos() - rowStart));
    }
    return out;
}

std::vector<uint8_t> PageStripBmp() {
    const int W = kPageStripWidth, H = kPageStripHeight;
    // The editor takes clicks at x 1..76 (previous) and 130..204 (next) of
    // the LCD picture, from y 276 on; the strip is drawn at (1, 274).
    Canvas frame(W, H), arrows(W, H);
    frame.RoundRect(2, 4, 72, 38, 8);
    frame.RoundRect(130, 4, 72, 38, 8);
    arrows.FillTriangle(16, 23, 40, 10, 40, 36);
    arrows.FillRect(40, 18, 20, 11);
    arrows.FillTriangle(188, 23, 164, 10, 164, 36);
    arrows.FillRect(144, 18, 20, 11);
    std::vector<uint8_t> rgb(size_t(W) * size_t(H) * 3, 255);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            uint8_t* p = &rgb[(size_t(y) * size_t(W) + size_t(x)) * 3];
            bool inButton = (x >= 3 && x <= 73) || (x >= 131 && x <= 201);
            if (inButton && y >= 5 && y <= 40) p[0] = p[1] = p[2] = 232;  // button face
            if (frame.Ink(x, y)) p[0] = p[1] = p[2] = 128;
            if (arrows.Ink(x, y)) {
                p[0] = 0;
                p[1] = 0;
                p[2] = 255;
            }
        }
    return Bmp24(W, H, rgb);
}

}  // namespace orvalink::gen
