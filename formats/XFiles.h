// X files and S binaries: the files that carry firmware and flash images
// to the upgrade of the remote.
//
// An X file (".xmcf" flash image, ".xmcu" MCU firmware, ".xirc" IR
// configuration, ".xcic") is a 32-byte little-endian header and the data
// scrambled in two passes:
//
//   offset  size  field
//   0       4     checksum: byte sum of offset 8 to the end, 32 bits
//   4       4     file length (below 800000)
//   8       2     reserved (0)
//   10      12    model text, zero-filled, from the X model table
//   22      4     extension text "xmcf", "xmcu", "xirc" or "xcic", no zero
//   26      1     kind: 0 xmcf, 1 xmcu, 2 xirc, 3 xcic
//   27      1     X model number: 11 + index into the X model table
//   28      2     version word (high byte major, low byte minor)
//   30      1     first row 0..11 of the insertion-pattern table
//   31      1     second row 0..11
//   32      ...   data
//
// The first pass stores the data bytes inverted (255 - byte) and puts a
// random byte in after every run of the first row's lengths; the second pass
// walks the second row over that result, copying bytes as they are and
// putting in random bytes the same way. The table is not the one of the
// security files.
//
// An S binary (".sbin", for the VC remotes) is a 14-byte big-endian header
// and the data as they are:
//
//   offset  size  field
//   0       4     checksum: byte sum of offset 4 to the end, 32 bits
//   4       4     data length L
//   8       2     source: 1000 from an MCU binary, 2000 from the memory image
//   10      2     VC number
//   12      2     date: bits 0-4 day, 5-8 month, 9-15 year - 2000
//   14      L     data
//
// A loader checks only that 14 + L is the file's length.
//
// Also the "Write" stamping of versions into loaded flash files, and the
// other pure parts of the upgrade-file pages (sizes, names, the device table
// text). Nothing here shows anything: every operation returns an outcome.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/ScrambledFiles.h"
#include "formats/SecurityFiles.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"

namespace orvalink {

class Random;

inline constexpr size_t kXHeaderBytes = kScrambledHeaderBytes;
inline constexpr size_t kXFileLimit = kScrambledFileLimit;  // every X file is shorter
enum : uint8_t { kXmcf = 0, kXmcu = 1, kXirc = 2, kXcic = 3 };

inline constexpr int kXModelCount = 10;
inline constexpr uint8_t kXModelNumberBase = 11;

inline constexpr char kXTooLargeText[] = "The data are too long for an X file.\nNothing was written.";
inline constexpr char kXNoModelText[] = "The model has no X file model.\nNothing was written.";

// The second insertion-pattern table (values 0..21).
const std::array<std::array<uint8_t, kPatternColumns>, kPatternRows>& XInsertionPatterns();

// The extension text of a kind ("xmcf"), or "" for a kind above 3.
const char* XExtension(uint8_t kind);
// The model text of an X model index ("8100"), or nullptr for 10 and above.
const char* XModelText(int index);
// The X model index of a position in the flash and MCU model lists: every
// position above 4 counts one higher, so index 5 is never chosen.
int XModelIndexOfListPosition(int position);

struct XFileHeader {
    uint32_t checksum = 0;
    uint32_t fileLength = 0;
    std::array<uint8_t, 12> modelText{};
    uint8_t kind = 0;
    uint8_t modelNumber = 0;
    uint16_t versionWord = 0;
    uint8_t firstRow = 0;
    uint8_t secondRow = 0;

