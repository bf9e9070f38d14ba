#include "image/DeviceTree.h"

namespace orvalink {

namespace {

class TreeBuilder {
public:
    TreeBuilder(const TTiFlashFm& flash, std::vector<DeviceTreeNode>& out) : flash_(flash), out_(out) {}

    // The Device keys of `slot` (keys first..last) become nodes at `depth`,
    // each followed by its own subtree.
    void AddDeviceKeys(int slot, int lastKey, int depth) {
        for (int k = 0; k <= lastKey && out_.size() < kMaxTreeNodes; ++k) {
            KeyInfo key = DefaultKey();
            if (!ReadKey(flash_, slot, k, key) || key.keyType != kKeyDevice) continue;
            DeviceTreeNode node;
            node.depth = depth;
            node.key = CopyKeyInfo(key);
            int length = 0;
            if (!LabelToText(key.label, node.text, length)) node.text.clear();
            uint8_t link = key.link;
            out_.push_back(std::move(node));
            AddChildren(link, depth);
        }
    }

private:
    void AddChildren(uint8_t link, int depth) {
        ++level_;
        if (level_ <= kMaxTreeDepth && link <= kLastDeviceSlot) AddDeviceKeys(link, 64, depth + 1);
        --level_;
    }

    const TTiFlashFm& flash_;
    std::vector<DeviceTreeNode>& out_;
    int level_ = 0;
};

}  // namespace

std::vector<DeviceTreeNode> BuildDeviceTree(const TTiFlashFm& flash) {
    std::vector<DeviceTreeNode> nodes;
    TreeBuilder(flash, nodes).AddDeviceKeys(kHomeSlot, kKeysPerDevice - 1, 1);
    return nodes;
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
