#include "image/KeyRecords.h"

#include <algorithm>
#include <cstring>

#include "base/ByteIo.h"

namespace orvalink {

namespace {

constexpr int kHeaderBytes = 8;
constexpr int kLabelScanMax = 32;
constexpr int kLabelPackMax = 40;

bool PackableSize(uint8_t size) { return size <= kMaxKeyRecordBlocks; }

// Label bytes UnpackKey scans for a record of `size` blocks.
int LabelScanBytes(uint8_t size) {
    if (size == 0 || size == 6) return kLabelScanMax;
    return std::min(8 * int(size) - 8, kLabelScanMax);
}

int LabelPackBytes(uint8_t size) { return std::clamp(8 * int(size) - 8, 0, kLabelPackMax); }

bool IsStoredKey(int device, int key) { return device == kMacroSlot || key >= kHardKeyCount; }

// The link trailer of the slot a Device key points to, before it is rewritten
// or reset, so that a failed rewrite can put it back.
struct TrailerBackup {
    int slot = -1;
    LinkTrailer trailer;
};

}  // namespace

void KeyInfo::SetLabel(std::span<const uint8_t> codes) {
    label.fill(0);
    size_t n = std::min(codes.size(), label.size() - 1);
    std::copy_n(codes.begin(), n, label.begin());
    labelLength = uint16_t(n);
}

void KeyInfo::SetLabel(const std::string& ascii) {
    SetLabel(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(ascii.data()), ascii.size()));
}

size_t PackedKeyBytes(uint8_t size) {
    return PackableSize(size) ? size_t(kHeaderBytes + LabelPackBytes(size)) : 0;
}

bool UnpackKey(std::span<const uint8_t> record, KeyInfo& info) {
    ByteReader r(record);
    uint8_t size = r.U8();
    if (!r.ok() || !PackableSize(size)) return false;
    KeyInfo k = info;
    k.size = size;
    k.page = r.U8() & 0x0F;
    k.reserved2 = r.U8();
    uint8_t b3 = r.U8();
    k.flags = b3 & 0x0F;
    k.keyType = uint8_t(b3 >> 4);
    uint8_t b4 = r.U8();
    k.column = uint8_t(b4 >> 4);
    k.row = b4 & 0x0F;
    uint8_t b5 = r.U8();
    k.width = uint8_t(b5 >> 4);
    k.height = b5 & 0x0F;
    k.link = r.U8();
    k.reserved7 = r.U8();
    auto scan = r.View(size_t(LabelScanBytes(size)));
    if (!r.ok()) return false;
    // The label runs to one past the last zero byte of the scanned range; a
    // range without a zero byte gives an empty label.
    int length = 0;
    for (int i = int(scan.size()) - 1; i >= 0; --i)
        if (scan[size_t(i)] == 0) {
            length = i + 1;
            break;
        }
    k.label.fill(0);
    std::copy_n(scan.begin(), length, k.label.begin());
    k.labelLength = uint16_t(length);
    k.ownerDevice = 0xFF;
    k.parentKey = 0xFF;
    k.keyNumber = 0xFF;
    k.spare1 = 0xFF;
    info = k;
    return true;
}

bool PackKey(const KeyInfo& info, std::span<uint8_t> out) {
    if (!PackableSize(info.size)) return false;
    if (out.size() < PackedKeyBytes(info.size)) return false;
    ByteWriter w(out);
    w.U8(info.size);
    w.U8(info.page & 0x0F);
    w.U8(info.reserved2);
    w.U8(uint8_t((info.keyType << 4) | (info.flags & 0x0F)));
    w.U8(uint8_t((info.column << 4) | (info.row & 0x0F)));
    w.U8(uint8_t((info.width << 4) | (info.height & 0x0F)));
    w.U8(info.link);
    w.U8(info.reserved7);
    w.Bytes(info.label.data(), size_t(LabelPackBytes(info.size)));
    return w.ok();
}

