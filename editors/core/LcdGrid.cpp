#include "editors/core/LcdGrid.h"

#include <algorithm>

namespace orvalink {

namespace {

constexpr int kCornerDepth = 7;   // corners and edge middles reach this far in
constexpr int kMiddleHalf = 3;    // edge middles: 3 pixels either side of the middle

// The drag bounds of the selection frame.
constexpr int kDragLeft = -80;
constexpr int kDragRight = 288;
constexpr int kDragTop = 35;
constexpr int kDragBottom = 286;

// The page strip.
constexpr int kStripTop = 276;
constexpr int kStripBottom = 321;
constexpr int kPreviousLeft = 1;
constexpr int kPreviousRight = 76;
constexpr int kNextLeft = 130;
constexpr int kNextRight = 204;

constexpr Rgb kGridSilver = kRgbSilver;
constexpr int kTitleLineY = 43;

}  // namespace

std::vector<LcdLine> EmptyLcdLines(bool gridShown) {
    const Rgb grid = gridShown ? kGridSilver : kRgbWhite;
    // Each horizontal double line takes the pixel row above a row of cells
    // and its first; the picture of a key starts below it (top + 1).
    const int top = kGridTop - 1;                           // 47
    const int bottom = top + kGridRows * kCellHeight + 2;   // 273
    const int right = kGridColumns * kCellWidth + 1;        // 205
    std::vector<LcdLine> lines;
    for (int c = 0; c <= kGridColumns; ++c) {
        const int x = c * kCellWidth;
        lines.push_back({x, top, x, bottom, grid});
        lines.push_back({x + 1, top, x + 1, bottom, grid});
    }
    for (int r = 0; r <= kGridRows; ++r) {
        const int y = top + r * kCellHeight;
        lines.push_back({0, y, right, y, grid});
        lines.push_back({0, y + 1, right, y + 1, grid});
    }
    lines.push_back({1, kTitleLineY, right, kTitleLineY, kRgbBlue});
    lines.push_back({1, kTitleLineY + 1, right, kTitleLineY + 1, kRgbBlue});
    return lines;
}

std::string PageLabelText(int page) { return std::to_string(page + 1) + "/8"; }

PageStripHit HitPageStrip(int x, int y) {
    if (y < kStripTop || y > kStripBottom) return PageStripHit::None;
    if (x >= kPreviousLeft && x <= kPreviousRight) return PageStripHit::Previous;
    if (x >= kNextLeft && x <= kNextRight) return PageStripHit::Next;
    return PageStripHit::None;
}

int StepPage(int page, PageStripHit hit) {
    switch (hit) {
        case PageStripHit::Previous: return page <= 0 ? kLcdPages - 1 : page - 1;
        case PageStripHit::Next: return page >= kLcdPages - 1 ? 0 : page + 1;
        case PageStripHit::None: break;
    }
    return page;
}

uint8_t ZoneOf(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0 || x >= width || y >= height) return kZoneNone;
    const bool left = x < kCornerDepth;
    const bool right = x > width - kCornerDepth;
    const bool top = y < kCornerDepth;
    const bool bottom = y > height - kCornerDepth;
    const bool middleX = x > width / 2 - kMiddleHalf && x <= width / 2 + kMiddleHalf;
    const bool middleY = y > height / 2 - kMiddleHalf && y <= height / 2 + kMiddleHalf;
    if (left && top) return kZoneTopLeft;
    if (right && bottom) return kZoneBottomRight;
    if (right && top) return kZoneTopRight;
    if (left && bottom) return kZoneBottomLeft;
    if (middleX && top) return kZoneTop;
    if (middleX && bottom) return kZoneBottom;
    if (middleY && left) return kZoneLeft;
    if (middleY && right) return kZoneRight;
    return kZoneMove;
}

CursorShape CursorOfZone(uint8_t zone) {
    switch (zone) {
        case kZoneTopLeft:
        case kZoneBottomRight: return CursorShape::NwSe;
        case kZoneTopRight:
        case kZoneBottomLeft: return CursorShape::NeSw;
        case kZoneTop:
        case kZoneBottom: return CursorShape::Vertical;
        case kZoneLeft:
        case kZoneRight: return CursorShape::Horizontal;
        case kZoneMove: return CursorShape::Move;
        default: return CursorShape::None;
    }
}

