#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "base/ByteIo.h"
#include "image/CodeLibrary.h"
#include "image/LearnedCodes.h"
#include "support/IrCodeCompare.h"

namespace orvalink {
namespace {

using testing::Expand;

// Puts raw set bytes at `unit` of the code library and points `code` at them.
void PutSet(TTiFlashFm& flash, int code, uint32_t unit, const std::vector<uint8_t>& bytes) {
    auto img = flash.Image();
    std::copy(bytes.begin(), bytes.end(), img.begin() + flash.CodeLibraryStart() + 8 * size_t(unit));
    ByteWriter w(img.subspan(flash.CodeIndexStart() + 4 * size_t(code), 4));
    w.U32(unit);
}

// A set of 144 header bytes with every key empty (first 0, repeat 0xFF).
std::vector<uint8_t> EmptySetBytes(uint8_t timingCount = 0) {
    std::vector<uint8_t> b(144, 0);
    for (int k = 0; k < 64; ++k) {
        b[size_t(15 + 2 * k)] = 0;
        b[size_t(16 + 2 * k)] = 0xFF;
    }
    b[143] = timingCount;
    b.resize(144 + 4 * size_t(timingCount), 0);
    return b;
}

// The hand-made set of the decoding tests:
//   default Normal, carrier byte 0xD2; alternate RC-5 (its timing entry nibble 2
//   is ignored for RC keys), carrier 0x00E0; key 5 uses the alternate format.
//   Timing entries (mark, space): 0 = (0x0100, 0x0200), 1 = (0x0300, 0x0400),
//   2 = (0x0500, 0x0600); 3 entries -> 2-bit symbols.
//   key 0: 4 symbols [0, 2, 0, 2]  -> bits 00 10 00 10 from bit 0 -> 0x88
//   key 1: 2 + 1 symbols [1, 1, 1] -> bits 01 01 01        -> 0x15
//   key 5: 10 RC-5 data bits                                -> 0xA5 0x02
std::vector<uint8_t> HandSet() {
    std::vector<uint8_t> b = EmptySetBytes(3);
    b[0] = 0;  // no trailer
    b[1] = kCodeNormal;
    b[2] = 0xD2;
    b[4] = 0x21;
    b[5] = 0xE0;
    b[6] = 0x00;
    b[7] = 0x04;  // key 5: bit 7 - 5 of byte 0
    b[15] = 4;    // key 0
    b[17] = 2;    // key 1
    b[18] = 1;
    b[25] = 10;   // key 5
    const uint8_t table[] = {0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00, 0x05, 0x00, 0x06};
    std::copy(std::begin(table), std::end(table), b.begin() + 144);
    for (uint8_t v : {0x88, 0x15, 0xA5, 0x02}) b.push_back(v);
    return b;
}

std::vector<uint8_t> Packed(const IrCodeInfo& c) {
    std::vector<uint8_t> rec(8 * size_t(c.size));
    EXPECT_TRUE(PackIrCode(c, rec));
    return rec;
}

TEST(CodeLibrary, CodeNumbersAndIndexEntriesAreChecked) {
    TTiFlashFm flash;
    LibraryCodeSet set;
    EXPECT_FALSE(ReadLibraryCode(flash, 3072, set));
    EXPECT_FALSE(ReadLibraryCode(flash, -1, set));
    EXPECT_FALSE(ReadLibraryCode(flash, 0, set));  // a fresh index: 0xFFFFFFFF
    PutSet(flash, 1, 0, EmptySetBytes());
    EXPECT_TRUE(ReadLibraryCode(flash, 1, set));
    ByteWriter w(flash.Image().subspan(flash.CodeIndexStart() + 4, 4));
    w.U32(65604);  // one past the last unit
    EXPECT_FALSE(ReadLibraryCode(flash, 1, set));
    TTiFlashFm none(TTiFlashFm::NoImage{});
    EXPECT_FALSE(ReadLibraryCode(none, 1, set));
}

TEST(CodeLibrary, TheSetMustLieInsideTheLibraryRegion) {
    TTiFlashFm flash;
    LibraryCodeSet set;
    // An empty set takes 144 bytes = 18 units: the last place it fits is unit 65586.
    PutSet(flash, 7, 65586, EmptySetBytes());
    EXPECT_TRUE(ReadLibraryCode(flash, 7, set));
    PutSet(flash, 8, 65587, EmptySetBytes());
    EXPECT_FALSE(ReadLibraryCode(flash, 8, set));
    PutSet(flash, 9, 65603, {0});  // the last unit: the header runs out of the region
    EXPECT_FALSE(ReadLibraryCode(flash, 9, set));

    // The QM-2300 image ends inside the 5100 library region.
    TTiFlashFm small;
    ASSERT_TRUE(small.SelectModel(kSelector2300));
    const uint32_t lastUnitInImage = uint32_t((small.ImageSize() - small.CodeLibraryStart()) / 8);
    PutSet(small, 1, lastUnitInImage - 18, EmptySetBytes());
    EXPECT_TRUE(ReadLibraryCode(small, 1, set));
    ByteWriter w(small.Image().subspan(small.CodeIndexStart() + 8, 4));
    w.U32(lastUnitInImage - 17);
    EXPECT_FALSE(ReadLibraryCode(small, 2, set));
}

TEST(CodeLibrary, CountsAreChecked) {
    TTiFlashFm flash;
    LibraryCodeSet set;
    std::vector<uint8_t> b = EmptySetBytes(52);
    PutSet(flash, 0, 0, b);
    EXPECT_TRUE(ReadLibraryCode(flash, 0, set));
    b = EmptySetBytes(53);
    PutSet(flash, 0, 0, b);
    EXPECT_FALSE(ReadLibraryCode(flash, 0, set));
    // A first count of 230 reads (230 one-bit symbols, m = 2 -> 29 bytes), 231 does not.
    b = EmptySetBytes(2);
    b[15 + 2 * 40] = 230;
    b.resize(b.size() + 29, 0);
    PutSet(flash, 0, 0, b);
    ASSERT_TRUE(ReadLibraryCode(flash, 0, set));
    EXPECT_EQ(set.keyData.size(), 29u);
    b[15 + 2 * 40] = 231;
    PutSet(flash, 0, 0, b);
    EXPECT_FALSE(ReadLibraryCode(flash, 0, set));
    // A set beyond 256 blocks: m = 52 (6-bit symbols) and 9 keys of 230 + 254
    // symbols = 9 x 363 = 3267 bytes.
    b = EmptySetBytes(52);
    for (int k = 0; k < 9; ++k) {
        b[size_t(15 + 2 * k)] = 230;
        b[size_t(16 + 2 * k)] = 254;
    }
    PutSet(flash, 0, 0, b);
    EXPECT_FALSE(ReadLibraryCode(flash, 0, set));
}

TEST(CodeLibrary, ReadsTheHandMadeSetFieldByField) {
    TTiFlashFm flash;
    PutSet(flash, 42, 1000, HandSet());
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash, 42, set));
    EXPECT_EQ(set.defaultType, kCodeNormal);
    EXPECT_EQ(set.defaultCarrier, 0xD2);
    EXPECT_EQ(set.alternateFormat, 0x21);
    EXPECT_EQ(set.alternateCarrier, 0x00E0);
    EXPECT_TRUE(LibraryKeyUsesAlternate(set, 5));
    EXPECT_FALSE(LibraryKeyUsesAlternate(set, 0));
    EXPECT_EQ(LibraryKeyType(set, 5), kCodeRc5);
    EXPECT_EQ(set.timingCount, 3);
    EXPECT_EQ(set.keyData, (std::vector<uint8_t>{0x88, 0x15, 0xA5, 0x02}));
    std::array<uint16_t, 64> lengths;
    ASSERT_TRUE(LibraryKeyDataLengths(set, lengths));
    EXPECT_EQ(lengths[0], 1);
    EXPECT_EQ(lengths[1], 1);
    EXPECT_EQ(lengths[5], 2);
    EXPECT_EQ(lengths[2], 0);
    EXPECT_FALSE(set.HasTrailer());
}

