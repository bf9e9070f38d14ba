#include "tools/gen-default/CharacterSets.h"

#include "tools/gen-default/AssetText.h"

namespace orvalink::gen {

namespace {

bool IsArtRow(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c != '.' && c != '#') return false;
    return true;
}

Canvas Centred(const Canvas& art, int width, int height) {
    Canvas out(width, height);
    out.Blit(art, (width - art.Width()) / 2, (height - art.Height()) / 2);
    return out;
}

}  // namespace

char32_t GlyphCharacter(int code) {
    static constexpr char32_t kSpecial[9] = {U'\u0153', U'\u0161', U'\u0192', U'\u00DF', U'\u25B2',
                                             U'\u25BC', U'\u25BA', U'\u25C4', U'\u263A'};
    if (code >= 128 && code <= 159) return char32_t(code + 96);
    if (code >= 160 && code <= 168) return kSpecial[code - 160];
    return char32_t(code);
}

std::vector<uint8_t> EncodeGlyph(const Canvas& cell) {
    std::vector<uint8_t> g(kGlyphBytes, 0);
    int first = 0, last = 0;
    if (!cell.InkColumns(first, last)) {
        g[0] = 3;
        return g;
    }
    g[0] = uint8_t(std::min(last - first + 1, kGlyphMaxWidth));
    for (int y = 0; y < kGlyphRows && y < cell.Height(); ++y)
        for (int x = 0; x < g[0]; ++x)
            if (cell.Ink(first + x, y)) g[size_t(1 + y)] |= uint8_t(1u << x);
    return g;
}

std::vector<uint8_t> EncodeIcon(const Canvas& icon) {
    std::vector<uint8_t> out(kIconBytes, 0);
    for (int band = 0; band < 3; ++band)
        for (int y = 0; y < kIconHeight; ++y)
            for (int k = 0; k < 8; ++k)
                if (icon.Ink(8 * band + k, y)) out[size_t(16 * band + y)] |= uint8_t(1u << k);
    return out;
}

bool ReadArtFile(const std::filesystem::path& path, std::vector<ArtBlock>& blocks, std::string& error) {
    std::vector<AssetLine> lines;
    if (!ReadAssetLines(path, lines, error)) return false;
    std::vector<ArtBlock> out;
    for (size_t i = 0; i < lines.size(); ++i) {
        const AssetLine& line = lines[i];
        if (line.words.empty()) continue;
        if (IsArtRow(line.text)) {
            error = AssetError(path, line.number, "a picture row without a header line above it");
            return false;
        }
        ArtBlock block;
        block.line = line.number;
        block.header = line.words;
        std::vector<std::string> rows;
        while (i + 1 < lines.size() && IsArtRow(lines[i + 1].text)) rows.push_back(lines[++i].text);
        if (!rows.empty()) {
            size_t width = rows[0].size();
            for (const auto& r : rows)
                if (r.size() != width) {
                    error = AssetError(path, block.line, "the rows of '" + block.header[0] + " " +
                                                             (block.header.size() > 1 ? block.header[1] : "") +
                                                             "' differ in length");
                    return false;
                }
            block.picture = Canvas(int(width), int(rows.size()));
            for (size_t y = 0; y < rows.size(); ++y)
                for (size_t x = 0; x < width; ++x)
                    if (rows[y][x] == '#') block.picture.Set(int(x), int(y));
        }
        out.push_back(std::move(block));
    }
    blocks = std::move(out);
    return true;
}

bool BuildGlyphTable(const BitmapFont& font, const std::filesystem::path& handDrawn, std::vector<uint8_t>& table,
                     std::string& error) {
    if (font.CellHeight() > kGlyphRows) {
        error = "the glyph font's cells are " + std::to_string(font.CellHeight()) + " rows high, at most 10 fit";
        return false;
    }
    std::vector<ArtBlock> blocks;
    if (!ReadArtFile(handDrawn, blocks, error)) return false;
    std::map<int, Canvas> drawn;
    for (const auto& b : blocks) {
        unsigned code = 0;
        if (b.header.size() != 2 || b.header[0] != "glyph" || !ParseAssetNumber(b.header[1], 175, code) ||
            code < 32) {
            error = AssetError(handDrawn, b.line, "expected 'glyph CODE' with a code of 32..175");
            return false;
        }
        if (b.picture.Width() == 0 || b.picture.Width() > kGlyphMaxWidth || b.picture.Height() > kGlyphRows) {
            error = AssetError(handDrawn, b.line, "a glyph is 1..8 columns and at most 10 rows");
            return false;
        }
        drawn[int(code)] = b.picture;
    }
    std::vector<uint8_t> out;
    for (int code = 32; code < 32 + kGlyphCount; ++code) {
        std::optional<Canvas> cell;
        if (auto it = drawn.find(code); it != drawn.end()) cell = it->second;
        else cell = font.Cell(GlyphCharacter(code));
        if (!cell) {
            error = "the font has no glyph for code " + std::to_string(code) + " and none is drawn by hand";
            return false;
        }
        int first = 0, last = 0;
        if (cell->InkColumns(first, last) && last - first + 1 > kGlyphMaxWidth) {
            error = "the glyph of code " + std::to_string(code) + " is wider than 8 pixels";
            return false;
        }
        auto g = EncodeGlyph(*cell);
        out.insert(out.end(), g.begin(), g.end());
    }
    table = std::move(out);
    return true;
}

