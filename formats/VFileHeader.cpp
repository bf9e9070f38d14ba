// The V-file header record, version words, and the scrambled password block.
#include <algorithm>
#include <cstdio>

#include "base/ByteIo.h"
#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "platform/Clock.h"
#include "platform/Random.h"

namespace orvalink {

namespace {

constexpr uint8_t kPasswordUnits = 4;  // 4 x 8 - 1 = 31 random characters

bool IsBlank(char c) { return c == ' '; }

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// --- scrambling ------------------------------------------------------------

uint8_t RotateLeft(uint8_t v, unsigned bits) {
    bits %= 8;
    return bits == 0 ? v : uint8_t((v << bits) | (v >> (8 - bits)));
}
uint8_t RotateRight(uint8_t v, unsigned bits) {
    bits %= 8;
    return bits == 0 ? v : uint8_t((v >> bits) | (v << (8 - bits)));
}

// Rotation amounts of the three bytes of a triple, by L modulo 10.
constexpr uint8_t kRotations[10][3] = {
    {3, 6, 2}, {5, 1, 7}, {4, 2, 6}, {1, 5, 3}, {2, 7, 1},
    {6, 4, 3}, {5, 2, 7}, {1, 3, 6}, {2, 4, 5}, {7, 1, 3},
};

// Swaps inside groups; each scheme swaps disjoint pairs, so applying it twice
// restores the data. The scheme is chosen by the byte sum, which no
// permutation changes.
void Permute(std::span<uint8_t> d) {
    const int length = int(d.size());
    int scheme = int(Sum16(d) % 13);
    if (scheme > 10) scheme /= 2;
    auto swap = [&d](int a, int b) { std::swap(d[size_t(a)], d[size_t(b)]); };

    if (scheme <= 4) {
        // Groups of 3..7 bytes from the start; only groups that fit wholly.
        const int g = scheme + 3;
        for (int o = 0; o + g - 1 < length; o += g) {
            switch (scheme) {
                case 0: swap(o, o + 2); break;
                case 1: swap(o, o + 3); swap(o + 1, o + 2); break;
                case 2: swap(o, o + 4); swap(o + 1, o + 3); break;
                case 3: swap(o, o + 5); swap(o + 1, o + 4); swap(o + 2, o + 3); break;
                case 4: swap(o, o + 6); swap(o + 1, o + 5); swap(o + 2, o + 4); break;
            }
        }
        return;
    }
    if (scheme == 10) return;
    // Groups of 3..7 bytes from the end, with n their top index; byte 0 is
    // never moved.
    const int g = scheme - 2;
    for (int n = length - 1; n > 0; n -= g) {
        if (n - g + 1 < 1) continue;
        switch (scheme) {
            case 5: swap(n, n - 1); break;
            case 6: swap(n, n - 2); swap(n - 1, n - 3); break;
            case 7: swap(n, n - 3); swap(n - 1, n - 4); break;
            case 8: swap(n, n - 5); swap(n - 1, n - 2); swap(n - 3, n - 4); break;
            case 9: swap(n, n - 5); swap(n - 1, n - 4); swap(n - 2, n - 6); break;
        }
    }
}

void Rotate(std::span<uint8_t> d, bool left) {
    const auto& amounts = kRotations[d.size() % 10];
    for (size_t o = 0; o + 2 < d.size(); o += 3) {
        for (size_t k = 0; k < 3; ++k)
            d[o + k] = left ? RotateLeft(d[o + k], amounts[k]) : RotateRight(d[o + k], amounts[k]);
    }
}

// The scrambled bytes of a block: the 8n - 1 bytes after its count byte.
std::span<uint8_t> ScrambledPart(std::span<uint8_t> block) {
    if (block.empty()) return {};
    const size_t units = block[0];
    if (units == 0 || units > 32 || block.size() < 8 * units) return {};
    return block.subspan(1, 8 * units - 1);
}

char PasswordCharacter(uint32_t r) {
    if (r < 10) return char('0' + r);
    if (r < 36) return char('a' + (r - 10));
    return char('A' + (r - 36));
}

}  // namespace

// --- fields and the header record --------------------------------------------

std::string FieldText(std::span<const char> field) {
    size_t n = 0;
    while (n < field.size() && field[n] != 0) ++n;
    return std::string(field.data(), n);
}

void SetFieldText(std::span<char> field, std::string_view text) {
    std::fill(field.begin(), field.end(), char(0));
    std::copy_n(text.begin(), std::min(text.size(), field.size()), field.begin());
}

void SetSingleName(VFileHeader& header, std::string_view name) {
    header.nameForm = 1;
    header.nameCount = 1;
    header.names.assign(1, VNameField{});
    SetFieldText(header.names[0], name);
}

std::string EntryNameOf(const VFileHeader& header) {
    if (header.names.empty()) return {};
    // As the zip component sees it: up to the first zero byte.
    std::string name = FieldText(header.names[0]);
    return std::string(TrimBlanks(name));
}

size_t VFileHeaderLength(uint16_t nameCount) { return kVFixedHeaderLength + kVNameLength * size_t(nameCount); }

bool VFileHeaderRangesOk(uint8_t nameForm, uint16_t nameCount) {
    if (nameCount == 0 || nameCount > kVMaxNames) return false;
    if (nameCount > 2 && nameForm != 3) return false;
    if (nameForm == 0 || nameForm > 3) return false;
    return true;
}

bool VFileHeaderFromBytes(std::span<const uint8_t> bytes, VFileHeader& header) {
    ByteReader r(bytes);
    VFileHeader h;
    h.checksum = r.U32();
    h.fileLength = r.U32();
    h.payloadLength = r.U32();
    h.reserved0 = r.U16();
    r.Bytes(reinterpret_cast<uint8_t*>(h.modelName.data()), h.modelName.size());
    r.Bytes(reinterpret_cast<uint8_t*>(h.extensionText.data()), h.extensionText.size());
    h.kindCode = r.U16();
    h.modelCode = r.U16();
    h.versionWord = r.U16();
    h.reserved1 = r.U8();
    h.reserved2 = r.U8();
    r.Bytes(h.passwordBlock.data(), h.passwordBlock.size());
    h.nameForm = r.U8();
    h.nameCount = r.U16();
    if (!r.ok() || !VFileHeaderRangesOk(h.nameForm, h.nameCount)) return false;
    if (r.remaining() < kVNameLength * size_t(h.nameCount)) return false;  // names run past the end
    h.names.resize(h.nameCount);
    for (VNameField& name : h.names) r.Bytes(reinterpret_cast<uint8_t*>(name.data()), name.size());
    if (!r.ok()) return false;
    header = std::move(h);
    return true;
}

bool VFileHeaderToBytes(const VFileHeader& header, std::vector<uint8_t>& bytes) {
    if (!VFileHeaderRangesOk(header.nameForm, header.nameCount)) return false;
    if (header.names.size() < header.nameCount) return false;
    std::vector<uint8_t> out(VFileHeaderLength(header.nameCount));
    ByteWriter w(out);
    w.U32(header.checksum);
    w.U32(header.fileLength);
    w.U32(header.payloadLength);
    w.U16(header.reserved0);
    w.Bytes(reinterpret_cast<const uint8_t*>(header.modelName.data()), header.modelName.size());
    w.Bytes(reinterpret_cast<const uint8_t*>(header.extensionText.data()), header.extensionText.size());
    w.U16(header.kindCode);
    w.U16(header.modelCode);
    w.U16(header.versionWord);
    w.U8(header.reserved1);
    w.U8(header.reserved2);
    w.Bytes(header.passwordBlock.data(), header.passwordBlock.size());
    w.U8(header.nameForm);
    w.U16(header.nameCount);
    for (size_t i = 0; i < header.nameCount; ++i)
        w.Bytes(reinterpret_cast<const uint8_t*>(header.names[i].data()), kVNameLength);
    if (!w.ok() || w.pos() != out.size()) return false;
    bytes = std::move(out);
    return true;
}

// --- version words -------------------------------------------------------------

std::string VersionText(uint16_t versionWord) {
    const unsigned major = versionWord >> 8;
    const unsigned minor = versionWord & 0xFF;
    char buf[16];
    std::snprintf(buf, sizeof buf, minor > 9 ? "%u.%u" : "%u.0%u", major, minor);
    return buf;
}

std::string VersionSuffix(uint16_t versionWord) {
    const unsigned major = versionWord >> 8;
    const unsigned minor = versionWord & 0xFF;
    char buf[20];
    std::snprintf(buf, sizeof buf, minor > 9 ? "_v%u_%u" : "_v%u_0%u", major, minor);
    return buf;
}

TypedVersion ParseTypedVersion(std::string_view text, uint16_t& versionWord) {
    text = TrimBlanks(text);
    const size_t point = text.rfind('.');
    if (point == std::string_view::npos || point + 1 == text.size()) return TypedVersion::NotAVersion;
    auto decimal = [](std::string_view side, unsigned& value) {
        side = TrimBlanks(side);
        if (side.empty() || side.size() > 3) return false;
        value = 0;
        for (char c : side) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + unsigned(c - '0');
        }
        return value <= 255;
    };
    unsigned major = 0, minor = 0;
    if (!decimal(text.substr(0, point), major) || !decimal(text.substr(point + 1), minor))
        return TypedVersion::NotANumber;
    versionWord = uint16_t((major << 8) | minor);
    return TypedVersion::Ok;
}