    // The model text up to its first zero.
    std::string ModelText() const;
};

// A header for X model `index` and a version; false (header untouched) for
// an index of 10 or more.
bool XHeaderForModel(int index, uint16_t versionWord, XFileHeader& header);

// One pass over `data` with a row of the table: random bytes put in by the
// row's run lengths, data bytes inverted or copied. And back.
std::vector<uint8_t> XScramblePass(std::span<const uint8_t> data, int row, bool invert, Random& random);
std::vector<uint8_t> XUnscramblePass(std::span<const uint8_t> scrambled, int row, bool invert);

// A whole X file in memory: the generator seeded with the clock's seconds,
// both rows drawn from it; model text, model number and version from
// `header`. BadSecurityFile for a kind above 3, TooLarge when the file would
// reach 800000 bytes (our text).
PlainFileResult BuildXFileBytes(std::span<const uint8_t> data, const XFileHeader& header, uint8_t kind,
                                const Clock& clock, Random& random, std::vector<uint8_t>& file);
// Checks and unscrambles an X file in memory; the outputs are untouched
// unless it is good. The kind returned is the one stored.
bool ParseXFileBytes(std::span<const uint8_t> file, std::vector<uint8_t>& plain, XFileHeader& header,
                     uint8_t& kind);

// Reads, checks and unscrambles (ReadScrambledFile: anything but a regular
// file, or a file-system error, gives "Can't perform one of the following
// file operations: Open, Seek, Read, Close."); a file that is not a good X
// file fails with no message (BadSecurityFile).
PlainFileOutcome ReadXFile(const std::filesystem::path& path, std::vector<uint8_t>& plain, XFileHeader& header,
                           uint8_t& kind);
// Scrambles and writes under `path` with the kind's extension, after the
// backup rule on that name.
PlainFileOutcome WriteXFile(const std::filesystem::path& path, std::span<const uint8_t> data,
                            const XFileHeader& header, uint8_t kind, const Clock& clock, Random& random);

// S binaries.
inline constexpr size_t kSBinHeaderBytes = 14;
inline constexpr size_t kSBinLoadBytes = 65536;  // what "Load VC SBin" reads at most
// What the loader of the memory image's S binaries reads at most: the header
// and the largest image variant (5120).
inline constexpr size_t kSBinImageLoadBytes = kSBinHeaderBytes + 8192 * kPageSize;
inline constexpr uint16_t kSBinFromMcu = 1000;
inline constexpr uint16_t kSBinFromImage = 2000;

struct SBinHeader {
    uint32_t checksum = 0;
    uint32_t dataLength = 0;
    uint16_t source = 0;
    uint16_t vcNumber = 0;
    uint16_t date = 0;
};

// The date word of a day, and back; the text "2026 / 6 / 7".
uint16_t SBinDateWord(const LocalDate& date);
LocalDate SBinDateOf(uint16_t word);
std::string SBinDateText(uint16_t word);

// The file bytes: header with its checksum, then the data.
std::vector<uint8_t> BuildSBinBytes(std::span<const uint8_t> data, uint16_t source, uint16_t vcNumber,
                                    const LocalDate& date);
// The header and data of an S binary in memory when 14 + L is its length;
// the outputs are untouched otherwise.
bool ParseSBinBytes(std::span<const uint8_t> file, SBinHeader& header, std::vector<uint8_t>& data);

enum class SBinLoad { Ok, ReadFailed, TooLong, Corrupt };
// Reads an S binary of at most maxBytes; the outputs are untouched unless Ok.
SBinLoad ReadSBinFile(const std::filesystem::path& path, uint64_t maxBytes, SBinHeader& header,
                      std::vector<uint8_t>& data, std::string* why = nullptr);
// "File corruption ! \n\n Path: " + path.
std::string SBinCorruptText(const std::string& path);
// The longest S binary, header included, that the loader of its source
// takes: one made from the memory image (source 2000) kSBinImageLoadBytes,
// any other the MCU loader's 65536 bytes. Nothing longer is made or read.
uint64_t SBinFileLimit(uint16_t source);

// Sizes and names of the made files.
// The flash data of "Make XMCF": 262144, 540672 or 1033968 bytes by family.
size_t XmcfDataBytes(uint16_t modelCode);
// The MCU data of "Make XMCU": 32768 below model code 1200, 65536 from it on.
size_t XmcuDataBytes(uint16_t modelCode);
// folder + file-name form + version suffix + "__" + "%02d%02d" of month and
// day + extension (with its dot).
std::string XFileName(std::string_view folder, std::string_view fileNameForm, uint16_t versionWord,
                      const LocalDate& date, std::string_view extension);
// "Ver Hi = [1]    Lo = [5]".
std::string VersionHiLoText(uint16_t versionWord);

// The "Write" command: stamping versions into a loaded flash file.
enum class StampRule {
    None,      // model code 0: nothing to do
    Slimline,  // 2010: the code version as four ASCII digits at 27224 and 29336
    Ti5k,      // other codes from 1200: P, p, F, f at 27224 and 29336
    Ti512k,    // 1000 to 1199: P at 15, p at 14
    Older,     // 1 to 999: the older flash image written as ".mcf", no stamp
};
StampRule StampRuleOf(uint16_t modelCode);
// The messages of a rule, each followed by the path.
const char* StampOkText(StampRule rule);
const char* StampErrorText(StampRule rule);
// Writes the versions into `bytes` by the rule; false (bytes untouched) when
// they are too short for the offsets or the rule stamps nothing.
bool StampVersions(StampRule rule, uint16_t codeVersion, uint16_t flashVersion, std::span<uint8_t> bytes);

// "KDT 2 Txt": for each of 16 device tables of 64 bytes, "{ 0x00,0,0x11, { ",
// every byte that is not 0xFF as "0x%02X" separated by "," (a blank after
// every tenth), then " }},\n". Tables past the end of `tables` are empty.
inline constexpr int kKdtTables = 16;
inline constexpr size_t kKdtTableBytes = 64;
std::string DeviceTablesText(std::span<const uint8_t> tables);

}  // namespace orvalink
