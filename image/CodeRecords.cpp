#include "image/CodeRecords.h"

#include <algorithm>

#include "base/ByteIo.h"
#include "image/BlockStore.h"

namespace orvalink {

namespace {

bool CodeDevice(int device) { return device >= 0 && device <= kLastDeviceSlot; }

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

// A cycle list record as it lies in the store: its header and the step
// indexes before the first 0xFFFF (or the end of the record).
struct CycleList {
    uint8_t size = 0;
    std::array<uint8_t, 5> carried{};
    int steps = 0;
    std::array<uint16_t, kMaxCycleSteps> index{};
};

bool ParseCycleList(const TTiFlashFm& flash, uint16_t block, CycleList& list) {
    auto rec = RecordAt(flash, block);
    if (rec.empty() || rec[0] > kMaxCycleBlocks || rec[1] != kCycleMarker) return false;
    int stored = rec[7];
    if (stored < 1 || stored > kMaxCycleSteps) return false;
    CycleList l;
    l.size = rec[0];
    std::copy_n(rec.begin() + 2, 5, l.carried.begin());
    ByteReader r(rec.subspan(8));
    for (int i = 0; i < stored; ++i) {
        uint16_t index = r.U16();
        if (!r.ok() || index == kNoIndex) break;
        l.index[size_t(l.steps++)] = uint16_t(index & kCodeIndexMask);
    }
    list = l;
    return true;
}

// Frees a cycle list and the step records that read as IR codes: the list's
// blocks, then the slot's index, then the steps.
bool FreeCycle(TTiFlashFm& flash, int device, int key) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    CycleList list;
    if (!ParseCycleList(flash, slot.CodeBlock(), list)) return false;
    std::array<std::pair<uint16_t, uint8_t>, kMaxCycleSteps> runs{};
    int runCount = 0;
    for (int i = 0; i < list.steps; ++i) {
        uint16_t block = list.index[size_t(i)];
        IrCodeInfo step;
        auto rec = RecordAt(flash, block);
        if (!rec.empty() && UnpackIrCode(rec, step)) runs[size_t(runCount++)] = {block, step.size};
    }
    if (!MarkBlocks(flash, slot.CodeBlock(), list.size, true)) return false;
    slot.codeIndex = kNoIndex;
    if (!WriteKeySlot(flash, device, key, slot)) return false;
    for (int i = 0; i < runCount; ++i) MarkBlocks(flash, runs[size_t(i)].first, runs[size_t(i)].second, true);
    return true;
}

// Frees the record behind a key of any slot (the Macro device included).
bool FreeCode(TTiFlashFm& flash, int device, int key) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto rec = RecordAt(flash, slot.CodeBlock());
    if (rec.empty() || rec[0] >= kMaxRunBlocks) return false;
    if (rec[1] == kCycleMarker && rec[7] >= 1 && rec[7] <= kMaxCycleSteps && FreeCycle(flash, device, key))
        return true;
    if (!MarkBlocks(flash, slot.CodeBlock(), rec[0], true)) return false;
    slot.codeIndex = kNoIndex;
    return WriteKeySlot(flash, device, key, slot);
}

// Shared by the code writers: free the key's old record, allocate one run of
// blocks per entry of `sizes` (in that order), let `fill` write the records
// into them, and store the first run as the key's code index. Nothing is
// written before every run has been found; when one cannot be found the
// block map and the slot are put back as they were, so the key keeps its old
// record and no block stays allocated.
template <typename Fill>
bool ReplaceCode(TTiFlashFm& flash, int device, int key, std::span<const int> sizes, Fill fill) {
    constexpr size_t kMaxRuns = 1 + kMaxCycleSteps;
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot)) return false;
    if (sizes.empty() || sizes.size() > kMaxRuns) return false;
    for (int blocks : sizes)
        if (blocks < 1 || blocks >= kMaxRunBlocks) return false;
    BlockMapSnapshot mapBefore(flash);
    const KeySlot slotBefore = slot;
    // An old record that cannot be read is simply replaced in the slot.
    if (slot.HasCode()) FreeCode(flash, device, key);
    std::array<uint16_t, kMaxRuns> starts{};
    for (size_t i = 0; i < sizes.size(); ++i) {
        auto start = FindFreeBlocks(flash, sizes[i]);
        if (!start || !MarkBlocks(flash, *start, sizes[i], false)) {
            mapBefore.Restore(flash);
            WriteKeySlot(flash, device, key, slotBefore);
            return false;
        }
        starts[i] = *start;
    }
    fill(std::span<const uint16_t>(starts.data(), sizes.size()));
    slot = slotBefore;
    slot.codeIndex = starts[0];
    return WriteKeySlot(flash, device, key, slot);
}

}  // namespace

