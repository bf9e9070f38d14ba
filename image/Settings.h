// The remote's seven settings, kept in the settings page of the image.
#pragma once

#include <array>
#include <cstdint>

#include "image/Tiflashut.h"

namespace orvalink {

enum SettingIndex {
    kSettingBuzzer = 0,
    kSettingContrast = 1,
    kSettingLcdOff = 2,
    kSettingLightSensitivity = 3,
    kSettingLightPeriod = 4,
    kSettingMotion = 5,
    kSettingWelcomePage = 6,
    kSettingCount = 7,
};

using RemoteSettings = std::array<int, kSettingCount>;

// The largest accepted value of each setting (the smallest is 0).
int SettingMaximum(int index);
RemoteSettings DefaultSettings();
// False when a stored value is out of range (checked in order 0..6).
bool ReadSettings(const TTiFlashFm& flash, RemoteSettings& values);
// False, and nothing written, when any value is out of range.
bool WriteSettings(TTiFlashFm& flash, const RemoteSettings& values);

}  // namespace orvalink
