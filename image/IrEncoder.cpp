#include "image/IrEncoder.h"

namespace orvalink {

bool EncodeIr(const IrEncodeRequest&, ProntoCode&, std::string& error) {
    error = "no encoder for this protocol yet";
    return false;
}

IrNumberRanges IrRangesOf(IrProtocolKind) { return {}; }

}  // namespace orvalink