EditorRect FrameAround(const EditorRect& picture) {
    return {picture.left - 1, picture.top - 1, picture.width + 2, picture.height + 2};
}

EditorRect PictureInFrame(const EditorRect& frame) {
    return {frame.left + 1, frame.top + 1, std::max(0, frame.width - 2), std::max(0, frame.height - 2)};
}

KeyCells SnapFrame(const EditorRect& frame) { return SnapRectToCells(PictureInFrame(frame)); }

bool FrameWithinDragBounds(const EditorRect& frame) {
    return frame.left >= kDragLeft && frame.left + frame.width <= kDragRight && frame.top >= kDragTop &&
           frame.top + frame.height <= kDragBottom;
}

EditorRect ResizeFrame(uint8_t zone, const EditorRect& frame, int dx, int dy) {
    EditorRect f = frame;
    switch (zone) {
        case kZoneTopLeft: f.left += dx; f.top += dy; f.width -= dx; f.height -= dy; break;
        case kZoneBottomRight: f.width += dx; f.height += dy; break;
        case kZoneTopRight: f.top += dy; f.width += dx; f.height -= dy; break;
        case kZoneBottomLeft: f.left += dx; f.width -= dx; f.height += dy; break;
        case kZoneTop: f.top += dy; f.height -= dy; break;
        case kZoneBottom: f.height += dy; break;
        case kZoneLeft: f.left += dx; f.width -= dx; break;
        case kZoneRight: f.width += dx; break;
        default: break;
    }
    return f;
}

void KeyDrag::Begin(const EditorRect& picture, EditorPoint mouse, EditorPoint screen, const KeyCells& keyCells) {
    active_ = true;
    zone_ = ZoneOf(mouse.x, mouse.y, picture.width, picture.height);
    frame_ = FrameAround(picture);
    remembered_ = mouse;
    screen_ = screen;
    keyCells_ = keyCells;
}

DragStep KeyDrag::Move(EditorPoint mouse) {
    DragStep step;
    step.frame = frame_;
    step.picture = PictureInFrame(frame_);
    step.cells = keyCells_;
    if (!active_ || zone_ == kZoneNone) return step;

    const int dx = mouse.x - remembered_.x;
    const int dy = mouse.y - remembered_.y;
    const bool moving = zone_ == kZoneMove;
    EditorRect next = frame_;
    if (moving) {
        next.left += dx;
        next.top += dy;
    } else {
        next = ResizeFrame(zone_, frame_, dx, dy);
    }
    if (!FrameWithinDragBounds(next)) return step;

    const EditorRect before = frame_;
    frame_ = next;
    step.applied = true;
    step.frame = frame_;
    step.picture = PictureInFrame(frame_);
    step.cells = SnapFrame(frame_);
    step.cellsChanged = step.cells != keyCells_;
    keyCells_ = step.cells;
    if (!moving) {
        step.resized = true;
        // The cursor follows the edge it pulls; the remembered screen
        // position goes along, so the next step starts from there.
        screen_ = {screen_.x + dx, screen_.y + dy};
        step.cursorTo = screen_;
        // Where the picture's left or top edge did not move, picture
        // coordinates still count from the same place: the new mouse
        // position is the one the next step is measured from. Where it
        // moved, the picture came along with the mouse.
        if (frame_.left == before.left) remembered_.x = mouse.x;
        if (frame_.top == before.top) remembered_.y = mouse.y;
    }
    return step;
}

DragEnd KeyDrag::End() {
    DragEnd end = SnapPicture(PictureInFrame(frame_));
    active_ = false;
    zone_ = kZoneNone;
    return end;
}

DragEnd KeyDrag::SnapPicture(const EditorRect& picture) {
    DragEnd end;
    end.cells = SnapRectToCells(picture);
    end.picture = KeyPictureRect(end.cells.column, end.cells.row, end.cells.width, end.cells.height);
    return end;
}

}  // namespace orvalink
