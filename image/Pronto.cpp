#include "image/Pronto.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace orvalink {

namespace {

constexpr uint32_t kMaxEntry = 0xFFFF;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Word(unsigned w) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04X", w & 0xFFFF);
    return buf;
}

std::string NotAWord(std::string_view token) {
    return "Pronto Hex is made of four-digit hex words; '" + std::string(token) + "' is not one.";
}

}  // namespace

bool ProntoText(const ProntoCode& code, std::string& text, std::string& error) {
    if (code.carrierHz == 0) {
        error = "The code has no carrier frequency.";
        return false;
    }
    const double freqWord = std::round(1e6 / (double(code.carrierHz) * kProntoClockUs));
    if (freqWord < 1 || freqWord > 0xFFFF) {
        error = "The carrier of " + std::to_string(code.carrierHz) + " Hz cannot be written in Pronto Hex.";
        return false;
    }
    if (code.once.empty() && code.repeat.empty()) {
        error = "The code has no marks and spaces.";
        return false;
    }
    if (code.once.size() > 0xFFFF || code.repeat.size() > 0xFFFF) {
        error = "The code has too many marks and spaces for Pronto Hex.";
        return false;
    }
    const double period = freqWord * kProntoClockUs;
    std::string out = "0000 " + Word(unsigned(freqWord)) + " " + Word(unsigned(code.once.size())) + " " +
                      Word(unsigned(code.repeat.size()));
    for (const auto* frame : {&code.once, &code.repeat}) {
        for (const IrPulse& p : *frame) {
            for (uint32_t us : {p.mark, p.space}) {
                const double n = std::round(double(us) / period);
                if (n > 0xFFFF) {
                    error = "A duration of " + std::to_string(us) + " us is too long for Pronto Hex.";
                    return false;
                }
                out += " " + Word(unsigned(n));
            }
        }
    }
    text = std::move(out);
    return true;
}

bool ParsePronto(std::string_view text, ProntoCode& code, std::string& error) {
    // Every word takes at least five characters with its separator, so the
    // word list is bounded by the text.
    std::vector<uint16_t> words;
    words.reserve(text.size() / 5 + 1);
    size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsBlank(text[end])) ++end;
        if (end - i != 4) {
            error = NotAWord(text.substr(i, std::min<size_t>(end - i, 16)));
            return false;
        }
        unsigned w = 0;
        for (size_t k = i; k < end; ++k) {
            const int d = HexDigit(text[k]);
            if (d < 0) {
                error = NotAWord(text.substr(i, 4));
                return false;
            }
            w = w * 16 + unsigned(d);
        }
        words.push_back(uint16_t(w));
        i = end;
    }
    if (words.size() < 4) {
        error = "Pronto Hex starts with four words: type, frequency and the two burst counts.";
        return false;
    }
    if (words[0] != 0x0000) {
        error = "Only learned Pronto codes (type 0000) can be read; this one is type " + Word(words[0]) + ".";
        return false;
    }
    if (words[1] == 0) {
        error = "The Pronto code has a frequency word of 0000.";
        return false;
    }
    const size_t once = words[2], repeat = words[3];
    if (once + repeat == 0) {
        error = "The Pronto code has no bursts.";
        return false;
    }
    if (2 * (once + repeat) != words.size() - 4) {
        error = "The Pronto code announces " + std::to_string(2 * (once + repeat)) + " duration words but has " +
                std::to_string(words.size() - 4) + ".";
        return false;
    }
    const double period = words[1] * kProntoClockUs;
    ProntoCode c;
    c.carrierHz = unsigned(std::lround(1e6 / period));
    auto us = [&](size_t at) { return uint32_t(std::lround(words[at] * period)); };
    c.once.reserve(once);
    c.repeat.reserve(repeat);
    for (size_t b = 0; b < once + repeat; ++b) {
        const IrPulse p{us(4 + 2 * b), us(5 + 2 * b)};
        (b < once ? c.once : c.repeat).push_back(p);
    }
    code = std::move(c);
    return true;
}

ProntoCode ProntoOfCode(const IrCodeInfo& code) {
    ProntoCode p;
    p.carrierHz = code.carrier ? unsigned(std::lround(8e6 / code.carrier)) : 0;
    p.once = MarksAndSpaces(code);
    p.repeat = MarksAndSpaces(code, true);
    return p;
}

bool LearnedOfPronto(const ProntoCode& pronto, LearnedCode& learned, std::string& error) {
    // A code that is all repeat frame sends that frame first as well.
    ProntoCode code = pronto;
    if (code.once.empty()) code.once = code.repeat;
    if (code.once.empty()) {
        error = "The code has no marks and spaces.";
        return false;
    }
    if (code.once.size() > kLearnedMaxOnceBursts || code.repeat.size() > kLearnedMaxRepeatBursts) {
        error = "The code has more bursts than a learned code can hold.";
        return false;
    }
    uint8_t carrierByte = 0;
    const double period = code.carrierHz ? std::round(8e6 / code.carrierHz) : 0;
    if (period < 1 || period > 0xFFFF || !CarrierByteFromPeriod(uint16_t(period), carrierByte)) {
        error = "A carrier of " + std::to_string(code.carrierHz) + " Hz cannot be learned.";
        return false;
    }
    std::vector<IrPulse> table;
    std::vector<uint8_t> symbols;
    for (const auto* frame : {&code.once, &code.repeat}) {
        for (IrPulse p : *frame) {
            if (p.mark > kMaxEntry) {
                error = "A mark of " + std::to_string(p.mark) + " us is too long for a learned code.";
                return false;
            }
            p.space = std::min(p.space, kMaxEntry);
            auto at = std::find(table.begin(), table.end(), p);
            if (at == table.end()) {
                if (table.size() == 15) {
                    error = "The code has more than 15 different bursts; a learned code holds 15.";
                    return false;
                }
                at = table.insert(table.end(), p);
            }
            symbols.push_back(uint8_t(at - table.begin()));
        }
    }
    const int count = int(table.size());
    const int width = ImpliedSymbolWidth(kCodeNormal, count);
    const size_t bits = symbols.size() * size_t(width);
    const size_t blocks = LearnedBlocks(bits, count);
    const size_t bytes = LearnedDataBytes(bits, count);
    if (blocks > size_t(kMaxIrCodeBlocks) || 8 + bytes > kLearnedCodeBytes) {
        error = "The code is longer than a learned code can be.";
        return false;
    }
    LearnedCode out{};
    out[0] = uint8_t(blocks);
    out[1] = uint8_t(kCodeNormal << 3);
    out[4] = carrierByte;
    out[5] = uint8_t(code.once.size());
    out[6] = code.repeat.empty() ? kNoRepeat : uint8_t(code.repeat.size());
    out[7] = uint8_t(count);
    for (int e = 0; e < count; ++e) {
        const IrPulse& p = table[size_t(e)];
        uint8_t* t = out.data() + 8 + 4 * e;
        t[0] = uint8_t(p.mark);
        t[1] = uint8_t(p.mark >> 8);
        t[2] = uint8_t(p.space);
        t[3] = uint8_t(p.space >> 8);
    }
    const std::span<uint8_t> packed(out.data() + 8 + 4 * count, bytes - 4 * size_t(count));
    for (size_t s = 0; s < symbols.size(); ++s) PutSymbol(packed, s, width, symbols[s]);
    learned = out;
    return true;
}

}  // namespace orvalink
