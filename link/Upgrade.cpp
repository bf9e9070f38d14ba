#include "link/Upgrade.h"

#include <algorithm>
#include <cctype>

#include "base/ByteIo.h"
#include "formats/ModelCatalogue.h"

namespace orvalink {

namespace {

constexpr size_t BlockOffset(size_t block) { return block * kBlockBytes; }

// Binary boot loader commands.
constexpr uint8_t kCmdBootEnter = 0xA7;
constexpr uint8_t kCmdBootErase = 0xA8;
constexpr uint8_t kCmdBootPage = 0xA9;
constexpr uint8_t kCmdBootFinish = 0xAA;
constexpr uint8_t kCmdBootIdentify = 0xAF;

// The identify-and-enter loop goes on until the remote answers or the user
// cancels; a remote that never answers is given up after this many rounds
// (each round waits at least 800 ms), so a missing remote cannot hold the
// link for ever.
constexpr int kEnterRounds = 75;
constexpr int kGenericWakeUps = 15;
constexpr int kPageMisses = 3;
constexpr int kPageRefusals = 10;
constexpr uint32_t kWakeSettleMs = 5;
constexpr uint32_t kWakeGapMs = 10;

// The text boot loader's answers.
enum ReplyWordValue { kNoWord = 0, kFinish = 1, kFail = 2, kError = 3, kContinue = 4 };
constexpr uint32_t kReplyWordWaitMs = 60 * 12;  // 60 polls, 12 ms apart

// The ROM boot mode.
constexpr int kRomSyncRounds = 620;
constexpr uint16_t kRomChipId = 0x0500;
constexpr size_t kRomPieceBytes = 128;
constexpr size_t kRomSumFrom = 2048;
constexpr uint8_t kRomWriteAck = 0x06;

// The TI flash.
constexpr uint32_t kTiBlockWaitMs = 1300;
constexpr uint32_t kTiTimeoutValue = 0x77778888;
constexpr uint16_t kTi2300PartialFirst = 639;
// The Slimline's partial write covers the pre-programmed code region.
constexpr uint16_t kTiSlimPartialFirst = kCodeRegionFirstPage;
constexpr uint16_t kTiSlimPartialCount = kCodeRegionPages;
constexpr uint16_t kTiSlimKeptBlock = 103;
constexpr size_t kTiSlimKeptOffset = 32;
constexpr uint16_t kTiWholeTwoBlocksMarker = 1001;

// Pages the loaders write.
constexpr int kPages5100 = int(kMcuMostPages);  // 115
constexpr int kPages1400 = 59;
constexpr int kPagesNamed = 60;
constexpr int kPagesText = 60;

struct BinarySpec {
    int pages;
    uint32_t identWaitMs;
    size_t sumBytes;  // 0: no checksum in 0xAA
};

constexpr BinarySpec SpecOf(BinaryLoader member) {
    switch (member) {
        case BinaryLoader::Generic: return {kPages5100, 0, 0};
        case BinaryLoader::Qm5100: return {kPages5100, 1000, 58876};
        case BinaryLoader::Qm1400: return {kPages1400, 1000, 30204};
        case BinaryLoader::Slimline: return {kPages5100, 1000, 58876};
        case BinaryLoader::Named: return {kPagesNamed, 1500, 30716};
    }
    return {0, 0, 0};
}

// The erase frames of a member: (first sector, count).
std::vector<std::pair<uint16_t, uint16_t>> EraseFrames(BinaryLoader member) {
    std::vector<std::pair<uint16_t, uint16_t>> frames;
    switch (member) {
        case BinaryLoader::Generic:
        case BinaryLoader::Qm5100:
        case BinaryLoader::Slimline:
            for (uint16_t i = 0; i < 10; ++i) frames.emplace_back(uint16_t(i * 10), 10);
            frames.emplace_back(100, 15);
            break;
        case BinaryLoader::Qm1400:
            for (uint16_t j = 0; j < 5; ++j) frames.emplace_back(uint16_t(j * 10), 10);
            frames.emplace_back(50, 9);
            break;
        case BinaryLoader::Named:
            for (uint16_t j = 0; j < 4; ++j) frames.emplace_back(uint16_t(j * 15), 15);
            break;
    }
    return frames;
}

std::array<uint8_t, 4> Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::array<uint8_t, 4> TiFrame(char a, char b, uint16_t number) {
    return {uint8_t(a), uint8_t(b), uint8_t(number >> 8), uint8_t(number)};
}

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool StartsWith(std::span<const uint8_t> text, std::string_view word) {
    return text.size() >= word.size() && std::equal(word.begin(), word.end(), text.begin(),
                                                    [](char w, uint8_t t) { return uint8_t(w) == t; });
}

}  // namespace

UpgradeBuffers::UpgradeBuffers() : mcu(kMcuBufferBytes, 0xFF) {
    auto def = DefaultRomBootLoader();
    loader.assign(def.begin(), def.end());
}

bool UpgradeBuffers::SetProgram(std::span<const uint8_t> program) {
    if (program.empty() || program.size() > kMcuBufferBytes) return false;
    std::fill(mcu.begin(), mcu.end(), 0xFF);
    std::copy(program.begin(), program.end(), mcu.begin());
    return true;
}

bool UpgradeBuffers::SetLoader(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kLoaderBufferBytes) return false;
    loader.assign(bytes.begin(), bytes.end());
    return true;
}

