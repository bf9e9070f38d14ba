#include "link/OlderFlashTransfers.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace orvalink {

TransferOutcome OlderFlashTransfers::End(TransferResult result, const char* text, MsgIcon icon) {
    link_.SetProgress(0);
    link_.CloseLinkPort();
    TransferOutcome outcome;
    outcome.kind = result;
    outcome.message = text;
    outcome.icon = icon;
    return outcome;
}

bool OlderFlashTransfers::OpenPort() {
    if (!link_.EnsureLinkPort()) return false;
    if (!link_.OpenLinkPortAt(38400)) return false;
    if (link_.Discovery().Family() == WindowsFamily::Win95) {
        link_.Port().FlushOutput();
        link_.Port().FlushInput();
    }
    return true;
}

bool OlderFlashTransfers::StartWrite(uint32_t afterWakeMs, uint32_t afterStartMs) {
    PacketProtocol& packets = link_.Packets();
    LinkView& view = link_.View();
    if (!packets.PacketWakeUpWrite()) {
        view.PacketLog("WeakUp Error! \n");
        return false;
    }
    view.PacketLog("WeakUp Ok! \n");
    link_.WaitTicks(afterWakeMs);
    if (!packets.PacketWriteStart()) {
        view.PacketLog("Trans Strat Error! \n");
        return false;
    }
    link_.WaitTicks(afterStartMs);
    if (!packets.PacketRateWriter()) {
        view.PacketLog("Change BitRate Error! \n");
        return false;
    }
    view.PacketLog("Change BitRate Ok! \n");
    return true;
}

TransferOutcome OlderFlashTransfers::Recv256(std::vector<uint8_t>& transfer) {
    link_.SetProgress(0);
    if (!link_.EnsureLinkPort()) return End(TransferResult::NoPort);
    if (!link_.OpenLinkPortAt(38400)) return End(TransferResult::Failed);
    transfer.resize(kOlderFlashSize, 0xFF);
    const bool ok = link_.Packets().ReadPackets(0, kPacketCount - 1, transfer);
    if (ok) return End(TransferResult::Ok);
    return End(link_.UserAbort() ? TransferResult::Broken : TransferResult::Failed);
}

TransferOutcome OlderFlashTransfers::Send256(std::span<const uint8_t> data, std::vector<uint8_t>& transfer) {
    if (data.size() != kOlderFlashSize) return End(TransferResult::NotReady);
    link_.SetProgress(0);
    if (!link_.EnsureLinkPort()) return End(TransferResult::NoPort);
    transfer.assign(data.begin(), data.end());
    if (!OpenPort()) return End(TransferResult::Failed);
    if (!StartWrite(50, 100)) return End(TransferResult::Failed);
    LinkView& view = link_.View();
    for (int p = 0; p < kPacketCount; ++p) {
        if (!link_.Packets().PacketSend(uint16_t(p), {transfer.data() + size_t(p) * kPacketBytes, kPacketBytes})) {
            view.PacketLog("Send Packet Error! \n");
            return End(TransferResult::Failed);
        }
        link_.SetProgress(int(size_t(p + 1) * kPacketBytes));
        if (p == kPacketCount - 1) view.PacketLog("Send 2048 Packet Ok! \n");
        if (link_.UserAbort()) return End(TransferResult::Broken, kTransferBrokeText, MsgIcon::Information);
        view.StatusMessage("Seg = " + std::to_string(p));
    }
    return End(TransferResult::Ok, kSend256OkText, MsgIcon::Information);
}

TransferOutcome OlderFlashTransfers::SendPre(std::vector<uint8_t>& transfer) {
    link_.SetProgress(0);
    if (!OpenPort()) return End(link_.Discovery().PortFound() ? TransferResult::Failed : TransferResult::NoPort);
    transfer.resize(kOlderFlashSize, 0xFF);
    // Bytes 14 and 15 of packet 0 are the file's, whatever the remote holds.
    const uint8_t keep14 = transfer[14], keep15 = transfer[15];
    const bool read = link_.Packets().ReadPackets(0, 0, transfer);
    if (read) std::memcpy(transfer.data(), kPreCodeMark, sizeof kPreCodeMark);
    transfer[14] = keep14;
    transfer[15] = keep15;
    if (!read) return End(link_.UserAbort() ? TransferResult::Broken : TransferResult::Failed);
    link_.WaitTicks(700);

    LinkView& view = link_.View();
    if (!StartWrite(80, 10) || !link_.Packets().PacketSend(0, {transfer.data(), kPacketBytes})) {
        view.PacketLog("Send System PreProgram Code Error! \n");
        return End(TransferResult::Failed);
    }
    int progress = 0;
    for (int p = kPreCodeFirstPacket; p <= kPreCodeLastPacket; ++p) {
        if (!link_.Packets().PacketSend(uint16_t(p), {transfer.data() + size_t(p) * kPacketBytes, kPacketBytes})) {
            view.PacketLog("Send PreProgram Code Error! \n");
            return End(TransferResult::Failed);
        }
        progress += int(kPacketBytes);
        link_.SetProgress(progress);
        view.StatusMessage("Seg = " + std::to_string(p - kPreCodeFirstPacket));
        if (p == kPreCodeLastPacket) view.PacketLog("Send PreProgram Code Ok! \n");
        if (link_.UserAbort()) return End(TransferResult::Broken, kTransferBrokeText, MsgIcon::Information);
    }
    return End(TransferResult::Ok, kSendPreOkText, MsgIcon::Information);
}

}  // namespace orvalink
