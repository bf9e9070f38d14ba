// One protocol's key frames as a code set of the code library, and the
// writing of all factory sets into the code index and library.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "image/CodeLibrary.h"
#include "image/Tiflashut.h"
#include "tools/gen-default/IrProtocols.h"

namespace orvalink::gen {

struct CodeSetSource {
    uint8_t codeType = 0;
    uint16_t carrierPeriod = 0;  // 0.125 us units; must fit the set's carrier byte
    std::vector<Timing> timings;
    std::array<std::optional<KeyFrames>, kLibraryKeys> keys;
};

// One key's frames as a stored IR code record. Fails with `error` when a
// symbol lies outside the timing table or a count is beyond a record.
bool KeyIrCode(const CodeSetSource& source, const KeyFrames& frames, IrCodeInfo& code, std::string& error);

// The set of all keys (one format, the default). Fails with `error` when a
// key's code or the set is beyond what the library holds.
bool MakeLibraryCodeSet(const CodeSetSource& source, LibraryCodeSet& set, std::string& error);

// Writes the sets one after another from the library's start and points
// their index entries at them. Fails, with the image unchanged, when a code
// number is outside the index or the sets do not fit the library.
bool WriteCodeLibrary(TTiFlashFm& flash, const std::map<int, LibraryCodeSet>& sets, std::string& error);

}  // namespace orvalink::gen
