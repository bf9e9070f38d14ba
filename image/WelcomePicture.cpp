#include "image/WelcomePicture.h"

namespace orvalink {

int GreyLevel(Rgb colour) {
    const int r = int(colour >> 16 & 0xFF), g = int(colour >> 8 & 0xFF), b = int(colour & 0xFF);
    return (r * 11 + g * 16 + b * 5) / 32;
}

bool ReduceWelcomePicture(const Bitmap& fitted, int threshold, PictureBytes& out) {
    if (fitted.width != kLcdWidth || fitted.height != kLcdHeight) return false;
    Bitmap reduced(kLcdWidth, kLcdHeight, kRgbWhite);
    for (int y = 0; y < kLcdHeight; ++y)
        for (int x = 0; x < kLcdWidth; ++x)
            if (GreyLevel(fitted.At(x, y)) < threshold) reduced.Set(x, y, kRgbBlack);
    return PictureFromBitmap(reduced, out);
}

}  // namespace orvalink
