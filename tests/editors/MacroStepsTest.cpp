// Recording macro steps by clicking keys: the cursor's bounds, the 60-step
// limit, the delay box's texts and stepping through the steps with wrap.
#include <gtest/gtest.h>

#include "editors/core/MacroSteps.h"
#include "image/Tiflashut.h"

namespace orvalink {
namespace {

MacroStepCursor Cursor(uint16_t operation, uint16_t step, uint16_t total) {
    MacroStepCursor c;
    c.operation = operation;
    c.step = step;
    c.total = total;
    return c;
}

TEST(StepCursor, AcceptedOnlyWithinItsBounds) {
    MacroStepCursor ok{64, 64, 10, 64, 64, kStepNew};
    EXPECT_TRUE(StepCursorAcceptable(ok));
    for (auto bad : {MacroStepCursor{65, 0, 0, 1, 0, 16}, MacroStepCursor{0, 65, 0, 1, 0, 16},
                     MacroStepCursor{0, 0, 11, 1, 0, 16}, MacroStepCursor{0, 0, 0, 65, 0, 16},
                     MacroStepCursor{0, 0, 0, 1, 65, 16}})
        EXPECT_FALSE(StepCursorAcceptable(bad));
}

TEST(StepWindow, OpensHomeAndTheDevicesButNotMacroNorTheShownOne) {
    struct Case {
        int device;
        int shown;
        bool opens;
    };
    for (const Case& c : {Case{kHomeSlot, 3, true}, Case{1, kHomeSlot, true}, Case{kLastDeviceSlot, 1, true},
                          Case{7, 7, false}, Case{kHomeSlot, kHomeSlot, false}, Case{kMacroSlot, 1, false},
                          Case{kLastDeviceSlot + 1, 1, false}, Case{-1, 1, false}, Case{1000, 1, false}})
        EXPECT_EQ(StepWindowOpensDevice(c.device, c.shown), c.opens) << c.device << " shown " << c.shown;
}

TEST(RecordStep, NewAppendsAndCounts) {
    MacroStepCursor c = Cursor(kStepNew, 3, 2);
    StepRecordOutcome out = RecordStep(c, 4, 17, 2);
    ASSERT_EQ(out.result, StepRecord::Handed);
    EXPECT_TRUE(out.countersMoved);
    EXPECT_EQ(out.handed.step, 3);  // handed at the step it goes to
    EXPECT_EQ(out.handed.device, 4);
    EXPECT_EQ(out.handed.key, 17);
    EXPECT_EQ(out.handed.delay, 2);
    EXPECT_EQ(c.step, 4);
    EXPECT_EQ(c.total, 3);
}

TEST(RecordStep, TheSixtyFirstStepIsRefusedAndNothingCounts) {
    for (uint16_t op : {kStepNew, kStepInsert}) {
        MacroStepCursor c = Cursor(op, 61, 60);
        StepRecordOutcome out = RecordStep(c, 1, 8, 0);
        EXPECT_EQ(out.result, StepRecord::OutOfSteps);
        EXPECT_EQ(c.total, 60);
        EXPECT_EQ(c.step, 61);
        // One below the limit still records.
        MacroStepCursor d = Cursor(op, 5, 59);
        EXPECT_EQ(RecordStep(d, 1, 8, 0).result, StepRecord::Handed);
        EXPECT_EQ(d.total, 60);
    }
}

TEST(RecordStep, EditReplacesWithoutCountingAndOthersRecordNothing) {
    MacroStepCursor c = Cursor(kStepEdit, 2, 5);
    StepRecordOutcome out = RecordStep(c, 0, 6, 1);
    EXPECT_EQ(out.result, StepRecord::Handed);
    EXPECT_FALSE(out.countersMoved);
    EXPECT_EQ(c.step, 2);
    EXPECT_EQ(c.total, 5);
    for (uint16_t op : {uint16_t(kStepDelete), uint16_t(kStepSelect), uint16_t(0)}) {
        MacroStepCursor d = Cursor(op, 2, 5);
        EXPECT_EQ(RecordStep(d, 0, 6, 1).result, StepRecord::Ignored);
        EXPECT_EQ(d.total, 5);
    }
}

TEST(DelayBox, ItemsAndRecordedTexts) {
    const auto items = DelayItems();
    ASSERT_EQ(items.size(), 11u);
    EXPECT_EQ(items.front(), "0.5");
    EXPECT_EQ(items.back(), "10");
    EXPECT_EQ(DelayOfRecordedText("0.5"), 0);
    EXPECT_EQ(DelayOfRecordedText("0.3"), 0);
    EXPECT_EQ(DelayOfRecordedText("7"), 7);
    EXPECT_EQ(DelayOfRecordedText("10"), 10);
    EXPECT_EQ(DelayOfRecordedText("11"), 0);
    EXPECT_EQ(DelayOfRecordedText("slow"), 0);
}

TEST(DelayBox, ChangedTextIsTrimmedAndThreeCharactersMeanHalfASecond) {
    EXPECT_EQ(TrimmedDelayText("  4 "), "4");
    EXPECT_EQ(DelayOfChangedText("  4 "), 4);
    EXPECT_EQ(DelayOfChangedText("0.5"), 0);
    EXPECT_EQ(DelayOfChangedText(" 0.7 "), 0);  // any three characters
    EXPECT_EQ(DelayOfChangedText("10"), 10);
    EXPECT_EQ(DelayOfChangedText("12"), 0);
    EXPECT_EQ(DelayOfChangedText(""), 0);
}

TEST(StepView, UpAndDownWrapBothWays) {
    MacroStepCursor c = Cursor(kStepSelect, 1, 4);
    ASSERT_TRUE(MoveStepCursor(c, -1));
    EXPECT_EQ(c.step, 4);
    ASSERT_TRUE(MoveStepCursor(c, +1));
    EXPECT_EQ(c.step, 1);
    ASSERT_TRUE(MoveStepCursor(c, +1));
    EXPECT_EQ(c.step, 2);
    MacroStepCursor edit = Cursor(kStepEdit, 2, 4);
    EXPECT_FALSE(MoveStepCursor(edit, +1));
    EXPECT_EQ(edit.step, 2);
    MacroStepCursor empty = Cursor(kStepSelect, 1, 0);
    EXPECT_FALSE(MoveStepCursor(empty, -1));
}

}  // namespace
}  // namespace orvalink
