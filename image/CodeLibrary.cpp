#include "image/CodeLibrary.h"

#include <algorithm>

#include "base/ByteIo.h"

namespace orvalink {

namespace {

constexpr size_t kEntryBytes = 4;
using TimingEntry = std::array<uint8_t, kEntryBytes>;

// The bytes of the code library region that lie inside the image.
std::span<const uint8_t> LibraryRegion(const TTiFlashFm& flash) {
    auto img = flash.Image();
    const size_t start = flash.CodeLibraryStart();
    if (img.empty() || start >= img.size()) return {};
    return img.subspan(start, std::min(size_t(kLibraryUnits) * 8, img.size() - start));
}

bool IndexOffsetOk(uint32_t value) { return value != kNoLibrarySet && value < kLibraryUnits; }

size_t KeyDataTotal(const std::array<uint16_t, kLibraryKeys>& lengths) {
    size_t total = 0;
    for (uint16_t n : lengths) total += n;
    return total;
}

// Offset of key k's data within the key data.
size_t KeyDataOffset(const std::array<uint16_t, kLibraryKeys>& lengths, int key) {
    size_t offset = 0;
    for (int k = 0; k < key; ++k) offset += lengths[size_t(k)];
    return offset;
}

}  // namespace

bool LibraryKeyUsesAlternate(const LibraryCodeSet& set, int key) {
    if (key < 0 || key >= kLibraryKeys) return false;
    return (set.alternateMask[size_t(key) / 8] >> (7 - key % 8)) & 1;
}

void SetLibraryKeyAlternate(LibraryCodeSet& set, int key, bool alternate) {
    if (key < 0 || key >= kLibraryKeys) return;
    uint8_t bit = uint8_t(0x80u >> (key % 8));
    uint8_t& b = set.alternateMask[size_t(key) / 8];
    b = alternate ? uint8_t(b | bit) : uint8_t(b & ~bit);
}

uint8_t LibraryKeyType(const LibraryCodeSet& set, int key) {
    return uint8_t((LibraryKeyUsesAlternate(set, key) ? set.alternateFormat : set.defaultType) & 0x0F);
}

bool LibraryKeyDataLengths(const LibraryCodeSet& set, std::array<uint16_t, kLibraryKeys>& lengths) {
    if (set.timingCount > kMaxLibraryTimings) return false;
    const int width = SymbolWidth(set.timingCount);
    std::array<uint16_t, kLibraryKeys> out{};
    for (int k = 0; k < kLibraryKeys; ++k) {
        if (set.firstCount[size_t(k)] > kMaxLibraryFirstCount) return false;
        size_t symbols = size_t(SymbolCount(set.firstCount[size_t(k)], set.repeatCount[size_t(k)]));
        size_t bits = IsBitCoded(LibraryKeyType(set, k)) ? symbols : symbols * size_t(width);
        out[size_t(k)] = uint16_t((bits + 7) / 8);
    }
    lengths = out;
    return true;
}

bool LayOutLibraryCodeSet(const LibraryCodeSet& set, std::array<uint8_t, kMaxLibrarySetBytes>& bytes,
                          size_t& extent) {
    std::array<uint16_t, kLibraryKeys> lengths;
    if (!LibraryKeyDataLengths(set, lengths)) return false;
    const size_t table = kEntryBytes * set.timingCount;
    const size_t data = KeyDataTotal(lengths);
    if (set.keyData.size() != data) return false;
    size_t end = kLibrarySetHeaderBytes + table + data;
    if (set.HasTrailer()) end = std::max(end, 8 * size_t(set.trailerPosition) + 8);
    if (end > kMaxLibrarySetBytes) return false;
    bytes.fill(0);
    ByteWriter w(bytes);
    w.U8(set.trailerPosition);
    w.U8(set.defaultType);
    w.U8(set.defaultCarrier);
    w.U8(set.byte3);
    w.U8(set.alternateFormat);
    w.U16(set.alternateCarrier);
    w.Bytes(set.alternateMask.data(), set.alternateMask.size());
    for (int k = 0; k < kLibraryKeys; ++k) {
        w.U8(set.firstCount[size_t(k)]);
        w.U8(set.repeatCount[size_t(k)]);
    }
    w.U8(set.timingCount);
    w.Bytes(set.timing.data(), table);
    w.Bytes(set.keyData.data(), data);
    if (set.HasTrailer()) {
        w.Seek(8 * size_t(set.trailerPosition));
        w.Bytes(set.trailer.data(), set.trailer.size());
    }
    if (!w.ok()) return false;
    extent = end;
    return true;
}

bool ReadLibraryIndex(const TTiFlashFm& flash, int codeNumber, uint32_t& value) {
    auto img = flash.Image();
    if (img.empty() || codeNumber < 0 || codeNumber >= flash.CodeIndexCount()) return false;
    ByteReader r(img);
    r.Seek(flash.CodeIndexStart() + kEntryBytes * size_t(codeNumber));
    uint32_t v = r.U32();
    if (!r.ok()) return false;
    value = v;
    return true;
}

bool ReadLibraryCode(const TTiFlashFm& flash, int codeNumber, LibraryCodeSet& set) {
    uint32_t offset = 0;
    if (!ReadLibraryIndex(flash, codeNumber, offset) || !IndexOffsetOk(offset)) return false;
    auto region = LibraryRegion(flash);
    const size_t start = 8 * size_t(offset);
    if (start >= region.size()) return false;
    // Everything the set may hold: 256 blocks, cut at the region's (and image's) end.
    ByteReader r(region.subspan(start, std::min(kMaxLibrarySetBytes, region.size() - start)));
    LibraryCodeSet s;
    s.trailerPosition = r.U8();
    s.defaultType = r.U8();
    s.defaultCarrier = r.U8();
    s.byte3 = r.U8();
    s.alternateFormat = r.U8();
    s.alternateCarrier = r.U16();
    r.Bytes(s.alternateMask.data(), s.alternateMask.size());
    for (int k = 0; k < kLibraryKeys; ++k) {
        s.firstCount[size_t(k)] = r.U8();
        s.repeatCount[size_t(k)] = r.U8();
    }
    s.timingCount = r.U8();
    if (!r.ok() || s.timingCount > kMaxLibraryTimings) return false;
    r.Bytes(s.timing.data(), kEntryBytes * s.timingCount);
    std::array<uint16_t, kLibraryKeys> lengths;
    if (!r.ok() || !LibraryKeyDataLengths(s, lengths)) return false;
    auto data = r.View(KeyDataTotal(lengths));
    if (!r.ok()) return false;
    s.keyData.assign(data.begin(), data.end());
    if (s.HasTrailer()) {
        r.Seek(8 * size_t(s.trailerPosition));
        r.Bytes(s.trailer.data(), s.trailer.size());
        if (!r.ok()) return false;
    }
    set = std::move(s);
    return true;
}

bool DecodeLibraryKey(const LibraryCodeSet& set, int key, IrCodeInfo& code) {
    if (key < 0 || key >= kLibraryKeys || set.firstCount[size_t(key)] == 0) return false;
    std::array<uint16_t, kLibraryKeys> lengths;
    std::array<uint8_t, kMaxLibrarySetBytes> bytes;
    size_t extent = 0;
    if (!LibraryKeyDataLengths(set, lengths) || !LayOutLibraryCodeSet(set, bytes, extent)) return false;
    const bool alternate = LibraryKeyUsesAlternate(set, key);
    const uint8_t type = LibraryKeyType(set, key);
    if (type > kCodePulse) return false;
    const bool bitCoded = IsBitCoded(type);
    const size_t startEntry = !bitCoded && alternate ? size_t(set.alternateFormat >> 4) : 0;
    const size_t entries = bitCoded ? 1 : set.timingCount;
    const size_t window = kLibrarySetHeaderBytes + kEntryBytes * startEntry;
    const size_t dataStart = kLibrarySetHeaderBytes + kEntryBytes * set.timingCount + KeyDataOffset(lengths, key);
    const size_t dataLength = lengths[size_t(key)];
    const size_t recordData = kEntryBytes * entries + dataLength;
    if (window + kEntryBytes * entries > bytes.size() || dataStart + dataLength > bytes.size() ||
        recordData > code.data.size())
        return false;
    IrCodeInfo c;
    c.codeType = type;
    c.reserved2 = 0;
    c.timingCount = uint8_t(entries);
    c.carrier = alternate ? set.alternateCarrier : set.defaultCarrier;
    c.firstCount = set.firstCount[size_t(key)];
    c.repeatCount = set.repeatCount[size_t(key)];
    std::copy_n(bytes.begin() + std::ptrdiff_t(window), kEntryBytes * entries, c.data.begin());
    std::copy_n(bytes.begin() + std::ptrdiff_t(dataStart), dataLength,
                c.data.begin() + std::ptrdiff_t(kEntryBytes * entries));
    c.size = uint8_t((8 + recordData + 7) / 8);
    c.symbolWidth = uint8_t(ImpliedSymbolWidth(type, int(entries)));
    c.timingBytes = uint16_t(kEntryBytes * entries);
    if (!CompactIrCode(c)) return false;
    code = c;
    return true;
}

namespace {

struct Format {
    uint8_t type = 0;
    uint16_t carrier = 0;
    bool operator==(const Format&) const = default;
};

TimingEntry EntryOf(const IrCodeInfo& code, size_t e) {
    TimingEntry t;
    std::copy_n(code.data.begin() + std::ptrdiff_t(kEntryBytes * e), kEntryBytes, t.begin());
    return t;
}

// Checks one key's stored code: a type of 0..3, a first count of 1..230,
// table and symbols inside the data room, Normal and Pulse symbols inside
// the table, RC codes with a timing entry.
bool KeyCodeOk(const IrCodeInfo& code) {
    if (code.codeType > kCodePulse || code.firstCount == 0 || code.firstCount > kMaxLibraryFirstCount)
        return false;
    const size_t symbols = size_t(SymbolCount(code.firstCount, code.repeatCount));
    const size_t table = kEntryBytes * code.timingCount;
    if (IsBitCoded(code.codeType)) return code.timingCount >= 1 && table + (symbols + 7) / 8 <= code.data.size();
    const int width = SymbolWidth(code.timingCount);
    const size_t bytes = (symbols * size_t(width) + 7) / 8;
    if (table + bytes > code.data.size()) return false;
    std::span<const uint8_t> packed(code.data.data() + table, bytes);
    for (size_t i = 0; i < symbols; ++i)
        if (SymbolAt(packed, i, width) >= code.timingCount) return false;
    return true;
}

}  // namespace

bool BuildLibraryCodeSet(std::span<const std::optional<IrCodeInfo>> keyCodes, LibraryCodeSet& set) {
    if (keyCodes.size() > size_t(kLibraryKeys)) return false;
    const int keys = int(keyCodes.size());
    auto codeOf = [&](int k) -> const IrCodeInfo& { return *keyCodes[size_t(k)]; };
    auto formatOf = [&](int k) { return Format{codeOf(k).codeType, codeOf(k).carrier}; };

    // Formats: the default from the lowest key whose carrier fits a byte.
    std::optional<Format> defaultFormat, alternateFormat;
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)]) continue;
        if (!KeyCodeOk(codeOf(k))) return false;
        if (!defaultFormat && codeOf(k).carrier <= 0xFF) defaultFormat = formatOf(k);
    }
    std::array<bool, kLibraryKeys> alternate{};
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)] || (defaultFormat && formatOf(k) == *defaultFormat)) continue;
        if (!alternateFormat) alternateFormat = formatOf(k);
        if (formatOf(k) != *alternateFormat) return false;
        alternate[size_t(k)] = true;
    }

    // The timing table: the RC entry first, then the window of the
    // alternate Normal and Pulse keys, then the default ones' entries.
    std::vector<TimingEntry> table;
    std::array<std::array<uint8_t, 256>, kLibraryKeys> mapped{};  // key's entry -> set entry
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)] || !IsBitCoded(codeOf(k).codeType)) continue;
        if (table.empty()) table.push_back(EntryOf(codeOf(k), 0));
        if (EntryOf(codeOf(k), 0) != table[0]) return false;
    }
    size_t windowStart = table.size();
    bool anyAlternateIndexed = false;
    auto addEntries = [&](int k, size_t searchFrom) {
        const IrCodeInfo& code = codeOf(k);
        const int width = SymbolWidth(code.timingCount);
        const size_t symbols = size_t(SymbolCount(code.firstCount, code.repeatCount));
        std::span<const uint8_t> packed(code.data.data() + kEntryBytes * code.timingCount,
                                        (symbols * size_t(width) + 7) / 8);
        std::array<bool, 256> used{};
        for (size_t i = 0; i < symbols; ++i) used[SymbolAt(packed, i, width)] = true;
        for (size_t e = 0; e < code.timingCount; ++e) {
            if (!used[e]) continue;
            TimingEntry t = EntryOf(code, e);
            auto it = std::find(table.begin() + std::ptrdiff_t(searchFrom), table.end(), t);
            if (it == table.end()) {
                table.push_back(t);
                it = table.end() - 1;
            }
            size_t at = size_t(it - table.begin());
            if (at > 0xFF) return false;
            mapped[size_t(k)][e] = uint8_t(at);
        }
        return true;
    };
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)] || IsBitCoded(codeOf(k).codeType) || !alternate[size_t(k)]) continue;
        anyAlternateIndexed = true;
        if (!addEntries(k, windowStart)) return false;
    }
    if (!anyAlternateIndexed) windowStart = 0;
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)] || IsBitCoded(codeOf(k).codeType) || alternate[size_t(k)]) continue;
        if (!addEntries(k, 0)) return false;
    }
    if (table.size() > size_t(kMaxLibraryTimings) || windowStart > 15) return false;

    LibraryCodeSet s;
    s.trailerPosition = 0;
    s.defaultType = defaultFormat ? defaultFormat->type : 0;
    s.defaultCarrier = defaultFormat ? uint8_t(defaultFormat->carrier) : 0;
    s.alternateFormat = uint8_t((windowStart << 4) | (alternateFormat ? alternateFormat->type : 0));
    s.alternateCarrier = alternateFormat ? alternateFormat->carrier : 0;
    s.timingCount = uint8_t(table.size());
    for (size_t e = 0; e < table.size(); ++e) std::copy(table[e].begin(), table[e].end(), s.timing.begin() + 4 * e);
    const int width = SymbolWidth(s.timingCount);
    for (int k = 0; k < keys; ++k) {
        if (!keyCodes[size_t(k)]) continue;
        const IrCodeInfo& code = codeOf(k);
        s.firstCount[size_t(k)] = code.firstCount;
        s.repeatCount[size_t(k)] = code.repeatCount;
        SetLibraryKeyAlternate(s, k, alternate[size_t(k)]);
        const size_t symbols = size_t(SymbolCount(code.firstCount, code.repeatCount));
        const auto* source = code.data.data() + kEntryBytes * code.timingCount;
        if (IsBitCoded(code.codeType)) {
            s.keyData.insert(s.keyData.end(), source, source + (symbols + 7) / 8);
            continue;
        }
        const int oldWidth = SymbolWidth(code.timingCount);
        std::span<const uint8_t> packed(source, (symbols * size_t(oldWidth) + 7) / 8);
        std::vector<uint8_t> out((symbols * size_t(width) + 7) / 8, 0);
        const size_t base = alternate[size_t(k)] ? windowStart : 0;
        for (size_t i = 0; i < symbols; ++i)
            PutSymbol(out, i, width, uint32_t(mapped[size_t(k)][SymbolAt(packed, i, oldWidth)] - base));
        s.keyData.insert(s.keyData.end(), out.begin(), out.end());
    }
    std::array<uint8_t, kMaxLibrarySetBytes> bytes;
    size_t extent = 0;
    if (!LayOutLibraryCodeSet(s, bytes, extent)) return false;
    set = std::move(s);
    return true;
}