TEST(CodeLibrary, DecodesANormalKeyIntoHandComputedBytes) {
    TTiFlashFm flash;
    PutSet(flash, 42, 1000, HandSet());
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash, 42, set));
    IrCodeInfo c;
    ASSERT_TRUE(DecodeLibraryKey(set, 0, c));
    // Entries 0 and 2 are used: kept in table order and renumbered 0 and 1;
    // 2 entries -> 1-bit symbols [0, 1, 0, 1] = 0x0A; 8 + 8 + 1 bytes -> 3 blocks.
    const std::vector<uint8_t> key0 = {3,    0,    0,    2,    0xD2, 0x00, 4,    0xFF,
                                       0x00, 0x01, 0x00, 0x02, 0x00, 0x05, 0x00, 0x06,
                                       0x0A, 0,    0,    0,    0,    0,    0,    0};
    EXPECT_EQ(Packed(c), key0);
    EXPECT_EQ(c.symbolWidth, 1);
    EXPECT_EQ(c.timingBytes, 8);
    // Key 1 uses entry 1 alone: 1 entry, three 1-bit symbols 0; 8 + 4 + 1 -> 2 blocks.
    ASSERT_TRUE(DecodeLibraryKey(set, 1, c));
    const std::vector<uint8_t> key1 = {2, 0, 0, 1, 0xD2, 0x00, 2, 1, 0x00, 0x03, 0x00, 0x04, 0x00, 0, 0, 0};
    EXPECT_EQ(Packed(c), key1);
}

