#include "link/sim/VirtualRemote.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/ByteIo.h"

namespace orvalink {

namespace {
constexpr int kLineRate = 115200;
constexpr int kPacketRate = 38400;
constexpr size_t kBlock = 264;
constexpr size_t kPacket = 128;
constexpr uint8_t kA = 'A', kB = 'B', kC = 'C';
// Wake bytes closer together than this are rounds of one wake-up; the start
// of a write comes after a pause.
constexpr uint64_t kWakeRepeatMicros = 25'000;
}  // namespace

VirtualRemote::VirtualRemote(size_t flashBytes)
    : flash_(flashBytes, 0xFF),
      boot_(flash_, [this](std::vector<uint8_t> bytes, uint32_t delay, int baud) { Emit(std::move(bytes), delay, baud); }) {
    // A learned code of its own: a plausible record with recognisable data.
    boot_.SetStoredHandler([this](int block, std::span<uint8_t> stored) { SpoilStored(block, stored); });
    learned_.fill(0xFF);
    learned_[0] = 4;  // length in blocks
    for (size_t i = 1; i < 32; ++i) learned_[i] = uint8_t(0x30 + i);
}

void VirtualRemote::SpoilStored(int block, std::span<uint8_t> stored) const {
    if (block == faults_.storeOtherBlock)
        std::for_each(stored.begin(), stored.end(), [](uint8_t& v) { v = uint8_t(~v); });
    if (block == faults_.flipBitBlock && stored.size() > RemoteFaults::kFlippedByte)
        stored[RemoteFaults::kFlippedByte] ^= RemoteFaults::kFlippedBit;
}

void VirtualRemote::SetLearnedCode(std::span<const uint8_t> code512) {
    std::copy_n(code512.begin(), std::min(code512.size(), learned_.size()), learned_.begin());
}

std::string VirtualRemote::StateName() const {
    static const char* const names[] = {
        "Asleep", "Command", "ReadWaitAck", "WriteBlocks", "IrLearnWaiting", "IrLearnStartSent", "IrLearnDone",
        "IrSendCode", "IrSendArmed", "IrSendFiring", "PacketAwake", "PacketWriteIdle", "PacketWriteNumber",
        "PacketWriteData", "PacketReadRange", "PacketReadWaitGo", "PacketReadWaitRate", "PacketReadWaitAck1",
        "PacketReadWaitAck2", "PacketReadWaitSum", "Silent", "Gone"};
    return names[int(state_)];
}

uint32_t VirtualRemote::NextRandom() {
    // xorshift32: the garbage only needs to be unpredictable to the PC.
    randomState_ ^= randomState_ << 13;
    randomState_ ^= randomState_ >> 17;
    randomState_ ^= randomState_ << 5;
    return randomState_;
}

void VirtualRemote::Emit(std::vector<uint8_t> bytes, uint32_t delayMicros, int baud) {
    if (state_ == State::Gone || state_ == State::Silent) return;
    if (faults_.garbage) {
        for (auto& b : bytes) b = uint8_t(NextRandom());
    }
    outbox_.emplace(now_ + delayMicros, std::make_pair(std::move(bytes), baud));
}

uint64_t VirtualRemote::NextEventMicros() const {
    uint64_t next = kNever;
    if (!outbox_.empty()) next = outbox_.begin()->first;
    if (learnAt_) next = std::min(next, *learnAt_);
    if (state_ != State::Asleep && state_ != State::Gone && state_ != State::IrLearnWaiting)
        next = std::min(next, lastInput_ + timing_.idleMicros);
    if (boot_.Active()) next = std::min(next, lastInput_ + timing_.idleMicros);
    return next;
}

void VirtualRemote::RunUntil(uint64_t nowMicros) {
    now_ = std::max(now_, nowMicros);
    if (learnAt_ && *learnAt_ <= now_) {
        learnAt_.reset();
        if (state_ == State::IrLearnWaiting) {
            state_ = State::IrLearnStartSent;
            lastInput_ = now_;
            Emit(kB, 0, kLineRate);
        }
    }
    while (!outbox_.empty() && outbox_.begin()->first <= now_) {
        auto item = std::move(outbox_.begin()->second);
        outbox_.erase(outbox_.begin());
        if (output_ && state_ != State::Gone) output_(item.first, item.second);
    }
    if (state_ != State::Asleep && state_ != State::Gone && state_ != State::IrLearnWaiting &&
        now_ >= lastInput_ + timing_.idleMicros) {
        GoToSleep();
    }
    if (boot_.Active() && now_ >= lastInput_ + timing_.idleMicros) boot_.Reset();
}

void VirtualRemote::GoToSleep() {
    state_ = State::Asleep;
    collect_.clear();
    learnAt_.reset();
    boot_.Reset();
}

bool VirtualRemote::FaultStrikes() {
    if (faults_.hangUpAfter >= 0 && sessionBlocks_ >= faults_.hangUpAfter) {
        state_ = State::Gone;
        outbox_.clear();
        if (onHangUp_) onHangUp_();
        return true;
    }
    if (faults_.silentAfter >= 0 && sessionBlocks_ >= faults_.silentAfter) {
        state_ = State::Silent;
        outbox_.clear();
        return true;
    }
    return false;
}

void VirtualRemote::Receive(std::span<const uint8_t> bytes, int baud, uint64_t nowMicros) {
    now_ = std::max(now_, nowMicros);
    if (older_ && older_->End() == FarEnd::Nothing) return;
    if (older_ && older_->End() == FarEnd::Jig) {
        auto echo = older_->Echo(bytes);
        if (!echo.empty()) Emit(std::move(echo), timing_.replyMicros, OlderRemote::kJigRate);
        return;
    }
    for (uint8_t b : bytes) Byte(b, baud, now_);
}

void VirtualRemote::Byte(uint8_t b, int baud, uint64_t now) {
    if (state_ == State::Gone) return;
    // 'A' at 300 bit/s wakes it from anything, silence included.
    if (b == kA && (baud == 300 || (lenientWake_ && !TakingData()))) {
        GoToSleep();
        state_ = State::Command;
        sessionBlocks_ = 0;
        lastInput_ = now;
        ++wakeUps_;
        Emit(kB, timing_.wakeMicros, kLineRate);
        return;
    }
    if (state_ == State::Silent) return;
    // A page for the boot loader, a text, ROM or TI session, or a wake word.
    if ((boot_.Active() || state_ == State::Asleep) && boot_.Byte(b, baud)) {
        lastInput_ = now;
        return;
    }
    if (state_ != State::Asleep && FaultStrikes()) return;
    const bool packetState = state_ >= State::PacketAwake && state_ <= State::PacketReadWaitSum;
    if (state_ == State::Asleep) {
        if (b == 0x08 && baud == kPacketRate) {
            state_ = State::PacketAwake;
            lastWake_ = now;
            sessionBlocks_ = 0;
            lastInput_ = now;
            Emit(0x08, 200, kPacketRate);
        }
        return;
    }
    // Bytes at another rate than the line's are noise to it.
    if (baud != (packetState ? kPacketRate : kLineRate)) return;
    lastInput_ = now;

    switch (state_) {
        case State::Command:
            collect_.push_back(b);
            if (collect_.size() == 8) Command(now);
            break;

        case State::ReadWaitAck:
            if (b == kB) {
                ++index_;
                ++sessionBlocks_;
                if (index_ >= count_) {
                    state_ = State::Command;
                } else if (!FaultStrikes()) {
                    SendReadBlock();
                }
            } else if (b == kC) {
                state_ = State::Command;
            }
            break;

        case State::WriteBlocks:
            collect_.push_back(b);
            if (collect_.size() == kBlock + 2) {
                ByteReader r(collect_);
                auto data = r.View(kBlock);
                uint16_t sum = r.U16();
                const int block = first_ + index_;
                bool refuse = Sum16(data) != sum;
                if (!refuse && block == faults_.refuseBlock && refusedSoFar_ < faults_.refuseTimes) {
                    ++refusedSoFar_;
                    refuse = true;
                }
                if (refuse) {
                    ++refusals_;
                    collect_.clear();
                    Emit(kC, timing_.replyMicros, kLineRate);
                    break;
                }
                std::copy(data.begin(), data.end(), flash_.begin() + long(size_t(block) * kBlock));
                SpoilStored(block, std::span<uint8_t>(flash_).subspan(size_t(block) * kBlock, kBlock));
                ++blocksWritten_;
                ++index_;
                ++sessionBlocks_;
                collect_.clear();
                Emit(kB, timing_.replyMicros, kLineRate);
                if (index_ >= count_) state_ = State::Command;
            }
            break;

        case State::IrLearnWaiting:
            if (b == kC) GoToSleep();
            break;
        case State::IrLearnStartSent:
            if (b == kB) {
                if (!learnQueue_.empty()) {
                    learned_ = learnQueue_[learnNext_];
                    learnNext_ = (learnNext_ + 1) % learnQueue_.size();
                }
                if (onIrEvent_) onIrEvent_(IrEvent::Learned, learned_);
                std::vector<uint8_t> out(learned_.begin(), learned_.end());
                uint16_t sum = Sum16(learned_);
                out.push_back(uint8_t(sum));
                out.push_back(uint8_t(sum >> 8));
                state_ = State::IrLearnDone;
                Emit(std::move(out), timing_.replyMicros, kLineRate);
            } else if (b == kC) {
                GoToSleep();
            }
            break;
        case State::IrLearnDone:
            if (b == kC) GoToSleep();
            break;

        case State::IrSendCode:
            collect_.push_back(b);
            if (collect_.size() == 514) {
                ByteReader r(collect_);
                auto data = r.View(512);
                uint16_t sum = r.U16();
                if (Sum16(data) == sum) {
                    std::array<uint8_t, 512> code{};
                    std::copy(data.begin(), data.end(), code.begin());
                    codesReceived_.push_back(code);
                    if (onIrEvent_) onIrEvent_(IrEvent::Received, code);
                    state_ = State::IrSendArmed;
                    Emit(kB, timing_.replyMicros, kLineRate);
                } else {
                    state_ = State::Command;
                    Emit(kC, timing_.replyMicros, kLineRate);
                }
                collect_.clear();
            }
            break;
        case State::IrSendArmed:
            if (b == kB) {
                ++shots_;
                state_ = State::IrSendFiring;
                if (onIrEvent_) onIrEvent_(IrEvent::Fired, {});
            }
            break;
        case State::IrSendFiring:
            if (b == kB) {
                if (onIrEvent_) onIrEvent_(IrEvent::Released, {});
                Emit(kB, timing_.replyMicros, kLineRate);
                GoToSleep();
            }
            break;

        // ---- the older packet protocol
        case State::PacketAwake:
            if (b == 0x08 && now < lastWake_ + kWakeRepeatMicros) {
                // Another round of the PC's wake-up (our echo was late): echo again.
                lastWake_ = now;
                Emit(0x08, 200, kPacketRate);
            } else if (b == 0x08) {
                state_ = State::PacketWriteIdle;
                index_ = 0;
                refusedSoFar_ = 0;
                Emit(0x06, 200, kPacketRate);
            } else if (b == 0x04) {
                state_ = State::PacketReadRange;
                collect_.clear();
                Emit(0x06, 200, kPacketRate);
            }
            break;
        case State::PacketWriteIdle:
            if (b == 'L') {
                Emit(0x06, 200, kPacketRate);
            } else if (b == 0x06) {
                state_ = State::PacketWriteNumber;
                collect_.clear();
                Emit(0x06, 200, kPacketRate);
            }
            break;
        case State::PacketWriteNumber:
            collect_.push_back(b);
            if (collect_.size() == 2) {
                packetNumber_ = collect_[0] << 8 | collect_[1];
                collect_.clear();
                if (packetNumber_ == faults_.refuseBlock && refusedSoFar_ < faults_.refuseTimes) {
                    ++refusedSoFar_;
                    ++refusals_;
                    state_ = State::PacketWriteIdle;
                    Emit(0x09, 200, kPacketRate);
                    break;
                }
                state_ = State::PacketWriteData;
                Emit(0x06, 200, kPacketRate);
            }
            break;
        case State::PacketWriteData:
            collect_.push_back(b);
            if (collect_.size() == kPacket) {
                uint16_t sum = Sum16(collect_);
                if (packetNumber_ == faults_.corruptBlock) sum = uint16_t(sum + 1);
                if (size_t(packetNumber_ + 1) * kPacket <= PacketFlash().size())
                    std::copy(collect_.begin(), collect_.end(), PacketFlash().begin() + size_t(packetNumber_) * kPacket);
                ++packetsWritten_;
                ++index_;
                ++sessionBlocks_;
                collect_.clear();
                state_ = State::PacketWriteIdle;
                Emit(std::vector<uint8_t>{uint8_t(sum >> 8), uint8_t(sum)}, 200, kPacketRate);
                if (older_) older_->MarkChanged();
                else if (onFlashChanged_) onFlashChanged_();
            }
            break;
        case State::PacketReadRange:
            collect_.push_back(b);
            if (collect_.size() == 4) {
                packetNumber_ = collect_[0] << 8 | collect_[1];
                packetLast_ = collect_[2] << 8 | collect_[3];
                collect_.clear();
                index_ = 0;
                if (packetLast_ < packetNumber_ || size_t(packetLast_ + 1) * kPacket > PacketFlash().size()) {
                    Emit(0x09, 200, kPacketRate);
                    GoToSleep();
                    break;
                }
                state_ = State::PacketReadWaitGo;
                Emit(0x06, 200, kPacketRate);
                Emit(0x08, 20'000, kPacketRate);
            }
            break;
        case State::PacketReadWaitGo:
            if (b == 0x06) {
                state_ = State::PacketReadWaitRate;
                Emit('L', 200, kPacketRate);
            }
            break;
        case State::PacketReadWaitRate:
            if (b == 0x09) SendPacketStart();
            break;
        case State::PacketReadWaitAck1:
            if (b == 0x06) {
                state_ = State::PacketReadWaitAck2;
                Emit(std::vector<uint8_t>{uint8_t(packetNumber_ >> 8), uint8_t(packetNumber_)}, 200, kPacketRate);
            }
            break;
        case State::PacketReadWaitAck2:
            if (b == 0x06) {
                state_ = State::PacketReadWaitSum;
                collect_.clear();
                const auto* p = PacketFlash().data() + size_t(packetNumber_) * kPacket;
                std::vector<uint8_t> out(p, p + kPacket);
                if (packetNumber_ == faults_.corruptBlock) out[0] ^= 0x5A;  // the sum will not match
                ++packetsSent_;
                Emit(std::move(out), 200, kPacketRate);
            }
            break;
        case State::PacketReadWaitSum:
            collect_.push_back(b);
            if (collect_.size() == 2) {
                const uint16_t sum = uint16_t(collect_[0] << 8 | collect_[1]);
                collect_.clear();
                const uint16_t mine = Sum16({PacketFlash().data() + size_t(packetNumber_) * kPacket, kPacket});
                if (sum != mine) {  // the PC got it wrong: give up
                    Emit(0x09, 200, kPacketRate);
                    GoToSleep();
                    break;
                }
                ++index_;
                ++sessionBlocks_;
                if (packetNumber_ >= packetLast_) {
                    GoToSleep();
                } else if (!FaultStrikes()) {
                    ++packetNumber_;
                    SendPacketStart();
                }
            }
            break;

        case State::Asleep:
        case State::Silent:
        case State::Gone: break;
    }
}

bool VirtualRemote::TakingData() const {
    if (boot_.Busy()) return true;
    switch (state_) {
        case State::Command: return !collect_.empty();
        case State::WriteBlocks:
        case State::IrSendCode:
        case State::PacketWriteNumber:
        case State::PacketWriteData:
        case State::PacketReadRange:
        case State::PacketReadWaitSum: return true;
        default: return false;
    }
}

void VirtualRemote::SendPacketStart() {
    state_ = State::PacketReadWaitAck1;
    Emit(0x06, 500, kPacketRate);
}

void VirtualRemote::Command(uint64_t now) {
    ByteReader r(collect_);
    const uint8_t code = r.U8();
    r.U8();
    const uint16_t word = r.U16();
    const uint8_t b4 = r.U8(), b5 = r.U8(), b6 = r.U8(), b7 = r.U8();
    const uint16_t count = uint16_t(b6 | b7 << 8);
    commands_.push_back(code);
    if (boot_.Command(collect_)) {
        collect_.clear();
        return;
    }
    collect_.clear();
    const size_t blocks = flash_.size() / kBlock;
    switch (code) {
        case 0xA1:
            if (count == 0 || size_t(word) + count > blocks) {
                Emit(kC, timing_.replyMicros, kLineRate);
                break;
            }
            first_ = word;
            count_ = count;
            index_ = 0;
            state_ = State::ReadWaitAck;
            SendReadBlock();
            break;
        case 0xA3:
            if (size_t(word) + count > blocks) {
                Emit(kC, timing_.replyMicros, kLineRate);
                break;
            }
            first_ = word;
            count_ = count;
            index_ = 0;
            refusedSoFar_ = 0;
            Emit(kB, timing_.eraseMicros, kLineRate);
            if (count > 0) state_ = State::WriteBlocks;
            break;
        case 0xA4:
            clock_ = RemoteClock{word, b4, b5, b6, b7};
            Emit(kB, timing_.replyMicros, kLineRate);
            break;
        case 0xA5:
            ++uploadsEnded_;
            Emit(kB, timing_.replyMicros, kLineRate);
            if (onFlashChanged_) onFlashChanged_();
            break;
        case 0xB2:
            state_ = State::IrSendCode;
            Emit(kB, timing_.replyMicros, kLineRate);
            break;
        case 0xB3:
            state_ = State::IrLearnWaiting;
            learnAt_ = now + timing_.learnMicros;
            Emit(kB, timing_.replyMicros, kLineRate);
            break;
        default:
            Emit(kC, timing_.replyMicros, kLineRate);
            break;
    }
}

void VirtualRemote::SendReadBlock() {
    const int block = first_ + index_;
    const uint8_t* p = flash_.data() + size_t(block) * kBlock;
    std::vector<uint8_t> out(p, p + kBlock);
    uint16_t sum = Sum16(out);
    if (block == faults_.corruptBlock) sum = uint16_t(sum << 8 | sum >> 8) ^ 0x0101;  // swapped and spoiled
    out.push_back(uint8_t(sum));
    out.push_back(uint8_t(sum >> 8));
    ++blocksSent_;
    Emit(std::move(out), timing_.replyMicros, kLineRate);
}

bool VirtualRemote::LoadFlash(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != flash_.size()) {
        error = path + " holds " + std::to_string(bytes.size()) + " bytes, the flash " +
                std::to_string(flash_.size());
        return false;
    }
    flash_ = std::move(bytes);
    return true;
}

bool VirtualRemote::SaveFlash(const std::string& path, std::string& error) const {
    const std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = "cannot write " + temp;
            return false;
        }
        out.write(reinterpret_cast<const char*>(flash_.data()), std::streamsize(flash_.size()));
        out.flush();
        if (!out) {
            error = "cannot write " + temp;
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        error = "cannot rename " + temp + ": " + ec.message();
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace orvalink