bool WriteLibraryCode(TTiFlashFm& flash, int codeNumber, const LibraryCodeSet& set, uint32_t unitOffset,
                      uint32_t* unitsUsed) {
    auto img = flash.Image();
    if (img.empty() || codeNumber < 0 || codeNumber >= flash.CodeIndexCount() || unitOffset >= kLibraryUnits)
        return false;
    std::array<uint8_t, kMaxLibrarySetBytes> bytes;
    size_t extent = 0;
    if (!LayOutLibraryCodeSet(set, bytes, extent)) return false;
    const size_t dataEnd = kLibrarySetHeaderBytes + 4 * size_t(set.timingCount) + set.keyData.size();
    if (set.HasTrailer() && 8 * size_t(set.trailerPosition) < dataEnd) return false;
    const size_t units = (extent + 7) / 8;
    const size_t regionBytes = LibraryRegion(flash).size();
    const size_t start = 8 * size_t(unitOffset);
    const size_t indexAt = flash.CodeIndexStart() + 4 * size_t(codeNumber);
    if (start + 8 * units > regionBytes || indexAt + 4 > img.size()) return false;
    std::copy_n(bytes.begin(), 8 * units, img.begin() + std::ptrdiff_t(flash.CodeLibraryStart() + start));
    ByteWriter w(img.subspan(indexAt, 4));
    w.U32(unitOffset);
    if (unitsUsed) *unitsUsed = uint32_t(units);
    return w.ok();
}

uint32_t LibraryUnitsInUse(const TTiFlashFm& flash) {
    uint32_t end = 0;
    std::array<uint8_t, kMaxLibrarySetBytes> bytes;
    for (int c = 0; c < flash.CodeIndexCount(); ++c) {
        uint32_t offset = 0;
        LibraryCodeSet set;
        size_t extent = 0;
        if (!ReadLibraryIndex(flash, c, offset) || !IndexOffsetOk(offset) || !ReadLibraryCode(flash, c, set) ||
            !LayOutLibraryCodeSet(set, bytes, extent))
            continue;
        end = std::max(end, offset + uint32_t((extent + 7) / 8));
    }
    return end;
}

}  // namespace orvalink
