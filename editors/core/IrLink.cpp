#include "editors/core/IrLink.h"

#include <cstdio>

namespace orvalink {

bool IrShot::Press(const LearnedCode& send) {
    if (pressing_) return false;
    pressed_ = false;
    releaseDue_ = false;
    pressing_ = true;
    const bool started = link_.IrSendStart();
    if (started) link_.IrSendCode(send);
    pressing_ = false;
    if (!started) return false;
    pressed_ = true;
    if (releaseDue_) Release();
    return true;
}

bool IrShot::Release() {
    if (pressing_) {
        releaseDue_ = true;
        return true;
    }
    if (!pressed_) return false;
    pressed_ = false;
    releaseDue_ = false;
    link_.IrSendRelease();
    return true;
}

std::string CodeTypeText(int codeType) {
    switch (codeType) {
        case 1: return "RC-5";
        case 2: return "RC-6";
        case 3: return "Pulse";
        default: return "Normal";
    }
}

std::string CarrierText(uint8_t carrierByte) {
    if (carrierByte == 0) return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.02f ", 5000.0 / carrierByte);
    return std::string(text).substr(0, 7);
}

std::vector<WavePoint> WaveformPoints(const std::vector<IrPulse>& pulses) {
    std::vector<WavePoint> out;
    double t = 0;
    char text[32];
    for (size_t i = 0; i < pulses.size(); ++i) {
        const int pair = int(i) + 1;
        std::snprintf(text, sizeof text, "%d:%04X", pair, unsigned(pulses[i].mark));
        out.push_back({t, 1, pair, text});
        t += pulses[i].mark;
        std::snprintf(text, sizeof text, "%d:%04X", pair, unsigned(pulses[i].space));
        out.push_back({t, 0, pair, text});
        t += pulses[i].space;
    }
    return out;
}

}  // namespace orvalink
