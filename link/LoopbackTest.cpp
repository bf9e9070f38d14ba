#include "link/LoopbackTest.h"

#include <algorithm>
#include <cstdio>

namespace orvalink {

LoopVerdict VerdictOf(LoopState state) {
    switch (state) {
        case LoopState::NoLoop: return {kLoopNoLoopText, MsgIcon::Error};
        case LoopState::Passed: return {kLoopPassedText, MsgIcon::Information};
        case LoopState::DataError: return {kLoopDataErrorText, MsgIcon::Warning};
        case LoopState::Idle:
        case LoopState::Waiting: break;
    }
    return {};
}

bool EchoMatches(std::span<const uint8_t> sent, std::span<const uint8_t> echo) {
    return sent.size() == echo.size() && std::equal(sent.begin(), sent.end(), echo.begin());
}

namespace {
void AppendHex(std::string& text, uint8_t b) {
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", b);
    text += hex;
}
}  // namespace

bool LoopbackTest::Start(std::string& sentHex) {
    ticks_ = 0;
    running_ = false;
    if (!link_.EnsureLinkPort()) return false;
    if (!link_.OpenLinkPortAt(kLoopRate)) return false;
    running_ = true;
    link_.Port().FlushOutput();
    link_.Port().FlushInput();
    // Everything that comes back is kept in the assembly: the test frame mode
    // hands its first 994 bytes to the page and keeps collecting after them.
    link_.Expect(ReceiveMode::TestFrame994);
    link_.WaitTicks(200);
    link_.ResetAssembly();

    sentHex = kLoopSendLog;
    sentHex.reserve(sentHex.size() + 3 * kLoopBytes);
    random_.Seed(uint64_t(clock_.NowSeconds()));
    for (size_t i = 0; i < kLoopBytes; ++i) {
        send_[i] = uint8_t(random_.Next() % 255);  // 0..254
        link_.Channel().SendByte(send_[i]);
        AppendHex(sentHex, send_[i]);
        // The port's events (and the echo) are taken in now and then.
        if (i % 5 == 4) link_.Pump().PumpUntil([] { return false; }, 0);
    }
    return true;
}

std::span<const uint8_t> LoopbackTest::Echo() const {
    const auto all = link_.Receiver().Assembled();
    return all.first(std::min(all.size(), kLoopBytes + 1));  // one extra byte shows a long echo
}

std::string LoopbackTest::EchoHex() const {
    std::string text;
    for (uint8_t b : Echo()) AppendHex(text, b);
    return text;
}

LoopState LoopbackTest::Tick() {
    if (!running_) return LoopState::Idle;
    const size_t back = link_.Receiver().AssemblyLength();
    const bool echoIn = back >= kLoopBytes && link_.Port().InputCount() == 0;
    if (!echoIn) {
        ++ticks_;
        if (ticks_ < kLoopTicksAllowed) return LoopState::Waiting;
        if (back == 0) return Finish(LoopState::NoLoop);
    }
    return Finish(EchoMatches(send_, Echo()) ? LoopState::Passed : LoopState::DataError);
}

LoopState LoopbackTest::Finish(LoopState state) {
    running_ = false;
    link_.SetReceiveMode(ReceiveMode::None);
    link_.CloseLinkPort();
    return state;
}

}  // namespace orvalink
