// Flipper Zero IR signal files (".ir"):
//
//   Filetype: IR signals file
//   Version: 1
//   #
//   name: Power
//   type: parsed
//   protocol: NEC
//   address: 04 00 00 00
//   command: 08 00 00 00
//   #
//   name: Vol_up
//   type: raw
//   frequency: 38000
//   duty_cycle: 0.330000
//   data: 9024 4512 579 552 ...
//
// A signal starts at its "name" line; "#" lines and blank lines are
// comments. A parsed signal's address and command are four hex bytes, least
// significant first. A raw signal's data are the durations between level
// changes in microseconds, mark first, possibly over several "data" lines.
// "IR library file" (the universal remotes' libraries) is the same format.
#include <cctype>
#include <charconv>
#include <cstdio>

#include "formats/IrSignalFiles.h"
#include "image/IrEncoder.h"

namespace orvalink {

namespace {

// The space after a raw signal that ends on a mark, before it is sent again.
constexpr uint32_t kRawEndGapUs = 50000;
// What the Flipper reads of one raw signal.
constexpr size_t kFlipperMaxRawDurations = 1024;
constexpr unsigned kMinCarrierHz = 10000;
constexpr unsigned kMaxCarrierHz = 500000;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Words separated by blanks.
template <typename Each>
bool ForEachWord(std::string_view s, Each each) {
    size_t at = 0;
    while (at < s.size()) {
        while (at < s.size() && IsBlank(s[at])) ++at;
        size_t end = at;
        while (end < s.size() && !IsBlank(s[end])) ++end;
        if (end > at && !each(s.substr(at, end - at))) return false;
        at = end;
    }
    return true;
}

bool ParseUnsigned(std::string_view word, uint64_t& value, int base = 10) {
    if (word.empty()) return false;
    auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    return ec == std::errc() && end == word.data() + word.size();
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

// The Flipper's protocols with the largest address and command each takes.
struct FlipperProtocol {
    const char* name;
    uint32_t maxAddress;
    uint32_t maxCommand;
};
constexpr FlipperProtocol kFlipperProtocols[] = {
    {"NEC", 0xFF, 0xFF},         {"NECext", 0xFFFF, 0xFFFF},  {"NEC42", 0x1FFF, 0xFF},  {"NEC42ext", 0x3FFFFFF, 0xFFFF},
    {"Samsung32", 0xFF, 0xFF},   {"RC5", 0x1F, 0x3F},         {"RC5X", 0x1F, 0x7F},     {"RC6", 0xFF, 0xFF},
    {"SIRC", 0x1F, 0x7F},        {"SIRC15", 0xFF, 0x7F},      {"SIRC20", 0x1FFF, 0x7F}, {"Kaseikyo", 0x3FFFFFF, 0x3FF},
};

// Kaseikyo's vendor parity: the two nibbles of the vendor's bytes XORed.
unsigned VendorParity(unsigned vendor) {
    const unsigned x = (vendor ^ (vendor >> 8)) & 0xFF;
    return (x ^ (x >> 4)) & 0xF;
}

// NEC-timed frames of any length, for what the encoder has no protocol for
// (NEC42, and NEC extended with a command whose second byte is no
// complement): leader, bits least significant first, stop mark, and NEC's
// repeat frame.
ProntoCode NecBits(uint64_t bits, int count) {
    ProntoCode code;
    code.carrierHz = 38000;
    code.once.push_back({9000, 4500});
    for (int i = 0; i < count; ++i) code.once.push_back({560, ((bits >> i) & 1) ? 1690u : 560u});
    code.once.push_back({560, 40000});
    code.repeat = {{9000, 2250}, {560, 0xFFFF}};
    return code;
}

class FlipperReader {
public:
    FlipperReader(std::string_view fileName, std::vector<IrSignal>& out) : fileName_(fileName), out_(out) {}

    bool Read(std::string_view text, std::string& error) {
        if (text.size() > kIrFileMaxBytes) {
            error = std::string(fileName_) + ": the file is larger than " + std::to_string(kIrFileMaxBytes) + " bytes";
            return false;
        }
        size_t at = 0;
        while (at < text.size() || (at == text.size() && lineNo_ == 0)) {
            size_t end = text.find('\n', at);
            if (end == std::string_view::npos) end = text.size();
            ++lineNo_;
            if (end - at > kIrFileMaxLineBytes)
                return Fail("the line is longer than " + std::to_string(kIrFileMaxLineBytes) + " bytes", error);
            if (!Line(Trimmed(text.substr(at, end - at)))) return Fail(why_, error);
            at = end + 1;
        }
        if (stage_ != Stage::Signals) return Fail(stage_ == Stage::Header ? "no \"Filetype\" line" : "no \"Version\" line", error);
        if (open_ && !Finish()) return Fail(why_, error);
        out_ = std::move(signals_);
        return true;
    }

private:
    enum class Stage { Header, Version, Signals };
    enum class Type { None, Parsed, Raw };

    // The message for `why` at `line` (the line a failed check named, else
    // the line being read).
    bool Fail(const std::string& why, std::string& error, size_t line = 0) {
        if (whyLine_) line = whyLine_;
        error = std::string(fileName_) + ":" + std::to_string(line ? line : lineNo_) + ": " + why;
        return false;
    }
    bool Why(std::string why, size_t line = 0) {
        why_ = std::move(why);
        whyLine_ = line;
        return false;
    }

    bool Line(std::string_view line) {
        if (line.empty() || line.front() == '#') return true;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) return Why("expected \"key: value\"");
        const std::string key = Lower(Trimmed(line.substr(0, colon)));
        const std::string_view value = Trimmed(line.substr(colon + 1));
        if (stage_ == Stage::Header) {
            if (key != "filetype") return Why("the file does not start with \"Filetype: IR signals file\"");
            const std::string kind = Lower(value);
            if (kind != "ir signals file" && kind != "ir library file")
                return Why("the file type is \"" + std::string(value) + "\", not \"IR signals file\"");
            stage_ = Stage::Version;
            return true;
        }
        if (stage_ == Stage::Version) {
            if (key != "version") return Why("expected \"Version: 1\" after the file type");
            if (value != "1") return Why("version \"" + std::string(value) + "\" is not 1");
            stage_ = Stage::Signals;
            return true;
        }
        if (key == "name") return Name(value);
        if (!open_) return Why("\"" + key + "\" before the first \"name\"");
        if (key == "type") return TypeLine(value);
        if (type_ == Type::None) return Why("\"" + key + "\" before the signal's \"type\"");
        if (key == "protocol" || key == "address" || key == "command") {
            if (type_ != Type::Parsed) return Why("\"" + key + "\" in a raw signal");
            return Parsed(key, value);
        }
        if (key == "frequency" || key == "duty_cycle" || key == "data") {
            if (type_ != Type::Raw) return Why("\"" + key + "\" in a parsed signal");
            return Raw(key, value);
        }
        return Why("unknown key \"" + key + "\"");
    }

    bool Name(std::string_view value) {
        if (open_ && !Finish()) return false;
        if (value.empty()) return Why("a signal without a name");
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return Why("the name holds a control character");
        if (signals_.size() >= kIrFileMaxSignals)
            return Why("more than " + std::to_string(kIrFileMaxSignals) + " signals");
        open_ = true;
        name_ = std::string(value);
        signalLine_ = lineNo_;
        type_ = Type::None;
        protocol_ = nullptr;
        address_.reset(), command_.reset(), frequency_.reset();
        dutySeen_ = false;
        durations_.clear();
        return true;
    }

    bool TypeLine(std::string_view value) {
        if (type_ != Type::None) return Why("a second \"type\" in signal \"" + name_ + "\"");
        const std::string t = Lower(value);
        if (t == "parsed")
            type_ = Type::Parsed;
        else if (t == "raw")
            type_ = Type::Raw;
        else
            return Why("type \"" + std::string(value) + "\" is neither \"parsed\" nor \"raw\"");
        return true;
    }

    bool Parsed(const std::string& key, std::string_view value) {
        if (key == "protocol") {
            if (protocol_) return Why("a second \"protocol\" in signal \"" + name_ + "\"");
            const std::string wanted = Lower(value);
            for (const FlipperProtocol& p : kFlipperProtocols)
                if (Lower(p.name) == wanted) protocol_ = &p;
            if (!protocol_) return Why("unknown protocol \"" + std::string(value) + "\"");
            return true;
        }
        std::optional<uint32_t>& slot = key == "address" ? address_ : command_;
        if (slot) return Why("a second \"" + key + "\" in signal \"" + name_ + "\"");
        uint32_t number = 0;
        int bytes = 0;
        bool ok = ForEachWord(value, [&](std::string_view word) {
            uint64_t b = 0;
            if (bytes == 4 || word.size() > 2 || !ParseUnsigned(word, b, 16)) return false;
            number |= uint32_t(b) << (8 * bytes++);
            return true;
        });
        if (!ok || bytes != 4)
            return Why("the " + key + " \"" + std::string(value) + "\" is not four hex bytes (\"07 00 00 00\")");
        slot = number;
        (key == "address" ? addressLine_ : commandLine_) = lineNo_;
        return true;
    }

    bool Raw(const std::string& key, std::string_view value) {
        if (key == "frequency") {
            uint64_t hz = 0;
            if (frequency_) return Why("a second \"frequency\" in signal \"" + name_ + "\"");
            if (!ParseUnsigned(value, hz)) return Why("the frequency \"" + std::string(value) + "\" is not a number");
            if (hz < kMinCarrierHz || hz > kMaxCarrierHz)
                return Why("a frequency of " + std::string(value) + " Hz is outside " + std::to_string(kMinCarrierHz) +
                           " to " + std::to_string(kMaxCarrierHz) + " Hz");
            frequency_ = unsigned(hz);
            return true;
        }
        if (key == "duty_cycle") {
            double duty = 0;
            if (dutySeen_) return Why("a second \"duty_cycle\" in signal \"" + name_ + "\"");
            auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), duty);
            if (value.empty() || ec != std::errc() || end != value.data() + value.size() || !(duty > 0 && duty <= 1))
                return Why("the duty cycle \"" + std::string(value) + "\" is not a number above 0 and up to 1");
            dutySeen_ = true;
            return true;
        }
        bool ok = ForEachWord(value, [&](std::string_view word) {
            uint64_t us = 0;
            if (durations_.size() >= kIrSignalMaxDurations)
                return Why("signal \"" + name_ + "\" has more than " + std::to_string(kIrSignalMaxDurations) +
                           " durations");
            if (!ParseUnsigned(word, us)) return Why("the duration \"" + std::string(word) + "\" is not a number");
            if (us == 0 || us > kIrMaxDurationUs)
                return Why("a duration of " + std::string(word) + " us is outside 1 to " +
                           std::to_string(kIrMaxDurationUs) + " us");
            durations_.push_back(uint32_t(us));
            return true;
        });
        return ok;
    }

