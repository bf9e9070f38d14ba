#include "tools/gen-pictures/Typeface.h"

#include <cmath>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace orvalink::pictures {

struct Typeface::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

Typeface::~Typeface() = default;

std::unique_ptr<Typeface> Typeface::Open(const std::filesystem::path& path, std::string& error) {
    std::unique_ptr<Typeface> typeface(new Typeface);
    typeface->face_ = std::make_unique<Face>();
    Face& f = *typeface->face_;
    if (FT_Init_FreeType(&f.library) != 0) {
        error = "FreeType cannot start";
        return nullptr;
    }
    if (FT_New_Face(f.library, path.string().c_str(), 0, &f.face) != 0) {
        error = "cannot read the font " + path.string();
        return nullptr;
    }
    if (!FT_IS_SCALABLE(f.face)) {
        error = "the font " + path.string() + " is not an outline font";
        return nullptr;
    }
    return typeface;
}

bool Typeface::SetSize(double size) const {
    return size > 0 && FT_Set_Char_Size(face_->face, 0, FT_F26Dot6(std::lround(size * 64)), 72, 72) == 0;
}

double Typeface::Advance(std::u32string_view text, double size, double tracking) const {
    if (!SetSize(size)) return 0;
    FT_Face face = face_->face;
    double advance = 0;
    FT_UInt previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(text[i]));
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern{};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &kern) == 0) advance += kern.x / 64.0;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) == 0)
            advance += face->glyph->linearHoriAdvance / 65536.0;
        if (i + 1 < text.size()) advance += tracking;
        previous = index;
    }
    return advance;
}

double Typeface::CapHeight(double size) const {
    if (!SetSize(size)) return 0;
    FT_Face face = face_->face;
    if (FT_Load_Char(face, 'H', FT_LOAD_NO_BITMAP | FT_LOAD_NO_HINTING) != 0) return size * 0.7;
    return face->glyph->metrics.horiBearingY / 64.0;
}

double Typeface::Draw(RgbCanvas& canvas, double x, double baseline, std::u32string_view text, double size, Rgb colour,
                      double tracking, double opacity) const {
    if (!SetSize(size)) return 0;
    FT_Face face = face_->face;
    const int row = int(std::lround(baseline));
    double pen = x;
    FT_UInt previous = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        FT_UInt index = FT_Get_Char_Index(face, FT_ULong(text[i]));
        if (previous && index && FT_HAS_KERNING(face)) {
            FT_Vector kern{};
            if (FT_Get_Kerning(face, previous, index, FT_KERNING_UNFITTED, &kern) == 0) pen += kern.x / 64.0;
        }
        // The glyph is drawn at the pen's whole pixel, its outline moved by
        // the fraction.
        const long fixed = std::lround(pen * 64);
        const long whole = fixed >= 0 ? fixed / 64 : -((-fixed + 63) / 64);
        FT_Vector shift{FT_Pos(fixed - whole * 64), 0};
        FT_Set_Transform(face, nullptr, &shift);
        if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& b = slot->bitmap;
            if (b.pixel_mode == FT_PIXEL_MODE_GRAY && b.num_grays > 1) {
                for (unsigned r = 0; r < b.rows; ++r) {
                    const unsigned char* line = b.buffer + std::ptrdiff_t(r) * b.pitch;
                    for (unsigned c = 0; c < b.width; ++c)
                        canvas.Blend(int(whole) + slot->bitmap_left + int(c), row - slot->bitmap_top + int(r), colour,
                                     opacity * line[c] / double(b.num_grays - 1));
                }
            }
            pen += slot->linearHoriAdvance / 65536.0;
        }
        if (i + 1 < text.size()) pen += tracking;
        previous = index;
    }
    FT_Set_Transform(face, nullptr, nullptr);
    return pen - x;
}

}  // namespace orvalink::pictures
