#include "platform/doubles/VirtualEventPump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace orvalink {

void VirtualEventPump::Detach(SimulatedDevice* device) {
    devices_.erase(std::remove(devices_.begin(), devices_.end(), device), devices_.end());
}

void VirtualEventPump::Schedule(uint32_t delayMs, std::function<void()> action) {
    scheduled_.emplace(nowMicros_ + uint64_t(delayMs) * 1000, std::move(action));
}

void VirtualEventPump::RunDue() {
    // Devices may schedule or deliver further events for the same instant.
    for (int round = 0; round < 64; ++round) {
        bool any = false;
        for (size_t i = 0; i < devices_.size(); ++i) {
            if (devices_[i]->NextEventMicros() <= nowMicros_) {
                devices_[i]->RunUntil(nowMicros_);
                any = true;
            }
        }
        while (!scheduled_.empty() && scheduled_.begin()->first <= nowMicros_) {
            auto action = std::move(scheduled_.begin()->second);
            scheduled_.erase(scheduled_.begin());
            action();
            any = true;
        }
        if (!any) return;
        ++steps_;
    }
}

bool VirtualEventPump::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    ++pumpCalls_;
    const uint64_t deadline = nowMicros_ + uint64_t(timeoutMs) * 1000;
    RunDue();
    uint64_t guard = 0;
    while (true) {
        if (done()) return true;
        if (nowMicros_ >= deadline) return false;
        uint64_t next = deadline;
        for (auto* d : devices_) next = std::min(next, d->NextEventMicros());
        if (!scheduled_.empty()) next = std::min(next, scheduled_.begin()->first);
        nowMicros_ = std::max(nowMicros_ + (next <= nowMicros_ ? 1 : 0), next);
        RunDue();
        if (++guard > 50'000'000) {
            std::fprintf(stderr, "VirtualEventPump: a simulated device never settles\n");
            std::abort();
        }
    }
}

}  // namespace orvalink
