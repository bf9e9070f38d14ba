#include "formats/IrSignalFiles.h"

#include <filesystem>

#include "formats/FileIo.h"
#include "formats/IrTextLines.h"

namespace orvalink {

using namespace irtext;

namespace {

bool IsComment(std::string_view line) {
    const std::string_view t = Trim(line);
    return !t.empty() && t[0] == '#';
}

// "NAME: rest" splits at the first colon; otherwise a first word that is
// not `isData` is the name. `name` is empty where the line is data only.
void SplitName(std::string_view line, bool (*isData)(std::string_view), std::string_view& name,
               std::string_view& rest) {
    line = Trim(line);
    if (const size_t colon = line.find(':'); colon != std::string_view::npos) {
        name = Trim(line.substr(0, colon));
        rest = line.substr(colon + 1);
        return;
    }
    size_t end = 0;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    if (isData(line.substr(0, end))) {
        name = {};
        rest = line;
    } else {
        name = line.substr(0, end);
        rest = line.substr(end);
    }
}

std::string UnnamedSignal(size_t index) { return "Signal " + std::to_string(index + 1); }

bool EnoughRoom(const std::vector<IrSignal>& signals, std::string_view fileName, size_t line, std::string& error) {
    if (signals.size() < kIrFileMaxSignals) return true;
    error = At(fileName, line, "more than " + std::to_string(kIrFileMaxSignals) + " signals");
    return false;
}

void Decode(IrSignal& s) { s.decoded = DecodeIr(s.code.once.empty() ? s.code.repeat : s.code.once); }

// --- Pronto Hex lists ---

struct PendingPronto {
    bool open = false;
    std::string name;
    size_t line = 0;
    std::string text;
    size_t words = 0;
    unsigned counts[4] = {};
    size_t expected = 0;  // words the counts announce; 0 while unknown
    bool Complete() const { return expected != 0 && words >= expected; }
};

bool FinishPronto(PendingPronto& p, std::string_view fileName, std::vector<IrSignal>& out, std::string& error) {
    if (!p.open) return true;
    p.open = false;
    const std::string shown = p.name.empty() ? UnnamedSignal(out.size()) : p.name;
    if (p.words == 0) {
        error = At(fileName, p.line, "\"" + shown + "\" has no Pronto Hex");
        return false;
    }
    if (!EnoughRoom(out, fileName, p.line, error)) return false;
    IrSignal s;
    std::string why;
    if (!ParsePronto(p.text, s.code, why)) {
        error = At(fileName, p.line, shown + ": " + why);
        return false;
    }
    s.name = shown;
    s.line = p.line;
    Decode(s);
    out.push_back(std::move(s));
    return true;
}

// --- duration lists ---

bool IsDurationWord(std::string_view w) {
    if (!w.empty() && (w[0] == '+' || w[0] == '-')) w.remove_prefix(1);
    return !w.empty() && w[0] >= '0' && w[0] <= '9';
}

struct PendingDurations {
    bool open = false;
    std::string name;
    size_t line = 0;
    unsigned carrier = 0;
    std::vector<uint32_t> us;
};

bool FinishDurations(PendingDurations& p, std::string_view fileName, std::vector<IrSignal>& out,
                     std::string& error) {
    if (!p.open) return true;
    p.open = false;
    const std::string shown = p.name.empty() ? UnnamedSignal(out.size()) : p.name;
    if (p.us.empty()) {
        error = At(fileName, p.line, "\"" + shown + "\" has no durations");
        return false;
    }
    if (!EnoughRoom(out, fileName, p.line, error)) return false;
    IrSignal s;
    s.name = shown;
    s.line = p.line;
    s.code.carrierHz = p.carrier;
    s.code.once.reserve((p.us.size() + 1) / 2);
    for (size_t i = 0; i < p.us.size(); i += 2)
        s.code.once.push_back({p.us[i], i + 1 < p.us.size() ? p.us[i + 1] : 0});
    Decode(s);
    out.push_back(std::move(s));
    p.us.clear();
    return true;
}

constexpr unsigned kDefaultCarrierHz = 38000;
constexpr uint64_t kMinCarrierHz = 10000, kMaxCarrierHz = 500000;

// The length of a carrier line's keyword ("carrier", "frequency") at the
// start of `word`, with a ':' or '=' after it; 0 where `word` starts none.
size_t CarrierKeyword(std::string_view word) {
    for (std::string_view key : {std::string_view("carrier"), std::string_view("frequency")}) {
        if (word.size() < key.size() || !EqualsNoCase(word.substr(0, key.size()), key)) continue;
        const std::string_view after = word.substr(key.size());
        if (after.empty() || after[0] == ':' || after[0] == '=' || (after[0] >= '0' && after[0] <= '9'))
            return key.size();
    }
    return 0;
}

bool IsCarrierWord(std::string_view w) { return CarrierKeyword(w) != 0; }

// "carrier 38000", "carrier: 38000Hz", "frequency=38 kHz", "carrier 38kHz".
bool ParseCarrier(const std::vector<std::string_view>& words, unsigned& hz) {
    std::string joined;
    for (std::string_view w : words) joined += w;
    std::string_view v = joined;
    v.remove_prefix(CarrierKeyword(v));
    if (!v.empty() && (v[0] == ':' || v[0] == '=')) v.remove_prefix(1);
    uint64_t scale = 1;
    auto endsWith = [&](std::string_view suffix) {
        return v.size() > suffix.size() && EqualsNoCase(v.substr(v.size() - suffix.size()), suffix);
    };
    if (endsWith("khz")) {
        scale = 1000;
        v.remove_suffix(3);
    } else if (endsWith("hz")) {
        v.remove_suffix(2);
    }
    uint64_t n = 0;
    if (!ParseDecimal(v, kMaxCarrierHz, n)) return false;
    n *= scale;
    if (n < kMinCarrierHz || n > kMaxCarrierHz) return false;
    hz = unsigned(n);
    return true;
}

std::string ExtensionOf(std::string_view fileName) {
    const std::string ext = std::filesystem::path(std::string(fileName)).extension().string();
    std::string lower;
    for (char c : ext) lower += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    return lower;
}

}  // namespace


bool ParseProntoList(std::string_view text, std::string_view fileName, std::vector<IrSignal>& signals,
                     std::string& error) {
    if (!TextFits(text, fileName, error)) return false;
    std::vector<IrSignal> out;
    PendingPronto p;
    LineReader lines(text, fileName);
    std::string_view line;
    while (lines.Next(line, error)) {
        const size_t n = lines.Number();
        if (IsComment(line)) continue;
        if (Trim(line).empty()) {
            if (!FinishPronto(p, fileName, out, error)) return false;
            continue;
        }
        std::string_view name, rest;
        SplitName(line, IsProntoWord, name, rest);
        if (!name.empty() || !p.open || p.Complete()) {
            if (!FinishPronto(p, fileName, out, error)) return false;
            p = PendingPronto{};
            p.open = true;
            p.name = std::string(name);
            p.line = n;
        }
        for (std::string_view w : Words(rest)) {
            if (p.words >= 4 + kIrSignalMaxDurations) {
                error = At(fileName, p.line, "a signal of more than " + std::to_string(kIrSignalMaxDurations) +
                                                 " marks and spaces");
                return false;
            }
            if (p.words < 4) {
                uint64_t v = 0;
                const bool hex = IsProntoWord(w) && ParseCNumber("0x" + std::string(w), v);
                p.counts[p.words] = hex ? unsigned(v) : 0;
                if (p.words == 3) p.expected = 4 + 2 * (size_t(p.counts[2]) + p.counts[3]);
            }
            ++p.words;
            if (!p.text.empty()) p.text += ' ';
            p.text += w;
        }
    }
    if (lines.Failed()) return false;
    if (!FinishPronto(p, fileName, out, error)) return false;
    if (out.empty()) {
        error = At(fileName, lines.Number() ? lines.Number() : 1, "no Pronto Hex signals in the file");
        return false;
    }
    signals = std::move(out);
    return true;
}

bool ParseDurationList(std::string_view text, std::string_view fileName, std::vector<IrSignal>& signals,
                       std::string& error) {
    if (!TextFits(text, fileName, error)) return false;
    std::vector<IrSignal> out;
    PendingDurations p;
    unsigned carrier = kDefaultCarrierHz;
    LineReader lines(text, fileName);
    std::string_view line;
    while (lines.Next(line, error)) {
        const size_t n = lines.Number();
        if (IsComment(line)) continue;
        if (Trim(line).empty()) {
            if (!FinishDurations(p, fileName, out, error)) return false;
            continue;
        }
        const std::vector<std::string_view> words = Words(line, ',');
        if (words.empty()) continue;  // commas only
        if (IsCarrierWord(words[0])) {
            if (!FinishDurations(p, fileName, out, error)) return false;
            if (!ParseCarrier(words, carrier)) {
                error = At(fileName, n,
                           "a carrier is a frequency from " + std::to_string(kMinCarrierHz) + " to " +
                               std::to_string(kMaxCarrierHz) + " Hz (\"carrier 38000\")");
                return false;
            }
            continue;
        }
        std::string_view name, rest;
        SplitName(line, IsDurationWord, name, rest);
        if (!name.empty() || !p.open) {
            if (!FinishDurations(p, fileName, out, error)) return false;
            p.open = true;
            p.name = std::string(name);
            p.line = n;
            p.carrier = carrier;
        }
        for (std::string_view w : Words(rest, ',')) {
            const bool mark = p.us.size() % 2 == 0;
            if ((w[0] == '+' && !mark) || (w[0] == '-' && mark)) {
                error = At(fileName, n,
                           std::string("\"") + std::string(w) + "\" where a " + (mark ? "mark (+)" : "space (-)") +
                               " belongs");
                return false;
            }
            if (w[0] == '+' || w[0] == '-') w.remove_prefix(1);
            uint64_t us = 0;
            if (!ParseDecimal(w, UINT64_MAX, us)) {
                error = At(fileName, n, "\"" + std::string(w.substr(0, 20)) + "\" is not a duration in microseconds");
                return false;
            }
            if (us == 0 || us > kIrMaxDurationUs) {
                error = At(fileName, n,
                           "a duration of " + std::string(w.substr(0, 20)) + " us (from 1 to " +
                               std::to_string(kIrMaxDurationUs) + ")");
                return false;
            }
            if (p.us.size() >= kIrSignalMaxDurations) {
                error = At(fileName, p.line, "a signal of more than " + std::to_string(kIrSignalMaxDurations) +
                                                 " marks and spaces");
                return false;
            }
            p.us.push_back(uint32_t(us));
        }
    }
    if (lines.Failed()) return false;
    if (!FinishDurations(p, fileName, out, error)) return false;
    if (out.empty()) {
        error = At(fileName, lines.Number() ? lines.Number() : 1, "no signals in the file");
        return false;
    }
    signals = std::move(out);
    return true;
}

std::optional<IrFileFormat> GuessIrFileFormat(std::string_view text, std::string_view fileName) {
    LineReader lines(text, fileName);
    std::string_view line;
    std::string ignored;
    while (lines.Next(line, ignored)) {
        if (IsComment(line) || Trim(line).empty()) continue;
        const std::vector<std::string_view> words = Words(line);
        if (EqualsNoCase(words[0], "filetype:")) return IrFileFormat::Flipper;
        if (EqualsNoCase(words[0], "begin") && words.size() > 1 && EqualsNoCase(words[1], "remote"))
            return IrFileFormat::Lirc;
        if (IsCarrierWord(words[0])) return IrFileFormat::Durations;
        std::string_view name, rest;
        SplitName(line, [](std::string_view w) { return IsProntoWord(w) || IsDurationWord(w); }, name, rest);
        const std::vector<std::string_view> data = Words(rest, ',');
        if (data.empty()) continue;  // a name alone; its data follows
        // Pronto words have hex letters or leading zeros ("006D", "0015");
        // durations seldom do.
        bool allWords = true, allDurations = true, hexLike = false;
        for (std::string_view w : data) {
            allWords = allWords && IsProntoWord(w);
            allDurations = allDurations && IsDurationWord(w);
            hexLike = hexLike || w[0] == '0';
            for (char c : w) hexLike = hexLike || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        }
        if (allWords && hexLike) return IrFileFormat::Pronto;
        if (allDurations) return IrFileFormat::Durations;
        break;
    }
    const std::string ext = ExtensionOf(fileName);
    if (ext == ".ir") return IrFileFormat::Flipper;
    if (ext == ".conf" || ext == ".lircd" || ext == ".lirc") return IrFileFormat::Lirc;
    if (ext == ".pronto" || ext == ".hex") return IrFileFormat::Pronto;
    return std::nullopt;
}

bool ReadIrSignalFile(const std::string& path, std::vector<IrSignal>& signals, std::string& error) {
    const std::string fileName = std::filesystem::path(path).filename().string();
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, kIrFileMaxBytes, &why)) {
        error = fileName + ": " + why;
        return false;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const auto format = GuessIrFileFormat(text, fileName);
    if (!format) {
        error = fileName +
                ": not a file of IR signals (a Flipper .ir file, a LIRC configuration file, Pronto Hex or a "
                "list of durations)";
        return false;
    }
    switch (*format) {
    case IrFileFormat::Flipper: return ParseFlipperIr(text, fileName, signals, error);
    case IrFileFormat::Lirc: return ParseLircConf(text, fileName, signals, error);
    case IrFileFormat::Pronto: return ParseProntoList(text, fileName, signals, error);
    case IrFileFormat::Durations: return ParseDurationList(text, fileName, signals, error);
    }
    return false;
}

bool WriteProntoList(const std::vector<IrSignal>& signals, std::string& text, std::string& error) {
    std::string out;
    for (size_t i = 0; i < signals.size(); ++i) {
        std::string name = PrintableName(signals[i].name, i);
        for (char& c : name)
            if (c == ':') c = '_';
        std::string pronto, why;
        if (!ProntoText(signals[i].code, pronto, why)) {
            error = name + ": " + why;
            return false;
        }
        out += name + ": " + pronto + "\n";
    }
    text = std::move(out);
    return true;
}

}  // namespace orvalink
