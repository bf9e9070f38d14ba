#include "image/KeyGeometry.h"

#include <algorithm>

namespace orvalink {

KeyCells ClampKeyCells(int column, int row, int width, int height) {
    KeyCells c;
    c.width = std::clamp(width, 2, kGridColumns);
    c.height = std::clamp(height, 2, kGridRows);
    c.column = std::clamp(column, 0, kGridColumns - c.width);
    c.row = std::clamp(row, 0, kGridRows - c.height);
    return c;
}

EditorRect KeyRect(int column, int row, int width, int height) {
    KeyCells c = ClampKeyCells(column, row, width, height);
    return {c.column * kCellWidth, c.row * kCellHeight + kGridTop, c.width * kCellWidth, c.height * kCellHeight};
}

EditorRect KeyRect(const KeyInfo& key) {
    if (key.size == 0) return {0, kGridTop - 1, 2 * kCellWidth, 2 * kCellHeight};
    return KeyRect(key.column, key.row, key.width, key.height);
}

KeyCells KeyDrawCells(const KeyInfo& key) {
    if (key.size == 0) return {0, 0, 2, 2};
    return ClampKeyCells(key.column, key.row, key.width, key.height);
}

EditorRect KeyPictureRect(int column, int row, int width, int height) {
    EditorRect r = KeyRect(column, row, width, height);
    r.left += 2;
    r.top += 1;
    return r;
}

EditorRect KeyPictureRect(const KeyInfo& key) {
    if (key.size == 0) return {0, kGridTop - 1, 2 * kCellWidth, 2 * kCellHeight};
    return KeyPictureRect(key.column, key.row, key.width, key.height);
}

KeyCells SnapRectToCells(const EditorRect& rect) {
    // Integer division truncates towards zero, so a rectangle reaching left
    // of or above the grid gives a remainder of its own sign and is not
    // raised; the clamping then puts it at 0.
    auto cells = [](int pixels, int cell) { return pixels / cell + (pixels % cell > cell / 2 ? 1 : 0); };
    return ClampKeyCells(cells(rect.left, kCellWidth), cells(rect.top - kGridTop, kCellHeight),
                         cells(rect.width, kCellWidth), cells(rect.height, kCellHeight));
}

StateColours StateColoursOf(int state) {
    switch (state) {
        case kStateNormal: return {kRgbWhite, kRgbBlack, kRgbBlue};
        case kStateSelected: return {kRgbWhite, kRgbRed, kRgbRed};
        case kStatePressed: return {kRgbYellow, kRgbBlack, kRgbRed};
        case kStateMarked: return {kRgbGreen, kRgbBlack, kRgbRed};
        case kStateDimmed: return {kRgbWhite, kRgbBlack, kRgbSilver};
        default: return {kRgbBlack, kRgbBlack, kRgbBlack};
    }
}

}  // namespace orvalink