    // The signal from its lines; why_ says what is missing.
    bool Finish() {
        open_ = false;
        IrSignal s;
        s.name = name_;
        s.line = signalLine_;
        const size_t at = signalLine_;
        if (type_ == Type::None) return Why("signal \"" + name_ + "\" has no \"type\"", at);
        if (type_ == Type::Raw) {
            if (!frequency_) return Why("raw signal \"" + name_ + "\" has no \"frequency\"", at);
            if (durations_.empty()) return Why("raw signal \"" + name_ + "\" has no \"data\"", at);
            s.code.carrierHz = *frequency_;
            for (size_t i = 0; i < durations_.size(); i += 2)
                s.code.once.push_back({durations_[i], i + 1 < durations_.size() ? durations_[i + 1] : kRawEndGapUs});
        } else {
            if (!protocol_) return Why("parsed signal \"" + name_ + "\" has no \"protocol\"", at);
            if (!address_) return Why("parsed signal \"" + name_ + "\" has no \"address\"", at);
            if (!command_) return Why("parsed signal \"" + name_ + "\" has no \"command\"", at);
            if (!Encode(s.code)) return false;
        }
        s.decoded = DecodeIr(s.code.once);
        signals_.push_back(std::move(s));
        return true;
    }

    bool Encode(ProntoCode& code) {
        const FlipperProtocol& p = *protocol_;
        const uint32_t a = *address_, c = *command_;
        const std::string name = p.name;
        if (a > p.maxAddress) return Why(name + " address " + Hex(a) + " is above " + Hex(p.maxAddress), addressLine_);
        if (c > p.maxCommand) return Why(name + " command " + Hex(c) + " is above " + Hex(p.maxCommand), commandLine_);
        using K = IrProtocolKind;
        IrDecoded n;
        n.device = a;
        n.function = c;
        if (name == "NEC") {
            n.kind = K::Nec;
        } else if (name == "NECext") {
            if ((c >> 8) != (~c & 0xFF)) {
                code = NecBits(a | uint64_t(c) << 16, 32);
                return true;
            }
            n = {K::NecExtended, a & 0xFF, a >> 8, c & 0xFF};
        } else if (name == "NEC42") {
            code = NecBits(a | uint64_t(~a & 0x1FFF) << 13 | uint64_t(c) << 26 | uint64_t(~c & 0xFF) << 34, 42);
            return true;
        } else if (name == "NEC42ext") {
            code = NecBits(a | uint64_t(c) << 26, 42);
            return true;
        } else if (name == "Samsung32") {
            n = {K::Samsung, a, a, c};
        } else if (name == "RC5" || name == "RC5X") {
            n = {K::Rc5, a, std::nullopt, name == "RC5X" ? (c | 0x40) : c};
        } else if (name == "RC6") {
            n.kind = K::Rc6;
        } else if (name == "SIRC" || name == "SIRC15") {
            n.kind = name == "SIRC" ? K::Sirc12 : K::Sirc15;
        } else if (name == "SIRC20") {
            n = {K::Sirc20, a & 0x1F, a >> 5, c};
        } else {  // Kaseikyo: address = id (2 bits), vendor (16), genre 1 and 2 (4 each); command 10 bits
            const unsigned vendor = (a >> 8) & 0xFFFF, genre1 = (a >> 4) & 0xF, genre2 = a & 0xF, id = a >> 24;
            n = {K::Kaseikyo, genre1 << 4 | VendorParity(vendor), genre2 | (c & 0xF) << 4, (c >> 4) | id << 6, vendor};
        }
        std::string error;
        if (!EncodeIr({n}, code, error)) return Why(error, signalLine_);
        return true;
    }

