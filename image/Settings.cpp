#include "image/Settings.h"

namespace orvalink {

namespace {

struct SettingField {
    int offset;  // in the settings page
    bool word;   // a 16-bit little-endian value
    int maximum;
    int fallback;
};

constexpr SettingField kFields[kSettingCount] = {
    {134, false, 3, 2},   // buzzer: Off, Small, Medium, Large
    {38, false, 42, 28},  // contrast
    {132, true, 600, 180},  // LCD off, seconds, 0 = off
    {40, false, 100, 30}, // light sensitivity
    {39, false, 60, 6},   // light period
    {41, false, 3, 2},    // motion: Off, Slow, Medium, Fast
    {42, false, 1, 1},    // welcome page
};

}  // namespace

int SettingMaximum(int index) { return index >= 0 && index < kSettingCount ? kFields[index].maximum : -1; }

RemoteSettings DefaultSettings() {
    RemoteSettings v{};
    for (int i = 0; i < kSettingCount; ++i) v[size_t(i)] = kFields[i].fallback;
    return v;
}

bool ReadSettings(const TTiFlashFm& flash, RemoteSettings& values) {
    auto img = flash.Image();
    if (img.empty()) return false;
    const uint8_t* page = img.data() + flash.SettingsPageStart();
    RemoteSettings v{};
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingField& f = kFields[i];
        int value = f.word ? page[f.offset] | (page[f.offset + 1] << 8) : page[f.offset];
        if (value > f.maximum) return false;
        v[size_t(i)] = value;
    }
    values = v;
    return true;
}

bool WriteSettings(TTiFlashFm& flash, const RemoteSettings& values) {
    auto img = flash.Image();
    if (img.empty()) return false;
    for (int i = 0; i < kSettingCount; ++i)
        if (values[size_t(i)] < 0 || values[size_t(i)] > kFields[i].maximum) return false;
    uint8_t* page = img.data() + flash.SettingsPageStart();
    for (int i = 0; i < kSettingCount; ++i) {
        const SettingField& f = kFields[i];
        page[f.offset] = uint8_t(values[size_t(i)]);
        if (f.word) page[f.offset + 1] = uint8_t(values[size_t(i)] >> 8);
    }
    return true;
}

}  // namespace orvalink
