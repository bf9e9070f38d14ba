// Ctrl+C (SIGINT) and SIGTERM as the user's Cancel of a long command
// (download, upload, upgrade, backup, fetch): the handler only notes the
// signal and writes one byte to a pipe; the waits watch the pipe (the poll()
// pump through CancelWatch, libcurl through its wake-up descriptor), wake,
// and the command stops at its next check as the window's Cancel makes it
// stop: the system's words, the link closed, nothing written, temporary
// folders removed, and the exit status 128 + the signal's number.
//
// The signal's note and the pipe are the process's own (a signal handler
// reaches nothing else); one CancelSignals exists at a time, made by the
// command and handed down to what waits.
#pragma once

#include <functional>
#include <string>

namespace orvalink {

class CancelSignals {
public:
    CancelSignals();
    ~CancelSignals();  // the previous handlers come back
    CancelSignals(const CancelSignals&) = delete;
    CancelSignals& operator=(const CancelSignals&) = delete;

    // Whether SIGINT or SIGTERM came.
    bool Cancelled() const;
    // 130 after SIGINT, 143 after SIGTERM.
    int ExitStatus() const;
    // The line the command ends with: "orvalink-cli: cancelled (SIGINT)".
    std::string Text() const;
    // Readable once a signal came; -1 when no pipe could be made.
    int WakeFd() const { return readFd_; }
    // Empties the pipe (the flag stays), so a wait does not wake again.
    void Drain();

private:
    int readFd_ = -1;
};

}  // namespace orvalink
