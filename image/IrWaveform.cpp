#include "image/IrWaveform.h"

namespace orvalink {

namespace {

uint32_t Word(const IrCodeInfo& code, size_t at) {
    return at + 1 < code.data.size() ? uint32_t(code.data[at] | (code.data[at + 1] << 8)) : 0;
}

// Levels of a bit-coded frame, merged into mark/space pairs.
class LevelTrain {
public:
    void Add(bool mark, uint32_t us) {
        if (us == 0) return;
        if (pulses_.empty() && !mark) return;  // the frame starts with its first mark
        if (mark) {
            if (!pulses_.empty() && pulses_.back().space == 0) {
                pulses_.back().mark += us;
            } else {
                pulses_.push_back({us, 0});
            }
        } else {
            pulses_.back().space += us;
        }
    }
    std::vector<IrPulse> Take() { return std::move(pulses_); }

private:
    std::vector<IrPulse> pulses_;
};

}  // namespace

std::vector<IrPulse> MarksAndSpaces(const IrCodeInfo& code, bool repeat) {
    const size_t first = repeat ? code.firstCount : 0;
    const size_t count = repeat ? (code.repeatCount == 0xFF ? 0 : code.repeatCount) : code.firstCount;
    std::vector<IrPulse> out;
    if (count == 0) return out;
    const size_t tableBytes = 4 * size_t(code.timingCount);
    const bool bitCoded = code.codeType == kCodeRc5 || code.codeType == kCodeRc6;
    const int width = bitCoded ? 1 : SymbolWidth(code.timingCount);
    auto symbol = [&](size_t i) {
        uint32_t v = 0;
        for (int b = 0; b < width; ++b) {
            size_t bit = i * size_t(width) + size_t(b);
            size_t at = tableBytes + bit / 8;
            if (at < code.data.size() && ((code.data[at] >> (bit % 8)) & 1)) v |= 1u << b;
        }
        return v;
    };
    if (!bitCoded) {
        for (size_t i = first; i < first + count; ++i) {
            uint32_t s = symbol(i);
            if (s >= code.timingCount) break;  // a symbol beyond the table ends the frame
            out.push_back({Word(code, 4 * s), Word(code, 4 * s + 2)});
        }
        return out;
    }
    const uint32_t unit = Word(code, 0);
    LevelTrain train;
    if (code.codeType == kCodeRc6) {
        train.Add(true, 6 * unit);
        train.Add(false, 2 * unit);
    }
    for (size_t i = first; i < first + count; ++i) {
        const bool one = symbol(i) != 0;
        const uint32_t half = (code.codeType == kCodeRc6 && i - first == 4) ? 2 * unit : unit;
        const bool markFirst = code.codeType == kCodeRc6 ? one : !one;
        train.Add(markFirst, half);
        train.Add(!markFirst, half);
    }
    return train.Take();
}

double CarrierKhz(uint16_t period) { return period ? 8000.0 / period : 0.0; }

}  // namespace orvalink
