// The remote's character set and icon set as the image stores them: the
// glyph table (144 glyphs of 11 bytes) drawn from a bitmap font, with
// hand-drawn glyphs where the font has none, and the icon table (165 icons
// of 24 x 16 pixels, 48 bytes each) drawn from pictures and words.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/LcdBitmaps.h"
#include "tools/gen-default/Bitmaps.h"

namespace orvalink::gen {

// The character a label code of 32..175 shows.
char32_t GlyphCharacter(int code);

// One glyph's 11 bytes from a picture of at most 8 x 10 pixels: its ink
// moved to the left edge and as wide as the ink (3 for a blank glyph).
std::vector<uint8_t> EncodeGlyph(const Canvas& cell);
// One icon's 48 bytes from a 24 x 16 picture.
std::vector<uint8_t> EncodeIcon(const Canvas& icon);

// Hand-drawn pictures from a text file: a header line "glyph CODE" or
// "icon NAME ...", then rows of '.' and '#'.
struct ArtBlock {
    int line = 0;
    std::vector<std::string> header;
    Canvas picture;  // empty when no rows follow the header
};
bool ReadArtFile(const std::filesystem::path& path, std::vector<ArtBlock>& blocks, std::string& error);

// The glyph table: every code from the font, a hand-drawn glyph where the
// font lacks the character (or where one is given, it wins).
bool BuildGlyphTable(const BitmapFont& font, const std::filesystem::path& handDrawn, std::vector<uint8_t>& table,
                     std::string& error);

// The fonts text icons are written with.
struct IconFonts {
    const BitmapFont* small = nullptr;   // 4 x 6
    const BitmapFont* medium = nullptr;  // 5 x 7
    const BitmapFont* big = nullptr;     // 8 x 13
};

// The icon table from icons.txt: "icon NAME" with rows of art (centred), or
// "icon NAME text [big] [box] LINE [LINE]" with one or two lines of words
// (big: digits in the 8 x 13 font; box: white on a black key cap). Exactly
// 165 icons; `names` gets each icon's index.
bool BuildIconTable(const IconFonts& fonts, const std::filesystem::path& source, std::vector<uint8_t>& table,
                    std::map<std::string, int>& names, std::string& error);

}  // namespace orvalink::gen
