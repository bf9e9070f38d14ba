#include "platform/linux/PollEventPump.h"

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace orvalink {

PollEventPump::PollEventPump() { startMs_ = NowMs(); }

uint64_t PollEventPump::NowMs() const {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

uint32_t PollEventPump::TickCount() const { return uint32_t(NowMs() - startMs_); }

void PollEventPump::Watch(PollSource* source) {
    if (source && std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void PollEventPump::Unwatch(PollSource* source) {
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

bool PollEventPump::PumpUntil(const std::function<bool()>& done, uint32_t timeoutMs) {
    if (done()) return true;
    const uint64_t deadline = NowMs() + timeoutMs;
    std::vector<pollfd> fds;
    std::vector<PollSource*> owners;
    for (;;) {
        const uint64_t now = NowMs();
        if (now >= deadline) return done();
        const uint64_t left = deadline - now;
        fds.clear();
        owners.clear();
        for (PollSource* s : sources_) {
            const int fd = s->PollFd();
            if (fd < 0) continue;
            fds.push_back(pollfd{fd, s->PollEvents(), 0});
            owners.push_back(s);
        }
        // Sleeps until a descriptor has something or the deadline passes.
        const int n = ::poll(fds.empty() ? nullptr : fds.data(), nfds_t(fds.size()),
                             int(std::min<uint64_t>(left, uint64_t(INT_MAX))));
        if (n < 0 && errno != EINTR) return done();
        if (n > 0) {
            for (size_t i = 0; i < fds.size(); ++i)
                if (fds[i].revents != 0) owners[i]->OnPoll(fds[i].revents);
        }
        if (done()) return true;
    }
}

}  // namespace orvalink
