// A record of the link conversation for service staff: every byte sent and
// received with a monotonic time in microseconds and its direction, and the
// frames the link's protocol classes say the bytes make up (the wake-up, a
// command frame and its fields, a block with its number and the checksum
// judged, an acknowledgement, an IR code, the boot loaders' words, a wait
// that timed out).
//
// The link engine holds a LinkTrace; without one it holds a NullLinkTrace,
// so recording costs nothing when it is off: the protocol classes hand over
// small fixed records (no text is made, nothing is allocated) and only a
// recorder with a sink formats them.
//
// A trace is plain text, one record a line:
//
//   # orvalink link trace 1
//   <microseconds> <direction> <record> <fields...>
//
// direction: '>' sent to the remote, '<' received from it, '=' the port.
// The records (numbers in decimal, bytes, checksums and words in
// hexadecimal):
//
//   = open rate=300            the port opened at 300 bit/s
//   = close                    the port closed
//   > bytes 41                 bytes written, in the order written
//   < bytes 42                 bytes read, as they arrived
//   > wake                     the wake-up byte
//   > command A1 first=0 count=1013   a command frame (A4/A5: year= month=
//                              day= hour= minute=)
//   > block n=5 sum=06F8 attempt=2     a block written, its checksum
//   < block n=5 sum=06F8 good          a block read, its checksum judged
//   < block n=5 sum=06F9 want=06F8 bad (the TI flash frames: 8-digit sums)
//   > ack B   < ack C          an acknowledgement ('A'..'Z' as the letter,
//                              others as 0x06)
//   > ir-code sum=1234   < ir-code sum=1234 good|want=.. bad
//   > packet n=12 sum=1234     the older protocol's packet written
//   < packet n=12 sum=1234 good|want=.. bad   the remote's sum of it
//   < packet n=12 sum=1234     a packet read
//   < byte 11   < word 1234   < dword 00012345   single values read
//   < timeout reply ms=800     a wait that ended without its frame (block
//                              waits add n=)
//
// A frame record follows the bytes it names: it takes every byte of its
// direction since the previous frame record of that direction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/FileIo.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"

namespace orvalink {

inline constexpr char kTraceHeader[] = "# orvalink link trace 1";

enum class TraceDirection : uint8_t { Sent, Received, Port };

enum class TraceKind : uint8_t {
    PortOpen,   // number: the bit rate
    PortClose,
    Wake,
    Command,    // command: the eight bytes
    Block,      // number, sum (and for a read: expected, good; for a write: attempt)
    Ack,        // code: the byte
    IrCode,     // sum (and for a read: expected, good)
    Byte,       // value
    Word,       // value
    DWord,      // value
    Timeout,    // what, value: the milliseconds waited (number: the block, or -1)
    Packet,     // the older protocol's 128 bytes: number, sum (a write: the
                // remote's sum judged against ours in expected, good)
};

struct TraceFrame {
    TraceDirection direction = TraceDirection::Sent;
    TraceKind kind = TraceKind::Ack;
    uint8_t code = 0;
    int32_t number = -1;
    uint32_t value = 0;
    uint32_t sum = 0;
    uint32_t expected = 0;
    bool wideSum = false;  // a four-byte sum (the TI flash frames), else two bytes
    int attempt = 0;
    bool good = true;
    const char* what = "";  // a fixed text: what a timed-out wait waited for
    std::array<uint8_t, 8> command{};
};

// What the link hands its record to.
class LinkTrace {
public:
    virtual ~LinkTrace() = default;
    // Whether anything is being recorded now.
    virtual bool Recording() const = 0;
    virtual void Bytes(TraceDirection direction, std::span<const uint8_t> bytes) = 0;
    virtual void Frame(const TraceFrame& frame) = 0;
};

// Recording off.
class NullLinkTrace final : public LinkTrace {
public:
    bool Recording() const override { return false; }
    void Bytes(TraceDirection, std::span<const uint8_t>) override {}
    void Frame(const TraceFrame&) override {}
};

// Where a recorder's lines go.
class TraceSink {
public:
    virtual ~TraceSink() = default;
    // One or more whole lines, each ending in '\n'.
    virtual void Write(std::string_view lines) = 0;
};

// Formats the records into trace lines for its sinks (none: nothing is done).
class LinkTraceRecorder final : public LinkTrace {
public:
    explicit LinkTraceRecorder(const MonotonicClock& clock) : clock_(clock) {}

