#include <cstdio>
#include <iostream>
#include <string>

#include "image/CodeLibrary.h"
#include "image/IrWaveform.h"
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

}  // namespace

int CodesCommand(const std::string& path, const std::string& codeText) {
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
    for (int key = 0; key < 64; ++key) {
        IrCodeInfo ir;
        if (!DecodeLibraryKey(set, key, ir)) continue;
        char carrier[32];
        std::snprintf(carrier, sizeof carrier, "%.2f", CarrierKhz(ir.carrier));
        std::cout << key << ": " << TypeName(ir.codeType) << " " << carrier << " kHz" << Frame(MarksAndSpaces(ir));
        auto repeat = MarksAndSpaces(ir, true);
        if (!repeat.empty()) std::cout << " | repeat" << Frame(repeat);
        std::cout << "\n";
    }
    return 0;
}

}  // namespace orvalink
