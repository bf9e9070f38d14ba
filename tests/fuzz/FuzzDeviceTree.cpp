// The device tree on an arbitrary image: the input repeated over the device
// pages, block map and block store, then the tree the main window shows,
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

using namespace orvalink;

namespace {

constexpr uint64_t kNodeBudget = kMaxTreeNodes;

// The nodes BuildDeviceTree would make below `slot` (keys 0..lastKey) at
// `level`, counted as it descends, up to the budget.
uint64_t CountNodes(const TTiFlashFm& flash, int slot, int lastKey, int level, uint64_t (&memo)[kDeviceSlots][66]) {
    uint64_t& known = memo[slot][level];
    if (known != ~uint64_t(0)) return known;
    uint64_t n = 0;
    for (int k = 0; k <= lastKey && n <= kNodeBudget; ++k) {
        KeyInfo key = DefaultKey();
        if (!ReadKey(flash, slot, k, key) || key.keyType != kKeyDevice) continue;
        ++n;
        if (level + 1 <= kMaxTreeDepth && key.link <= kLastDeviceSlot)
            n += CountNodes(flash, key.link, kKeysPerDevice, level + 1, memo);
    }
    return known = std::min(n, kNodeBudget + 1);
}

// Characters of a UTF-8 text.
size_t Characters(const std::string& text) {
    size_t n = 0;
    for (char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static TTiFlashFm flash;
    if (size == 0) return 0;
    auto img = flash.Image();
    std::fill(img.begin(), img.end(), uint8_t(0xFF));
    const size_t from = flash.DevicePagesStart();
    const size_t to = flash.BlockStoreStart() + 8 * size_t(flash.BlockCount());
    for (size_t i = from; i < to; i += size) std::memcpy(img.data() + i, data, std::min(size, to - i));

    uint64_t memo[kDeviceSlots][66];
    for (auto& row : memo)
        for (auto& v : row) v = ~uint64_t(0);
    const uint64_t expected = std::min<uint64_t>(CountNodes(flash, kHomeSlot, kKeysPerDevice - 1, 0, memo), kMaxTreeNodes);

    const std::vector<DeviceTreeNode> nodes = BuildDeviceTree(flash);
    if (nodes.size() != expected) std::abort();
    std::vector<KeyInfo> keys;
    for (const DeviceTreeNode& node : nodes) {
        if (node.depth < 1 || node.depth > kMaxTreeDepth + 1) std::abort();
        if (node.key.keyType != kKeyDevice) std::abort();
        if (Characters(DeviceNameText(node.key.label)) > 39) std::abort();
        keys.push_back(node.key);
    }
    for (int slot = 0; slot <= kDeviceSlots; ++slot) {
        KeyInfo record;
        if (DeviceRecordForSlot(slot, keys, record) && record.link != slot) std::abort();
    }
    // The input as a label.
    if (Characters(DeviceNameText({data, size})) > 39) std::abort();
    return 0;
}
