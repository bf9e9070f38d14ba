// Macro records: the record behind a key of the Macro device (slot 65), as
// far as the record itself goes. The meaning of the timer and the steps, the
// limit of 60 steps and the editing belong to the macro editor.
//
// Record: byte 0 size in blocks (1 + (3 x steps + 7) / 8, at most 25), byte 1
// the marker 15, byte 2 timer kind, bytes 3-6 month, day, hour and minute of
// a dated timer, byte 7 step count (1..64), then 3 bytes per step: device
// slot (0..64), key number (0..63), delay.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr int kMaxMacroSteps = 64;
inline constexpr int kMaxMacroBlocks = 25;

struct MacroStep {
    uint8_t device = 0;  // 0..64
    uint8_t key = 0;     // 0..63
    uint8_t delay = 0;   // 0 = 0.5 s, else seconds
    bool operator==(const MacroStep&) const = default;
};

struct MacroInfo {
    uint8_t size = 0;       // blocks of the record
    uint8_t timerKind = 0;  // carried as stored; the macro editor gives it its meaning
    uint8_t month = 0, day = 0, hour = 0, minute = 0;  // carried as stored
    uint8_t stepCount = 0;  // 1..64
    std::array<MacroStep, kMaxMacroSteps> steps{};
};

// Blocks a macro of `steps` steps takes: 1 + (3 x steps + 7) / 8.
int MacroBlocks(int steps);

// Fails when the size is outside 1..25 or too small for the steps, the marker
// is not 15, the step count is outside 1..64 or a step names a device above
// 64 or a key above 63. The timer bytes are taken as they are.
bool UnpackMacro(std::span<const uint8_t> record, MacroInfo& info);
// Packs MacroBlocks(stepCount) blocks (the size field is recomputed; the
// bytes after the last step are 0xFF); same checks as UnpackMacro.
bool PackMacro(const MacroInfo& info, std::vector<uint8_t>& record);

// The macro behind a key of the Macro device, through the raw records.
bool ReadMacro(const TTiFlashFm& flash, int key, MacroInfo& info);
// When there is no room the key keeps its old record and false is returned.
bool WriteMacro(TTiFlashFm& flash, int key, const MacroInfo& info);
// Frees the macro record behind a key of the Macro device.
bool DeleteMacro(TTiFlashFm& flash, int key);

}  // namespace orvalink
