// Pronto Hex, the text form IR codes are swapped in between programs and
// web sites: four-digit hex words, "0000 FREQ ONCE REPEAT" and then ONCE
// and REPEAT burst pairs (a mark and the space after it), each in periods
// of the carrier. FREQ is the carrier period in units of 0.241246 us.
//
// Only the learned form (first word 0000) is read; the coded forms (5000
// RC-5, 6000 RC-6, 900A NEC, ...) are refused with a reason.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "image/CodeRecords.h"
#include "image/IrWaveform.h"
#include "image/LearnedCodes.h"

namespace orvalink {

inline constexpr double kProntoClockUs = 0.241246;

// The most bursts a learned code holds: its first frame's count is a byte
// below 200, its repeat frame's a byte below 255 (255 is "no repeat").
inline constexpr size_t kLearnedMaxOnceBursts = 199;
inline constexpr size_t kLearnedMaxRepeatBursts = 254;
// The longest Pronto Hex text of a code a learned code can hold: the four
// words and two per burst, each word with at most two blanks after it (one
// word a line with CR LF line ends). A reader stops there and refuses the
// text.
inline constexpr size_t kProntoTextMaxBytes = (4 + 2 * (kLearnedMaxOnceBursts + kLearnedMaxRepeatBursts)) * 6;

struct ProntoCode {
    unsigned carrierHz = 0;
    std::vector<IrPulse> once;    // marks and spaces in microseconds
    std::vector<IrPulse> repeat;  // empty for a code without a repeat frame
    bool operator==(const ProntoCode&) const = default;
};

// Upper-case words separated by single spaces. Fails (with `error` set and
// `text` untouched) for a carrier of 0 or one whose word does not fit,
// frames without bursts, and durations of more than 0xFFFF periods.
bool ProntoText(const ProntoCode& code, std::string& text, std::string& error);

// Durations come back in whole microseconds, rounded from the periods.
// Fails, with `error` set and `code` untouched, for anything but the
// learned form with exactly the words its counts announce.
bool ParsePronto(std::string_view text, ProntoCode& code, std::string& error);

// A stored code's frames and carrier (MarksAndSpaces).
ProntoCode ProntoOfCode(const IrCodeInfo& code);

// The learned/send form of a code: a Normal code whose timing table holds
// each distinct burst once. Spaces longer than 0xFFFF us are cut to it (the
// receiver has long seen the frame end). Fails, with `error` set and
// `learned` untouched, where the form cannot hold the code: more than 15
// distinct bursts, a mark above 0xFFFF us, 200 or more bursts in the first
// frame, 255 or more in the repeat frame, a carrier below about 20 kHz, or
// more than 32 blocks. A code with only a repeat frame sends it first as
// well. LearnedToStored reads the result.
bool LearnedOfPronto(const ProntoCode& code, LearnedCode& learned, std::string& error);

}  // namespace orvalink
