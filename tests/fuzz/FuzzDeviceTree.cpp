// The device tree on an arbitrary image: the input laid once over the device
// pages (the pages past its end are empty) and repeated over the block map
// and block store, then the tree the main window shows,
// the device names of its labels and the record each slot's editor opens
// with. However the Device keys link, the tree ends, stays within its depth
// and names every node's device with a slot.
//
// The tree repeats a device's subtree below every Device key that links to
// it, down to 64 levels, so an image whose devices link to each other more
// than once would grow a tree of astronomical size (two such keys per device
// give 2^64 nodes); the tree stops at kMaxTreeNodes. The harness counts the
// nodes first, up to a budget above that limit, and expects exactly that
// many, or the limit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "image/DeviceTree.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"
#include "fuzz/FuzzRepeat.h"

using namespace orvalink;

namespace {

constexpr uint64_t kNodeBudget = kMaxTreeNodes;

// The links of each slot's Device keys, in key order, read once per input.
struct DeviceLinks {
    std::vector<uint8_t> links[kDeviceSlots];
    bool read[kDeviceSlots] = {};
};

const std::vector<uint8_t>& LinksOf(const TTiFlashFm& flash, int slot, DeviceLinks& known) {
    if (!known.read[slot]) {
        known.read[slot] = true;
        for (int k = 0; k < kKeysPerDevice; ++k) {
            KeyInfo key = DefaultKey();
            if (ReadKey(flash, slot, k, key) && key.keyType == kKeyDevice) known.links[slot].push_back(key.link);
        }
    }
    return known.links[slot];
}

// The nodes BuildDeviceTree would make below `slot` at `level`, counted as it
// descends, up to the budget.
uint64_t CountNodes(const TTiFlashFm& flash, int slot, int level, DeviceLinks& known, uint64_t (&memo)[kDeviceSlots][66]) {
    uint64_t& counted = memo[slot][level];
    if (counted != ~uint64_t(0)) return counted;
    uint64_t n = 0;
    for (uint8_t link : LinksOf(flash, slot, known)) {
        if (n > kNodeBudget) break;
        ++n;
        if (level + 1 <= kMaxTreeDepth && link <= kLastDeviceSlot) n += CountNodes(flash, link, level + 1, known, memo);
    }
    return counted = std::min(n, kNodeBudget + 1);
}

// Characters of a UTF-8 text.
size_t Characters(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Nothing here writes to the image: it is erased once, and each input
    // sets again only the parts it fills.
    static TTiFlashFm flash;
    static const bool erased = [] {
        std::ranges::fill(flash.Image(), uint8_t(0xFF));
        return true;
    }();
    (void)erased;
    if (size == 0) return 0;
    auto img = flash.Image();
    // The device pages hold the input once: a slot's keys come from the
    // input's own bytes at that slot's page, and a short input fills Home
    // and the first devices only. Repeating it over every page would give
    // every device the same keys, and two Device keys would then make almost
    // every input a tree of kMaxTreeNodes nodes, the slowest case of all.
    const size_t pages = flash.DevicePagesStart();
    const size_t pagesEnd = pages + kDeviceSlots * kPageSize;
    const size_t laid = std::min(size, pagesEnd - pages);
    std::memcpy(img.data() + pages, data, laid);
    std::fill(img.begin() + std::ptrdiff_t(pages + laid), img.begin() + std::ptrdiff_t(pagesEnd), uint8_t(0xFF));
    // The block map and block store: the input repeated, so that a key slot
    // pointing anywhere finds input bytes.
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    fuzz::FillRepeated(img.subspan(pagesEnd, to - pagesEnd), {data, size});

    uint64_t memo[kDeviceSlots][66];
    for (auto& row : memo)
        for (auto& v : row) v = ~uint64_t(0);
    DeviceLinks known;
    const uint64_t expected = std::min<uint64_t>(CountNodes(flash, kHomeSlot, 0, known, memo), kMaxTreeNodes);

    const std::vector<DeviceTreeNode> nodes = BuildDeviceTree(flash);
    if (nodes.size() != expected) std::abort();
    // The keys the editors look a slot's record up in: the tree's first key
    // for each slot linked to, in tree order (a later one never answers).
    std::vector<KeyInfo> keys;
    bool linked[256] = {};
    for (const DeviceTreeNode& node : nodes) {
        if (node.depth < 1 || node.depth > kMaxTreeDepth + 1) std::abort();
        if (node.key.keyType != kKeyDevice) std::abort();
        if (Characters(DeviceNameText(node.key.label)) > 39) std::abort();
        if (!linked[node.key.link]) keys.push_back(node.key);
        linked[node.key.link] = true;
    }
    for (int slot = 0; slot <= kDeviceSlots; ++slot) {
        KeyInfo record;
        if (DeviceRecordForSlot(slot, keys, record) && record.link != slot) std::abort();
    }
    // The input as a label.
    if (Characters(DeviceNameText({data, size})) > 39) std::abort();
    return 0;
}
