// Packing of one code set of the code library, and the code index that
// points at the sets: the factory library is written through these.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "image/Tiflashut.h"
#include "tools/gen-default/IrProtocols.h"

namespace orvalink::gen {

inline constexpr int kCodeSetKeys = 64;
inline constexpr int kMaxCodeSetBlocks = 256;
inline constexpr int kMaxSetTimings = 52;

struct CodeSetSource {
    uint8_t codeType = 0;
    uint16_t carrierPeriod = 0;  // 0.125 us units; must fit the set's carrier byte
    std::vector<Timing> timings;
    std::array<std::optional<KeyFrames>, kCodeSetKeys> keys;
};

// The set's bytes (default format only, no trailer). Fails with `error` when
// a count or size is beyond what a set holds.
bool PackCodeSet(const CodeSetSource& source, std::vector<uint8_t>& bytes, std::string& error);

// Writes the sets into the code library, one after another from its start,
// and their offsets into the code index; every other index entry stays
// 0xFFFFFFFF. Fails, with nothing written, when a code number is outside the
// index or the sets do not fit the library.
bool WriteCodeLibrary(TTiFlashFm& flash, const std::map<int, std::vector<uint8_t>>& sets, std::string& error);

}  // namespace orvalink::gen
