// Test double of the serial port: the PC's end of a simulated cable whose far
// end is a CablePeer (the in-process virtual remote). Bytes cross the cable
// at the wire speed of the rate they were sent at, bits per character
// included; what the peer sends arrives in small chunks, as a USB-serial
// adapter hands it over, and is announced by the data-available event while
// the VirtualEventPump runs. Nothing is ever delivered from inside a write.
//
// The test can unplug the adapter, hang up the line, refuse opens and deny
// access, and look at what the PC did with the port.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/SerialPort.h"
#include "platform/doubles/VirtualEventPump.h"

namespace orvalink {

// The far end of the cable.
class CablePeer {
public:
    virtual ~CablePeer() = default;
    // Bytes from the PC, once they have crossed the wire, with the rate the PC sent them at.
    virtual void OnReceive(std::span<const uint8_t> bytes, int baud, uint64_t nowMicros) = 0;
    virtual uint64_t NextEventMicros() const { return SimulatedDevice::kNever; }
    virtual void RunUntil(uint64_t /*nowMicros*/) {}
};

class LoopbackSerialPort final : public SerialPort, public SimulatedDevice {
public:
    // The adapter appears as COM presentPort (0: not plugged in).
    explicit LoopbackSerialPort(VirtualEventPump& pump, int presentPort = 3);
    ~LoopbackSerialPort() override;

    void SetPeer(CablePeer* peer) { peer_ = peer; }
    // The far end sends: bytes travel at `baud` and arrive in chunks.
    void SendFromPeer(std::span<const uint8_t> bytes, int baud);

    // --- what the test controls
    void SetPresentPort(int number) { presentPort_ = number; }
    void HangUp();                         // the cable is pulled: the port is gone
    bool HungUp() const { return hungUp_; }
    void FailNextOpens(int count) { failOpens_ = count; }
    void DenyAccess(bool deny) { denyAccess_ = deny; }
    void SetChunkSize(size_t bytes) { chunk_ = bytes ? bytes : 1; }
    void SetLatencyMicros(uint64_t us) { latencyUs_ = us; }
    // The rates the port was opened at, in order.
    const std::vector<int>& OpenedRates() const { return openedRates_; }
    int OpenCount() const { return int(openedRates_.size()); }
    // Everything the PC wrote, in order.
    const std::vector<uint8_t>& Written() const { return written_; }
    void ClearWritten() { written_.clear(); }
    uint64_t HandlerCalls() const { return handlerCalls_; }

    // --- SerialPort
    void SetPortNumber(int number) override { portNumber_ = number; }
    int PortNumber() const override { return portNumber_; }
    void SetBaudRate(int rate) override { baud_ = rate; }
    int BaudRate() const override { return baud_; }
    void SetParity(Parity parity) override { parity_ = parity; }
    Parity GetParity() const override { return parity_; }
    void SetDataBits(int bits) override { dataBits_ = bits; }
    int DataBits() const override { return dataBits_; }
    void SetStopBits(int bits) override { stopBits_ = bits; }
    int StopBits() const override { return stopBits_; }
    void SetInBufferSize(int bytes) override { inSize_ = bytes; }
    int InBufferSize() const override { return inSize_; }
    void SetOutBufferSize(int bytes) override { outSize_ = bytes; }
    int OutBufferSize() const override { return outSize_; }
    bool Open() override;
    void Close() override;
    bool IsOpen() const override { return open_; }
    std::string ErrorText() const override { return error_; }
    int OutputFree() const override;
    bool WriteChar(uint8_t byte) override { return Write({&byte, 1}); }
    bool Write(std::span<const uint8_t> bytes) override;
    size_t InputCount() const override { return input_.size(); }
    bool ReadChar(uint8_t& byte) override;
    size_t Read(std::span<uint8_t> out) override;
    void FlushInput() override { input_.clear(); }
    void FlushOutput() override;
    void SetDataAvailableHandler(DataAvailableHandler handler) override { handler_ = std::move(handler); }

    // --- SimulatedDevice
    uint64_t NextEventMicros() const override;
    void RunUntil(uint64_t nowMicros) override;

private:
    struct InFlight {
        uint64_t arrival;
        std::vector<uint8_t> bytes;
        int baud;
    };
    uint64_t CharMicros(int baud) const;

    VirtualEventPump& pump_;
    CablePeer* peer_ = nullptr;
    int presentPort_;
    bool hungUp_ = false;
    int failOpens_ = 0;
    bool denyAccess_ = false;
    size_t chunk_ = 32;
    uint64_t latencyUs_ = 0;

    int portNumber_ = 0;
    int baud_ = 38400;
    Parity parity_ = Parity::None;
    int dataBits_ = 8;
    int stopBits_ = 1;
    int inSize_ = 4096;
    int outSize_ = 4096;
    bool open_ = false;
    std::string error_;

    std::deque<InFlight> toPeer_;
    uint64_t toPeerFree_ = 0;
    std::deque<InFlight> toPc_;
    uint64_t toPcFree_ = 0;
    std::deque<uint8_t> input_;
    DataAvailableHandler handler_;

    std::vector<int> openedRates_;
    std::vector<uint8_t> written_;
    uint64_t handlerCalls_ = 0;
};

}  // namespace orvalink
