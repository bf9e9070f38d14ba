// The binary boot loader: eight-byte frames (0xAF identify, 0xA7 enter,
// 0xA8 erase, 0xA9 page, 0xAA finish), each answered with one byte.
#include <cctype>

#include "base/ByteIo.h"
#include "link/Upgrade.h"
#include "link/UpgradeParts.h"

namespace orvalink {

using namespace upgrade_parts;

namespace {

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
constexpr uint32_t kWakeSettleMs = 5;
constexpr uint32_t kWakeGapMs = 10;

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

// A one-byte answer: 'A' takes, anything else refuses.
PageAnswer ByteAnswer(LinkChannel& ch) {
    uint8_t reply = 0;
    if (!ch.RecvReply(reply)) return PageAnswer::None;
    return reply == kAccept ? PageAnswer::Taken : PageAnswer::Refused;
}

}  // namespace

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

    // Program the pages: announce each, then send it until it is taken.
    for (int p = 0; p < spec.pages; ++p) {
        const ProgramPage page = MakeProgramPage(mcu, p);
        const bool written = WriteProgramPage(
            ch,
            [&] {
                link_.Blocks().SendFrame(BlockFrame(kCmdBootPage, uint16_t(p), 0));
                return ByteAnswer(ch);
            },
            [&] {
                ch.SendBytes(page.data);
                return ByteAnswer(ch);
            });
        if (!written) return false;
        link_.SetProgress(p);
    }

    // Finish with the program's checksum.
    link_.Blocks().SendFrame(BlockFrame(kCmdBootFinish, programSum, 0));
    uint8_t reply = 0;
    return ch.RecvReply(reply) && reply == kAccept;
}

}  // namespace orvalink
