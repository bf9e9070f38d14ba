#include "image/BlockStore.h"

#include <algorithm>

#include "base/ByteIo.h"

namespace orvalink {

namespace {

constexpr size_t kTrailerOffset = 258;

size_t BlockMapBytes(const TTiFlashFm& flash) { return (size_t(flash.BlockCount()) + 7) / 8; }

bool ValidSlot(const TTiFlashFm& flash, int device, int key) {
    return flash.ImageSize() > 0 && device >= 0 && device < kDeviceSlots && key >= 0 && key < kKeysPerDevice;
}

bool ValidSlotIndex(const TTiFlashFm& flash, uint16_t raw, bool masked) {
    if (raw == kNoIndex) return true;
    uint16_t v = masked ? uint16_t(raw & kCodeIndexMask) : raw;
    return IsBlockIndex(flash, v);
}

size_t DevicePage(const TTiFlashFm& flash, int device) {
    return flash.DevicePagesStart() + size_t(device) * kPageSize;
}

}  // namespace

bool IsBlockIndex(const TTiFlashFm& flash, uint32_t index) {
    return flash.ImageSize() > 0 && index <= uint32_t(flash.BlockCount()) - 1;
}

bool IsBlockFree(const TTiFlashFm& flash, int block) {
    auto img = flash.Image();
    if (img.empty() || block < 0 || block >= flash.BlockCount()) return false;
    return (img[flash.BlockMapStart() + size_t(block) / 8] >> (block % 8)) & 1;
}

std::optional<uint16_t> FindFreeBlocks(const TTiFlashFm& flash, int count) {
    if (flash.ImageSize() == 0 || count < 1 || count >= kMaxRunBlocks) return std::nullopt;
    auto img = flash.Image();
    const uint8_t* map = img.data() + flash.BlockMapStart();
    int run = 0;
    for (int b = 0; b <= flash.BlockCount() - 2; ++b) {
        if ((map[b / 8] >> (b % 8)) & 1) {
            if (++run == count) return uint16_t(b - count + 1);
        } else {
            run = 0;
        }
    }
    return std::nullopt;
}

bool MarkBlocks(TTiFlashFm& flash, int first, int count, bool free) {
    if (flash.ImageSize() == 0 || first < 0 || first >= flash.BlockCount() - 1 || count < 0 ||
        count >= kMaxRunBlocks || first + count > flash.BlockCount())
        return false;
    uint8_t* map = flash.Image().data() + flash.BlockMapStart();
    for (int b = first; b < first + count; ++b) {
        uint8_t bit = uint8_t(1u << (b % 8));
        if (free)
            map[b / 8] |= bit;
        else
            map[b / 8] &= uint8_t(~bit);
    }
    return true;
}

bool ReadLinkTrailer(const TTiFlashFm& flash, int device, LinkTrailer& trailer) {
    if (!ValidSlot(flash, device, 0)) return false;
    // Read for every key slot of every device by the comparison and the
    // page naming: the six bytes checked once, not one by one.
    const auto b = flash.Image().subspan(DevicePage(flash, device) + kTrailerOffset, 6);
    if (b.size() < 6) return false;
    LinkTrailer t;
    t.linkState = b[0];
    t.byte259 = b[1];
    t.codeNumber = uint16_t(b[2] | b[3] << 8);
    t.parentDevice = b[4];
    t.parentKey = b[5];
    trailer = t;
    return true;
}

bool WriteLinkTrailer(TTiFlashFm& flash, int device, const LinkTrailer& trailer) {
    if (!ValidSlot(flash, device, 0)) return false;
    ByteWriter w(flash.Image().subspan(DevicePage(flash, device) + kTrailerOffset, 6));
    w.U8(trailer.linkState);
    w.U8(trailer.byte259);
    w.U16(trailer.codeNumber);
    w.U8(trailer.parentDevice);
    w.U8(trailer.parentKey);
    return w.ok();
}

bool ReadKeySlot(const TTiFlashFm& flash, int device, int key, KeySlot& slot) {
    if (!ValidSlot(flash, device, key)) return false;
    const auto b = flash.Image().subspan(DevicePage(flash, device) + 4 * size_t(key), 4);
    if (b.size() < 4) return false;
    KeySlot s;
    s.keyRecord = uint16_t(b[0] | b[1] << 8);
    s.codeIndex = uint16_t(b[2] | b[3] << 8);
    if (!ValidSlotIndex(flash, s.keyRecord, false) || !ValidSlotIndex(flash, s.codeIndex, true))
        return false;
    if (!ReadLinkTrailer(flash, device, s.trailer)) return false;
    slot = s;
    return true;
}

bool WriteKeySlot(TTiFlashFm& flash, int device, int key, const KeySlot& slot) {
    if (!ValidSlot(flash, device, key)) return false;
    ByteWriter w(flash.Image().subspan(DevicePage(flash, device) + 4 * size_t(key), 4));
    w.U16(slot.keyRecord);
    w.U16(slot.codeIndex == kNoIndex ? kNoIndex : uint16_t(slot.codeIndex & kCodeIndexMask));
    return w.ok() && WriteLinkTrailer(flash, device, slot.trailer);
}

std::span<const uint8_t> StoreBytes(const TTiFlashFm& flash, int first, int blocks) {
    if (flash.ImageSize() == 0 || first < 0 || blocks < 0 || first + blocks > flash.BlockCount()) return {};
    return flash.Image().subspan(flash.BlockStoreStart() + 8 * size_t(first), 8 * size_t(blocks));
}

std::span<uint8_t> StoreBytes(TTiFlashFm& flash, int first, int blocks) {
    if (flash.ImageSize() == 0 || first < 0 || blocks < 0 || first + blocks > flash.BlockCount()) return {};
    return flash.Image().subspan(flash.BlockStoreStart() + 8 * size_t(first), 8 * size_t(blocks));
}

BlockMapSnapshot::BlockMapSnapshot(const TTiFlashFm& flash) {
    auto img = flash.Image();
    if (img.empty()) return;
    auto start = img.begin() + flash.BlockMapStart();
    map_.assign(start, start + BlockMapBytes(flash));
}

void BlockMapSnapshot::Restore(TTiFlashFm& flash) const {
    auto img = flash.Image();
    if (img.empty() || map_.size() != BlockMapBytes(flash)) return;
    std::copy(map_.begin(), map_.end(), img.begin() + flash.BlockMapStart());
}

}  // namespace orvalink
