// Dragging a key picture: the selection frame, the bounds of a step, the
// frame rule of every zone, the snapping while and after the drag.
#include <gtest/gtest.h>

#include "editors/core/LcdGrid.h"

namespace orvalink {
namespace {

// A 2 x 2 key at column 2, row 2: picture (70, 105) 68 x 56, frame
// (69, 104) 70 x 58.
const KeyCells kStartCells{2, 2, 2, 2};
const EditorRect kStartPicture = KeyPictureRect(2, 2, 2, 2);
const EditorPoint kScreen{500, 400};

KeyDrag DragFrom(EditorPoint press, const EditorRect& picture = kStartPicture, KeyCells cells = kStartCells) {
    KeyDrag drag;
    drag.Begin(picture, press, kScreen, cells);
    return drag;
}

TEST(KeyDragBegin, FrameIsOnePixelLargerOnEverySide) {
    KeyDrag drag = DragFrom({34, 28});
    EXPECT_TRUE(drag.Active());
    EXPECT_EQ(drag.Zone(), kZoneMove);
    EXPECT_EQ(drag.Frame(), (EditorRect{69, 104, 70, 58}));
    EXPECT_EQ(PictureInFrame(drag.Frame()), kStartPicture);
    EXPECT_EQ(drag.Remembered(), (EditorPoint{34, 28}));
}

TEST(KeyDragMove, MovingSnapsAndReportsNewCellsOnce) {
    KeyDrag drag = DragFrom({34, 28});
    // 10 pixels right: still column 2 (remainder 12).
    DragStep s = drag.Move({44, 28});
    ASSERT_TRUE(s.applied);
    EXPECT_EQ(s.frame, (EditorRect{79, 104, 70, 58}));
    EXPECT_EQ(s.picture, (EditorRect{80, 105, 68, 56}));
    EXPECT_FALSE(s.cellsChanged);
    EXPECT_FALSE(s.resized);
    EXPECT_FALSE(s.cursorTo.has_value());
    // The picture moved with the mouse, so the next offset is measured from
    // the same remembered point: 6 more pixels make remainder 18.
    EXPECT_EQ(drag.Remembered(), (EditorPoint{34, 28}));
    s = drag.Move({40, 28});
    ASSERT_TRUE(s.applied);
    EXPECT_EQ(s.picture.left, 86);
    EXPECT_EQ(s.cells, (KeyCells{3, 2, 2, 2}));
    EXPECT_TRUE(s.cellsChanged);
    // The same cells again are no change.
    s = drag.Move({35, 28});
    EXPECT_TRUE(s.applied);
    EXPECT_FALSE(s.cellsChanged);
}

TEST(KeyDragMove, StepsThatLeaveTheBoundsDoNotMove) {
    // Frame (69, 104) 70 x 58: left may go down to -80 (dx -149), right edge
    // up to 288 (dx 149), top down to 35 (dy -69), bottom up to 286 (dy 124).
    struct Row { int dx, dy; bool applied; };
    for (Row r : {Row{-149, 0, true}, Row{-150, 0, false}, Row{149, 0, true}, Row{150, 0, false},
                  Row{0, -69, true}, Row{0, -70, false}, Row{0, 124, true}, Row{0, 125, false}}) {
        KeyDrag drag = DragFrom({34, 28});
        DragStep s = drag.Move({34 + r.dx, 28 + r.dy});
        EXPECT_EQ(s.applied, r.applied) << r.dx << "," << r.dy;
        if (!r.applied) {
            EXPECT_EQ(drag.Frame(), (EditorRect{69, 104, 70, 58}));
            EXPECT_EQ(s.frame, drag.Frame());
            EXPECT_FALSE(s.cellsChanged);
        }
    }
}

TEST(KeyDragMove, AnIgnoredStepCountsTowardsTheNextOne) {
    KeyDrag drag = DragFrom({34, 28});
    EXPECT_FALSE(drag.Move({34 + 200, 28}).applied);
    // Back within reach: the offset still counts from the press.
    DragStep s = drag.Move({34 + 100, 28});
    ASSERT_TRUE(s.applied);
    EXPECT_EQ(s.frame.left, 169);
}

TEST(KeyDragMove, ResizingKeepsTheFarEdgesWithinTheBounds) {
    // Bottom-right corner: the width grows until left + width reaches 288.
    KeyDrag drag = DragFrom({67, 55});
    EXPECT_TRUE(drag.Move({67 + 149, 55}).applied);
    EXPECT_FALSE(drag.Move({67 + 149 + 1, 55}).applied);
    EXPECT_EQ(drag.Frame().left + drag.Frame().width, 288);
}

TEST(KeyDragMove, EveryZoneChangesTheFrameByItsRule) {
    // A step of dx = 5, dy = 4 from a press inside each zone of the 68 x 56
    // picture. The frame starts at (69, 104) 70 x 58. The remembered point
    // takes the new mouse coordinate on each axis whose leading edge stayed.
    struct Row {
        uint8_t zone;
        EditorPoint press;
        EditorRect frame;
        EditorPoint remembered;
    };
    for (Row r : {
             Row{kZoneTopLeft, {2, 2}, {74, 108, 65, 54}, {2, 2}},
             Row{kZoneBottomRight, {65, 53}, {69, 104, 75, 62}, {70, 57}},
             Row{kZoneTopRight, {65, 2}, {69, 108, 75, 54}, {70, 2}},
             Row{kZoneBottomLeft, {2, 53}, {74, 104, 65, 62}, {2, 57}},
             Row{kZoneTop, {34, 2}, {69, 108, 70, 54}, {39, 2}},
             Row{kZoneBottom, {34, 53}, {69, 104, 70, 62}, {39, 57}},
             Row{kZoneLeft, {2, 28}, {74, 104, 65, 58}, {2, 32}},
             Row{kZoneRight, {65, 28}, {69, 104, 75, 58}, {70, 32}},
         }) {
        KeyDrag drag = DragFrom(r.press);
        ASSERT_EQ(drag.Zone(), r.zone);
        DragStep s = drag.Move({r.press.x + 5, r.press.y + 4});
        ASSERT_TRUE(s.applied) << int(r.zone);
        EXPECT_EQ(s.frame, r.frame) << int(r.zone);
        EXPECT_EQ(s.picture, PictureInFrame(r.frame)) << int(r.zone);
        EXPECT_TRUE(s.resized) << int(r.zone);
        ASSERT_TRUE(s.cursorTo.has_value());
        EXPECT_EQ(*s.cursorTo, (EditorPoint{kScreen.x + 5, kScreen.y + 4})) << int(r.zone);
        EXPECT_EQ(drag.Remembered(), r.remembered) << int(r.zone);
    }
    // Moving is not resizing: the whole frame goes along, nothing else.
    KeyDrag drag = DragFrom({34, 28});
    DragStep s = drag.Move({39, 32});
    EXPECT_EQ(s.frame, (EditorRect{74, 108, 70, 58}));
    EXPECT_FALSE(s.resized);
    EXPECT_EQ(drag.Remembered(), (EditorPoint{34, 28}));
}

TEST(KeyDragMove, ConsecutiveResizeStepsAddUp) {
    // Right edge: the picture does not move, so each step is measured from
    // the last mouse position, and the screen cursor goes along.
    KeyDrag drag = DragFrom({65, 28});
    drag.Move({75, 28});
    DragStep s = drag.Move({85, 28});
    EXPECT_EQ(s.frame.width, 70 + 20);
    EXPECT_EQ(*s.cursorTo, (EditorPoint{kScreen.x + 20, kScreen.y}));
    // Left edge: the picture moves with the mouse, whose picture coordinate
    // therefore stays where it was pressed.
    KeyDrag left = DragFrom({2, 28});
    left.Move({-8, 28});
    s = left.Move({-8, 28});  // the picture has come along: ten more to the left
    EXPECT_EQ(s.frame.left, 69 - 20);
    EXPECT_EQ(s.frame.width, 70 + 20);
}

TEST(KeyDragMove, ResizingSnapsTheCells) {
    KeyDrag drag = DragFrom({65, 53});
    // 18 pixels wider and 15 taller: a width remainder of 18, a height one of 15.
    DragStep s = drag.Move({65 + 18, 53 + 15});
    ASSERT_TRUE(s.applied);
    EXPECT_EQ(s.cells, (KeyCells{2, 2, 3, 3}));
    EXPECT_TRUE(s.cellsChanged);
    DragEnd end = drag.End();
    EXPECT_FALSE(drag.Active());
    EXPECT_EQ(end.cells, (KeyCells{2, 2, 3, 3}));
    EXPECT_EQ(end.picture, KeyPictureRect(2, 2, 3, 3));
}

TEST(KeyDragMove, NothingMovesWithoutADragOrAZone) {
    KeyDrag idle;
    EXPECT_FALSE(idle.Move({10, 10}).applied);
    // A press beyond the picture's right edge has no zone.
    KeyDrag outside = DragFrom({68, 10});
    EXPECT_EQ(outside.Zone(), kZoneNone);
    DragStep s = outside.Move({90, 10});
    EXPECT_FALSE(s.applied);
    EXPECT_EQ(s.frame, (EditorRect{69, 104, 70, 58}));
}

TEST(KeyDragEnd, KeyDraggedPastTheRightEdgeEndsAtColumnSixMinusWidth) {
    // A 3-wide key at column 3 moved 60 pixels right would start in column 5.
    const EditorRect picture = KeyPictureRect(3, 0, 3, 2);
    KeyDrag drag = DragFrom({50, 28}, picture, {3, 0, 3, 2});
    DragStep s = drag.Move({110, 28});
    ASSERT_TRUE(s.applied);
    EXPECT_EQ(s.cells, (KeyCells{3, 0, 3, 2}));
    EXPECT_FALSE(s.cellsChanged);
    DragEnd end = drag.End();
    EXPECT_EQ(end.cells.column, 3);
    EXPECT_EQ(end.picture, picture);
}

TEST(KeyDragEnd, AClickPutsThePictureBackOnItsCells) {
    KeyDrag drag = DragFrom({34, 28});
    DragEnd end = drag.End();
    EXPECT_EQ(end.cells, kStartCells);
    EXPECT_EQ(end.picture, kStartPicture);
}

TEST(KeyDragEnd, RightPressSnapsThePresentPlace) {
    // A key with size byte 0 lies at (0, 47); snapped it is a 2 x 2 key at
    // the origin, placed beside the grid lines.
    DragEnd end = KeyDrag::SnapPicture({0, 47, 68, 56});
    EXPECT_EQ(end.cells, (KeyCells{0, 0, 2, 2}));
    EXPECT_EQ(end.picture, (EditorRect{2, 49, 68, 56}));
}

}  // namespace
}  // namespace orvalink