std::string IdentificationText(BinaryLoader member, std::string_view name) {
    switch (member) {
        case BinaryLoader::Generic: return {};
        case BinaryLoader::Qm5100: return "QM-5100";
        case BinaryLoader::Qm1400: return "QM-1400";
        case BinaryLoader::Slimline: return "SLIMLINE";
        case BinaryLoader::Named: return std::string(name);
    }
    return {};
}

bool IdentificationMatches(std::span<const uint8_t> answer, std::string_view expected) {
    if (expected.empty()) return false;
    size_t end = answer.size();
    auto padding = [](uint8_t c) { return c == ' ' || c == 0x00 || c == 0xFF; };
    while (end > 0 && padding(answer[end - 1])) --end;
    size_t begin = 0;
    while (begin < end && answer[begin] == ' ') ++begin;  // the Slimline's answer may be centred
    auto text = answer.subspan(begin, end - begin);
    if (!StartsWith(text, expected)) return false;
    if (text.size() == expected.size()) return true;
    return !std::isalnum(text[expected.size()]);
}

int BinaryLoaderPages(BinaryLoader member) { return SpecOf(member).pages; }

int TextLoaderPages(TextLoader member) { return member == TextLoader::Slimline ? kPages5100 : kPagesText; }

Upgrader::Upgrader(LinkEngine& link, TTiFlashFm& flash, UpgradeBuffers& buffers)
    : link_(link), flash_(flash), buffers_(buffers), transfers_(link, flash) {}

TransferOutcome Upgrader::OutcomeOf(bool ok) const {
    if (ok) return TransferOutcome::Of(TransferResult::Ok);
    if (notReady_) return {TransferResult::NotReady, "Ti Flash not ready !", MsgIcon::Error};
    if (link_.UserAbort()) return TransferOutcome::Of(TransferResult::Broken);
    return TransferOutcome::Of(TransferResult::Failed);
}

bool Upgrader::ImageHolds(uint16_t blocks) const {
    auto [data, ready] = flash_.ImageData();
    return ready && data != nullptr && flash_.ImageSize() >= BlockOffset(blocks);
}

// ---------------------------------------------------------------------------
// The binary boot loader

TransferOutcome Upgrader::BootWriteBinary(BinaryLoader member, std::string_view name) {
    notReady_ = false;
    wrongRemote_ = false;
    return OutcomeOf(RunBootWriteBinary(member, name));
}

