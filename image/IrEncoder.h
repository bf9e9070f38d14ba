// Makes the marks and spaces of an IR code from a protocol and its numbers,
// the inverse of DecodeIr: "NEC, device 4, function 8" as a forum prints it
// becomes a code the remote can send. The factory code library is made by
// the same encoder.
//
// The result is the carrier and the first and repeat frames in
// microseconds (a ProntoCode), so LearnedOfPronto turns it into the
// remote's learned form and LearnedToStored into a stored record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/CodeRecords.h"
#include "image/IrDecoder.h"
#include "image/Pronto.h"

namespace orvalink {

// The numbers an encoder takes: those DecodeIr gives back, and the toggle
// bit of RC-5 and RC-6 (ignored by the other protocols).
struct IrEncodeRequest {
    IrDecoded numbers;
    bool toggle = false;
};

// The protocol's frames with its nominal timings and carrier. Fails, with
// `error` set to a reason a person can read ("NEC function 300 is above
// 255") and `code` untouched, for numbers the protocol cannot carry or a
// sub-device where the protocol has none.
//
// Every protocol has a sub-device of its own where DecodeIr gives one back;
// Samsung's is its device when none is given, the others need one. A
// vendor is Kaseikyo's alone. The frames are those of the code-set form
// below: NEC has its 9 + 2.25 ms repeat frame, JVC repeats its frame
// without the leader, Sony sends its frame three times, and the others send
// their frame again while the key is held. RC-5 and RC-6 frames end with
// the gap to their frame period (114 and 107 ms).
bool EncodeIr(const IrEncodeRequest& request, ProntoCode& code, std::string& error);

// The largest device, sub-device and function a protocol carries (for a
// dialog's spin boxes and the command line's checks); `hasSubDevice` false
// where the protocol has none.
struct IrNumberRanges {
    unsigned maxDevice = 0;
    bool hasSubDevice = false;
    unsigned maxSubDevice = 0;
    unsigned maxFunction = 0;
    bool hasToggle = false;
    bool hasVendor = false;  // Kaseikyo: a 16-bit vendor
    unsigned maxVendor = 0;
};
IrNumberRanges IrRangesOf(IrProtocolKind kind);

// The same frames in the code-set form of the pre-programmed library: a
// timing table that depends on the protocol alone (so every code of one
// protocol shares it) and the symbols of the first and repeat frames. For
// Normal codes a symbol is an index into the table (a mark and the space
// after it); RC-5 and RC-6 codes have one entry, the half-bit unit, and a
// symbol is one data bit in the order sent (the stored record's own form,
// see MarksAndSpaces). An empty repeat means the code has no repeat frame.
struct IrSymbolFrames {
    uint8_t codeType = kCodeNormal;  // kCodeNormal, kCodeRc5 or kCodeRc6
    unsigned carrierHz = 0;
    std::vector<IrPulse> timings;
    std::vector<uint8_t> first;
    std::vector<uint8_t> repeat;
};
// Fails as EncodeIr does, `frames` untouched.
bool EncodeIrSymbols(const IrEncodeRequest& request, IrSymbolFrames& frames, std::string& error);

// The protocol a name spells, case and the blanks, dashes and underscores
// between its parts aside: IrProtocolName's names and the usual short ones
// ("NEC", "NECext", "NEC extended", "Samsung32", "JVC", "SIRC", "SIRC12",
// "SIRC15", "SIRC20", "RC5", "RC5X", "RC6", "Kaseikyo", "Panasonic").
// "Panasonic" gives Kaseikyo with Panasonic's vendor 0x2002; the other
// numbers are 0.
std::optional<IrDecoded> IrProtocolOfName(std::string_view name);

}  // namespace orvalink
