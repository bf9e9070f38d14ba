#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "image/CodeLibrary.h"
#include "image/IrDecoder.h"
#include "image/IrEncoder.h"
#include "image/IrWaveform.h"
#include "image/LearnedCodes.h"
#include "image/Pronto.h"
#include "image/Tiflashut.h"
#include "tools/cli/CliCommands.h"

namespace orvalink {

namespace {

const char* TypeName(uint8_t type) {
    switch (type) {
        case kCodeRc5: return "RC-5";
        case kCodeRc6: return "RC-6";
        case kCodePulse: return "Pulse";
        default: return "Normal";
    }
}

std::string Frame(const std::vector<IrPulse>& pulses) {
    std::string s;
    for (const IrPulse& p : pulses) s += " " + std::to_string(p.mark) + "/" + std::to_string(p.space);
    return s;
}

// "Normal 38.10 kHz 4500/4500 ... | repeat ..." or the Pronto Hex text.
bool DescribeCode(const IrCodeInfo& ir, bool pronto, std::string& text) {
    if (pronto) {
        std::string error;
        if (!ProntoText(ProntoOfCode(ir), text, error)) {
            text = "no Pronto Hex: " + error;
            return false;
        }
        return true;
    }
    char carrier[32];
    std::snprintf(carrier, sizeof carrier, "%.2f", CarrierKhz(ir.carrier));
    text = std::string(TypeName(ir.codeType)) + " " + carrier + " kHz" + Frame(MarksAndSpaces(ir));
    auto repeat = MarksAndSpaces(ir, true);
    if (!repeat.empty()) text += " | repeat" + Frame(repeat);
    return true;
}

// codes --sbin FILE [--pronto]: a learned code file as the codes of a set
// are shown.
int ShowLearnedFile(const std::string& path, bool pronto) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, kLearnedCodeBytes, &why)) {
        std::cerr << "Cannot read " << path << ": " << why << "\n";
        return 1;
    }
    if (bytes.size() != kLearnedCodeBytes) {
        std::cerr << path << " is no learned code: " << bytes.size() << " bytes, not " << kLearnedCodeBytes << "\n";
        return 1;
    }
    LearnedCode learned{};
    std::copy(bytes.begin(), bytes.end(), learned.begin());
    IrCodeInfo ir;
    if (!LearnedToStored(learned, ir)) {
        std::cerr << path << " holds a learned code that cannot be converted\n";
        return 1;
    }
    std::string text;
    if (!DescribeCode(ir, pronto, text)) {
        std::cerr << path << ": " << text << "\n";
        return 1;
    }
    std::cout << text << "\n";
    return 0;
}

// A TEXT argument that names nothing on disk and is made of hex digits and
// blanks, with a blank between words, is the Pronto Hex text itself.
bool IsProntoTextArgument(const std::string& argument) {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(PathFromUtf8(argument), ec))) return false;
    return argument.find_first_of(" \t\r\n") != std::string::npos &&
           argument.find_first_not_of("0123456789abcdefABCDEF \t\r\n") == std::string::npos;
}

std::string TooLongText() {
    return "too large (more than " + std::to_string(kProntoTextMaxBytes) +
           " bytes, longer than the Pronto Hex of any learned code)";
}

// codes --from-pronto TEXT OUT.sbin: Pronto Hex text (given as it is, in a
// file, or "-" for standard input) into a learned code file that the key
// editor can load. No more is read than the longest text of a learned code.
int ImportPronto(const std::string& in, const std::string& out) {
    std::string text;
    if (in == "-") {
        text.resize(kProntoTextMaxBytes + 1);
        std::cin.read(text.data(), std::streamsize(text.size()));
        text.resize(size_t(std::cin.gcount()));
        if (text.size() > kProntoTextMaxBytes) {
            std::cerr << "Cannot read standard input: " << TooLongText() << "\n";
            return 1;
        }
        if (std::cin.bad()) {
            std::cerr << "Cannot read standard input\n";
            return 1;
        }
    } else if (IsProntoTextArgument(in)) {
        if (in.size() > kProntoTextMaxBytes) {
            std::cerr << "Not Pronto Hex: the text is " << TooLongText() << "\n";
            return 1;
        }
        text = in;
    } else {
        if (IsSameFile(in, out)) {
            std::cerr << "orvalink-cli: " << SameFileText(in, out) << "\n";
            return 2;
        }
        std::vector<uint8_t> bytes;
        std::string why;
        if (!ReadFileBytes(in, bytes, kProntoTextMaxBytes, &why)) {
            std::cerr << "Cannot read " << in << ": " << why << "\n";
            return 1;
        }
        text.assign(bytes.begin(), bytes.end());
    }
    ProntoCode code;
    std::string error;
    if (!ParsePronto(text, code, error)) {
        std::cerr << "Not Pronto Hex: " << error << "\n";
        return 1;
    }
    LearnedCode learned{};
    if (!LearnedOfPronto(code, learned, error)) {
        std::cerr << "The code does not fit a learned code: " << error << "\n";
        return 1;
    }
    std::string why;
    if (!ReplaceFileBytes(out, learned, &why)) {
        std::cerr << "Cannot write " << out << ": " << why << "\n";
        return 1;
    }
    return 0;
}

