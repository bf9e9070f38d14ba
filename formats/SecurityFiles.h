// Security files: the plain files in scrambled form. ".smcf" holds an older
// remote's flash image, ".smod" a module, ".ssdc" a code region. A 32-byte
// header (little-endian) precedes the scrambled data:
//
//   offset  size  field
//   0       4     checksum: byte sum of offset 8 to the end, 32 bits
//   4       4     file length (below 800000)
//   8       2     reserved (0)
//   10      12    model text
//   22      4     extension text "smcf", "smod" or "ssdc", no terminating zero
//   26      1     kind: 0 smcf, 1 smod, 2 ssdc
//   27      2     model tag: 0x6700, 0x3400, 0x8100, 100 or 200
//   29      2     reserved (0)
//   31      1     pattern row 0..11
//   32      ...   scrambled data
//
// Scrambling walks one row of the insertion-pattern table cyclically: after
// row[p] data bytes a random byte is put in and p moves on (a 0 entry puts
// one in at once). Data bytes are stored inverted (255 - byte). Nothing is
// put in after the last data byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/ScrambledFiles.h"

namespace orvalink {

class Clock;
class Random;

inline constexpr size_t kSecurityHeaderBytes = kScrambledHeaderBytes;
inline constexpr size_t kSecurityFileLimit = kScrambledFileLimit;  // every security file is shorter
inline constexpr int kPatternRows = 12;
inline constexpr int kPatternColumns = 33;
inline constexpr std::array<uint16_t, 5> kSecurityModelTags{0x6700, 0x3400, 0x8100, 100, 200};

inline constexpr char kSecurityTooLargeText[] = "The data are too long for a security file.\nNothing was written.";

// The kinds, in the order of the file dialogs.
enum : uint8_t { kSecuritySmcf = 0, kSecuritySmod = 1, kSecuritySsdc = 2 };

// The insertion-pattern table.
const std::array<std::array<uint8_t, kPatternColumns>, kPatternRows>& InsertionPatterns();

// What a written file says about the model: the older flash holder's model
// text and a model tag the reader accepts. Nothing of ours sets them, so a
// file carries the first tag and an empty text unless the caller says otherwise.
struct SecurityStamp {
    std::array<uint8_t, 12> modelText{};
    uint16_t modelTag = kSecurityModelTags[0];
};

// The extension text of a kind ("smcf"), or "" for a kind above 2.
const char* SecurityExtension(uint8_t kind);

// The insertion scramble that security and X files share: a random byte goes
// in before each run of data bytes whose length the pattern row gives (a 0
// puts one in at once), and the data bytes are stored inverted (255 - b)
// when `invert` is set. Unscrambling drops the random bytes again.
using PatternRow = std::array<uint8_t, kPatternColumns>;
std::vector<uint8_t> ScrambleByPattern(std::span<const uint8_t> data, const PatternRow& pattern, bool invert,
                                       Random& random);
std::vector<uint8_t> UnscrambleByPattern(std::span<const uint8_t> scrambled, const PatternRow& pattern, bool invert);

// The data scrambled with a row of table A (inverted), and back.
std::vector<uint8_t> ScrambleWithRow(std::span<const uint8_t> data, int row, Random& random);
std::vector<uint8_t> UnscrambleWithRow(std::span<const uint8_t> scrambled, int row);

// A whole security file in memory. The generator is seeded with the clock's
// seconds and the row drawn from it. False for a kind above 2 or a stamp whose
// tag the reader would refuse (BadSecurityFile) or data too long (TooLarge).
PlainFileResult BuildSecurityFileBytes(std::span<const uint8_t> data, uint8_t kind, const SecurityStamp& stamp,
                                       const Clock& clock, Random& random, std::vector<uint8_t>& file);
// Checks and unscrambles a security file in memory; `plain` and `kind` are
// untouched unless it is good. The kind returned is the one the file stores.
bool ParseSecurityFileBytes(std::span<const uint8_t> file, std::vector<uint8_t>& plain, uint8_t& kind);

// Reads, checks and unscrambles (ReadScrambledFile: anything but a regular
// file, or a file-system error, gives "Can't perform one of the following
// file operations: Open, Seek, Read, Close."); a file that is not a good
// security file fails with no message.
PlainFileOutcome ReadSecurityFile(const std::filesystem::path& path, std::vector<uint8_t>& plain, uint8_t& kind);
// Scrambles and writes under `path` with the kind's extension, after the
// backup rule on that name. A file-system error gives "Can't perform one of
// the following file operations: Open, Create Write, Close.".
PlainFileOutcome WriteSecurityFile(const std::filesystem::path& path, std::span<const uint8_t> data, uint8_t kind,
                                   const SecurityStamp& stamp, const Clock& clock, Random& random);

}  // namespace orvalink
