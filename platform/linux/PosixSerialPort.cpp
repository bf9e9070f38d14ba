#include "platform/linux/PosixSerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvalink {

namespace {

// How long a close waits for the last bytes to leave, in milliseconds.
constexpr int kCloseDrainMs = 250;

uint64_t MonotonicMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
}

}  // namespace

unsigned PosixSpeedOf(int rate) {
    switch (rate) {
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        default: return 0;
    }
}

PosixSerialPort::PosixSerialPort(Resolver resolver, PollEventPump& pump)
    : resolver_(std::move(resolver)), pump_(pump) {
    pump_.Watch(this);
}

PosixSerialPort::~PosixSerialPort() {
    handler_ = nullptr;
    Close();
    pump_.Unwatch(this);
}

void PosixSerialPort::SetBaudRate(int rate) {
    baud_ = rate;
    if (fd_ >= 0) Apply();
}

void PosixSerialPort::SetParity(Parity parity) {
    parity_ = parity;
    if (fd_ >= 0) Apply();
}

void PosixSerialPort::SetDataBits(int bits) {
    dataBits_ = bits;
    if (fd_ >= 0) Apply();
}

void PosixSerialPort::SetStopBits(int bits) {
    stopBits_ = bits;
    if (fd_ >= 0) Apply();
}

bool PosixSerialPort::Apply() {
    const unsigned speed = PosixSpeedOf(baud_);
    if (speed == 0) {
        error_ = std::to_string(baud_) + " bit/s is not a rate of this system";
        return false;
    }
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~tcflag_t(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS | CMSPAR);
    t.c_cflag |= dataBits_ == 5 ? CS5 : dataBits_ == 6 ? CS6 : dataBits_ == 7 ? CS7 : CS8;
    switch (parity_) {
        case Parity::None: break;
        case Parity::Odd: t.c_cflag |= PARENB | PARODD; break;
        case Parity::Even: t.c_cflag |= PARENB; break;
        case Parity::Mark: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case Parity::Space: t.c_cflag |= PARENB | CMSPAR; break;
    }
    if (stopBits_ == 2) t.c_cflag |= CSTOPB;
    t.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    // With the descriptor non-blocking, a read of an empty line says EAGAIN
    // and only a hung-up line reads as the end.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    ::cfsetispeed(&t, speed);
    ::cfsetospeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    return true;
}

bool PosixSerialPort::Open() {
    error_.clear();
    if (fd_ >= 0) return true;
    const std::string name = resolver_ ? resolver_(portNumber_) : std::string();
    if (name.empty()) {
        error_ = "COM" + std::to_string(portNumber_) + ": no such port";
        return false;
    }
    // No carrier is waited for, and the line never becomes our controlling terminal.
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int e = errno;
        error_ = e == EACCES || e == EPERM ? "Permission denied (" + name + ")" : name + ": " + std::strerror(e);
        return false;
    }
    if (::isatty(fd) != 1) {
        ::close(fd);
        error_ = name + ": not a serial port";
        return false;
    }
    fd_ = fd;
    if (!Apply()) {
        const std::string why = error_;
        ::close(fd_);
        fd_ = -1;
        error_ = name + ": " + why;
        return false;
    }
    // DTR and RTS held low (a pseudo-terminal has neither; that is no fault).
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd_, TIOCMBIC, &lines);
    ::tcflush(fd_, TCIOFLUSH);  // nothing from before the open
    input_.clear();
    inputRead_ = 0;
    output_.clear();
    return true;
}

