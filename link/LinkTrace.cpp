#include "link/LinkTrace.h"

#include <algorithm>
#include <cstdio>

namespace orvalink {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// A file recording gathers this much text before it appends it.
constexpr size_t kFileChunk = size_t(64) << 10;

void AppendHex(std::string& out, uint32_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

void AppendNumber(std::string& out, const char* key, long long value) {
    char text[32];
    std::snprintf(text, sizeof text, " %s=%lld", key, value);
    out += text;
}

void AppendSum(std::string& out, const char* key, uint32_t sum, bool wide) {
    out += ' ';
    out += key;
    out += '=';
    AppendHex(out, sum, wide ? 8 : 4);
}

char DirectionChar(TraceDirection direction) {
    switch (direction) {
    case TraceDirection::Sent: return '>';
    case TraceDirection::Received: return '<';
    case TraceDirection::Port: return '=';
    }
    return '?';
}

void AppendFrame(std::string& out, const TraceFrame& f) {
    switch (f.kind) {
    case TraceKind::PortOpen:
        out += "open";
        AppendNumber(out, "rate", f.number);
        return;
    case TraceKind::PortClose: out += "close"; return;
    case TraceKind::Wake: out += "wake"; return;
    case TraceKind::Command: {
        const auto& c = f.command;
        out += "command ";
        AppendHex(out, c[0], 2);
        const unsigned word2 = unsigned(c[2] | c[3] << 8);
        // The clock frames carry a date; the others a first block and a count.
        if (c[0] == 0xA4 || c[0] == 0xA5) {
            AppendNumber(out, "year", word2);
            AppendNumber(out, "month", c[4]);
            AppendNumber(out, "day", c[5]);
            AppendNumber(out, "hour", c[6]);
            AppendNumber(out, "minute", c[7]);
        } else {
            AppendNumber(out, "first", word2);
            AppendNumber(out, "count", c[6] | c[7] << 8);
        }
        return;
    }
    case TraceKind::Block:
    case TraceKind::IrCode:
        out += f.kind == TraceKind::Block ? "block" : "ir-code";
        if (f.number >= 0) AppendNumber(out, "n", f.number);
        AppendSum(out, "sum", f.sum, f.wideSum);
        if (f.direction == TraceDirection::Sent) {
            if (f.attempt > 0) AppendNumber(out, "attempt", f.attempt);
        } else if (f.good) {
            out += " good";
        } else {
            AppendSum(out, "want", f.expected, f.wideSum);
            out += " bad";
        }
        return;
    case TraceKind::Ack:
        out += "ack ";
        if (f.code >= 'A' && f.code <= 'Z') {
            out += char(f.code);
        } else {
            out += "0x";
            AppendHex(out, f.code, 2);
        }
        return;
    case TraceKind::Byte:
        out += "byte ";
        AppendHex(out, f.value, 2);
        return;
    case TraceKind::Word:
        out += "word ";
        AppendHex(out, f.value, 4);
        return;
    case TraceKind::DWord:
        out += "dword ";
        AppendHex(out, f.value, 8);
        return;
    case TraceKind::Packet:
        out += "packet";
        if (f.number >= 0) AppendNumber(out, "n", f.number);
        AppendSum(out, "sum", f.sum, false);
        // A packet written: the remote's sum of it, judged.
        if (f.direction == TraceDirection::Received && f.attempt > 0) {
            if (f.good) {
                out += " good";
            } else {
                AppendSum(out, "want", f.expected, false);
                out += " bad";
            }
        }
        return;
    case TraceKind::Timeout:
        out += "timeout ";
        out += f.what && *f.what ? f.what : "frame";
        if (f.number >= 0) AppendNumber(out, "n", f.number);
        AppendNumber(out, "ms", f.value);
        return;
    }
}

void AppendStamp(std::string& out, uint64_t micros, TraceDirection direction) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu %c ", static_cast<unsigned long long>(micros), DirectionChar(direction));
    out += text;
}

}  // namespace

std::string TraceFrameText(const TraceFrame& frame) {
    std::string out;
    AppendFrame(out, frame);
    return out;
}

// ---------------------------------------------------------------------------
// LinkTraceRecorder

