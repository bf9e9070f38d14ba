// Makes the marks and spaces of an IR code from a protocol and its numbers,
// the inverse of DecodeIr: "NEC, device 4, function 8" as a forum prints it
// becomes a code the remote can send. The factory code library is made by
// the same encoder.
//
// The result is the carrier and the first and repeat frames in
// microseconds (a ProntoCode), so LearnedOfPronto turns it into the
// remote's learned form and LearnedToStored into a stored record.
#pragma once

#include <string>

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
};
IrNumberRanges IrRangesOf(IrProtocolKind kind);

}  // namespace orvalink