// Step 2: wake the loader, make sure it is the expected remote, enter it.
bool Upgrader::BinaryEnter(BinaryLoader member, std::string_view name, bool& wrongRemote) {
    LinkChannel& ch = link_.Channel();
    const bool is95 = link_.Discovery().Family() == WindowsFamily::Win95;
    const BinarySpec spec = SpecOf(member);
    const std::string ident = IdentificationText(member, name);
    const int rounds = member == BinaryLoader::Generic ? kGenericWakeUps : kEnterRounds;
    bool awake = false;
    for (int round = 0; round < rounds; ++round) {
        if (link_.UserAbort()) return false;
        if (!link_.OpenLinkPortAt(300)) return false;
        ch.SendByte(kWakeByte);
        if (!link_.OpenLinkPortAt(115200)) return false;
        link_.WaitTicks(kWakeSettleMs);
        link_.ResetAssembly();
        uint8_t reply = 0;
        if (!ch.RecvReply(reply)) {
            if (link_.UserAbort()) return false;
            link_.WaitTicks(kWakeGapMs);
            continue;
        }
        if (reply != kAccept) {
            link_.ResetAssembly();
            if (link_.UserAbort()) return false;
            link_.WaitTicks(kWakeGapMs);
            continue;
        }
        if (member == BinaryLoader::Generic) {
            awake = true;
            break;
        }
        link_.Expect(ReceiveMode::Reply16);
        if (!link_.Blocks().SendFrame(BlockFrame(kCmdBootIdentify, 0, 0))) link_.SetLinkStatus(kLinkFailed);
        if (member == BinaryLoader::Named && ch.Failed()) return false;
        if (!ch.WaitAndTake(spec.identWaitMs)) continue;
        if (!IdentificationMatches(link_.Receiver().Frame().first(16), ident)) {
            // Another model's loader: nothing may be erased.
            wrongRemote = true;
            return false;
        }
        if (is95 && (member == BinaryLoader::Slimline || member == BinaryLoader::Named)) {
            link_.Port().FlushOutput();
            link_.Port().FlushInput();
        }
        link_.Expect(ReceiveMode::Text8);
        link_.Blocks().SendFrame(BlockFrame(kCmdBootEnter, 0, 0));
        if (ch.RecvReply(reply) && reply == kAccept) return true;
    }
    if (!awake) return false;
    // The generic member enters without asking who it is.
    link_.Blocks().SendFrame(BlockFrame(kCmdBootEnter, 0, 0));
    uint8_t reply = 0;
    return ch.RecvReply(reply) && reply == kAccept;
}

bool Upgrader::RunBootWriteBinary(BinaryLoader member, std::string_view name) {
    LinkChannel& ch = link_.Channel();
    link_.SetLinkStatus(kLinkGood);
    const BinarySpec spec = SpecOf(member);
    const auto& mcu = buffers_.mcu;
    if (mcu.size() < size_t(spec.pages) * kMcuPageBytes) return false;
    const uint16_t programSum =
        spec.sumBytes ? Sum16(std::span<const uint8_t>(mcu).first(spec.sumBytes)) : uint16_t(0);

    if (!BinaryEnter(member, name, wrongRemote_)) return false;

    // Erase the sectors.
    for (auto [first, count] : EraseFrames(member)) {
        if (ch.ShouldStop()) return false;
        link_.Blocks().SendFrame(BlockFrame(kCmdBootErase, first, count));
        uint8_t reply = 0;
        if (!ch.RecvReply(reply)) return false;
        if (reply != kAccept) link_.SetLinkStatus(kLinkFailed);
    }
    if (ch.ShouldStop()) return false;

    // Program the pages.
    for (int p = 0; p < spec.pages; ++p) {
        const auto page = std::span<const uint8_t>(mcu).subspan(size_t(p) * kMcuPageBytes, kMcuPageBytes);
        std::array<uint8_t, kMcuPageBytes + 2> data{};
        std::copy(page.begin(), page.end(), data.begin());
        const uint16_t sum = Sum16(page);
        data[kMcuPageBytes] = uint8_t(sum);
        data[kMcuPageBytes + 1] = uint8_t(sum >> 8);
        int misses = 0;
        bool written = false;
        for (int refusals = 0; !written;) {
            if (ch.ShouldStop()) return false;
            // Announce the page.
            link_.Blocks().SendFrame(BlockFrame(kCmdBootPage, uint16_t(p), 0));
            uint8_t reply = 0;
            if (!ch.RecvReply(reply)) {
                if (++misses >= kPageMisses) return false;
                continue;
            }
            if (reply != kAccept) {
                if (++refusals >= kPageRefusals) return false;
                continue;
            }
            // Send it until it is taken.
            for (;;) {
                if (ch.ShouldStop()) return false;
                ch.SendBytes(data);
                if (!ch.RecvReply(reply)) {
                    if (++misses >= kPageMisses) return false;
                    continue;
                }
                if (reply == kAccept) {
                    link_.SetProgress(p);
                    written = true;
                    break;
                }
                if (++refusals >= kPageRefusals) return false;
            }
        }
    }

    // Finish with the program's checksum.
    link_.Blocks().SendFrame(BlockFrame(kCmdBootFinish, programSum, 0));
    uint8_t reply = 0;
    return ch.RecvReply(reply) && reply == kAccept;
}

