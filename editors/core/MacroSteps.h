// The macro step cursor of a layout editor that records or shows the steps
// of a macro, and the rules of recording a step, of the delay box and of
// stepping through the steps.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

// Step operations: what a recorded step does to the macro.
enum StepOperation : uint16_t {
    kStepNew = 16,     // append
    kStepInsert = 32,  // insert before the current step
    kStepEdit = 48,    // replace the current step
    kStepDelete = 64,
    kStepSelect = 80,
};

inline constexpr int kMaxRecordedSteps = 60;
inline constexpr int kMaxStepDelay = 10;
inline constexpr const char* kOutOfStepsText = "Out of MACRO steps ! ( Max step is 60 step ) ";

struct MacroStepCursor {
    uint8_t device = 0;      // 0..64
    uint8_t key = 0;         // 0..64
    uint8_t delay = 0;       // 0 = 0.5 s, else whole seconds 1..10
    uint16_t step = 1;       // the current step, counted from 1
    uint16_t total = 0;      // steps the macro holds
    uint16_t operation = 0;  // StepOperation
    bool operator==(const MacroStepCursor&) const = default;
};

// A cursor handed over by the key property editor is taken only when device
// <= 64, key <= 64, delay <= 10, step <= 64 and total <= 64.
bool StepCursorAcceptable(const MacroStepCursor& cursor);

// A step window's device tree and device box open another device: Home or
// one of the devices 1..64 (kLastDeviceSlot), and not `shown`, the one the
// window shows already (the Macro device and anything else are not opened).
bool StepWindowOpensDevice(int device, int shown);

// The items of the delay box: "0.5", "1" .. "10".
std::vector<std::string> DelayItems();
// The delay a recorded step takes from the box's text: "0.5" and "0.3" give
// 0, any other text its whole number (0 when it is none or above 10).
int DelayOfRecordedText(std::string_view text);
// The box's text without blanks at either end.
std::string TrimmedDelayText(std::string_view text);
// The delay when the box changes: the trimmed text; three characters (such
// as "0.5") or a value above 10 give 0, otherwise its whole number.
int DelayOfChangedText(std::string_view text);

enum class StepRecord {
    Handed,      // the step goes to the key property editor
    OutOfSteps,  // 60 steps already: say so, then save as Save does
    Ignored,     // the operation records nothing
};

struct StepRecordOutcome {
    StepRecord result = StepRecord::Ignored;
    // The step handed over: device, key and delay of the click, at the
    // current step before the counters moved on.
    MacroStepCursor handed;
    bool countersMoved = false;  // New and Insert: current step and total went up by one
};

// A click on key `key` of device `device` while recording: the cursor takes
// the key and the delay; New and Insert hand the step over and count it (or
// refuse at 60 steps), Edit hands it over without counting, the others record
// nothing.
StepRecordOutcome RecordStep(MacroStepCursor& cursor, int device, int key, int delay);

// Up (-1) and Down (+1) of the step view: the current step moves by one,
// wrapping below 1 to the total and above the total to 1. False (nothing
// moves) for the Edit operation or a macro without steps.
bool MoveStepCursor(MacroStepCursor& cursor, int direction);

}  // namespace orvalink
