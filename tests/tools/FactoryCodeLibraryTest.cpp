// The factory code library: every code number of the code table has a code
// set, and the keys send what their protocol and brand prescribe, read back
// from the marks and spaces alone.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>

#include "image/DeviceBundle.h"
#include "image/Tiflashut.h"
#include "tests/tools/FactoryTestSupport.h"
#include "tools/gen-default/LayoutTemplates.h"

namespace orvalink::testing {
namespace {

constexpr int kPowerKey = 0;
constexpr int kVolumeUpKey = 1;

// Reads `count` pulse-distance bits, least significant first: each a mark
// of about `mark` followed by a short (0) or long (1) space.
std::optional<unsigned> DistanceBits(const std::vector<Pulse>& pulses, size_t from, int count, unsigned mark,
                                     unsigned zero, unsigned one) {
    if (pulses.size() < from + size_t(count)) return std::nullopt;
    unsigned v = 0;
    for (int i = 0; i < count; ++i) {
        const Pulse& p = pulses[from + size_t(i)];
        if (std::abs(int(p.mark) - int(mark)) > int(mark) / 5) return std::nullopt;
        bool isOne = std::abs(int(p.space) - int(one)) < std::abs(int(p.space) - int(zero));
        v |= unsigned(isOne) << i;
    }
    return v;
}

// Sony: the bit is in the mark (600 or 1200 us), the space is 600 us.
std::optional<unsigned> MarkBits(const std::vector<Pulse>& pulses, size_t from, int count) {
    if (pulses.size() < from + size_t(count)) return std::nullopt;
    unsigned v = 0;
    for (int i = 0; i < count; ++i) {
        const Pulse& p = pulses[from + size_t(i)];
        if (p.mark > 1500 || p.mark < 400) return std::nullopt;
        v |= unsigned(p.mark > 900) << i;
    }
    return v;
}

IrCodeInfo KeyCode(int codeNumber, int key) {
    IrCodeInfo code;
    EXPECT_TRUE(LibraryKey(TheFactory().flash, codeNumber, key, code))
        << "code " << codeNumber << " key " << key;
    return code;
}

TEST(FactoryCodeLibrary, IsMade) { ASSERT_TRUE(TheFactory().ok) << TheFactory().error; }

TEST(FactoryCodeLibrary, NecKeysHaveTheLeaderUnitsAddressAndCommandOfNec) {
    // LG TV: address 0x04, power 0x08, volume up 0x02.
    for (auto [key, command] : {std::pair{kPowerKey, 0x08u}, std::pair{kVolumeUpKey, 0x02u}}) {
        IrCodeInfo code = KeyCode(1160, key);
        EXPECT_EQ(code.codeType, kCodeNormal);
        EXPECT_NEAR(CarrierKhz(code), 38.0, 0.4);
        auto p = PulsesOf(code);
        ASSERT_EQ(p.size(), 34u);
        EXPECT_EQ(p[0].mark, 9000u);
        EXPECT_EQ(p[0].space, 4500u);
        auto bits = DistanceBits(p, 1, 32, 560, 560, 1690);
        ASSERT_TRUE(bits);
        EXPECT_EQ(*bits & 0xFF, 0x04u);
        EXPECT_EQ((*bits >> 8) & 0xFF, 0xFBu);  // the address's complement
        EXPECT_EQ((*bits >> 16) & 0xFF, command);
        EXPECT_EQ((*bits >> 24) & 0xFF, ~command & 0xFF);
        EXPECT_EQ(p[33].mark, 560u);  // the stop mark
        for (size_t i = 1; i < 33; ++i) EXPECT_TRUE(p[i].space == 560 || p[i].space == 1690);
        // The repeat frame: 9 ms mark, 2.25 ms space, one stop mark.
        auto r = PulsesOf(code, true);
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0].mark, 9000u);
        EXPECT_EQ(r[0].space, 2250u);
        EXPECT_EQ(r[1].mark, 560u);
    }
}