TEST(CodeLibrary, AMaskBitWithAlternateRc5DecodesWithOneTimingEntry) {
    TTiFlashFm flash;
    PutSet(flash, 42, 1000, HandSet());
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash, 42, set));
    IrCodeInfo c;
    ASSERT_TRUE(DecodeLibraryKey(set, 5, c));
    // RC-5 with the alternate carrier, entry 0 only, the 10 data bits as they are.
    const std::vector<uint8_t> key5 = {2, kCodeRc5, 0, 1, 0xE0, 0x00, 10, 0xFF, 0x00, 0x01, 0x00, 0x02, 0xA5, 0x02, 0, 0};
    EXPECT_EQ(Packed(c), key5);
    EXPECT_EQ(c.timingCount, 1);
    // Keys without a code, or outside 0..63, do not decode.
    EXPECT_FALSE(DecodeLibraryKey(set, 2, c));
    EXPECT_FALSE(DecodeLibraryKey(set, 64, c));
    EXPECT_FALSE(DecodeLibraryKey(set, -1, c));
    // A type of 4..15 is refused.
    set.defaultType = 0x04;
    EXPECT_FALSE(DecodeLibraryKey(set, 0, c));
    set.defaultType = 0xF0;  // high bits are not the type
    EXPECT_TRUE(DecodeLibraryKey(set, 0, c));
}

