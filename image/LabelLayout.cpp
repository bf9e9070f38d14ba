#include "image/LabelLayout.h"

#include <algorithm>

#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"

namespace orvalink {

namespace {

constexpr uint8_t kFirstGlyphCode = 32;
constexpr uint8_t kLastGlyphCode = 175;
constexpr uint8_t kLastSkippedCode = 182;
constexpr int kFirstLineHeight = 10;  // the running height starts with one text line
constexpr int kBreakHeight = 7;
constexpr int kGlyphLineDrop = 3;

bool IsGlyphCode(uint8_t c) { return c >= kFirstGlyphCode && c <= kLastGlyphCode; }
bool IsSkippedCode(uint8_t c) { return c > kLastGlyphCode && c <= kLastSkippedCode; }

// Reads the label bytes into items. False when an icon index byte is out of
// the range a label may use.
bool ReadItems(const TTiFlashFm& flash, std::span<const uint8_t> label, std::vector<LabelItem>& items) {
    const size_t n = std::min(label.size(), size_t(kLabelScanBytes));
    for (size_t i = 0; i < n; ++i) {
        const uint8_t c = label[i];
        if (c == kLabelEnd) break;
        if (c == kLabelBreak) {
            items.push_back({LabelItemKind::Break, 0, kBreakHeight, c, 0});
        } else if (IsGlyphCode(c)) {
            GlyphBytes glyph;
            if (ReadGlyph(flash, c - kFirstGlyphCode, glyph))
                items.push_back({LabelItemKind::Glyph, glyph[0], kGlyphRows, c, 0});
        } else if (IsSkippedCode(c)) {
            continue;
        } else if (c >= kLabelIcon) {
            // An icon code whose index byte is missing or is the label's end
            // zero ends the label; the zero is not taken as an index.
            if (i + 1 >= n || label[i + 1] == kLabelEnd) break;
            const uint8_t index = label[++i];
            if (index >= kGlyphCount) return false;
            items.push_back({LabelItemKind::Icon, kIconWidth, kIconHeight, c, index});
        } else {
            break;
        }
    }
    return true;
}

}  // namespace

bool LayoutLabel(const TTiFlashFm& flash, std::span<const uint8_t> label, int width, int height,
                 LabelLayoutResult& out) {
    if (width < kLabelMinWidth || width > kLabelMaxWidth || height < kLabelMinHeight ||
        height > kLabelMaxHeight)
        return false;
    LabelLayoutResult result;
    if (!ReadItems(flash, label, result.items) || result.items.empty()) return false;

    LabelLine line;
    int running = kFirstLineHeight;
    bool stopped = false;
    for (const LabelItem& item : result.items) {
        // A line break, or an item that would end beyond the width, starts a
        // new line; an empty line takes its first item whatever its width.
        if (line.itemCount > 0 && (item.kind == LabelItemKind::Break || line.width + item.width > width)) {
            result.lines.push_back(line);
            running += line.height;
            line = LabelLine{};
            if (running > height) {
                stopped = true;
                break;
            }
        }
        line.width += item.width + 1;
        line.height = std::max(line.height, int(item.height));
        ++line.itemCount;
    }
    if (!stopped && line.itemCount > 0) result.lines.push_back(line);
    out = std::move(result);
    return true;
}

LabelFit FitLabelOnKey(const TTiFlashFm& flash, const KeyInfo& key) {
    LabelFit fit;
    std::vector<LabelItem> items;
    const std::span<const uint8_t> label(key.label.data(), key.label.size());
    if (!ReadItems(flash, label, items)) {
        fit.items = std::max<int>(1, int(items.size()));  // drawn as nothing
        return fit;
    }
    fit.items = int(items.size());
    const KeyCells cells = KeyDrawCells(key);
    const LabelArea area =
        LabelAreaOf(key.ownerDevice == kMacroSlot ? cells.width - 1 : cells.width, cells.height, key.flags);
    LabelLayoutResult layout;
    if (!LayoutLabel(flash, label, area.width, area.height, layout)) return fit;
    for (const LabelLine& line : layout.lines) fit.shown += line.itemCount;
    return fit;
}

LabelArea LabelAreaOf(int widthCells, int heightCells, uint8_t flags) {
    if (flags & kFlagRectangle) return {widthCells * 17 - 6, heightCells * 14 - 4};
    return {widthCells * 17 - 8, 16};
}

bool DrawLabelBitmap(const TTiFlashFm& flash, std::span<const uint8_t> label, int areaWidth, int areaHeight,
                     Rgb ink, Rgb background, Bitmap& out) {
    out = Bitmap(areaWidth, areaHeight, background);
    if (out.Empty()) return false;
    LabelLayoutResult layout;
    if (!LayoutLabel(flash, label, areaWidth, areaHeight, layout)) return false;

    int total = 0;
    for (const LabelLine& line : layout.lines) total += line.height;
    int y = (areaHeight - total) / 2;
    if (y < 0 || y > kLabelMaxHeight) y = 0;

    size_t next = 0;
    for (const LabelLine& line : layout.lines) {
        int x = (areaWidth - line.width) / 2;
        if (x < 0 || x > kLabelMaxWidth) x = 0;
        for (int k = 0; k < line.itemCount && next < layout.items.size(); ++k) {
            const LabelItem& item = layout.items[next++];
            if (item.kind == LabelItemKind::Glyph) {
                GlyphBytes bytes;
                Bitmap glyph;
                if (ReadGlyph(flash, item.code - kFirstGlyphCode, bytes) && DrawGlyph(bytes, ink, background, glyph))
                    out.Blit(glyph, x, line.height > kGlyphRows ? y + kGlyphLineDrop : y);
            } else if (item.kind == LabelItemKind::Icon && item.code == kLabelIcon) {
                IconBytes bytes;
                if (ReadIcon(flash, item.indexByte - 1, bytes)) out.Blit(DrawIcon(bytes, ink, background), x, y);
            }
            x += item.width + 1;
        }
        y += line.height;
    }
    return true;
}

}  // namespace orvalink