// ---------------------------------------------------------------------------
// The text boot loader

TransferOutcome Upgrader::BootWriteText(TextLoader member) {
    notReady_ = false;
    wrongRemote_ = false;
    return OutcomeOf(RunBootWriteText(member));
}

// Waits for the loader's answer word (the text so far is handed over after
// every byte in mode Text8); kNoWord when none came in time.
int Upgrader::ReplyWord() {
    static constexpr std::pair<std::string_view, int> kWords[] = {
        {"FINISH", kFinish}, {"FAIL", kFail}, {"ERROR", kError}, {"CONTINUE", kContinue}};
    int found = kNoWord;
    auto matched = [&] {
        if (!link_.Receiver().FrameReady()) return false;
        const auto text = link_.Receiver().Frame();
        for (auto [word, value] : kWords) {
            if (StartsWith(text, word)) {
                found = value;
                return true;
            }
        }
        return false;
    };
    link_.Pump().PumpUntil(matched, kReplyWordWaitMs);
    return found;
}

bool Upgrader::RunBootWriteText(TextLoader member) {
    LinkChannel& ch = link_.Channel();
    link_.SetLinkStatus(kLinkGood);
    const bool is95 = link_.Discovery().Family() == WindowsFamily::Win95;
    const int pages = TextLoaderPages(member);
    const auto& mcu = buffers_.mcu;
    if (mcu.size() < size_t(pages) * kMcuPageBytes) return false;
    const int attempts = (member == TextLoader::FourK || member == TextLoader::Slimline) ? 10 : 4;
    const uint32_t settleMs = member == TextLoader::Vc ? 100 : 180;
    static constexpr uint8_t kWake4k[] = {0xA0, 'P', 'B'};
    const std::span<const uint8_t> wake = member == TextLoader::FourK ? std::span<const uint8_t>(kWake4k) : Bytes("PB");

    auto say = [&](std::string_view word) {
        link_.Expect(ReceiveMode::Text8);
        ch.SendBytes(Bytes(word));
        return ReplyWord();
    };

    // Restart the loader.
    int word = kNoWord;
    for (int attempt = 0; attempt < attempts && word == kNoWord; ++attempt) {
        if (link_.UserAbort()) return false;
        if (attempt > 0) {
            if (!link_.OpenLinkPortAt(2400)) return false;
            link_.WaitTicks(50);
            ch.SendBytes(wake);
        }
        if (!link_.OpenLinkPortAt(115200)) return false;
        link_.WaitTicks(settleMs);
        if (is95) {
            link_.Port().FlushOutput();
            link_.Port().FlushInput();
        }
        word = say("RESTART");
    }
    if (word != kFinish) return false;

    // Erase.
    bool erased = false;
    for (int i = 0; i < 3 && !erased; ++i) {
        if (ch.ShouldStop()) return false;
        if (i > 0 && member == TextLoader::Slimline) link_.WaitTicks(50);
        erased = say("ERASE") == kFinish;
    }
    if (!erased) return false;

    // Program the pages.
    for (int p = 0; p < pages; ++p) {
        const auto page = std::span<const uint8_t>(mcu).subspan(size_t(p) * kMcuPageBytes, kMcuPageBytes);
        std::array<uint8_t, kMcuPageBytes + 2> data{};
        std::copy(page.begin(), page.end(), data.begin());
        const uint16_t sum = Sum16(page);
        data[kMcuPageBytes] = uint8_t(sum);
        data[kMcuPageBytes + 1] = uint8_t(sum >> 8);
        int misses = 0;
        int refusals = 0;
        bool written = false;
        while (!written) {
            if (ch.ShouldStop()) return false;
            const int answer = say("WRITE");
            if (answer == kNoWord) {
                if (++misses >= kPageMisses) return false;
                continue;
            }
            if (answer != kContinue) {
                if (++refusals >= kPageRefusals) return false;
                continue;
            }
            for (;;) {
                if (ch.ShouldStop()) return false;
                if (member == TextLoader::Vc) {
                    // The VC loader answers with the page's sum, low byte first.
                    link_.Expect(ReceiveMode::Word2);
                    ch.SendBytes(data);
                    if (!ch.WaitAndTake(1000)) {
                        if (++misses >= kPageMisses) return false;
                        continue;
                    }
                    const auto f = link_.Receiver().Frame();
                    if (uint16_t(f[0] | f[1] << 8) == sum) break;
                } else {
                    link_.Expect(ReceiveMode::Text8);
                    ch.SendBytes(data);
                    const int taken = ReplyWord();
                    if (taken == kNoWord) {
                        if (++misses >= kPageMisses) return false;
                        continue;
                    }
                    if (taken == kFinish) break;
                }
                if (++refusals >= kPageRefusals) return false;
            }
            link_.SetProgress(p);
            written = true;
        }
    }

    // Complete.
    for (int i = 0; i < 5; ++i) {
        if (i > 0) link_.WaitTicks(10);
        if (say("COMPLETE") == kFinish) return true;
        if (link_.UserAbort()) return false;
    }
    return false;
}