TEST(CodeLibrary, AnAlternateNormalKeyStartsAtTheAlternateTimingEntry) {
    // m = 4, alternate Normal from entry 2, carrier 0x0123; key 3 uses it with
    // symbols [0, 1, 0] (2 bits each -> bits 00 01 00 = 0x04): entries 2 and 3.
    std::vector<uint8_t> b = EmptySetBytes(4);
    b[1] = kCodePulse;
    b[2] = 0x80;
    b[4] = 0x20;  // entry 2, Normal
    b[5] = 0x23;
    b[6] = 0x01;
    b[7] = 0x10;  // key 3
    b[15 + 6] = 3;
    const uint8_t table[] = {1, 0, 1, 0, 2, 0, 2, 0, 3, 0, 3, 0, 4, 0, 4, 0};
    std::copy(std::begin(table), std::end(table), b.begin() + 144);
    b.push_back(0x04);
    TTiFlashFm flash;
    PutSet(flash, 5, 0, b);
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash, 5, set));
    IrCodeInfo c;
    ASSERT_TRUE(DecodeLibraryKey(set, 3, c));
    const std::vector<uint8_t> key3 = {3, kCodeNormal, 0, 2, 0x23, 0x01, 3, 0xFF, 3, 0, 3, 0, 4, 0, 4, 0,
                                       0x02, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Packed(c), key3);

    // The window of m entries from entry 2 runs past the table: a symbol 2
    // addresses the 4 bytes after it, which are the key data (0x24 here),
    // zero past the data. Symbols [0, 1, 2] = bits 00 01 10 = 0x24.
    b.back() = 0x24;
    PutSet(flash, 5, 0, b);
    ASSERT_TRUE(ReadLibraryCode(flash, 5, set));
    ASSERT_TRUE(DecodeLibraryKey(set, 3, c));
    EXPECT_EQ(c.timingCount, 3);
    const std::vector<uint8_t> wide = {3,    kCodeNormal, 0, 3, 0x23, 0x01, 3, 0xFF, 3, 0, 3, 0, 4, 0, 4, 0,
                                       0x24, 0,           0, 0, 0x24, 0,    0, 0};
    EXPECT_EQ(Packed(c), wide);
    // A symbol that addresses no entry of the key's m fails: 3 of 4 is fine, so
    // make m = 3 with a 2-bit symbol 3.
    b[143] = 3;
    b.erase(b.begin() + 156, b.begin() + 160);  // drop entry 3
    b.back() = 0x30;                           // symbols [0, 0, 3]
    PutSet(flash, 5, 0, b);
    ASSERT_TRUE(ReadLibraryCode(flash, 5, set));
    EXPECT_FALSE(DecodeLibraryKey(set, 3, c));
}

TEST(CodeLibrary, TheTrailerIsCarried) {
    std::vector<uint8_t> b = HandSet();  // 160 bytes
    b[0] = 21;                           // trailer at 168
    b.resize(168, 0xEE);
    for (uint8_t v = 1; v <= 8; ++v) b.push_back(v);
    TTiFlashFm flash;
    PutSet(flash, 3, 10, b);
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash, 3, set));
    EXPECT_TRUE(set.HasTrailer());
    EXPECT_EQ(set.trailer, (std::array<uint8_t, 8>{1, 2, 3, 4, 5, 6, 7, 8}));
    // Written back elsewhere: 176 bytes = 22 units, the gap before the trailer zero.
    uint32_t units = 0;
    ASSERT_TRUE(WriteLibraryCode(flash, 4, set, 100, &units));
    EXPECT_EQ(units, 22u);
    LibraryCodeSet back;
    ASSERT_TRUE(ReadLibraryCode(flash, 4, back));
    EXPECT_EQ(back.trailer, set.trailer);
    EXPECT_EQ(back.keyData, set.keyData);
    const uint8_t* at = flash.Image().data() + flash.CodeLibraryStart() + 800;
    EXPECT_EQ(at[160], 0);
    EXPECT_EQ(at[168], 1);
    // A trailer at 8 x 255 would lie past 256 blocks... 0xFF means none; 254 is the last.
    set.trailerPosition = 254;
    std::array<uint8_t, kMaxLibrarySetBytes> bytes;
    size_t extent = 0;
    ASSERT_TRUE(LayOutLibraryCodeSet(set, bytes, extent));
    EXPECT_EQ(extent, 2040u);
    set.trailerPosition = 0xFF;
    EXPECT_FALSE(set.HasTrailer());
}

TEST(CodeLibrary, CompactionByHand) {
    // Normal, 5 entries (3-bit symbols), first 3 + repeat 2 symbols [4, 1, 4, 1, 1]:
    // bits 100 100 001 100 100 from bit 0 -> 0x0C 0x13 (15 bits).
    IrCodeInfo c;
    c.size = 5;
    c.codeType = kCodeNormal;
    c.reserved2 = 0x77;
    c.timingCount = 5;
    c.carrier = 0x0105;
    c.firstCount = 3;
    c.repeatCount = 2;
    for (int e = 0; e < 5; ++e)
        for (int b = 0; b < 4; ++b) c.data[size_t(4 * e + b)] = uint8_t(0x10 * (e + 1) + b);
    c.data[20] = 0x0C;
    c.data[21] = 0x13;
    ASSERT_TRUE(CompactIrCode(c));
    // Kept: entries 1 and 4 in table order; 4 -> 1 and 1 -> 0; 1-bit symbols
    // [1, 0, 1, 0, 0] = 0x05; 8 + 8 + 1 = 17 bytes -> 3 blocks.
    const std::vector<uint8_t> expected = {3,    kCodeNormal, 0x77, 2,    0x05, 0x01, 3,    2,
                                           0x20, 0x21,        0x22, 0x23, 0x50, 0x51, 0x52, 0x53,
                                           0x05, 0,           0,    0,    0,    0,    0,    0};
    EXPECT_EQ(Packed(c), expected);
    EXPECT_EQ(c.symbolWidth, 1);
    EXPECT_TRUE(std::all_of(c.data.begin() + 9, c.data.end(), [](uint8_t b) { return b == 0; }));
}

