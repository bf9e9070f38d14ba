#include <gtest/gtest.h>

#include <algorithm>

#include "image/WelcomePicture.h"

namespace orvalink {
namespace {

// One pixel at (9, 1) (band 1, row 1, bit 1: byte 161) on white paper: black
// exactly when its grey level lies below the threshold.
TEST(WelcomePictureReduction, OnePixelAtTheThresholdEdges) {
    struct Case {
        Rgb colour;
        int threshold;
        bool black;
    };
    const Case cases[] = {
        {0x808080, 128, false}, {0x808080, 129, true},  // grey 128
        {kRgbRed, 87, false},   {kRgbRed, 88, true},    // grey 87: red weighs 11/32
        {0x00FF00, 127, false}, {0x00FF00, 128, true},  // grey 127: green 16/32
        {kRgbBlue, 39, false},  {kRgbBlue, 40, true},   // grey 39: blue 5/32
        {kRgbBlack, 1, true},   {0x010101, 1, false},   // the slider's lowest setting
        {0xFEFEFE, 255, true},  {kRgbWhite, 255, false},  // and its highest
    };
    for (const Case& c : cases) {
        Bitmap picture(kLcdWidth, kLcdHeight, kRgbWhite);
        picture.Set(9, 1, c.colour);
        PictureBytes bytes;
        bytes.fill(0xAA);
        ASSERT_TRUE(ReduceWelcomePicture(picture, c.threshold, bytes));
        for (size_t i = 0; i < bytes.size(); ++i)
            ASSERT_EQ(bytes[i], i == 161 && c.black ? 0x02 : 0x00)
                << "colour " << std::hex << c.colour << std::dec << " threshold " << c.threshold << " byte " << i;
    }
}

// Whole pictures of one colour become all paper or all ink.
TEST(WelcomePictureReduction, PlainPicturesBecomeAllWhiteOrAllBlack) {
    struct Case {
        Rgb fill;
        int threshold;
        uint8_t every;
    };
    const Case cases[] = {
        {kRgbWhite, 255, 0x00}, {kRgbWhite, 256, 0xFF}, {kRgbBlack, 1, 0xFF},
        {kRgbBlack, 0, 0x00},   {0x808080, 128, 0x00},  {0x808080, 129, 0xFF},
    };
    for (const Case& c : cases) {
        PictureBytes bytes;
        ASSERT_TRUE(ReduceWelcomePicture(Bitmap(kLcdWidth, kLcdHeight, c.fill), c.threshold, bytes));
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [&](uint8_t b) { return b == c.every; }))
            << "fill " << std::hex << c.fill << std::dec << " threshold " << c.threshold;
    }
}

// Only a picture already fitted to the LCD is reduced; any other size leaves
// the bytes as they were.
TEST(WelcomePictureReduction, OtherSizesAreRefused) {
    const std::pair<int, int> sizes[] = {{103, 160}, {104, 159}, {105, 160}, {104, 161}, {160, 104}, {0, 0}};
    for (const auto& [w, h] : sizes) {
        PictureBytes bytes;
        bytes.fill(0x5A);
        EXPECT_FALSE(ReduceWelcomePicture(Bitmap(w, h, kRgbBlack), 128, bytes)) << w << " x " << h;
        EXPECT_TRUE(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0x5A; })) << w << " x " << h;
    }
    PictureBytes bytes;
    EXPECT_TRUE(ReduceWelcomePicture(Bitmap(kLcdWidth, kLcdHeight, kRgbBlack), 128, bytes));
}

}  // namespace
}  // namespace orvalink
