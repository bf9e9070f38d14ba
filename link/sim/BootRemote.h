// The boot side of the virtual remote: what a remote with its switch at
// "PROG" answers, and its data flash's TI frames.
//
//   Binary boot loader (after the 'A' wake-up, eight-byte frames):
//     0xAF  its identification, 16 bytes (the text, padded with zeros)
//     0xA7  'B': the loader is entered
//     0xA8  first sector (bytes 2-3), count (bytes 6-7): erased, 'B'
//     0xA9  page (bytes 2-3): 'B', then 512 bytes and their Sum16 (low byte
//           first): 'B' stored, 'C' bad sum
//     0xAA  the program's Sum16: 'B'
//   Text boot loader (ASCII words, the wake word "PB" / 0xA0 "PB" ignored):
//     "RESTART", "ERASE", "COMPLETE" -> "FINISH" (or "FAIL" as a fault);
//     "WRITE" -> "CONTINUE", then
//     512 bytes and their Sum16: "FINISH" (or, as the VC loader, the page's
//     Sum16 low byte first), "FAIL" for a bad sum.
//   ROM boot mode (9600 then 38400 bit/s): 0x00 echoed, 0x55 -> 0xAA, chip
//     check 0x05 / 0x00 -> 0x05 0x00, the 1280 loader bytes echoed (the last
//     as the word <byte> 0xAA), 'W' 0x00 -> 0x06, address and length (32-bit,
//     high first), XON before every 128-byte piece and before the one's
//     complement of the sum's low byte, 0x06; 'C' -> Sum32 of bytes 2048 to
//     32767, high byte first.
//   TI flash: "TS" (write) or "GD" (read), then "SP" first and "PZ" count,
//     each echoed as a word (high first). Write: 264 bytes and their Sum32
//     (low first) per block, answered with the sum it computed. Read: 264
//     bytes and their Sum32 per block; the PC echoes the sum to go on.
//
// The firmware it was given lives in its own buffer (58880 bytes).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvalink {

struct BootFaults {
    std::string identification = "QM-5100";  // the answer to 0xAF
    int refusePage = -1;       // page whose announcement is refused ('C') ...
    int refuseTimes = 1;       // ... this many times
    int mutePage = -1;         // page whose announcement gets no answer ...
    int muteTimes = 0;         // ... this many times
    int errorTimes = 0;        // "ERROR" to the first K "WRITE"s
    int failEraseTimes = 0;    // "FAIL" to the first K "ERASE"s (nothing erased)
    int failCompleteTimes = 0; // "FAIL" to the first K "COMPLETE"s (the program not finished)
    bool vcAcknowledge = false;// the text loader answers pages with their Sum16
    uint16_t chipId = 0x0500;  // the ROM boot mode's chip check
    int wrongEchoAt = -1;      // loader byte echoed wrongly
    int badSumBlock = -1;      // TI block read with / write answered with a wrong sum
};

class BootRemote {
public:
    static constexpr size_t kFirmwareBytes = 58880;

    // Sends bytes after a delay, at a bit rate.
    using Emit = std::function<void(std::vector<uint8_t> bytes, uint32_t delayMicros, int baud)>;

    BootRemote(std::vector<uint8_t>& flash, Emit emit);

    BootFaults& Faults() { return faults_; }
    // Called when a boot loader finished a program, and when a TI write ended.
    void SetFirmwareWrittenHandler(std::function<void()> h) { onFirmware_ = std::move(h); }
    void SetFlashWrittenHandler(std::function<void()> h) { onFlash_ = std::move(h); }
    // Called with every TI block just stored (its number and its bytes in the
    // flash): the owner's faults may spoil it there.
    void SetStoredHandler(std::function<void(int block, std::span<uint8_t> stored)> h) { onStored_ = std::move(h); }
    // Answer delays.
    void SetTiming(uint32_t replyMicros, uint32_t eraseMicros) {
        replyMicros_ = replyMicros;
        eraseMicros_ = eraseMicros;
    }