// --- scrambling and passwords ----------------------------------------------------

bool ScrambleBlock(std::span<uint8_t> block) {
    std::span<uint8_t> d = ScrambledPart(block);
    if (d.empty()) return false;
    Permute(d);
    Rotate(d, true);
    return true;
}

bool UnscrambleBlock(std::span<uint8_t> block) {
    std::span<uint8_t> d = ScrambledPart(block);
    if (d.empty()) return false;
    Rotate(d, false);
    Permute(d);
    return true;
}

std::array<uint8_t, kVPasswordBlockLength> MakePasswordBlock(const Clock& clock, Random& random) {
    std::array<uint8_t, kVPasswordBlockLength> block{};
    random.Seed(uint64_t(clock.NowSeconds()));
    for (size_t i = 1; i < kVPasswordLength; ++i) block[i] = uint8_t(PasswordCharacter(random.Next() % 62));
    block[0] = kPasswordUnits;
    return block;
}

std::string PasswordOfBlock(std::span<const uint8_t> plainBlock) {
    std::string password;
    for (size_t i = 0; i < kVPasswordLength && i < plainBlock.size() && plainBlock[i] != 0; ++i)
        password += char(plainBlock[i]);
    return password;
}

bool PasswordOfHeader(const VFileHeader& header, std::string& password) {
    std::array<uint8_t, kVPasswordBlockLength> block = header.passwordBlock;
    // The units must fit the 64 bytes: 8n - 1 bytes after the count byte.
    const unsigned units = block[0];
    if (units == 0 || 8 * units - 1 > kVPasswordBlockLength - 1) return false;
    if (!UnscrambleBlock(block)) return false;
    password = PasswordOfBlock(block);
    return true;
}

// --- kinds -------------------------------------------------------------------------

std::string_view KindExtension(uint16_t kindCode) {
    switch (kindCode) {
        case kKindVmcf: return "vmcf";
        case kKindVmcu: return "vmcu";
        case kKindVmod: return "vmod";
        case kKindVirc: return "virc";
        default: return {};
    }
}

bool FillVFileHeader(uint16_t kindCode, uint16_t modelCode, uint16_t versionWord, VFileHeader& header) {
    const std::string_view extension = KindExtension(kindCode);
    std::string name;
    if (extension.empty() || !ModelName(modelCode, name)) return false;
    header.kindCode = kindCode;
    header.modelCode = modelCode;
    header.versionWord = versionWord;
    SetFieldText(header.modelName, name);
    SetFieldText(header.extensionText, extension);
    return true;
}

}  // namespace orvalink
