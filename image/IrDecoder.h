// Tells which well-known IR protocol a frame of marks and spaces is, and
// the numbers it carries, for showing a learned code to the user as
// "NEC 4 / 8" rather than as a list of timings.
//
// Only the first frame at the start of the pulses is read; whatever follows
// it (repeat frames, further copies) is ignored. Every mark and space must
// lie within 25 % of the protocol's nominal length (RC-6: of the unit its
// leader shows); the space after the last
// mark of a frame is the gap and may have any length. The carrier is not
// asked for: a learned carrier is only approximate and the leaders already
// tell the protocols apart.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "image/IrWaveform.h"

namespace orvalink {

enum class IrProtocolKind {
    Nec,          // 8-bit device sent with its complement
    NecExtended,  // 8-bit device and 8-bit sub-device
    Samsung,      // 8-bit device and sub-device (usually the same), 4.5 ms leader
    Jvc,
    Sirc12,
    Sirc15,
    Sirc20,       // device and 8-bit extension as the sub-device
    Rc5,          // function 0..127 (64 and up is RC-5X)
    Rc6,          // mode 0
    Kaseikyo,     // Panasonic's vendor 0x2002 and others
};

struct IrDecoded {
    IrProtocolKind kind = IrProtocolKind::Nec;
    unsigned device = 0;
    std::optional<unsigned> subDevice;  // only where the protocol has one
    unsigned function = 0;
    unsigned vendor = 0;  // Kaseikyo only
    bool operator==(const IrDecoded&) const = default;
};

// "NEC", "NEC extended", "Samsung", "JVC", "Sony SIRC-12", "Sony SIRC-15",
// "Sony SIRC-20", "RC-5", "RC-6", "Panasonic" (Kaseikyo with vendor 0x2002)
// or "Kaseikyo".
std::string IrProtocolName(const IrDecoded& decoded);

// The protocol and numbers of the first frame; nothing when no protocol
// matches (garbage, an unknown protocol, a failed check byte).
std::optional<IrDecoded> DecodeIr(std::span<const IrPulse> pulses);

}  // namespace orvalink
