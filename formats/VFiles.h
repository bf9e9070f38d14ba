// Reading and writing whole V files: the checks of a load, the building and
// the never half-written save.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "formats/VFileHeader.h"

namespace orvalink {

class Clock;
class Random;

// Reads and checks a whole V file held in memory and extracts its payload.
// A payload length beyond what the kind holds is refused before anything is
// inflated. `why`, when given, says why for the failures that are not a
// plain broken file (unreadable, not a regular file, payload too long).
bool LoadVFileFromBytes(std::span<const uint8_t> file, std::vector<uint8_t>& payload, VFileHeader& header,
                        std::string* why = nullptr);
// The same for the file at `path`.
bool LoadVFile(const std::filesystem::path& path, std::vector<uint8_t>& payload, VFileHeader& header,
               std::string* why = nullptr);

// Builds the bytes of a V file: a new password (seeded with the clock's
// seconds), the archive, the lengths and the checksum. The header must have
// name form 1 and one name, and the payload must fit its kind; on success it
// holds what was written.
bool BuildVFileBytes(std::span<const uint8_t> payload, VFileHeader& header, const Clock& clock, Random& random,
                     std::vector<uint8_t>& file);
// Builds the file and puts it at `path` with ReplaceFileBytes (never half
// written); `why` as for LoadVFile.
bool SaveVFile(const std::filesystem::path& path, std::span<const uint8_t> payload, VFileHeader& header,
               const Clock& clock, Random& random, std::string* why = nullptr);

}  // namespace orvalink
