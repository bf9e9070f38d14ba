// The two flash writes of the oldest (256 KB) remotes over the older packet
// protocol at 38400 bit/s: the whole flash, and the pre-programmed code
// alone. Each opens the link, logs its steps on the monitor ("WeakUp Ok!
// \n", ...), counts the gauge and the "Seg = " status as it goes, and closes
// the link at the end. No message box is shown here: the outcome carries the
// routine's closing text ("Upgrade Flash Memory Sucess !", "Transfer
// Broke!", ...) for the page to show.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/LinkEngine.h"
#include "link/Transfers.h"

namespace orvalink {

inline constexpr size_t kOlderFlashBytes = size_t(kPacketCount) * kPacketBytes;  // 262144
// The pre-programmed code lies in packets 548 to 1901.
inline constexpr uint16_t kPreCodeFirstPacket = 548;
inline constexpr uint16_t kPreCodeLastPacket = 1901;

// Copies the 262144 bytes of `file` into `transfer` and sends packets 0 to
// 2047 from it. A file shorter than the flash is refused (nothing sent).
TransferOutcome WriteWholeFlash256k(LinkEngine& link, std::span<const uint8_t> file, std::vector<uint8_t>& transfer);

// Sends the pre-programmed code from `transfer` (262144 bytes, the flash
// file's data): packet 0 is the remote's own, read first, with "8100" and a
// zero at its start and bytes 14 and 15 as `transfer` had them; then packets
// 548 to 1901.
TransferOutcome WritePreProgramCode(LinkEngine& link, std::vector<uint8_t>& transfer);

}  // namespace orvalink
