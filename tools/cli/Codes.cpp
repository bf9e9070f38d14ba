#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "image/CodeLibrary.h"
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

}  // namespace

int CodesCommand(const std::vector<std::string>& args) {
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
                 " | codes --from-pronto TEXT OUT.sbin\n";
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
