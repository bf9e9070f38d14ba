// Random 512-byte learned codes (the input, cut or zero-padded; a 513th byte
// gives the symbol width) through LearnedToStored and back through
// StoredToSend, with the round trip checked; the same bytes also as a stored
// record through UnpackIrCode, CompactIrCode and StoredToSend. Nothing may
// be read or written outside the buffers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "image/CodeRecords.h"
#include "image/LearnedCodes.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void SendAndCheck(const IrCodeInfo& stored) {
    LearnedCode send;
    send.fill(0x5C);
    const LearnedCode before = send;
    if (!StoredToSend(stored, send)) {
        Check(send == before);  // a refusal writes nothing
        return;
    }
    Check(send[0] >= 2 && send[0] <= 64);
    Check(send[1] == uint8_t((stored.codeType & 15) * 8));
    Check(send[2] == 0 && send[5] == stored.firstCount && send[7] == stored.timingCount);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LearnedCode learned{};
    if (size > 0) std::memcpy(learned.data(), data, std::min(size, learned.size()));
    const int width = size > learned.size() ? data[learned.size()] % 17 : 1;

    IrCodeInfo stored;
    stored.size = 0xAB;
    if (LearnedToStored(learned, width, stored)) {
        Check(stored.size >= 1 && stored.size <= kMaxIrCodeBlocks);
        Check(learned[5] != 0 && width >= 1 && width <= 15);
        std::array<uint8_t, 8 * kMaxIrCodeBlocks> record{};
        Check(PackIrCode(stored, std::span<uint8_t>(record.data(), 8 * size_t(stored.size))));
        IrCodeInfo unpacked;
        Check(UnpackIrCode(std::span<const uint8_t>(record.data(), 8 * size_t(stored.size)), unpacked));
        Check(unpacked.data == stored.data);
        SendAndCheck(stored);
        IrCodeInfo compacted = stored;
        if (CompactIrCode(compacted)) SendAndCheck(compacted);
    } else {
        Check(stored.size == 0xAB);  // untouched
    }

    // With the width the record implies the send form is the learned form
    // with its header normalised and the bytes after the code cleared.
    if (LearnedToStored(learned, stored)) {
        LearnedCode send;
        if (StoredToSend(stored, send)) {
            const int w = ImpliedSymbolWidth(stored.codeType, stored.timingCount);
            const size_t bits = size_t(SymbolCount(stored.firstCount, stored.repeatCount)) * size_t(w);
            const size_t bytes = LearnedDataBytes(bits, stored.timingCount);
            Check(send[0] == stored.size);
            Check(send[4] == learned[4]);  // the carrier rounding is undone exactly
            Check(send[5] == learned[5] && send[6] == learned[6] && send[7] == learned[7]);
            Check(std::equal(send.begin() + 8, send.begin() + 8 + std::ptrdiff_t(bytes), learned.begin() + 8));
            Check(std::all_of(send.begin() + 8 + std::ptrdiff_t(bytes), send.end(), [](uint8_t b) { return b == 0; }));
        }
    }

    // The input as a stored record.
    IrCodeInfo raw;
    if (UnpackIrCode({data, size}, raw)) {
        SendAndCheck(raw);
        if (CompactIrCode(raw)) {
            Check(raw.timingCount <= 15);
            SendAndCheck(raw);
        }
    }
    return 0;
}
