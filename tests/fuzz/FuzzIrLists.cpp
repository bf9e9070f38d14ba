// Random text through the Pronto Hex list and duration list readers and the
// format guess. A reader may read nothing outside the text, must keep to
// its limits, must leave the list alone and name the file and line when it
// refuses; a Pronto list it reads writes out and reads back the same count
// of signals with the same protocols.
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

using Parser = bool (*)(std::string_view, std::string_view, std::vector<IrSignal>&, std::string&);

// The signals `parse` reads, checked; empty when it refuses.
std::vector<IrSignal> ReadChecked(Parser parse, std::string_view text) {
    std::vector<IrSignal> signals(1);
    signals[0].name = "before";
    std::string error;
    if (!parse(text, "fuzz.txt", signals, error)) {
        Check(signals.size() == 1 && signals[0].name == "before");
        Check(error.rfind("fuzz.txt:", 0) == 0);
        return {};
    }
    Check(!signals.empty() && signals.size() <= kIrFileMaxSignals);
    for (const IrSignal& s : signals) {
        Check(!s.name.empty() && s.line >= 1 && s.code.carrierHz > 0);
        Check(!s.code.once.empty() || !s.code.repeat.empty());
        Check(2 * (s.code.once.size() + s.code.repeat.size()) <= kIrSignalMaxDurations + 1);
        Check(s.decoded == DecodeIr(s.code.once.empty() ? s.code.repeat : s.code.once));
    }
    return signals;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<IrSignal> pronto = ReadChecked(ParseProntoList, text);
    if (!pronto.empty()) {
        std::string out, error;
        if (WriteProntoList(pronto, out, error)) {
            const std::vector<IrSignal> back = ReadChecked(ParseProntoList, out);
            Check(back.size() == pronto.size());
            for (size_t i = 0; i < back.size(); ++i)
                Check(back[i].code.once.size() == pronto[i].code.once.size() &&
                      back[i].code.repeat.size() == pronto[i].code.repeat.size());
        }
    }
    for (const IrSignal& s : ReadChecked(ParseDurationList, text))
        for (const IrPulse& p : s.code.once) Check(p.mark >= 1 && p.mark <= kIrMaxDurationUs && p.space <= kIrMaxDurationUs);
    for (const char* name : {"x.ir", "x.conf", "x.txt", "x"}) (void)GuessIrFileFormat(text, name);
    return 0;
}
