// The soft-key LCD of the layout editor as plain geometry: the picture and
// what is drawn on it when it is empty, the page strip at its foot, the
// zones of a key picture that pick moving or resizing, and the drag of a
// key from button-down to button-up. The window only captures the mouse,
// sets cursor shapes and paints what these give it.
//
// Coordinates are editor pixels: "panel" coordinates are those of the
// soft-key panel (the LCD picture's own coordinates), "picture" coordinates
// those of one key picture, "screen" those of the desktop.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/KeyGeometry.h"
#include "image/LcdBitmaps.h"

namespace orvalink {

inline constexpr int kLcdPictureWidth = 206;   // m_SoftImg
inline constexpr int kLcdPictureHeight = 321;
inline constexpr int kLcdPanelWidth = 208;     // m_SoftKeyPal
inline constexpr int kLcdPanelHeight = 323;
inline constexpr int kLcdPages = 8;            // pages 0..7; hard keys carry page 8

struct EditorPoint {
    int x = 0;
    int y = 0;
    bool operator==(const EditorPoint&) const = default;
};

// ---------------------------------------------------------------------------
// The empty LCD.

// One straight line of the empty LCD, from (x1, y1) to (x2, y2).
struct LcdLine {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    Rgb colour = kRgbBlack;
    bool operator==(const LcdLine&) const = default;
};

// The lines of the empty LCD (drawn on a white background): the grid as
// double lines, silver when shown and white when hidden, and the blue double
// line under the title area.
std::vector<LcdLine> EmptyLcdLines(bool gridShown);

inline constexpr EditorPoint kPageStripAt{1, 274};   // where the page strip picture goes
inline constexpr const char* kPageStripFile = "gird_RL_2.bmp";  // in the program folder
inline constexpr EditorPoint kPageLabelAt{86, 284};  // the page label, Arial
inline constexpr int kPageLabelCharHeight = 22;

// "1/8" .. "8/8" for pages 0..7.
std::string PageLabelText(int page);

// ---------------------------------------------------------------------------
// The page strip.

enum class PageStripHit { None, Previous, Next };

// What a left click on the LCD picture (outside every key) at panel point
// (x, y) does: y 276..321 with x 1..76 goes back a page, with x 130..204
// forward; anything else does nothing.
PageStripHit HitPageStrip(int x, int y);
// The page after a step, wrapping 0 <-> 7; None leaves the page as it is.
int StepPage(int page, PageStripHit hit);

// ---------------------------------------------------------------------------
// Zones of a key picture.

enum KeyZone : uint8_t {
    kZoneNone = 0,
    kZoneTopLeft = 10,
    kZoneBottomRight = 20,
    kZoneTopRight = 30,
    kZoneBottomLeft = 40,
    kZoneTop = 50,
    kZoneBottom = 60,
    kZoneLeft = 70,
    kZoneRight = 80,
    kZoneMove = 90,
};

enum class CursorShape { None, NwSe, NeSw, Vertical, Horizontal, Move };

// The zone of picture point (x, y) in a picture of width x height: the
// corners and edge middles (7 pixels deep, edge middles 6 wide around the
// middle) resize, the rest moves. A point at or beyond the right or bottom
// edge, or a picture without area, has no zone; a point left of or above
// the picture (the mouse is captured) counts as lying on that edge.
uint8_t ZoneOf(int x, int y, int width, int height);
CursorShape CursorOfZone(uint8_t zone);

// ---------------------------------------------------------------------------
// The selection frame and the drag.

// The selection frame around a picture: one pixel larger on every side.
EditorRect FrameAround(const EditorRect& picture);
// The picture inside a frame (at (1, 1) in the frame; sizes never below 0).
EditorRect PictureInFrame(const EditorRect& frame);
// The rectangle a frame snaps by: its picture's place and size.
KeyCells SnapFrame(const EditorRect& frame);
// Whether a frame lies within the drag bounds: left >= -80,
// left + width <= 288, top >= 35, top + height <= 286.
bool FrameWithinDragBounds(const EditorRect& frame);
// The frame after a resizing step of (dx, dy) in zone 10..80; any other zone
// leaves it as it is.
EditorRect ResizeFrame(uint8_t zone, const EditorRect& frame, int dx, int dy);

// One mouse move of a drag.
struct DragStep {
    bool applied = false;    // false: no drag, no zone, or the step would leave the bounds
    EditorRect frame;        // the selection frame, panel coordinates
    EditorRect picture;      // the key picture, panel coordinates (at (1, 1) in the frame)
    bool resized = false;    // zones 10..80: the picture took a new size; clear it and draw it selected
    KeyCells cells;          // the cells the frame snaps to
    bool cellsChanged = false;  // they differ from the key's: store them and mark the window modified
    std::optional<EditorPoint> cursorTo;  // zones 10..80: put the screen cursor here
};

// The end of a drag (button up), or the snap of a right press.
struct DragEnd {
    KeyCells cells;     // the snapped cells
    EditorRect picture; // where the picture goes back on the panel, with its size
};

// A left-button drag of one key picture. Begin at button-down, Move on every
// mouse move with the button held, End at button-up. The key's cells change
// during the moves only (DragStep::cellsChanged); End gives the place the
// picture returns to.
class KeyDrag {
public:
    // picture: the key picture on the panel; mouse: the press in picture
    // coordinates; screen: the cursor on screen; keyCells: the key's cells
    // as it holds them. The zone is that of the press.
    void Begin(const EditorRect& picture, EditorPoint mouse, EditorPoint screen, const KeyCells& keyCells);
    // A move to `mouse` in the picture's coordinates (the picture moves and
    // resizes with the frame, so they are relative to where it is now).
    DragStep Move(EditorPoint mouse);
    // Button up: the frame's snapped cells and the picture's place. The drag
    // is over.
    DragEnd End();
    // A right press: the picture's present place snapped, no drag.
    static DragEnd SnapPicture(const EditorRect& picture);

    bool Active() const { return active_; }
    uint8_t Zone() const { return zone_; }
    const EditorRect& Frame() const { return frame_; }
    EditorPoint Remembered() const { return remembered_; }
    EditorPoint Screen() const { return screen_; }

private:
    bool active_ = false;
    uint8_t zone_ = kZoneNone;
    EditorRect frame_;
    EditorPoint remembered_;
    EditorPoint screen_;
    KeyCells keyCells_;
};

}  // namespace orvalink
