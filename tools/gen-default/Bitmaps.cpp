#include "tools/gen-default/Bitmaps.h"

#include <algorithm>
#include <cstdlib>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace orvalink::gen {

bool Canvas::Empty() const {
    return std::none_of(ink_.begin(), ink_.end(), [](uint8_t v) { return v != 0; });
}

void Canvas::Line(int x0, int y0, int x1, int y1, bool ink) {
    int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        Set(x0, y0, ink);
        if (x0 == x1 && y0 == y1) break;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void Canvas::Rect(int x, int y, int w, int h, bool ink) {
    if (w <= 0 || h <= 0) return;
    Line(x, y, x + w - 1, y, ink);
    Line(x, y + h - 1, x + w - 1, y + h - 1, ink);
    Line(x, y, x, y + h - 1, ink);
    Line(x + w - 1, y, x + w - 1, y + h - 1, ink);
}

void Canvas::FillRect(int x, int y, int w, int h, bool ink) {
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) Set(x + i, y + j, ink);
}

void Canvas::RoundRect(int x, int y, int w, int h, int r, bool ink) {
    if (w <= 0 || h <= 0) return;
    r = std::min({r, w / 2, h / 2});
    Line(x + r, y, x + w - 1 - r, y, ink);
    Line(x + r, y + h - 1, x + w - 1 - r, y + h - 1, ink);
    Line(x, y + r, x, y + h - 1 - r, ink);
    Line(x + w - 1, y + r, x + w - 1, y + h - 1 - r, ink);
    // Quarter circles by the midpoint rule.
    int cx0 = x + r, cx1 = x + w - 1 - r, cy0 = y + r, cy1 = y + h - 1 - r;
    int px = 0, py = r, d = 1 - r;
    while (px <= py) {
        for (auto [a, b] : {std::pair{px, py}, std::pair{py, px}}) {
            Set(cx1 + a, cy1 + b, ink);
            Set(cx0 - a, cy1 + b, ink);
            Set(cx1 + a, cy0 - b, ink);
            Set(cx0 - a, cy0 - b, ink);
        }
        if (d < 0) {
            d += 2 * px + 3;
        } else {
            d += 2 * (px - py) + 5;
            --py;
        }
        ++px;
    }
}

void Canvas::Ellipse(int cx, int cy, int rx, int ry, bool fill, bool ink) {
    if (rx <= 0 || ry <= 0) return;
    auto inside = [&](int x, int y) {
        return double(x * x) / double(rx * rx) + double(y * y) / double(ry * ry) <= 1.05;
    };
    // The disc, or those of its points that have a neighbour outside it.
    for (int y = -ry; y <= ry; ++y)
        for (int x = -rx; x <= rx; ++x) {
            if (!inside(x, y)) continue;
            bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            if (fill || edge) Set(cx + x, cy + y, ink);
        }
}

void Canvas::FillTriangle(int x0, int y0, int x1, int y1, int x2, int y2, bool ink) {
    int minX = std::min({x0, x1, x2}), maxX = std::max({x0, x1, x2});
    int minY = std::min({y0, y1, y2}), maxY = std::max({y0, y1, y2});
    auto edge = [](int ax, int ay, int bx, int by, int px, int py) {
        return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    };
    for (int y = minY; y <= maxY; ++y)
        for (int x = minX; x <= maxX; ++x) {
            int a = edge(x0, y0, x1, y1, x, y), b = edge(x1, y1, x2, y2, x, y), c = edge(x2, y2, x0, y0, x, y);
            if ((a >= 0 && b >= 0 && c >= 0) || (a <= 0 && b <= 0 && c <= 0)) Set(x, y, ink);
        }
}

void Canvas::Blit(const Canvas& other, int x, int y, bool invert) {
    for (int j = 0; j < other.Height(); ++j)
        for (int i = 0; i < other.Width(); ++i)
            if (other.Ink(i, j)) Set(x + i, y + j, !invert);
}

bool Canvas::InkColumns(int& first, int& last) const {
    first = width_;
    last = -1;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (Ink(x, y)) {
                first = std::min(first, x);
                last = std::max(last, x);
            }
    return last >= 0;
}

struct BitmapFont::Library {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Library() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

BitmapFont::~BitmapFont() = default;

std::unique_ptr<BitmapFont> BitmapFont::Open(const std::filesystem::path& path, std::string& error) {
    std::unique_ptr<BitmapFont> font(new BitmapFont);
    font->library_ = std::make_unique<Library>();
    Library& lib = *font->library_;
    if (FT_Init_FreeType(&lib.library) != 0) {
        error = "FreeType cannot start";
        return nullptr;
    }
    if (FT_New_Face(lib.library, path.string().c_str(), 0, &lib.face) != 0) {
        error = "cannot read the font " + path.string();
        return nullptr;
    }
    if (lib.face->num_fixed_sizes < 1 || FT_Select_Size(lib.face, 0) != 0) {
        error = "the font " + path.string() + " is not a bitmap font";
        return nullptr;
    }
    font->cellHeight_ = int(lib.face->size->metrics.height >> 6);
    font->ascent_ = int(lib.face->size->metrics.ascender >> 6);
    if (font->cellHeight_ <= 0) font->cellHeight_ = lib.face->available_sizes[0].height;
    if (font->ascent_ <= 0) font->ascent_ = font->cellHeight_;
    return font;
}

bool BitmapFont::Has(char32_t c) const { return FT_Get_Char_Index(library_->face, FT_ULong(c)) != 0; }

std::optional<Canvas> BitmapFont::Cell(char32_t c) const {
    FT_Face face = library_->face;
    FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
    if (index == 0) return std::nullopt;
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return std::nullopt;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& b = slot->bitmap;
    int advance = int(slot->advance.x >> 6);
    Canvas cell(std::max(advance, int(b.width) + std::max(0, slot->bitmap_left)), cellHeight_);
    for (unsigned r = 0; r < b.rows; ++r)
        for (unsigned col = 0; col < b.width; ++col) {
            const unsigned char* row = b.buffer + std::ptrdiff_t(r) * b.pitch;
            bool on = b.pixel_mode == FT_PIXEL_MODE_MONO ? ((row[col / 8] >> (7 - col % 8)) & 1) : row[col] >= 128;
            if (on) cell.Set(slot->bitmap_left + int(col), ascent_ - slot->bitmap_top + int(r));
        }
    return cell;
}

int BitmapFont::DrawText(Canvas& canvas, int x, int y, const std::u32string& text) const {
    int start = x;
    for (char32_t c : text) {
        auto cell = Cell(c);
        if (!cell) cell = Cell(U'?');
        if (!cell) continue;
        canvas.Blit(*cell, x, y);
        x += cell->Width();
    }
    return x - start;
}

int BitmapFont::TextWidth(const std::u32string& text) const {
    Canvas scratch(1, 1);
    return DrawText(scratch, -1000, -1000, text);
}

std::u32string Utf32Of(const std::string& utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + size_t(extra) >= utf8.size() + (extra == 0)) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        char32_t v = extra == 0 ? c : c & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + size_t(k) >= utf8.size()) { ok = false; break; }
            unsigned char n = static_cast<unsigned char>(utf8[i + size_t(k)]);
            if ((n >> 6) != 2) { ok = false; break; }
            v = (v << 6) | (n & 0x3F);
        }
        if (!ok) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        out.push_back(v);
        i += size_t(extra) + 1;
    }
    return out;
}

}  // namespace orvalink::gen