KeyInfo HardKey(int device, int key) {
    struct Row { const char* label; uint8_t column, row; };
    static constexpr Row kRows[kHardKeyCount] = {
        {"Power", 4, 0}, {"Vol+", 6, 4}, {"Vol-", 0, 4}, {"Ch+", 2, 2}, {"Ch-", 2, 6}, {"Mute", 0, 0}};
    KeyInfo k;
    k.size = 2;
    k.page = kHardKeyPage;
    k.flags = 3;
    k.keyType = kKeyIrCode;
    k.width = 2;
    k.height = 2;
    if (key >= 0 && key < kHardKeyCount) {
        k.SetLabel(std::string(kRows[key].label));
        k.column = kRows[key].column;
        k.row = kRows[key].row;
    }
    k.ownerDevice = uint8_t(device);
    k.keyNumber = uint8_t(key);
    return k;
}

KeyInfo DefaultKey() {
    KeyInfo k;
    k.size = 2;
    k.page = 0xFF;
    k.flags = kFlagHasCode | kFlagWhite;
    k.keyType = kKeyIrCode;
    k.column = 0;
    k.row = 0;
    k.width = 3;
    k.height = 2;
    k.link = 0xFF;
    k.label.fill(0);
    k.labelLength = 0;
    k.ownerDevice = 0xFF;
    k.keyNumber = 0xFF;
    k.codeBlockCount = 0xFF;
    return k;
}

KeyInfo CopyKeyInfo(const KeyInfo& from) {
    KeyInfo k;
    k.size = from.size;
    k.page = from.page;
    k.reserved2 = from.reserved2;
    k.flags = from.flags;
    k.keyType = from.keyType;
    k.column = from.column;
    k.row = from.row;
    k.width = from.width;
    k.height = from.height;
    k.link = from.link;
    k.reserved7 = from.reserved7;
    int labelBytes = std::clamp(8 * int(from.size) - 8, 0, 60);
    std::copy_n(from.label.begin(), labelBytes, k.label.begin());
    k.labelLength = from.labelLength;
    k.codeNumber = from.codeNumber;
    k.ownerDevice = from.ownerDevice;
    k.parentKey = from.parentKey;
    k.keyNumber = from.keyNumber;
    k.spare1 = from.spare1;
    k.spare2 = from.spare2;
    k.codeBlockCount = from.codeBlockCount;
    k.codeBlocks = from.codeBlocks;
    return k;
}

bool ReadKey(const TTiFlashFm& flash, int device, int key, KeyInfo& info) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot)) return false;
    KeyInfo k;
    if (IsStoredKey(device, key)) {
        if (!IsBlockIndex(flash, slot.keyRecord)) return false;
        // The record is read in place; the scan must stay inside the store.
        auto head = StoreBytes(flash, slot.keyRecord, 1);
        if (head.empty() || !PackableSize(head[0])) return false;
        int blocks = (kHeaderBytes + LabelScanBytes(head[0]) + 7) / 8;
        auto bytes = StoreBytes(flash, slot.keyRecord, blocks);
        if (bytes.empty() || !UnpackKey(bytes, k)) return false;
    } else {
        k = HardKey(device, key);
    }
    LinkTrailer linked;
    if (k.keyType == kKeyDevice && k.link <= kLastDeviceSlot && ReadLinkTrailer(flash, k.link, linked)) {
        k.codeNumber = int16_t(linked.codeNumber);
        k.ownerDevice = linked.parentDevice;
        k.parentKey = linked.parentKey;
    } else {
        k.ownerDevice = uint8_t(device);
        k.parentKey = slot.trailer.parentKey;
    }
    k.keyNumber = uint8_t(key);
    info = k;
    return true;
}

bool DeleteKey(TTiFlashFm& flash, int device, int key) {
    KeySlot slot;
    KeyInfo k;
    if (!ReadKeySlot(flash, device, key, slot) || !ReadKey(flash, device, key, k)) return false;
    if (!IsBlockIndex(flash, slot.keyRecord)) return false;  // hard keys have no record
    if (!MarkBlocks(flash, slot.keyRecord, k.size, true)) return false;
    if (k.keyType == kKeyDevice && k.link <= kLastDeviceSlot) WriteLinkTrailer(flash, k.link, LinkTrailer{});
    slot.keyRecord = kNoIndex;
    // The device's own trailer may just have been reset (a key linking to its
    // own device); write the slot alone, not the trailer read before.
    if (!ReadLinkTrailer(flash, device, slot.trailer)) return false;
    return WriteKeySlot(flash, device, key, slot);
}

