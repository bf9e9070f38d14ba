// The password a V file's header carries: a block of 8-byte units, scrambled
// in place, and the archive password it gives.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "formats/VFileHeader.h"

namespace orvalink {

class Clock;
class Random;

// Scrambling of a block that starts with its count n of 8-byte units; the
// 8n - 1 bytes after the count byte are scrambled in place. Fails (block
// untouched) for n = 0, n > 32 or a block shorter than 8n bytes.
bool ScrambleBlock(std::span<uint8_t> block);
bool UnscrambleBlock(std::span<uint8_t> block);

// A fresh plain password block: byte 0 = 4, bytes 1..31 drawn from `random`
// after seeding it with the clock's seconds, the rest 0.
std::array<uint8_t, kVPasswordBlockLength> MakePasswordBlock(const Clock& clock, Random& random);
// The archive password of an unscrambled block: bytes 0..31, up to the
// first zero byte.
std::string PasswordOfBlock(std::span<const uint8_t> plainBlock);
// Unscrambles a copy of the header's block and gives its password; fails
// when the unit count does not fit the 64 bytes.
bool PasswordOfHeader(const VFileHeader& header, std::string& password);

}  // namespace orvalink