TEST(FactoryCodeLibrary, SamsungKeysSendTheCustomCodeTwiceAfterAnEvenLeader) {
    IrCodeInfo code = KeyCode(1152, kPowerKey);
    auto p = PulsesOf(code);
    ASSERT_EQ(p.size(), 34u);
    EXPECT_EQ(p[0].mark, 4500u);
    EXPECT_EQ(p[0].space, 4500u);
    auto bits = DistanceBits(p, 1, 32, 560, 560, 1690);
    ASSERT_TRUE(bits);
    EXPECT_EQ(*bits, 0xFD020707u);  // custom 0x07 twice, power 0x02 and its complement
    EXPECT_EQ(code.repeatCount, 0xFF);
}

TEST(FactoryCodeLibrary, SonyKeysAreThreeFramesOfSircWithCommandThenDevice) {
    // Sony TV, 12 bits: power is command 21 of device 1.
    IrCodeInfo tv = KeyCode(1176, kPowerKey);
    EXPECT_NEAR(CarrierKhz(tv), 40.0, 0.4);
    auto p = PulsesOf(tv);
    ASSERT_EQ(p.size(), 3u * 13u);
    for (int frame = 0; frame < 3; ++frame) {
        size_t at = size_t(frame) * 13;
        EXPECT_EQ(p[at].mark, 2400u);
        EXPECT_EQ(p[at].space, 600u);
        auto bits = MarkBits(p, at + 1, 12);
        ASSERT_TRUE(bits);
        EXPECT_EQ(*bits & 0x7F, 21u);
        EXPECT_EQ(*bits >> 7, 1u);
        // A frame starts every 45 ms.
        unsigned length = 0;
        for (size_t i = at; i < at + 13; ++i) length += p[i].mark + p[i].space;
        EXPECT_NEAR(double(length), 45000.0, 3000.0);
    }
    // Sony DVD, 20 bits: command 21, device 26, extension 0x49.
    auto d = PulsesOf(KeyCode(1536, kPowerKey));
    ASSERT_EQ(d.size(), 3u * 21u);
    auto bits = MarkBits(d, 1, 20);
    ASSERT_TRUE(bits);
    EXPECT_EQ(*bits & 0x7F, 21u);
    EXPECT_EQ((*bits >> 7) & 0x1F, 26u);
    EXPECT_EQ(*bits >> 12, 0x49u);
}

TEST(FactoryCodeLibrary, JvcKeysLeadOnlyTheFirstFrame) {
    IrCodeInfo code = KeyCode(1200, kPowerKey);  // JVC TV: address 0x03, power 0x17
    auto first = PulsesOf(code);
    ASSERT_EQ(first.size(), 18u);
    EXPECT_EQ(first[0].mark, 8400u);
    EXPECT_EQ(first[0].space, 4200u);
    auto bits = DistanceBits(first, 1, 16, 526, 526, 1574);
    ASSERT_TRUE(bits);
    EXPECT_EQ(*bits, 0x1703u);
    auto repeat = PulsesOf(code, true);
    ASSERT_EQ(repeat.size(), 17u);
    EXPECT_EQ(DistanceBits(repeat, 0, 16, 526, 526, 1574), bits);
}

TEST(FactoryCodeLibrary, PanasonicKeysAreKaseikyoFramesWithVendorAndParity) {
    IrCodeInfo code = KeyCode(1192, kPowerKey);  // Panasonic TV: device 0x80, power 0x3D
    EXPECT_NEAR(CarrierKhz(code), 37.0, 0.4);
    auto p = PulsesOf(code);
    ASSERT_EQ(p.size(), 50u);
    EXPECT_EQ(p[0].mark, 3456u);
    EXPECT_EQ(p[0].space, 1728u);
    std::vector<unsigned> bytes;
    for (int i = 0; i < 6; ++i) {
        auto b = DistanceBits(p, 1 + 8 * size_t(i), 8, 432, 432, 1296);
        ASSERT_TRUE(b);
        bytes.push_back(*b);
    }
    EXPECT_EQ(bytes, (std::vector<unsigned>{0x02, 0x20, 0x80, 0x00, 0x3D, 0xBD}));
}