// ---------------------------------------------------------------------------
// The ROM boot mode

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

// ---------------------------------------------------------------------------
// The TI flash

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
    return OutcomeOf(RunTiFlashWrite(kind, false));
}

TransferOutcome Upgrader::TiFlashWriteSlimline(int kind) {
    notReady_ = false;
    wrongRemote_ = false;
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
    if (kind == kKindPartial) {
        if (slimline) {
            // The remote keeps its own settings block but for bytes 32-33.
            const size_t at = BlockOffset(kTiSlimKeptBlock) + kTiSlimKeptOffset;
            work[kTiSlimKeptOffset] = image[at];
            work[kTiSlimKeptOffset + 1] = image[at + 1];
            if (!TiBlocksWrite(kTiSlimKeptBlock, 1, std::span<const uint8_t>(work).first(kBlockBytes))) return false;
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
            link_.WaitTicks(1500);
        }
    }
    if (!TiWake("TS")) return false;
    if (!TiRange(first, count)) return false;
    return TiSendBlocks(first, count, std::span<const uint8_t>(image).subspan(BlockOffset(first)), 0);
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

// ---------------------------------------------------------------------------
// The buttons

namespace {

// The gauges' maxima: the last page, block or byte count each routine
// reports (UpgradeButtonInfo).
constexpr int kGauge5100Mcu = kPages5100 - 1;
constexpr int kGauge1400Mcu = kPages1400 - 1;
constexpr int kGaugeNamedMcu = kPagesNamed - 1;
constexpr int kGaugeTextMcu = kPagesText - 1;
constexpr int kGaugeTi2300 = kTiBlocks2300 - 1;
constexpr int kGaugeTi2300Partial = kTiBlocks2300 - kTi2300PartialFirst - 1;
constexpr int kGaugeTiSlim = kTiBlocksSlimline - 1;
constexpr int kGaugeTiSlimPartial = kTiSlimPartialCount - 1;
constexpr int kGauge5100Partial = kPartial5100Count - 1;
constexpr int kGauge1400Partial = kPartial1400Count - 1;
constexpr int kGaugeRomBoot = int(kRomBootImageBytes);

constexpr UpgradeButtonInfo kButtons[] = {
    {UpgradeButton::Write5100Mcu, "Write 5100 Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write 5k MCU Flash Data Ok !",
     "Write 5k MCU Flash Data Error !", false},
    {UpgradeButton::WriteN5kMcu, "Write N 5k Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write 5k MCU Flash Data Ok !",
     "Write 5k MCU Flash Data Error !", false},
    {UpgradeButton::Write1400Mcu, "Write 1400 Mcu", kGauge1400Mcu, kGauge1400Mcu,
     "Write QM-1400 MCU Flash Data Ok !", "Write QM-1400 MCU Flash Data Error !", false},
    {UpgradeButton::WriteNSlMcu, "Write N SL Mcu", kGauge5100Mcu, kGauge5100Mcu,
     "Write Slimline new MCU Flash Data Ok !", "Write Slimline new MCU Flash Data Error !", false},
    {UpgradeButton::WritePrMcu, "Write PR Mcu", kGaugeNamedMcu, kGaugeNamedMcu, "Write PR-60 MCU flash data ok !",
     "Write PR-60 MCU flash data error !", false},
    {UpgradeButton::WritePrmMcu, "Write PRM Mcu", kGaugeNamedMcu, kGaugeNamedMcu, "Write PRM MCU flash data ok !",
     "Write PRM MCU flash data error !", false},
    {UpgradeButton::WriteVcMcu, "Write VC Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write VC MCU Flash Data Ok !",
     "Write VC MCU Flash Data Error !", false},
    {UpgradeButton::Write4Mcu, "Write 4 Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write 4k MCU Flash Data Ok !",
     "Write 4k MCU Flash Data Error !", false},
    {UpgradeButton::Write2100Mcu, "Write 2100 Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write 2300 MCU Flash Data Ok !",
     "Write 2300 MCU Flash Data Error !", false},
    {UpgradeButton::WriteSlMcu, "Write SL Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write Slimline MCU Flash Data Ok !",
     "Write Slimline MCU Flash Data Error !", false},
    {UpgradeButton::WriteTi4Flash, "Write Ti4 Flash", kGaugeTi2300, kGaugeTi2300Partial,
     "Write 2300 Flash Data Ok !", "Write 2300 Flash Data Error !", false},
    {UpgradeButton::ReadTi4Flash, "Read Ti4 Flash", kGaugeTi2300, kGaugeTi2300, "Download 2300 Flash Data Ok !",
     "Download 2300 Flash Data Error !", true},
    {UpgradeButton::WriteSlFlash, "Write SL Flash", kGaugeTiSlim, kGaugeTiSlimPartial,
     "Write Slimline 5100 Flash Data Ok !", "Write Slimline 5100 Flash Data Error !", false},
    {UpgradeButton::ReadSlFlash, "Read SL Flash", kGaugeTiSlim, kGaugeTiSlim, "Download Slimline Flash Data Ok !",
     "Download Slimline Flash Data Error !", true},
    {UpgradeButton::WriteTi5Flash, "Write Ti5 Flash", kFlash5100GaugeMaximum, kGauge5100Partial,
     "Write 5100 Flash Data Ok !", "Write 5100 Flash Data Error !", false},
    {UpgradeButton::ReadTi5Flash, "Read Ti5 Flash", kFlash5100GaugeMaximum, kFlash5100GaugeMaximum,
     "Download 5100 Flash Data Ok !", "Download 5100 Flash Data Error !", true},
    {UpgradeButton::Write1400Flash, "Write 1400 Flash", kFlash1400GaugeMaximum, kGauge1400Partial,
     "Write 1400 Flash Data Ok !", "Write 1400 Flash Data Error !", false},
    {UpgradeButton::Read1400Flash, "Read 1400 Flash", kFlash1400GaugeMaximum, kFlash1400GaugeMaximum,
     "Download 1400 Flash Data Ok !", "Download 1400 Flash Data Error !", true},
    {UpgradeButton::RomBootWrite, "Write", kGaugeRomBoot, kGaugeRomBoot,
     "Write MCU Flash Data Ok! \n\nReminder ! \n  Change the switch back to \"NORM\" for normal operation.  \n"
     "  (In the battery compartment) ",
     "Write MCU Flash Data Error!", false},
};

}  // namespace

std::span<const UpgradeButtonInfo> UpgradeButtons() { return kButtons; }

const UpgradeButtonInfo& ButtonInfo(UpgradeButton button) { return kButtons[size_t(button)]; }

int GaugeMaximum(UpgradeButton button, int kind) {
    const auto& info = ButtonInfo(button);
    return kind == kKindPartial ? info.gaugePartialMaximum : info.gaugeMaximum;
}

std::vector<LinkReport> UpgradeButtonReports(UpgradeButton button, const TransferOutcome& outcome) {
    const auto& info = ButtonInfo(button);
    std::vector<LinkReport> reports;
    if (outcome.kind == TransferResult::NoPort) return reports;
    if (!outcome.message.empty()) reports.push_back({outcome.message, outcome.icon});
    if (outcome.Ok())
        reports.push_back({std::string(info.okText), MsgIcon::Information});
    else if (outcome.kind == TransferResult::Broken)
        reports.push_back({info.reads ? "Download transfer broken !" : "Transfer broken !", MsgIcon::Information});
    else
        reports.push_back({std::string(info.errorText), MsgIcon::Error});
    return reports;
}

TransferOutcome RunUpgradeButton(Upgrader& upgrader, UpgradeButton button) {
    LinkEngine& link = upgrader.Link();
    if (!link.EnsureLinkPort()) return TransferOutcome::Of(TransferResult::NoPort);
    const int kind = upgrader.Buffers().kind;
    link.View().ProgressRange(GaugeMaximum(button, kind));
    TransferOutcome outcome;
    switch (button) {
        case UpgradeButton::Write5100Mcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Generic); break;
        case UpgradeButton::WriteN5kMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Qm5100); break;
        case UpgradeButton::Write1400Mcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Qm1400); break;
        case UpgradeButton::WriteNSlMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Slimline); break;
        case UpgradeButton::WritePrMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Named, "PR-60"); break;
        case UpgradeButton::WritePrmMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Named, "PRM"); break;
        case UpgradeButton::WriteVcMcu: outcome = upgrader.BootWriteText(TextLoader::Vc); break;
        case UpgradeButton::Write4Mcu: outcome = upgrader.BootWriteText(TextLoader::FourK); break;
        case UpgradeButton::Write2100Mcu: outcome = upgrader.BootWriteText(TextLoader::Model2100); break;
        case UpgradeButton::WriteSlMcu: outcome = upgrader.BootWriteText(TextLoader::Slimline); break;
        case UpgradeButton::WriteTi4Flash: outcome = upgrader.TiFlashWrite2300(kind); break;
        case UpgradeButton::ReadTi4Flash: outcome = upgrader.TiFlashRead2300(); break;
        case UpgradeButton::WriteSlFlash: outcome = upgrader.TiFlashWriteSlimline(kind); break;
        case UpgradeButton::ReadSlFlash: outcome = upgrader.TiFlashReadSlimline(); break;
        case UpgradeButton::WriteTi5Flash: outcome = upgrader.FlashTransfers().WriteFlash5100(kind); break;
        case UpgradeButton::ReadTi5Flash: outcome = upgrader.FlashTransfers().ReadFlash5100(); break;
        case UpgradeButton::Write1400Flash: outcome = upgrader.FlashTransfers().WriteFlash1400(kind); break;
        case UpgradeButton::Read1400Flash: outcome = upgrader.FlashTransfers().ReadFlash1400(); break;
        case UpgradeButton::RomBootWrite: outcome = upgrader.RomBootWrite(); break;
    }
    link.SetProgress(0);
    link.SetUserAbort(false);
    link.CloseLinkPort();
    return outcome;
}

