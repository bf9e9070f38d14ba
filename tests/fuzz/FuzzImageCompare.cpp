// The comparison of two images and the naming of pages on arbitrary images:
// the input laid once over the device pages and repeated over the block map
// and block store (so every key slot finds input bytes), its first page also
// over the settings page, the first welcome picture and the glyph table.
// The second image is the first with up to four bytes changed where the
// input's last twelve bytes say.
//
// Whatever the records hold: an image compared with itself has no
// difference, the lines are empty exactly when the comparison is, and the
// pages asked about (every page the input reaches, and a sample of the
// others) are each named by one region or more, every region naming pages
// it was given, ascending.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/FuzzRepeat.h"
#include "image/ImageCompare.h"
#include "image/ImageRegions.h"
#include "image/Tiflashut.h"

using namespace orvalink;

namespace {

// The bytes the input reaches in `flash`, which held the previous input laid
// the same way: every other byte is 0xFF from the start and stays so, and of
// the device pages and the three pages the input's first page goes over only
// what the previous input covered and this one does not is set back to 0xFF.
// A run so costs what the input covers, not a refill of the whole image.
struct Laid {
    size_t devicePages = 0;  // bytes of the device pages the input covered
    size_t firstPage = 0;    // bytes of each page the first page went over
};

void Lay(TTiFlashFm& flash, std::span<const uint8_t> input, Laid& laid) {
    auto img = flash.Image();
    const size_t pages = flash.DevicePagesStart();
    const size_t pagesEnd = pages + kDeviceSlots * kPageSize;
    const size_t covered = std::min(input.size(), pagesEnd - pages);
    std::memcpy(img.data() + pages, input.data(), covered);
    if (laid.devicePages > covered) std::memset(img.data() + pages + covered, 0xFF, laid.devicePages - covered);
    laid.devicePages = covered;
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    fuzz::FillRepeated(img.subspan(pagesEnd, to - pagesEnd), input);
    const std::span<const uint8_t> first = input.first(std::min(input.size(), kPageSize));
    for (uint32_t at : {flash.SettingsPageStart(), flash.Welcome10Start(), flash.GlyphTableStart()}) {
        std::memcpy(img.data() + at, first.data(), first.size());
        if (laid.firstPage > first.size())
            std::memset(img.data() + at + first.size(), 0xFF, laid.firstPage - first.size());
    }
    laid.firstPage = first.size();
}

// `to` made a copy of `from` again where either may differ: where the input
// lies and where the edits of the previous run went.
void CopyLaid(const TTiFlashFm& from, TTiFlashFm& to) {
    const auto src = from.Image();
    const auto dst = to.Image();
    const size_t start = from.DevicePagesStart();
    const size_t end = from.BlockStoreStart() + 8 * size_t(from.BlockCount());
    std::memcpy(dst.data() + start, src.data() + start, end - start);
    for (uint32_t at : {from.SettingsPageStart(), from.Welcome10Start(), from.GlyphTableStart()})
        std::memcpy(dst.data() + at, src.data() + at, kPageSize);
}

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm a, b;
    static Laid laid;
    if (size == 0) return 0;
    const std::span<const uint8_t> input(data, size);
    Lay(a, input, laid);
    CopyLaid(a, b);
    if (size >= 12) {
        // Four edits within the device pages, the block map and the store.
        const uint32_t from = a.DevicePagesStart();
        const uint32_t span = a.BlockStoreStart() + 8u * a.BlockCount() - from;
        for (size_t i = 0; i < 4; ++i) {
            const uint8_t* e = data + size - 12 + 3 * i;
            const uint32_t at = from + (uint32_t(e[0]) << 8 | e[1]) * 37u % span;
            b.Image()[at] ^= uint8_t(e[2] | 1);
        }
    }

    Check(CompareImages(a, a).Equal());
    Check(CompareImages(b, b).Equal());
    for (const ImageComparison& c : {CompareImages(a, b), CompareImages(b, a)}) {
        Check(c.Equal() == ComparisonLines(c).empty());
        for (const DeviceDifferences& d : c.devices) {
            Check(d.slot >= 0 && d.slot < kDeviceSlots && !d.name.empty());
            Check(!d.changes.empty() || !d.keys.empty());
            for (const KeyDifferences& k : d.keys) Check(k.key >= 0 && k.key < kKeysPerDevice && !k.changes.empty());
        }
    }

    // The pages the input can change the naming of (the device pages, the
    // block map and the store, the three pages its first page goes over),
    // and a sample of the others chosen by the input, a few past the end.
    const uint32_t pageCount = uint32_t(b.PageCount());
    std::vector<uint32_t> asked;
    const uint32_t storeEnd = (b.BlockStoreStart() + 8u * b.BlockCount() + uint32_t(kPageSize) - 1) / kPageSize;
    for (uint32_t p = b.DevicePagesStart() / kPageSize; p < storeEnd && p < pageCount; ++p) asked.push_back(p);
    for (uint32_t at : {b.SettingsPageStart(), b.Welcome10Start(), b.GlyphTableStart()})
        asked.push_back(at / uint32_t(kPageSize));
    for (size_t i = 0; i + 1 < size && i < 64; i += 2) asked.push_back((uint32_t(data[i]) << 8 | data[i + 1]) % (pageCount + 8));
    std::vector<uint8_t> wanted(pageCount + 8), named(pageCount + 8);
    for (uint32_t p : asked) wanted[p] = 1;
    for (const PageRegion& r : DescribePages(b, asked)) {
        Check(!r.what.empty() && !r.pages.empty() && std::ranges::is_sorted(r.pages));
        for (uint32_t p : r.pages) {
            Check(p < wanted.size() && wanted[p]);
            named[p] = 1;
        }
    }
    Check(named == wanted);
    return 0;
}
