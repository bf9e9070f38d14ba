// The pictures the factory configuration and the program folder carry: the
// remote's two welcome pictures and the page strip of the layout editor.
#pragma once

#include <cstdint>
#include <vector>

#include "image/LcdBitmaps.h"
#include "tools/gen-default/Bitmaps.h"

namespace orvalink::gen {

inline constexpr int kPageStripWidth = 204;
inline constexpr int kPageStripHeight = 46;

struct PictureFonts {
    const BitmapFont* title = nullptr;  // 10 x 20
    const BitmapFont* text = nullptr;   // 6 x 10
};

// Welcome picture 10 (the maker's greeting) and 20 (the program's).
Canvas WelcomePicture(int which, const PictureFonts& fonts);
// The picture in its stored form (ink is black).
std::vector<uint8_t> EncodeWelcomePicture(const Canvas& picture);

// The page strip below the LCD grid: a previous-page arrow on the left and a
// next-page arrow on the right, with room for the page label between them.
// A 24-bit Windows bitmap file.
std::vector<uint8_t> PageStripBmp();

// A 24-bit Windows bitmap file of rgb rows (top row first, 3 bytes a pixel).
std::vector<uint8_t> Bmp24(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace orvalink::gen
