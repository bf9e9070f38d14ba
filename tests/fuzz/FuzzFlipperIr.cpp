// Random text through the Flipper IR signal file reader, and what it
// accepts through the writer and the reader again. A refusal must leave the
// signals alone and name the file; what is read stays within the limits;
// what is written reads back with the same signals and decoded numbers.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/IrSignalFiles.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<IrSignal> signals(1);
    signals[0].name = "untouched";
    std::string error;
    if (!ParseFlipperIr(text, "f.ir", signals, error)) {
        Check(signals.size() == 1 && signals[0].name == "untouched");
        Check(error.rfind("f.ir:", 0) == 0);
        return 0;
    }
    Check(signals.size() <= kIrFileMaxSignals);
    for (const IrSignal& s : signals) {
        Check(!s.name.empty() && s.line >= 3);
        Check(!s.code.once.empty() && s.code.carrierHz > 0);
        Check(s.code.once.size() <= kIrSignalMaxDurations / 2 + 1);
        for (const IrPulse& p : s.code.once) Check(p.mark > 0 && p.mark <= kIrMaxDurationUs);
    }
    std::string written;
    if (!WriteFlipperIr(signals, written, error)) return 0;  // a raw signal longer than a Flipper holds
    std::vector<IrSignal> back;
    Check(ParseFlipperIr(written, "back.ir", back, error));
    Check(back.size() == signals.size());
    for (size_t i = 0; i < back.size(); ++i) {
        // A decoded signal may come back as its protocol makes it (Sony's
        // three frames); the others as they were.
        if (signals[i].decoded)
            Check(back[i].decoded == signals[i].decoded);
        else
            Check(back[i].code.once.size() == signals[i].code.once.size());
    }
    return 0;
}
