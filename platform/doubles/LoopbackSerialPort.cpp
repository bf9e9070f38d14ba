#include "platform/doubles/LoopbackSerialPort.h"

#include <algorithm>

namespace orvalink {

LoopbackSerialPort::LoopbackSerialPort(VirtualEventPump& pump, int presentPort)
    : pump_(pump), presentPort_(presentPort) {
    pump_.Attach(this);
}

LoopbackSerialPort::~LoopbackSerialPort() { pump_.Detach(this); }

uint64_t LoopbackSerialPort::CharMicros(int baud) const {
    if (baud <= 0) baud = 9600;
    return (uint64_t(BitsPerCharacter(dataBits_, parity_, stopBits_)) * 1'000'000 + uint64_t(baud) - 1) / uint64_t(baud);
}

bool LoopbackSerialPort::Open() {
    error_.clear();
    if (open_) return true;
    if (failOpens_ > 0) {
        --failOpens_;
        error_ = "the port could not be opened";
        return false;
    }
    if (hungUp_ || presentPort_ == 0 || portNumber_ != presentPort_) {
        error_ = "COM" + std::to_string(portNumber_) + ": no such port";
        return false;
    }
    if (denyAccess_) {
        error_ = "Permission denied";
        return false;
    }
    open_ = true;
    input_.clear();
    openedRates_.push_back(baud_);
    return true;
}

void LoopbackSerialPort::Close() {
    // Bytes already written still leave the adapter; what arrives later is lost.
    open_ = false;
    input_.clear();
}

int LoopbackSerialPort::OutputFree() const {
    size_t pending = 0;
    for (const auto& f : toPeer_) pending += f.bytes.size();
    return pending >= size_t(outSize_) ? 0 : outSize_ - int(pending);
}

bool LoopbackSerialPort::Write(std::span<const uint8_t> bytes) {
    if (!open_ || hungUp_) return false;
    if (bytes.empty()) return true;
    if (bytes.size() > size_t(OutputFree())) return false;
    written_.insert(written_.end(), bytes.begin(), bytes.end());
    uint64_t start = std::max(pump_.NowMicros(), toPeerFree_);
    toPeerFree_ = start + bytes.size() * CharMicros(baud_);
    toPeer_.push_back({toPeerFree_ + latencyUs_, {bytes.begin(), bytes.end()}, baud_});
    return true;
}

bool LoopbackSerialPort::ReadChar(uint8_t& byte) {
    if (input_.empty()) return false;
    byte = input_.front();
    input_.pop_front();
    return true;
}

size_t LoopbackSerialPort::Read(std::span<uint8_t> out) {
    size_t n = std::min(out.size(), input_.size());
    for (size_t i = 0; i < n; ++i) {
        out[i] = input_.front();
        input_.pop_front();
    }
    return n;
}

void LoopbackSerialPort::FlushOutput() {
    // What has not yet reached the wire is discarded.
    uint64_t now = pump_.NowMicros();
    while (!toPeer_.empty() && toPeer_.back().arrival > now + latencyUs_ + CharMicros(toPeer_.back().baud)) {
        toPeer_.pop_back();
    }
    toPeerFree_ = toPeer_.empty() ? now : toPeer_.back().arrival - latencyUs_;
}

void LoopbackSerialPort::SendFromPeer(std::span<const uint8_t> bytes, int baud) {
    if (hungUp_) return;
    uint64_t charUs = CharMicros(baud);
    for (size_t pos = 0; pos < bytes.size(); pos += chunk_) {
        size_t n = std::min(chunk_, bytes.size() - pos);
        uint64_t start = std::max(pump_.NowMicros(), toPcFree_);
        toPcFree_ = start + n * charUs;
        toPc_.push_back({toPcFree_ + latencyUs_, {bytes.begin() + pos, bytes.begin() + pos + n}, baud});
    }
}

void LoopbackSerialPort::HangUp() {
    hungUp_ = true;
    presentPort_ = 0;
    input_.clear();
    toPc_.clear();
    toPeer_.clear();
}

uint64_t LoopbackSerialPort::NextEventMicros() const {
    uint64_t next = kNever;
    if (!toPeer_.empty()) next = std::min(next, toPeer_.front().arrival);
    if (!toPc_.empty()) next = std::min(next, toPc_.front().arrival);
    if (peer_) next = std::min(next, peer_->NextEventMicros());
    return next;
}

void LoopbackSerialPort::RunUntil(uint64_t nowMicros) {
    while (!toPeer_.empty() && toPeer_.front().arrival <= nowMicros) {
        InFlight f = std::move(toPeer_.front());
        toPeer_.pop_front();
        if (peer_) peer_->OnReceive(f.bytes, f.baud, nowMicros);
    }
    if (peer_) peer_->RunUntil(nowMicros);
    bool arrived = false;
    while (!toPc_.empty() && toPc_.front().arrival <= nowMicros) {
        InFlight f = std::move(toPc_.front());
        toPc_.pop_front();
        if (!open_) continue;  // nobody listens: the bytes are lost
        for (uint8_t b : f.bytes) {
            if (input_.size() < size_t(inSize_)) input_.push_back(b);  // an overrun drops the rest
        }
        arrived = true;
    }
    if (arrived && handler_ && !input_.empty()) {
        ++handlerCalls_;
        handler_(input_.size());
    }
}

}  // namespace orvalink
