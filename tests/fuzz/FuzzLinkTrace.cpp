// Link traces both ways. Random text through the trace reader: nothing may
// be read outside the input, and what it accepts must add up (every counted
// frame has its line). And random records through the recorder: whatever
// the recorder writes, the reader must read, with every frame on a line and
// every byte counted.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/ByteIo.h"
#include "link/LinkTrace.h"
#include "link/LinkTraceReport.h"

using namespace orvalink;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

class SteppingClock final : public MonotonicClock {
public:
    uint64_t MonotonicMicros() const override { return now_ += 37; }

private:
    mutable uint64_t now_ = 1'000'000;
};

void ReadText(std::string_view text) {
    const TraceReading r = ReadLinkTrace(text);
    if (!r.ok) {
        Check(!r.error.empty());
        Check(r.lines.empty() || r.error.rfind("line ", 0) == 0);
        return;
    }
    const TraceSummary& s = r.summary;
    Check(uint64_t(s.blocksSent + s.blocksReceived + s.checksumFaults + s.refusals + s.timeouts) <= r.lines.size());
    Check(s.retries <= s.blocksSent);
    Check(s.bytesSent + s.bytesReceived <= text.size() / 3);
    Check(!TraceSummaryLines(s).empty());
}

// Records made from the input: a byte chooses what, the next ones fill it.
void RoundTrip(const uint8_t* data, size_t size) {
    SteppingClock clock;
    LinkTraceRecorder recorder(clock);
    TraceMemory memory(size_t(1) << 24);
    recorder.AddSink(memory);
    ByteReader in(data, size);
    uint64_t sent = 0, received = 0;
    int frames = 0;
    while (in.ok() && in.remaining() > 0) {
        const uint8_t op = in.U8();
        if (op % 4 == 0) {
            const size_t want = 1 + size_t(in.U8() % 32);
            const size_t n = std::min(want, in.remaining());
            if (!in.ok() || n == 0) break;
            const auto bytes = in.View(n);
            if (!in.ok()) break;
            const bool out = op & 4;
            recorder.Bytes(out ? TraceDirection::Sent : TraceDirection::Received, bytes);
            (out ? sent : received) += bytes.size();
            continue;
        }
        TraceFrame f;
        f.kind = TraceKind(in.U8() % (int(TraceKind::Packet) + 1));
        f.direction = f.kind == TraceKind::PortOpen || f.kind == TraceKind::PortClose
                          ? TraceDirection::Port
                          : (op & 8 ? TraceDirection::Sent : TraceDirection::Received);
        f.code = in.U8();
        f.number = int32_t(in.U16()) - 1;
        f.value = in.U32();
        f.sum = in.U32();
        f.expected = in.U32();
        f.wideSum = op & 16;
        f.attempt = op >> 5;
        f.good = op & 2;
        f.what = op & 1 ? "reply" : "block";
        for (auto& b : f.command) b = in.U8();
        if (!in.ok()) break;
        if (f.kind == TraceKind::PortOpen && f.number < 0) f.number = 300;
        recorder.Frame(f);
        ++frames;
    }
    const TraceReading r = ReadLinkTrace(memory.Text());
    Check(r.ok);
    Check(r.summary.bytesSent == sent && r.summary.bytesReceived == received);
    Check(r.lines.size() >= size_t(frames));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) RoundTrip(data + 1, size - 1);
    else ReadText(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    return 0;
}
