// The receive side of the link: bytes from the port are collected until the
// current receive mode's frame length is reached, and the frame handler
// decides whether the frame completes the wait (frame ready). The assembler
// knows nothing of the port; whatever reads the port feeds it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace orvalink {

// The kind of frame expected next, with its length (ExpectedLength).
enum class ReceiveMode : int32_t {
    None = 0,         // bytes are collected and never handed over
    AckOrTimeout = 1, // 1: 0x06 or 0x09
    SegmentAck = 2,   // 1: 0x06 or 0x09, then the mode becomes WakeEcho
    WakeEcho = 3,     // 1: 0x08
    BootAB = 4,       // 1: 0xAB
    BootZero = 5,     // 1: 0x00
    BootAA = 6,       // 1: 0xAA
    RateHL = 7,       // 1: 'H' or 'L'
    BootW = 8,        // 1: 'W'
    AnyByte = 9,      // 1: any byte
    Word2 = 10,       // 2
    Dword4 = 11,      // 4
    PacketNumber = 12,// 2
    Packet128 = 13,   // 128
    Text8 = 14,       // 8, and the text so far after every byte
    Reply16 = 15,     // 16
    Reply14 = 16,     // 14
    Reply268 = 17,    // 268
    Block266 = 18,    // 266: a 264-byte block and its checksum
    IrCode514 = 19,   // 514: a 512-byte IR code and its checksum
    TestFrame994 = 20,// 994: handed to the test page, ready is not set
    Checksum2 = 1210, // 2: the remote's checksum of a packet the PC wrote
};

// Expected frame length of a mode (0 for modes that never hand a frame over).
size_t ExpectedLength(ReceiveMode mode);

inline constexpr size_t kAssemblySize = 20000;
inline constexpr size_t kFrameSize = 4098;

// Bytes of the packet protocol the frame handler judges.
inline constexpr uint8_t kPacketAck = 0x06;
inline constexpr uint8_t kPacketTimeout = 0x09;
inline constexpr uint8_t kPacketWake = 0x08;

class ReceiveAssembler {
public:
    // Where a test-page frame (mode TestFrame994) goes.
    using TestFrameSink = std::function<void(std::span<const uint8_t> frame)>;

    ReceiveAssembler() : assembly_(kAssemblySize) {}

    void SetTestFrameSink(TestFrameSink sink) { testFrameSink_ = std::move(sink); }

    // The receive mode (receiveMode).
    ReceiveMode Mode() const { return mode_; }
    void SetMode(ReceiveMode mode) { mode_ = mode; }

    // Whether a frame completed the current wait (frameReady).
    bool FrameReady() const { return frameReady_; }
    // The frame is taken: the next wait waits for a new one.
    void ClearFrameReady() { frameReady_ = false; }

    size_t AssemblyLength() const { return assemblyLength_; }
    // The bytes collected so far.
    std::span<const uint8_t> Assembled() const { return {assembly_.data(), assemblyLength_}; }
    void ResetAssembly() { assemblyLength_ = 0; }

    // Mode, assembly length 0 and frameReady cleared: ready for a new answer.
    void Expect(ReceiveMode mode) {
        mode_ = mode;
        assemblyLength_ = 0;
        frameReady_ = false;
    }

    // The last frame handed over (the first byte is a single reply byte).
    std::span<const uint8_t> Frame() const { return {frame_.data(), frameLength_}; }

    // Feeds received bytes, in the order they arrived.
    void Assemble(std::span<const uint8_t> bytes);

private:
    void FrameHandler(std::span<const uint8_t> frame);
    void Accept(std::span<const uint8_t> frame, bool resetLength);

    ReceiveMode mode_ = ReceiveMode::None;
    bool frameReady_ = false;
    std::vector<uint8_t> assembly_;
    size_t assemblyLength_ = 0;
    std::array<uint8_t, kFrameSize> frame_{};
    size_t frameLength_ = 0;
    TestFrameSink testFrameSink_;
};

}  // namespace orvalink
