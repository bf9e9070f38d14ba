// Reading the protocol and numbers out of marks and spaces: frames made
// here from each protocol's description, stretched to the edges of the
// timing tolerance, followed by repeats, and broken.
#include <gtest/gtest.h>

#include <random>

#include "image/CodeRecords.h"
#include "image/IrDecoder.h"
#include "image/IrWaveform.h"

namespace orvalink {
namespace {

using Pulses = std::vector<IrPulse>;

// A pulse-distance frame: leader, bits least significant first, stop mark and gap.
Pulses Distance(IrPulse lead, uint32_t unit, uint32_t one, uint64_t value, int count, uint32_t gap) {
    Pulses p{lead};
    for (int i = 0; i < count; ++i) p.push_back({unit, ((value >> i) & 1) ? one : unit});
    p.push_back({unit, gap});
    return p;
}

Pulses Nec(unsigned lo, unsigned hi, unsigned f, unsigned nf) {
    return Distance({9000, 4500}, 560, 1690, lo | (hi << 8) | (f << 16) | (nf << 24), 32, 40000);
}

Pulses Sony(unsigned value, int bits) {
    Pulses p{{2400, 600}};
    for (int i = 0; i < bits; ++i) p.push_back({((value >> i) & 1) ? 1200u : 600u, 600});
    p.back().space = 20000;
    return p;
}

// RC-5 and RC-6 frames through the stored code's own waveform.
Pulses BitCoded(uint8_t type, uint16_t unit, const std::vector<int>& bits) {
    IrCodeInfo code;
    code.codeType = type;
    code.timingCount = 1;
    code.data[0] = uint8_t(unit);
    code.data[1] = uint8_t(unit >> 8);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i]) code.data[4 + i / 8] |= uint8_t(1 << (i % 8));
    code.firstCount = uint8_t(bits.size());
    Pulses p = MarksAndSpaces(code);
    if (!p.empty()) p.back().space += 80000;
    return p;
}

std::vector<int> MsbBits(unsigned value, int count) {
    std::vector<int> out;
    for (int i = count - 1; i >= 0; --i) out.push_back(int((value >> i) & 1));
    return out;
}

Pulses Rc5(unsigned system, unsigned command, int toggle = 0) {
    std::vector<int> bits{1, command < 64 ? 1 : 0, toggle};
    for (int b : MsbBits(system, 5)) bits.push_back(b);
    for (int b : MsbBits(command & 0x3F, 6)) bits.push_back(b);
    return BitCoded(kCodeRc5, 889, bits);
}

Pulses Rc6(unsigned mode, unsigned address, unsigned command) {
    std::vector<int> bits{1};
    for (int b : MsbBits(mode, 3)) bits.push_back(b);
    bits.push_back(1);  // toggle
    for (int b : MsbBits(address, 8)) bits.push_back(b);
    for (int b : MsbBits(command, 8)) bits.push_back(b);
    return BitCoded(kCodeRc6, 444, bits);
}

Pulses Scaled(Pulses p, double factor) {
    for (auto& x : p) {
        x.mark = uint32_t(x.mark * factor + 0.5);
        x.space = uint32_t(x.space * factor + 0.5);
    }
    return p;
}

IrDecoded Expect(IrProtocolKind kind, unsigned device, std::optional<unsigned> sub, unsigned function) {
    return IrDecoded{kind, device, sub, function};
}

TEST(IrDecoder, ReadsEveryProtocolsNumbers) {
    EXPECT_EQ(DecodeIr(Nec(0x04, 0xFB, 0x08, 0xF7)), Expect(IrProtocolKind::Nec, 0x04, std::nullopt, 0x08));
    EXPECT_EQ(DecodeIr(Nec(0x00, 0xBF, 0x12, 0xED)), Expect(IrProtocolKind::NecExtended, 0x00, 0xBF, 0x12));
    EXPECT_EQ(DecodeIr(Distance({4500, 4500}, 560, 1690, 0x07u | 0x07u << 8 | 0x02u << 16 | 0xFDu << 24, 32, 46000)),
              Expect(IrProtocolKind::Samsung, 0x07, 0x07, 0x02));
    EXPECT_EQ(DecodeIr(Distance({8400, 4200}, 526, 1574, 0x03 | 0x17 << 8, 16, 22000)),
              Expect(IrProtocolKind::Jvc, 0x03, std::nullopt, 0x17));
    EXPECT_EQ(DecodeIr(Sony(0x15 | 1 << 7, 12)), Expect(IrProtocolKind::Sirc12, 1, std::nullopt, 0x15));
    EXPECT_EQ(DecodeIr(Sony(0x2A | 0xA4 << 7, 15)), Expect(IrProtocolKind::Sirc15, 0xA4, std::nullopt, 0x2A));
    EXPECT_EQ(DecodeIr(Sony(0x7F | 0x1A << 7 | 0x49 << 12, 20)), Expect(IrProtocolKind::Sirc20, 0x1A, 0x49, 0x7F));
    EXPECT_EQ(DecodeIr(Rc5(0, 12)), Expect(IrProtocolKind::Rc5, 0, std::nullopt, 12));
    EXPECT_EQ(DecodeIr(Rc5(0x1F, 0x7F, 1)), Expect(IrProtocolKind::Rc5, 0x1F, std::nullopt, 0x7F));  // RC-5X
    EXPECT_EQ(DecodeIr(Rc6(0, 0x00, 0x0C)), Expect(IrProtocolKind::Rc6, 0x00, std::nullopt, 0x0C));
    EXPECT_EQ(DecodeIr(Rc6(0, 0xA5, 0xFF)), Expect(IrProtocolKind::Rc6, 0xA5, std::nullopt, 0xFF));

    auto panasonic = DecodeIr(Distance({3456, 1728}, 432, 1296, 0x02ull | 0x20ull << 8 | 0x80ull << 16 | 0x01ull << 24 |
                                                                    0x3Dull << 32 | uint64_t(0x80 ^ 0x01 ^ 0x3D) << 40,
                                       48, 0xFFFF));
    ASSERT_TRUE(panasonic);
    EXPECT_EQ(*panasonic, (IrDecoded{IrProtocolKind::Kaseikyo, 0x80, 0x01, 0x3D, 0x2002}));
    EXPECT_EQ(IrProtocolName(*panasonic), "Panasonic");
    panasonic->vendor = 0x0301;
    EXPECT_EQ(IrProtocolName(*panasonic), "Kaseikyo");
}

