// Test double of the event pump: a virtual clock that jumps from one
// simulated event to the next. Simulated devices (a cable with a remote on
// its far end) attach to it and are stepped while link code waits, so a
// three-second time-out costs no real time at all.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "platform/Clock.h"
#include "platform/EventPump.h"

namespace orvalink {

// Something that acts by itself as time goes on.
class SimulatedDevice {
public:
    virtual ~SimulatedDevice() = default;
    // Microseconds of the next thing it will do; kNever when it waits for input.
    virtual uint64_t NextEventMicros() const = 0;
    // Do everything due up to and including nowMicros.
    virtual void RunUntil(uint64_t nowMicros) = 0;
    static constexpr uint64_t kNever = UINT64_MAX;
};

class VirtualEventPump final : public EventPump, public MonotonicClock {
public:
    uint64_t MonotonicMicros() const override { return nowMicros_; }
    uint32_t TickCount() const override { return uint32_t(nowMicros_ / 1000); }
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override;

    void Attach(SimulatedDevice* device) { devices_.push_back(device); }
    void Detach(SimulatedDevice* device);

    // Runs action once the clock reaches now + delayMs (during a pump).
    void Schedule(uint32_t delayMs, std::function<void()> action);
    uint64_t NowMicros() const { return nowMicros_; }
    // Lets time pass outside any wait (devices run, handlers fire).
    void Advance(uint32_t ms) { PumpUntil([] { return false; }, ms); }

    // How many pump calls and steps happened (for tests of "waits never spin").
    uint64_t PumpCalls() const { return pumpCalls_; }
    uint64_t Steps() const { return steps_; }

private:
    void RunDue();

    uint64_t nowMicros_ = 1'000'000;  // start a second in, so tick 0 is never "now"
    std::vector<SimulatedDevice*> devices_;
    std::multimap<uint64_t, std::function<void()>> scheduled_;
    uint64_t pumpCalls_ = 0;
    uint64_t steps_ = 0;
};

}  // namespace orvalink
