#include "link/OlderFlashWrites.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace orvalink {

namespace {

TransferOutcome Result(TransferResult kind, std::string message = {}, MsgIcon icon = MsgIcon::None) {
    return TransferOutcome{kind, std::move(message), icon};
}

void Log(LinkEngine& link, const std::string& text) { link.View().PacketLog(text); }

// The progress counter moves the window's gauge too.
void Gauge(LinkEngine& link, int position) { link.SetProgress(position); }

// Wake-up, start of a write and the writer's bit-rate command, each logged,
// with the pauses the remote needs between them.
bool StartWrite(LinkEngine& link, uint32_t afterWakeMs, uint32_t afterStartMs) {
    PacketProtocol& packets = link.Packets();
    if (!packets.PacketWakeUpWrite()) {
        Log(link, "WeakUp Error! \n");
        return false;
    }
    Log(link, "WeakUp Ok! \n");
    link.WaitTicks(afterWakeMs);
    if (!packets.PacketWriteStart()) {
        Log(link, "Trans Strat Error! \n");
        return false;
    }
    link.WaitTicks(afterStartMs);
    if (!packets.PacketRateWriter()) {
        Log(link, "Change BitRate Error! \n");
        return false;
    }
    Log(link, "Change BitRate Ok! \n");
    return true;
}

std::span<const uint8_t> PacketOf(const std::vector<uint8_t>& transfer, uint16_t p) {
    return std::span<const uint8_t>(transfer).subspan(size_t(p) * kPacketBytes, kPacketBytes);
}

// Gauge 0, userAbort 0 and the port closed, whatever became of the write.
TransferOutcome Finish(LinkEngine& link, TransferOutcome outcome) {
    Gauge(link, 0);
    link.SetUserAbort(false);
    link.CloseLinkPort();
    return outcome;
}

}  // namespace

TransferOutcome WriteWholeFlash256k(LinkEngine& link, std::span<const uint8_t> file, std::vector<uint8_t>& transfer) {
    if (file.size() < kOlderFlashBytes) return Result(TransferResult::Failed);
    link.SetUserAbort(false);
    Gauge(link, 0);
    if (!link.EnsureLinkPort()) return Result(TransferResult::NoPort);
    transfer.assign(file.begin(), file.begin() + long(kOlderFlashBytes));
    if (!link.OpenLinkPortAt(38400)) return Finish(link, Result(TransferResult::Failed));
    if (!StartWrite(link, 50, 100)) return Finish(link, Result(TransferResult::Failed));
    for (uint16_t p = 0; p < kPacketCount; ++p) {
        if (!link.Packets().PacketSend(p, PacketOf(transfer, p))) {
            Log(link, "Send Packet Error! \n");
            return Finish(link, Result(TransferResult::Failed));
        }
        Gauge(link, int(p) * int(kPacketBytes));
        if (p == kPacketCount - 1) Log(link, "Send 2048 Packet Ok! \n");
        if (link.UserAbort())
            return Finish(link, Result(TransferResult::Broken, "Transfer Broke!", MsgIcon::Information));
        link.View().StatusMessage("Seg = " + std::to_string(p));
    }
    return Finish(link, Result(TransferResult::Ok, "Upgrade Flash Memory Sucess !", MsgIcon::Information));
}

TransferOutcome WritePreProgramCode(LinkEngine& link, std::vector<uint8_t>& transfer) {
    if (transfer.size() < kOlderFlashBytes) return Result(TransferResult::Failed);
    link.SetUserAbort(false);
    Gauge(link, 0);
    if (!link.EnsureLinkPort()) return Result(TransferResult::NoPort);
    if (!link.OpenLinkPortAt(38400)) return Finish(link, Result(TransferResult::Failed));

    // Packet 0 is the remote's own, but bytes 14 and 15 stay the file's.
    const uint8_t keep14 = transfer[14], keep15 = transfer[15];
    if (!link.Packets().ReadPackets(0, 0, transfer)) {
        transfer[14] = keep14;
        transfer[15] = keep15;
        return Finish(link, Result(link.UserAbort() ? TransferResult::Broken : TransferResult::Failed));
    }
    char text[8];
    std::snprintf(text, sizeof text, "%4s", "8100");
    std::copy(text, text + 5, transfer.begin());  // four characters and the zero
    transfer[14] = keep14;
    transfer[15] = keep15;
    link.WaitTicks(700);

    if (!StartWrite(link, 80, 10)) return Finish(link, Result(TransferResult::Failed));
    if (!link.Packets().PacketSend(0, PacketOf(transfer, 0))) {
        Log(link, "Send System PreProgram Code Error! \n");
        return Finish(link, Result(TransferResult::Failed));
    }
    int gauge = 0;
    for (uint16_t p = kPreCodeFirstPacket; p <= kPreCodeLastPacket; ++p) {
        if (!link.Packets().PacketSend(p, PacketOf(transfer, p))) {
            Log(link, "Send PreProgram Code Error! \n");
            return Finish(link, Result(TransferResult::Failed));
        }
        gauge += int(kPacketBytes);
        Gauge(link, gauge);
        if (p == kPreCodeLastPacket) Log(link, "Send PreProgram Code Ok! \n");
        if (link.UserAbort())
            return Finish(link, Result(TransferResult::Broken, "Transfer Broke!", MsgIcon::Information));
        link.View().StatusMessage("Seg = " + std::to_string(p - kPreCodeFirstPacket));
    }
    return Finish(link, Result(TransferResult::Ok, "Pre-Program Code Upgrade Sucess!", MsgIcon::Information));
}

}  // namespace orvalink
