#include "image/LearnedCodes.h"

#include <algorithm>

namespace orvalink {

namespace {

constexpr size_t kHeaderBytes = 8;
constexpr int kMaxLearnedWidth = 15;

}  // namespace

uint16_t CarrierPeriodFromByte(uint8_t carrierByte) {
    unsigned v = 16u * carrierByte;
    return uint16_t(v / 10 + (v % 10 >= 5 ? 1 : 0));
}

bool CarrierByteFromPeriod(uint16_t period, uint8_t& carrierByte) {
    unsigned v = 5u * period;
    unsigned b = v / 8 + (v % 8 >= 4 ? 1 : 0);
    if (b > 255) return false;
    carrierByte = uint8_t(b);
    return true;
}

size_t LearnedBlocks(size_t symbolBits, int timingCount) {
    return ((symbolBits - 1) / 8 + 4 * size_t(timingCount)) / 8 + 2;
}

size_t LearnedDataBytes(size_t symbolBits, int timingCount) {
    return (symbolBits - 1) / 8 + 1 + 4 * size_t(timingCount);
}

bool LearnedToStored(std::span<const uint8_t, kLearnedCodeBytes> learned, int symbolWidth, IrCodeInfo& stored) {
    const uint8_t flags = learned[1];
    const uint8_t firstCount = learned[5];
    const uint8_t repeatCount = learned[6];
    const uint8_t timingCount = learned[7];
    if (firstCount == 0 || symbolWidth < 1 || symbolWidth > kMaxLearnedWidth) return false;
    const size_t bits = size_t(SymbolCount(firstCount, repeatCount)) * size_t(symbolWidth);
    const size_t blocks = LearnedBlocks(bits, timingCount);
    const size_t bytes = LearnedDataBytes(bits, timingCount);
    if (kHeaderBytes + bytes > learned.size() || blocks > size_t(kMaxIrCodeBlocks) || timingCount >= 16 ||
        firstCount >= 200)
        return false;
    IrCodeInfo c;
    c.size = uint8_t(blocks);
    c.codeType = uint8_t((flags >> 3) & 7);
    c.reserved2 = learned[2];
    c.timingCount = timingCount;
    c.carrier = CarrierPeriodFromByte(learned[4]);
    c.firstCount = firstCount;
    c.repeatCount = repeatCount;
    std::copy_n(learned.begin() + kHeaderBytes, bytes, c.data.begin());
    c.symbolWidth = uint8_t(symbolWidth);
    c.timingBytes = uint16_t(4 * timingCount);
    stored = c;
    return true;
}

bool LearnedToStored(std::span<const uint8_t, kLearnedCodeBytes> learned, IrCodeInfo& stored) {
    const uint8_t type = uint8_t((learned[1] >> 3) & 7);
    return LearnedToStored(learned, ImpliedSymbolWidth(type, learned[7]), stored);
}

bool StoredToSend(const IrCodeInfo& stored, LearnedCode& send) {
    if (stored.firstCount == 0) return false;
    uint8_t carrierByte = 0;
    if (!CarrierByteFromPeriod(stored.carrier, carrierByte)) return false;
    const int width = ImpliedSymbolWidth(stored.codeType, stored.timingCount);
    const size_t bits = size_t(SymbolCount(stored.firstCount, stored.repeatCount)) * size_t(width);
    const size_t blocks = LearnedBlocks(bits, stored.timingCount);
    const size_t bytes = LearnedDataBytes(bits, stored.timingCount);
    // The table and symbols must lie inside the record (8 x size - 8 bytes,
    // and inside the data room) and inside the send form.
    const size_t recordData = stored.size >= 1 ? 8 * size_t(stored.size) - kHeaderBytes : 0;
    if (bytes > recordData || bytes > stored.data.size() || kHeaderBytes + bytes > send.size()) return false;
    LearnedCode out{};
    out[0] = uint8_t(blocks);
    out[1] = uint8_t((stored.codeType & 15) * 8);
    out[2] = 0;
    out[4] = carrierByte;
    out[5] = stored.firstCount;
    out[6] = stored.repeatCount;
    out[7] = stored.timingCount;
    std::copy_n(stored.data.begin(), bytes, out.begin() + kHeaderBytes);
    send = out;
    return true;
}

bool LearnedCodeOfFile(std::span<const uint8_t> bytes, LearnedCode& code) {
    if (bytes.size() < kHeaderBytes || bytes.size() > kLearnedCodeBytes) return false;
    const int blocks = bytes[0];
    if (blocks == 0 || blocks > kMaxFileCodeBlocks || bytes[7] > kMaxFileCodeTimings) return false;
    if (size_t(blocks) * 8 > bytes.size()) return false;
    code.fill(0);
    std::copy(bytes.begin(), bytes.end(), code.begin());
    return true;
}

}  // namespace orvalink
