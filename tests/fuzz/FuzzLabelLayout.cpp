// Fills the glyph and icon tables of an image with the input and lays out
// and draws labels taken from the input in areas of every kind. Nothing may
// be read outside the label or the image, the lines may not claim more items
// than were read, and a drawn label always has its area's size.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "image/LabelLayout.h"
#include "image/LcdBitmaps.h"
#include "image/Tiflashut.h"
#include "fuzz/FuzzRepeat.h"

using namespace orvalink;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    auto img = flash.Image();
    if (size == 0) return 0;
    const size_t from = flash.GlyphTableStart();
    const size_t to = flash.IconTableStart() + size_t(kIconCount) * kIconBytes;
    fuzz::FillRepeated(img.subspan(from, to - from), {data, size});

    struct Area { int width, height; };
    static constexpr Area kAreas[] = {{20, 16}, {43, 16}, {45, 24}, {96, 108}, {102, 112}, {55, 20}, {11, 24}, {103, 16}};
    // Labels from a few places of the input: every label is laid out and
    // drawn in all eight areas, so four places (not 24) keep an input quick
    // while the fuzzer can still put any label at any of them.
    for (size_t start = 0; start < std::min<size_t>(size, 4 * 37); start += 37) {
        std::span<const uint8_t> label(data + start, std::min<size_t>(size - start, 300));
        for (Area a : kAreas) {
            LabelLayoutResult r;
            if (LayoutLabel(flash, label, a.width, a.height, r)) {
                size_t claimed = 0;
                for (const LabelLine& line : r.lines) claimed += size_t(line.itemCount);
                if (r.items.empty() || claimed > r.items.size() || r.items.size() > size_t(kLabelScanBytes)) std::abort();
            }
            Bitmap b;
            DrawLabelBitmap(flash, label, a.width, a.height, 0x000000, 0xFFFFFF, b);
            if (b.width != a.width || b.height != a.height || b.pixels.size() != size_t(a.width) * size_t(a.height))
                std::abort();
        }
    }
    // Welcome pictures survive drawing and packing.
    PictureBytes picture;
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = data[i % size];
    PictureBytes back{};
    if (!PictureFromBitmap(DrawPicture(picture), back) || back != picture) std::abort();
    return 0;
}
