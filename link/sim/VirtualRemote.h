// A QM-5100 on the far end of the cable, for tests, demos and service staff
// without a remote. It answers what the program sends, in the real byte
// format, from a flash image it holds:
//
//   'A' at 300 bit/s wakes it; it answers 'B' and listens at 115200 bit/s.
//   0xA1 first/count: sends the blocks, each 264 bytes and their Sum16 (low
//        byte first), the next one after the PC's 'B'; a 'C' ends the read.
//   0xA3 first/count: 'B', then takes 264 + 2 bytes per block, answering 'B'
//        (stored) or 'C' (checksum wrong: the PC sends the block again).
//   0xA4 clock: 'B', keeps the date and time. 0xA5 end of upload: 'B'.
//   0xB3 IR learn: 'B'; a while later (the user pointing a remote at it) 'B'
//        again, then, after the PC's 'B', its learned code: 512 bytes and
//        their Sum16. 'C' ends learning.
//   0xB2 IR send: 'B'; takes 512 + 2 bytes (the code), answers 'B', then the
//        PC's 'B' fires the code and the next 'B' (the release) is answered 'B'.
//   0x08 at 38400 bit/s: the older packet protocol (echo 0x08; more 0x08
//        within 25 ms are echoed too; a later 0x08 starts a write session,
//        0x04 a read session).
//
// The remote knows nothing of how bytes travel: the host hands it what
// arrived (with the bit rate it was sent at and the time) and sends what it
// emits. Its replies come after short delays of its own (RemoteTiming); the
// host asks NextEventMicros and calls RunUntil. Faults make it refuse a
// block, spoil a block's checksum, fall silent or hang up after some blocks,
// answer garbage, or acknowledge a block and store other bytes (all of them,
// or one bit).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/sim/BootRemote.h"
#include "link/sim/OlderRemote.h"

namespace orvalink {

struct RemoteFaults {
    int refuseBlock = -1;         // block number a write refuses ('C') ...
    int refuseTimes = 1 << 30;    // ... this many times
    int corruptBlock = -1;        // block number a read sends with a wrong checksum
    // Blocks (or packets) moved since the wake-up after which it says nothing
    // more until woken again / hangs up the line for good.
    int silentAfter = -1;
    int hangUpAfter = -1;
    bool garbage = false;         // every answer replaced by random bytes
    // A flash that lies: block number a write acknowledges but stores with
    // every byte inverted, and block number a write stores with one bit
    // flipped (bit kFlippedBit of byte kFlippedByte). Every write of the
    // block is spoiled, by the block protocol and the TI flash frames alike;
    // a read sends what was stored.
    int storeOtherBlock = -1;
    int flipBitBlock = -1;
    static constexpr size_t kFlippedByte = 100;
    static constexpr uint8_t kFlippedBit = 0x08;
};

struct RemoteTiming {
    uint32_t wakeMicros = 150'000;      // from the wake byte to its 'B'
    uint32_t replyMicros = 100;         // answer to a command or a block
    uint32_t eraseMicros = 20'000;      // answer to 0xA3 (the flash is prepared)
    uint32_t learnMicros = 1'500'000;   // from 0xB3 until a code is "learned"
    uint32_t idleMicros = 2'500'000;    // silence after which it goes back to sleep
};

struct RemoteClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

class VirtualRemote {
public:
    static constexpr size_t kDefaultFlashBytes = 4096 * 264;
    static constexpr uint64_t kNever = UINT64_MAX;

    // bytes the remote sends at the given bit rate
    using Output = std::function<void(std::span<const uint8_t> bytes, int baud)>;

    explicit VirtualRemote(size_t flashBytes = kDefaultFlashBytes);

    void SetOutput(Output output) { output_ = std::move(output); }
    // Called once when a hang-up fault strikes.
    void SetHangUpHandler(std::function<void()> handler) { onHangUp_ = std::move(handler); }
    // Called after every accepted end of upload (0xA5) and packet write.
    void SetFlashChangedHandler(std::function<void()> handler) { onFlashChanged_ = std::move(handler); }

    // A line that cannot tell the wake byte's bit rate (a pseudo-terminal):
    // a lone 'A' where no data is expected is taken as the wake-up too.
    void SetLenientWake(bool lenient) { lenientWake_ = lenient; }

    // The older flash and the far end of the cable (jig, nothing); without
    // one the packet protocol works on the start of Flash().
    void SetOlderRemote(OlderRemote* older) { older_ = older; }

    RemoteFaults& Faults() { return faults_; }
    // The boot loaders and the TI flash frames (a remote at "PROG").
    BootRemote& Boot() { return boot_; }
    const BootRemote& Boot() const { return boot_; }
    RemoteTiming& Timing() { return timing_; }

    // What arrived from the PC.
    void Receive(std::span<const uint8_t> bytes, int baud, uint64_t nowMicros);
    uint64_t NextEventMicros() const;
    void RunUntil(uint64_t nowMicros);

    std::span<uint8_t> Flash() { return flash_; }
    std::span<const uint8_t> Flash() const { return flash_; }
    // The flash from a file (its size must be the flash's) / into a file,
    // written beside it and renamed. False with a reason in error.
    bool LoadFlash(const std::string& path, std::string& error);
    bool SaveFlash(const std::string& path, std::string& error) const;

