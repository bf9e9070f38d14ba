#include <gtest/gtest.h>

#include "image/IrWaveform.h"

namespace orvalink {
namespace {

IrCodeInfo BitCode(uint8_t type, uint16_t unit, std::initializer_list<int> bits) {
    IrCodeInfo c;
    c.codeType = type;
    c.timingCount = 1;
    c.size = 2;
    c.data[0] = uint8_t(unit);
    c.data[1] = uint8_t(unit >> 8);
    c.data[2] = uint8_t(unit);
    c.data[3] = uint8_t(unit >> 8);
    int i = 0;
    for (int b : bits) {
        if (b) c.data[4 + size_t(i / 8)] |= uint8_t(1 << (i % 8));
        ++i;
    }
    c.firstCount = uint8_t(i);
    c.repeatCount = 0xFF;
    return c;
}

TEST(IrWaveform, NormalCodesNameTheirTimingEntries) {
    IrCodeInfo c;
    c.codeType = kCodeNormal;
    c.timingCount = 2;
    const uint16_t table[] = {9000, 4500, 560, 1690};
    for (int i = 0; i < 4; ++i) {
        c.data[size_t(2 * i)] = uint8_t(table[i]);
        c.data[size_t(2 * i + 1)] = uint8_t(table[i] >> 8);
    }
    c.data[8] = 0b0110;  // symbols 0 1 1 0, then the repeat frame: 1 1
    c.data[8] |= 0b110000;
    c.firstCount = 4;
    c.repeatCount = 2;
    EXPECT_EQ(MarksAndSpaces(c), (std::vector<IrPulse>{{9000, 4500}, {560, 1690}, {560, 1690}, {9000, 4500}}));
    EXPECT_EQ(MarksAndSpaces(c, true), (std::vector<IrPulse>{{560, 1690}, {560, 1690}}));
    c.repeatCount = 0xFF;
    EXPECT_TRUE(MarksAndSpaces(c, true).empty());
    c.timingCount = 1;  // now symbol 1 lies beyond the table and ends the frame
    c.data[4] = 0b1;
    EXPECT_TRUE(MarksAndSpaces(c).empty());
}

TEST(IrWaveform, Rc5IsManchesterWithOneAsSpaceThenMark) {
    // 1 1 0 1: (space) mark | space mark | mark space | space mark
    auto p = MarksAndSpaces(BitCode(kCodeRc5, 889, {1, 1, 0, 1}));
    EXPECT_EQ(p, (std::vector<IrPulse>{{889, 889}, {1778, 1778}, {889, 0}}));
}

TEST(IrWaveform, Rc6HasALeaderAndADoubleTrailerBit) {
    // leader 6T/2T, start 1, mode 000, trailer 0 (halves of 2T), one data bit 1;
    // equal levels that meet merge
    auto p = MarksAndSpaces(BitCode(kCodeRc6, 444, {1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(p, (std::vector<IrPulse>{{2664, 888}, {444, 888}, {444, 444}, {444, 444},
                                       {444, 888}, {888 + 444, 444}}));
    EXPECT_NEAR(CarrierKhz(222), 36.04, 0.01);
    EXPECT_EQ(CarrierKhz(0), 0.0);
}

}  // namespace
}  // namespace orvalink
