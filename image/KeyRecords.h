// Key records: the packed record in the block store, its unpacked form
// KeyInfo, hard keys, labels as text, and the per-device key tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "image/BlockStore.h"
#include "image/Tiflashut.h"

namespace orvalink {

enum KeyType : uint8_t {
    kKeyIrCode = 0,
    kKeyDevice = 1,
    kKeyMacro = 2,
    kKeyCycle = 3,
    kKeyLabel = 4,
};

// Flag bits of a key record.
enum : uint8_t {
    kFlagAlignRight = 0x01,  // else middle
    kFlagHasCode = 0x02,
    kFlagRectangle = 0x04,   // else ellipse
    kFlagWhite = 0x08,       // white background, else black
};

inline constexpr int kLabelBytes = 100;
inline constexpr int kCodeBlockRoom = 375;
inline constexpr int kMaxKeyRecordBlocks = 6;
inline constexpr uint8_t kHardKeyPage = 8;

struct KeyInfo {
    uint8_t size = 0xFF;  // record length in blocks, 1..6
    uint8_t page = 0xFF;  // LCD page 0..7, 8 for hard keys
    uint8_t reserved2 = 0xFF;
    uint8_t flags = 0;
    uint8_t keyType = kKeyIrCode;
    uint8_t column = 0;
    uint8_t row = 0;
    uint8_t width = 0;
    uint8_t height = 0;
    uint8_t link = 0xFF;  // Device keys: the slot they link to
    uint8_t reserved7 = 0xFF;
    std::array<uint8_t, kLabelBytes> label{};  // remote character codes
    uint16_t labelLength = 0;
    int16_t codeNumber = -1;
    uint8_t ownerDevice = 0xFF;
    uint8_t parentKey = 0xFF;
    uint8_t keyNumber = 0xFF;
    uint8_t spare1 = 0xFF;
    uint8_t spare2 = 0xFF;
    uint8_t codeBlockCount = 0xFF;
    std::array<uint8_t, kCodeBlockRoom * 8> codeBlocks{};

    // Sets the label from remote character codes (cut to the label room).
    void SetLabel(std::span<const uint8_t> codes);
    void SetLabel(const std::string& ascii);
};

// Record <-> KeyInfo. UnpackKey reads from a span that starts at the record
// and must hold the header and the label bytes it scans.
bool UnpackKey(std::span<const uint8_t> record, KeyInfo& info);
// Writes 8 + min(8 x size - 8, 40) bytes; `out` must have room for them.
bool PackKey(const KeyInfo& info, std::span<uint8_t> out);
// Bytes PackKey writes for a key of this size (0 when the size is not packable).
size_t PackedKeyBytes(uint8_t size);

KeyInfo HardKey(int device, int key);
KeyInfo DefaultKey();
KeyInfo CopyKeyInfo(const KeyInfo& from);

bool ReadKey(const TTiFlashFm& flash, int device, int key, KeyInfo& info);
// Stores a key record, replacing the one already there. When there is no
// room the key keeps its old record and false is returned.
bool WriteKey(TTiFlashFm& flash, int device, int key, const KeyInfo& info);
bool DeleteKey(TTiFlashFm& flash, int device, int key);

struct KeyStyleTables {
    std::array<uint8_t, 65> type;
    std::array<uint8_t, 65> page;  // page + 1
};
// Key type and page + 1 of every key of a device (0xFF where unreadable).
bool KeyStyles(const TTiFlashFm& flash, int device, KeyStyleTables& tables);

// The display character of a remote character code.
char32_t LabelCharCode(uint8_t code);
// UTF-8 of one character.
std::string Utf8Of(char32_t c);
// The label as display text (UTF-8) and its length in characters.
bool LabelToText(std::span<const uint8_t> label, std::string& text, int& length);

}  // namespace orvalink
