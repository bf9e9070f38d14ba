// What a key does, told from its name: the signal names of IR code files
// ("KEY_POWER", "Vol_up", "VOL+", "ch-", "Num_1") and the words of a key's
// label ("vol up", "TV power", "PRE CH") both come down to one function, so
// an imported file's signals can be matched with a device's keys.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "image/KeyRecords.h"

namespace orvalink {

enum class KeyFunction : uint8_t {
    None,
    Power, PowerOn, PowerOff,
    VolumeUp, VolumeDown, Mute,
    ChannelUp, ChannelDown, PreviousChannel,
    Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
    Menu, Ok, Up, Down, Left, Right,
    Play, Pause, PlayPause, Stop, Record, Rewind, FastForward, Next, Previous, Eject,
    Input, Guide, Info, Exit, Back, Home,
    Red, Green, Yellow, Blue,
    Text, Subtitle, Audio, Sleep, Favorite, List,
};

// "power", "volume up", "digit 1" ...; "" for None.
std::string_view KeyFunctionName(KeyFunction function);

// A name as the matcher compares it: lower case, '+' read as "up" and a
// trailing '-' as "down", everything else but letters and digits dropped,
// and leading words that only say "this is a key" ("KEY_", "BTN_", "Num_",
// "Digit_") left out: "KEY_VOLUMEUP" -> "volumeup", "VOL+" -> "volup",
// "Num_1" -> "1", "TV power" -> "tvpower".
std::string CompactKeyName(std::string_view name);

// The function a name stands for: the whole name first, then the name
// without its leading words ("TV power" -> power). None when nothing fits.
KeyFunction FunctionOfName(std::string_view name);

// The function of a key of a device: its label as the LCD shows it (icons
// read as their words).
KeyFunction FunctionOfKey(const KeyInfo& key);

}  // namespace orvalink
