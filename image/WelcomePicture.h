// The welcome picture's reduction to black and white: a 104 x 160 picture
// (already fitted to the LCD, transparent parts laid on white) becomes the
// remote's stored bitmap. A pixel whose grey level is below the threshold is
// black, every other one white.
#pragma once

#include "image/LcdBitmaps.h"

namespace orvalink {

// The grey level (0..255) of a colour, weighed as the eye sees it:
// (11 red + 16 green + 5 blue) / 32.
int GreyLevel(Rgb colour);

// `fitted` (exactly 104 x 160) in the stored form: a pixel whose grey level
// is below `threshold` (1..255 from the window; 0 gives all white, 256 all
// black) is ink. Fails (out untouched) for a picture of any other size.
bool ReduceWelcomePicture(const Bitmap& fitted, int threshold, PictureBytes& out);

}  // namespace orvalink
