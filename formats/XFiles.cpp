#include "formats/XFiles.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "base/ByteIo.h"
#include "formats/FileIo.h"
#include "formats/ScrambledFiles.h"
#include "formats/VFileHeader.h"
#include "platform/Random.h"

namespace orvalink {

namespace fs = std::filesystem;

namespace {

// Run lengths between the random bytes; rows 2 and 9 put one in first.
constexpr std::array<std::array<uint8_t, kPatternColumns>, kPatternRows> kXPatterns{{
    {17, 16,  7, 14,  9,  8,  9,  1,  7, 12, 14,  0, 13, 12,  1,  0, 20, 18, 17, 17, 10,  5,  3,  6,  3, 19, 16, 21, 14,  3, 14,  4, 10},
    { 9, 17, 16, 11, 21, 13,  7,  4, 19,  1,  8,  3, 19, 21, 10, 13,  4, 18, 20, 14, 13,  8, 20,  0, 10,  9,  2,  7, 12,  0, 18, 18, 21},
    { 0,  6,  0,  8, 20, 19, 21, 14,  7,  1,  8, 15, 16, 19, 14, 11, 16, 16,  8,  0, 19, 13,  3,  2,  8, 16, 20,  0,  7, 16,  9, 16,  9},
    { 6,  3,  1,  0, 12, 11,  1, 13, 13,  8,  1, 19, 16, 20,  6, 13,  1,  7, 11, 15,  7, 18, 18, 18,  1,  8,  2, 19, 14,  0, 15, 18,  9},
    {12, 10, 14, 16, 20, 14,  2, 11, 19,  6,  9, 17, 18, 19, 10, 19,  6, 18,  7, 11, 18,  7,  4, 14, 17,  9,  0, 14, 10,  4, 20,  8, 17},
    { 2,  2, 15, 15,  7,  2, 14, 15, 10,  8,  3,  2,  0,  6,  1,  8, 14, 12,  4,  7,  1,  8,  4,  2, 10, 21,  2, 17,  5,  8,  4, 11, 13},
    {12, 19, 14, 15,  0,  6, 21, 13, 20,  3, 21,  3,  8, 14, 16, 17, 15,  0,  5,  0, 21, 16, 14, 16, 18,  4,  6,  6,  5, 14, 16, 11,  4},
    { 8,  5, 15,  6, 15, 14, 19, 13, 18, 19, 14, 11,  6, 15, 14, 21,  3, 15,  5,  6,  7, 11, 13, 13, 21,  0, 15, 19, 11,  7,  3,  7,  5},
    {10, 13, 17,  0,  6,  3,  3,  4, 15,  0,  3,  6, 20, 14,  6, 20,  9,  0,  0, 20, 17, 11, 14, 12, 14,  4, 12, 13, 16,  8,  8,  0,  5},
    { 0,  3,  5,  1, 20,  9,  3,  6, 16,  3,  1,  7, 12, 13, 10,  0,  7,  0, 20, 15,  5, 17,  1, 16, 10, 21,  4, 20, 18,  5, 11,  5, 12},
    {11, 21, 14, 20, 17,  4,  5, 19, 12, 17, 18,  1, 20, 19, 14,  7, 19,  6, 10, 15,  9,  2, 10,  7, 14,  9, 15, 19, 13,  2, 16,  2, 21},
    {19,  1,  3,  9,  1,  9,  2, 19, 18, 14,  0,  4, 10, 19, 11, 10,  2, 17, 16, 11,  0, 19, 13, 17,  3, 13,  4,  6,  5, 17, 16,  7,  2},
}};

constexpr const char* kXExtensions[4] = {"xmcf", "xmcu", "xirc", "xcic"};
constexpr const char* kXModels[kXModelCount] = {"8100", "QM-3400", "Serra", "Norvik", "Pallas",
                                                "TAVERO-IRCC", "RV-19", "RV-17", "QM-2300", "RV-12"};

// Where "Write" puts the versions.
constexpr size_t kStamp5kFirst = 27224;
constexpr size_t kStamp5kSecond = 29336;
constexpr size_t kStamp512kMajor = 15;
constexpr size_t kStamp512kMinor = 14;

uint32_t SumFrom(std::span<const uint8_t> bytes, size_t from) {
    uint32_t sum = 0;
    for (size_t i = from; i < bytes.size(); ++i) sum += bytes[i];
    return sum;
}

constexpr ScrambledFormat kXFormat{kXExtensions, kXTooLargeText};

// The kind's own header bytes: model number (27), version (28), rows (30, 31).
constexpr size_t kModelNumberAt = 0;
constexpr size_t kVersionAt = 1;
constexpr size_t kFirstRowAt = 3;
constexpr size_t kSecondRowAt = 4;

}  // namespace

const std::array<std::array<uint8_t, kPatternColumns>, kPatternRows>& XInsertionPatterns() { return kXPatterns; }

const char* XExtension(uint8_t kind) { return kXFormat.Extension(kind); }

const char* XModelText(int index) { return index >= 0 && index < kXModelCount ? kXModels[index] : nullptr; }

int XModelIndexOfListPosition(int position) { return position > 4 ? position + 1 : position; }

std::string XFileHeader::ModelText() const {
    const auto end = std::find(modelText.begin(), modelText.end(), uint8_t(0));
    return std::string(modelText.begin(), end);
}

bool XHeaderForModel(int index, uint16_t versionWord, XFileHeader& header) {
    const char* text = XModelText(index);
    if (!text) return false;
    header.modelText.fill(0);
    std::memcpy(header.modelText.data(), text, std::min(std::strlen(text), header.modelText.size()));
    header.modelNumber = uint8_t(kXModelNumberBase + index);
    header.versionWord = versionWord;
    return true;
}

std::vector<uint8_t> XScramblePass(std::span<const uint8_t> data, int row, bool invert, Random& random) {
    return ScrambleByPattern(data, kXPatterns[size_t(row)], invert, random);
}

std::vector<uint8_t> XUnscramblePass(std::span<const uint8_t> scrambled, int row, bool invert) {
    return UnscrambleByPattern(scrambled, kXPatterns[size_t(row)], invert);
}

PlainFileResult BuildXFileBytes(std::span<const uint8_t> data, const XFileHeader& header, uint8_t kind,
                                const Clock& clock, Random& random, std::vector<uint8_t>& file) {
    if (!kXFormat.KnowsKind(kind)) return PlainFileResult::BadSecurityFile;
    // Data this long cannot fit, whatever the rows.
    if (data.size() >= kXFileLimit) return PlainFileResult::TooLarge;
    random.Seed(uint64_t(clock.NowSeconds()));
    const int first = int(random.Next() % kPatternRows);
    const int second = int(random.Next() % kPatternRows);
    const std::vector<uint8_t> once = XScramblePass(data, first, true, random);
    ScrambledHeader frame;
    frame.modelText = header.modelText;
    frame.kind = kind;
    frame.own[kModelNumberAt] = header.modelNumber;
    frame.own[kVersionAt] = uint8_t(header.versionWord);
    frame.own[kVersionAt + 1] = uint8_t(header.versionWord >> 8);
    frame.own[kFirstRowAt] = uint8_t(first);
    frame.own[kSecondRowAt] = uint8_t(second);
    return AssembleScrambledFile(kXFormat, frame, XScramblePass(once, second, false, random), file);
}

bool ParseXFileBytes(std::span<const uint8_t> file, std::vector<uint8_t>& plain, XFileHeader& header,
                     uint8_t& kind) {
    ScrambledHeader frame;
    std::span<const uint8_t> body;
    if (!SplitScrambledFile(kXFormat, file, frame, body)) return false;
    XFileHeader h;
    h.checksum = frame.checksum;
    h.fileLength = frame.fileLength;
    h.modelText = frame.modelText;
    h.kind = frame.kind;
    h.modelNumber = frame.own[kModelNumberAt];
    h.versionWord = uint16_t(frame.own[kVersionAt] | frame.own[kVersionAt + 1] << 8);
    h.firstRow = frame.own[kFirstRowAt];
    h.secondRow = frame.own[kSecondRowAt];
    if (h.firstRow >= kPatternRows || h.secondRow >= kPatternRows) return false;
    const std::vector<uint8_t> once = XUnscramblePass(body, h.secondRow, false);
    plain = XUnscramblePass(once, h.firstRow, true);
    header = h;
    kind = h.kind;
    return true;
}

PlainFileOutcome ReadXFile(const fs::path& path, std::vector<uint8_t>& plain, XFileHeader& header, uint8_t& kind) {
    std::vector<uint8_t> bytes;
    const PlainFileOutcome read = ReadScrambledFile(path, bytes);
    if (!read.Ok()) return read;
    if (!ParseXFileBytes(bytes, plain, header, kind)) return SilentFileOutcome(PlainFileResult::BadSecurityFile, path);
    return read;
}

PlainFileOutcome WriteXFile(const fs::path& path, std::span<const uint8_t> data, const XFileHeader& header,
                            uint8_t kind, const Clock& clock, Random& random) {
    return WriteScrambledFile(kXFormat, path, kind, [&](std::vector<uint8_t>& file) {
        return BuildXFileBytes(data, header, kind, clock, random, file);
    });
}

uint16_t SBinDateWord(const LocalDate& date) {
    return uint16_t(((date.year - 2000) & 0x7F) << 9 | (date.month & 0x0F) << 5 | (date.day & 0x1F));
}

LocalDate SBinDateOf(uint16_t word) { return LocalDate{2000 + (word >> 9), (word >> 5) & 0x0F, word & 0x1F}; }

std::string SBinDateText(uint16_t word) {
    const LocalDate d = SBinDateOf(word);
    return std::to_string(d.year) + " / " + std::to_string(d.month) + " / " + std::to_string(d.day);
}

std::vector<uint8_t> BuildSBinBytes(std::span<const uint8_t> data, uint16_t source, uint16_t vcNumber,
                                    const LocalDate& date) {
    std::vector<uint8_t> out(kSBinHeaderBytes + data.size());
    ByteWriter w(out);
    w.U32BE(0);  // checksum, below
    w.U32BE(uint32_t(data.size()));
    w.U16BE(source);
    w.U16BE(vcNumber);
    w.U16BE(SBinDateWord(date));
    std::copy(data.begin(), data.end(), out.begin() + kSBinHeaderBytes);
    ByteWriter(std::span<uint8_t>(out.data(), 4)).U32BE(SumFrom(out, 4));
    return out;
}

bool ParseSBinBytes(std::span<const uint8_t> file, SBinHeader& header, std::vector<uint8_t>& data) {
    ByteReader r(file);
    SBinHeader h;
    h.checksum = r.U32BE();
    h.dataLength = r.U32BE();
    h.source = r.U16BE();
    h.vcNumber = r.U16BE();
    h.date = r.U16BE();
    if (!r.ok()) return false;
    // The length is checked against the file before anything is copied.
    if (uint64_t(kSBinHeaderBytes) + h.dataLength != file.size()) return false;
    const auto body = file.subspan(kSBinHeaderBytes);
    data.assign(body.begin(), body.end());
    header = h;
    return true;
}

SBinLoad ReadSBinFile(const fs::path& path, uint64_t maxBytes, SBinHeader& header, std::vector<uint8_t>& data,
                      std::string* why) {
    std::error_code ec;
    if (fs::is_regular_file(path, ec) && fs::file_size(path, ec) > maxBytes && !ec) return SBinLoad::TooLong;
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, maxBytes, why)) return SBinLoad::ReadFailed;
    if (!ParseSBinBytes(bytes, header, data)) return SBinLoad::Corrupt;
    return SBinLoad::Ok;
}