TEST(CodeLibrary, CompactionWidths) {
    // 17 entries all used: 5-bit symbols before and after; 2 of 17 used: 1-bit symbols.
    auto make = [](int used) {
        IrCodeInfo c;
        c.codeType = kCodePulse;
        c.timingCount = 17;
        c.firstCount = 17;
        for (int e = 0; e < 17; ++e) c.data[size_t(4 * e)] = uint8_t(e);
        std::span<uint8_t> sym(c.data.data() + 68, 11);
        for (int i = 0; i < 17; ++i) PutSymbol(sym, size_t(i), 5, uint32_t(i % used));
        c.size = uint8_t((8 + 68 + 11 + 7) / 8);
        return c;
    };
    EXPECT_EQ(SymbolWidth(17), 5);
    EXPECT_EQ(SymbolWidth(2), 1);
    IrCodeInfo all = make(17);
    ASSERT_TRUE(CompactIrCode(all));
    EXPECT_EQ(all.timingCount, 17);
    EXPECT_EQ(all.symbolWidth, 5);
    EXPECT_EQ(all.size, (8 + 68 + 11 + 7) / 8);
    IrCodeInfo two = make(2);
    const auto before = Expand(two);
    ASSERT_TRUE(CompactIrCode(two));
    EXPECT_EQ(two.timingCount, 2);
    EXPECT_EQ(two.symbolWidth, 1);
    EXPECT_EQ(two.size, (8 + 8 + 3 + 7) / 8);
    EXPECT_EQ(Expand(two), before);
    // A stored record with 2 timing entries unpacks with 1-bit symbols.
    IrCodeInfo stored;
    std::vector<uint8_t> rec = Packed(two);
    ASSERT_TRUE(UnpackIrCode(rec, stored));
    EXPECT_EQ(stored.symbolWidth, 1);
}

TEST(CodeLibrary, CompactionRefusals) {
    IrCodeInfo c;
    c.codeType = kCodeNormal;
    c.timingCount = 3;
    c.firstCount = 2;
    c.data[12] = 0x0F;  // 2-bit symbols [3, 3]: entry 3 of 3 does not exist
    c.size = 3;
    const IrCodeInfo before = c;
    EXPECT_FALSE(CompactIrCode(c));
    EXPECT_EQ(c.data, before.data);
    EXPECT_EQ(c.timingCount, 3);
    c.data[12] = 0x05;
    c.codeType = 4;
    EXPECT_FALSE(CompactIrCode(c));
    c.codeType = kCodeRc6;
    c.timingCount = 0;
    EXPECT_FALSE(CompactIrCode(c));
    c.timingCount = 200;  // 800 table bytes do not fit the data room
    c.codeType = kCodeNormal;
    EXPECT_FALSE(CompactIrCode(c));
}

TEST(CodeLibrary, CompactionOfAnRcCodeKeepsItsFirstEntry) {
    IrCodeInfo c;
    c.codeType = kCodeRc6;
    c.timingCount = 3;
    c.firstCount = 9;
    c.carrier = 300;
    for (int i = 0; i < 12; ++i) c.data[size_t(i)] = uint8_t(0x40 + i);
    c.data[12] = 0xAB;
    c.data[13] = 0x01;
    c.size = 4;
    ASSERT_TRUE(CompactIrCode(c));
    const std::vector<uint8_t> expected = {2, kCodeRc6, 0, 1, 0x2C, 0x01, 9, 0xFF, 0x40, 0x41, 0x42, 0x43, 0xAB, 0x01, 0, 0};
    EXPECT_EQ(Packed(c), expected);
}

