// The poll() pump's watch on the signal pipe of CancelSignals: when a signal
// came, the pipe is emptied and the link is told as the window's Cancel
// tells it, so the running exchange stops at its next check.
#pragma once

#include <poll.h>

#include <functional>
#include <utility>

#include "platform/linux/PollEventPump.h"
#include "tools/cli/CancelSignals.h"

namespace orvalink {

class CancelWatch final : public PollSource {
public:
    CancelWatch(CancelSignals& signals, PollEventPump& pump, std::function<void()> onCancel)
        : signals_(signals), pump_(pump), onCancel_(std::move(onCancel)) {
        pump_.Watch(this);
    }
    ~CancelWatch() override { pump_.Unwatch(this); }
    CancelWatch(const CancelWatch&) = delete;
    CancelWatch& operator=(const CancelWatch&) = delete;

    int PollFd() const override { return signals_.WakeFd(); }
    short PollEvents() const override { return POLLIN; }
    void OnPoll(short) override {
        signals_.Drain();
        if (signals_.Cancelled() && onCancel_) onCancel_();
    }

private:
    CancelSignals& signals_;
    PollEventPump& pump_;
    std::function<void()> onCancel_;
};

}  // namespace orvalink
