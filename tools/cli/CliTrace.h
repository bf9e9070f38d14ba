// --trace FILE of the commands that open the link, and the trace command
// that reads such a file back.
#pragma once

#include <string>
#include <vector>

#include "link/LinkTrace.h"
#include "platform/Clock.h"

namespace orvalink {

// A recording of one command's link conversation into a file.
class CliTrace {
public:
    // Starts recording into `path` (written beside it, renamed when the
    // command ends); prints why not and returns false.
    bool Begin(const std::string& path);
    // What the link engine records into; nothing is recorded before Begin.
    LinkTrace& Recorder() { return recorder_; }
    // Ends the recording and puts it at its file. Takes the command's exit
    // status and gives it back; a trace that cannot be written turns a
    // success into 1.
    int End(int status);

private:
    SystemClock clock_;
    LinkTraceRecorder recorder_{clock_};
    TraceFile file_;
    std::string path_;
};

// trace FILE: the recorded conversation as readable lines and a summary.
int TraceCommand(const std::vector<std::string>& args);

}  // namespace orvalink
