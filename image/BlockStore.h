// The device pages, key slots, block map and block store of the memory image.
//
// Every device slot (0 Home, 1..64 devices, 65 Macro) has one 264-byte device
// page: 64 key slots of 4 bytes, then the link trailer at bytes 258..263.
// Variable-length records live in the block store (8-byte blocks); the block
// map has one bit per block, 1 = free.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr uint16_t kNoIndex = 0xFFFF;
inline constexpr uint16_t kCodeIndexMask = 0x7FFF;
inline constexpr int kMaxRunBlocks = 128;  // FindFreeBlocks and MarkBlocks take less

struct LinkTrailer {
    uint8_t linkState = 0xFF;  // 0 = a Device key links here, 0xFF = free
    uint8_t byte259 = 0xFF;
    uint16_t codeNumber = 0xFFFF;
    uint8_t parentDevice = 0xFF;
    uint8_t parentKey = 0xFF;
    bool operator==(const LinkTrailer&) const = default;
};

struct KeySlot {
    uint16_t keyRecord = kNoIndex;  // block index of the packed key record
    uint16_t codeIndex = kNoIndex;  // block index of the record behind the key (bit 15 ignored)
    LinkTrailer trailer;            // the device's link trailer
    bool HasKeyRecord() const { return keyRecord != kNoIndex; }
    bool HasCode() const { return codeIndex != kNoIndex; }
    uint16_t CodeBlock() const { return uint16_t(codeIndex & kCodeIndexMask); }
};

// First block of the lowest run of `count` free blocks (1 <= count < 128).
std::optional<uint16_t> FindFreeBlocks(const TTiFlashFm& flash, int count);
// Marks `count` blocks from `first` free or in use (first < blocks - 1, count < 128).
bool MarkBlocks(TTiFlashFm& flash, int first, int count, bool free);
// Whether block b is free (false for a block outside the store).
bool IsBlockFree(const TTiFlashFm& flash, int block);

// Key slot of (device < 66, key < 64) with the device's link trailer. Fails
// when an index in the slot is neither valid nor 0xFFFF.
bool ReadKeySlot(const TTiFlashFm& flash, int device, int key, KeySlot& slot);
bool WriteKeySlot(TTiFlashFm& flash, int device, int key, const KeySlot& slot);
bool ReadLinkTrailer(const TTiFlashFm& flash, int device, LinkTrailer& trailer);
bool WriteLinkTrailer(TTiFlashFm& flash, int device, const LinkTrailer& trailer);

// The bytes of a record of `blocks` blocks at block `first`; empty when the
// run does not lie wholly inside the block store.
std::span<uint8_t> StoreBytes(TTiFlashFm& flash, int first, int blocks);
std::span<const uint8_t> StoreBytes(const TTiFlashFm& flash, int first, int blocks);
// Whether a 16-bit index read from a key slot addresses a block.
bool IsBlockIndex(const TTiFlashFm& flash, uint32_t index);

// A copy of the block map alone, put back when a rewrite finds no room, so
// that the blocks of the key's old record are in use again. The key slot is
// not part of it: the rewrite keeps its own copy of the slot and writes that
// back too, so that the key keeps its old record.
class BlockMapSnapshot {
public:
    BlockMapSnapshot(const TTiFlashFm& flash);
    void Restore(TTiFlashFm& flash) const;

private:
    std::vector<uint8_t> map_;
};

}  // namespace orvalink
