// The records behind a key's code index: stored IR codes and cycle lists, as
// raw blocks, as IrCodeInfo or as CycleInfo. Macro records are in
// image/MacroRecords.h, the learned/send form in image/LearnedCodes.h and the
// pre-programmed code library in image/CodeLibrary.h.
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
inline constexpr int kMaxCycleBlocks = 4;
inline constexpr int kIrCodeDataRoom = 600;
inline constexpr uint8_t kNoRepeat = 0xFF;

struct IrCodeInfo {
    uint8_t size = 0;        // blocks, 1..32 in the block store
    uint8_t codeType = kCodeNormal;
    uint8_t reserved2 = 0;
    uint8_t timingCount = 0; // entries of the timing table, 0..15 in the block store
    uint16_t carrier = 0;    // period in 0.125 microsecond units
    uint8_t firstCount = 0;  // symbols of the first frame
    uint8_t repeatCount = kNoRepeat;  // symbols of the repeat frame, 0xFF = none
    std::array<uint8_t, kIrCodeDataRoom> data{};  // timing table, then the packed symbols
    uint8_t symbolWidth = 1;
    uint16_t timingBytes = 0;  // 4 x timingCount
};

// Bits a symbol takes to address `entries` timing entries.
int SymbolWidth(int entries);
// Whether the symbols of a code type are single data bits (RC-5, RC-6)
// rather than indexes into the timing table (Normal, Pulse).
inline bool IsBitCoded(uint8_t codeType) { return codeType == kCodeRc5 || codeType == kCodeRc6; }
// The width the symbols of a record have: 1 for RC-5 and RC-6, otherwise
// SymbolWidth(timing count).
int ImpliedSymbolWidth(uint8_t codeType, int timingCount);
// Symbols of both frames: first, plus repeat unless it is 0xFF.
int SymbolCount(uint8_t firstCount, uint8_t repeatCount);

// Symbol i of `width` bits from a stream packed least significant bit first
// (0 when it does not lie inside the span); PutSymbol writes one (nothing
// outside the span).
uint32_t SymbolAt(std::span<const uint8_t> packed, size_t index, int width);
void PutSymbol(std::span<uint8_t> packed, size_t index, int width, uint32_t value);

bool UnpackIrCode(std::span<const uint8_t> record, IrCodeInfo& info);
// Writes 8 x size bytes into out.
bool PackIrCode(const IrCodeInfo& info, std::span<uint8_t> out);

// Keeps only the timing entries that a Normal or Pulse code's symbols use, in
// their table order, renumbers and re-packs the symbols with the width of the
// entries kept and recomputes the size; an RC-5 or RC-6 code keeps its first
// timing entry and its data bits with a timing count of 1. Fails, leaving the
// code as it was, for types 4..15, a symbol that addresses no entry, or
// counts that do not fit the data room.
bool CompactIrCode(IrCodeInfo& code);

// The record behind a key as raw blocks (device < 66).
bool ReadCodeRaw(const TTiFlashFm& flash, int device, int key, std::vector<uint8_t>& blocks);
// Replaces the record behind a key with `count` blocks whose first byte is
// `count`; when there is no room the key keeps its old record and false is
// returned.
bool WriteCodeRaw(TTiFlashFm& flash, int device, int key, int count, std::span<const uint8_t> blocks);
// Frees the record behind a key (device <= 64); a cycle list goes with its steps.
bool DeleteCode(TTiFlashFm& flash, int device, int key);

bool ReadIrCode(const TTiFlashFm& flash, int device, int key, IrCodeInfo& info);
// When there is no room the key keeps its old record and false is returned.
bool WriteIrCode(TTiFlashFm& flash, int device, int key, const IrCodeInfo& info);
bool DeleteIrCode(TTiFlashFm& flash, int device, int key);

// A cycle list with its step codes.
struct CycleInfo {
    uint8_t size = 0;                 // blocks of the list, 1..4
    uint8_t marker = kCycleMarker;
    std::array<uint8_t, 5> carried{}; // bytes 2..6, carried unchanged
    uint8_t stepCount = 0;            // 1..6
    std::array<uint16_t, kMaxCycleSteps> stepIndex{};  // block index of each step's record
    std::array<IrCodeInfo, kMaxCycleSteps> steps{};
};

// Blocks a cycle list of `steps` steps needs: the 8-byte header and 2 bytes per step.
int CycleListBlocks(int steps);

// The cycle list behind a key (device <= 64) with every step's IR code. A
// step index of 0xFFFF, or the end of the list record, ends the list early;
// a list without steps, or a step that does not read as an IR code, fails.
bool ReadCycle(const TTiFlashFm& flash, int device, int key, CycleInfo& info);
// Stores every step's IR code in blocks of its own, then the list, in place
// of the key's old record. The list keeps info.size when that holds the
// steps (and is at most 4), else it takes CycleListBlocks(steps); the step
// indexes are those of the new step records. When the store has no room
// nothing is written: the key keeps its old record, every block allocated on
// the way is free again, and false is returned.
bool WriteCycle(TTiFlashFm& flash, int device, int key, const CycleInfo& info);
// Frees the list and the step records that read as IR codes.
bool DeleteCycle(TTiFlashFm& flash, int device, int key);

}  // namespace orvalink
