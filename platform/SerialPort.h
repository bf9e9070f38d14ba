// The serial port the link talks through (the virtual COM port of the
// USB-serial adapter). The windows' implementation sits on QSerialPort, the
// command line's on a POSIX terminal (platform/linux/PosixSerialPort); the
// tests use LoopbackSerialPort, which is wired to an in-process remote.
//
// Exactly the operations the link needs: settings that take effect at the next
// open, open/close, non-blocking writes that only queue the bytes, reads of
// what has arrived, flushes, and a data-available event. The event is delivered
// on the UI thread from the event loop (so during EventPump waits), never from
// inside a write; its handler reads exactly the announced number of bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace orvalink {

// Parity codes as the test page's combo numbers them.
enum class Parity : int { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };

class SerialPort {
public:
    using DataAvailableHandler = std::function<void(size_t count)>;

    virtual ~SerialPort() = default;

    // COM n; takes effect at the next open.
    virtual void SetPortNumber(int number) = 0;
    virtual int PortNumber() const = 0;
    // Bits per second; may be changed while closed.
    virtual void SetBaudRate(int rate) = 0;
    virtual int BaudRate() const = 0;
    virtual void SetParity(Parity parity) = 0;
    virtual Parity GetParity() const = 0;
    virtual void SetDataBits(int bits) = 0;  // 5..8
    virtual int DataBits() const = 0;
    virtual void SetStopBits(int bits) = 0;  // 1 or 2
    virtual int StopBits() const = 0;
    virtual void SetInBufferSize(int bytes) = 0;
    virtual int InBufferSize() const = 0;
    virtual void SetOutBufferSize(int bytes) = 0;
    virtual int OutBufferSize() const = 0;

    // Opens with the current settings (DTR and RTS held low, hardware flow
    // thresholds 3072/1024). False when the port cannot be opened; ErrorText()
    // then says why. Never throws.
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // Why the last Open failed ("" when it did not).
    virtual std::string ErrorText() const = 0;

    // Free space in the output buffer, in bytes.
    virtual int OutputFree() const = 0;
    // Queue one byte / a block; false when the port is closed or gone.
    virtual bool WriteChar(uint8_t byte) = 0;
    virtual bool Write(std::span<const uint8_t> bytes) = 0;

    // Bytes waiting in the input buffer.
    virtual size_t InputCount() const = 0;
    // Read one byte (false when none waits) / up to out.size() bytes (the count read).
    virtual bool ReadChar(uint8_t& byte) = 0;
    virtual size_t Read(std::span<uint8_t> out) = 0;

    virtual void FlushInput() = 0;
    virtual void FlushOutput() = 0;

    // The handler of the data-available event (count > 0).
    virtual void SetDataAvailableHandler(DataAvailableHandler handler) = 0;
};

// Bits on the wire for one character with these settings (start bit included).
inline int BitsPerCharacter(int dataBits, Parity parity, int stopBits) {
    return 1 + dataBits + (parity == Parity::None ? 0 : 1) + stopBits;
}

}  // namespace orvalink
