// A recorded link trace (link/LinkTrace.h) read back for a person: one line
// a frame, with the time since the recording began, who spoke, what the
// frame was, how many bytes it took and how long the remote took to start
// answering; faults are marked ("** CHECKSUM FAULT **", "** REFUSED **",
// "** RETRY **", "** TIME-OUT **"). Bytes no frame record claims are shown
// as data. Then a summary: blocks moved, retries, refusals, time-outs and
// the slowest turnaround.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

struct TraceSummary {
    int blocksSent = 0;        // block writes, attempts included
    int blocksReceived = 0;    // block reads judged good
    int checksumFaults = 0;    // blocks and IR codes read with a wrong checksum
    int retries = 0;           // block writes after the first attempt
    int refusals = 0;          // 'C' said by either side
    int timeouts = 0;
    uint64_t bytesSent = 0;
    uint64_t bytesReceived = 0;
    // The longest time from the last byte sent to the first byte of the
    // answer, and the answer it was.
    uint64_t slowestMicros = 0;
    uint64_t slowestAtMicros = 0;  // since the recording began
    std::string slowestFrame;
};

struct TraceReading {
    bool ok = false;
    std::string error;  // why not, with the line number
    std::vector<std::string> lines;
    TraceSummary summary;
};

// Reads a whole trace file's text.
TraceReading ReadLinkTrace(std::string_view text);

// The summary as "key: value" lines.
std::vector<std::string> TraceSummaryLines(const TraceSummary& summary);

}  // namespace orvalink
