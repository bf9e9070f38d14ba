// The records behind a key's code index: stored IR codes, cycle lists and
// macros, as raw blocks or as IrCodeInfo.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

enum IrCodeType : uint8_t { kCodeNormal = 0, kCodeRc5 = 1, kCodeRc6 = 2, kCodePulse = 3 };

inline constexpr uint8_t kCycleMarker = 13;
inline constexpr uint8_t kMacroMarker = 15;
inline constexpr int kMaxIrCodeBlocks = 32;
inline constexpr int kMaxCycleSteps = 6;
inline constexpr int kIrCodeDataRoom = 600;

struct IrCodeInfo {
    uint8_t size = 0;        // blocks, 1..32
    uint8_t codeType = kCodeNormal;
    uint8_t reserved2 = 0;
    uint8_t timingCount = 0; // entries of the timing table, 0..15
    uint16_t carrier = 0;    // period in 0.125 microsecond units
    uint8_t firstCount = 0;  // symbols of the first frame
    uint8_t repeatCount = 0xFF;  // symbols of the repeat frame, 0xFF = none
    std::array<uint8_t, kIrCodeDataRoom> data{};  // timing table, then the packed symbols
    uint8_t symbolWidth = 1;
    uint16_t timingBytes = 0;  // 4 x timingCount
};

// Bits a symbol takes to address `entries` timing entries.
int SymbolWidth(int entries);

bool UnpackIrCode(std::span<const uint8_t> record, IrCodeInfo& info);
// Writes 8 x size bytes into out.
bool PackIrCode(const IrCodeInfo& info, std::span<uint8_t> out);

// The record behind a key as raw blocks (device < 66).
bool ReadCodeRaw(const TTiFlashFm& flash, int device, int key, std::vector<uint8_t>& blocks);
// Replaces the record behind a key with `count` blocks; when there is no
// room the key keeps its old record and false is returned.
bool WriteCodeRaw(TTiFlashFm& flash, int device, int key, int count, std::span<const uint8_t> blocks);
// Frees the record behind a key (device <= 64); a cycle list goes with its steps.
bool DeleteCode(TTiFlashFm& flash, int device, int key);
bool DeleteCycle(TTiFlashFm& flash, int device, int key);

bool ReadIrCode(const TTiFlashFm& flash, int device, int key, IrCodeInfo& info);
bool WriteIrCode(TTiFlashFm& flash, int device, int key, const IrCodeInfo& info);
bool DeleteIrCode(TTiFlashFm& flash, int device, int key);

}  // namespace orvalink
