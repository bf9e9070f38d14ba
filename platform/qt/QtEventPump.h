// The event pump over Qt's event loop: a wait runs the loop (blocked in the
// event dispatcher, so it costs no CPU) until its condition holds or its timer
// ends it. The tick count is a monotonic millisecond clock.
#pragma once

#include <QElapsedTimer>

#include "platform/EventPump.h"

namespace orvalink {

class QtEventPump final : public EventPump {
public:
    QtEventPump() { clock_.start(); }
    uint32_t TickCount() const override { return uint32_t(clock_.elapsed()); }
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override;
    // Whether a link exchange is waiting in here now.
    bool Waiting() const { return depth_ > 0; }

private:
    QElapsedTimer clock_;
    int depth_ = 0;
};

}  // namespace orvalink
