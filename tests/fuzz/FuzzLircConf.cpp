// Random text through the LIRC configuration reader, and what it accepts
// through the writer and the reader again. The reader may read nothing
// outside the text, must keep to its limits, must leave the list alone and
// name the file when it refuses, and every signal it gives must be one the
// writer can write and the reader read back.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "formats/IrSignalFiles.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckFrame(const std::vector<IrPulse>& frame) {
    Check(2 * frame.size() <= kIrSignalMaxDurations + 1);
    for (const IrPulse& p : frame) Check(p.mark <= kIrMaxDurationUs && p.space <= kIrMaxDurationUs);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<IrSignal> signals(1);
    signals[0].name = "before";
    std::string error;
    if (!ParseLircConf(text, "fuzz.conf", signals, error)) {
        Check(signals.size() == 1 && signals[0].name == "before");
        Check(error.rfind("fuzz.conf:", 0) == 0);
        return 0;
    }
    Check(!signals.empty() && signals.size() <= kIrFileMaxSignals);
    for (const IrSignal& s : signals) {
        Check(!s.name.empty() && s.line >= 1);
        Check(!s.code.once.empty() && s.code.once[0].mark > 0);
        CheckFrame(s.code.once);
        CheckFrame(s.code.repeat);
        Check(s.decoded == DecodeIr(s.code.once));
    }
    std::string out;
    if (!WriteLircConf("fuzz", signals, out, error)) return 0;
    std::vector<IrSignal> back;
    Check(ParseLircConf(out, "out.conf", back, error));
    Check(back.size() == signals.size());
    // Coded, the numbers come back; raw, the marks (the last space becomes
    // the remote's gap).
    // (A name is one word, so "flags SPACE_ENC" is never part of one.)
    const bool coded = out.find("flags SPACE_ENC") != std::string::npos;
    for (size_t i = 0; i < back.size(); ++i) {
        if (coded) {
            Check(back[i].decoded == signals[i].decoded);
            continue;
        }
        Check(back[i].code.once.size() == signals[i].code.once.size());
        for (size_t k = 0; k < back[i].code.once.size(); ++k)
            Check(back[i].code.once[k].mark == signals[i].code.once[k].mark);
    }
    return 0;
}
