// The rules of the key property editor that do not depend on the window:
// what a change of key type asks and does, the device type names and their
// code ranges, which pages each editor mode and key type shows, how OK
// writes the attributes into the key, and the timer of a macro key.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "image/KeyRecords.h"
#include "image/LearnedCodes.h"

namespace orvalink {

// The type radios m_R01..m_R05; kNoRadio when none is selected (a label key
// that carries a code).
enum TypeRadio : int {
    kNoRadio = 0,
    kRadioLabel = 1,
    kRadioIrCode = 2,
    kRadioDevice = 3,
    kRadioMacro = 4,
    kRadioCycle = 5,
};

// The radio a key shows when it is loaded.
TypeRadio RadioOfKey(const KeyInfo& key);
// The key type a radio stores.
uint8_t KeyTypeOfRadio(TypeRadio radio);

// What a click on another type radio asks and does.
struct TypeChange {
    std::string question;        // empty: nothing is asked
    bool askedWhileLoading = false;  // leaving Device: asked even while a key is loaded
    bool erase = false;          // the code block count and the 3,000 bytes after it become 0xFF
    bool deleteChild = false;    // the device named in "Device No:" loses its keys
    bool deviceTypeTv = false;   // the device type box shows "TV"
};
TypeChange TypeChangeRule(TypeRadio from, TypeRadio to);

// Sets the code block count and every code block byte to 0xFF; a cycle
// key's steps go with them.
void EraseKeyCode(KeyInfo& key);

// A number "Device No:" may name as the Device key's child: a device slot,
// 1..64 (not Home, not Macro).
bool IsChildDevice(int number);

// ---- The key's code blocks.
// A key holds code blocks (an IR code, macro data, a cycle list) unless its
// code block count is 0 or 0xFF.
bool HasKeyCode(const KeyInfo& key);
// The IR code record in the key's code blocks (as many as its count, within
// the room); false when the key holds none or the blocks are no record.
bool KeyIrCode(const KeyInfo& key, IrCodeInfo& code);
// A learned code as the key's code: converted to the stored record, packed
// into the first code blocks (every other code block byte 0xFF) and counted.
// False, and the key untouched, when the code does not convert or pack.
bool StoreLearnedCode(const LearnedCode& learned, KeyInfo& key, IrCodeInfo& stored);

// ---- Device types and pre-program code numbers.
// The items of the device type box, in order.
const std::vector<std::string>& DeviceTypeNames();
// The first code number a device type name stands for (0 for a name that is
// none of them).
int FirstCodeOfType(const std::string& name);
// The device type name a code number is shown under.
std::string TypeNameOfCode(int code);

// ---- Pages and controls shown for an editor mode and a type radio.
struct PageShowing {
    bool attributePage = true;
    bool codePage = false;
    bool macroPage = false;
    bool timerPage = false;
    bool timerEnabled = false;
    bool cyclePage = false;
    bool labelPage = false;
    bool shapeGroup = false;
    bool attributePanel = false;
    bool keyNumberEnabled = true;
    bool labelRadioEnabled = true;
    bool deviceRadioEnabled = true;
    bool operator==(const PageShowing&) const = default;
};
PageShowing PagesFor(int editorMode, TypeRadio radio);

// ---- OK: the attributes written into the key.
struct AttributeInput {
    int editorMode = 100;
    TypeRadio radio = kRadioIrCode;
    bool positionRight = false;
    bool shapeRect = false;
    bool backgroundWhite = false;
    std::vector<uint8_t> label;  // the encoded label without its terminator
    std::optional<int> deviceNumber;  // "Device No:"; nothing when the box is empty or no number
    std::string deviceType;           // "Device Type:"
    std::optional<int> keyNumber;     // the key number box
    int cycleSteps = 0;
};

enum class OkResult {
    Written,
    DeviceOutOfRange,  // asked "<< Out of Device ! >>", saved as an IR code key, OK goes on
    CycleWithoutSteps, // OK stops with the window open
    KeyNumberTooHigh,  // OK stops with the window open
};

inline constexpr const char* kOutOfDeviceText = "<< Out of Device ! >>  \n\n The maximal device is 64 !";
inline constexpr const char* kNoCycleStepText = "Save Cycle key error ! \n No cycle step in there ! ";

// Writes the key as OK does, in its order: label, flags, type by radio,
// key number. Stops where OK stops, with what was written up to there kept.
OkResult WriteAttributes(const AttributeInput& in, KeyInfo& key);

// ---- The timer of a macro key.
enum TimerKind : int { kTimerDisable = 1, kTimerWeek = 2, kTimerSpecific = 3 };

struct TimerBytes {
    uint8_t kind = 0;  // 0 disabled, bit 0 a specific date, else a day mask (Monday 0x02 .. Sunday 0x80)
    uint8_t month = 0, day = 0, hour = 0, minute = 0;
    bool operator==(const TimerBytes&) const = default;
};

struct TimerView {
    TimerKind kind = kTimerDisable;
    uint8_t dayMask = 0;  // Week
    // Specific: the pickers are set only when month, day, hour and minute
    // are all in range; one value out of range leaves both as they were.
    std::optional<std::pair<int, int>> monthDay;
    std::optional<std::pair<int, int>> hourMinute;
};
TimerView LoadTimer(const TimerBytes& bytes);

struct TimerPickers {
    int month = 1, day = 1, hour = 0, minute = 0;
};
// Saving: Specific stores 1 and the pickers; Week stores only the day mask
// (the date and time bytes keep what they held); Disable stores 0.
TimerBytes SaveTimer(TimerKind kind, uint8_t dayMask, const TimerPickers& pickers, const TimerBytes& held);

// The day bit of "Monday" (0) .. "Sunday" (6).
inline uint8_t DayBit(int day) { return uint8_t(0x02 << day); }

}  // namespace orvalink
