// Whole-file reading and writing for the file formats.
//
// ReplaceFileBytes never leaves a half-written file: it writes a new file
// beside the target (same folder, a unique temporary name), flushes it to
// the disk and renames it over the target. When anything fails the old file
// stays as it was and the temporary file is removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace orvalink {

// Reads the whole file. Fails (bytes untouched) when it cannot be opened or
// read, or when it is longer than maxBytes.
bool ReadFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes, uint64_t maxBytes);

// Puts `bytes` at `target` as described above.
bool ReplaceFileBytes(const std::filesystem::path& target, std::span<const uint8_t> bytes);

}  // namespace orvalink
