#include "platform/qt/QtSerialPort.h"

#include <QtGlobal>

#include <QElapsedTimer>
#include <QThread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace orvalink {

QtSerialPort::QtSerialPort(Resolver resolver, QObject* parent) : QObject(parent), resolver_(std::move(resolver)) {
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::OnReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
}

QtSerialPort::~QtSerialPort() {
    handler_ = nullptr;
    if (port_.isOpen()) port_.close();
}

void QtSerialPort::SetBaudRate(int rate) {
    baud_ = rate;
    if (port_.isOpen()) port_.setBaudRate(rate);
}

void QtSerialPort::SetParity(Parity parity) {
    parity_ = parity;
    if (port_.isOpen()) Apply();
}

void QtSerialPort::SetDataBits(int bits) {
    dataBits_ = bits;
    if (port_.isOpen()) Apply();
}

void QtSerialPort::SetStopBits(int bits) {
    stopBits_ = bits;
    if (port_.isOpen()) Apply();
}

void QtSerialPort::Apply() {
    port_.setBaudRate(baud_);
    port_.setDataBits(dataBits_ == 5   ? QSerialPort::Data5
                      : dataBits_ == 6 ? QSerialPort::Data6
                      : dataBits_ == 7 ? QSerialPort::Data7
                                       : QSerialPort::Data8);
    switch (parity_) {
        case Parity::None: port_.setParity(QSerialPort::NoParity); break;
        case Parity::Odd: port_.setParity(QSerialPort::OddParity); break;
        case Parity::Even: port_.setParity(QSerialPort::EvenParity); break;
        case Parity::Mark: port_.setParity(QSerialPort::MarkParity); break;
        case Parity::Space: port_.setParity(QSerialPort::SpaceParity); break;
    }
    port_.setStopBits(stopBits_ == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
}

bool QtSerialPort::Open() {
    error_.clear();
    if (port_.isOpen()) return true;
    const std::string name = resolver_ ? resolver_(portNumber_) : std::string();
    if (name.empty()) {
        error_ = "COM" + std::to_string(portNumber_) + ": no such port";
        return false;
    }
    port_.setPortName(QString::fromStdString(name));
    if (!port_.open(QIODevice::ReadWrite)) {
        error_ = port_.error() == QSerialPort::PermissionError ? "Permission denied (" + name + ")"
                 : !IsTerminal(name)                          ? name + ": not a serial port"
                                                              : port_.errorString().toStdString();
        port_.clearError();
        return false;
    }
    Apply();
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(false);
    port_.clear(QSerialPort::AllDirections);  // nothing from before the open
    port_.clearError();
    return true;
}

void QtSerialPort::Close() {
    if (!port_.isOpen()) return;
    // The last bytes (the wake byte at 300 bit/s) leave before the close,
    // but a line that does not drain is not waited for longer than 250 ms.
    port_.flush();
    port_.waitForBytesWritten(250);
#ifdef Q_OS_UNIX
    QElapsedTimer waited;
    waited.start();
    int queued = 0;
    while (port_.handle() >= 0 && ::ioctl(port_.handle(), TIOCOUTQ, &queued) == 0 && queued > 0 &&
           waited.elapsed() < 250) {
        QThread::usleep(1000);
    }
#endif
    port_.close();
}

int QtSerialPort::OutputFree() const {
    const qint64 pending = port_.isOpen() ? port_.bytesToWrite() : 0;
    return pending >= outSize_ ? 0 : outSize_ - int(pending);
}

bool QtSerialPort::WriteChar(uint8_t byte) {
    if (!port_.isOpen()) return false;
    if (!port_.putChar(char(byte))) return false;
    port_.flush();  // to the device at once; the bytes leave at wire speed
    return true;
}

bool QtSerialPort::Write(std::span<const uint8_t> bytes) {
    if (!port_.isOpen()) return false;
    const qint64 n = port_.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (n != qint64(bytes.size())) return false;
    port_.flush();
    return true;
}

size_t QtSerialPort::InputCount() const { return port_.isOpen() ? size_t(port_.bytesAvailable()) : 0; }

bool QtSerialPort::ReadChar(uint8_t& byte) {
    char c = 0;
    if (!port_.isOpen() || !port_.getChar(&c)) return false;
    byte = uint8_t(c);
    return true;
}

size_t QtSerialPort::Read(std::span<uint8_t> out) {
    if (!port_.isOpen()) return 0;
    const qint64 n = port_.read(reinterpret_cast<char*>(out.data()), qint64(out.size()));
    return n > 0 ? size_t(n) : 0;
}

void QtSerialPort::FlushInput() {
    if (port_.isOpen()) port_.clear(QSerialPort::Input);
}

void QtSerialPort::FlushOutput() {
    if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

void QtSerialPort::OnReadyRead() {
    const qint64 n = port_.bytesAvailable();
    if (n > 0 && handler_) handler_(size_t(n));
}

bool QtSerialPort::IsTerminal(const std::string& name) {
#ifdef Q_OS_UNIX
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return true;  // cannot tell; the open's own reason stands
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
#else
    (void)name;
    return true;
#endif
}

bool QtSerialPort::LineHungUp() const {
#ifdef Q_OS_UNIX
    if (!port_.isOpen() || port_.handle() < 0) return false;
    pollfd p{int(port_.handle()), POLLIN, 0};
    // Looks only; returns at once.
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
    // The adapter vanished (cable pulled), or the far end hung up: a read
    // then finds the end of the line, and the port would wake the event
    // loop for ever with nothing to read. The port is unusable; closing it
    // stops that and makes every further write fail at once.
    const bool gone = error == QSerialPort::ResourceError || (error == QSerialPort::ReadError && LineHungUp());
    if (gone) {
        error_ = error == QSerialPort::ResourceError ? port_.errorString().toStdString() : "the line hung up";
        port_.clearError();
        port_.close();
    }
}

}  // namespace orvalink
