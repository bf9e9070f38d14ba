// What the factory tests share: the factory image made once per test run,
// and IR codes spelled out as marks and spaces.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "image/CodeLibrary.h"
#include "image/CodeRecords.h"
#include "image/Tiflashut.h"
#include "tools/gen-default/Generator.h"

namespace orvalink::testing {

inline gen::GeneratorInputs FactoryInputs() {
    return {ORVALINK_ASSETS_DIR, ORVALINK_FIXED_FONT_DIR};
}

// The factory image and files, made from the sources in assets/ once.
struct Factory {
    TTiFlashFm flash;
    gen::FactoryFiles files;
    std::string error;
    bool ok = false;
};

inline const Factory& TheFactory() {
    static Factory factory;
    static const bool made = factory.ok = gen::GenerateFactory(FactoryInputs(), factory.flash, factory.files, factory.error);
    (void)made;
    return factory;
}

// Key k's IR code as loading code number `code` gives it.
inline bool LibraryKey(const TTiFlashFm& flash, int code, int key, IrCodeInfo& out) {
    LibraryCodeSet set;
    return ReadLibraryCode(flash, code, set) && DecodeLibraryKey(set, key, out);
}

struct Pulse {
    unsigned mark;
    unsigned space;
};

// The marks and spaces of a Normal code's first frame (or its repeat frame).
inline std::vector<Pulse> PulsesOf(const IrCodeInfo& code, bool repeat = false) {
    std::vector<Pulse> out;
    const int width = SymbolWidth(code.timingCount);
    const size_t tableBytes = 4 * size_t(code.timingCount);
    auto entry = [&](unsigned index) {
        const uint8_t* t = code.data.data() + 4 * index;
        return Pulse{unsigned(t[0] | (t[1] << 8)), unsigned(t[2] | (t[3] << 8))};
    };
    size_t first = repeat ? code.firstCount : 0;
    size_t count = repeat ? (code.repeatCount == 0xFF ? 0 : code.repeatCount) : code.firstCount;
    for (size_t i = first; i < first + count; ++i) {
        unsigned symbol = 0;
        for (int b = 0; b < width; ++b) {
            size_t bit = i * size_t(width) + size_t(b);
            if ((code.data[tableBytes + bit / 8] >> (bit % 8)) & 1) symbol |= 1u << b;
        }
        out.push_back(entry(symbol));
    }
    return out;
}

// The data bits of an RC-5 or RC-6 code, in the order sent.
inline std::vector<int> BitsOf(const IrCodeInfo& code) {
    std::vector<int> bits;
    for (size_t i = 0; i < code.firstCount; ++i) bits.push_back((code.data[4 + i / 8] >> (i % 8)) & 1);
    return bits;
}

inline unsigned BitsValue(const std::vector<int>& bits, size_t from, size_t count) {
    unsigned v = 0;
    for (size_t i = 0; i < count; ++i) v = (v << 1) | unsigned(bits[from + i]);
    return v;
}

// The carrier frequency of a stored period in 0.125 us units.
inline double CarrierKhz(const IrCodeInfo& code) { return code.carrier ? 8000.0 / code.carrier : 0; }

}  // namespace orvalink::testing
