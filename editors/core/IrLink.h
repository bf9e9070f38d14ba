// The IR learn and send exchanges as the key property editor uses them, and
// the order in which it drives them: learning rounds until it is told to
// stop, and a shot that is pressed and released.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "image/IrWaveform.h"
#include "image/LearnedCodes.h"

namespace orvalink {

class IrLink {
public:
    virtual ~IrLink() = default;
    virtual bool IrLearnStart() = 0;
    // One round: the remote's 'B', then the 512-byte code and its Sum16. The
    // wait for the 'B' ends early, without a code, once stop() holds.
    virtual bool IrLearnReceive(LearnedCode& code, const std::function<bool()>& stop) = 0;
    virtual void IrStop() = 0;
    virtual bool IrSendStart() = 0;
    // The 512 bytes and their Sum16 as one write, one reply byte, then 'B'.
    virtual bool IrSendCode(std::span<const uint8_t> code512) = 0;
    // 'B'; when no reply comes within 500 ms, 'B' once more.
    virtual void IrSendRelease() = 0;
};

// Shooting a code: the release sends only after a press whose start the
// remote accepted. A press waits for the remote's replies, and the button may
// be let go meanwhile (a quick click): that release is kept and sent as soon
// as the press is through, so the remote never goes on sending.
class IrShot {
public:
    explicit IrShot(IrLink& link) : link_(link) {}
    // False when the remote did not take the send command.
    bool Press(const LearnedCode& send);
    // False when there was no press to release (nor one under way).
    bool Release();
    bool Pressed() const { return pressed_; }

private:
    IrLink& link_;
    bool pressed_ = false;
    bool pressing_ = false;
    bool releaseDue_ = false;
};

// "RC-5", "RC-6", "Pulse" or "Normal" for the code type.
std::string CodeTypeText(int codeType);
// The carrier in kHz of a carrier byte (0.2 us units) as "%.02f " cut to
// 7 characters; empty for 0.
std::string CarrierText(uint8_t carrierByte);

// The points of the waveform chart: for each (mark, space) pair a point at
// the running time with level 1, the time grows by the mark, a point with
// level 0, then the time grows by the space. Labels carry the pair number
// and the duration in "%04X" form.
struct WavePoint {
    double time = 0;
    int level = 0;
    int pair = 0;
    std::string label;
};
std::vector<WavePoint> WaveformPoints(const std::vector<IrPulse>& pulses);

}  // namespace orvalink