// ---------------------------------------------------------------- writing

IrCodeInfo NormalCode(uint16_t carrier, std::vector<std::array<uint8_t, 4>> table, std::vector<uint32_t> symbols,
                      uint8_t repeat = kNoRepeat, uint8_t type = kCodeNormal) {
    IrCodeInfo c;
    c.codeType = type;
    c.carrier = carrier;
    c.timingCount = uint8_t(table.size());
    c.repeatCount = repeat;
    c.firstCount = uint8_t(symbols.size() - (repeat == kNoRepeat ? 0 : repeat));
    for (size_t e = 0; e < table.size(); ++e) std::copy(table[e].begin(), table[e].end(), c.data.begin() + 4 * e);
    const int w = SymbolWidth(c.timingCount);
    std::span<uint8_t> out(c.data.data() + 4 * table.size(), c.data.size() - 4 * table.size());
    for (size_t i = 0; i < symbols.size(); ++i) PutSymbol(out, i, w, symbols[i]);
    c.size = uint8_t((8 + 4 * table.size() + (symbols.size() * size_t(w) + 7) / 8 + 7) / 8);
    return c;
}

IrCodeInfo RcCode(uint8_t type, uint16_t carrier, std::array<uint8_t, 4> entry, std::vector<uint8_t> bits) {
    IrCodeInfo c;
    c.codeType = type;
    c.carrier = carrier;
    c.timingCount = 1;
    c.firstCount = uint8_t(bits.size());
    std::copy(entry.begin(), entry.end(), c.data.begin());
    std::span<uint8_t> out(c.data.data() + 4, c.data.size() - 4);
    for (size_t i = 0; i < bits.size(); ++i) PutSymbol(out, i, 1, bits[i]);
    c.size = uint8_t((8 + 4 + (bits.size() + 7) / 8 + 7) / 8);
    return c;
}

const std::array<uint8_t, 4> kA = {0x30, 0x02, 0x30, 0x02}, kB = {0x30, 0x02, 0x90, 0x06},
                             kC = {0x60, 0x23, 0xB0, 0x11}, kD = {0x30, 0x02, 0x10, 0x50},
                             kE = {0x70, 0x03, 0x70, 0x03};

void ExpectRoundTrip(const std::vector<std::optional<IrCodeInfo>>& keys) {
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    TTiFlashFm flash;
    uint32_t units = 0;
    ASSERT_TRUE(WriteLibraryCode(flash, 1234, set, 500, &units));
    LibraryCodeSet back;
    ASSERT_TRUE(ReadLibraryCode(flash, 1234, back));
    EXPECT_EQ(back.keyData, set.keyData);
    EXPECT_EQ(back.timing, set.timing);
    EXPECT_EQ(back.alternateMask, set.alternateMask);
    EXPECT_EQ(LibraryUnitsInUse(flash), 500 + units);
    for (int k = 0; k < 64; ++k) {
        IrCodeInfo decoded;
        const bool has = size_t(k) < keys.size() && keys[size_t(k)].has_value();
        ASSERT_EQ(DecodeLibraryKey(back, k, decoded), has) << k;
        if (!has) continue;
        IrCodeInfo compacted = *keys[size_t(k)];
        ASSERT_TRUE(CompactIrCode(compacted));
        auto e = Expand(decoded);
        ASSERT_TRUE(e.ok) << k;
        EXPECT_EQ(e, Expand(compacted)) << k;
        EXPECT_EQ(decoded.size, compacted.size) << k;
        EXPECT_EQ(decoded.timingCount, compacted.timingCount) << k;
    }
}

