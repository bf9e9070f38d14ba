#include "formats/SecurityFiles.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/ByteIo.h"
#include "formats/FileIo.h"
#include "platform/Clock.h"
#include "platform/Random.h"

namespace orvalink {

namespace fs = std::filesystem;

namespace {

// Run lengths between the random bytes; rows 0 and 7 put one in first.
constexpr std::array<std::array<uint8_t, kPatternColumns>, kPatternRows> kPatterns{{
    { 0, 16,  7, 14,  9,  8, 27,  9, 27, 27, 23,  1,  7, 22, 12, 28, 14,  0, 22, 13, 12,  1, 24,  0, 20, 18, 17, 17, 10, 26, 24,  5,  3},
    { 6,  3, 19, 16, 21, 28, 14, 22,  3, 14,  4, 10,  9, 17, 16, 11, 25, 24, 21, 22, 13,  7,  4, 19,  1,  8,  3, 23, 25, 23, 26, 19, 21},
    {10, 13,  4, 24, 18, 20, 14, 13,  8, 20,  0, 28, 10, 26,  9,  2,  7, 28, 12,  0, 18, 18, 26, 21,  3,  6,  0,  8, 20, 19, 21, 27, 22},
    {14,  7, 22,  1,  8, 15, 16, 19, 14, 28, 11, 16, 16,  8, 26,  0, 19, 13,  3,  2,  8, 16, 20,  0,  7, 16, 27,  9, 16,  9,  6,  3,  1},
    { 0, 12, 11,  1, 13, 13, 25,  8, 26,  1, 28, 19, 16, 20,  6, 25, 13,  1,  7, 11, 15,  7, 18, 18, 18,  1,  8,  2, 19, 14, 28,  0, 15},
    {18,  9, 12, 10, 14, 16, 22, 20, 14, 25,  2, 11, 19, 22,  6,  9, 17, 18, 19, 10, 19,  6, 18,  7, 11, 24, 18, 23,  7,  4, 24, 26, 14},
    {17,  9,  0, 28, 14, 23, 28, 10,  4, 20,  8, 26, 17,  2,  2, 15, 28, 15,  7,  2, 14, 15, 26, 23, 10,  8,  3,  2,  0,  6,  1,  8, 14},
    { 0, 12,  4, 24,  7,  1,  8,  4,  2, 27, 10, 27, 21,  2, 24, 17,  5,  8,  4, 26, 11, 13, 12, 25, 26, 19, 14, 15,  0,  6, 21, 24, 23},
    {13, 20,  3, 21,  3,  8, 14, 16, 17, 27, 15,  0,  5, 22,  0, 21, 16, 23, 14, 16, 18,  4,  6,  6,  5, 14, 24, 16, 11, 27,  4,  8, 23},
    { 5, 23, 27, 15,  6, 23, 15, 14, 23, 19, 13, 28, 23, 18, 19, 14, 27, 11, 23,  6, 15, 26, 14, 27, 21, 27,  3, 15,  5,  6,  7, 22, 11},
    {23, 13, 13, 21, 23, 25,  0, 15, 19, 11,  7,  3,  7,  5, 10, 13, 17,  0, 25,  6, 27,  3,  3,  4, 28, 15, 25,  0,  3, 25,  6, 20, 14},
    { 6, 20, 23,  9,  0,  0, 28, 20, 17, 11, 14, 24, 28, 24, 12, 14,  4, 25, 12, 13, 16,  8,  8,  0,  5, 12,  3,  5,  1, 20,  9, 27,  3},
}};

constexpr const char* kExtensions[3] = {"smcf", "smod", "ssdc"};

uint32_t SumFrom8(std::span<const uint8_t> file) {
    uint32_t sum = 0;
    for (size_t i = 8; i < file.size(); ++i) sum += file[i];
    return sum;
}

bool IsModelTag(uint16_t tag) {
    return std::find(kSecurityModelTags.begin(), kSecurityModelTags.end(), tag) != kSecurityModelTags.end();
}

PlainFileOutcome Silent(PlainFileResult kind, const fs::path& path) {
    PlainFileOutcome out;
    out.kind = kind;
    out.path = path;
    return out;
}

}  // namespace

const std::array<std::array<uint8_t, kPatternColumns>, kPatternRows>& InsertionPatterns() { return kPatterns; }

const char* SecurityExtension(uint8_t kind) { return kind < 3 ? kExtensions[kind] : ""; }

std::vector<uint8_t> ScrambleByPattern(std::span<const uint8_t> data, const PatternRow& pattern, bool invert,
                                       Random& random) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + data.size() / 4 + 8);
    size_t p = 0, c = 0, next = 0;
    while (next < data.size()) {
        if (pattern[p] == c) {
            out.push_back(uint8_t(random.Next()));
            p = (p + 1) % kPatternColumns;
            c = 0;
        } else {
            const uint8_t b = data[next++];
            out.push_back(invert ? uint8_t(255 - b) : b);
            ++c;
        }
    }
    return out;
}