    // The code it "learns" when asked (512 bytes).
    void SetLearnedCode(std::span<const uint8_t> code512);
    const std::array<uint8_t, 512>& LearnedCode() const { return learned_; }
    // Codes handed to it to learn, one a learning round in turn (after the
    // last, the first again); empty: the code above every time.
    void SetLearnQueue(std::vector<std::array<uint8_t, 512>> codes) {
        learnQueue_ = std::move(codes);
        learnNext_ = 0;
    }

    // What it does with IR codes, as it happens: a code learned and sent to
    // the PC, a code taken from the PC, fired (the press) and released.
    enum class IrEvent { Learned, Received, Fired, Released };
    using IrEventHandler = std::function<void(IrEvent event, std::span<const uint8_t> code)>;
    void SetIrEventHandler(IrEventHandler handler) { onIrEvent_ = std::move(handler); }

    // What it has seen.
    const std::optional<RemoteClock>& ClockSet() const { return clock_; }
    const std::vector<std::array<uint8_t, 512>>& CodesReceived() const { return codesReceived_; }
    int Shots() const { return shots_; }
    int WakeUps() const { return wakeUps_; }
    int BlocksSent() const { return blocksSent_; }
    int BlocksWritten() const { return blocksWritten_; }
    int Refusals() const { return refusals_; }
    int UploadsEnded() const { return uploadsEnded_; }
    int PacketsSent() const { return packetsSent_; }
    int PacketsWritten() const { return packetsWritten_; }
    bool HungUp() const { return state_ == State::Gone; }
    // The commands it took, in order (first byte of each frame).
    const std::vector<uint8_t>& Commands() const { return commands_; }
    std::string StateName() const;

private:
    enum class State {
        Asleep,
        Command,
        ReadWaitAck,
        WriteBlocks,
        IrLearnWaiting,   // 0xB3 taken, "learning"
        IrLearnStartSent, // 'B' sent, waiting for the PC's 'B'
        IrLearnDone,      // code sent, waiting for 'C'
        IrSendCode,       // collecting the 514 bytes
        IrSendArmed,      // waiting for the fire 'B'
        IrSendFiring,     // waiting for the release 'B'
        PacketAwake,
        PacketWriteIdle,
        PacketWriteNumber,
        PacketWriteData,
        PacketReadRange,
        PacketReadWaitGo,
        PacketReadWaitRate,
        PacketReadWaitAck1,
        PacketReadWaitAck2,
        PacketReadWaitSum,
        Silent,
        Gone,
    };

    void Byte(uint8_t b, int baud, uint64_t now);
    void Emit(std::vector<uint8_t> bytes, uint32_t delayMicros, int baud);
    void Emit(uint8_t b, uint32_t delayMicros, int baud) { Emit(std::vector<uint8_t>{b}, delayMicros, baud); }
    void Command(uint64_t now);
    void SendReadBlock();
    void SendPacketStart();
    void GoToSleep();
    // Whether a silence or hang-up fault strikes now that index_ blocks of
    // the transfer are done (and if so, strikes).
    bool FaultStrikes();
    // The store faults on a block just written.
    void SpoilStored(int block, std::span<uint8_t> stored) const;
    uint32_t NextRandom();
    // Whether the remote is in the middle of taking data (where 'A' is data).
    bool TakingData() const;
    // What the packet protocol reads and writes.
    std::span<uint8_t> PacketFlash() { return older_ ? older_->Flash() : std::span<uint8_t>(flash_); }

    std::vector<uint8_t> flash_;
    Output output_;
    std::function<void()> onHangUp_;
    std::function<void()> onFlashChanged_;
    RemoteFaults faults_;
    RemoteTiming timing_;
    BootRemote boot_;
    OlderRemote* older_ = nullptr;

    bool lenientWake_ = false;
    State state_ = State::Asleep;
    uint64_t now_ = 0;
    uint64_t lastInput_ = 0;
    std::vector<uint8_t> collect_;
    int first_ = 0;
    int count_ = 0;
    int index_ = 0;          // blocks or packets done in this transfer
    int sessionBlocks_ = 0;  // blocks and packets moved since the wake-up (the faults count these)
    int refusedSoFar_ = 0;
    int packetNumber_ = 0;
    int packetLast_ = 0;
    uint64_t lastWake_ = 0;
    std::multimap<uint64_t, std::pair<std::vector<uint8_t>, int>> outbox_;
    std::optional<uint64_t> learnAt_;
    uint32_t randomState_ = 0x2545F491u;

    std::array<uint8_t, 512> learned_{};
    std::vector<std::array<uint8_t, 512>> learnQueue_;
    size_t learnNext_ = 0;
    IrEventHandler onIrEvent_;
    std::optional<RemoteClock> clock_;
    std::vector<std::array<uint8_t, 512>> codesReceived_;
    std::vector<uint8_t> commands_;
    int shots_ = 0;
    int wakeUps_ = 0;
    int blocksSent_ = 0;
    int blocksWritten_ = 0;
    int refusals_ = 0;
    int uploadsEnded_ = 0;
    int packetsSent_ = 0;
    int packetsWritten_ = 0;
};

}  // namespace orvalink
