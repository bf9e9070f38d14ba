// The pre-programmed code library of the memory image: the code
// index (3072 entries of 4 bytes) and the code sets in the code library
// region (65604 eight-byte units), the decoding of one key's IR code from a
// set, and the writing of sets (for the generator of the default document).
//
// Code set (at code library start + 8 x offset; at most 256 blocks):
//   0      trailer position t: when not 0 and not 0xFF, 8 bytes at 8 x t
//   1      low 4 bits: default code type
//   2      default carrier byte
//   4      alternate format: low 4 bits code type, high 4 bits alternate timing entry
//   5-6    alternate carrier
//   7-14   alternate mask, key k at bit 7 - (k mod 8) of byte k / 8
//   15-142 per key: first-frame count (0 = no code), repeat-frame count (0xFF = none)
//   143    timing count m (0..52)
//   144    timing table, 4m bytes; then the keys' symbol data one after another,
//          each key's data rounded up to whole bytes
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/CodeRecords.h"
#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr int kLibraryKeys = 64;
inline constexpr int kMaxLibraryTimings = 52;
inline constexpr int kMaxLibraryFirstCount = 230;
inline constexpr size_t kLibrarySetHeaderBytes = 144;
inline constexpr size_t kMaxLibrarySetBytes = 256 * 8;
inline constexpr uint32_t kLibraryUnits = 65604;  // eight-byte units of the region
inline constexpr uint32_t kNoLibrarySet = 0xFFFFFFFF;

namespace detail {
constexpr std::array<uint8_t, kLibraryKeys> Filled(uint8_t v) {
    std::array<uint8_t, kLibraryKeys> a{};
    for (auto& b : a) b = v;
    return a;
}
}  // namespace detail

// One code set, field by field.
struct LibraryCodeSet {
    uint8_t trailerPosition = 0;    // 0 or 0xFF: no trailer
    uint8_t defaultType = 0;        // low 4 bits the type; the byte is carried whole
    uint8_t defaultCarrier = 0;     // the decoded carrier period of default keys
    uint8_t byte3 = 0;              // carried
    uint8_t alternateFormat = 0;    // low 4 bits type, high 4 bits alternate timing entry
    uint16_t alternateCarrier = 0;  // the decoded carrier period of alternate keys
    std::array<uint8_t, 8> alternateMask{};
    std::array<uint8_t, kLibraryKeys> firstCount{};  // 0 = the key has no code
    std::array<uint8_t, kLibraryKeys> repeatCount = detail::Filled(kNoRepeat);
    uint8_t timingCount = 0;
    std::array<uint8_t, 4 * kMaxLibraryTimings> timing{};  // the first 4 x timingCount bytes count
    std::vector<uint8_t> keyData;  // every key's symbol data, key after key
    std::array<uint8_t, 8> trailer{};

    bool HasTrailer() const { return trailerPosition != 0 && trailerPosition != 0xFF; }
};

// Whether key k's mask bit is set (false for a key outside 0..63).
bool LibraryKeyUsesAlternate(const LibraryCodeSet& set, int key);
void SetLibraryKeyAlternate(LibraryCodeSet& set, int key, bool alternate);
// The key's effective code type (alternate or default, low 4 bits).
uint8_t LibraryKeyType(const LibraryCodeSet& set, int key);
// Bytes of symbol data of every key: symbols = first + repeat (first alone
// when repeat is 0xFF); RC-5 and RC-6 keys one bit a symbol, others
// SymbolWidth(m) bits; rounded up to whole bytes. Fails when the timing
// count is above 52 or a first count above 230.
bool LibraryKeyDataLengths(const LibraryCodeSet& set, std::array<uint16_t, kLibraryKeys>& lengths);
// The set laid out as it lies in the library: header, timing table, key data,
// then the trailer; zero elsewhere. `extent` is the bytes it covers. Fails
// when the counts are out of range, keyData does not hold exactly the keys'
// data, or the set does not fit in 256 blocks.
bool LayOutLibraryCodeSet(const LibraryCodeSet& set, std::array<uint8_t, kMaxLibrarySetBytes>& bytes,
                          size_t& extent);

// The code index entry of a code number (below 3072).
bool ReadLibraryIndex(const TTiFlashFm& flash, int codeNumber, uint32_t& value);
// The code set of a code number. Fails for a code number of 3072 or more, an
// index entry of 0xFFFFFFFF or above 65603, a timing count of 53 or more, a
// first count above 230, or a set that does not lie inside 256 blocks, the
// code library region and the image.
bool ReadLibraryCode(const TTiFlashFm& flash, int codeNumber, LibraryCodeSet& set);
// Key k's IR code as a stored record, compacted (CompactIrCode); byte 2 of
// the record is 0 and the carrier is the set's carrier value as it stands.
// The result can need more than 32 blocks or 15 timing entries (the set
// allows 52); WriteIrCode then refuses it like any other. Fails for a
// key without code (first count 0), a key outside 0..63, a type of 4..15,
// or a set that LayOutLibraryCodeSet refuses. Timing entries that lie beyond
// the set's table (an alternate window running past it) read the set's
// following bytes, zero past the set's data.
bool DecodeLibraryKey(const LibraryCodeSet& set, int key, IrCodeInfo& code);

// A set built from per-key IR codes (stored records; entry k is key k, at
// most 64 entries, empty = no code). The keys' (type, carrier) pairs give at
// most two formats: the default is that of the lowest key whose carrier fits
// a byte, the other becomes the alternate format (mask bit set). RC-5 and
// RC-6 keys share timing entry 0; alternate Normal and Pulse keys address a
// window that starts at the alternate timing entry; identical entries are
// shared. Fails when a code is not a valid Normal, Pulse, RC-5 or RC-6 code
// (a symbol beyond its table, a first count of 0 or above 230), the keys need
// more than two formats, RC keys disagree on their timing entry, the table
// would exceed 52 entries or the set 256 blocks.
bool BuildLibraryCodeSet(std::span<const std::optional<IrCodeInfo>> keyCodes, LibraryCodeSet& set);

// Writes a set at `unitOffset` eight-byte units from the code library start
// and points the code number's index entry at it; `unitsUsed` receives the
// units it takes. Fails, writing nothing, for a code number of 3072 or more,
// a set that LayOutLibraryCodeSet refuses or whose trailer would cover its
// key data, or one that would not lie inside the library region and image.
bool WriteLibraryCode(TTiFlashFm& flash, int codeNumber, const LibraryCodeSet& set, uint32_t unitOffset,
                      uint32_t* unitsUsed = nullptr);
// The first unit after every set that the index refers to and that reads
// (0 on an empty library): where the next set can go.
uint32_t LibraryUnitsInUse(const TTiFlashFm& flash);

}  // namespace orvalink
