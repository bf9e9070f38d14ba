#include "image/LcdBitmaps.h"

#include <algorithm>

#include "base/ByteIo.h"

namespace orvalink {

namespace {

bool Bit(uint8_t byte, int k) { return (byte >> k) & 1; }

// The `length` image bytes at `start`, or an empty span when they do not all
// lie inside the image.
std::span<const uint8_t> Region(const TTiFlashFm& flash, size_t start, size_t length) {
    ByteReader r(flash.Image());
    r.Seek(start);
    return r.View(length);
}

uint32_t PictureStart(const TTiFlashFm& flash, int which, bool& ok) {
    ok = true;
    if (which == kWelcomeSystem) return flash.Welcome10Start();
    if (which == kWelcomeReal) return flash.Welcome20Start();
    ok = false;
    return 0;
}

}  // namespace

Bitmap::Bitmap(int w, int h, Rgb fill) {
    if (w <= 0 || h <= 0) return;
    width = w;
    height = h;
    pixels.assign(size_t(w) * size_t(h), fill);
}

Rgb Bitmap::At(int x, int y) const {
    return Contains(x, y) ? pixels[size_t(y) * size_t(width) + size_t(x)] : kRgbBlack;
}

void Bitmap::Set(int x, int y, Rgb colour) {
    if (Contains(x, y)) pixels[size_t(y) * size_t(width) + size_t(x)] = colour;
}

void Bitmap::Fill(Rgb colour) { std::fill(pixels.begin(), pixels.end(), colour); }

void Bitmap::Blit(const Bitmap& src, int x, int y) {
    for (int sy = 0; sy < src.height; ++sy)
        for (int sx = 0; sx < src.width; ++sx) Set(x + sx, y + sy, src.At(sx, sy));
}

bool DrawGlyph(const GlyphBytes& glyph, Rgb ink, Rgb background, Bitmap& out) {
    const int width = glyph[0];
    if (width > kGlyphMaxWidth) return false;
    Bitmap full(kGlyphMaxWidth, kGlyphRows, background);
    for (int y = 0; y < kGlyphRows; ++y)
        for (int x = 0; x < kGlyphMaxWidth; ++x)
            if (Bit(glyph[size_t(1 + y)], x)) full.Set(x, y, ink);
    // Cut to the glyph's own width (a glyph may be 0 pixels wide).
    Bitmap cut;
    cut.width = width;
    cut.height = kGlyphRows;
    cut.pixels.reserve(size_t(width) * kGlyphRows);
    for (int y = 0; y < kGlyphRows; ++y)
        for (int x = 0; x < width; ++x) cut.pixels.push_back(full.At(x, y));
    out = std::move(cut);
    return true;
}

Bitmap DrawIcon(const IconBytes& icon, Rgb ink, Rgb background) {
    Bitmap b(kIconWidth, kIconHeight, background);
    for (int band = 0; band < kIconWidth / 8; ++band)
        for (int y = 0; y < kIconHeight; ++y) {
            uint8_t row = icon[size_t(16 * band + y)];
            for (int k = 0; k < 8; ++k)
                if (Bit(row, k)) b.Set(8 * band + k, y, ink);
        }
    return b;
}

Bitmap DrawPicture(const PictureBytes& picture) {
    Bitmap b(kLcdWidth, kLcdHeight, kRgbWhite);
    for (int band = 0; band < kLcdWidth / 8; ++band)
        for (int y = 0; y < kLcdHeight; ++y) {
            uint8_t row = picture[size_t(kLcdHeight * band + y)];
            for (int k = 0; k < 8; ++k)
                if (Bit(row, k)) b.Set(8 * band + k, y, kRgbBlack);
        }
    return b;
}

bool PictureFromBitmap(const Bitmap& bitmap, PictureBytes& out) {
    if (bitmap.width != kLcdWidth || bitmap.height != kLcdHeight) return false;
    PictureBytes bytes;
    bytes.fill(0xFF);
    for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x)
            if (bitmap.At(x, y) != kRgbBlack) bytes[size_t((x / 8) * kLcdHeight + y)] &= uint8_t(~(1u << (x % 8)));
    out = bytes;
    return true;
}

bool ReadGlyph(const TTiFlashFm& flash, int index, GlyphBytes& out) {
    if (index < 0 || index >= kGlyphCount) return false;
    auto bytes = Region(flash, flash.GlyphTableStart() + size_t(kGlyphBytes) * size_t(index), kGlyphBytes);
    if (bytes.empty() || bytes[0] > kGlyphMaxWidth) return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

bool ReadIcon(const TTiFlashFm& flash, int index, IconBytes& out) {
    if (index < 0 || index >= kIconCount) return false;
    auto bytes = Region(flash, flash.IconTableStart() + size_t(kIconBytes) * size_t(index), kIconBytes);
    if (bytes.empty()) return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

bool ReadPicture(const TTiFlashFm& flash, int which, PictureBytes& out) {
    bool known = false;
    uint32_t start = PictureStart(flash, which, known);
    if (!known) return false;
    auto bytes = Region(flash, start, kPictureBytes);
    if (bytes.empty()) return false;
    std::copy(bytes.begin(), bytes.end(), out.begin());
    return true;
}

bool WritePicture(TTiFlashFm& flash, int which, std::span<const uint8_t> bytes) {
    bool known = false;
    uint32_t start = PictureStart(flash, which, known);
    if (!known || bytes.size() != size_t(kPictureBytes)) return false;
    // Check the whole run first, so that nothing is written when it does not fit.
    if (Region(flash, start, kPictureBytes).empty()) return false;
    ByteWriter w(flash.Image());
    w.Seek(start);
    w.Bytes(bytes.data(), bytes.size());
    return w.ok();
}

bool GlyphCode(int index, uint8_t& code) {
    if (index < 0 || index >= kGlyphCount) return false;
    code = uint8_t(index + 32);
    return true;
}

std::array<uint8_t, 2> IconCode(int index) {
    if (index < 0 || index >= kIconCount) return {0xF0, 0x00};
    return {0xF0, uint8_t(index + 1)};
}

bool Zoom(const Bitmap& bitmap, int factor, Bitmap& out) {
    if (factor < 1 || factor > 10) return false;
    Bitmap z(bitmap.width * factor, bitmap.height * factor, kRgbWhite);
    for (int y = 0; y < z.height; ++y)
        for (int x = 0; x < z.width; ++x) z.Set(x, y, bitmap.At(x / factor, y / factor));
    out = std::move(z);
    return true;
}

}  // namespace orvalink