// "0x1F" or "31".
bool ParseCount(const std::string& text, unsigned long& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoul(text.c_str(), &end, text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? 16 : 10);
    return errno == 0 && *end == '\0' && end != text.c_str();
}

// "NEC extended, device 4, sub-device 7, function 8".
std::string NumbersText(const IrDecoded& d) {
    std::string s = IrProtocolName(d);
    if (d.kind == IrProtocolKind::Kaseikyo) {
        char vendor[16];
        std::snprintf(vendor, sizeof vendor, "0x%04X", d.vendor);
        s += std::string(", vendor ") + vendor;
    }
    s += ", device " + std::to_string(d.device);
    if (d.subDevice) s += ", sub-device " + std::to_string(*d.subDevice);
    return s + ", function " + std::to_string(d.function);
}

const char kMakeUsage[] =
    "codes make --protocol NAME --device N [--subdevice N] --function N [--toggle] [--vendor N] OUT.sbin|--pronto";

// codes make: a code made from protocol numbers, as a learned code file or
// as Pronto Hex. The code is decoded back from the learned form the file
// holds, and that is what is listed.
int MakeCode(const std::vector<std::string>& args) {
    std::string protocolName, out;
    std::optional<unsigned long> device, subDevice, function, vendor;
    bool toggle = false, pronto = false;
    auto usage = [](const std::string& why) {
        std::cerr << "orvalink-cli: " << why << "\nusage: orvalink-cli " << kMakeUsage << "\n";
        return 2;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--toggle") {
            toggle = true;
        } else if (a == "--pronto") {
            pronto = true;
        } else if (a == "--protocol" || a == "--device" || a == "--subdevice" || a == "--function" || a == "--vendor") {
            if (i + 1 == args.size()) return usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--protocol") {
                protocolName = v;
                continue;
            }
            unsigned long n = 0;
            if (!ParseCount(v, n)) return usage(a + ": \"" + v + "\" is not a number");
            if (n > 0xFFFFFFFFul) return usage(a + ": " + v + " is too large");
            (a == "--device" ? device : a == "--subdevice" ? subDevice : a == "--function" ? function : vendor) = n;
        } else if (a.rfind("--", 0) == 0) {
            return usage("unknown option " + a);
        } else if (out.empty()) {
            out = a;
        } else {
            return usage("one output file, not " + out + " and " + a);
        }
    }
    if (protocolName.empty() || !device || !function) return usage("--protocol, --device and --function are needed");
    if (pronto == !out.empty()) return usage("either OUT.sbin or --pronto");

    auto protocol = IrProtocolOfName(protocolName);
    if (!protocol) {
        std::cerr << "Unknown protocol \"" << protocolName
                  << "\"; known: NEC, NECext, Samsung32, JVC, SIRC, SIRC15, SIRC20, RC5, RC5X, RC6, Panasonic, Kaseikyo\n";
        return 1;
    }
    IrEncodeRequest request;
    request.numbers = *protocol;
    // Forum codes give NEC with a sub-device for NEC extended.
    if (request.numbers.kind == IrProtocolKind::Nec && subDevice) request.numbers.kind = IrProtocolKind::NecExtended;
    if (request.numbers.kind == IrProtocolKind::Kaseikyo && !vendor && request.numbers.vendor == 0) {
        std::cerr << "Kaseikyo needs --vendor (Panasonic's is 0x2002; --protocol Panasonic gives it)\n";
        return 1;
    }
    request.numbers.device = unsigned(*device);
    if (subDevice) request.numbers.subDevice = unsigned(*subDevice);
    request.numbers.function = unsigned(*function);
    if (vendor) request.numbers.vendor = unsigned(*vendor);
    request.toggle = toggle;
    if (toggle && !IrRangesOf(request.numbers.kind).hasToggle) {
        std::cerr << IrProtocolName(request.numbers) << " has no toggle bit\n";
        return 1;
    }

    ProntoCode code;
    std::string error;
    if (!EncodeIr(request, code, error)) {
        std::cerr << "Cannot make the code: " << error << "\n";
        return 1;
    }
    LearnedCode learned{};
    IrCodeInfo stored;
    if (!LearnedOfPronto(code, learned, error) || !LearnedToStored(learned, stored)) {
        std::cerr << "The code does not fit a learned code: " << error << "\n";
        return 1;
    }
    const auto back = DecodeIr(MarksAndSpaces(stored));
    if (!back) {
        std::cerr << "The code made does not decode as " << IrProtocolName(request.numbers) << "\n";
        return 1;
    }
    char carrier[32];
    std::snprintf(carrier, sizeof carrier, "%.2f", CarrierKhz(stored.carrier));
    std::string listing = "Made " + NumbersText(*back);
    if (toggle) listing += ", toggle 1";
    listing += std::string(": ") + carrier + " kHz, " + std::to_string(code.once.size()) + " bursts";
    if (!code.repeat.empty()) listing += " and a repeat frame of " + std::to_string(code.repeat.size());
    if (pronto) {
        std::string text;
        if (!ProntoText(code, text, error)) {
            std::cerr << "No Pronto Hex: " << error << "\n";
            return 1;
        }
        std::cerr << listing << "\n";
        std::cout << text << "\n";
        return 0;
    }
    std::string why;
    if (!ReplaceFileBytes(out, learned, &why)) {
        std::cerr << "Cannot write " << out << ": " << why << "\n";
        return 1;
    }
    std::cout << listing << " -> " << out << "\n";
    return 0;
}

}  // namespace

