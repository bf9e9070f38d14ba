// The remote's LCD bitmaps: glyphs of the character set, icons, and the two
// welcome pictures, as the image stores them and as plain pixel buffers.
//
// Stored forms (1 = ink, bit k counted from the least significant bit):
// - glyph, 11 bytes: byte 0 the width in pixels (at most 8), bytes 1..10 the
//   rows from the top, bit k of a row is column k;
// - icon, 48 bytes, 24 x 16: three bands of 8 columns, band j at bytes
//   16j..16j + 15 with one byte per row, bit k is column 8j + k;
// - welcome picture, 2080 bytes, 104 x 160: 13 bands of 8 columns, band j at
//   bytes 160j..160j + 159, one byte per row, bit k is column 8j + k; 1 = black.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

// A colour as 0xRRGGBB.
using Rgb = uint32_t;
inline constexpr Rgb kRgbBlack = 0x000000;
inline constexpr Rgb kRgbWhite = 0xFFFFFF;
inline constexpr Rgb kRgbRed = 0xFF0000;
inline constexpr Rgb kRgbBlue = 0x0000FF;
inline constexpr Rgb kRgbYellow = 0xFFFF00;
inline constexpr Rgb kRgbGreen = 0x008000;
inline constexpr Rgb kRgbSilver = 0xC0C0C0;

// A plain pixel buffer, row by row from the top.
struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;

    Bitmap() = default;
    // A bitmap of the given size filled with `fill`; negative sizes give an empty one.
    Bitmap(int w, int h, Rgb fill);

    bool Empty() const { return width <= 0 || height <= 0; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // The pixel at (x, y); black outside the bitmap.
    Rgb At(int x, int y) const;
    // Sets one pixel; a point outside the bitmap is ignored.
    void Set(int x, int y, Rgb colour);
    void Fill(Rgb colour);
    // Copies `src` with its top-left corner at (x, y), clipped to this bitmap.
    void Blit(const Bitmap& src, int x, int y);
    bool operator==(const Bitmap&) const = default;
};

inline constexpr int kGlyphCount = 144;
inline constexpr int kGlyphBytes = 11;
inline constexpr int kGlyphRows = 10;
inline constexpr int kGlyphMaxWidth = 8;
inline constexpr int kIconCount = 165;
inline constexpr int kIconBytes = 48;
inline constexpr int kIconWidth = 24;
inline constexpr int kIconHeight = 16;
inline constexpr int kLcdWidth = 104;
inline constexpr int kLcdHeight = 160;
inline constexpr int kPictureBytes = 2080;

// The two welcome picture slots of the image.
inline constexpr int kWelcomeSystem = 10;  // the system welcome picture
inline constexpr int kWelcomeReal = 20;    // the picture for the real system

using GlyphBytes = std::array<uint8_t, kGlyphBytes>;
using IconBytes = std::array<uint8_t, kIconBytes>;
using PictureBytes = std::array<uint8_t, kPictureBytes>;

// A glyph as a bitmap of its own width and 10 rows. Fails (out untouched)
// when the glyph is wider than 8 pixels.
bool DrawGlyph(const GlyphBytes& glyph, Rgb ink, Rgb background, Bitmap& out);
// An icon as a 24 x 16 bitmap.
Bitmap DrawIcon(const IconBytes& icon, Rgb ink, Rgb background);
// A welcome picture as a 104 x 160 bitmap, black on white.
Bitmap DrawPicture(const PictureBytes& picture);
// A 104 x 160 bitmap in the stored form: every pixel that is not pure black
// becomes 0. Fails (out untouched) for a bitmap of any other size.
bool PictureFromBitmap(const Bitmap& bitmap, PictureBytes& out);

// Glyph `index` (0..143) of the glyph table; fails when the index is out of
// range, the table does not lie in the image or the glyph is wider than 8.
bool ReadGlyph(const TTiFlashFm& flash, int index, GlyphBytes& out);
// Icon `index` (0..164) of the icon table.
bool ReadIcon(const TTiFlashFm& flash, int index, IconBytes& out);
// Welcome picture `which` (kWelcomeSystem or kWelcomeReal).
bool ReadPicture(const TTiFlashFm& flash, int which, PictureBytes& out);
// Stores a welcome picture; `bytes` must be exactly 2080 bytes. On failure
// the image is unchanged.
bool WritePicture(TTiFlashFm& flash, int which, std::span<const uint8_t> bytes);

// The label code of glyph `index` (index + 32); fails for an index above 143.
bool GlyphCode(int index, uint8_t& code);
// The two label bytes of icon `index`: 0xF0 and index + 1 for 0..164,
// 0xF0 and 0x00 for any other index.
std::array<uint8_t, 2> IconCode(int index);

// `bitmap` stretched `factor` times (1..10) in both directions, each pixel
// becoming a factor x factor square. Fails (out untouched) for other factors.
bool Zoom(const Bitmap& bitmap, int factor, Bitmap& out);

}  // namespace orvalink
