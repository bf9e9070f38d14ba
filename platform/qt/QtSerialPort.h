// The link port over QSerialPort. COM numbers are turned into device names by
// the resolver handed in (on Windows "COMn" itself; on Linux the path the
// registry view maps the number to). The data-available event is QSerialPort's
// readyRead, delivered by the event loop; its handler reads what has arrived.
#pragma once

#include <QObject>
#include <QSerialPort>

#include <functional>
#include <string>

#include "platform/SerialPort.h"

namespace orvalink {

class QtSerialPort final : public QObject, public SerialPort {
    Q_OBJECT
public:
    // The device name of COM n ("" when there is none).
    using Resolver = std::function<std::string(int portNumber)>;

    explicit QtSerialPort(Resolver resolver, QObject* parent = nullptr);
    ~QtSerialPort() override;

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
    bool IsOpen() const override { return port_.isOpen(); }
    std::string ErrorText() const override { return error_; }

    int OutputFree() const override;
    bool WriteChar(uint8_t byte) override;
    bool Write(std::span<const uint8_t> bytes) override;

    size_t InputCount() const override;
    bool ReadChar(uint8_t& byte) override;
    size_t Read(std::span<uint8_t> out) override;
    void FlushInput() override;
    void FlushOutput() override;
    void SetDataAvailableHandler(DataAvailableHandler handler) override { handler_ = std::move(handler); }

private:
    void OnReadyRead();
    void OnError(QSerialPort::SerialPortError error);
    void Apply();
    // Whether the open port's far end has hung up (looked at without waiting).
    bool LineHungUp() const;
    // Whether the device is a terminal; true when that cannot be told.
    static bool IsTerminal(const std::string& name);

    Resolver resolver_;
    QSerialPort port_;
    int portNumber_ = 0;
    int baud_ = 38400;
    Parity parity_ = Parity::None;
    int dataBits_ = 8;
    int stopBits_ = 1;
    int inSize_ = 4096;
    int outSize_ = 4096;
    std::string error_;
    DataAvailableHandler handler_;
};

}  // namespace orvalink
