#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <vector>

#include "formats/Flashut.h"
#include "formats/VFileTestSupport.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

std::vector<uint8_t> Block(uint8_t units, std::vector<uint8_t> data, size_t size) {
    std::vector<uint8_t> b(size, 0);
    b[0] = units;
    std::copy(data.begin(), data.end(), b.begin() + 1);
    return b;
}

std::vector<uint8_t> Data(std::span<const uint8_t> block) {
    const size_t length = 8 * size_t(block[0]) - 1;
    return std::vector<uint8_t>(block.begin() + 1, block.begin() + 1 + std::ptrdiff_t(length));
}

// Expected outputs worked out by hand from the permutation schemes and the
// rotation table, so the direction of both is pinned down.
TEST(ScrambleBlock, ForwardSchemeThenLeftRotation) {
    // L = 7, sum 28, 28 mod 13 = 2: groups of 5 from the start, one fits:
    // d0<->d4, d1<->d3 gives 5 4 3 2 1 6 7. Row 7: rotate left by 1, 3, 6 the
    // triples at 0 and 3; d6 is not in a whole triple.
    auto b = Block(1, {1, 2, 3, 4, 5, 6, 7}, 8);
    ASSERT_TRUE(ScrambleBlock(b));
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(Data(b), (std::vector<uint8_t>{0x0A, 0x20, 0xC0, 0x04, 0x08, 0x81, 0x07}));
    ASSERT_TRUE(UnscrambleBlock(b));
    EXPECT_EQ(Data(b), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(ScrambleBlock, SchemeAboveTenIsHalved) {
    // Sum 37, 37 mod 13 = 11, halved to 5: pairs n, n-1 from the top in steps
    // of 3 (n = 6, 3): 1 2 4 3 5 16 6, then row 7 rotations.
    auto b = Block(1, {1, 2, 3, 4, 5, 6, 16}, 8);
    ASSERT_TRUE(ScrambleBlock(b));
    EXPECT_EQ(Data(b), (std::vector<uint8_t>{0x02, 0x10, 0x01, 0x06, 0x28, 0x04, 0x06}));
    ASSERT_TRUE(UnscrambleBlock(b));
    EXPECT_EQ(Data(b), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 16}));
}

TEST(ScrambleBlock, PasswordSizedBlockWithBackwardScheme) {
    // Four units, L = 31, d[i] = i + 2: sum 527, 527 mod 13 = 7: groups of
    // 5 from the top (n = 30, 25, ..., 5) swapping n<->n-3 and n-1<->n-4.
    // Row 1 (31 mod 10): rotate left by 5, 1, 7; d30 stays as it is.
    std::vector<uint8_t> data;
    for (uint8_t i = 0; i < 31; ++i) data.push_back(uint8_t(i + 2));
    auto b = Block(4, data, 64);
    ASSERT_TRUE(ScrambleBlock(b));
    EXPECT_EQ(Data(b), (std::vector<uint8_t>{0x40, 0x0C, 0x83, 0xA0, 0x06, 0x02, 0x61, 0x18, 0x05, 0x01, 0x12,
                                             0x08, 0x22, 0x1E, 0x86, 0xC1, 0x2A, 0x0B, 0x82, 0x24, 0x89, 0x43,
                                             0x36, 0x8C, 0xE2, 0x30, 0x8F, 0x04, 0x3C, 0x0E, 0x1D}));
    for (size_t i = 32; i < 64; ++i) EXPECT_EQ(b[i], 0) << i;  // beyond the units: untouched
    ASSERT_TRUE(UnscrambleBlock(b));
    EXPECT_EQ(Data(b), data);
}

TEST(ScrambleBlock, RoundTripsForEveryUnitCountAndScheme) {
    Pcg32Random random(99);
    for (uint8_t units = 1; units <= 32; ++units) {
        const size_t length = 8 * size_t(units) - 1;
        // Vary the last byte so the byte sum runs through all 13 residues.
        for (unsigned residue = 0; residue < 13; ++residue) {
            std::vector<uint8_t> data(length);
            for (auto& v : data) v = uint8_t(random.Next());
            while (Sum16(data) % 13 != residue) ++data.back();
            auto b = Block(units, data, 8 * size_t(units));
            ASSERT_TRUE(ScrambleBlock(b));
            EXPECT_NE(Data(b), data) << int(units) << "/" << residue;
            ASSERT_TRUE(UnscrambleBlock(b));
            EXPECT_EQ(Data(b), data) << int(units) << "/" << residue;
        }
    }
}

