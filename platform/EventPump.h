// Waiting without blocking the user interface: "run the event loop until this
// holds or so many milliseconds have passed", and the millisecond tick count.
//
// All link waits are built on PumpUntil, so the serial port's data-available
// event, the Cancel button and the device-change handler run while an exchange
// waits. The windows' pump is a nested event loop with a timer, the command
// line's a poll() on the port (platform/linux/PollEventPump); neither spends
// CPU while nothing happens. The tests use VirtualEventPump, whose clock
// jumps from one simulated event to the next.
#pragma once

#include <cstdint>
#include <functional>

namespace orvalink {

class EventPump {
public:
    virtual ~EventPump() = default;

    // Milliseconds since an arbitrary start; wraps like a 32-bit tick count.
    virtual uint32_t TickCount() const = 0;

    // Runs the event loop until done() holds (true) or timeoutMs milliseconds
    // have passed (false). done() is checked first, so a condition that
    // already holds returns at once; it is checked again after every event.
    virtual bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) = 0;

    // Runs the event loop for at least ms milliseconds; returns the time waited.
    uint32_t WaitTicks(uint32_t ms) {
        uint32_t start = TickCount();
        PumpUntil([] { return false; }, ms);
        return TickCount() - start;
    }
};

}  // namespace orvalink
