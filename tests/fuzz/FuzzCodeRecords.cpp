// The macro, cycle and raw code readers over arbitrary bytes: the input
// itself as a macro record and as an IR code record, then repeated over the
// device pages, block map and block store of an image whose key slots,
// macro slots and cycle lists are read. Nothing may be read or written
// outside the record or the image, and what a reader accepts stays within
// the limits it promises.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "image/CodeRecords.h"
#include "image/MacroRecords.h"
#include "image/Tiflashut.h"
#include "fuzz/FuzzRepeat.h"

using namespace orvalink;

namespace {

void CheckMacro(const MacroInfo& m) {
    if (m.stepCount < 1 || m.stepCount > kMaxMacroSteps) std::abort();
}

void CheckCode(const IrCodeInfo& c) {
    if (c.size < 1) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    if (size == 0) return 0;
    const std::span<const uint8_t> input(data, size);

    // The input as one record.
    MacroInfo macro;
    if (UnpackMacro(input, macro)) {
        CheckMacro(macro);
        std::vector<uint8_t> packed;
        MacroInfo again;
        if (PackMacro(macro, packed) && UnpackMacro(packed, again)) CheckMacro(again);
    }
    IrCodeInfo code;
    if (UnpackIrCode(input, code)) {
        CheckCode(code);
        std::vector<uint8_t> packed(8 * size_t(code.size));
        if (PackIrCode(code, packed)) {
            IrCodeInfo again;
            UnpackIrCode(packed, again);
        }
        IrCodeInfo compact = code;
        CompactIrCode(compact);
    }

    // The input repeated over the image's device pages, block map and store.
    auto img = flash.Image();
    std::fill(img.begin(), img.end(), uint8_t(0xFF));
    const size_t from = flash.DevicePagesStart();
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    fuzz::FillRepeated(img.subspan(from, to - from), {data, size});

    for (int key = 0; key <= kKeysPerDevice; ++key) {
        MacroInfo m;
        if (ReadMacro(flash, key, m)) CheckMacro(m);
    }
    // Home, Macro and two devices the input names, every key, and one past.
    const int devices[] = {kHomeSlot, kMacroSlot, data[0] % kDeviceSlots, data[size - 1] % (kDeviceSlots + 1)};
    for (int device : devices) {
        for (int key = 0; key <= kKeysPerDevice; ++key) {
            std::vector<uint8_t> raw;
            if (ReadCodeRaw(flash, device, key, raw) && raw.empty()) std::abort();
            IrCodeInfo c;
            if (ReadIrCode(flash, device, key, c)) CheckCode(c);
            CycleInfo cycle;
            if (ReadCycle(flash, device, key, cycle) && (cycle.stepCount < 1 || cycle.stepCount > kMaxCycleSteps))
                std::abort();
        }
    }
    return 0;
}
