#include "formats/SecurityFiles.h"

#include <algorithm>

#include "formats/ScrambledFiles.h"
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
constexpr ScrambledFormat kSecurityFormat{kExtensions, kSecurityTooLargeText};

// The kind's own header bytes: model tag (27), reserved (29), row (31).
constexpr size_t kTagAt = 0;
constexpr size_t kRowAt = 4;

bool IsModelTag(uint16_t tag) {
    return std::find(kSecurityModelTags.begin(), kSecurityModelTags.end(), tag) != kSecurityModelTags.end();
}

}  // namespace

const std::array<std::array<uint8_t, kPatternColumns>, kPatternRows>& InsertionPatterns() { return kPatterns; }

const char* SecurityExtension(uint8_t kind) { return kSecurityFormat.Extension(kind); }

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
    if (!kSecurityFormat.KnowsKind(kind) || !IsModelTag(stamp.modelTag)) return PlainFileResult::BadSecurityFile;
    // Data this long cannot fit, whatever the row.
    if (data.size() >= kSecurityFileLimit) return PlainFileResult::TooLarge;
    random.Seed(uint64_t(clock.NowSeconds()));
    const int row = int(random.Next() % kPatternRows);
    ScrambledHeader header;
    header.modelText = stamp.modelText;
    header.kind = kind;
    header.own[kTagAt] = uint8_t(stamp.modelTag);
    header.own[kTagAt + 1] = uint8_t(stamp.modelTag >> 8);
    header.own[kRowAt] = uint8_t(row);
    return AssembleScrambledFile(kSecurityFormat, header, ScrambleWithRow(data, row, random), file);
}

bool ParseSecurityFileBytes(std::span<const uint8_t> file, std::vector<uint8_t>& plain, uint8_t& kind) {
    ScrambledHeader header;
    std::span<const uint8_t> body;
    if (!SplitScrambledFile(kSecurityFormat, file, header, body)) return false;
    const uint16_t tag = uint16_t(header.own[kTagAt] | header.own[kTagAt + 1] << 8);
    const uint8_t row = header.own[kRowAt];
    if (!IsModelTag(tag) || row >= kPatternRows) return false;
    plain = UnscrambleWithRow(body, row);
    kind = header.kind;
    return true;
}

PlainFileOutcome ReadSecurityFile(const fs::path& path, std::vector<uint8_t>& plain, uint8_t& kind) {
    std::vector<uint8_t> bytes;
    const PlainFileOutcome read = ReadScrambledFile(path, bytes);
    if (!read.Ok()) return read;
    if (!ParseSecurityFileBytes(bytes, plain, kind)) return SilentFileOutcome(PlainFileResult::BadSecurityFile, path);
    return read;
}

PlainFileOutcome WriteSecurityFile(const fs::path& path, std::span<const uint8_t> data, uint8_t kind,
                                   const SecurityStamp& stamp, const Clock& clock, Random& random) {
    return WriteScrambledFile(kSecurityFormat, path, kind, [&](std::vector<uint8_t>& file) {
        return BuildSecurityFileBytes(data, kind, stamp, clock, random, file);
    });
}

}  // namespace orvalink