std::string SBinCorruptText(const std::string& path) { return "File corruption ! \n\n Path: " + path; }

uint64_t SBinFileLimit(uint16_t source) { return source == kSBinFromImage ? kSBinImageLoadBytes : kSBinLoadBytes; }

size_t XmcfDataBytes(uint16_t modelCode) {
    if (modelCode >= 1200) return 1033968;
    if (modelCode >= 1000) return 540672;
    return kOlderFlashBytes;
}

size_t XmcuDataBytes(uint16_t modelCode) { return modelCode >= 1200 ? 65536 : 32768; }

std::string XFileName(std::string_view folder, std::string_view fileNameForm, uint16_t versionWord,
                      const LocalDate& date, std::string_view extension) {
    char monthDay[16];
    std::snprintf(monthDay, sizeof monthDay, "%02d%02d", date.month, date.day);
    std::string name(folder);
    name += fileNameForm;
    name += VersionSuffix(versionWord);
    name += "__";
    name += monthDay;
    name += extension;
    return name;
}

std::string VersionHiLoText(uint16_t versionWord) {
    return "Ver Hi = [" + std::to_string(versionWord >> 8) + "]    Lo = [" + std::to_string(versionWord & 0xFF) +
           "]";
}

StampRule StampRuleOf(uint16_t modelCode) {
    if (modelCode == 0) return StampRule::None;
    if (modelCode == 2010) return StampRule::Slimline;
    if (modelCode >= 1200) return StampRule::Ti5k;
    if (modelCode >= 1000) return StampRule::Ti512k;
    return StampRule::Older;
}

