#include "tools/cli/CancelSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace orvalink {

namespace {

// What the handler may touch: a flag and the pipe's writing end.
volatile sig_atomic_t gSignal = 0;
volatile sig_atomic_t gWakeFd = -1;

struct sigaction gOldInt, gOldTerm;

extern "C" void OnCancelSignal(int number) {
    const int saved = errno;
    gSignal = number;
    if (gWakeFd >= 0) {
        const char byte = 1;
        // A full pipe already wakes every wait; the byte may be dropped.
        [[maybe_unused]] const ssize_t n = ::write(gWakeFd, &byte, 1);
    }
    errno = saved;
}

}  // namespace

CancelSignals::CancelSignals() {
    gSignal = 0;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        gWakeFd = fds[1];
    }
    struct sigaction action {};
    action.sa_handler = OnCancelSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a blocking call returns with EINTR
    ::sigaction(SIGINT, &action, &gOldInt);
    ::sigaction(SIGTERM, &action, &gOldTerm);
}

CancelSignals::~CancelSignals() {
    ::sigaction(SIGINT, &gOldInt, nullptr);
    ::sigaction(SIGTERM, &gOldTerm, nullptr);
    const int writeFd = gWakeFd;
    gWakeFd = -1;
    if (writeFd >= 0) ::close(writeFd);
    if (readFd_ >= 0) ::close(readFd_);
}

bool CancelSignals::Cancelled() const { return gSignal != 0; }

int CancelSignals::ExitStatus() const { return 128 + int(gSignal); }

std::string CancelSignals::Text() const {
    return std::string("orvalink-cli: cancelled (") + (gSignal == SIGTERM ? "SIGTERM" : "SIGINT") + ")";
}

void CancelSignals::Drain() {
    if (readFd_ < 0) return;
    char buffer[64];
    while (::read(readFd_, buffer, sizeof buffer) > 0) {
    }
}

}  // namespace orvalink
