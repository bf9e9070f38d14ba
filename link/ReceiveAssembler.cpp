#include "link/ReceiveAssembler.h"

#include <algorithm>

namespace orvalink {

size_t ExpectedLength(ReceiveMode mode) {
    switch (mode) {
        case ReceiveMode::AckOrTimeout:
        case ReceiveMode::SegmentAck:
        case ReceiveMode::WakeEcho:
        case ReceiveMode::BootAB:
        case ReceiveMode::BootZero:
        case ReceiveMode::BootAA:
        case ReceiveMode::RateHL:
        case ReceiveMode::BootW:
        case ReceiveMode::AnyByte: return 1;
        case ReceiveMode::Word2:
        case ReceiveMode::PacketNumber:
        case ReceiveMode::Checksum2: return 2;
        case ReceiveMode::Dword4: return 4;
        case ReceiveMode::Text8: return 8;
        case ReceiveMode::Reply14: return 14;
        case ReceiveMode::Reply16: return 16;
        case ReceiveMode::Packet128: return 128;
        case ReceiveMode::Block266: return 266;
        case ReceiveMode::Reply268: return 268;
        case ReceiveMode::IrCode514: return 514;
        case ReceiveMode::TestFrame994: return 994;
        case ReceiveMode::None: break;
    }
    return 0;
}

namespace {

// Modes whose frames are longer than the 128 bytes after which the
// assembly otherwise starts over.
bool IsLongFrameMode(ReceiveMode mode) {
    return mode == ReceiveMode::Reply268 || mode == ReceiveMode::Block266 || mode == ReceiveMode::IrCode514 ||
           mode == ReceiveMode::TestFrame994;
}

}  // namespace

void ReceiveAssembler::Assemble(std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) {
        const ReceiveMode mode = mode_;
        if (assemblyLength_ > 128 && !IsLongFrameMode(mode)) assemblyLength_ = 0;
        if (assemblyLength_ >= assembly_.size()) continue;  // full: the byte is dropped
        assembly_[assemblyLength_++] = b;
        const size_t expected = ExpectedLength(mode);
        if (expected == 1) {
            FrameHandler({&b, 1});
        } else if (expected != 0 && (assemblyLength_ == expected || mode == ReceiveMode::Text8)) {
            FrameHandler({assembly_.data(), assemblyLength_});
        }
    }
}

void ReceiveAssembler::Accept(std::span<const uint8_t> frame, bool resetLength) {
    frameLength_ = std::min(frame.size(), frame_.size());
    std::copy_n(frame.begin(), frameLength_, frame_.begin());
    frameReady_ = true;
    if (resetLength) assemblyLength_ = 0;
}

void ReceiveAssembler::FrameHandler(std::span<const uint8_t> frame) {
    const uint8_t first = frame.empty() ? 0 : frame[0];
    switch (mode_) {
        case ReceiveMode::AckOrTimeout:
            if (first == kPacketAck || first == kPacketTimeout) Accept(frame, true);
            break;
        case ReceiveMode::SegmentAck:
            if (first == kPacketAck || first == kPacketTimeout) {
                Accept(frame, true);
                mode_ = ReceiveMode::WakeEcho;
            }
            break;
        case ReceiveMode::WakeEcho:
            if (first == kPacketWake) Accept(frame, true);
            break;
        case ReceiveMode::BootAB:
            if (first == 0xAB) Accept(frame, true);
            break;
        case ReceiveMode::BootZero:
            if (first == 0x00) Accept(frame, false);
            break;
        case ReceiveMode::BootAA:
            if (first == 0xAA) Accept(frame, false);
            break;
        case ReceiveMode::RateHL:
            if (first == 'H' || first == 'L') Accept(frame, true);
            break;
        case ReceiveMode::BootW:
            if (first == 'W') Accept(frame, false);
            break;
        case ReceiveMode::AnyByte:
        case ReceiveMode::Word2:
        case ReceiveMode::Dword4:
        case ReceiveMode::Packet128:
        case ReceiveMode::Checksum2: Accept(frame, true); break;
        case ReceiveMode::PacketNumber:
        case ReceiveMode::Text8:
        case ReceiveMode::Reply16:
        case ReceiveMode::Reply14:
        case ReceiveMode::Reply268:
        case ReceiveMode::Block266:
        case ReceiveMode::IrCode514: Accept(frame, false); break;
        case ReceiveMode::TestFrame994:
            if (testFrameSink_) testFrameSink_(frame);
            break;
        case ReceiveMode::None: break;
    }
}

}  // namespace orvalink