void PosixSerialPort::Close() {
    if (fd_ < 0) return;
    // The last bytes (the wake byte at 300 bit/s) leave before the close,
    // but a line that does not drain is not waited for longer than 250 ms.
    const uint64_t deadline = MonotonicMs() + kCloseDrainMs;
    while (fd_ >= 0 && !output_.empty()) {
        const uint64_t now = MonotonicMs();
        if (now >= deadline) break;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, int(deadline - now)) <= 0 || !Drain()) break;
    }
    int queued = 0;
    while (fd_ >= 0 && ::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0 && MonotonicMs() < deadline)
        ::poll(nullptr, 0, 1);  // sleeps a millisecond
    // A driver that has taken the bytes may still be shifting them out (a
    // UART's FIFO, or a pseudo-terminal that never says): they are given
    // their time on the wire at the current rate.
    const uint64_t now = MonotonicMs();
    const uint64_t lineFree = std::min(lineFreeMs_, deadline);
    if (fd_ >= 0 && lineFree > now) ::poll(nullptr, 0, int(lineFree - now));
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    input_.clear();
    inputRead_ = 0;
    output_.clear();
}

void PosixSerialPort::HungUp(const std::string& why) {
    // The line is unusable: closed at once, so that further writes fail and
    // the pump stops waiting on it. What was read stays readable.
    error_ = why;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    output_.clear();
}

int PosixSerialPort::OutputFree() const {
    const size_t pending = output_.size();
    return pending >= size_t(outSize_) ? 0 : outSize_ - int(pending);
}

bool PosixSerialPort::Drain() {
    size_t written = 0;
    while (fd_ >= 0 && written < output_.size()) {
        const ssize_t n = ::write(fd_, output_.data() + written, output_.size() - written);
        if (n > 0) {
            written += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            HungUp(n < 0 ? std::string(std::strerror(errno)) : std::string("the line hung up"));
            return false;
        }
    }
    output_.erase(output_.begin(), output_.begin() + long(written));
    return true;
}

bool PosixSerialPort::WriteChar(uint8_t byte) { return Write({&byte, 1}); }

bool PosixSerialPort::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    // When the last of these bytes will have left at the line's rate.
    const int bits = BitsPerCharacter(dataBits_, parity_, stopBits_);
    if (baud_ > 0)
        lineFreeMs_ = std::max(lineFreeMs_, MonotonicMs()) + (uint64_t(bytes.size()) * uint64_t(bits) * 1000u +
                                                             uint64_t(baud_) - 1) / uint64_t(baud_);
    output_.insert(output_.end(), bytes.begin(), bytes.end());
    return Drain();
}

bool PosixSerialPort::ReadChar(uint8_t& byte) {
    if (InputCount() == 0) return false;
    byte = input_[inputRead_++];
    if (inputRead_ == input_.size()) {
        input_.clear();
        inputRead_ = 0;
    }
    return true;
}

size_t PosixSerialPort::Read(std::span<uint8_t> out) {
    const size_t n = std::min(out.size(), InputCount());
    std::copy_n(input_.begin() + long(inputRead_), n, out.begin());
    inputRead_ += n;
    if (inputRead_ == input_.size()) {
        input_.clear();
        inputRead_ = 0;
    }
    return n;
}

void PosixSerialPort::FlushInput() {
    if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
    input_.clear();
    inputRead_ = 0;
}

void PosixSerialPort::FlushOutput() {
    if (fd_ >= 0) ::tcflush(fd_, TCOFLUSH);
    output_.clear();
}

short PosixSerialPort::PollEvents() const { return short(POLLIN | (output_.empty() ? 0 : POLLOUT)); }

void PosixSerialPort::OnPoll(short revents) {
    if (fd_ < 0) return;
    if ((revents & POLLOUT) && !Drain()) return;
    if (!(revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) return;
    bool gone = (revents & POLLNVAL) != 0;
    uint8_t buffer[4096];
    while (!gone) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            input_.insert(input_.end(), buffer, buffer + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            gone = true;  // the end of the line, or EIO: the far end hung up
        }
    }
    if (revents & (POLLHUP | POLLERR)) gone = true;
    if (gone) HungUp("the line hung up");
    const size_t count = InputCount();
    if (count > 0 && handler_) handler_(count);
}

}  // namespace orvalink
