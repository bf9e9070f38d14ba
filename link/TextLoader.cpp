// The text boot loader: the words "RESTART", "ERASE", "WRITE" and
// "COMPLETE", answered with "FINISH", "FAIL", "ERROR" or "CONTINUE".
#include "base/ByteIo.h"
#include "link/Upgrade.h"
#include "link/UpgradeParts.h"

namespace orvalink {

using namespace upgrade_parts;

namespace {

// The text boot loader's answers.
enum ReplyWordValue { kNoWord = 0, kFinish = 1, kFail = 2, kError = 3, kContinue = 4 };
constexpr uint32_t kReplyWordWaitMs = 60 * 12;  // 60 polls, 12 ms apart
// The pause at 2400 bit/s before the wake word of a repeated "RESTART".
constexpr uint32_t kRewakeSettleMs = 50;
// The VC loader's page sum arrives within this time.
constexpr uint32_t kSumWordWaitMs = 1000;
// The pause before every "COMPLETE" but the first.
constexpr uint32_t kCompleteGapMs = 10;

// The 2300 family's wake word in the upgrade flow: 0xA0 'P' 'B'.
constexpr std::string_view kWakeFourK{"\xA0" "PB", 3};

}  // namespace

TextLoaderSpec TextLoaderSpecOf(TextLoader member) {
    // pages, wake word, settle ms, RESTARTs, ERASEs, ms between ERASEs, COMPLETEs, page answer
    switch (member) {
        case TextLoader::Vc: return {kPagesText, "PB", 100, 4, 3, 0, 5, TextPageAck::SumWord};
        case TextLoader::FourK: return {kPagesText, kWakeFourK, 180, 10, 3, 0, 5, TextPageAck::Finish};
        case TextLoader::Model2100: return {kPagesText, "PB", 180, 4, 3, 0, 5, TextPageAck::Finish};
        case TextLoader::Slimline: return {kPages5100, "PB", 180, 10, 3, 50, 5, TextPageAck::Finish};
    }
    return {0, {}, 0, 0, 0, 0, 0, TextPageAck::Finish};
}

int TextLoaderPages(TextLoader member) { return TextLoaderSpecOf(member).pages; }

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
    const TextLoaderSpec spec = TextLoaderSpecOf(member);
    const auto& mcu = buffers_.mcu;
    if (mcu.size() < size_t(spec.pages) * kMcuPageBytes) return false;

    auto say = [&](std::string_view word) {
        link_.Expect(ReceiveMode::Text8);
        ch.SendBytes(Bytes(word));
        return ReplyWord();
    };

    // Restart the loader.
    int word = kNoWord;
    for (int attempt = 0; attempt < spec.restartAttempts && word == kNoWord; ++attempt) {
        if (link_.UserAbort()) return false;
        if (attempt > 0) {
            if (!link_.OpenLinkPortAt(2400)) return false;
            link_.WaitTicks(kRewakeSettleMs);
            ch.SendBytes(Bytes(spec.wake));
        }
        if (!link_.OpenLinkPortAt(115200)) return false;
        link_.WaitTicks(spec.settleMs);
        if (is95) {
            link_.Port().FlushOutput();
            link_.Port().FlushInput();
        }
        word = say("RESTART");
    }
    if (word != kFinish) return false;

    // Erase.
    bool erased = false;
    for (int i = 0; i < spec.eraseTries && !erased; ++i) {
        if (ch.ShouldStop()) return false;
        if (i > 0 && spec.eraseGapMs > 0) link_.WaitTicks(spec.eraseGapMs);
        erased = say("ERASE") == kFinish;
    }
    if (!erased) return false;

    // Program the pages: "WRITE" until the loader says "CONTINUE", then the
    // page until it is taken.
    auto wordAnswer = [](int answer, int taken) {
        if (answer == kNoWord) return PageAnswer::None;
        return answer == taken ? PageAnswer::Taken : PageAnswer::Refused;
    };
    for (int p = 0; p < spec.pages; ++p) {
        const ProgramPage page = MakeProgramPage(mcu, p);
        auto send = [&] {
            if (spec.ack == TextPageAck::SumWord) {
                link_.Expect(ReceiveMode::Word2);
                ch.SendBytes(page.data);
                if (!ch.WaitAndTake(kSumWordWaitMs)) return PageAnswer::None;
                const auto f = link_.Receiver().Frame();
                return uint16_t(f[0] | f[1] << 8) == page.sum ? PageAnswer::Taken : PageAnswer::Refused;
            }
            link_.Expect(ReceiveMode::Text8);
            ch.SendBytes(page.data);
            return wordAnswer(ReplyWord(), kFinish);
        };
        if (!WriteProgramPage(ch, [&] { return wordAnswer(say("WRITE"), kContinue); }, send)) return false;
        link_.SetProgress(p);
    }

    // Complete.
    for (int i = 0; i < spec.completeTries; ++i) {
        if (i > 0) link_.WaitTicks(kCompleteGapMs);
        if (say("COMPLETE") == kFinish) return true;
        if (link_.UserAbort()) return false;
    }
    return false;
}

}  // namespace orvalink
