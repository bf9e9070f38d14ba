// The link port on a POSIX terminal device (a USB-serial adapter's tty or a
// pseudo-terminal), without a toolkit: termios for the line settings, a
// non-blocking descriptor, and a PollEventPump that waits on it. Bytes that
// arrive are read when the pump reports them and announced to the
// data-available handler from there; bytes written leave at once as far as
// the driver takes them, the rest when the pump finds the line writable.
//
// A line whose far end hung up (POLLHUP, EIO) is closed at once, as the
// adapter being pulled out is: every further write fails, and no wait is
// woken for ever by a line with nothing to read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/linux/PollEventPump.h"

namespace orvalink {

// The termios speed constant of a bit rate; 0 when the system has none.
unsigned PosixSpeedOf(int rate);

class PosixSerialPort final : public SerialPort, public PollSource {
public:
    // The device path of COM n ("" when there is none).
    using Resolver = std::function<std::string(int portNumber)>;

    // The port joins `pump`'s watch list (and leaves it when destroyed).
    PosixSerialPort(Resolver resolver, PollEventPump& pump);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    void SetPortNumber(int number) override { portNumber_ = number; }
    int PortNumber() const override { return portNumber_; }
    void SetBaudRate(int rate) override;
    int BaudRate() const override { return baud_; }
    void SetParity(Parity parity) override;
    Parity GetParity() const override { return parity_; }
    void SetDataBits(int bits) override;
    int DataBits() const override { return dataBits_; }
    void SetStopBits(int bits) override;
    int StopBits() const override { return stopBits_; }
    void SetInBufferSize(int bytes) override { inSize_ = bytes; }
    int InBufferSize() const override { return inSize_; }
    void SetOutBufferSize(int bytes) override { outSize_ = bytes; }
    int OutBufferSize() const override { return outSize_; }

    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    std::string ErrorText() const override { return error_; }

    int OutputFree() const override;
    bool WriteChar(uint8_t byte) override;
    bool Write(std::span<const uint8_t> bytes) override;

    size_t InputCount() const override { return input_.size() - inputRead_; }
    bool ReadChar(uint8_t& byte) override;
    size_t Read(std::span<uint8_t> out) override;
    void FlushInput() override;
    void FlushOutput() override;
    void SetDataAvailableHandler(DataAvailableHandler handler) override { handler_ = std::move(handler); }

    // PollSource.
    int PollFd() const override { return fd_; }
    short PollEvents() const override;
    void OnPoll(short revents) override;

    // The descriptor (-1 while closed), for tests.
    int Fd() const { return fd_; }

private:
    bool Apply();
    // Writes what is pending as far as the driver takes it; false when the
    // line is gone.
    bool Drain();
    void HungUp(const std::string& why);

    Resolver resolver_;
    PollEventPump& pump_;
    int fd_ = -1;
    int portNumber_ = 0;
    int baud_ = 38400;
    Parity parity_ = Parity::None;
    int dataBits_ = 8;
    int stopBits_ = 1;
    int inSize_ = 4096;
    int outSize_ = 4096;
    std::string error_;
    std::vector<uint8_t> input_;
    size_t inputRead_ = 0;
    std::vector<uint8_t> output_;
    uint64_t lineFreeMs_ = 0;  // monotonic ms when the last byte written has left
    DataAvailableHandler handler_;
};

}  // namespace orvalink