    // The sink gets the header line at once, then every record until it is
    // removed. Adding a sink twice adds it once.
    void AddSink(TraceSink& sink);
    void RemoveSink(TraceSink& sink);

    bool Recording() const override { return !sinks_.empty(); }
    void Bytes(TraceDirection direction, std::span<const uint8_t> bytes) override;
    void Frame(const TraceFrame& frame) override;

private:
    void Emit();

    const MonotonicClock& clock_;
    std::vector<TraceSink*> sinks_;
    std::string line_;
};

// The text of one frame record as it stands after the time and direction
// ("block n=5 sum=06F8 good").
std::string TraceFrameText(const TraceFrame& frame);

// A recording into a file through the file writer: the lines go to a
// temporary file beside it, which becomes the file at Close. Lines are
// gathered and appended in large pieces.
class TraceFile final : public TraceSink {
public:
    ~TraceFile() override;
    // False with why when nothing can be written beside the file.
    bool Open(const std::filesystem::path& path, std::string* why = nullptr);
    void Write(std::string_view lines) override;
    // The recording at its file; false with why when a write failed (the
    // file is then as it was before).
    bool Close(std::string* why = nullptr);
    bool IsOpen() const { return file_.IsOpen(); }

private:
    bool Flush();
    FileAppender file_;
    std::string pending_;
};

// The recent part of a conversation in memory (the test page's monitor):
// at most maxBytes of lines after the header; the oldest lines go first.
class TraceMemory final : public TraceSink {
public:
    explicit TraceMemory(size_t maxBytes = size_t(4) << 20) : maxBytes_(maxBytes) { Clear(); }
    void Write(std::string_view lines) override;
    // Starts over with the header only.
    void Clear();
    // The header and the lines kept.
    const std::string& Text() const { return text_; }
    bool Empty() const { return text_.size() <= header_; }

private:
    size_t maxBytes_;
    std::string text_;
    size_t header_ = 0;
};

// A serial port that records every byte written and read and every open
// and close, and otherwise does what the port it wraps does.
class TracingSerialPort final : public SerialPort {
public:
    TracingSerialPort(SerialPort& inner, LinkTrace& trace) : inner_(inner), trace_(trace) {}

    void SetPortNumber(int number) override { inner_.SetPortNumber(number); }
    int PortNumber() const override { return inner_.PortNumber(); }
    void SetBaudRate(int rate) override { inner_.SetBaudRate(rate); }
    int BaudRate() const override { return inner_.BaudRate(); }
    void SetParity(Parity parity) override { inner_.SetParity(parity); }
    Parity GetParity() const override { return inner_.GetParity(); }
    void SetDataBits(int bits) override { inner_.SetDataBits(bits); }
    int DataBits() const override { return inner_.DataBits(); }
    void SetStopBits(int bits) override { inner_.SetStopBits(bits); }
    int StopBits() const override { return inner_.StopBits(); }
    void SetInBufferSize(int bytes) override { inner_.SetInBufferSize(bytes); }
    int InBufferSize() const override { return inner_.InBufferSize(); }
    void SetOutBufferSize(int bytes) override { inner_.SetOutBufferSize(bytes); }
    int OutBufferSize() const override { return inner_.OutBufferSize(); }

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return inner_.IsOpen(); }
    std::string ErrorText() const override { return inner_.ErrorText(); }

    int OutputFree() const override { return inner_.OutputFree(); }
    bool WriteChar(uint8_t byte) override;
    bool Write(std::span<const uint8_t> bytes) override;

    size_t InputCount() const override { return inner_.InputCount(); }
    bool ReadChar(uint8_t& byte) override;
    size_t Read(std::span<uint8_t> out) override;

    void FlushInput() override { inner_.FlushInput(); }
    void FlushOutput() override { inner_.FlushOutput(); }
    void SetDataAvailableHandler(DataAvailableHandler handler) override {
        inner_.SetDataAvailableHandler(std::move(handler));
    }

private:
    SerialPort& inner_;
    LinkTrace& trace_;
};

}  // namespace orvalink
