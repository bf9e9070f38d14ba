// The 512-byte learned/send form of an IR code, as the remote link carries
// it for IR learning and sending, and its conversion to and from the stored
// record of the block store.
//
// Learned/send form: byte 0 size in blocks, byte 1 flags (code type in bits
// 3 and up), byte 2, byte 4 carrier in 0.2 microsecond units, byte 5
// first-frame symbol count, byte 6 repeat-frame symbol count (0xFF = none),
// byte 7 timing count, then from byte 8 the timing table (4 bytes an entry)
// and the packed symbols, as in the stored record. The symbol width is not a
// byte of the form; it travels beside it.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "image/CodeRecords.h"

namespace orvalink {

inline constexpr size_t kLearnedCodeBytes = 512;
using LearnedCode = std::array<uint8_t, kLearnedCodeBytes>;

// Carrier byte (0.2 us) -> period (0.125 us): 16 x b / 10, plus 1 when the
// remainder is 5 or more.
uint16_t CarrierPeriodFromByte(uint8_t carrierByte);
// Period (0.125 us) -> carrier byte: period x 5 / 8, plus 1 when the
// remainder is 4 or more; fails above 255.
bool CarrierByteFromPeriod(uint16_t period, uint8_t& carrierByte);

// Blocks a record of `symbols` symbols of `width` bits and `timingCount`
// entries takes: ((s - 1) / 8 + 4 x n) / 8 + 2 with s = symbols x width; and
// the bytes of table and symbols: (s - 1) / 8 + 1 + 4 x n. s must not be 0.
size_t LearnedBlocks(size_t symbolBits, int timingCount);
size_t LearnedDataBytes(size_t symbolBits, int timingCount);

// Learned form -> stored record, with the symbol width the remote reported
// (1..15). Type = (flags >> 3) & 7, carrier rounded from byte 4, counts
// copied, byte 2 carried into the reserved byte, table and symbols copied.
// Fails when the first-frame count is 0, the width is 0 or above 15, the
// table and symbols would reach past the 512 bytes, or the result is not a
// storable record (more than 32 blocks, 16 or more timing entries, 200 or
// more first-frame symbols).
bool LearnedToStored(std::span<const uint8_t, kLearnedCodeBytes> learned, int symbolWidth, IrCodeInfo& stored);
// The same with the width the stored record implies (ImpliedSymbolWidth).
bool LearnedToStored(std::span<const uint8_t, kLearnedCodeBytes> learned, IrCodeInfo& stored);

// Stored record -> send form: flags = (type & 15) x 8, byte 2 = 0, carrier
// byte rounded from the period, counts copied, the same size rule and copy
// (symbol width ImpliedSymbolWidth); every other byte 0. Fails when the
// first-frame count is 0, the carrier byte would be above 255, or the table
// and symbols do not lie inside the record's data or would reach past the
// 512 bytes.
bool StoredToSend(const IrCodeInfo& stored, LearnedCode& send);

// A learned code kept in a file of its own (an S binary, ".sbin"): the
// learned form with no header, at most 40 blocks and 16 timing entries.
inline constexpr int kMaxFileCodeBlocks = 40;
inline constexpr int kMaxFileCodeTimings = 16;
// The learned code of a file's bytes. Accepted when the bytes hold the
// 8-byte head and no more than the 512 bytes of the form, the block count
// (byte 0) is 1..40 and its blocks lie inside the bytes, and the timing
// count (byte 7) is 16 or less; `code` then holds the bytes, zero after them.
// False, `code` untouched, otherwise.
bool LearnedCodeOfFile(std::span<const uint8_t> bytes, LearnedCode& code);

}  // namespace orvalink
