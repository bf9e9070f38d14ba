// Helpers the image tests share: building keys and codes, and reading the
// block map.
#pragma once

#include <string>

#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"

namespace orvalink::testing {

inline KeyInfo SoftKey(const std::string& label, uint8_t size = 2, uint8_t page = 0) {
    KeyInfo k = DefaultKey();
    k.size = size;
    k.page = page;
    k.SetLabel(label);
    return k;
}

inline KeyInfo DeviceKey(const std::string& label, uint8_t link, int16_t codeNumber = -1) {
    KeyInfo k = SoftKey(label, 2);
    k.keyType = kKeyDevice;
    k.link = link;
    k.codeNumber = codeNumber;
    return k;
}

// An IR code of `size` blocks with two timing entries and recognisable data.
inline IrCodeInfo SampleCode(uint8_t size = 2, uint8_t seed = 1) {
    IrCodeInfo c;
    c.size = size;
    c.codeType = kCodeNormal;
    c.reserved2 = 0x5A;
    c.timingCount = 2;
    c.carrier = 304;
    c.firstCount = 12;
    c.repeatCount = 0xFF;
    for (size_t i = 0; i < 8u * size - 8; ++i) c.data[i] = uint8_t(seed + 3 * i);
    c.symbolWidth = 1;
    c.timingBytes = 8;
    return c;
}

inline int FreeBlockCount(const TTiFlashFm& flash) {
    int n = 0;
    for (int b = 0; b < flash.BlockCount(); ++b) n += IsBlockFree(flash, b);
    return n;
}

// Marks every block but the last `left` (of those FindFreeBlocks may use) as used.
inline void FillStoreLeaving(TTiFlashFm& flash, int left) {
    int usable = flash.BlockCount() - 1;
    for (int b = 0; b < usable - left; b += 100) MarkBlocks(flash, b, std::min(100, usable - left - b), false);
}

}  // namespace orvalink::testing
