#include "image/CodeRecords.h"

#include <algorithm>

#include "image/BlockStore.h"
#include "image/ByteIo.h"

namespace orvalink {

namespace {

bool CodeDevice(int device) { return device >= 0 && device <= 64; }

bool IrCodeHeaderOk(uint8_t size, uint8_t timingCount, uint8_t firstCount) {
    return size >= 1 && size <= kMaxIrCodeBlocks && timingCount < 16 && firstCount < 200;
}

// The bytes of the record an index points to, sized by its first byte;
// empty when the record does not lie inside the block store.
std::span<const uint8_t> RecordAt(const TTiFlashFm& flash, uint16_t block) {
    auto head = StoreBytes(flash, block, 1);
    if (head.empty() || head[0] == 0 || head[0] == 0xFF) return {};
    return StoreBytes(flash, block, head[0]);
}

bool FreeCode(TTiFlashFm& flash, int device, int key);

// Shared by the code writers: allocate `blocks` blocks, let `fill` write the
// record, store the index. The old record is freed first; when there is no
// room the block map and slot are put back as they were.
template <typename Fill>
bool ReplaceCode(TTiFlashFm& flash, int device, int key, int blocks, Fill fill) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot)) return false;
    if (blocks < 1 || blocks >= kMaxRunBlocks) return false;
    BlockMapSnapshot mapBefore(flash);
    KeySlot slotBefore = slot;
    // An old record that cannot be read is simply replaced in the slot.
    if (slot.HasCode()) FreeCode(flash, device, key);
    auto start = FindFreeBlocks(flash, blocks);
    if (!start || !MarkBlocks(flash, *start, blocks, false)) {
        mapBefore.Restore(flash);
        WriteKeySlot(flash, device, key, slotBefore);
        return false;
    }
    fill(StoreBytes(flash, *start, blocks));
    if (!ReadKeySlot(flash, device, key, slot)) return false;
    slot.codeIndex = *start;
    return WriteKeySlot(flash, device, key, slot);
}

}  // namespace

int SymbolWidth(int entries) {
    int w = 1;
    while (w < 8 && entries > (1 << w)) ++w;
    return w;
}

bool UnpackIrCode(std::span<const uint8_t> record, IrCodeInfo& info) {
    ByteReader r(record);
    IrCodeInfo c;
    c.size = r.U8();
    c.codeType = r.U8();
    c.reserved2 = r.U8();
    c.timingCount = r.U8();
    c.carrier = r.U16();
    c.firstCount = r.U8();
    c.repeatCount = r.U8();
    if (!r.ok() || !IrCodeHeaderOk(c.size, c.timingCount, c.firstCount)) return false;
    r.Bytes(c.data.data(), 8 * size_t(c.size) - 8);
    if (!r.ok()) return false;
    c.symbolWidth = uint8_t(SymbolWidth(c.timingCount));
    c.timingBytes = uint16_t(4 * c.timingCount);
    info = c;
    return true;
}

bool PackIrCode(const IrCodeInfo& info, std::span<uint8_t> out) {
    if (!IrCodeHeaderOk(info.size, info.timingCount, info.firstCount)) return false;
    ByteWriter w(out);
    w.U8(info.size);
    w.U8(info.codeType);
    w.U8(info.reserved2);
    w.U8(info.timingCount);
    w.U16(info.carrier);
    w.U8(info.firstCount);
    w.U8(info.repeatCount);
    w.Bytes(info.data.data(), 8 * size_t(info.size) - 8);
    return w.ok();
}

bool ReadCodeRaw(const TTiFlashFm& flash, int device, int key, std::vector<uint8_t>& blocks) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto rec = RecordAt(flash, slot.CodeBlock());
    if (rec.empty() || rec[1] >= 16) {
        std::fill(blocks.begin(), blocks.end(), uint8_t(0xFF));
        return false;
    }
    blocks.assign(rec.begin(), rec.end());
    return true;
}

bool WriteCodeRaw(TTiFlashFm& flash, int device, int key, int count, std::span<const uint8_t> blocks) {
    if (count < 1 || blocks.size() < 8 * size_t(count)) return false;
    return ReplaceCode(flash, device, key, count, [&](std::span<uint8_t> out) {
        std::copy_n(blocks.begin(), out.size(), out.begin());
    });
}

bool DeleteCycle(TTiFlashFm& flash, int device, int key) {
    if (!CodeDevice(device)) return false;
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto list = RecordAt(flash, slot.CodeBlock());
    if (list.empty() || list[0] > 4 || list[1] != kCycleMarker) return false;
    int steps = list[7];
    if (steps < 1 || steps > kMaxCycleSteps) return false;
    // Read the steps first: the list's own bytes stay as they are.
    std::vector<std::pair<uint16_t, uint8_t>> stepRuns;
    ByteReader r(list.subspan(8));
    for (int i = 0; i < steps; ++i) {
        uint16_t index = r.U16();
        if (!r.ok() || index == kNoIndex) break;
        uint16_t block = uint16_t(index & kCodeIndexMask);
        auto step = RecordAt(flash, block);
        if (!step.empty() && step[0] <= kMaxIrCodeBlocks) stepRuns.emplace_back(block, step[0]);
    }
    if (!MarkBlocks(flash, slot.CodeBlock(), list[0], true)) return false;
    slot.codeIndex = kNoIndex;
    if (!WriteKeySlot(flash, device, key, slot)) return false;
    for (auto [block, size] : stepRuns) MarkBlocks(flash, block, size, true);
    return true;
}

bool DeleteCode(TTiFlashFm& flash, int device, int key) {
    return CodeDevice(device) && FreeCode(flash, device, key);
}

namespace {

// Frees the record behind a key of any slot (the Macro device included).
bool FreeCode(TTiFlashFm& flash, int device, int key) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto rec = RecordAt(flash, slot.CodeBlock());
    if (rec.empty() || rec[0] >= kMaxRunBlocks) return false;
    if (rec[1] == kCycleMarker && rec[7] >= 1 && rec[7] <= kMaxCycleSteps &&
        DeleteCycle(flash, device, key))
        return true;
    if (!MarkBlocks(flash, slot.CodeBlock(), rec[0], true)) return false;
    slot.codeIndex = kNoIndex;
    return WriteKeySlot(flash, device, key, slot);
}

}  // namespace

bool ReadIrCode(const TTiFlashFm& flash, int device, int key, IrCodeInfo& info) {
    if (!CodeDevice(device)) return false;
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto rec = RecordAt(flash, slot.CodeBlock());
    return !rec.empty() && UnpackIrCode(rec, info);
}

bool WriteIrCode(TTiFlashFm& flash, int device, int key, const IrCodeInfo& info) {
    if (!CodeDevice(device) || !IrCodeHeaderOk(info.size, info.timingCount, info.firstCount)) return false;
    return ReplaceCode(flash, device, key, info.size,
                       [&](std::span<uint8_t> out) { PackIrCode(info, out); });
}

bool DeleteIrCode(TTiFlashFm& flash, int device, int key) {
    IrCodeInfo info;
    if (!ReadIrCode(flash, device, key, info)) return false;
    return DeleteCode(flash, device, key);
}

}  // namespace orvalink
