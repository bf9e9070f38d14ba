#include "image/IrDecoder.h"

#include <vector>

namespace orvalink {

namespace {

// Within 25 % of the nominal length.
bool Near(uint32_t actual, uint32_t nominal) {
    const uint64_t a = actual, n = nominal;
    return 4 * a >= 3 * n && 4 * a <= 5 * n;
}

struct DistanceTiming {
    uint32_t leadMark, leadSpace, unit, zeroSpace, oneSpace;
};

// A pulse-distance frame: leader, `count` bits least significant first (a
// unit mark and a short or long space), then a unit stop mark and the gap. Bits go into
// `bits` (count <= 64).
bool DistanceFrame(std::span<const IrPulse> p, const DistanceTiming& t, int count, uint64_t& bits) {
    if (p.size() < size_t(count) + 2) return false;
    if (!Near(p[0].mark, t.leadMark) || !Near(p[0].space, t.leadSpace)) return false;
    bits = 0;
    for (int i = 0; i < count; ++i) {
        const IrPulse& b = p[size_t(i) + 1];
        if (!Near(b.mark, t.unit)) return false;
        if (Near(b.space, t.oneSpace)) {
            bits |= uint64_t(1) << i;
        } else if (!Near(b.space, t.zeroSpace)) {
            return false;
        }
    }
    // The stop mark, then the gap (0 where the pulses simply end): a space
    // longer than any bit's, so a longer frame does not pass for a shorter one.
    const IrPulse& stop = p[size_t(count) + 1];
    return Near(stop.mark, t.unit) && (stop.space == 0 || 4 * uint64_t(stop.space) > 5 * uint64_t(t.oneSpace));
}

std::optional<IrDecoded> Nec(std::span<const IrPulse> p) {
    uint64_t bits = 0;
    if (!DistanceFrame(p, {9000, 4500, 560, 560, 1690}, 32, bits)) return std::nullopt;
    const unsigned lo = bits & 0xFF, hi = (bits >> 8) & 0xFF, f = (bits >> 16) & 0xFF, nf = (bits >> 24) & 0xFF;
    if ((f ^ nf) != 0xFF) return std::nullopt;
    if ((lo ^ hi) == 0xFF) return IrDecoded{IrProtocolKind::Nec, lo, std::nullopt, f};
    return IrDecoded{IrProtocolKind::NecExtended, lo, hi, f};
}

std::optional<IrDecoded> Samsung(std::span<const IrPulse> p) {
    uint64_t bits = 0;
    if (!DistanceFrame(p, {4500, 4500, 560, 560, 1690}, 32, bits)) return std::nullopt;
    const unsigned f = (bits >> 16) & 0xFF, nf = (bits >> 24) & 0xFF;
    if ((f ^ nf) != 0xFF) return std::nullopt;
    return IrDecoded{IrProtocolKind::Samsung, unsigned(bits & 0xFF), unsigned((bits >> 8) & 0xFF), f};
}

std::optional<IrDecoded> Jvc(std::span<const IrPulse> p) {
    uint64_t bits = 0;
    if (!DistanceFrame(p, {8400, 4200, 526, 526, 1574}, 16, bits)) return std::nullopt;
    return IrDecoded{IrProtocolKind::Jvc, unsigned(bits & 0xFF), std::nullopt, unsigned((bits >> 8) & 0xFF)};
}

std::optional<IrDecoded> Kaseikyo(std::span<const IrPulse> p) {
    uint64_t bits = 0;
    if (!DistanceFrame(p, {3456, 1728, 432, 432, 1296}, 48, bits)) return std::nullopt;
    auto byte = [&](int i) { return unsigned((bits >> (8 * i)) & 0xFF); };
    if ((byte(2) ^ byte(3) ^ byte(4)) != byte(5)) return std::nullopt;
    IrDecoded d{IrProtocolKind::Kaseikyo, byte(2), byte(3), byte(4)};
    d.vendor = byte(0) | (byte(1) << 8);
    return d;
}

// Sony: 2.4 ms + 600 us leader, then bits as a 600 (0) or 1200 us (1) mark
// and a 600 us space; the space of the last bit is the gap.
std::optional<IrDecoded> Sirc(std::span<const IrPulse> p) {
    if (p.empty() || !Near(p[0].mark, 2400) || !Near(p[0].space, 600)) return std::nullopt;
    uint32_t bits = 0;
    int count = 0;
    for (size_t i = 1; i < p.size() && count < 21; ++i) {
        if (Near(p[i].mark, 1200)) {
            bits |= 1u << count;
        } else if (!Near(p[i].mark, 600)) {
            return std::nullopt;
        }
        ++count;
        if (!Near(p[i].space, 600)) break;  // the gap
        if (i + 1 == p.size()) return std::nullopt;
    }
    const unsigned f = bits & 0x7F;
    if (count == 12) return IrDecoded{IrProtocolKind::Sirc12, (bits >> 7) & 0x1F, std::nullopt, f};
    if (count == 15) return IrDecoded{IrProtocolKind::Sirc15, (bits >> 7) & 0xFF, std::nullopt, f};
    if (count == 20) return IrDecoded{IrProtocolKind::Sirc20, (bits >> 7) & 0x1F, (bits >> 12) & 0xFF, f};
    return std::nullopt;
}

// The frame as levels, one per half-bit unit, starting with `lead` units of
// space that a Manchester frame beginning with a space would have; a space
// that is no whole number of units (up to `longest`) is the gap and ends the
// frame. At most `units` levels are kept, the rest is space.
bool Levels(std::span<const IrPulse> p, uint32_t unit, int longest, int lead, size_t units, std::vector<bool>& out) {
    out.assign(size_t(lead), false);
    // The nearest whole number of units, if near enough.
    auto runOf = [&](uint32_t us) {
        const uint64_t n = (uint64_t(us) + unit / 2) / unit;
        return n >= 1 && n <= uint64_t(longest) && Near(us, uint32_t(n) * unit) ? int(n) : 0;
    };
    for (const IrPulse& pulse : p) {
        if (out.size() >= units) break;
        const int marks = runOf(pulse.mark);
        if (marks == 0) return false;
        out.insert(out.end(), size_t(marks), true);
        const int spaces = runOf(pulse.space);
        if (spaces == 0) break;
        out.insert(out.end(), size_t(spaces), false);
    }
    if (out.size() > units) out.resize(units);
    out.resize(units, false);
    return true;
}

// Bit at unit `at` with halves of `half` units: mark-then-space or
// space-then-mark; -1 when the halves are not opposite and even.
int Manchester(const std::vector<bool>& levels, size_t at, size_t half, bool markFirstIsOne) {
    for (size_t i = 1; i < half; ++i)
        if (levels[at + i] != levels[at] || levels[at + half + i] != levels[at + half]) return -1;
    if (levels[at] == levels[at + half]) return -1;
    return levels[at] == markFirstIsOne ? 1 : 0;
}

// RC-5: 889 us units, 14 bits of space-then-mark ones, starting with a 1.
std::optional<IrDecoded> Rc5(std::span<const IrPulse> p) {
    std::vector<bool> levels;
    if (!Levels(p, 889, 2, 1, 28, levels)) return std::nullopt;
    unsigned bits = 0;
    for (size_t i = 0; i < 14; ++i) {
        const int b = Manchester(levels, 2 * i, 1, false);
        if (b < 0) return std::nullopt;
        bits = (bits << 1) | unsigned(b);
    }
    if (!(bits >> 13)) return std::nullopt;  // the start bit
    const unsigned field = (bits >> 12) & 1;
    const unsigned function = (bits & 0x3F) | (field ? 0 : 0x40);
    return IrDecoded{IrProtocolKind::Rc5, (bits >> 6) & 0x1F, std::nullopt, function};
}

// RC-6 mode 0: 444 us units, leader of 6 mark and 2 space units, start bit,
// 3 mode bits, the double-length trailer bit, 8 address and 8 command bits;
// a one is mark-then-space.
std::optional<IrDecoded> Rc6(std::span<const IrPulse> p) {
    if (p.empty() || !Near(p[0].mark, 6 * 444)) return std::nullopt;
    // Runs of two and three units overlap at 25 %, so the unit is the one
    // the leader shows rather than the nominal one.
    const uint32_t unit = (p[0].mark + 3) / 6;
    std::vector<bool> levels;
    if (!Levels(p, unit, 6, 0, 52, levels)) return std::nullopt;
    if (levels[6] || levels[7]) return std::nullopt;
    size_t at = 8;
    unsigned bits = 0;
    for (int i = 0; i < 21; ++i) {
        const size_t half = i == 4 ? 2 : 1;
        const int b = Manchester(levels, at, half, true);
        if (b < 0) return std::nullopt;
        if (i != 4) bits = (bits << 1) | unsigned(b);
        at += 2 * half;
    }
    if ((bits >> 16) != 0b1000) return std::nullopt;  // start bit, mode 0
    return IrDecoded{IrProtocolKind::Rc6, (bits >> 8) & 0xFF, std::nullopt, bits & 0xFF};
}

}  // namespace

std::string IrProtocolName(const IrDecoded& d) {
    switch (d.kind) {
    case IrProtocolKind::Nec: return "NEC";
    case IrProtocolKind::NecExtended: return "NEC extended";
    case IrProtocolKind::Samsung: return "Samsung";
    case IrProtocolKind::Jvc: return "JVC";
    case IrProtocolKind::Sirc12: return "Sony SIRC-12";
    case IrProtocolKind::Sirc15: return "Sony SIRC-15";
    case IrProtocolKind::Sirc20: return "Sony SIRC-20";
    case IrProtocolKind::Rc5: return "RC-5";
    case IrProtocolKind::Rc6: return "RC-6";
    case IrProtocolKind::Kaseikyo: return d.vendor == 0x2002 ? "Panasonic" : "Kaseikyo";
    }
    return "";
}

std::optional<IrDecoded> DecodeIr(std::span<const IrPulse> pulses) {
    for (auto decode : {Nec, Samsung, Jvc, Kaseikyo, Sirc, Rc6, Rc5})
        if (auto d = decode(pulses)) return d;
    return std::nullopt;
}

}  // namespace orvalink
