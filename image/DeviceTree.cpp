#include "image/DeviceTree.h"

#include <array>
#include <optional>

#include "image/BlockStore.h"

namespace orvalink {

namespace {

// Walks the tree over each slot's Device keys, read from the image once per
// tree (a device shown below many Device keys is read only the first time),
// and notes every node as its depth and the key it copies; the nodes are
// made at the end, in one allocation of the final size.
class TreeBuilder {
public:
    explicit TreeBuilder(const TTiFlashFm& flash) : flash_(flash) {}

    void Visit(const std::function<void(const DeviceTreeNode&, int depth)>& visit) {
        AddDeviceKeys(kHomeSlot, kKeysPerDevice - 1, 1);
        for (const Placed& placed : order_) visit(*placed.node, placed.depth);
    }

    std::vector<DeviceTreeNode> Build() {
        AddDeviceKeys(kHomeSlot, kKeysPerDevice - 1, 1);
        std::vector<DeviceTreeNode> nodes;
        nodes.reserve(order_.size());
        for (const Placed& placed : order_) {
            nodes.push_back(*placed.node);
            nodes.back().depth = placed.depth;
        }
        return nodes;
    }

private:
    struct Placed {
        int depth;
        const DeviceTreeNode* node;
    };

    // The Device keys of `slot` (keys 0..lastKey) become nodes at `depth`,
    // each followed by its own subtree.
    void AddDeviceKeys(int slot, int lastKey, int depth) {
        for (const DeviceTreeNode& node : DeviceKeysOf(slot)) {
            if (order_.size() >= kMaxTreeNodes) return;
            if (node.key.keyNumber > lastKey) continue;
            order_.push_back({depth, &node});
            AddChildren(node.key.link, depth);
        }
    }

    const std::vector<DeviceTreeNode>& DeviceKeysOf(int slot) {
        std::optional<std::vector<DeviceTreeNode>>& known = slots_[size_t(slot)];
        if (known) return *known;
        known.emplace();
        for (int k = 0; k < kKeysPerDevice; ++k) {
            KeyInfo key = DefaultKey();
            if (!ReadKey(flash_, slot, k, key) || key.keyType != kKeyDevice) continue;
            DeviceTreeNode node;
            node.key = CopyKeyInfo(key);
            int length = 0;
            if (!LabelToText(key.label, node.text, length)) node.text.clear();
            known->push_back(std::move(node));
        }
        return *known;
    }

    void AddChildren(uint8_t link, int depth) {
        ++level_;
        if (level_ <= kMaxTreeDepth && link <= kLastDeviceSlot) AddDeviceKeys(link, 64, depth + 1);
        --level_;
    }

    const TTiFlashFm& flash_;
    std::array<std::optional<std::vector<DeviceTreeNode>>, kDeviceSlots> slots_;
    std::vector<Placed> order_;
    int level_ = 0;
};

}  // namespace

std::vector<DeviceTreeNode> BuildDeviceTree(const TTiFlashFm& flash) { return TreeBuilder(flash).Build(); }

void VisitDeviceTree(const TTiFlashFm& flash, const std::function<void(const DeviceTreeNode&, int depth)>& visit) {
    TreeBuilder(flash).Visit(visit);
}

std::vector<int> UnlinkedDeviceNumbers(const TTiFlashFm& flash) {
    std::vector<int> free;
    for (int d = 1; d <= kLastDeviceSlot; ++d) {
        LinkTrailer trailer;
        if (ReadLinkTrailer(flash, d, trailer) && trailer.linkState == 0xFF) free.push_back(d);
    }
    return free;
}

std::string DeviceNameText(std::span<const uint8_t> label) {
    std::string out;
    int n = 0;
    for (uint8_t c : label) {
        if (c == 0 || c == 13 || n == 39) break;
        if (c < 32 || c > 163) continue;
        out += Utf8Of(LabelCharCode(c));
        ++n;
    }
    return out;
}

bool DeviceRecordForSlot(int slot, std::span<const KeyInfo> treeKeys, KeyInfo& record) {
    if (slot == kHomeSlot || slot == kMacroSlot) {
        KeyInfo k;
        k.size = 2;
        k.page = kHardKeyPage;
        k.reserved2 = 0xFF;
        k.flags = kFlagAlignRight | kFlagHasCode | kFlagWhite;  // 11
        k.keyType = kKeyDevice;
        k.column = 0;
        k.row = 0;
        k.width = 2;
        k.height = 2;
        k.link = uint8_t(slot);
        k.SetLabel(std::string(slot == kHomeSlot ? "Home " : "Macro"));
        record = k;
        return true;
    }
    for (const KeyInfo& e : treeKeys)
        if (e.link == slot) {
            record = CopyKeyInfo(e);
            return true;
        }
    return false;
}

}  // namespace orvalink
