// Module files and security files from arbitrary bytes. The first byte's
// bit 1 picks the reader. For a module its low bit clears the top bit of
// module byte A; for a security file it mends the file length, model tag,
// row and checksum, so that most inputs reach the unscrambling. Whatever the
// bytes, ParseMod reads nothing outside them, accepts only what a module file
// may be, and what it accepts is copied faithfully and writes back within
// the record area; a security file that reads back scrambles again to the
// same data.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "fuzz/FuzzFolder.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

using namespace orvalink;

namespace {

void CheckModule(std::vector<uint8_t> bytes, bool clearByteA) {
    if (clearByteA && bytes.size() > 128) bytes[128] &= 0x7F;
    ModuleRecord module;
    module.header[5] = 0xEE;
    const ModuleRecord before = module;
    const bool ok = ParseMod(bytes, module).Ok();
    if (!ok) {
        if (module.header != before.header || module.area != before.area) std::abort();
        return;
    }
    if (bytes.size() < kModuleMinBytes || bytes.size() > kModuleMaxBytes) std::abort();
    if (module.ByteA() >= 0x80 || module.area.size() != kModuleAreaBytes) std::abort();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const uint8_t got = i < kModuleHeaderBytes ? module.header[i] : module.area[i - kModuleHeaderBytes];
        if (got != bytes[i]) std::abort();
    }
    const size_t areaBytes = bytes.size() > kModuleHeaderBytes ? bytes.size() - kModuleHeaderBytes : 0;
    for (int i = 0; i < kModuleUsedEntries; ++i) {
        const uint16_t block = module.Entry(i);
        if (block == kNoRecord) continue;
        const size_t at = size_t(block) * 8;
        if (block > kModuleMaxBlock || at >= areaBytes || at + module.area[at] * 8u > areaBytes) std::abort();
    }
    std::vector<uint8_t> file;
    if (ModuleFileBytes(module, file)) {
        if (file.size() < kModuleHeaderBytes || file.size() > kModuleMaxBytes) std::abort();
        if (file[190] != 0 || file[191] != 0) std::abort();
        if (!std::equal(file.begin(), file.begin() + 190, module.header.begin())) std::abort();
    }
}

void CheckSecurity(std::vector<uint8_t> bytes, bool mend) {
    static const fuzz::FuzzFolder folder("orvalink-fuzz-plain-files");
    if (mend && bytes.size() >= kSecurityHeaderBytes && bytes.size() < kSecurityFileLimit) {
        const uint32_t length = uint32_t(bytes.size());
        for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t(length >> (8 * i));
        const uint16_t tag = kSecurityModelTags[bytes[27] % kSecurityModelTags.size()];
        bytes[27] = uint8_t(tag);
        bytes[28] = uint8_t(tag >> 8);
        bytes[31] %= kPatternRows;
        bytes[26] %= 3;
        uint32_t sum = 0;
        for (size_t i = 8; i < bytes.size(); ++i) sum += bytes[i];
        for (int i = 0; i < 4; ++i) bytes[size_t(i)] = uint8_t(sum >> (8 * i));
    }
    const auto file = folder.Write("f.smcf", bytes);
    std::vector<uint8_t> plain{1, 2};
    uint8_t kind = 7;
    const PlainFileOutcome read = ReadSecurityFile(file, plain, kind);
    if (!read.Ok()) {
        if (plain != std::vector<uint8_t>{1, 2} || kind != 7) std::abort();
        if (read.kind != PlainFileResult::BadSecurityFile || !read.message.empty()) std::abort();
        return;
    }
    if (bytes.size() < kSecurityHeaderBytes) std::abort();
    if (kind > kSecuritySsdc || plain.size() > bytes.size() - kSecurityHeaderBytes) std::abort();
    FixedClock clock;
    Pcg32Random random;
    std::vector<uint8_t> again, back;
    uint8_t kindBack = 9;
    if (BuildSecurityFileBytes(plain, kind, {}, clock, random, again) == PlainFileResult::Ok) {
        if (!ParseSecurityFileBytes(again, back, kindBack) || back != plain || kindBack != kind) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<uint8_t> rest(data + 1, data + size);
    if (data[0] & 2) CheckSecurity(std::move(rest), data[0] & 1);
    else CheckModule(std::move(rest), data[0] & 1);
    return 0;
}