TEST(FactoryCodeLibrary, Rc5KeysAreFourteenBitsOfHalfBits889) {
    IrCodeInfo code = KeyCode(1184, kPowerKey);  // Philips TV: system 0, standby 12
    EXPECT_EQ(code.codeType, kCodeRc5);
    EXPECT_NEAR(CarrierKhz(code), 36.0, 0.4);
    ASSERT_EQ(code.timingCount, 1);
    EXPECT_EQ(code.data[0] | (code.data[1] << 8), 889);
    EXPECT_EQ(code.data[2] | (code.data[3] << 8), 889);
    auto bits = BitsOf(code);
    ASSERT_EQ(bits.size(), 14u);
    EXPECT_EQ(bits[0], 1);
    EXPECT_EQ(bits[1], 1);  // a command below 64
    EXPECT_EQ(BitsValue(bits, 3, 5), 0u);
    EXPECT_EQ(BitsValue(bits, 8, 6), 12u);
    // Philips CD player: system 20, play is command 53.
    auto play = BitsOf(KeyCode(2304, 7));
    ASSERT_EQ(play.size(), 14u);
    EXPECT_EQ(BitsValue(play, 3, 5), 20u);
    EXPECT_EQ(BitsValue(play, 8, 6), 53u);
}

TEST(FactoryCodeLibrary, Rc6KeysAreModeZeroFramesOfHalfBits444) {
    IrCodeInfo code = KeyCode(1185, kVolumeUpKey);  // Philips TV: address 0, volume up 0x10
    EXPECT_EQ(code.codeType, kCodeRc6);
    ASSERT_EQ(code.timingCount, 1);
    EXPECT_EQ(code.data[0] | (code.data[1] << 8), 444);
    auto bits = BitsOf(code);
    ASSERT_EQ(bits.size(), 21u);
    EXPECT_EQ(bits[0], 1);                   // start bit
    EXPECT_EQ(BitsValue(bits, 1, 3), 0u);    // mode 0
    EXPECT_EQ(BitsValue(bits, 5, 8), 0u);    // address
    EXPECT_EQ(BitsValue(bits, 13, 8), 0x10u);
}

TEST(FactoryCodeLibrary, EveryListedCodeHasASetWhoseKeysFollowTheTemplate) {
    const auto& f = TheFactory();
    ASSERT_TRUE(f.ok) << f.error;
    std::set<int> numbers;
    for (const auto& l : f.files.codes.listings) numbers.insert(l.codes.begin(), l.codes.end());
    EXPECT_GE(numbers.size(), 100u);
    std::set<int> templatesUsed;
    for (int number : numbers) {
        ASSERT_LT(number, f.flash.CodeIndexCount()) << number;
        templatesUsed.insert(gen::TemplateOfCode(number));
        DeviceBundle layout;
        ASSERT_TRUE(UnpackDevice(f.files.templates.at(gen::TemplateOfCode(number)), layout));
        int keys = 0;
        for (int k = 0; k < kKeysPerDevice; ++k) {
            IrCodeInfo code;
            if (!LibraryKey(f.flash, number, k, code)) continue;
            ++keys;
            // A code only for a hard key or a key the template lays out.
            EXPECT_TRUE(k < kHardKeyCount || layout.slotTable[size_t(k)] != 0xFFFF) << number << " key " << k;
            EXPECT_GE(code.size, 2);
            EXPECT_LE(code.size, kMaxIrCodeBlocks);
        }
        EXPECT_GE(keys, 5) << "code " << number;
    }
    // Every template a code number can choose has codes.
    EXPECT_EQ(templatesUsed, (std::set<int>{1001, 1002, 1004, 1005, 1006, 1008, 1009, 1010}));
}

TEST(FactoryCodeLibrary, CodeNumbersOutsideTheLibraryHaveNoSet) {
    const auto& f = TheFactory();
    IrCodeInfo code;
    EXPECT_FALSE(LibraryKey(f.flash, 3, kPowerKey, code));     // no set
    EXPECT_FALSE(LibraryKey(f.flash, 3072, kPowerKey, code));  // beyond the index
    EXPECT_FALSE(LibraryKey(f.flash, 1002 + 150, 63, code));   // a key without a code
}

}  // namespace
}  // namespace orvalink::testing
