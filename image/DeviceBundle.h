// Whole devices: clearing and deleting them with their subtrees, lifting one
// out of the image as a DeviceBundle, pasting it back, and the flat bytes
// that model files carry.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/KeyRecords.h"
#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr int kBundlePositions = 1246;
inline constexpr size_t kBundleHeaderBytes = 296;  // key record (40) + slot table (256)
inline constexpr size_t kMaxModelFileBytes = 10240;  // the payload limit of a model file
inline constexpr size_t kMaxFlatBundleBytes = kBundleHeaderBytes + 8 * size_t(kBundlePositions);

struct DeviceBundle {
    KeyInfo device;  // the Device key that stands for the device
    // 0..63: position of key k's record; 64..127: position of key k's code record.
    std::array<uint16_t, 128> slotTable;
    std::array<uint8_t, 8 * kBundlePositions> blocks;
    DeviceBundle() {
        slotTable.fill(0xFFFF);
        blocks.fill(0xFF);
    }
};

bool ClearDeviceKeys(TTiFlashFm& flash, int device);
bool DeleteDeviceTree(TTiFlashFm& flash, int device);

// Number of bundle positions in use; false when the bundle is full.
bool BundleUsedBlocks(const DeviceBundle& bundle, int& used);
// Lifts a device out of the image. False when not every key and code fitted
// into the bundle (what fitted is still there).
bool CopyDeviceOut(const TTiFlashFm& flash, int device, const KeyInfo& deviceKey, DeviceBundle& bundle);
bool PasteDeviceIn(TTiFlashFm& flash, const DeviceBundle& bundle, int device);

bool PackDevice(const DeviceBundle& bundle, std::vector<uint8_t>& bytes);
bool UnpackDevice(std::span<const uint8_t> bytes, DeviceBundle& bundle);

}  // namespace orvalink
