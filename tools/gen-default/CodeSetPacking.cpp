#include "tools/gen-default/CodeSetPacking.h"

#include <algorithm>
#include <span>

namespace orvalink::gen {

bool KeyIrCode(const CodeSetSource& source, const KeyFrames& frames, IrCodeInfo& code, std::string& error) {
    const bool bitCoded = IsBitCoded(source.codeType);
    const size_t entries = source.timings.size();
    if (entries == 0 || entries >= 16 || (bitCoded && entries != 1)) {
        error = "a key code of this type cannot hold " + std::to_string(entries) + " timing entries";
        return false;
    }
    if (frames.first.empty() || frames.first.size() >= 200 || frames.repeat.size() >= 200) {
        error = "a key frame of " + std::to_string(frames.first.size()) + " symbols";
        return false;
    }
    const int width = bitCoded ? 1 : SymbolWidth(int(entries));
    IrCodeInfo c;
    c.codeType = source.codeType;
    c.carrier = source.carrierPeriod;
    c.timingCount = uint8_t(entries);
    c.firstCount = uint8_t(frames.first.size());
    c.repeatCount = frames.repeat.empty() ? kNoRepeat : uint8_t(frames.repeat.size());
    c.symbolWidth = uint8_t(width);
    c.timingBytes = uint16_t(4 * entries);
    for (size_t e = 0; e < entries; ++e) {
        c.data[4 * e] = uint8_t(source.timings[e].mark);
        c.data[4 * e + 1] = uint8_t(source.timings[e].mark >> 8);
        c.data[4 * e + 2] = uint8_t(source.timings[e].space);
        c.data[4 * e + 3] = uint8_t(source.timings[e].space >> 8);
    }
    std::vector<uint8_t> symbols = frames.first;
    symbols.insert(symbols.end(), frames.repeat.begin(), frames.repeat.end());
    const size_t packedBytes = (symbols.size() * size_t(width) + 7) / 8;
    if (c.timingBytes + packedBytes > c.data.size() - 8 || 8 + c.timingBytes + packedBytes > 8 * kMaxIrCodeBlocks) {
        error = "a key code of " + std::to_string(symbols.size()) + " symbols does not fit a record";
        return false;
    }
    auto packed = std::span<uint8_t>(c.data).subspan(c.timingBytes, packedBytes);
    for (size_t i = 0; i < symbols.size(); ++i) {
        if (symbols[i] >= (bitCoded ? 2 : entries)) {
            error = "symbol " + std::to_string(symbols[i]) + " outside the timing table";
            return false;
        }
        PutSymbol(packed, i, width, symbols[i]);
    }
    c.size = uint8_t((8 + c.timingBytes + packedBytes + 7) / 8);
    code = c;
    return true;
}

bool MakeLibraryCodeSet(const CodeSetSource& source, LibraryCodeSet& set, std::string& error) {
    if (source.codeType > kCodePulse) {
        error = "code type " + std::to_string(source.codeType) + " is not a code type";
        return false;
    }
    if (source.carrierPeriod == 0 || source.carrierPeriod > 0xFF) {
        error = "carrier period " + std::to_string(source.carrierPeriod) + " does not fit the carrier byte";
        return false;
    }
    std::array<std::optional<IrCodeInfo>, kLibraryKeys> codes;
    for (int k = 0; k < kLibraryKeys; ++k) {
        if (!source.keys[size_t(k)]) continue;
        IrCodeInfo code;
        if (!KeyIrCode(source, *source.keys[size_t(k)], code, error)) return false;
        codes[size_t(k)] = code;
    }
    LibraryCodeSet s;
    if (!BuildLibraryCodeSet(codes, s)) {
        error = "the keys' codes do not make a code set of at most 256 blocks";
        return false;
    }
    set = std::move(s);
    return true;
}

bool WriteCodeLibrary(TTiFlashFm& flash, const std::map<int, LibraryCodeSet>& sets, std::string& error) {
    // Check everything first; a failure part-way puts the image back.
    uint64_t units = 0;
    for (const auto& [code, set] : sets) {
        if (code < 0 || code >= flash.CodeIndexCount()) {
            error = "code number " + std::to_string(code) + " is outside the code index";
            return false;
        }
        std::array<uint8_t, kMaxLibrarySetBytes> bytes;
        size_t extent = 0;
        if (!LayOutLibraryCodeSet(set, bytes, extent)) {
            error = "code set " + std::to_string(code) + " cannot be laid out";
            return false;
        }
        units += (extent + 7) / 8;
    }
    if (units > flash.LibraryCount()) {
        error = "the code sets need " + std::to_string(units) + " units, the library holds " +
                std::to_string(flash.LibraryCount());
        return false;
    }
    const std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());
    uint32_t offset = 0;
    for (const auto& [code, set] : sets) {
        uint32_t used = 0;
        if (!WriteLibraryCode(flash, code, set, offset, &used)) {
            std::copy(before.begin(), before.end(), flash.Image().begin());
            error = "code set " + std::to_string(code) + " cannot be written";
            return false;
        }
        offset += used;
    }
    return true;
}

}  // namespace orvalink::gen
