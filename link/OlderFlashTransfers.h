// The 256 KB flash of the older remotes moved by hand over the packet
// protocol (128-byte packets at 38400 bit/s): the whole flash read into the
// transfer buffer, the whole flash written from it, and the write of the
// pre-programmed code region alone.
//
// Each one finds and opens the port itself and closes it at the end. The
// packet protocol logs its steps in the monitor; what the user is told at
// the end is the outcome's message, which the window shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "link/LinkEngine.h"
#include "link/Transfers.h"

namespace orvalink {

inline constexpr size_t kOlderFlashSize = size_t(kPacketCount) * kPacketBytes;  // 262144
// The pre-programmed code region: packets 548 to 1901.
inline constexpr uint16_t kPreCodeFirstPacket = 548;
inline constexpr uint16_t kPreCodeLastPacket = 1901;
// What the code write puts at the start of packet 0 (with its terminating zero).
inline constexpr char kPreCodeMark[] = "8100";
// The gauges of the writes (and of the read) count the bytes sent (received),
// so each ends at its maximum: every packet, or the code region's packets.
inline constexpr int kSend256GaugeMaximum = int(kOlderFlashSize);  // 262144
inline constexpr int kSendPreGaugeMaximum = (kPreCodeLastPacket - kPreCodeFirstPacket + 1) * int(kPacketBytes);  // 173312

inline constexpr char kSend256OkText[] = "Upgrade Flash Memory Sucess !";
inline constexpr char kSendPreOkText[] = "Pre-Program Code Upgrade Sucess!";
inline constexpr char kTransferBrokeText[] = "Transfer Broke!";

class OlderFlashTransfers {
public:
    explicit OlderFlashTransfers(LinkEngine& link) : link_(link) {}

    // Packets 0..2047 into `transfer` (made 262144 bytes long); each packet
    // lands at its number x 128 as it arrives.
    TransferOutcome Recv256(std::vector<uint8_t>& transfer);
    // `data` (262144 bytes) copied into `transfer` and written as packets
    // 0..2047. Data of another length is refused before anything is sent.
    TransferOutcome Send256(std::span<const uint8_t> data, std::vector<uint8_t>& transfer);
    // The remote's packet 0 read into `transfer`, "8100" put at its start
    // (the buffer's bytes 14 and 15 kept), written back, then the code
    // region's packets 548..1901 written from `transfer`.
    TransferOutcome SendPre(std::vector<uint8_t>& transfer);

private:
    bool OpenPort();
    // Wake-up, start and bit-rate command of a write, with the pauses after
    // the first two; each logged.
    bool StartWrite(uint32_t afterWakeMs, uint32_t afterStartMs);
    TransferOutcome End(TransferResult result, const char* text = "", MsgIcon icon = MsgIcon::None);

    LinkEngine& link_;
};

}  // namespace orvalink
