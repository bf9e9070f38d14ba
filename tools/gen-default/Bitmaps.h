// One-bit drawing for the generated pictures: a small canvas, and bitmap
// fonts read with FreeType (the X11 misc-fixed family of xfonts-base).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvalink::gen {

class Canvas {
public:
    Canvas() = default;
    Canvas(int width, int height) : width_(width), height_(height), ink_(size_t(width * height), 0) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    bool Ink(int x, int y) const { return Inside(x, y) && ink_[size_t(y * width_ + x)]; }
    // Points outside the canvas are ignored.
    void Set(int x, int y, bool ink = true) {
        if (Inside(x, y)) ink_[size_t(y * width_ + x)] = ink ? 1 : 0;
    }
    bool Empty() const;

    void Line(int x0, int y0, int x1, int y1, bool ink = true);
    void Rect(int x, int y, int w, int h, bool ink = true);      // outline
    void FillRect(int x, int y, int w, int h, bool ink = true);
    void RoundRect(int x, int y, int w, int h, int radius, bool ink = true);  // outline
    void Ellipse(int cx, int cy, int rx, int ry, bool fill, bool ink = true);
    void FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, bool ink = true);
    // Draws the ink of `other` at (x, y); with `invert`, clears it instead.
    void Blit(const Canvas& other, int x, int y, bool invert = false);
    // The columns [first, last] that hold ink; false when there is none.
    bool InkColumns(int& first, int& last) const;

private:
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> ink_;
};

// A bitmap font file (PCF, optionally gzip-compressed). Glyphs come as
// whole character cells: the font's ascent + descent high, its advance wide.
class BitmapFont {
public:
    ~BitmapFont();
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    static std::unique_ptr<BitmapFont> Open(const std::filesystem::path& path, std::string& error);

    int CellHeight() const { return cellHeight_; }
    int Ascent() const { return ascent_; }
    bool Has(char32_t c) const;
    // The character's cell; nothing when the font has no glyph for it.
    std::optional<Canvas> Cell(char32_t c) const;
    // Draws text (UTF-32) with its cells' top at y; returns the width drawn.
    int DrawText(Canvas& canvas, int x, int y, const std::u32string& text) const;
    int TextWidth(const std::u32string& text) const;

private:
    BitmapFont() = default;
    struct Library;
    std::unique_ptr<Library> library_;
    int cellHeight_ = 0;
    int ascent_ = 0;
};

// UTF-8 to UTF-32 (invalid bytes become U+FFFD).
std::u32string Utf32Of(const std::string& utf8);

}  // namespace orvalink::gen
