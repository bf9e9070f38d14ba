// Random text through the Pronto Hex reader, and what it accepts out again
// and through the learned form; the same bytes as marks and spaces through
// the IR decoder. Nothing may be read outside the input, a refusal must
// leave the result alone, and the decoder must give numbers its protocols
// can carry.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "image/IrDecoder.h"
#include "image/Pronto.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void CheckDecoded(std::span<const IrPulse> pulses) {
    const auto d = DecodeIr(pulses);
    if (!d) return;
    Check(d->device <= 0xFF && d->function <= 0xFF);
    Check(!d->subDevice || *d->subDevice <= 0xFF);
    Check(!IrProtocolName(*d).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ProntoCode code{12345, {{1, 2}}, {}};
    const ProntoCode before = code;
    std::string error;
    if (ParsePronto(text, code, error)) {
        Check(!code.once.empty() || !code.repeat.empty());
        Check(code.once.size() + code.repeat.size() <= size / 10);  // two words a burst
        CheckDecoded(code.once);
        std::string out;
        if (ProntoText(code, out, error)) {
            ProntoCode again;
            Check(ParsePronto(out, again, error));
            Check(again.once.size() == code.once.size() && again.repeat.size() == code.repeat.size());
        }
        LearnedCode learned;
        if (LearnedOfPronto(code, learned, error)) {
            IrCodeInfo stored;
            Check(LearnedToStored(learned, stored));
            const ProntoCode back = ProntoOfCode(stored);
            Check(back.once.size() == (code.once.empty() ? code.repeat.size() : code.once.size()));
            Check(back.repeat.size() == code.repeat.size());
        }
    } else {
        Check(code == before && !error.empty());
    }

    // The bytes as 16-bit marks and spaces.
    std::vector<IrPulse> pulses;
    for (size_t i = 0; i + 4 <= size; i += 4)
        pulses.push_back({uint32_t(data[i] | data[i + 1] << 8), uint32_t(data[i + 2] | data[i + 3] << 8)});
    CheckDecoded(pulses);
    return 0;
}