TEST(ScrambleBlock, RefusesCountsThatDoNotFit) {
    for (auto [units, size] : {std::pair<uint8_t, size_t>{0, 64}, {33, 300}, {5, 39}, {1, 7}, {4, 31}}) {
        std::vector<uint8_t> b(size, 0x5A);
        b[0] = units;
        const auto before = b;
        EXPECT_FALSE(ScrambleBlock(b)) << int(units) << "/" << size;
        EXPECT_FALSE(UnscrambleBlock(b)) << int(units) << "/" << size;
        EXPECT_EQ(b, before);
    }
    std::vector<uint8_t> none;
    EXPECT_FALSE(ScrambleBlock(none));
    std::vector<uint8_t> largest(256, 0x33);
    largest[0] = 32;
    EXPECT_TRUE(ScrambleBlock(largest));
}

// A generator that gives fixed numbers and remembers its seed.
class ScriptedRandom final : public Random {
public:
    explicit ScriptedRandom(std::deque<uint32_t> values) : values_(std::move(values)) {}
    void Seed(uint64_t seed) override { seeds.push_back(seed); }
    uint32_t Next() override {
        if (values_.empty()) return 0;
        uint32_t v = values_.front();
        values_.pop_front();
        return v;
    }
    std::vector<uint64_t> seeds;

private:
    std::deque<uint32_t> values_;
};

TEST(PasswordBlock, CharactersComeFromTheGeneratorModulo62) {
    // 0..9 digits, 10..35 small letters, 36..61 capitals; 62 wraps to '0'.
    ScriptedRandom random({0, 9, 10, 35, 36, 61, 62, 62 * 1000 + 11, 4000000000u});
    FixedClock clock(1780000123);
    const auto block = MakePasswordBlock(clock, random);
    ASSERT_EQ(random.seeds, std::vector<uint64_t>{1780000123});
    EXPECT_EQ(block[0], 4);
    // 4000000000 mod 62 = 2 -> '2'; after the script the generator gives 0 -> '0'.
    const std::string expected = std::string("\x04") + "09azAZ0b2" + std::string(22, '0');
    EXPECT_EQ(PasswordOfBlock(block), expected);
    for (size_t i = 32; i < 64; ++i) EXPECT_EQ(block[i], 0) << i;
}

TEST(PasswordBlock, SameSecondSamePasswordOtherSecondAnother) {
    Pcg32Random random;
    FixedClock clock(1780000000);
    const auto a = MakePasswordBlock(clock, random);
    const auto b = MakePasswordBlock(clock, random);
    clock.Advance(1);
    const auto c = MakePasswordBlock(clock, random);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    const std::string password = PasswordOfBlock(c);
    ASSERT_EQ(password.size(), 32u);
    EXPECT_EQ(password[0], '\x04');
    for (size_t i = 1; i < 32; ++i) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(password[i]))) << i;
}

TEST(PasswordBlock, HeaderPasswordNeedsUnitsThatFit) {
    Pcg32Random random;
    FixedClock clock;
    VFileHeader h = Qm5100Header();
    h.passwordBlock = MakePasswordBlock(clock, random);
    const std::string plain = PasswordOfBlock(h.passwordBlock);
    ASSERT_TRUE(ScrambleBlock(h.passwordBlock));
    std::string password;
    ASSERT_TRUE(PasswordOfHeader(h, password));
    EXPECT_EQ(password, plain);

    for (uint8_t units : {0, 9, 32, 255}) {
        VFileHeader bad = h;
        bad.passwordBlock[0] = units;
        password = "keep";
        EXPECT_FALSE(PasswordOfHeader(bad, password)) << int(units);
        EXPECT_EQ(password, "keep");
    }
    // Eight units fill the block exactly.
    VFileHeader full = h;
    full.passwordBlock[0] = 8;
    EXPECT_TRUE(PasswordOfHeader(full, password));
}

}  // namespace
}  // namespace orvalink
