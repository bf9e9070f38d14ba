// Codes made from protocol numbers: what the encoder makes decodes to the
// numbers it was given, over every value of the small protocols and
// thousands of random ones of the large; it survives the conversion into
// the remote's learned and stored forms; its timings are the protocols'
// published ones; and numbers a protocol cannot carry are refused.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "image/IrDecoder.h"
#include "image/IrEncoder.h"
#include "image/IrWaveform.h"
#include "image/LearnedCodes.h"
#include "image/Pronto.h"

namespace orvalink {
namespace {

using K = IrProtocolKind;
using Pulses = std::vector<IrPulse>;

// What DecodeIr must give back for the numbers: NEC extended whose
// sub-device is the device's complement is plain NEC on the air.
IrDecoded Expected(const IrDecoded& n) {
    if (n.kind == K::NecExtended && *n.subDevice == (~n.device & 0xFF)) return {K::Nec, n.device, std::nullopt, n.function};
    return n;
}

// A protocol without numbers.
IrDecoded Only(K kind, unsigned vendor = 0) {
    IrDecoded d;
    d.kind = kind;
    d.vendor = vendor;
    return d;
}

struct Space {
    K kind;
    unsigned vendor;  // Kaseikyo only
};
const Space kProtocols[] = {
    {K::Nec, 0},    {K::NecExtended, 0}, {K::Samsung, 0}, {K::Jvc, 0},      {K::Sirc12, 0},
    {K::Sirc15, 0}, {K::Sirc20, 0},      {K::Rc5, 0},     {K::Rc6, 0},      {K::Kaseikyo, 0x2002},
};

// Every request of a protocol when there are at most 2^17 of them, else
// `samples` seeded random ones plus the corners.
std::vector<IrEncodeRequest> RequestsOf(const Space& space, size_t samples) {
    const IrNumberRanges r = IrRangesOf(space.kind);
    const uint64_t subs = r.hasSubDevice ? r.maxSubDevice + 1 : 1;
    const uint64_t toggles = r.hasToggle ? 2 : 1;
    const uint64_t vendors = r.hasVendor ? uint64_t(r.maxVendor) + 1 : 1;
    const uint64_t all = (r.maxDevice + 1) * subs * (r.maxFunction + 1) * toggles * vendors;
    auto make = [&](uint64_t i) {
        IrEncodeRequest q;
        q.numbers.kind = space.kind;
        q.numbers.device = unsigned(i % (r.maxDevice + 1)), i /= (r.maxDevice + 1);
        if (r.hasSubDevice) q.numbers.subDevice = unsigned(i % subs), i /= subs;
        q.numbers.function = unsigned(i % (r.maxFunction + 1)), i /= (r.maxFunction + 1);
        q.toggle = r.hasToggle && (i % toggles), i /= toggles;
        if (r.hasVendor) q.numbers.vendor = unsigned(i % vendors);
        return q;
    };
    std::vector<IrEncodeRequest> out;
    if (all <= (1u << 17)) {
        for (uint64_t i = 0; i < all; ++i) out.push_back(make(i));
        return out;
    }
    out.push_back(make(0));
    out.push_back(make(all - 1));
    std::mt19937_64 random(uint64_t(space.kind) * 7919 + 1);
    for (size_t n = 0; n < samples; ++n) out.push_back(make(random() % all));
    return out;
}

TEST(IrEncoder, WhatItMakesDecodesToItsNumbersForEveryProtocol) {
    for (const Space& space : kProtocols) {
        size_t checked = 0;
        for (const IrEncodeRequest& q : RequestsOf(space, 5000)) {
            ProntoCode code;
            std::string error;
            ASSERT_TRUE(EncodeIr(q, code, error)) << IrProtocolName(q.numbers) << ": " << error;
            const auto decoded = DecodeIr(code.once);
            ASSERT_TRUE(decoded) << IrProtocolName(q.numbers) << " " << q.numbers.device << "/" << q.numbers.function;
            ASSERT_EQ(*decoded, Expected(q.numbers))
                << IrProtocolName(q.numbers) << " " << q.numbers.device << "/" << q.numbers.function << " came back as "
                << IrProtocolName(*decoded) << " " << decoded->device << "/" << decoded->function;
            // A repeat frame alone is no code of its own.
            if (!code.repeat.empty()) {
                ASSERT_FALSE(DecodeIr(code.repeat)) << IrProtocolName(q.numbers);
            }
            ++checked;
        }
        EXPECT_GE(checked, 4096u) << IrProtocolName(Only(space.kind));
    }
}

// The learned form the remote takes and the stored record it keeps: every
// protocol's code keeps its carrier, frames and numbers through both.
TEST(IrEncoder, CodesSurviveTheLearnedAndStoredForms) {
    for (const Space& space : kProtocols) {
        for (const IrEncodeRequest& q : RequestsOf(space, 300)) {
            if (q.numbers.function % 17 != 3 && q.numbers.function != IrRangesOf(space.kind).maxFunction) continue;
            ProntoCode code;
            std::string error;
            ASSERT_TRUE(EncodeIr(q, code, error)) << error;
            LearnedCode learned{};
            ASSERT_TRUE(LearnedOfPronto(code, learned, error)) << IrProtocolName(q.numbers) << ": " << error;
            IrCodeInfo stored;
            ASSERT_TRUE(LearnedToStored(learned, stored)) << IrProtocolName(q.numbers);
            ASSERT_EQ(DecodeIr(MarksAndSpaces(stored)), Expected(q.numbers)) << IrProtocolName(q.numbers);
            // The frames as they were, with spaces beyond a timing entry cut to it.
            ProntoCode cut = code;
            for (auto* frame : {&cut.once, &cut.repeat})
                for (IrPulse& p : *frame) p.space = std::min<uint32_t>(p.space, 0xFFFF);
            ASSERT_EQ(MarksAndSpaces(stored), cut.once) << IrProtocolName(q.numbers);
            ASSERT_EQ(MarksAndSpaces(stored, true), cut.repeat) << IrProtocolName(q.numbers);
            // The carrier within the learned form's 0.2 us steps.
            const double periodUs = stored.carrier / 8.0;
            ASSERT_NEAR(periodUs, 1e6 / code.carrierHz, 0.2) << IrProtocolName(q.numbers);
        }
    }
}

// Frames written out from the protocols' published descriptions: a bit
// string sent in the order given, each bit's mark and space.
Pulses DistanceBits(IrPulse lead, const std::string& bits, IrPulse zero, IrPulse one, IrPulse stop) {
    Pulses p{lead};
    for (char b : bits)
        if (b != ' ') p.push_back(b == '1' ? one : zero);
    p.push_back(stop);
    return p;
}

// Runs of half-bit units, mark then space.
Pulses Units(std::initializer_list<std::pair<uint32_t, uint32_t>> runs, uint32_t unit) {
    Pulses p;
    for (auto [m, s] : runs) p.push_back({m * unit, s * unit});
    return p;
}

TEST(IrEncoder, TimingsAreThePublishedOnes) {
    struct Reference {
        const char* what;
        IrEncodeRequest request;
        unsigned carrierHz;
        Pulses once;
        Pulses repeat;
    };
    // Sony: 2.4 ms leader; a one is a 1.2 ms mark, a zero 0.6 ms, each with
    // a 0.6 ms space; 45 ms from frame to frame, sent three times.
    Pulses sony{{2400, 600}};
    for (char b : std::string("101010010000")) sony.push_back({b == '1' ? 1200u : 600u, 600});
    sony.back().space = 45000 - 3000 - 12 * 1500;
    Pulses sony3;
    for (int i = 0; i < 3; ++i) sony3.insert(sony3.end(), sony.begin(), sony.end());
    const std::vector<Reference> references{
        // NEC device 4 function 8: 9 ms + 4.5 ms leader, address, its
        // complement, command, its complement, each least significant bit
        // first; 560 us marks, 560 us (0) or 1690 us (1) spaces; repeat
        // frame 9 ms + 2.25 ms and a 560 us mark.
        {"NEC 4/8",
         {{K::Nec, 4, std::nullopt, 8}},
         38000,
         DistanceBits({9000, 4500}, "00100000 11011111 00010000 11101111", {560, 560}, {560, 1690}, {560, 40000}),
         {{9000, 2250}, {560, 0xFFFF}}},
        // Sony SIRC-12 TV power: device 1, function 21, at 40 kHz.
        {"SIRC-12 1/21", {{K::Sirc12, 1, std::nullopt, 21}}, 40000, sony3, {}},
        // RC-5 device 5 function 53 (0x35): 889 us half bits at 36 kHz,
        // bits 1 1 0 00101 110101, a one as space then mark (the first
        // space is not seen); the frame repeats every 113.8 ms (128 half
        // bits from its first mark).
        {"RC-5 5/53",
         {{K::Rc5, 5, std::nullopt, 53}},
         36000,
         Units({{1, 1}, {2, 1}, {1, 1}, {1, 2}, {2, 2}, {1, 1}, {1, 1}, {2, 2}, {2, 2}, {1, 128 - 27}}, 889),
         {}},
        // RC-6 mode 0 device 0 function 12 (0x0C), toggle 1: 444 us units
        // at 36 kHz, leader 6 units mark and 2 space, start bit 1, mode 000,
        // a double-length trailer bit, device 00000000, function 00001100,
        // a one as mark then space; 106.6 ms (240 units) frame to frame.
        {"RC-6 0/12",
         {{K::Rc6, 0, std::nullopt, 12}, true},
         36000,
         Units({{6, 2}, {1, 2}, {1, 1}, {1, 1}, {3, 3}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1},
                {1, 1}, {1, 1}, {1, 1}, {1, 1}, {2, 1}, {1, 2}, {1, 1}, {1, 240 - 52}},
               444),
         {}},
    };
    for (const Reference& r : references) {
        ProntoCode code;
        std::string error;
        ASSERT_TRUE(EncodeIr(r.request, code, error)) << r.what << ": " << error;
        EXPECT_EQ(code.carrierHz, r.carrierHz) << r.what;
        EXPECT_EQ(code.once, r.once) << r.what;
        EXPECT_EQ(code.repeat, r.repeat) << r.what;
    }
}

TEST(IrEncoder, RefusesNumbersTheProtocolCannotCarry) {
    struct Case {
        IrEncodeRequest request;
        const char* error;
    };
    const std::vector<Case> cases{
        {{{K::Nec, 4, std::nullopt, 300}}, "NEC function 300 is above 255"},
        {{{K::Nec, 256, std::nullopt, 8}}, "NEC device 256 is above 255"},
        {{{K::Nec, 4, 7, 8}}, "NEC has no sub-device"},
        {{{K::NecExtended, 4, std::nullopt, 8}}, "NEC extended needs a sub-device"},
        {{{K::NecExtended, 4, 256, 8}}, "NEC extended sub-device 256 is above 255"},
        {{{K::Sirc12, 32, std::nullopt, 8}}, "Sony SIRC-12 device 32 is above 31"},
        {{{K::Sirc15, 4, std::nullopt, 128}}, "Sony SIRC-15 function 128 is above 127"},
        {{{K::Sirc20, 4, 256, 8}}, "Sony SIRC-20 sub-device 256 is above 255"},
        {{{K::Rc5, 4, std::nullopt, 128}}, "RC-5 function 128 is above 127"},
        {{{K::Rc6, 4, 1, 8}}, "RC-6 has no sub-device"},
        {{{K::Jvc, 4, std::nullopt, 8, 0x2002}}, "JVC has no vendor"},
        {{{K::Kaseikyo, 4, 1, 8, 0x10000}}, "Kaseikyo vendor 65536 is above 65535"},
        {{{K::Kaseikyo, 4, std::nullopt, 8, 0x2002}}, "Panasonic needs a sub-device"},
    };
    for (const Case& c : cases) {
        ProntoCode code{1, {{1, 1}}, {}};
        const ProntoCode before = code;
        std::string error;
        EXPECT_FALSE(EncodeIr(c.request, code, error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(code, before) << c.error;
    }
    // Samsung's sub-device is its device when none is given.
    ProntoCode code;
    std::string error;
    ASSERT_TRUE(EncodeIr({{K::Samsung, 7, std::nullopt, 2}}, code, error)) << error;
    EXPECT_EQ(DecodeIr(code.once), (IrDecoded{K::Samsung, 7, 7, 2}));
}

TEST(IrEncoder, ProtocolNamesAsPeopleSpellThem) {
    const std::vector<std::pair<const char*, std::optional<IrDecoded>>> cases{
        {"NEC", Only(K::Nec)},
        {"nec-ext", Only(K::NecExtended)},
        {"NEC extended", Only(K::NecExtended)},
        {"Samsung32", Only(K::Samsung)},
        {"Sony SIRC-12", Only(K::Sirc12)},
        {"sirc", Only(K::Sirc12)},
        {"SIRC_20", Only(K::Sirc20)},
        {"rc-5", Only(K::Rc5)},
        {"RC5X", Only(K::Rc5)},
        {"Panasonic", Only(K::Kaseikyo, 0x2002)},
        {"kaseikyo", Only(K::Kaseikyo)},
        {"NEC43", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(IrProtocolOfName(name), expected) << name;
    // Every name the decoder gives is read back.
    for (const Space& s : kProtocols) {
        const IrDecoded d = Only(s.kind, s.vendor);
        const auto back = IrProtocolOfName(IrProtocolName(d));
        ASSERT_TRUE(back) << IrProtocolName(d);
        EXPECT_EQ(back->kind, s.kind) << IrProtocolName(d);
    }
}

}  // namespace
}  // namespace orvalink
