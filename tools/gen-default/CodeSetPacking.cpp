#include "tools/gen-default/CodeSetPacking.h"

#include "image/ByteIo.h"
#include "image/CodeRecords.h"

namespace orvalink::gen {

namespace {

constexpr size_t kHeaderBytes = 144;  // up to and including the timing count

bool IsBitCoded(uint8_t type) { return type == kCodeRc5 || type == kCodeRc6; }

// Appends `symbols` of `width` bits, least significant first, rounded up
// to whole bytes.
void PackSymbols(const std::vector<uint8_t>& symbols, int width, std::vector<uint8_t>& out) {
    size_t bits = symbols.size() * size_t(width);
    size_t start = out.size();
    out.resize(start + (bits + 7) / 8, 0);
    size_t bit = 0;
    for (uint8_t s : symbols)
        for (int i = 0; i < width; ++i, ++bit)
            if ((s >> i) & 1) out[start + bit / 8] |= uint8_t(1u << (bit % 8));
}

}  // namespace

bool PackCodeSet(const CodeSetSource& source, std::vector<uint8_t>& bytes, std::string& error) {
    if (source.codeType > kCodePulse) {
        error = "code type " + std::to_string(source.codeType) + " is not a code type";
        return false;
    }
    if (source.carrierPeriod == 0 || source.carrierPeriod > 0xFF) {
        error = "carrier period " + std::to_string(source.carrierPeriod) + " does not fit the carrier byte";
        return false;
    }
    const bool bitCoded = IsBitCoded(source.codeType);
    if (source.timings.empty() || source.timings.size() > size_t(kMaxSetTimings) ||
        (bitCoded && source.timings.size() != 1)) {
        error = "a set of this type cannot hold " + std::to_string(source.timings.size()) + " timing entries";
        return false;
    }
    const int width = bitCoded ? 1 : SymbolWidth(int(source.timings.size()));

    std::vector<uint8_t> out(kHeaderBytes + 4 * source.timings.size(), 0);
    ByteWriter w(out);
    w.U8(0);                        // no trailer
    w.U8(source.codeType & 0x0F);   // default format
    w.U8(uint8_t(source.carrierPeriod));
    w.U8(0);
    w.U8(0);                        // alternate format: unused
    w.U16(0);
    w.Fill(0, 8);                   // no key uses the alternate format
    for (const auto& key : source.keys) {
        if (!key) {
            w.U8(0);
            w.U8(0xFF);
            continue;
        }
        if (key->first.empty() || key->first.size() > 199 || key->repeat.size() > 199) {
            error = "a key frame of " + std::to_string(key->first.size()) + " symbols";
            return false;
        }
        for (const auto* frame : {&key->first, &key->repeat})
            for (uint8_t s : *frame)
                if ((bitCoded && s > 1) || (!bitCoded && s >= source.timings.size())) {
                    error = "symbol " + std::to_string(s) + " outside the timing table";
                    return false;
                }
        w.U8(uint8_t(key->first.size()));
        w.U8(key->repeat.empty() ? 0xFF : uint8_t(key->repeat.size()));
    }
    w.U8(uint8_t(source.timings.size()));
    for (const Timing& t : source.timings) {
        w.U16(t.mark);
        w.U16(t.space);
    }
    if (!w.ok()) {
        error = "set header does not fit";
        return false;
    }
    for (const auto& key : source.keys) {
        if (!key) continue;
        std::vector<uint8_t> symbols = key->first;
        symbols.insert(symbols.end(), key->repeat.begin(), key->repeat.end());
        PackSymbols(symbols, width, out);
    }
    if (out.size() > size_t(kMaxCodeSetBlocks) * 8) {
        error = "set of " + std::to_string(out.size()) + " bytes exceeds 256 blocks";
        return false;
    }
    out.resize((out.size() + 7) / 8 * 8, 0);
    bytes = std::move(out);
    return true;
}

bool WriteCodeLibrary(TTiFlashFm& flash, const std::map<int, std::vector<uint8_t>>& sets, std::string& error) {
    auto image = flash.Image();
    const size_t indexStart = flash.CodeIndexStart();
    const size_t libraryStart = flash.CodeLibraryStart();
    const size_t libraryBytes = size_t(flash.LibraryCount()) * 8;
    if (image.size() < libraryStart + libraryBytes) {
        error = "the image has no room for the code library";
        return false;
    }
    // Check everything before the first byte is written.
    size_t units = 0;
    for (const auto& [code, bytes] : sets) {
        if (code < 0 || code >= flash.CodeIndexCount()) {
            error = "code number " + std::to_string(code) + " is outside the code index";
            return false;
        }
        units += (bytes.size() + 7) / 8;
    }
    if (units > flash.LibraryCount()) {
        error = "the code sets need " + std::to_string(units) + " units, the library holds " +
                std::to_string(flash.LibraryCount());
        return false;
    }
    uint32_t offset = 0;
    for (const auto& [code, bytes] : sets) {
        ByteWriter index(image.subspan(indexStart + 4 * size_t(code), 4));
        index.U32(offset);
        std::copy(bytes.begin(), bytes.end(), image.begin() + std::ptrdiff_t(libraryStart + 8 * size_t(offset)));
        offset += uint32_t((bytes.size() + 7) / 8);
    }
    return true;
}

}  // namespace orvalink::gen
