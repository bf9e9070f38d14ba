// The TI flash frames of the 2300 family and the Slimline: a wake word ("GD"
// to read, "TS" to write), the range ("SP" + first block, "PZ" + count, each
// echoed), then 264-byte blocks, each followed by its Sum32, low byte first.
#include <algorithm>

#include "base/ByteIo.h"
#include "link/Upgrade.h"
#include "link/UpgradeParts.h"

namespace orvalink {

using namespace upgrade_parts;

namespace {

constexpr uint32_t kTiBlockWaitMs = 1300;
constexpr uint32_t kTiTimeoutValue = 0x77778888;
// The Slimline's partial write keeps the remote's own settings block but
// for two bytes; the 2300's replaces blocks 0-1 whole when they are marked.
constexpr uint16_t kTiSlimKeptBlock = 103;
constexpr size_t kTiSlimKeptOffset = 32;
constexpr uint16_t kTiWholeTwoBlocksMarker = 1001;
// The pause before each read-back of a TI write, as the writes pause between
// their own steps.
constexpr uint32_t kTiVerifySettleMs = 1000;

std::array<uint8_t, 4> Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::array<uint8_t, 4> TiFrame(char a, char b, uint16_t number) {
    return {uint8_t(a), uint8_t(b), uint8_t(number >> 8), uint8_t(number)};
}

}  // namespace

bool Upgrader::TiWake(std::string_view word) {
    if (!link_.OpenLinkPortAt(2400)) return false;
    link_.WaitTicks(50);
    link_.Channel().SendBytes(Bytes(word));
    if (!link_.OpenLinkPortAt(115200)) return false;
    link_.WaitTicks(100);
    if (link_.Discovery().Family() == WindowsFamily::Win95) {
        link_.Port().FlushOutput();
        link_.Port().FlushInput();
    }
    return true;
}

// "SP" + first and "PZ" + count, each answered with the same number. A range
// of no block is none: nothing is sent, and no write or read of it is done.
bool Upgrader::TiRange(uint16_t first, uint16_t count) {
    if (count == 0) return false;
    LinkChannel& ch = link_.Channel();
    link_.Expect(ReceiveMode::Word2);
    ch.SendBytes(TiFrame('S', 'P', first));
    const uint16_t gotFirst = ch.RecvWordKeepMode();
    if (ch.Failed() || gotFirst != first) return false;
    link_.Expect(ReceiveMode::Word2);
    ch.SendBytes(TiFrame('P', 'Z', count));
    const uint16_t gotCount = ch.RecvWordKeepMode();
    if (ch.Failed() || gotCount != count) {
        link_.SetLinkStatus(kLinkFailed);
        return false;
    }
    return true;
}

bool Upgrader::TiSendBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data, int progressBase) {
    (void)first;
    LinkChannel& ch = link_.Channel();
    for (int b = 0; b < count; ++b) {
        const auto block = data.subspan(BlockOffset(size_t(b)), kBlockBytes);
        const uint32_t sum = Sum32(block);
        bool taken = false;
        for (int attempt = 0; attempt < 3 && !taken; ++attempt) {
            ch.SendBytes(block);
            ch.SendBytes(Le32(sum));
            bool answered = false;
            const uint32_t answer = ch.RecvDWordLittle(&answered);
            if (answered && answer == sum) {
                taken = true;
                link_.SetProgress(progressBase + b);
            } else if (ch.ShouldStop()) {
                return false;
            }
        }
        if (!taken) {
            link_.SetLinkStatus(kLinkFailed);
            return false;
        }
        if (ch.ShouldStop()) return false;
    }
    return true;
}

bool Upgrader::TiReceiveBlocks(uint16_t count, std::span<uint8_t> out) {
    LinkChannel& ch = link_.Channel();
    link_.Expect(ReceiveMode::Reply268);
    for (int b = 0; b < count; ++b) {
        if (!ch.WaitFrame(kTiBlockWaitMs)) {
            ch.SendBytes(Le32(kTiTimeoutValue));
            return false;
        }
        const auto frame = link_.Receiver().Frame();
        const auto block = frame.first(kBlockBytes);
        const uint32_t sum = Sum32(block);
        ByteReader r(frame.data() + kBlockBytes, 4);
        const uint32_t told = r.U32();
        std::array<uint8_t, 4> echo{};
        std::copy(frame.begin() + long(kBlockBytes), frame.begin() + long(kBlockBytes) + 4, echo.begin());
        if (sum != told) {
            link_.ResetAssembly();
            link_.Receiver().ClearFrameReady();
            ch.SendBytes(Le32(sum));
            return false;
        }
        std::copy(block.begin(), block.end(), out.begin() + long(BlockOffset(size_t(b))));
        link_.ResetAssembly();
        link_.Receiver().ClearFrameReady();
        ch.SendBytes(echo);
        link_.SetProgress(b);
        if (ch.ShouldStop()) return false;
    }
    return true;
}

bool Upgrader::TiBlocksRead(uint16_t first, uint16_t count, std::span<uint8_t> data) {
    if (count == 0 || data.size() < BlockOffset(count)) return false;
    link_.SetLinkStatus(kLinkGood);
    if (!TiWake("GD")) return false;
    if (!TiRange(first, count)) return false;
    return TiReceiveBlocks(count, data);
}

bool Upgrader::TiBlocksWrite(uint16_t first, uint16_t count, std::span<const uint8_t> data) {
    if (count == 0 || data.size() < BlockOffset(count)) return false;
    link_.SetLinkStatus(kLinkGood);
    if (!TiWake("TS")) return false;
    if (!TiRange(first, count)) return false;
    return TiSendBlocks(first, count, data, 0);
}

