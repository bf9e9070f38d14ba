// X files and S binaries from arbitrary bytes. The first byte's bit 1 picks
// the reader. For an X file its low bit mends the file length, both rows,
// the kind and the checksum, so that most inputs reach the unscrambling; for
// an S binary it mends the length field. Whatever the bytes, a refused file
// changes nothing, and what is read is no longer than the file and, written
// again, reads back the same.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/XFiles.h"
#include "fuzz/FuzzFolder.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

using namespace orvalink;

namespace {

void CheckX(std::vector<uint8_t> bytes, bool mend) {
    static const fuzz::FuzzFolder folder("orvalink-fuzz-x-files");
    if (mend && bytes.size() >= kXHeaderBytes && bytes.size() < kXFileLimit) {
        const uint32_t length = uint32_t(bytes.size());
        for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t(length >> (8 * i));
        bytes[26] %= 4;
        bytes[30] %= kPatternRows;
        bytes[31] %= kPatternRows;
        uint32_t sum = 0;
        for (size_t i = 8; i < bytes.size(); ++i) sum += bytes[i];
        for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(sum >> (8 * i));
    }
    const auto file = folder.Write("f.xmcf", bytes);
    std::vector<uint8_t> plain{1, 2};
    XFileHeader header;
    header.versionWord = 0x4242;
    uint8_t kind = 7;
    const PlainFileOutcome read = ReadXFile(file, plain, header, kind);
    if (!read.Ok()) {
        if (plain != std::vector<uint8_t>{1, 2} || kind != 7 || header.versionWord != 0x4242) std::abort();
        if (read.kind != PlainFileResult::BadSecurityFile || !read.message.empty()) std::abort();
        return;
    }
    if (bytes.size() < kXHeaderBytes || kind > kXcic || kind != header.kind) std::abort();
    if (plain.size() > bytes.size() - kXHeaderBytes) std::abort();
    FixedClock clock;
    Pcg32Random random;
    std::vector<uint8_t> again, back;
    XFileHeader headerBack;
    uint8_t kindBack = 9;
    if (BuildXFileBytes(plain, header, kind, clock, random, again) == PlainFileResult::Ok) {
        if (!ParseXFileBytes(again, back, headerBack, kindBack) || back != plain || kindBack != kind) std::abort();
        if (headerBack.modelText != header.modelText || headerBack.versionWord != header.versionWord) std::abort();
    }
}

void CheckSBin(std::vector<uint8_t> bytes, bool mend) {
    static const fuzz::FuzzFolder folder("orvalink-fuzz-sbin");
    if (mend && bytes.size() >= kSBinHeaderBytes) {
        const uint32_t length = uint32_t(bytes.size() - kSBinHeaderBytes);
        for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t(length >> (24 - 8 * i));
    }
    const auto file = folder.Write("f.sbin", bytes);
    SBinHeader header;
    header.vcNumber = 4242;
    std::vector<uint8_t> data{1, 2};
    const SBinLoad load = ReadSBinFile(file, kSBinLoadBytes, header, data);
    if (load != SBinLoad::Ok) {
        if (data != std::vector<uint8_t>{1, 2} || header.vcNumber != 4242) std::abort();
        return;
    }
    if (bytes.size() > kSBinLoadBytes || data.size() + kSBinHeaderBytes != bytes.size()) std::abort();
    const auto made = BuildSBinBytes(data, header.source, header.vcNumber, SBinDateOf(header.date));
    // Made again from what was read, only the checksum may differ (a
    // loader does not check it).
    if (made.size() != bytes.size() || !std::equal(made.begin() + 4, made.end(), bytes.begin() + 4)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> rest(data + 1, data + size);
    if (data[0] & 2) CheckSBin(std::move(rest), data[0] & 1);
    else CheckX(std::move(rest), data[0] & 1);
    return 0;
}
