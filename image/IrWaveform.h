// The marks and spaces an IR code sends, in microseconds.
//
// Normal and Pulse codes: each symbol names a timing entry (a mark and the
// space after it). RC-5 and RC-6 codes: one timing entry holds the half-bit
// unit and each symbol is a data bit in the order sent. RC-5 bits are
// Manchester coded with a 1 as space-then-mark; RC-6 starts with a leader of
// six units of mark and two of space, codes a 1 as mark-then-space, and its
// fifth bit (the trailer bit) lasts twice as long.
#pragma once

#include <cstdint>
#include <vector>

#include "image/CodeRecords.h"

namespace orvalink {

struct IrPulse {
    uint32_t mark = 0;
    uint32_t space = 0;
    bool operator==(const IrPulse&) const = default;
};

// The first frame (or, with `repeat`, the repeat frame) as marks and spaces;
// empty for a frame the code does not have.
std::vector<IrPulse> MarksAndSpaces(const IrCodeInfo& code, bool repeat = false);

// The carrier frequency in kHz of a period in 0.125 microsecond units (0 for 0).
double CarrierKhz(uint16_t period);

}  // namespace orvalink
