// The current protocol: eight-byte command frames, 264-byte blocks followed
// by their Sum16 low byte first, 'A' wakes the remote, 'B' accepts, 'C'
// refuses; and the IR learn and send exchanges built on it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/LinkChannel.h"
#include "link/PortDiscovery.h"
#include "platform/Clock.h"

namespace orvalink {

// Bytes of the conversation.
inline constexpr uint8_t kWakeByte = 'A';
inline constexpr uint8_t kAccept = 'B';
inline constexpr uint8_t kRefuse = 'C';

// Command codes.
inline constexpr uint8_t kCmdReadBlocks = 0xA1;
inline constexpr uint8_t kCmdWriteBlocks = 0xA3;
inline constexpr uint8_t kCmdSetClock = 0xA4;
inline constexpr uint8_t kCmdEndUpload = 0xA5;
inline constexpr uint8_t kCmdIrSend = 0xB2;
inline constexpr uint8_t kCmdIrLearn = 0xB3;

inline constexpr size_t kBlockBytes = 264;
inline constexpr size_t kIrCodeBytes = 512;

// Time-outs of the waits, in milliseconds.
inline constexpr uint32_t kBlockTimeoutMs = 3000;
inline constexpr uint32_t kIrLearnStartTimeoutMs = 4000;
inline constexpr uint32_t kIrLearnCodeTimeoutMs = 2000;
inline constexpr uint32_t kIrReleaseTimeoutMs = 500;

// Settle times after the wake-up.
inline constexpr uint32_t kSettleTransferMs = 100;
inline constexpr uint32_t kSettleIrLearnMs = 50;
inline constexpr uint32_t kSettleIrSendMs = 5;

// An eight-byte command frame: code, then bytes 2-3 and 6-7 little-endian.
std::array<uint8_t, 8> BlockFrame(uint8_t code, uint16_t firstBlock, uint16_t count);
// The set-clock frame (and its end-of-upload twin): year in bytes 2-3, then
// month, day, hour, minute.
std::array<uint8_t, 8> ClockFrame(uint8_t code, const LocalDateTime& when);

// What LinkWakeUp saw.
struct WakeResult {
    bool portOk = false;  // the port opened at both rates
    bool replied = false;
    uint8_t reply = 0;
};

class BlockProtocol {
public:
    BlockProtocol(LinkChannel& channel, PortDiscovery& discovery) : channel_(channel), discovery_(discovery) {}

    // 'A' at 300 bit/s, reopen at 115200, settle, one reply.
    WakeResult LinkWakeUp(uint32_t settleMs);
    // The wake-up of downloads and uploads: false only when the port would not
    // open; a reply other than 'B' sets linkStatus 9, no reply is let pass.
    bool WakeForTransfer();
    // Sends an eight-byte command frame (and names it in the trace).
    bool SendFrame(const std::array<uint8_t, 8>& frame);
    // Sends a block or clock frame, waits 10 ms, takes the reply: not 'B' sets
    // linkStatus 9. No reply gives !missingIsFailure.
    bool SendFrameAndJudge(const std::array<uint8_t, 8>& frame, bool missingIsFailure);

    // One block of a read (mode Block266 must be set): 3 s, checksum, 'B' or
    // 'C'. `number` names the block in the trace (-1: not known).
    bool ReceiveBlock(std::span<uint8_t> out264, int number = -1);
    // One block of a write: up to 3 attempts, 'B' expected. The caller moves
    // the progress counter (it knows the block's place in its range).
    bool SendBlock(std::span<const uint8_t> block264, int number = -1);

    // Called with the block number after every block moved. Without one the
    // progress counter is set to that number; a reader that gives one keeps
    // the counter itself (a read-back counts its own blocks, not the
    // remote's block numbers).
    using BlockProgress = std::function<void(int block)>;
    // Reads count blocks from first into out (count * 264 bytes).
    bool ReadBlocks(uint16_t first, uint16_t count, std::span<uint8_t> out, const BlockProgress& progress = {});
    // Writes count blocks from first out of data (count * 264 bytes).
    bool WriteBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data,
                     const BlockProgress& progress = {});

    // ---- IR learn and send
    bool IrLearnStart();
    // One round of learning: the remote's 'B', then the 514-byte code frame.
    // True with the code when its checksum matches. The wait for the 'B' (up
    // to 4 s) is given up as soon as stop() holds: learning was ended.
    bool IrLearnReceive(std::array<uint8_t, kIrCodeBytes>& code, const std::function<bool()>& stop = {});
    void IrStop();
    bool IrSendStart();
    bool IrSendCode(std::span<const uint8_t> code512);
    void IrSendRelease();

private:
    // Sends an acknowledgement byte and names it in the trace.
    bool SendAck(uint8_t byte);
    void NoteSent(TraceKind kind);

    LinkChannel& channel_;
    PortDiscovery& discovery_;
};

}  // namespace orvalink