void LinkTraceRecorder::AddSink(TraceSink& sink) {
    if (std::find(sinks_.begin(), sinks_.end(), &sink) != sinks_.end()) return;
    sinks_.push_back(&sink);
    line_.assign(kTraceHeader);
    line_ += '\n';
    sink.Write(line_);
}

void LinkTraceRecorder::RemoveSink(TraceSink& sink) {
    sinks_.erase(std::remove(sinks_.begin(), sinks_.end(), &sink), sinks_.end());
}

void LinkTraceRecorder::Bytes(TraceDirection direction, std::span<const uint8_t> bytes) {
    if (sinks_.empty() || bytes.empty()) return;
    line_.clear();
    AppendStamp(line_, clock_.MonotonicMicros(), direction);
    line_ += "bytes";
    for (uint8_t b : bytes) {
        line_ += ' ';
        AppendHex(line_, b, 2);
    }
    Emit();
}

void LinkTraceRecorder::Frame(const TraceFrame& frame) {
    if (sinks_.empty()) return;
    line_.clear();
    AppendStamp(line_, clock_.MonotonicMicros(), frame.direction);
    AppendFrame(line_, frame);
    Emit();
}

void LinkTraceRecorder::Emit() {
    line_ += '\n';
    for (TraceSink* sink : sinks_) sink->Write(line_);
}

// ---------------------------------------------------------------------------
// TraceFile

TraceFile::~TraceFile() { file_.Abandon(); }

bool TraceFile::Open(const std::filesystem::path& path, std::string* why) {
    pending_.clear();
    return file_.Begin(path, why);
}

void TraceFile::Write(std::string_view lines) {
    if (!file_.IsOpen()) return;
    pending_.append(lines);
    if (pending_.size() >= kFileChunk) Flush();
}

bool TraceFile::Flush() {
    const bool ok = file_.Append({reinterpret_cast<const uint8_t*>(pending_.data()), pending_.size()});
    pending_.clear();
    return ok;
}

bool TraceFile::Close(std::string* why) {
    if (!file_.IsOpen()) {
        if (why) *why = "no recording is open";
        return false;
    }
    Flush();
    return file_.Commit(why);
}

// ---------------------------------------------------------------------------
// TraceMemory

void TraceMemory::Write(std::string_view lines) {
    if (lines.starts_with(kTraceHeader)) return;  // it has its header
    text_.append(lines);
    if (text_.size() - header_ <= maxBytes_) return;
    // Drop whole lines from the oldest until it fits again.
    const size_t cut = text_.size() - header_ - maxBytes_;
    size_t end = text_.find('\n', header_ + cut - 1);
    end = end == std::string::npos ? text_.size() : end + 1;
    text_.erase(header_, end - header_);
}

void TraceMemory::Clear() {
    text_.assign(kTraceHeader);
    text_ += '\n';
    header_ = text_.size();
}

// ---------------------------------------------------------------------------
// TracingSerialPort

bool TracingSerialPort::Open() {
    const bool ok = inner_.Open();
    if (ok && trace_.Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Port;
        f.kind = TraceKind::PortOpen;
        f.number = inner_.BaudRate();
        trace_.Frame(f);
    }
    return ok;
}

void TracingSerialPort::Close() {
    const bool wasOpen = inner_.IsOpen();
    inner_.Close();
    if (wasOpen && trace_.Recording()) {
        TraceFrame f;
        f.direction = TraceDirection::Port;
        f.kind = TraceKind::PortClose;
        trace_.Frame(f);
    }
}

bool TracingSerialPort::WriteChar(uint8_t byte) {
    const bool ok = inner_.WriteChar(byte);
    if (ok) trace_.Bytes(TraceDirection::Sent, {&byte, 1});
    return ok;
}

bool TracingSerialPort::Write(std::span<const uint8_t> bytes) {
    const bool ok = inner_.Write(bytes);
    if (ok) trace_.Bytes(TraceDirection::Sent, bytes);
    return ok;
}

bool TracingSerialPort::ReadChar(uint8_t& byte) {
    const bool ok = inner_.ReadChar(byte);
    if (ok) trace_.Bytes(TraceDirection::Received, {&byte, 1});
    return ok;
}

size_t TracingSerialPort::Read(std::span<uint8_t> out) {
    const size_t got = inner_.Read(out);
    trace_.Bytes(TraceDirection::Received, out.first(std::min(got, out.size())));
    return got;
}

}  // namespace orvalink