int SymbolWidth(int entries) {
    int w = 1;
    while (w < 8 && entries > (1 << w)) ++w;
    return w;
}

int ImpliedSymbolWidth(uint8_t codeType, int timingCount) {
    return IsBitCoded(codeType) ? 1 : SymbolWidth(timingCount);
}

int SymbolCount(uint8_t firstCount, uint8_t repeatCount) {
    return int(firstCount) + (repeatCount == kNoRepeat ? 0 : int(repeatCount));
}

uint32_t SymbolAt(std::span<const uint8_t> packed, size_t index, int width) {
    if (width < 1 || width > 32) return 0;
    const size_t first = index * size_t(width);
    if ((first + size_t(width) + 7) / 8 > packed.size()) return 0;
    uint32_t v = 0;
    for (int b = 0; b < width; ++b) {
        size_t bit = first + size_t(b);
        v |= uint32_t((packed[bit / 8] >> (bit % 8)) & 1u) << b;
    }
    return v;
}

void PutSymbol(std::span<uint8_t> packed, size_t index, int width, uint32_t value) {
    if (width < 1 || width > 32) return;
    const size_t first = index * size_t(width);
    if ((first + size_t(width) + 7) / 8 > packed.size()) return;
    for (int b = 0; b < width; ++b) {
        size_t bit = first + size_t(b);
        uint8_t mask = uint8_t(1u << (bit % 8));
        if ((value >> b) & 1u)
            packed[bit / 8] |= mask;
        else
            packed[bit / 8] &= uint8_t(~mask);
    }
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
    c.symbolWidth = uint8_t(ImpliedSymbolWidth(c.codeType, c.timingCount));
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

bool CompactIrCode(IrCodeInfo& code) {
    if (code.codeType > kCodePulse) return false;
    const int n = code.timingCount;
    const size_t symbols = size_t(SymbolCount(code.firstCount, code.repeatCount));
    const size_t table = 4 * size_t(n);
    IrCodeInfo c = code;
    c.data.fill(0);
    if (IsBitCoded(code.codeType)) {
        const size_t bytes = (symbols + 7) / 8;
        if (n < 1 || table + bytes > code.data.size()) return false;
        std::copy_n(code.data.begin(), 4, c.data.begin());
        std::copy_n(code.data.begin() + std::ptrdiff_t(table), bytes, c.data.begin() + 4);
        c.timingCount = 1;
        c.timingBytes = 4;
        c.symbolWidth = 1;
        c.size = uint8_t((8 + 4 + bytes + 7) / 8);
        code = c;
        return true;
    }
    const int width = SymbolWidth(n);
    const size_t bytes = (symbols * size_t(width) + 7) / 8;
    if (table + bytes > code.data.size()) return false;
    std::span<const uint8_t> packed(code.data.data() + table, bytes);
    std::array<bool, 256> used{};
    for (size_t i = 0; i < symbols; ++i) {
        uint32_t v = SymbolAt(packed, i, width);
        if (v >= uint32_t(n)) return false;
        used[v] = true;
    }
    std::array<uint8_t, 256> renumbered{};
    int kept = 0;
    for (int e = 0; e < n; ++e) {
        if (!used[size_t(e)]) continue;
        std::copy_n(code.data.begin() + 4 * e, 4, c.data.begin() + 4 * kept);
        renumbered[size_t(e)] = uint8_t(kept++);
    }
    const int newWidth = SymbolWidth(kept);
    const size_t newBytes = (symbols * size_t(newWidth) + 7) / 8;
    std::span<uint8_t> out(c.data.data() + 4 * size_t(kept), newBytes);
    for (size_t i = 0; i < symbols; ++i) PutSymbol(out, i, newWidth, renumbered[SymbolAt(packed, i, width)]);
    c.timingCount = uint8_t(kept);
    c.timingBytes = uint16_t(4 * kept);
    c.symbolWidth = uint8_t(newWidth);
    c.size = uint8_t((8 + 4 * size_t(kept) + newBytes + 7) / 8);
    code = c;
    return true;
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
    // A record's first byte is its length: one that disagrees with `count`
    // would later free the wrong number of blocks.
    if (count < 1 || blocks.size() < 8 * size_t(count) || blocks[0] != count) return false;
    const int sizes[] = {count};
    return ReplaceCode(flash, device, key, sizes, [&](std::span<const uint16_t> starts) {
        auto out = StoreBytes(flash, starts[0], count);
        std::copy_n(blocks.begin(), out.size(), out.begin());
    });
}

bool DeleteCycle(TTiFlashFm& flash, int device, int key) {
    return CodeDevice(device) && FreeCycle(flash, device, key);
}

bool DeleteCode(TTiFlashFm& flash, int device, int key) {
    return CodeDevice(device) && FreeCode(flash, device, key);
}

bool ReadIrCode(const TTiFlashFm& flash, int device, int key, IrCodeInfo& info) {
    if (!CodeDevice(device)) return false;
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    auto rec = RecordAt(flash, slot.CodeBlock());
    return !rec.empty() && UnpackIrCode(rec, info);
}

bool WriteIrCode(TTiFlashFm& flash, int device, int key, const IrCodeInfo& info) {
    if (!CodeDevice(device) || !IrCodeHeaderOk(info.size, info.timingCount, info.firstCount)) return false;
    const int sizes[] = {info.size};
    return ReplaceCode(flash, device, key, sizes, [&](std::span<const uint16_t> starts) {
        PackIrCode(info, StoreBytes(flash, starts[0], info.size));
    });
}

bool DeleteIrCode(TTiFlashFm& flash, int device, int key) {
    IrCodeInfo info;
    if (!ReadIrCode(flash, device, key, info)) return false;
    return DeleteCode(flash, device, key);
}

int CycleListBlocks(int steps) { return (8 + 2 * steps + 7) / 8; }

bool ReadCycle(const TTiFlashFm& flash, int device, int key, CycleInfo& info) {
    if (!CodeDevice(device)) return false;
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot) || !slot.HasCode()) return false;
    CycleList list;
    if (!ParseCycleList(flash, slot.CodeBlock(), list) || list.steps < 1) return false;
    CycleInfo c;
    c.size = list.size;
    c.carried = list.carried;
    c.stepCount = uint8_t(list.steps);
    for (int i = 0; i < list.steps; ++i) {
        uint16_t block = list.index[size_t(i)];
        auto rec = RecordAt(flash, block);
        if (rec.empty() || !UnpackIrCode(rec, c.steps[size_t(i)])) return false;
        c.stepIndex[size_t(i)] = block;
    }
    info = c;
    return true;
}