int CodesCommand(const std::vector<std::string>& args) {
    if (!args.empty() && args[0] == "make") return MakeCode({args.begin() + 1, args.end()});
    if (IsDeviceCodesCommand(args)) return DeviceCodesCommand(args);
    std::vector<std::string> rest;
    bool pronto = false;
    for (const std::string& a : args) {
        if (a == "--pronto")
            pronto = true;
        else
            rest.push_back(a);
    }
    if (rest.size() == 3 && rest[0] == "--from-pronto" && !pronto) return ImportPronto(rest[1], rest[2]);
    if (rest.size() == 2 && rest[0] == "--sbin") return ShowLearnedFile(rest[1], pronto);
    if ((rest.size() == 2 || rest.size() == 3) && rest[0].rfind("--", 0) != 0) {
        int key = -1;
        if (rest.size() == 3) {
            char* end = nullptr;
            long k = std::strtol(rest[2].c_str(), &end, 10);
            if (rest[2].empty() || *end != '\0' || k < 0 || k > 63) {
                std::cerr << "orvalink-cli: KEY is a key number 0..63\n";
                return 2;
            }
            key = int(k);
        }
        return CodesCommand(rest[0], rest[1], pronto, key);
    }
    std::cerr << "orvalink-cli: codes FILE CODE [KEY] [--pronto] | codes --sbin FILE [--pronto]"
                 " | codes --from-pronto TEXT OUT.sbin | "
              << kMakeUsage << "\n";
    return 2;
}

int CodesCommand(const std::string& path, const std::string& codeText, bool pronto, int onlyKey) {
    char* end = nullptr;
    long code = std::strtol(codeText.c_str(), &end, 10);
    if (codeText.empty() || *end != '\0' || code < 0 || code > 65535) {
        std::cerr << "orvalink-cli: CODE is a code number\n";
        return 2;
    }
    TTiFlashFm flash;
    if (!LoadDocumentImage(path, flash)) return 1;
    LibraryCodeSet set;
    if (!ReadLibraryCode(flash, int(code), set)) {
        std::cerr << "No code set for code number " << code << " !\n\nPath: " << path << "\n";
        return 1;
    }
    bool allShown = true;
    for (int key = 0; key < 64; ++key) {
        if (onlyKey >= 0 && key != onlyKey) continue;
        IrCodeInfo ir;
        if (!DecodeLibraryKey(set, key, ir)) {
            if (onlyKey >= 0) {
                std::cerr << "No code on key " << key << " of code number " << code << " !\n";
                return 1;
            }
            continue;
        }
        std::string text;
        allShown = DescribeCode(ir, pronto, text) && allShown;
        // One key asked for: the code alone, ready to paste.
        if (onlyKey >= 0)
            std::cout << text << "\n";
        else
            std::cout << key << ": " << text << "\n";
    }
    return allShown ? 0 : 1;
}

}  // namespace orvalink