TEST(IrDecoder, AcceptsAQuarterEitherWayAndNoMore) {
    const std::vector<std::pair<Pulses, IrProtocolKind>> frames{
        {Nec(0x04, 0xFB, 0x08, 0xF7), IrProtocolKind::Nec},
        {Sony(0x15 | 1 << 7, 12), IrProtocolKind::Sirc12},
        {Rc5(3, 33), IrProtocolKind::Rc5},
        {Rc6(0, 0x12, 0x34), IrProtocolKind::Rc6},
        {Distance({8400, 4200}, 526, 1574, 0x1234, 16, 22000), IrProtocolKind::Jvc},
    };
    for (const auto& [frame, kind] : frames) {
        const auto nominal = DecodeIr(frame);
        ASSERT_TRUE(nominal);
        EXPECT_EQ(nominal->kind, kind);
        for (double f : {0.76, 0.9, 1.1, 1.24}) {
            EXPECT_EQ(DecodeIr(Scaled(frame, f)), nominal) << int(kind) << " x" << f;
        }
        for (double f : {0.72, 1.28}) EXPECT_FALSE(DecodeIr(Scaled(frame, f))) << int(kind) << " x" << f;
    }
    // One mark off by too much spoils the frame.
    Pulses nec = Nec(0x04, 0xFB, 0x08, 0xF7);
    nec[5].mark = 760;
    EXPECT_FALSE(DecodeIr(nec));
    Pulses rc5 = Rc5(3, 33);
    rc5[2].mark = 1300;  // neither one unit nor two
    EXPECT_FALSE(DecodeIr(rc5));
}

TEST(IrDecoder, ReadsTheFirstFrameAndIgnoresRepeats) {
    Pulses nec = Nec(0x04, 0xFB, 0x08, 0xF7);
    Pulses withRepeats = nec;
    for (int i = 0; i < 3; ++i) {
        withRepeats.push_back({9000, 2250});
        withRepeats.push_back({560, 96000});
    }
    EXPECT_EQ(DecodeIr(withRepeats), DecodeIr(nec));

    Pulses sony = Sony(0x15 | 1 << 7, 12), three;
    for (int i = 0; i < 3; ++i) three.insert(three.end(), sony.begin(), sony.end());
    EXPECT_EQ(DecodeIr(three), Expect(IrProtocolKind::Sirc12, 1, std::nullopt, 0x15));

    Pulses rc5 = Rc5(5, 9), twice = rc5;
    twice.insert(twice.end(), rc5.begin(), rc5.end());
    EXPECT_EQ(DecodeIr(twice), Expect(IrProtocolKind::Rc5, 5, std::nullopt, 9));

    // The last space of a frame that simply ends is 0.
    nec.back().space = 0;
    EXPECT_EQ(DecodeIr(nec), Expect(IrProtocolKind::Nec, 0x04, std::nullopt, 0x08));
}

TEST(IrDecoder, GarbageAndNearMissesAreNoMatch) {
    EXPECT_FALSE(DecodeIr(Pulses{}));
    EXPECT_FALSE(DecodeIr(Pulses{{9000, 4500}}));
    EXPECT_FALSE(DecodeIr(Pulses{{0, 0}, {0, 0}}));
    // NEC whose command check fails is neither NEC nor the shorter JVC.
    EXPECT_FALSE(DecodeIr(Nec(0x04, 0xFB, 0x08, 0xF8)));
    // A bit-time frame cut short, and one with bits to spare.
    Pulses cut = Nec(0x04, 0xFB, 0x08, 0xF7);
    cut.resize(20);
    EXPECT_FALSE(DecodeIr(cut));
    EXPECT_FALSE(DecodeIr(Sony(0x15, 13)));
    EXPECT_FALSE(DecodeIr(Sony(0x15, 24)));
    // Kaseikyo with a wrong check byte; RC-6 in mode 6.
    EXPECT_FALSE(DecodeIr(Distance({3456, 1728}, 432, 1296, 0x2002ull | 0x80ull << 16 | 0x3Dull << 32, 48, 0xFFFF)));
    EXPECT_FALSE(DecodeIr(Rc6(6, 0x12, 0x34)));
    // A space where a mark belongs in a Manchester frame.
    Pulses rc6 = Rc6(0, 0x12, 0x34);
    rc6[3].space = 7 * 444;
    EXPECT_FALSE(DecodeIr(rc6));

    std::mt19937 random(7);
    std::uniform_int_distribution<uint32_t> duration(100, 10000);
    int matches = 0;
    for (int n = 0; n < 2000; ++n) {
        Pulses p(size_t(random() % 60));
        for (auto& x : p) x = {duration(random), duration(random)};
        matches += DecodeIr(p).has_value();
    }
    EXPECT_EQ(matches, 0);
}

}  // namespace
}  // namespace orvalink