    std::string_view fileName_;
    std::vector<IrSignal>& out_;
    std::vector<IrSignal> signals_;
    size_t lineNo_ = 0;
    std::string why_;
    Stage stage_ = Stage::Header;
    bool open_ = false;
    std::string name_;
    size_t signalLine_ = 0;
    Type type_ = Type::None;
    const FlipperProtocol* protocol_ = nullptr;
    std::optional<uint32_t> address_, command_;
    size_t addressLine_ = 0, commandLine_ = 0;
    size_t whyLine_ = 0;
    std::optional<unsigned> frequency_;
    bool dutySeen_ = false;
    std::vector<uint32_t> durations_;
};

// The Flipper's name, address and command of decoded numbers; false where
// the Flipper has no such protocol (JVC, Samsung with a sub-device of its
// own, Kaseikyo whose device byte lacks the vendor parity).
bool FlipperForm(const IrDecoded& d, std::string& protocol, uint32_t& address, uint32_t& command) {
    using K = IrProtocolKind;
    const unsigned sub = d.subDevice.value_or(0);
    address = d.device;
    command = d.function;
    switch (d.kind) {
    case K::Nec: protocol = "NEC"; return true;
    case K::NecExtended:
        protocol = "NECext";
        address = d.device | sub << 8;
        command = d.function | (~d.function & 0xFF) << 8;
        return true;
    case K::Samsung: protocol = "Samsung32"; return sub == d.device;
    case K::Jvc: return false;
    case K::Sirc12: protocol = "SIRC"; return true;
    case K::Sirc15: protocol = "SIRC15"; return true;
    case K::Sirc20:
        protocol = "SIRC20";
        address = d.device | sub << 5;
        return true;
    case K::Rc5: protocol = d.function < 64 ? "RC5" : "RC5X"; return true;
    case K::Rc6: protocol = "RC6"; return true;
    case K::Kaseikyo:
        if ((d.device & 0xF) != VendorParity(d.vendor)) return false;
        protocol = "Kaseikyo";
        address = (d.function >> 6) << 24 | d.vendor << 8 | (d.device >> 4) << 4 | (sub & 0xF);
        command = (sub >> 4) | (d.function & 0x3F) << 4;
        return true;
    }
    return false;
}

