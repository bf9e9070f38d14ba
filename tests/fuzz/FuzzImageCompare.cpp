// The comparison of two images and the naming of pages on arbitrary images:
// the input laid once over the device pages and repeated over the block map
// and block store (so every key slot finds input bytes), its first page also
// over the settings page, the first welcome picture and the glyph table.
// The second image is the first with up to four bytes changed where the
// input's last twelve bytes say.
//
// Whatever the records hold: an image compared with itself has no
// difference, the lines are empty exactly when the comparison is, and the
// pages of the whole image are each named by one region or more, every
// region naming pages it was given, ascending.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "fuzz/FuzzRepeat.h"
#include "image/ImageCompare.h"
#include "image/ImageRegions.h"
#include "image/Tiflashut.h"

using namespace orvalink;

namespace {

void Lay(TTiFlashFm& flash, std::span<const uint8_t> input) {
    auto img = flash.Image();
    std::ranges::fill(img, uint8_t(0xFF));
    const size_t pages = flash.DevicePagesStart();
    const size_t pagesEnd = pages + kDeviceSlots * kPageSize;
    std::memcpy(img.data() + pages, input.data(), std::min(input.size(), pagesEnd - pages));
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    fuzz::FillRepeated(img.subspan(pagesEnd, to - pagesEnd), input);
    const std::span<const uint8_t> first = input.first(std::min(input.size(), kPageSize));
    for (uint32_t at : {flash.SettingsPageStart(), flash.Welcome10Start(), flash.GlyphTableStart()})
        std::memcpy(img.data() + at, first.data(), first.size());
}

void Check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm a, b;
    if (size == 0) return 0;
    const std::span<const uint8_t> input(data, size);
    Lay(a, input);
    std::ranges::copy(a.Image(), b.Image().begin());
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

    std::vector<uint32_t> all(b.PageCount());
    for (uint32_t p = 0; p < all.size(); ++p) all[p] = p;
    std::set<uint32_t> named;
    for (const PageRegion& r : DescribePages(b, all)) {
        Check(!r.what.empty() && !r.pages.empty() && std::ranges::is_sorted(r.pages));
        named.insert(r.pages.begin(), r.pages.end());
    }
    Check(named.size() == all.size());
    return 0;
}
