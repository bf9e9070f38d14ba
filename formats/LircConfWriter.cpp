// A device's codes as one LIRC remote: SPACE_ENC with the protocol's
// nominal timings where every code is of one pulse-distance protocol the
// decoder recognised, RAW_CODES otherwise.
#include <algorithm>
#include <cmath>
#include <optional>

#include "formats/IrSignalFiles.h"
#include "formats/IrTextLines.h"

namespace orvalink {

using namespace irtext;

namespace {

struct Pair {
    uint32_t mark = 0, space = 0;
    bool Given() const { return mark || space; }
};

struct Timing {
    Pair header, one, zero;
    uint32_t ptrail;
    Pair repeat;
    uint32_t gap;
    const char* flags;
    unsigned bits;
};

// The protocols a SPACE_ENC remote writes, with the decoder's nominal
// timings; nothing for the others.
std::optional<Timing> TimingOf(IrProtocolKind kind) {
    switch (kind) {
    case IrProtocolKind::Nec:
    case IrProtocolKind::NecExtended:
        return Timing{{9000, 4500}, {560, 1690}, {560, 560}, 560, {9000, 2250}, 108000, "SPACE_ENC|CONST_LENGTH", 32};
    case IrProtocolKind::Samsung:
        return Timing{{4500, 4500}, {560, 1690}, {560, 560}, 560, {}, 108000, "SPACE_ENC|CONST_LENGTH", 32};
    case IrProtocolKind::Jvc:  // repeats the frame without its leader
        return Timing{{8400, 4200}, {526, 1574}, {526, 526}, 526, {}, 60000, "SPACE_ENC|CONST_LENGTH|NO_HEAD_REP", 16};
    case IrProtocolKind::Kaseikyo:
        return Timing{{3456, 1728}, {432, 1296}, {432, 432}, 432, {}, 74000, "SPACE_ENC", 48};
    default: return std::nullopt;
    }
}

// The bits as sent, first bit sent lowest.
uint64_t SentBits(const IrDecoded& d) {
    const uint64_t sub = d.subDevice.value_or(0);
    switch (d.kind) {
    case IrProtocolKind::Nec:
        return d.device | uint64_t(d.device ^ 0xFF) << 8 | uint64_t(d.function) << 16 |
               uint64_t(d.function ^ 0xFF) << 24;
    case IrProtocolKind::NecExtended:
    case IrProtocolKind::Samsung:
        return d.device | sub << 8 | uint64_t(d.function) << 16 | uint64_t(d.function ^ 0xFF) << 24;
    case IrProtocolKind::Jvc: return d.device | uint64_t(d.function) << 8;
    case IrProtocolKind::Kaseikyo:
        return (d.vendor & 0xFFFF) | uint64_t(d.device) << 16 | sub << 24 | uint64_t(d.function) << 32 |
               uint64_t((d.device ^ sub ^ d.function) & 0xFF) << 40;
    default: return 0;
    }
}

// LIRC sends the most significant bit first; these protocols the least.
uint64_t Reversed(uint64_t v, unsigned bits) {
    uint64_t out = 0;
    for (unsigned i = 0; i < bits; ++i) out |= ((v >> i) & 1) << (bits - 1 - i);
    return out;
}

// One word: blanks and '#' (a comment) become '_'; "begin" and "end" would
// open or close a section and get an '_' after them.
std::string LircName(std::string_view name, size_t index) {
    std::string out = PrintableName(name, index);
    for (char& c : out)
        if (IsBlank(c) || c == '#') c = '_';
    if (EqualsNoCase(out, "begin") || EqualsNoCase(out, "end")) out += '_';
    return out;
}

std::string PairText(const Pair& p) { return std::to_string(p.mark) + " " + std::to_string(p.space); }

}  // namespace

bool WriteLircConf(std::string_view remoteName, const std::vector<IrSignal>& signals, std::string& text,
                   std::string& error) {
    if (signals.empty()) {
        error = "there are no codes to write";
        return false;
    }
    std::string name = LircName(remoteName, 0);
    if (remoteName.empty()) name = "remote";
    // One protocol of a pulse-distance kind for every signal (NEC and its
    // extended form share their timing).
    std::optional<Timing> timing;
    for (const IrSignal& s : signals) {
        const auto t = s.decoded ? TimingOf(s.decoded->kind) : std::nullopt;
        const auto kindOf = [](IrProtocolKind k) { return k == IrProtocolKind::NecExtended ? IrProtocolKind::Nec : k; };
        if (!t || kindOf(s.decoded->kind) != kindOf(signals[0].decoded->kind)) {
            timing.reset();
            break;
        }
        timing = t;
    }
    // A remote has one carrier: the first signal's; the others must be near it.
    const unsigned carrier = signals[0].code.carrierHz;
    for (const IrSignal& s : signals) {
        if (carrier == 0 || std::abs(double(s.code.carrierHz) - double(carrier)) > carrier * 0.05) {
            error = "the codes' carriers differ (" + std::to_string(carrier) + " Hz, " +
                    std::to_string(s.code.carrierHz) + " Hz): a LIRC remote has one";
            return false;
        }
    }
    std::string out = "# Written by Orvalink\n\nbegin remote\n  name  " + name + "\n";
    if (timing) {
        const Timing& t = *timing;
        out += "  bits  " + std::to_string(t.bits) + "\n  flags " + t.flags + "\n";
        out += "  header  " + PairText(t.header) + "\n  one     " + PairText(t.one) + "\n  zero    " +
               PairText(t.zero) + "\n  ptrail  " + std::to_string(t.ptrail) + "\n";
        if (t.repeat.Given()) out += "  repeat  " + PairText(t.repeat) + "\n";
        out += "  gap     " + std::to_string(t.gap) + "\n  frequency " + std::to_string(carrier) + "\n";
        out += "\n  begin codes\n";
        for (size_t i = 0; i < signals.size(); ++i) {
            const uint64_t code = Reversed(SentBits(*signals[i].decoded), t.bits);
            out += "    " + LircName(signals[i].name, i) + "  " + Hex(code) + "\n";
        }
        out += "  end codes\n";
    } else {
        // Raw codes end with a mark; the gap after it is the remote's: the
        // longest of the codes' last spaces.
        uint32_t gap = 0;
        for (const IrSignal& s : signals) {
            const auto& frame = s.code.once.empty() ? s.code.repeat : s.code.once;
            if (frame.empty()) {
                error = LircName(s.name, 0) + ": the code has no marks and spaces";
                return false;
            }
            gap = std::max(gap, std::min(frame.back().space, kIrMaxDurationUs));
        }
        out += "  flags RAW_CODES\n  frequency " + std::to_string(carrier) + "\n";
        if (gap) out += "  gap  " + std::to_string(gap) + "\n";
        out += "\n  begin raw_codes\n";
        for (size_t i = 0; i < signals.size(); ++i) {
            const IrSignal& s = signals[i];
            const auto& frame = s.code.once.empty() ? s.code.repeat : s.code.once;
            out += "    name " + LircName(s.name, i) + "\n";
            // Mark first, the last space left to the gap.
            std::vector<uint32_t> us;
            for (size_t k = 0; k < frame.size(); ++k) {
                us.push_back(frame[k].mark);
                if (k + 1 < frame.size()) us.push_back(frame[k].space);
            }
            if (us.size() > kIrSignalMaxDurations) {
                error = LircName(s.name, i) + ": more than " + std::to_string(kIrSignalMaxDurations) +
                        " marks and spaces";
                return false;
            }
            for (size_t k = 0; k < us.size(); ++k) {
                if (us[k] == 0 || us[k] > kIrMaxDurationUs) {
                    error = LircName(s.name, i) + ": a duration of " + std::to_string(us[k]) +
                            " us cannot be written (from 1 to " + std::to_string(kIrMaxDurationUs) + ")";
                    return false;
                }
                out += (k % 8 == 0 ? "      " : " ") + std::to_string(us[k]) + (k % 8 == 7 || k + 1 == us.size() ? "\n" : "");
            }
        }
        out += "  end raw_codes\n";
    }
    out += "end remote\n";
    text = std::move(out);
    return true;
}

}  // namespace orvalink
