// An EventPump without a toolkit: the waits sleep in poll() on the file
// descriptors of the sources it watches (the link port) until one of them
// has something or the deadline passes, and hand what happened to the
// source. With nothing to watch, a wait simply sleeps to its deadline.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/EventPump.h"

namespace orvalink {

// Something with a file descriptor the pump waits on.
class PollSource {
public:
    virtual ~PollSource() = default;
    // The descriptor to wait on; -1 while there is none (a closed port).
    virtual int PollFd() const = 0;
    // The poll() events it waits for (POLLIN, and POLLOUT while bytes wait to leave).
    virtual short PollEvents() const = 0;
    // What poll() reported for it.
    virtual void OnPoll(short revents) = 0;
};

class PollEventPump final : public EventPump {
public:
    PollEventPump();

    // The pump keeps the pointer; Unwatch before the source goes.
    void Watch(PollSource* source);
    void Unwatch(PollSource* source);

    uint32_t TickCount() const override;
    bool PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) override;

private:
    uint64_t NowMs() const;

    std::vector<PollSource*> sources_;
    uint64_t startMs_ = 0;
};

}  // namespace orvalink