    // A command frame of the current protocol; false when it is not a boot
    // loader command.
    bool Command(std::span<const uint8_t> frame8);
    // Whether the next bytes belong to the boot side (a page, a text, ROM or
    // TI session).
    bool Active() const { return state_ != State::Idle; }
    // Active, or in the middle of a wake word while asleep.
    bool Busy() const { return Active() || !recent_.empty(); }
    // A byte while Active() or while the remote sleeps; false when the boot
    // side does not take it.
    bool Byte(uint8_t b, int baud);
    // The 'A' wake-up or a long silence ends any session.
    void Reset();

    // The firmware from a file (at most kFirmwareBytes; the rest 0xFF) / into
    // a file, written beside it and renamed. False with a reason in error.
    bool LoadFirmware(const std::string& path, std::string& error);
    bool SaveFirmware(const std::string& path, std::string& error) const;

    std::vector<uint8_t>& Firmware() { return firmware_; }
    const std::vector<uint8_t>& Firmware() const { return firmware_; }

    // What it has seen.
    int SectorsErased() const { return sectorsErased_; }
    int PagesWritten() const { return pagesWritten_; }
    int PageRefusals() const { return pageRefusals_; }
    int Programs() const { return programs_; }
    int TiBlocksWritten() const { return tiBlocksWritten_; }
    int TiBlocksSent() const { return tiBlocksSent_; }
    const std::vector<std::string>& Words() const { return words_; }

private:
    enum class State {
        Idle,
        BinaryPage,   // 514 bytes of a page
        Text,         // words
        TextPage,     // 514 bytes of a page
        RomSync,
        RomChip,
        RomLoader,
        RomWrite,     // 'W' 0x00
        RomRange,     // 8 bytes
        RomXonReply,  // the PC's answer to XON
        RomData,      // a piece
        RomDone,      // waiting for 'C'
        TiRange,      // "SP"/"PZ" frames
        TiWriteBlock, // 268 bytes
        TiReadAck,    // 4 bytes
    };

    void Send(std::vector<uint8_t> bytes, uint32_t delay = 0);
    void SendText(std::string_view text) { Send(std::vector<uint8_t>(text.begin(), text.end())); }
    void TextWord(const std::string& word);
    bool StorePage(int page);
    void TiSendBlock();

    std::vector<uint8_t>& flash_;
    Emit emit_;
    BootFaults faults_;
    std::function<void()> onFirmware_;
    std::function<void()> onFlash_;
    std::function<void(int, std::span<uint8_t>)> onStored_;
    uint32_t replyMicros_ = 100;
    uint32_t eraseMicros_ = 20'000;

    State state_ = State::Idle;
    int baud_ = 115200;  // the rate the last byte came at
    std::vector<uint8_t> firmware_;
    std::vector<uint8_t> collect_;
    std::string recent_;  // the last bytes while asleep or in a text session
    int page_ = 0;
    bool entered_ = false;
    int refused_ = 0;
    int muted_ = 0;
    int errors_ = 0;
    int eraseFailures_ = 0;
    int completeFailures_ = 0;
    // ROM boot mode.
    size_t loaderIndex_ = 0;
    uint32_t romAddress_ = 0;
    uint32_t romLength_ = 0;
    uint32_t romDone_ = 0;
    uint32_t romSum_ = 0;
    size_t pieceLeft_ = 0;
    // TI flash.
    bool tiWrite_ = false;
    int tiFirst_ = -1;
    int tiCount_ = -1;
    int tiIndex_ = 0;
    uint32_t tiSent_ = 0;

    int sectorsErased_ = 0;
    int pagesWritten_ = 0;
    int pageRefusals_ = 0;
    int programs_ = 0;
    int tiBlocksWritten_ = 0;
    int tiBlocksSent_ = 0;
    std::vector<std::string> words_;
};

}  // namespace orvalink
