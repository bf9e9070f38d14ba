// An image whose code index and code library are filled from the input
// (repeated); for several code numbers (some fixed, some drawn from the
// input, with index entries and set headers steered into range from the
// input), ReadLibraryCode and DecodeLibraryKey for every key, the decoded
// codes through StoredToSend, and sets that read written back and read
// again, and rebuilt from their keys. Nothing may be read or written outside
// the image or the buffers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "base/ByteIo.h"
#include "image/CodeLibrary.h"
#include "image/LearnedCodes.h"
#include "image/Tiflashut.h"
#include "support/IrCodeCompare.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

bool SameSet(const LibraryCodeSet& a, const LibraryCodeSet& b) {
    return a.trailerPosition == b.trailerPosition && a.defaultType == b.defaultType &&
           a.defaultCarrier == b.defaultCarrier && a.byte3 == b.byte3 && a.alternateFormat == b.alternateFormat &&
           a.alternateCarrier == b.alternateCarrier && a.alternateMask == b.alternateMask &&
           a.firstCount == b.firstCount && a.repeatCount == b.repeatCount && a.timingCount == b.timingCount &&
           std::equal(a.timing.begin(), a.timing.begin() + 4 * a.timingCount, b.timing.begin()) &&
           a.keyData == b.keyData && (!a.HasTrailer() || a.trailer == b.trailer);
}

void Exercise(TTiFlashFm& flash, int code, uint8_t salt) {
    LibraryCodeSet set;
    if (!ReadLibraryCode(flash, code, set)) return;
    Check(code >= 0 && code < 3072 && set.timingCount <= kMaxLibraryTimings);
    std::vector<std::optional<IrCodeInfo>> keys(kLibraryKeys);
    for (int k = -1; k <= kLibraryKeys; ++k) {
        IrCodeInfo c;
        if (!DecodeLibraryKey(set, k, c)) continue;
        Check(k >= 0 && k < kLibraryKeys && c.codeType <= kCodePulse);
        Check(testing::Expand(c).ok);
        LearnedCode send;
        StoredToSend(c, send);
        keys[size_t(k)] = c;
    }
    // A set rebuilt from its decoded keys decodes into the same signals.
    LibraryCodeSet rebuilt;
    if (BuildLibraryCodeSet(keys, rebuilt)) {
        for (int k = 0; k < kLibraryKeys; ++k) {
            IrCodeInfo c;
            const bool ok = DecodeLibraryKey(rebuilt, k, c);
            Check(ok == keys[size_t(k)].has_value());
            if (ok) Check(testing::Expand(c) == testing::Expand(*keys[size_t(k)]));
        }
    }
    // Written back at another place (when its trailer does not cover its
    // data) it reads back field by field.
    uint32_t at = uint32_t(salt) * 257;
    uint32_t units = 0;
    if (WriteLibraryCode(flash, (code + 1) % 3072, set, at, &units)) {
        LibraryCodeSet back;
        Check(ReadLibraryCode(flash, (code + 1) % 3072, back));
        Check(SameSet(set, back));
        Check(at + units <= kLibraryUnits);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    static TTiFlashFm small;
    small.SelectModel(kSelector2300);  // the same selector again keeps the image
    if (size == 0) return 0;
    for (TTiFlashFm* f : {&flash, &small}) {
        auto img = f->Image();
        const size_t indexFrom = f->CodeIndexStart();
        const size_t indexTo = indexFrom + 4 * size_t(f->CodeIndexCount());
        const size_t libFrom = f->CodeLibraryStart();
        const size_t libTo = std::min(img.size(), libFrom + 8 * size_t(kLibraryUnits));
        for (size_t i = indexFrom; i < indexTo; i += size) std::memcpy(img.data() + i, data, std::min(size, indexTo - i));
        for (size_t i = libFrom; i < libTo; i += size) std::memcpy(img.data() + i, data, std::min(size, libTo - i));

        // Steered code numbers: an index entry near the library's end or
        // anywhere in it, and a set header with counts mostly in range.
        ByteReader r(data, size);
        for (int n = 0; n < 6 && r.remaining() >= 8; ++n) {
            int code = r.U16() % 3080;
            uint32_t pick = r.U32();
            uint8_t mode = r.U8();
            uint8_t seed = r.U8();
            uint32_t unit = mode & 1 ? kLibraryUnits - 1 - pick % 400 : pick % (kLibraryUnits + 40);
            if (code < 3072) {
                ByteWriter w(img.subspan(indexFrom + 4 * size_t(code), 4));
                w.U32(unit);
            }
            const size_t setAt = libFrom + 8 * size_t(unit);
            if (mode & 2 && setAt + 144 <= libTo) {
                uint8_t* s = img.data() + setAt;
                s[0] = mode & 4 ? uint8_t(seed % 40) : 0;
                s[4] = uint8_t(seed ^ mode);
                s[143] = uint8_t(seed % 53);
                for (int k = 0; k < 64; ++k) {
                    uint8_t b = uint8_t(s[15 + 2 * k] ^ seed);
                    s[15 + 2 * k] = uint8_t(k % (1 + seed % 8) == 0 ? b % 24 : 0);
                    if (mode & 8) s[16 + 2 * k] = 0xFF;
                }
            }
            Exercise(*f, code, seed);
        }
        for (int code : {0, 1, 2, 3071, 3072, -1, int(data[0]) * 12}) Exercise(*f, code, data[size - 1]);
    }
    return 0;
}