std::vector<uint8_t> UnscrambleByPattern(std::span<const uint8_t> scrambled, const PatternRow& pattern, bool invert) {
    std::vector<uint8_t> out;
    out.reserve(scrambled.size());
    size_t p = 0, c = 0;
    for (uint8_t b : scrambled) {
        if (pattern[p] == c) {
            p = (p + 1) % kPatternColumns;
            c = 0;
        } else {
            out.push_back(invert ? uint8_t(255 - b) : b);
            ++c;
        }
    }
    return out;
}

std::vector<uint8_t> ScrambleWithRow(std::span<const uint8_t> data, int row, Random& random) {
    return ScrambleByPattern(data, kPatterns[size_t(row)], true, random);
}

std::vector<uint8_t> UnscrambleWithRow(std::span<const uint8_t> scrambled, int row) {
    return UnscrambleByPattern(scrambled, kPatterns[size_t(row)], true);
}

PlainFileResult BuildSecurityFileBytes(std::span<const uint8_t> data, uint8_t kind, const SecurityStamp& stamp,
                                       const Clock& clock, Random& random, std::vector<uint8_t>& file) {
    if (kind > kSecuritySsdc || !IsModelTag(stamp.modelTag)) return PlainFileResult::BadSecurityFile;
    // Data this long cannot fit, whatever the row.
    if (data.size() >= kSecurityFileLimit) return PlainFileResult::TooLarge;
    random.Seed(uint64_t(clock.NowSeconds()));
    const int row = int(random.Next() % kPatternRows);
    const std::vector<uint8_t> scrambled = ScrambleWithRow(data, row, random);
    const size_t length = kSecurityHeaderBytes + scrambled.size();
    if (length >= kSecurityFileLimit) return PlainFileResult::TooLarge;

    std::vector<uint8_t> out(length, 0);
    ByteWriter w(std::span<uint8_t>(out.data(), kSecurityHeaderBytes));
    w.U32(0);  // checksum, below
    w.U32(uint32_t(length));
    w.U16(0);
    w.Bytes(stamp.modelText.data(), stamp.modelText.size());
    w.Bytes(reinterpret_cast<const uint8_t*>(kExtensions[kind]), 4);
    w.U8(kind);
    w.U16(stamp.modelTag);
    w.U16(0);
    w.U8(uint8_t(row));
    if (!w.ok()) return PlainFileResult::BadSecurityFile;
    std::copy(scrambled.begin(), scrambled.end(), out.begin() + kSecurityHeaderBytes);
    const uint32_t sum = SumFrom8(out);
    ByteWriter(std::span<uint8_t>(out.data(), 4)).U32(sum);
    file = std::move(out);
    return PlainFileResult::Ok;
}

bool ParseSecurityFileBytes(std::span<const uint8_t> file, std::vector<uint8_t>& plain, uint8_t& kind) {
    // Shorter than its header, it has no fields to check.
    if (file.size() < kSecurityHeaderBytes || file.size() >= kSecurityFileLimit) return false;
    const uint32_t sum = SumFrom8(file);
    ByteReader r(file);
    const uint32_t checksum = r.U32();
    const uint32_t length = r.U32();
    r.Seek(26);
    const uint8_t storedKind = r.U8();
    const uint16_t tag = r.U16();
    r.Seek(31);
    const uint8_t row = r.U8();
    if (!r.ok() || length >= kSecurityFileLimit || !IsModelTag(tag) || row >= kPatternRows) return false;
    if (length != file.size() || checksum != sum) return false;
    // The callers choose by the kind, so one outside 0..2 is refused too.
    if (storedKind > kSecuritySsdc) return false;
    plain = UnscrambleWithRow(file.subspan(kSecurityHeaderBytes), row);
    kind = storedKind;
    return true;
}

PlainFileOutcome ReadSecurityFile(const fs::path& path, std::vector<uint8_t>& plain, uint8_t& kind) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, kSecurityFileLimit - 1, &why)) {
        std::error_code ec;
        const auto size = fs::file_size(path, ec);
        if (!ec && size >= kSecurityFileLimit) return Silent(PlainFileResult::BadSecurityFile, path);
        PlainFileOutcome out = Silent(PlainFileResult::ReadFailed, path);
        out.message = kCantReadPlainText;
        out.caption = kFileErrorCaption;
        out.why = why;
        return out;
    }
    if (!ParseSecurityFileBytes(bytes, plain, kind)) return Silent(PlainFileResult::BadSecurityFile, path);
    return Silent(PlainFileResult::Ok, path);
}

PlainFileOutcome WriteSecurityFile(const fs::path& path, std::span<const uint8_t> data, uint8_t kind,
                                   const SecurityStamp& stamp, const Clock& clock, Random& random) {
    const fs::path target = kind <= kSecuritySsdc
                                ? WithExtension(path, (std::string(".") + kExtensions[kind]).c_str())
                                : path;
    std::vector<uint8_t> file;
    const PlainFileResult built = BuildSecurityFileBytes(data, kind, stamp, clock, random, file);
    if (built != PlainFileResult::Ok) {
        PlainFileOutcome out = Silent(built, target);
        if (built == PlainFileResult::TooLarge) out.message = kSecurityTooLargeText;
        return out;
    }
    return WriteWithBackup(target, target, file, kCantWritePlainText);
}

}  // namespace orvalink
