// The loop-back test of the test jig (MX-1090): a plug that sends every byte
// straight back. 1024 random bytes go out at 38400 bit/s; the window's
// timer (every 1500 ms) then asks whether the echo is in.
//
// Our rule: the port stays open until the echo is in (or the test gives
// up), and all 1024 bytes sent are compared with the bytes that came back,
// in order. A tick finds the echo in when 1024 bytes have come back and none
// still waits in the port; otherwise it counts, and the third counted tick
// ends the test: nothing back at all is "no loop", a short or long echo is
// a data error like a changed byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/LinkEngine.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/UiServices.h"

namespace orvalink {

inline constexpr size_t kLoopBytes = 1024;
inline constexpr uint32_t kLoopTickMs = 1500;
inline constexpr int kLoopTicksAllowed = 3;
inline constexpr int kLoopRate = 38400;

// The result boxes (their texts are traditional Chinese).
inline constexpr char kLoopNoLoopText[] = "\xE8\xBF\xB4\xE8\xB7\xAF\xE4\xB8\x8D\xE9\x80\x9A !";     // 迴路不通 !
inline constexpr char kLoopPassedText[] = "\xE8\xBF\xB4\xE8\xB7\xAF\xE6\xAD\xA3\xE5\xB8\xB8 !";     // 迴路正常 !
inline constexpr char kLoopDataErrorText[] = "\xE8\xB3\x87\xE6\x96\x99\xE9\x8C\xAF\xE8\xAA\xA4 !";  // 資料錯誤 !
inline constexpr char kLoopSendLog[] = "Start Send Test Rs232... \n";
inline constexpr char kLoopReceiveLog[] = "End Receive Test Rs232... \n";

enum class LoopState {
    Idle,       // no test running
    Waiting,    // the echo is not in yet
    NoLoop,     // nothing came back by the third tick
    Passed,     // the echo equals what was sent
    DataError,  // the echo differs (a byte changed, missing or extra)
};

// The box a finished test shows (empty text for Idle and Waiting).
struct LoopVerdict {
    std::string text;
    MsgIcon icon = MsgIcon::None;
};
LoopVerdict VerdictOf(LoopState state);

// Whether `echo` is exactly `sent`.
bool EchoMatches(std::span<const uint8_t> sent, std::span<const uint8_t> echo);

class LoopbackTest {
public:
    LoopbackTest(LinkEngine& link, Random& random, Clock& clock) : link_(link), random_(random), clock_(clock) {}

    // Finds and opens the port at 38400 bit/s, empties it, listens for the
    // echo and sends the 1024 bytes. False when there is no port (the
    // search has said so) or it will not open; nothing runs then.
    // `sentHex` gets the log line and every byte as "%02X ".
    bool Start(std::string& sentHex);
    // One tick of the window's timer.
    LoopState Tick();
    bool Running() const { return running_; }
    int Ticks() const { return ticks_; }

    std::span<const uint8_t> SendArea() const { return send_; }
    // What has come back so far (at most kLoopBytes are compared).
    std::span<const uint8_t> Echo() const;
    // The echo as "%02X " text.
    std::string EchoHex() const;

private:
    LoopState Finish(LoopState state);

    LinkEngine& link_;
    Random& random_;
    Clock& clock_;
    std::array<uint8_t, kLoopBytes> send_{};
    bool running_ = false;
    int ticks_ = 0;
};

}  // namespace orvalink