TEST(CodeLibrary, BuiltSetsDecodeIntoTheKeysCodes) {
    // Default Normal keys at carrier 210 sharing entries, alternate RC-5 keys at 300.
    std::vector<std::optional<IrCodeInfo>> keys(64);
    keys[0] = NormalCode(210, {kA, kB, kC}, {2, 0, 1, 0, 0, 1, 2});
    keys[1] = NormalCode(210, {kB, kA}, {0, 1, 1, 0}, 2);
    keys[7] = NormalCode(210, {kE, kD, kA, kB, kC}, {1, 3, 3, 1, 4});  // entry kE unused
    keys[8] = RcCode(kCodeRc5, 300, kD, {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1});
    keys[63] = RcCode(kCodeRc5, 300, kD, {0, 1});
    ExpectRoundTrip(keys);

    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    EXPECT_EQ(set.defaultType, kCodeNormal);
    EXPECT_EQ(set.defaultCarrier, 210);
    EXPECT_EQ(set.alternateFormat & 0x0F, kCodeRc5);
    EXPECT_EQ(set.alternateCarrier, 300);
    EXPECT_TRUE(LibraryKeyUsesAlternate(set, 8));
    EXPECT_TRUE(LibraryKeyUsesAlternate(set, 63));
    EXPECT_FALSE(LibraryKeyUsesAlternate(set, 0));
    // The RC entry kD first, then kA, kB, kC from key 0; key 7 shares kD and
    // leaves kE out: 4 entries.
    EXPECT_EQ(set.timingCount, 4);
    EXPECT_TRUE(std::equal(kD.begin(), kD.end(), set.timing.begin()));
}

TEST(CodeLibrary, BuiltSetsWithAnAlternateNormalWindow) {
    // Default RC-6 at carrier 200 (entry 0); the Pulse keys at carrier 0x0400
    // are alternate and address a window from entry 1.
    std::vector<std::optional<IrCodeInfo>> keys(20);
    keys[2] = RcCode(kCodeRc6, 200, kE, {1, 1, 0, 1});
    keys[3] = NormalCode(0x0400, {kA, kB}, {0, 1, 0, 1, 1}, kNoRepeat, kCodePulse);
    keys[4] = NormalCode(0x0400, {kC, kB, kD}, {2, 2, 1, 0}, 1, kCodePulse);
    keys[19] = RcCode(kCodeRc6, 200, kE, {0});
    ExpectRoundTrip(keys);
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    EXPECT_EQ(set.alternateFormat, 0x10 | kCodePulse);
    EXPECT_EQ(set.defaultType, kCodeRc6);
    EXPECT_EQ(set.timingCount, 5);  // kE, then the window kA kB kC kD
}

TEST(CodeLibrary, AllKeysAlternateWhenNoCarrierFitsAByte) {
    std::vector<std::optional<IrCodeInfo>> keys(3);
    keys[0] = NormalCode(0x0300, {kA, kB}, {0, 1});
    keys[2] = NormalCode(0x0300, {kB, kC}, {1, 1, 0});
    ExpectRoundTrip(keys);
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    EXPECT_TRUE(LibraryKeyUsesAlternate(set, 0));
    EXPECT_TRUE(LibraryKeyUsesAlternate(set, 2));
    EXPECT_EQ(set.alternateCarrier, 0x0300);
}

TEST(CodeLibrary, AnEmptySetIsTheHeaderAlone) {
    std::vector<std::optional<IrCodeInfo>> keys(64);
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    TTiFlashFm flash;
    uint32_t units = 0;
    ASSERT_TRUE(WriteLibraryCode(flash, 0, set, 0, &units));
    EXPECT_EQ(units, 18u);
    ASSERT_TRUE(ReadLibraryCode(flash, 0, set));
    IrCodeInfo c;
    for (int k = 0; k < 64; ++k) EXPECT_FALSE(DecodeLibraryKey(set, k, c));
}

