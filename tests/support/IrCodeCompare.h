// What an IR code sends, independent of how its timing table is ordered: for
// Normal and Pulse codes the timing entry (4 bytes) behind every symbol, for
// RC-5 and RC-6 codes the timing entry and every data bit. Two codes that
// expand alike send the same signal.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/CodeRecords.h"

namespace orvalink::testing {

struct ExpandedCode {
    uint8_t codeType = 0;
    uint16_t carrier = 0;
    uint8_t firstCount = 0;
    uint8_t repeatCount = 0;
    std::vector<std::array<uint8_t, 4>> entries;  // per symbol (Normal, Pulse) or the one entry (RC)
    std::vector<uint8_t> bits;                    // RC-5 and RC-6 data bits
    bool ok = false;
    bool operator==(const ExpandedCode&) const = default;
};

inline ExpandedCode Expand(const IrCodeInfo& code) {
    ExpandedCode e;
    e.codeType = code.codeType;
    e.carrier = code.carrier;
    e.firstCount = code.firstCount;
    e.repeatCount = code.repeatCount;
    const size_t symbols = size_t(SymbolCount(code.firstCount, code.repeatCount));
    const size_t table = 4 * size_t(code.timingCount);
    auto entry = [&](size_t i) {
        std::array<uint8_t, 4> t{};
        for (size_t b = 0; b < 4; ++b) t[b] = code.data[4 * i + b];
        return t;
    };
    if (IsBitCoded(code.codeType)) {
        if (code.timingCount < 1 || table + (symbols + 7) / 8 > code.data.size()) return e;
        e.entries.push_back(entry(0));
        std::span<const uint8_t> packed(code.data.data() + table, (symbols + 7) / 8);
        for (size_t i = 0; i < symbols; ++i) e.bits.push_back(uint8_t(SymbolAt(packed, i, 1)));
        e.ok = true;
        return e;
    }
    const int width = SymbolWidth(code.timingCount);
    const size_t bytes = (symbols * size_t(width) + 7) / 8;
    if (table + bytes > code.data.size()) return e;
    std::span<const uint8_t> packed(code.data.data() + table, bytes);
    for (size_t i = 0; i < symbols; ++i) {
        uint32_t v = SymbolAt(packed, i, width);
        if (v >= code.timingCount) return e;
        e.entries.push_back(entry(v));
    }
    e.ok = true;
    return e;
}

}  // namespace orvalink::testing