namespace {

// One or two lines of words in the largest font that fits 24 x 16.
bool DrawTextIcon(const IconFonts& fonts, bool big, bool box, const std::vector<std::string>& lines, Canvas& icon) {
    std::vector<const BitmapFont*> choices;
    if (big) choices.push_back(fonts.big);
    choices.push_back(fonts.medium);
    choices.push_back(fonts.small);
    for (const BitmapFont* font : choices) {
        if (!font) continue;
        int gap = lines.size() > 1 ? 1 : 0;
        int height = int(lines.size()) * font->CellHeight() + gap;
        const int room = box ? kIconWidth - 2 : kIconWidth;
        bool fits = height <= (box ? kIconHeight - 2 : kIconHeight);
        for (const auto& l : lines) fits = fits && font->TextWidth(Utf32Of(l)) <= room + 1;
        if (!fits) continue;
        Canvas out(kIconWidth, kIconHeight);
        // A boxed icon is white words on a black key cap.
        if (box) out.FillRect(1, 0, kIconWidth - 2, kIconHeight);
        int y = (kIconHeight - height + 1) / 2;
        for (const auto& l : lines) {
            auto text = Utf32Of(l);
            Canvas row(font->TextWidth(text), font->CellHeight());
            font->DrawText(row, 0, 0, text);
            // Centre on the ink, not on the cells' right-hand spacing.
            int first = 0, last = 0;
            int inkWidth = row.InkColumns(first, last) ? last - first + 1 : row.Width();
            out.Blit(row, (kIconWidth - inkWidth) / 2 - first, y, box);
            y += font->CellHeight() + gap;
        }
        icon = out;
        return true;
    }
    return false;
}

}  // namespace

bool BuildIconTable(const IconFonts& fonts, const std::filesystem::path& source, std::vector<uint8_t>& table,
                    std::map<std::string, int>& names, std::string& error) {
    std::vector<ArtBlock> blocks;
    if (!ReadArtFile(source, blocks, error)) return false;
    std::vector<uint8_t> out;
    std::map<std::string, int> index;
    for (const auto& b : blocks) {
        if (b.header.size() < 2 || b.header[0] != "icon") {
            error = AssetError(source, b.line, "expected 'icon NAME'");
            return false;
        }
        const std::string& name = b.header[1];
        if (index.count(name)) {
            error = AssetError(source, b.line, "icon '" + name + "' is named twice");
            return false;
        }
        Canvas icon;
        if (b.header.size() >= 3 && b.header[2] == "text") {
            size_t first = 3;
            bool big = false, box = false;
            while (first < b.header.size() && (b.header[first] == "big" || b.header[first] == "box")) {
                (b.header[first] == "big" ? big : box) = true;
                ++first;
            }
            std::vector<std::string> lines(b.header.begin() + std::ptrdiff_t(first), b.header.end());
            if (lines.empty() || lines.size() > 2 || b.picture.Width() != 0) {
                error = AssetError(source, b.line, "a text icon has one or two lines and no picture rows");
                return false;
            }
            if (!DrawTextIcon(fonts, big, box, lines, icon)) {
                error = AssetError(source, b.line, "the words of icon '" + name + "' do not fit 24 x 16");
                return false;
            }
        } else {
            if (b.header.size() != 2 || b.picture.Width() == 0) {
                error = AssetError(source, b.line, "icon '" + name + "' has no picture rows");
                return false;
            }
            if (b.picture.Width() > kIconWidth || b.picture.Height() > kIconHeight) {
                error = AssetError(source, b.line, "icon '" + name + "' is larger than 24 x 16");
                return false;
            }
            icon = Centred(b.picture, kIconWidth, kIconHeight);
        }
        if (icon.Empty()) {
            error = AssetError(source, b.line, "icon '" + name + "' has no ink");
            return false;
        }
        index[name] = int(out.size() / kIconBytes);
        auto bytes = EncodeIcon(icon);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    if (out.size() != size_t(kIconCount) * kIconBytes) {
        error = source.filename().string() + " holds " + std::to_string(out.size() / kIconBytes) +
                " icons; the icon table has 165";
        return false;
    }
    table = std::move(out);
    names = std::move(index);
    return true;
}

}  // namespace orvalink::gen
