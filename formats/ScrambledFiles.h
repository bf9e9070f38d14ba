// The frame that security files and X files share: a 32-byte little-endian
// header before the scrambled data, and the reading and writing of the whole
// file. Each kind describes itself (its extensions, its text for data too
// long) and fills the five bytes of the header that are its own; the checks
// of the frame, the checksum and the file handling are made here once.
//
//   offset  size  field
//   0       4     checksum: byte sum of offset 8 to the end, 32 bits
//   4       4     file length (below 800000)
//   8       2     reserved (0)
//   10      12    model text
//   22      4     extension text of the kind, no terminating zero
//   26      1     kind: the index of its extension
//   27      5     the kind's own fields (pattern rows, model tag, version)
//   32      ...   scrambled data
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

#include "formats/PlainFiles.h"

namespace orvalink {

inline constexpr size_t kScrambledHeaderBytes = 32;
inline constexpr size_t kScrambledFileLimit = 800000;  // every scrambled file is shorter
inline constexpr size_t kScrambledOwnBytes = 5;
inline constexpr size_t kScrambledOwnOffset = 27;

// What tells one kind of scrambled file from the other.
struct ScrambledFormat {
    std::span<const char* const> extensions;  // by kind byte, four letters each
    const char* tooLargeText;                 // the message when the data do not fit
    const char* Extension(uint8_t kind) const { return kind < extensions.size() ? extensions[kind] : ""; }
    bool KnowsKind(uint8_t kind) const { return kind < extensions.size(); }
};

// The header's fields; `own` holds offsets 27 to 31 as they are in the file.
struct ScrambledHeader {
    uint32_t checksum = 0;
    uint32_t fileLength = 0;
    std::array<uint8_t, 12> modelText{};
    uint8_t kind = 0;
    std::array<uint8_t, kScrambledOwnBytes> own{};
};

// The byte sum of offset 8 to the end.
uint32_t ScrambledChecksum(std::span<const uint8_t> file);

// The file bytes: the header (length and checksum worked out here) and the
// scrambled data. TooLarge when the file would reach 800000 bytes,
// BadSecurityFile for a kind the format does not know; `file` is untouched
// then.
PlainFileResult AssembleScrambledFile(const ScrambledFormat& format, const ScrambledHeader& header,
                                      std::span<const uint8_t> scrambled, std::vector<uint8_t>& file);
// The frame's checks: at least a header and below 800000 bytes, the length
// field the file's own length, the checksum right and a kind the format
// knows. On success `header` and `body` (the scrambled data inside `file`)
// are set; false leaves them untouched.
bool SplitScrambledFile(const ScrambledFormat& format, std::span<const uint8_t> file, ScrambledHeader& header,
                        std::span<const uint8_t>& body);

// Reads the whole file. Anything but a regular file, and any file-system
// error, gives "Can't perform one of the following file operations: Open,
// Seek, Read, Close." with the reason; a regular file of 800000 bytes or more
// is BadSecurityFile with no message. `bytes` is untouched unless Ok.
PlainFileOutcome ReadScrambledFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes);
// Builds the file with `build` and writes it under `path` with the kind's
// extension, after the backup rule on that name. A refusal of `build` writes
// nothing (TooLarge with the format's text, others silent); a file-system
// error gives "Can't perform one of the following file operations: Open,
// Create Write, Close.".
PlainFileOutcome WriteScrambledFile(const ScrambledFormat& format, const std::filesystem::path& path, uint8_t kind,
                                    const std::function<PlainFileResult(std::vector<uint8_t>&)>& build);

// An outcome with no message.
PlainFileOutcome SilentFileOutcome(PlainFileResult kind, const std::filesystem::path& path);

}  // namespace orvalink
