// Where a key lies on the editors' LCD picture, and the colours of its
// drawing states.
//
// The LCD grid has 6 columns of 17 and 8 rows of 14 remote pixels below a
// 24-pixel title area; the editors show it at twice that size, so a cell is
// 34 x 28 editor pixels and the grid starts 48 pixels from the top.
#pragma once

#include <cstdint>

#include "image/KeyRecords.h"
#include "image/LcdBitmaps.h"

namespace orvalink {

inline constexpr int kGridColumns = 6;
inline constexpr int kGridRows = 8;
inline constexpr int kCellWidth = 34;   // editor pixels
inline constexpr int kCellHeight = 28;  // editor pixels
inline constexpr int kGridTop = 48;     // editor pixels

struct KeyCells {
    int column = 0;
    int row = 0;
    int width = 0;
    int height = 0;
    bool operator==(const KeyCells&) const = default;
};

struct EditorRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const EditorRect&) const = default;
};

// Width to 2..6, height to 2..8, then the column to 0..6 - width and the
// row to 0..8 - height.
KeyCells ClampKeyCells(int column, int row, int width, int height);
// The editor rectangle of a key at those cells, after clamping.
EditorRect KeyRect(int column, int row, int width, int height);
// The editor rectangle of a key; a key whose size byte is 0 lies at
// (0, 47) with 68 x 56 pixels.
EditorRect KeyRect(const KeyInfo& key);
// The cells a key is drawn with: its clamped cells, 2 x 2 for size byte 0.
KeyCells KeyDrawCells(const KeyInfo& key);

// Where a key's picture lies on the soft-key panel: its editor rectangle
// moved by (2, 1). A key whose size byte is 0 lies at (0, 47), 68 x 56.
EditorRect KeyPictureRect(int column, int row, int width, int height);
EditorRect KeyPictureRect(const KeyInfo& key);
// The cells a pixel rectangle of the soft-key panel snaps to: whole cells
// from the grid origin, each value raised by one when its remainder is over
// half a cell (x and width over 17, y and height over 14), then clamped as
// ClampKeyCells does.
KeyCells SnapRectToCells(const EditorRect& rect);

// Drawing states of a key (100 to 500); the editors give them their
// meaning. The layout editor draws the first three; 400 and 500 only have
// their colours.
enum : int {
    kStateNormal = 100,
    kStateSelected = 200,
    kStatePressed = 300,
    kStateMarked = 400,
    kStateDimmed = 500,
};

struct StateColours {
    Rgb background = kRgbBlack;  // label background
    Rgb ink = kRgbBlack;         // label ink
    Rgb frame = kRgbBlack;
    bool operator==(const StateColours&) const = default;
};
// The colours of a drawing state; any unknown state is all black.
StateColours StateColoursOf(int state);

}  // namespace orvalink