TransferOutcome Upgrader::TiFlashWrite2300(int kind) {
    notReady_ = false;
    wrongRemote_ = false;
    verifyMessage_.clear();
    lastTiVerify_ = {};
    return OutcomeOf(RunTiFlashWrite(kind, false));
}

TransferOutcome Upgrader::TiFlashWriteSlimline(int kind) {
    notReady_ = false;
    wrongRemote_ = false;
    verifyMessage_.clear();
    lastTiVerify_ = {};
    return OutcomeOf(RunTiFlashWrite(kind, true));
}

bool Upgrader::RunTiFlashWrite(int kind, bool slimline) {
    link_.SetLinkStatus(kLinkGood);
    const uint16_t blocks = slimline ? kTiBlocksSlimline : kTiBlocks2300;
    uint16_t first = 0;
    uint16_t count = blocks;
    std::array<uint8_t, 2 * kBlockBytes> work{};
    if (kind == kKindPartial) {
        if (slimline) {
            first = kTiSlimPartialFirst;
            count = kTiSlimPartialCount;
            if (!TiBlocksRead(kTiSlimKeptBlock, 1, work)) return false;
        } else {
            first = kTi2300PartialFirst;
            count = uint16_t(blocks - first);
            if (!TiBlocksRead(0, 2, work)) return false;
        }
        link_.WaitTicks(1000);
    } else if (kind != kKindWhole) {
        return false;
    }
    if (!ImageHolds(blocks)) {
        notReady_ = true;
        return false;
    }
    auto image = flash_.Image();
    // What each page was last sent as, for the read-back.
    SentPages sent;
    if (kind == kKindPartial) {
        if (slimline) {
            // The remote keeps its own settings block but for bytes 32-33.
            const size_t at = BlockOffset(kTiSlimKeptBlock) + kTiSlimKeptOffset;
            work[kTiSlimKeptOffset] = image[at];
            work[kTiSlimKeptOffset + 1] = image[at + 1];
            if (!TiBlocksWrite(kTiSlimKeptBlock, 1, std::span<const uint8_t>(work).first(kBlockBytes))) return false;
            NotePages(sent, kTiSlimKeptBlock, std::span<const uint8_t>(work).first(kBlockBytes));
            link_.WaitTicks(2500);
        } else {
            // Blocks 0-1 marked 1001 are replaced whole; otherwise only the
            // model word at bytes 14-15 comes from the image.
            const uint16_t marker = uint16_t(work[14] | work[15] << 8);
            if (marker == kTiWholeTwoBlocksMarker) {
                std::copy(image.begin(), image.begin() + long(work.size()), work.begin());
            } else {
                work[14] = image[14];
                work[15] = image[15];
            }
            if (!TiBlocksWrite(0, 2, work)) return false;
            NotePages(sent, 0, work);
            link_.WaitTicks(1500);
        }
    }
    if (!TiWake("TS")) return false;
    if (!TiRange(first, count)) return false;
    const auto range = std::span<const uint8_t>(image).subspan(BlockOffset(first), BlockOffset(count));
    if (!TiSendBlocks(first, count, range, 0)) return false;
    if (!buffers_.verify) return true;
    NotePages(sent, first, range);
    return TiVerify(sent);
}

// Every page the write sent read back with the "GD" frames, a run of
// adjacent pages at a time, the gauge running again from 0.
bool Upgrader::TiVerify(const SentPages& sent) {
    link_.View().StatusMessage(kVerifyingStatus);
    link_.View().ProgressRange(int(sent.size()) - 1);
    link_.WaitTicks(kTiVerifySettleMs);
    int done = 0;
    lastTiVerify_ = ReadBackPages(
        sent,
        [&](uint16_t first, uint16_t count, std::span<uint8_t> out) {
            if (done > 0) link_.WaitTicks(kTiVerifySettleMs);
            const int base = done;
            done += count;
            const bool read = TiBlocksRead(first, count, out);
            link_.SetProgress(base + count - 1);
            return read;
        },
        [this] { return link_.UserAbort(); });
    switch (lastTiVerify_.result) {
        case VerifyResult::NotRun:
        case VerifyResult::Same: return true;
        case VerifyResult::Differ: verifyMessage_ = VerifyFailedText(flash_, lastTiVerify_); return false;
        case VerifyResult::ReadFailed: verifyMessage_ = kVerifyReadFailedText; return false;
        case VerifyResult::Broken: return false;
    }
    return false;
}

TransferOutcome Upgrader::TiFlashRead2300() {
    notReady_ = false;
    wrongRemote_ = false;
    return OutcomeOf(RunTiFlashRead(kTiBlocks2300));
}

TransferOutcome Upgrader::TiFlashReadSlimline() {
    notReady_ = false;
    wrongRemote_ = false;
    return OutcomeOf(RunTiFlashRead(kTiBlocksSlimline));
}

bool Upgrader::RunTiFlashRead(uint16_t blocks) {
    link_.SetLinkStatus(kLinkGood);
    if (!TiWake("GD")) return false;
    if (!TiRange(0, blocks)) return false;
    if (!ImageHolds(blocks)) {
        notReady_ = true;
        return false;
    }
    // Staged: the image changes only when every block arrived.
    std::vector<uint8_t> staging(BlockOffset(blocks));
    if (!TiReceiveBlocks(blocks, staging)) return false;
    std::copy(staging.begin(), staging.end(), flash_.Image().begin());
    return true;
}

}  // namespace orvalink
