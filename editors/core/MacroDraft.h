// The steps of a macro key while the key property editor edits them: the
// rows of the step grid, the step operations that arrive from the layout
// editor, and the macro data built from the rows and the timer.
//
// Macro data: byte 0 the block count 1 + (3 x steps + 7) / 8, byte 1 the
// marker 15, bytes 2..6 the timer (kind, month, day, hour, minute), byte 7
// the step count, then device, key and delay of each step; the whole
// rounded up to 8-byte blocks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editors/core/KeyEditing.h"
#include "image/KeyRecords.h"

namespace orvalink {

inline constexpr int kMaxGridSteps = 60;

// One row of the step grid; the "Step" column is the row's number.
struct MacroRow {
    std::string device;  // the device's name
    std::string layout;  // the key's label
    std::string time;    // "0.5" or "1".."10"
    std::string keyNo;
    std::string devNo;
    bool operator==(const MacroRow&) const = default;
};

// "0.5" for delay 0, else the number.
std::string DelayText(int delay);

class MacroDraft {
public:
    const std::vector<MacroRow>& Rows() const { return rows_; }
    int Count() const { return int(rows_.size()); }
    // The selected step (1-based), 0 when none.
    int Selected() const { return selected_; }
    // 80: the selection moves to `step`; false (nothing changes) outside 1..count.
    bool Select(int step);
    void Clear();
    void SetRows(std::vector<MacroRow> rows);

    // 16: a row at the end (refused at 60 rows).
    bool Append(const MacroRow& row);
    // 32: the rows from `step` on move down and the new row takes its place;
    // refused for step 0 or beyond the last step.
    bool Insert(int step, const MacroRow& row);
    // 48: the step's row is rewritten.
    bool Replace(int step, const MacroRow& row);
    // 64: the step's row goes, the rows below move up; the selection stays on
    // the same row number or the new last row.
    bool Remove(int step);
    // Up and Down move the selected step one row and the selection with it.
    bool CanMoveUp() const { return selected_ > 1; }
    bool CanMoveDown() const { return selected_ >= 1 && selected_ < Count(); }
    bool MoveUp();
    bool MoveDown();
    // The time column of a step (the layout editor's delay box changed).
    bool SetTime(int step, const std::string& text);

private:
    std::vector<MacroRow> rows_;
    int selected_ = 0;
};

// The macro data of the rows and the timer; nothing when a cell is not a
// number or a step does not fit its byte (device above 64, key above 63,
// delay above 10, more than 60 steps).
std::optional<std::vector<uint8_t>> BuildMacroData(const std::vector<MacroRow>& rows, const TimerBytes& timer);

// A step as the key's macro data holds it.
struct MacroDataStep {
    int device = 0, key = 0, delay = 0;
    bool operator==(const MacroDataStep&) const = default;
};
struct MacroData {
    TimerBytes timer;
    std::vector<MacroDataStep> steps;
};
// The macro data of a key's code blocks: nothing when there is none (no
// code, or the second byte is not 15). Steps that lie beyond the blocks the
// key holds are left out.
std::optional<MacroData> ParseMacroData(const KeyInfo& key);

// Stores built macro data as the key's code blocks and block count.
void StoreMacroData(const std::vector<uint8_t>& data, KeyInfo& key);

}  // namespace orvalink
