#include "link/LinkTraceReport.h"

#include <charconv>
#include <cstdio>
#include <map>
#include <optional>

#include "link/LinkTrace.h"

namespace orvalink {

namespace {

// Bytes of unclaimed data shown on their line; the rest is counted.
constexpr size_t kDataBytesShown = 16;

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ') ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::optional<uint64_t> Number(std::string_view text, int base = 10) {
    uint64_t value = 0;
    if (text.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// key=value fields and bare words of a record.
struct Fields {
    std::map<std::string_view, std::string_view> named;
    std::vector<std::string_view> bare;
    bool Has(std::string_view word) const {
        for (auto w : bare)
            if (w == word) return true;
        return false;
    }
    std::string_view Get(std::string_view key) const {
        auto it = named.find(key);
        return it == named.end() ? std::string_view() : it->second;
    }
};

Fields FieldsOf(const std::vector<std::string_view>& words, size_t from) {
    Fields f;
    for (size_t i = from; i < words.size(); ++i) {
        const size_t eq = words[i].find('=');
        if (eq == std::string_view::npos) f.bare.push_back(words[i]);
        else f.named[words[i].substr(0, eq)] = words[i].substr(eq + 1);
    }
    return f;
}

const char* CommandName(unsigned code) {
    switch (code) {
    case 0xA1: return "read blocks";
    case 0xA3: return "write blocks";
    case 0xA4: return "set clock";
    case 0xA5: return "end of upload";
    case 0xA7: return "boot loader: enter";
    case 0xA8: return "boot loader: erase";
    case 0xA9: return "boot loader: page";
    case 0xAA: return "boot loader: finish";
    case 0xAF: return "boot loader: identify";
    case 0xB2: return "IR send";
    case 0xB3: return "IR learn";
    }
    return "command";
}

std::string Str(std::string_view v) { return std::string(v); }

std::string Seconds(uint64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%06llu", static_cast<unsigned long long>(micros / 1000000),
                  static_cast<unsigned long long>(micros % 1000000));
    return text;
}

std::string Millis(uint64_t micros) {
    char text[32];
    std::snprintf(text, sizeof text, "%llu.%03llu ms", static_cast<unsigned long long>(micros / 1000),
                  static_cast<unsigned long long>(micros % 1000));
    return text;
}

struct Pending {
    uint64_t count = 0;
    uint64_t first = 0;
    std::string shown;
    void Add(uint64_t time, const std::vector<std::string_view>& hex) {
        if (count == 0) first = time;
        for (auto h : hex) {
            if (count < kDataBytesShown) {
                if (!shown.empty()) shown += ' ';
                shown += h;
            }
            ++count;
        }
    }
    void Reset() {
        count = 0;
        shown.clear();
    }
};

class Reader {
public:
    bool Line(size_t lineNumber, std::string_view line, std::string& error);
    void Finish() {
        FlushData(0);
        FlushData(1);
    }
    TraceReading reading;

private:
    void Print(uint64_t time, int side, const std::string& what, uint64_t bytes, std::optional<uint64_t> turnaround,
               const char* mark);
    void FlushData(int side);
    uint64_t Since(uint64_t time) const { return time >= start_ ? time - start_ : 0; }

