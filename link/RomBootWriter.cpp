// The ROM boot mode of the oldest MCU: the loader at 9600 bit/s, every byte
// echoed, then the program in pieces of 128 bytes at 38400 bit/s, each after
// the loader's XON, and last the comparison of the flash's sum with ours.
#include <algorithm>
#include <string>

#include "base/ByteIo.h"
#include "link/Upgrade.h"

namespace orvalink {

namespace {

constexpr int kRomSyncRounds = 620;
constexpr uint16_t kRomChipId = 0x0500;
constexpr size_t kRomPieceBytes = 128;
constexpr size_t kRomSumFrom = 2048;
constexpr uint8_t kRomWriteAck = 0x06;

}  // namespace

TransferOutcome Upgrader::RomBootWrite() {
    notReady_ = false;
    wrongRemote_ = false;
    return OutcomeOf(RunRomBootWrite());
}

bool Upgrader::RunRomBootWrite() {
    LinkChannel& ch = link_.Channel();
    link_.SetLinkStatus(kLinkGood);
    const auto& loader = buffers_.loader;
    if (loader.size() > kLoaderBufferBytes || loader.size() < kLoaderSentBytes) return false;
    if (buffers_.mcu.size() < kRomBootImageBytes) return false;
    if (!link_.OpenLinkPortAt(9600)) return false;

    // Synchronise: zeros until the chip echoes one, then 0x55 for 0xAA.
    link_.Expect(ReceiveMode::BootZero);
    bool synced = false;
    for (int i = 0; i < kRomSyncRounds && !synced; ++i) {
        if (link_.UserAbort()) return false;
        ch.SendByte(0x00);
        synced = ch.WaitFrame(8);
    }
    if (!synced) return false;
    link_.Expect(ReceiveMode::BootAA);
    ch.SendByte(0x55);
    if (!ch.WaitAndTake(500)) return false;

    // The chip check.
    link_.ResetAssembly();
    ch.SendByte(0x05);
    const uint8_t high = ch.RecvByte();
    link_.WaitTicks(2);
    ch.SendByte(0x00);
    const uint8_t low = ch.RecvByte();
    if (ch.Failed() || uint16_t(high << 8 | low) != kRomChipId) return false;

    // The loader, every byte echoed; the last one answered with a word
    // whose second byte is 0xAA.
    for (size_t i = 0; i < kLoaderSentBytes; ++i) {
        if (ch.ShouldStop()) return false;
        ch.SendByte(loader[i]);
        if (i + 1 < kLoaderSentBytes && (ch.RecvByte() != loader[i] || ch.Failed())) return false;
    }
    const uint16_t loaded = ch.RecvWord();
    if (ch.Failed() || (loaded & 0xFF) != 0xAA) return false;

    // The program, in pieces of 128 bytes, each after the loader's XON.
    if (!link_.OpenLinkPortAt(38400)) return false;
    static constexpr uint8_t kWrite[] = {'W', 0x00};
    ch.SendBytes(kWrite);
    const uint8_t ack = ch.RecvByte();
    if (ack != kRomWriteAck) {
        link_.View().StatusMessage("Write Falsh Error! " + std::to_string(ack));
        return false;
    }
    std::array<uint8_t, 8> range{};
    ByteWriter w(range.data(), range.size());
    w.U32BE(0);
    w.U32BE(uint32_t(kRomBootImageBytes));
    ch.SendBytes(range);
    const auto image = std::span<const uint8_t>(buffers_.mcu).first(kRomBootImageBytes);
    uint32_t running = 0;
    for (size_t sent = 0; sent < image.size();) {
        if (ch.ShouldStop()) return false;
        if (!ch.WaitXon(kXon)) return false;
        const auto piece = image.subspan(sent, std::min(kRomPieceBytes, image.size() - sent));
        ch.SendBytes(piece);
        running += Sum32(piece);
        sent += piece.size();
        link_.SetProgress(int(sent));
    }
    if (!ch.WaitXon(uint8_t(~running))) return false;
    link_.SetProgress(int(image.size()));
    ch.RecvByte();
    if (ch.Failed()) return false;

    // Compare the flash's sum with ours.
    ch.SendByte('C');
    const uint32_t flashSum = ch.RecvDWord();
    const uint32_t bufferSum = Sum32(image.subspan(kRomSumFrom));
    link_.View().StatusMessage("Buf Sum = " + std::to_string(bufferSum) + "  Flash Sum = " + std::to_string(flashSum));
    return !ch.Failed() && flashSum == bufferSum;
}

}  // namespace orvalink
