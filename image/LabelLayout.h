// Key labels on the LCD: how the label codes become items and lines inside
// a label area, and the label drawn at remote size.
//
// Label codes: 0 ends the label, 13 breaks the line, 32..175 are the glyphs
// 0..143, 176..182 have no glyph and are skipped, 240 followed by an index
// byte n is icon n - 1. A code of 240 or more always takes an index byte and
// the room of an icon; only code 240 draws one. Any other code ends the label.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/KeyRecords.h"
#include "image/LcdBitmaps.h"
#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr uint8_t kLabelEnd = 0;
inline constexpr uint8_t kLabelBreak = 13;
inline constexpr uint8_t kLabelIcon = 240;
inline constexpr int kLabelScanBytes = 256;  // label bytes a layout reads at most

// Bounds of a label area in remote pixels.
inline constexpr int kLabelMinWidth = 20;
inline constexpr int kLabelMaxWidth = 102;
inline constexpr int kLabelMinHeight = 16;
inline constexpr int kLabelMaxHeight = 112;

enum class LabelItemKind : uint8_t { Glyph, Icon, Break };

struct LabelItem {
    LabelItemKind kind = LabelItemKind::Glyph;
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t code = 0;       // the label code
    uint8_t indexByte = 0;  // the byte after an icon code (icon indexByte - 1); 0 otherwise
    bool operator==(const LabelItem&) const = default;
};

struct LabelLine {
    int width = 0;   // sum of item width + 1 over its items
    int height = 0;  // its tallest item
    int itemCount = 0;
    bool operator==(const LabelLine&) const = default;
};

struct LabelLayoutResult {
    std::vector<LabelItem> items;  // every item read from the label, in order
    std::vector<LabelLine> lines;  // the lines, taking their items in order
};

// Lays a label out in an area of width 20..102 and height 16..112 remote
// pixels. Fails (out untouched) for an area outside those bounds, an icon
// index byte of 144 or more, or a label without items. Glyphs that cannot be
// read are skipped. Lines stop once the height laid out so far plus 10
// exceeds the area height; the line that got there is kept.
bool LayoutLabel(const TTiFlashFm& flash, std::span<const uint8_t> label, int width, int height,
                 LabelLayoutResult& out);

struct LabelArea {
    int width = 0;
    int height = 0;
};
// The label area of a key of the given cells: width cells x 17 - 6 by
// height cells x 14 - 4 for rectangle-shaped keys (flags bit 2), width
// cells x 17 - 8 by 16 for the others.
LabelArea LabelAreaOf(int widthCells, int heightCells, uint8_t flags);

// How much of its label a key shows on the LCD: the label's items, and those
// on the lines its label area takes (a Macro-device key loses a cell to its
// mark column). A label that cannot be laid out shows nothing.
struct LabelFit {
    int items = 0;
    int shown = 0;
    bool Whole() const { return shown >= items; }
};
LabelFit FitLabelOnKey(const TTiFlashFm& flash, const KeyInfo& key);

// The label drawn into an area of its own size: filled with the background,
// the lines centred, glyphs 3 pixels lower in a line taller than they are.
// `out` is always the filled area (empty for an area without pixels); the
// result tells whether the label could be laid out, and when not the area
// holds the background alone.
bool DrawLabelBitmap(const TTiFlashFm& flash, std::span<const uint8_t> label, int areaWidth, int areaHeight,
                     Rgb ink, Rgb background, Bitmap& out);

}  // namespace orvalink