    bool started_ = false;
    uint64_t start_ = 0;
    Pending pending_[2];  // 0 sent, 1 received
    std::optional<uint64_t> lastSent_;
};

void Reader::Print(uint64_t time, int side, const std::string& what, uint64_t bytes,
                   std::optional<uint64_t> turnaround, const char* mark) {
    static const char* const kSides[] = {"PC>   ", "<REM  ", "port  "};
    std::string line = Seconds(Since(time));
    line.insert(0, line.size() < 11 ? 11 - line.size() : 0, ' ');
    line += "  ";
    line += kSides[side];
    line += what;
    if (bytes > 0) line += "  (" + std::to_string(bytes) + (bytes == 1 ? " byte)" : " bytes)");
    if (turnaround) line += "  +" + Millis(*turnaround);
    if (mark) {
        line += "  ** ";
        line += mark;
        line += " **";
    }
    reading.lines.push_back(std::move(line));
}

void Reader::FlushData(int side) {
    Pending& p = pending_[side];
    if (p.count == 0) return;
    std::string what = "data " + p.shown;
    if (p.count > kDataBytesShown) what += " ...";
    Print(p.first, side, what, p.count, std::nullopt, nullptr);
    p.Reset();
}

bool Reader::Line(size_t lineNumber, std::string_view line, std::string& error) {
    auto fail = [&](const std::string& why) {
        error = "line " + std::to_string(lineNumber) + ": " + why;
        return false;
    };
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') return true;
    const auto words = Words(line);
    if (words.size() < 3) return fail("not a trace record");
    const auto time = Number(words[0]);
    if (!time) return fail("the time is not a number of microseconds");
    int side = 0;
    if (words[1] == ">") side = 0;
    else if (words[1] == "<") side = 1;
    else if (words[1] == "=") side = 2;
    else return fail("the direction is not >, < or =");
    if (!started_) {
        started_ = true;
        start_ = *time;
    }
    const std::string_view record = words[2];
    const Fields f = FieldsOf(words, 3);
    TraceSummary& sum = reading.summary;

    if (record == "bytes") {
        if (side == 2 || words.size() < 4) return fail("bytes without a direction or bytes");
        std::vector<std::string_view> hex(words.begin() + 3, words.end());
        for (auto h : hex)
            if (h.size() != 2 || !Number(h, 16)) return fail("not a byte in hexadecimal: " + Str(h));
        // Bytes of one side end the unclaimed bytes of the other: the talk turned.
        FlushData(1 - side);
        pending_[side].Add(*time, hex);
        if (side == 0) {
            sum.bytesSent += hex.size();
            lastSent_ = *time;
        } else {
            sum.bytesReceived += hex.size();
        }
        return true;
    }
    if (side == 2) {
        FlushData(0);
        FlushData(1);
        if (record == "open") {
            const auto rate = Number(f.Get("rate"));
            if (!rate) return fail("open without rate=");
            Print(*time, 2, "opened at " + std::to_string(*rate) + " bit/s", 0, std::nullopt, nullptr);
        } else if (record == "close") {
            Print(*time, 2, "closed", 0, std::nullopt, nullptr);
        } else {
            return fail("unknown port record " + Str(record));
        }
        return true;
    }

    // A frame: it takes the bytes of its side since the last frame.
    Pending& p = pending_[side];
    const uint64_t bytes = p.count;
    const uint64_t at = bytes > 0 ? p.first : *time;
    std::optional<uint64_t> turnaround;
    if (side == 1 && bytes > 0 && lastSent_ && p.first >= *lastSent_) turnaround = p.first - *lastSent_;
    p.Reset();

    std::string what;
    const char* mark = nullptr;
    const std::string n = f.Get("n").empty() ? std::string() : " " + Str(f.Get("n"));
    if (record == "wake") {
        what = "wake-up 'A'";
    } else if (record == "command") {
        if (f.bare.empty()) return fail("command without its code");
        const auto code = Number(f.bare[0], 16);
        if (!code) return fail("command code is not hexadecimal");
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X", unsigned(*code));
        what = std::string("command ") + hex + " " + CommandName(unsigned(*code));
        if (!f.Get("year").empty()) {
            const auto year = Number(f.Get("year")), month = Number(f.Get("month")), day = Number(f.Get("day")),
                       hour = Number(f.Get("hour")), minute = Number(f.Get("minute"));
            if (!year || !month || !day || !hour || !minute) return fail("a clock frame without its date and time");
            char when[64];
            std::snprintf(when, sizeof when, ": %04llu-%02llu-%02llu %02llu:%02llu",
                          static_cast<unsigned long long>(*year), static_cast<unsigned long long>(*month),
                          static_cast<unsigned long long>(*day), static_cast<unsigned long long>(*hour),
                          static_cast<unsigned long long>(*minute));
            what += when;
        } else {
            what += ": first " + Str(f.Get("first")) + ", count " + Str(f.Get("count"));
        }
    } else if (record == "block" || record == "ir-code") {
        const bool block = record == "block";
        what = (block ? "block" : "IR code") + n + ", sum " + Str(f.Get("sum"));
        if (side == 0) {
            if (block) ++sum.blocksSent;
            const auto attempt = Number(f.Get("attempt"));
            if (attempt && *attempt > 1) {
                what += ", attempt " + std::to_string(*attempt);
                mark = "RETRY";
                ++sum.retries;
            }
        } else if (f.Has("bad")) {
            what += ", expected " + Str(f.Get("want"));
            mark = "CHECKSUM FAULT";
            ++sum.checksumFaults;
        } else {
            what += " good";
            if (block) ++sum.blocksReceived;
        }
    } else if (record == "packet") {
        what = "packet" + n + ", sum " + Str(f.Get("sum"));
        if (f.Has("bad")) {
            what += ", the remote's sum, expected " + Str(f.Get("want"));
            mark = "CHECKSUM FAULT";
            ++sum.checksumFaults;
        } else if (f.Has("good")) {
            what += ", the remote's sum, good";
        }
    } else if (record == "ack") {
        if (f.bare.empty()) return fail("ack without its byte");
        const std::string_view b = f.bare[0];
        if (b == "B") what = "ack 'B' accepted";
        else if (b == "C") {
            what = "ack 'C' refused";
            mark = "REFUSED";
            ++sum.refusals;
        } else if (b.size() == 1) what = "ack '" + Str(b) + "'";
        else what = "ack " + Str(b);
    } else if (record == "byte" || record == "word" || record == "dword") {
        if (f.bare.empty()) return fail(Str(record) + " without its value");
        what = Str(record) + " " + Str(f.bare[0]);
    } else if (record == "timeout") {
        const std::string waited = f.bare.empty() ? std::string("frame") : Str(f.bare[0]);
        what = "no " + (waited == "ir-code" ? std::string("IR code") : waited) + n + " within " + Str(f.Get("ms")) +
               " ms";
        if (bytes > 0) what += " (an incomplete frame)";
        mark = "TIME-OUT";
        ++sum.timeouts;
        turnaround.reset();
    } else {
        return fail("unknown record " + Str(record));
    }
    if (turnaround && *turnaround >= sum.slowestMicros) {
        sum.slowestMicros = *turnaround;
        sum.slowestAtMicros = Since(at);
        sum.slowestFrame = what;
    }
    Print(at, side, what, bytes, turnaround, mark);
    return true;
}

}  // namespace

TraceReading ReadLinkTrace(std::string_view text) {
    Reader reader;
    TraceReading& reading = reader.reading;
    size_t lineNumber = 0;
    bool headerSeen = false;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (!headerSeen) {
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            if (line != kTraceHeader) {
                reading.error = "not a link trace (its first line is not \"" + std::string(kTraceHeader) + "\")";
                return reading;
            }
            headerSeen = true;
            continue;
        }
        if (!reader.Line(lineNumber, line, reading.error)) return reading;
    }
    if (!headerSeen) {
        reading.error = "not a link trace (the file is empty)";
        return reading;
    }
    reader.Finish();
    reading.ok = true;
    return reading;
}

std::vector<std::string> TraceSummaryLines(const TraceSummary& s) {
    std::vector<std::string> lines = {
        "blocks sent: " + std::to_string(s.blocksSent),
        "blocks received: " + std::to_string(s.blocksReceived),
        "checksum faults: " + std::to_string(s.checksumFaults),
        "retries: " + std::to_string(s.retries),
        "refusals: " + std::to_string(s.refusals),
        "time-outs: " + std::to_string(s.timeouts),
        "bytes sent: " + std::to_string(s.bytesSent),
        "bytes received: " + std::to_string(s.bytesReceived),
    };
    if (s.slowestFrame.empty()) lines.push_back("slowest turnaround: none");
    else
        lines.push_back("slowest turnaround: " + Millis(s.slowestMicros) + " at " + Seconds(s.slowestAtMicros) + " (" +
                        s.slowestFrame + ")");
    return lines;
}

}  // namespace orvalink