std::string HexBytes(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02X %02X %02X %02X", value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF,
                  value >> 24);
    return text;
}

// A frame as durations between level changes, mark first: empty marks or
// spaces join their neighbours, and the last space (the gap) is left off.
std::vector<uint32_t> LevelDurations(const std::vector<IrPulse>& frame) {
    std::vector<uint32_t> out;
    for (const IrPulse& p : frame) {
        for (int level = 0; level < 2; ++level) {
            const uint32_t us = level == 0 ? p.mark : p.space;
            if (us == 0) continue;
            const bool mark = level == 0;
            if (out.empty() && !mark) continue;
            if (!out.empty() && (out.size() % 2 == 1) == mark)
                out.back() += us;
            else
                out.push_back(us);
        }
    }
    if (out.size() % 2 == 0 && !out.empty()) out.pop_back();
    return out;
}

}  // namespace

bool ParseFlipperIr(std::string_view text, std::string_view fileName, std::vector<IrSignal>& signals,
                    std::string& error) {
    FlipperReader reader(fileName, signals);
    return reader.Read(text, error);
}

bool WriteFlipperIr(const std::vector<IrSignal>& signals, std::string& text, std::string& error) {
    std::string out = "Filetype: IR signals file\nVersion: 1\n";
    for (size_t i = 0; i < signals.size(); ++i) {
        const IrSignal& s = signals[i];
        std::string name = s.name;
        // The Flipper takes printable ASCII names only.
        for (char& c : name)
            if (c < 0x20 || c > 0x7E) c = '_';
        name = std::string(Trimmed(name));
        if (name.empty()) {
            error = "signal " + std::to_string(i + 1) + " has no name";
            return false;
        }
        out += "#\nname: " + name + "\n";
        std::string protocol;
        uint32_t address = 0, command = 0;
        if (s.decoded && FlipperForm(*s.decoded, protocol, address, command)) {
            out += "type: parsed\nprotocol: " + protocol + "\naddress: " + HexBytes(address) +
                   "\ncommand: " + HexBytes(command) + "\n";
            continue;
        }
        const auto durations = LevelDurations(s.code.once.empty() ? s.code.repeat : s.code.once);
        if (durations.empty()) {
            error = "signal \"" + name + "\" has no marks and spaces";
            return false;
        }
        if (durations.size() > kFlipperMaxRawDurations) {
            error = "signal \"" + name + "\" has " + std::to_string(durations.size()) +
                    " durations; a Flipper file holds at most " + std::to_string(kFlipperMaxRawDurations);
            return false;
        }
        if (s.code.carrierHz < kMinCarrierHz || s.code.carrierHz > kMaxCarrierHz) {
            error = "signal \"" + name + "\" has a carrier of " + std::to_string(s.code.carrierHz) + " Hz";
            return false;
        }
        out += "type: raw\nfrequency: " + std::to_string(s.code.carrierHz) + "\nduty_cycle: 0.330000\ndata:";
        for (uint32_t d : durations) {
            if (d > kIrMaxDurationUs) {
                error = "signal \"" + name + "\" has a duration of " + std::to_string(d) + " us";
                return false;
            }
            out += " " + std::to_string(d);
        }
        out += "\n";
    }
    text = std::move(out);
    return true;
}

}  // namespace orvalink
