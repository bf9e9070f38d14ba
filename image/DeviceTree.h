// The tree of devices as the main window shows it: the Device keys of Home,
// and below each device the Device keys of the slot it links to, to any
// depth, cut off at 64 levels.
#pragma once

#include <cstddef>

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/KeyRecords.h"
#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr int kMaxTreeDepth = 64;

struct DeviceTreeNode {
    int depth = 1;     // 1 = a child of Home
    KeyInfo key;       // copy of the Device key
    std::string text;  // the label as text, empty when it cannot be converted
};

// A tree holds at most this many nodes. Devices whose keys link to each
// other more than once would otherwise double the tree at every one of the
// 64 levels; an image of 64 devices, each shown once, or one loop cut off at
// 64 levels stays far below it.
inline constexpr size_t kMaxTreeNodes = 4096;

// The device nodes in tree order (each node followed by its subtree), at
// most kMaxTreeNodes of them.
std::vector<DeviceTreeNode> BuildDeviceTree(const TTiFlashFm& flash);

// The same nodes in the same order, each handed to `visit` with its depth
// (the node's own depth field is not set) instead of copied into a list: for
// a reader that wants a few of them, such as each slot's first.
void VisitDeviceTree(const TTiFlashFm& flash, const std::function<void(const DeviceTreeNode&, int depth)>& visit);

// The Device key record that stands for device slot `slot`: for Home and
// Macro one made up for them (a 2 x 2 hard-page key named "Home " or
// "Macro"), for any other slot a copy of the first of `treeKeys` (the tree's
// Device keys) that links to it. False when no key links to the slot.
bool DeviceRecordForSlot(int slot, std::span<const KeyInfo> treeKeys, KeyInfo& record);

// The device numbers 1..64 that no Device key links to, ascending: those
// whose link trailer reads and marks the device free (link state 0xFF).
std::vector<int> UnlinkedDeviceNumbers(const TTiFlashFm& flash);

// A device's name for window titles: codes 32..163 as characters, ending at
// 0 or 13, at most 39 characters.
std::string DeviceNameText(std::span<const uint8_t> label);

}  // namespace orvalink
