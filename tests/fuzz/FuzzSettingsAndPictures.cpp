// The settings page and the two welcome pictures of an image filled with the
// input, for the model the first byte picks: ReadSettings keeps only values
// in range, and a welcome picture read from the image comes back byte for
// byte from the bitmap it draws. The input is also drawn as a picture of its
// own when it is one picture long or longer.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/LcdBitmaps.h"
#include "image/Settings.h"
#include "image/Tiflashut.h"

using namespace orvalink;

namespace {

void CheckPictureRoundTrip(const PictureBytes& picture) {
    PictureBytes back{};
    if (!PictureFromBitmap(DrawPicture(picture), back) || back != picture) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    if (size == 0) return 0;
    static constexpr uint16_t kModels[] = {kSelector5100, kSelector5110, kSelector5120, kSelector2300};
    flash.SelectModel(kModels[data[0] % 4]);
    auto img = flash.Image();
    if (img.empty()) return 0;
    // The settings page and both pictures get the input, repeated.
    auto fill = [&](size_t start, size_t length) {
        const size_t end = std::min(img.size(), start + length);
        for (size_t i = start; i < end; i += size) std::memcpy(img.data() + i, data, std::min(size, end - i));
    };
    fill(flash.SettingsPageStart(), kPageSize);
    fill(flash.Welcome10Start(), kPictureBytes);
    fill(flash.Welcome20Start(), kPictureBytes);

    RemoteSettings values = DefaultSettings();
    if (ReadSettings(flash, values)) {
        for (int i = 0; i < kSettingCount; ++i)
            if (values[size_t(i)] < 0 || values[size_t(i)] > SettingMaximum(i)) std::abort();
        if (!WriteSettings(flash, values)) std::abort();
        RemoteSettings again{};
        if (!ReadSettings(flash, again) || again != values) std::abort();
    }
    for (int which : {kWelcomeSystem, kWelcomeReal, int(data[size / 2])}) {
        PictureBytes picture{};
        if (ReadPicture(flash, which, picture)) CheckPictureRoundTrip(picture);
    }
    if (size >= size_t(kPictureBytes)) {
        PictureBytes own{};
        std::copy_n(data, kPictureBytes, own.begin());
        CheckPictureRoundTrip(own);
        if (WritePicture(flash, kWelcomeReal, {data, size_t(kPictureBytes)})) {
            PictureBytes stored{};
            if (!ReadPicture(flash, kWelcomeReal, stored) || stored != own) std::abort();
        }
    }
    return 0;
}