bool WriteCycle(TTiFlashFm& flash, int device, int key, const CycleInfo& info) {
    if (!CodeDevice(device) || info.stepCount < 1 || info.stepCount > kMaxCycleSteps) return false;
    const int steps = info.stepCount;
    for (int i = 0; i < steps; ++i) {
        const IrCodeInfo& s = info.steps[size_t(i)];
        if (!IrCodeHeaderOk(s.size, s.timingCount, s.firstCount)) return false;
    }
    const int needed = CycleListBlocks(steps);
    const int listBlocks = info.size >= needed && info.size <= kMaxCycleBlocks ? info.size : needed;
    std::array<int, 1 + kMaxCycleSteps> sizes{};
    sizes[0] = listBlocks;
    for (int i = 0; i < steps; ++i) sizes[size_t(1 + i)] = info.steps[size_t(i)].size;
    return ReplaceCode(flash, device, key, std::span<const int>(sizes.data(), size_t(1 + steps)),
                       [&](std::span<const uint16_t> starts) {
                           for (int i = 0; i < steps; ++i) {
                               const IrCodeInfo& s = info.steps[size_t(i)];
                               PackIrCode(s, StoreBytes(flash, starts[size_t(1 + i)], s.size));
                           }
                           auto out = StoreBytes(flash, starts[0], listBlocks);
                           std::fill(out.begin(), out.end(), uint8_t(0xFF));
                           ByteWriter w(out);
                           w.U8(uint8_t(listBlocks));
                           w.U8(kCycleMarker);
                           w.Bytes(info.carried.data(), info.carried.size());
                           w.U8(uint8_t(steps));
                           for (int i = 0; i < steps; ++i) w.U16(starts[size_t(1 + i)]);
                       });
}

}  // namespace orvalink