bool WriteKey(TTiFlashFm& flash, int device, int key, const KeyInfo& info) {
    KeySlot slot;
    if (!ReadKeySlot(flash, device, key, slot)) return false;
    if (info.size < 1 || !PackableSize(info.size)) return false;

    // Keep what a failed rewrite must put back: the block map, the slot and
    // the trailer of the device the old key linked to.
    BlockMapSnapshot mapBefore(flash);
    KeySlot slotBefore = slot;
    TrailerBackup oldLink;
    bool hadRecord = slot.keyRecord < flash.BlockCount() - 1;
    if (hadRecord) {
        KeyInfo old;
        if (ReadKey(flash, device, key, old) && old.keyType == kKeyDevice && old.link <= kLastDeviceSlot) {
            oldLink.slot = old.link;
            ReadLinkTrailer(flash, old.link, oldLink.trailer);
        }
        if (!DeleteKey(flash, device, key)) return false;
    }
    auto start = FindFreeBlocks(flash, info.size);
    if (!start || !MarkBlocks(flash, *start, info.size, false)) {
        mapBefore.Restore(flash);
        if (oldLink.slot >= 0) WriteLinkTrailer(flash, oldLink.slot, oldLink.trailer);
        WriteKeySlot(flash, device, key, slotBefore);
        return false;
    }
    if (info.keyType == kKeyDevice && info.link <= kLastDeviceSlot) {
        LinkTrailer t;
        t.linkState = 0;
        t.byte259 = 0xFF;
        t.codeNumber = uint16_t(info.codeNumber);
        t.parentDevice = uint8_t(device);
        t.parentKey = uint8_t(key);
        WriteLinkTrailer(flash, info.link, t);
    }
    PackKey(info, StoreBytes(flash, *start, info.size));
    if (!ReadLinkTrailer(flash, device, slot.trailer)) return false;
    slot.keyRecord = *start;
    return WriteKeySlot(flash, device, key, slot);
}

bool KeyStyles(const TTiFlashFm& flash, int device, KeyStyleTables& tables) {
    if (device < 0 || device > kLastDeviceSlot) return false;
    for (int k = 0; k <= 64; ++k) {
        KeyInfo info;
        if (!ReadKey(flash, device, k, info)) {
            tables.type[size_t(k)] = 0xFF;
            tables.page[size_t(k)] = 0xFF;
        } else if (info.page <= 8) {
            tables.page[size_t(k)] = uint8_t(info.page + 1);
            tables.type[size_t(k)] = info.keyType <= kKeyLabel ? info.keyType : 0xFF;
        }
    }
    return true;
}

char32_t LabelCharCode(uint8_t code) {
    static constexpr char32_t kSpecial[] = {0x0153, 0x0161, 0x0192, 0x00DF, 0x25B2,
                                            0x25BC, 0x25BA, 0x25C4, 0x263A};
    if (code < 128) return code;
    if (code < 160) return char32_t(code) + 96;
    if (code <= 168) return kSpecial[code - 160];
    return code;
}

std::string Utf8Of(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | (c >> 18));
        s += char(0x80 | ((c >> 12) & 0x3F));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

bool LabelToText(std::span<const uint8_t> label, std::string& text, int& length) {
    auto printable = [](uint8_t c) { return c >= 32 && c <= 182; };
    if (label.empty()) {
        text.clear();
        length = 0;
        return true;
    }
    if (!printable(label[0]) && label[0] != 0 && label[0] != 13) return false;
    std::string out;
    int n = 0;
    for (uint8_t c : label) {
        if (!printable(c)) break;
        if (++n >= 40) return false;
        out += Utf8Of(LabelCharCode(c));
    }
    text = std::move(out);
    length = n;
    return true;
}

}  // namespace orvalink