TEST(CodeLibrary, BuildRefusals) {
    std::vector<std::optional<IrCodeInfo>> keys(64);
    LibraryCodeSet set;
    // Three formats.
    keys[0] = NormalCode(210, {kA, kB}, {0, 1});
    keys[1] = NormalCode(211, {kA, kB}, {0, 1});
    keys[2] = NormalCode(212, {kA, kB}, {0, 1});
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    // RC keys that disagree on their timing entry.
    keys.assign(64, std::nullopt);
    keys[0] = RcCode(kCodeRc5, 210, kA, {1});
    keys[1] = RcCode(kCodeRc5, 210, kB, {1});
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    // A symbol beyond its code's table; a first count of 0 or 231; type 4.
    keys.assign(64, std::nullopt);
    keys[0] = NormalCode(210, {kA, kB, kC}, {0, 3});
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    keys[0] = NormalCode(210, {kA, kB}, {0, 1});
    keys[0]->firstCount = 0;
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    keys[0]->firstCount = 231;
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    keys[0] = NormalCode(210, {kA, kB}, {0, 1}, kNoRepeat, 4);
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));
    // More than 52 distinct entries.
    keys.assign(64, std::nullopt);
    for (int k = 0; k < 4; ++k) {
        std::vector<std::array<uint8_t, 4>> table;
        std::vector<uint32_t> symbols;
        for (int e = 0; e < 14; ++e) {
            table.push_back({uint8_t(k), uint8_t(e), 1, 1});
            symbols.push_back(uint32_t(e));
        }
        keys[size_t(k)] = NormalCode(210, table, symbols);
    }
    EXPECT_FALSE(BuildLibraryCodeSet(keys, set));  // 56
    keys[3].reset();
    EXPECT_TRUE(BuildLibraryCodeSet(keys, set));   // 42
    // More than 64 keys.
    std::vector<std::optional<IrCodeInfo>> tooMany(65);
    EXPECT_FALSE(BuildLibraryCodeSet(tooMany, set));
}

TEST(CodeLibrary, WriteRefusalsWriteNothing) {
    std::vector<std::optional<IrCodeInfo>> keys(64);
    keys[0] = NormalCode(210, {kA, kB}, {0, 1, 1});
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    TTiFlashFm flash;
    const std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());
    EXPECT_FALSE(WriteLibraryCode(flash, 3072, set, 0));
    EXPECT_FALSE(WriteLibraryCode(flash, -1, set, 0));
    EXPECT_FALSE(WriteLibraryCode(flash, 0, set, 65604));
    EXPECT_FALSE(WriteLibraryCode(flash, 0, set, 65604 - 19));  // 153 bytes = 20 units
    LibraryCodeSet overlapping = set;
    overlapping.trailerPosition = 18;  // 144 < 153: the trailer would cover the key data
    EXPECT_FALSE(WriteLibraryCode(flash, 0, overlapping, 0));
    LibraryCodeSet broken = set;
    broken.keyData.push_back(0);
    EXPECT_FALSE(WriteLibraryCode(flash, 0, broken, 0));
    broken = set;
    broken.timingCount = 53;
    EXPECT_FALSE(WriteLibraryCode(flash, 0, broken, 0));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin()));
    EXPECT_TRUE(WriteLibraryCode(flash, 0, set, 65604 - 20));
    LibraryCodeSet back;
    EXPECT_TRUE(ReadLibraryCode(flash, 0, back));
}

TEST(CodeLibrary, SetsWrittenOneAfterAnother) {
    TTiFlashFm flash;
    EXPECT_EQ(LibraryUnitsInUse(flash), 0u);
    std::vector<std::optional<IrCodeInfo>> keys(64);
    keys[10] = NormalCode(210, {kA, kB}, {0, 1, 1});
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    uint32_t next = LibraryUnitsInUse(flash), used = 0;
    for (int code : {3, 17, 3071}) {
        ASSERT_TRUE(WriteLibraryCode(flash, code, set, next, &used));
        next += used;
    }
    EXPECT_EQ(next, 3 * 20u);
    EXPECT_EQ(LibraryUnitsInUse(flash), next);
    uint32_t index = 0;
    ASSERT_TRUE(ReadLibraryIndex(flash, 17, index));
    EXPECT_EQ(index, 20u);
    // The decoded key converts to the send form.
    LibraryCodeSet back;
    ASSERT_TRUE(ReadLibraryCode(flash, 3071, back));
    IrCodeInfo c;
    ASSERT_TRUE(DecodeLibraryKey(back, 10, c));
    LearnedCode send;
    ASSERT_TRUE(StoredToSend(c, send));
    EXPECT_EQ(send[4], 131);  // 210 x 5 / 8 = 131.25
}

}  // namespace
}  // namespace orvalink
