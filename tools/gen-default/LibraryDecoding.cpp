// Stands in for the core's code-library reader until the generator can use it.
#include "tools/gen-default/LibraryDecoding.h"

#include <array>
#include <vector>

#include "image/ByteIo.h"

namespace orvalink::gen {

namespace {

bool BitCoded(uint8_t type) { return type == kCodeRc5 || type == kCodeRc6; }

unsigned GetBits(std::span<const uint8_t> data, size_t bit, int width) {
    unsigned v = 0;
    for (int i = 0; i < width; ++i, ++bit)
        if ((data[bit / 8] >> (bit % 8)) & 1) v |= 1u << i;
    return v;
}

void PutBits(std::span<uint8_t> data, size_t bit, int width, unsigned v) {
    for (int i = 0; i < width; ++i, ++bit)
        if ((v >> i) & 1) data[bit / 8] |= uint8_t(1u << (bit % 8));
}

}  // namespace

bool DecodeLibraryKeyOf(const TTiFlashFm& flash, int codeNumber, int key, IrCodeInfo& code) {
    if (codeNumber < 0 || codeNumber >= flash.CodeIndexCount() || key < 0 || key >= 64) return false;
    auto image = flash.Image();
    ByteReader index(image.subspan(flash.CodeIndexStart() + 4 * size_t(codeNumber), 4));
    uint32_t offset = index.U32();
    if (!index.ok() || offset > flash.LibraryCount() - 1) return false;
    size_t start = flash.CodeLibraryStart() + 8 * size_t(offset);
    if (start >= image.size()) return false;
    ByteReader r(image.subspan(start, std::min<size_t>(256 * 8, image.size() - start)));
    r.Skip(1);
    uint8_t type = r.U8() & 0x0F;
    uint8_t carrier = r.U8();
    r.Seek(15);
    std::array<uint8_t, 128> counts{};
    r.Bytes(counts.data(), counts.size());
    uint8_t m = r.U8();
    if (!r.ok() || m >= 53 || m == 0) return false;
    auto timings = r.View(4 * size_t(m));
    const int width = BitCoded(type) ? 1 : SymbolWidth(m);
    size_t dataStart = r.pos();
    auto symbolsOf = [&](int k) {
        size_t s = counts[size_t(2 * k)];
        if (counts[size_t(2 * k + 1)] != 0xFF) s += counts[size_t(2 * k + 1)];
        return s;
    };
    for (int k = 0; k < key; ++k) dataStart += (symbolsOf(k) * size_t(width) + 7) / 8;
    if (counts[size_t(2 * key)] == 0) return false;
    size_t symbols = symbolsOf(key);
    r.Seek(dataStart);
    auto data = r.View((symbols * size_t(width) + 7) / 8);
    if (!r.ok()) return false;

    IrCodeInfo c;
    c.codeType = type;
    c.carrier = carrier;
    c.firstCount = counts[size_t(2 * key)];
    c.repeatCount = counts[size_t(2 * key + 1)];
    std::vector<uint8_t> out;
    if (BitCoded(type)) {
        c.timingCount = 1;
        out.assign(timings.begin(), timings.begin() + 4);
        out.insert(out.end(), data.begin(), data.end());
    } else {
        // Only the timing entries the key uses, in table order.
        std::vector<int> renumber(m, -1);
        for (size_t i = 0; i < symbols; ++i) renumber[GetBits(data, i * size_t(width), width) % m] = 0;
        int kept = 0;
        for (int e = 0; e < m; ++e)
            if (renumber[size_t(e)] == 0) {
                renumber[size_t(e)] = kept++;
                out.insert(out.end(), timings.begin() + 4 * e, timings.begin() + 4 * e + 4);
            }
        int w = SymbolWidth(kept);
        std::vector<uint8_t> packed((symbols * size_t(w) + 7) / 8, 0);
        for (size_t i = 0; i < symbols; ++i)
            PutBits(packed, i * size_t(w), w, unsigned(renumber[GetBits(data, i * size_t(width), width) % m]));
        out.insert(out.end(), packed.begin(), packed.end());
        c.timingCount = uint8_t(kept);
    }
    if (out.size() > c.data.size() || c.timingCount >= 16) return false;
    std::copy(out.begin(), out.end(), c.data.begin());
    c.size = uint8_t((8 + out.size() + 7) / 8);
    if (c.size > kMaxIrCodeBlocks) return false;
    c.symbolWidth = uint8_t(SymbolWidth(c.timingCount));
    c.timingBytes = uint16_t(4 * c.timingCount);
    code = c;
    return true;
}

}  // namespace orvalink::gen