UpgradeSteps UpgradeStepsFor(uint16_t modelCode) {
    UpgradeSteps steps;
    if (modelCode < 1000) return steps;
    steps.supported = true;
    steps.writesFlash = true;
    if (modelCode == 1080) {
        steps.program = UpgradeButton::WritePrMcu;
        steps.programError = "Write PR-60 MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi4Flash;
    } else if (modelCode == kModelPrm) {
        steps.program = UpgradeButton::WritePrmMcu;
        steps.programError = "Write PRM MCU Flash Data Error !";
        steps.writesFlash = false;
    } else if (Is2300Family(modelCode)) {
        steps.program = UpgradeButton::Write4Mcu;
        steps.programError = "Write 4 MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi4Flash;
    } else if (modelCode == kModelSlimline) {
        steps.program = UpgradeButton::WriteNSlMcu;
        steps.programError = "Write Slimline MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteSlFlash;
    } else {
        steps.program = UpgradeButton::WriteN5kMcu;
        steps.programError = "Write 5k MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi5Flash;
    }
    return steps;
}

// ---------------------------------------------------------------------------
// Backup

BackupResult BackupRemote(Upgrader& upgrader, uint16_t modelCode) {
    LinkEngine& link = upgrader.Link();
    TTiFlashFm& flash = upgrader.Flash();
    BackupResult result;
    auto imageBytes = [&] {
        auto img = flash.Image();
        result.bytes.assign(img.begin(), img.end());
    };
    auto finish = [&] {
        link.SetProgress(0);
        link.SetUserAbort(false);
        link.CloseLinkPort();
    };
    if (IsOlderModel(modelCode)) {
        std::vector<uint8_t> transfer;
        result.outcome = upgrader.FlashTransfers().BackupDownloadPackets(transfer);
        if (result.outcome.Ok()) result.bytes = std::move(transfer);
        if (!result.outcome.Ok())
            result.reports.push_back(result.outcome.kind == TransferResult::Broken
                                         ? LinkReport{"Download transfer broken !", MsgIcon::Information}
                                         : LinkReport{"Download Flash Data Error !", MsgIcon::Error});
        return result;
    }
    if (Is2300Family(modelCode) || modelCode == kModelSlimline) {
        const bool slim = modelCode == kModelSlimline;
        flash.SelectModel(slim ? kSelector5100 : kSelector2300);
        if (!link.EnsureLinkPort()) {
            result.outcome = TransferOutcome::Of(TransferResult::NoPort);
            finish();
            return result;
        }
        link.View().ProgressRange(GaugeMaximum(slim ? UpgradeButton::ReadSlFlash : UpgradeButton::ReadTi4Flash, kKindWhole));
        result.outcome = slim ? upgrader.TiFlashReadSlimline() : upgrader.TiFlashRead2300();
        if (!result.outcome.message.empty()) result.reports.push_back({result.outcome.message, result.outcome.icon});
        if (result.outcome.Ok()) {
            imageBytes();
            if (!slim) result.reports.push_back({"Download Flash Data Ok !", MsgIcon::Information});
        } else if (result.outcome.kind == TransferResult::Broken) {
            result.reports.push_back({"Download transfer broken !", MsgIcon::Information});
        } else {
            result.reports.push_back(
                {slim ? "Download Slimline Flash Data Error !" : "Download Flash Data Error !", MsgIcon::Error});
        }
        finish();
        return result;
    }
    result.outcome = upgrader.FlashTransfers().BackupDownload5100();
    result.reports = Backup5100Reports(result.outcome);
    if (result.outcome.Ok()) imageBytes();
    return result;
}

}  // namespace orvalink
