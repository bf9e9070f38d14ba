// The infrared protocols the factory code library is made of, as frames of
// marks and spaces in the code-set form: a timing table shared by every key
// of a code set and, per key, the symbols of its first and repeat frames.
//
// Normal codes: each symbol is an index into the timing table (one mark and
// the space after it, in microseconds). RC-5 and RC-6 codes: one timing
// entry, the half-bit unit, and each symbol is one data bit in the order it
// is sent; the leader, the start bits' Manchester coding and the RC-6
// trailer bit's double width follow from the code type.
//
// The frames are the core encoder's (EncodeIrSymbols in image/IrEncoder.h),
// so a library key sends what a code made from the same numbers sends.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvalink::gen {

struct Timing {
    uint16_t mark = 0;   // microseconds
    uint16_t space = 0;  // microseconds
    bool operator==(const Timing&) const = default;
};

// One key's frames. An empty repeat means the key has no repeat frame.
struct KeyFrames {
    std::vector<uint8_t> first;
    std::vector<uint8_t> repeat;
};

// A protocol and one device address in it: everything a code set needs
// except the command of each key.
class IrProtocol {
public:
    virtual ~IrProtocol() = default;
    virtual std::string Name() const = 0;
    virtual uint8_t CodeType() const = 0;          // kCodeNormal, kCodeRc5, kCodeRc6
    virtual unsigned CarrierHz() const = 0;
    virtual std::vector<Timing> Timings() const = 0;
    // Frames of one command; nothing when the command does not fit the protocol.
    virtual std::optional<KeyFrames> Encode(unsigned command) const = 0;
};

// Makes a protocol by name with its address text:
//   nec ADDR           NEC, 8-bit address sent with its complement
//   nec-ext ADDR       NEC with a 16-bit address (low byte first)
//   samsung32 ADDR     Samsung: 8-bit custom code sent twice, 4.5 ms leader
//   jvc ADDR           JVC, 8-bit address
//   sirc12 DEV         Sony, 7-bit command, 5-bit device
//   sirc15 DEV         Sony, 7-bit command, 8-bit device
//   sirc20 DEV.EXT     Sony, 7-bit command, 5-bit device, 8-bit extension
//   rc5 SYS            Philips RC-5, 5-bit system (commands up to 127: RC-5X)
//   rc6 ADDR           Philips RC-6 mode 0, 8-bit address
//   kaseikyo DEV.SUB   Panasonic (Kaseikyo, vendor 0x2002), device and sub-device
// On failure `error` says why.
std::unique_ptr<IrProtocol> MakeProtocol(const std::string& name, const std::string& address, std::string& error);

// The carrier period in units of 0.125 microseconds (rounded).
uint16_t CarrierPeriod(unsigned hz);

// The longest space one timing entry can hold; inter-frame gaps longer than
// this are cut to it (any receiver has long since seen the frame end).
inline constexpr uint16_t kMaxGap = 0xFFFF;

}  // namespace orvalink::gen