const char* StampOkText(StampRule rule) {
    switch (rule) {
        case StampRule::Slimline: return "Save Slimline Mcf Files Ok! \n Path: ";
        case StampRule::Ti5k: return "Save Ti 5k Mcf Files Ok! \n Path: ";
        case StampRule::Ti512k: return "Save Ti 512k Mcf Files Ok! \n Path: ";
        case StampRule::Older: return "Save Mcf Files Ok! \n Path: ";
        case StampRule::None: break;
    }
    return "";
}

const char* StampErrorText(StampRule rule) {
    switch (rule) {
        case StampRule::Slimline: return "Save Slimline Mcf Files Error! \n Path: ";
        case StampRule::Ti5k: return "Save Ti 5k Mcf Files Error! \n Path: ";
        case StampRule::Ti512k: return "Save Ti 512k Mcf Files Error! \n Path: ";
        case StampRule::Older: return "Save Mcf Files Error! \n Path: ";
        case StampRule::None: break;
    }
    return "";
}

bool StampVersions(StampRule rule, uint16_t codeVersion, uint16_t flashVersion, std::span<uint8_t> bytes) {
    const uint8_t P = uint8_t(codeVersion >> 8), p = uint8_t(codeVersion);
    const uint8_t F = uint8_t(flashVersion >> 8), f = uint8_t(flashVersion);
    std::array<uint8_t, 4> four{};
    switch (rule) {
        case StampRule::Slimline:
            four = {uint8_t('0' + P / 10 % 10), uint8_t('0' + P % 10), uint8_t('0' + p / 10 % 10),
                    uint8_t('0' + p % 10)};
            break;
        case StampRule::Ti5k:
            four = {P, p, F, f};
            break;
        case StampRule::Ti512k:
            if (bytes.size() <= kStamp512kMajor) return false;
            bytes[kStamp512kMajor] = P;
            bytes[kStamp512kMinor] = p;
            return true;
        case StampRule::Older:
        case StampRule::None:
            return false;
    }
    if (bytes.size() < kStamp5kSecond + four.size()) return false;
    std::copy(four.begin(), four.end(), bytes.begin() + kStamp5kFirst);
    std::copy(four.begin(), four.end(), bytes.begin() + kStamp5kSecond);
    return true;
}

std::string DeviceTablesText(std::span<const uint8_t> tables) {
    std::string out;
    for (int t = 0; t < kKdtTables; ++t) {
        out += "{ 0x00,0,0x11, { ";
        int written = 0;
        for (size_t i = 0; i < kKdtTableBytes; ++i) {
            const size_t at = size_t(t) * kKdtTableBytes + i;
            if (at >= tables.size() || tables[at] == 0xFF) continue;
            if (written > 0) out += written % 10 == 0 ? ", " : ",";
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", tables[at]);
            out += hex;
            ++written;
        }
        out += " }},\n";
    }
    return out;
}

}  // namespace orvalink
