#include "image/DeviceBundle.h"

#include <algorithm>
#include <bitset>

#include "base/ByteIo.h"
#include "image/CodeRecords.h"

namespace orvalink {

namespace {

// A model file holds at most 10240 bundle bytes; a copied device is kept
// within that, so that whatever is exported can be imported again.
constexpr int kMaxCopiedBlocks = int(kMaxModelFileBytes - kBundleHeaderBytes) / 8;  // 1243

// The record at a bundle position, sized by its first byte; empty when the
// position or the record runs past the bundle's block area.
std::span<const uint8_t> BundleRecord(const DeviceBundle& bundle, uint16_t pos) {
    if (pos >= kBundlePositions) return {};
    uint8_t size = bundle.blocks[8 * size_t(pos)];
    if (size == 0 || size == 0xFF || pos + size > kBundlePositions) return {};
    return std::span<const uint8_t>(bundle.blocks).subspan(8 * size_t(pos), 8 * size_t(size));
}

// Removes every key and code of a device: the codes of the hard keys, the
// records and codes of the soft keys. With `visiting`, every device linked
// from a soft key goes first.
void ClearKeys(TTiFlashFm& flash, int device, std::bitset<kDeviceSlots>* visiting) {
    if (device < 0 || device >= kDeviceSlots) return;
    if (visiting) {
        // A device that (through a damaged image) links back to one of its
        // ancestors is visited once.
        if ((*visiting)[size_t(device)]) return;
        (*visiting)[size_t(device)] = true;
    }
    for (int k = 0; k < kHardKeyCount; ++k) DeleteCode(flash, device, k);
    for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
        KeyInfo info;
        if (visiting && ReadKey(flash, device, k, info) && info.keyType == kKeyDevice && info.link >= 1 &&
            info.link <= kLastDeviceSlot)
            ClearKeys(flash, info.link, visiting);
        if (DeleteKey(flash, device, k)) DeleteCode(flash, device, k);
    }
}

}  // namespace

bool ClearDeviceKeys(TTiFlashFm& flash, int device) {
    ClearKeys(flash, device, nullptr);
    return true;
}

bool DeleteDeviceTree(TTiFlashFm& flash, int device) {
    std::bitset<kDeviceSlots> visiting;
    ClearKeys(flash, device, &visiting);
    return true;
}

bool BundleUsedBlocks(const DeviceBundle& bundle, int& used) {
    int highest = -1;
    for (int e = 6; e < 128; ++e)
        if (bundle.slotTable[size_t(e)] != 0xFFFF) highest = std::max(highest, int(bundle.slotTable[size_t(e)]));
    if (highest < 0) {
        used = 0;
        return true;
    }
    if (highest >= kBundlePositions - 1) return false;
    int result = highest + bundle.blocks[8 * size_t(highest)];
    if (result >= kBundlePositions - 1) return false;
    used = result;
    return true;
}

bool CopyDeviceOut(const TTiFlashFm& flash, int device, const KeyInfo& deviceKey, DeviceBundle& bundle) {
    if (device < 0 || device >= kDeviceSlots) return false;
    DeviceBundle b;
    b.device = CopyKeyInfo(deviceKey);
    b.device.size = 4;
    bool complete = true;
    auto place = [&](int entry, int blocks, auto&& pack) {
        int pos = 0;
        if (!BundleUsedBlocks(b, pos) || pos + blocks > kMaxCopiedBlocks) {
            complete = false;
            return;
        }
        pack(std::span<uint8_t>(b.blocks).subspan(8 * size_t(pos), 8 * size_t(blocks)));
        b.slotTable[size_t(entry)] = uint16_t(pos);
    };
    for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
        KeyInfo key;
        if (!ReadKey(flash, device, k, key)) continue;
        place(k, key.size, [&](std::span<uint8_t> out) {
            std::fill(out.begin(), out.end(), uint8_t(0));
            PackKey(key, out);
        });
    }
    for (int k = 0; k < kKeysPerDevice; ++k) {
        IrCodeInfo code;
        if (!ReadIrCode(flash, device, k, code)) continue;
        place(64 + k, code.size, [&](std::span<uint8_t> out) { PackIrCode(code, out); });
    }
    bundle = b;
    return complete;
}

bool PasteDeviceIn(TTiFlashFm& flash, const DeviceBundle& bundle, int device) {
    if (device < 0 || device >= kDeviceSlots) return false;
    for (int k = kHardKeyCount; k < kKeysPerDevice; ++k) {
        auto rec = BundleRecord(bundle, bundle.slotTable[size_t(k)]);
        KeyInfo key;
        if (!rec.empty() && UnpackKey(rec, key)) WriteKey(flash, device, k, key);
    }
    for (int k = 0; k < kKeysPerDevice; ++k) {
        auto rec = BundleRecord(bundle, bundle.slotTable[size_t(64 + k)]);
        IrCodeInfo code;
        if (!rec.empty() && UnpackIrCode(rec, code)) WriteIrCode(flash, device, k, code);
    }
    return true;
}

bool PackDevice(const DeviceBundle& bundle, std::vector<uint8_t>& bytes) {
    if (bundle.device.size >= 6) return false;
    int used = 0;
    if (!BundleUsedBlocks(bundle, used)) return false;
    std::vector<uint8_t> out(kBundleHeaderBytes + 8 * size_t(used), 0);
    if (!PackKey(bundle.device, std::span<uint8_t>(out).first(40))) return false;
    ByteWriter w(out);
    w.Seek(40);
    for (uint16_t s : bundle.slotTable) w.U16(s);
    w.Bytes(bundle.blocks.data(), 8 * size_t(used));
    if (!w.ok()) return false;
    bytes = std::move(out);
    return true;
}

bool UnpackDevice(std::span<const uint8_t> bytes, DeviceBundle& bundle) {
    if (bytes.size() < kBundleHeaderBytes || bytes.size() > kMaxFlatBundleBytes) return false;
    DeviceBundle b;
    if (!UnpackKey(bytes.first(40), b.device)) return false;
    ByteReader r(bytes);
    r.Seek(40);
    for (auto& s : b.slotTable) s = r.U16();
    size_t blockBytes = bytes.size() - kBundleHeaderBytes;
    r.Bytes(b.blocks.data(), blockBytes);
    if (!r.ok()) return false;
    bundle = b;
    return true;
}

}  // namespace orvalink
