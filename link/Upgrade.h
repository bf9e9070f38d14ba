// Rewriting the remote's own program and its data flash outside the
// configuration transfers: the binary boot loader (eight-byte frames), the
// text boot loader ("RESTART", "ERASE", "WRITE", "COMPLETE"), the ROM boot
// mode of the oldest MCU, and the TI flash frames ("SP"/"PZ") of the 2300
// family and the Slimline; the upgrade page's test buttons that start them,
// and the backup of a whole remote by model family.
//
// Every routine is one link exchange that begins with its own wake-up and
// leaves the port open; the button runner closes it. Every wait is an
// EventPump wait with its time-out, and the user's Cancel (userAbort) is
// looked at before every page and block, so a routine stops at its next
// check. The routines show no message box: they return an outcome, and the
// window or the command line turns it into the button's texts
// (UpgradeButtonReports).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/ByteIo.h"
#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transfers.h"

namespace orvalink {

// ---- Sizes

// The MCU program is written in pages of 512 bytes: 60 pages (30720 bytes)
// or at most 115 pages (58880 bytes); the ROM boot mode writes 32768 bytes.
inline constexpr size_t kMcuPageBytes = 512;
inline constexpr size_t kMcuMostPages = 115;
inline constexpr size_t kMcuWrittenBytes = kMcuMostPages * kMcuPageBytes;  // 58880
// The MCU buffer holds every program a file may carry: a ".vmcu" made by
// "Make VMCU" (65536 bytes from model code 1200 on), a fetched ".vmcu" (up to
// 66000 bytes) or a ".bin" loaded into the page's 66000-byte buffer. The boot
// loaders write its first pages only, as many as they have.
inline constexpr size_t kMcuBufferBytes = 66000;
inline constexpr size_t kMcuClearedBytes = 34000;  // 0xFF when the window is created
inline constexpr size_t kRomBootImageBytes = 32768;
static_assert(kMcuWrittenBytes <= kMcuBufferBytes && kRomBootImageBytes <= kMcuBufferBytes);
// The ROM boot mode's loader: up to 2048 bytes are held, 1280 are sent.
inline constexpr size_t kLoaderBufferBytes = 2048;
inline constexpr size_t kLoaderSentBytes = 1280;

// TI flash blocks are the image's 264-byte pages.
inline constexpr uint16_t kTiBlocks2300 = 2048;
inline constexpr uint16_t kTiBlocksSlimline = 4096;

// Sum16 and Sum32 (the TI flash blocks' sum, sent low byte first) come
// from base/ByteIo.h.

// ---- The buffers the routines write from

// The buffers of the communication window that the file loaders fill and the
// routines send: the MCU program, the ROM boot loader and the upgrade kind.
struct UpgradeBuffers {
    UpgradeBuffers();

    // The MCU program buffer (kMcuBufferBytes); its first kMcuClearedBytes
    // are 0xFF at the start (all of it is).
    std::vector<uint8_t> mcu;
    // The ROM boot loader (kLoaderBufferBytes), our own default at the start.
    std::vector<uint8_t> loader;
    // kKindWhole (20, everything) or kKindPartial (10, pre-programmed code only).
    int kind = kKindWhole;
    // Whether the flash writes read their blocks back and compare them: the
    // 5100 and 1400 families' (Transfers::SetVerifyWrites) and the TI flash
    // writes of the 2300 family and the Slimline.
    bool verify = false;

    // The one rule for a program from a file, for the window and the command
    // line alike: puts it at the start of the MCU buffer, the rest 0xFF.
    // Every size from 1 to kMcuBufferBytes is taken (a boot loader writes its
    // pages of it, at most the first kMcuWrittenBytes); false (buffer
    // unchanged) when it is empty or longer than the buffer.
    bool SetProgram(std::span<const uint8_t> program);
    // Replaces the loader from the contents of a ".2k" file. False (loader
    // unchanged) when it is empty or larger than kLoaderBufferBytes.
    bool SetLoader(std::span<const uint8_t> bytes);
};

// The one rule for a flash image from a file (".vmcf", ".xmcf" or fetched),
// chosen by the model family: an older model (code below 1000) gets the
// 256 KB older flash holder, filled with 0xFF and the payload at its start;
// the 2300 family the memory image variant 2300; every other model the
// variant 5100. The payload is copied up to the target's size, the rest of
// the target is left as it is. False when the memory image has no variant
// to take it (the older holder is then untouched).
bool TakeUpgradeFlash(uint16_t modelCode, std::span<const uint8_t> payload, TTiFlashFm& flash,
                      std::vector<uint8_t>& olderFlash);

// Our default ROM boot loader (kLoaderBufferBytes bytes, from assets/).
std::span<const uint8_t> DefaultRomBootLoader();

// ---- The boot loaders' members

enum class BinaryLoader {
    Generic,   // no identification; up to 15 wake-ups, then 0xA7
    Qm5100,    // "QM-5100", 115 pages
    Qm1400,    // "QM-1400", 59 pages
    Slimline,  // "SLIMLINE" (the new loader), 115 pages
    Named,     // the caller's text ("PR-60", "PRM"), 60 pages
};

enum class TextLoader {
    Vc,        // "PB", the remote answers each page with its Sum16
    FourK,     // 0xA0 'P' 'B', the 2300 family in the upgrade flow
    Model2100, // "PB"
    Slimline,  // "PB", 115 pages, pauses between ERASE tries
};

// The identification text a binary member expects (Named: `name`; Generic: "").
std::string IdentificationText(BinaryLoader member, std::string_view name = {});
// Whether the 16-byte answer to 0xAF names the expected remote. The answer
// is taken up to its padding (spaces, 0x00 and 0xFF at its end are cut
// off); it must begin with the text, and the text must end there or be
// followed by a character that is not a letter or digit. So "QM-5100" and
// "QM-5100 V2.1" pass for "QM-5100", "QM-51000" and "QM-1400" do not.
bool IdentificationMatches(std::span<const uint8_t> answer, std::string_view expected);

// Pages a member writes (each 512 bytes from the MCU buffer).
int BinaryLoaderPages(BinaryLoader member);
int TextLoaderPages(TextLoader member);

// How the text loader's remote takes a page: with the page's Sum16 (low
// byte first) or with "FINISH".
enum class TextPageAck { SumWord, Finish };

// What the text loader's members differ in.
struct TextLoaderSpec {
    int pages;               // pages written (TextLoaderPages)
    std::string_view wake;   // sent at 2400 bit/s before every "RESTART" but the first
    uint32_t settleMs;       // the pause at 115200 bit/s before each "RESTART"
    int restartAttempts;     // "RESTART"s sent before the loader is given up
    int eraseTries;          // "ERASE"s sent before the loader is given up
    uint32_t eraseGapMs;     // the pause before every "ERASE" but the first (0: none)
    int completeTries;       // "COMPLETE"s sent before the loader is given up
    TextPageAck ack;
};
TextLoaderSpec TextLoaderSpecOf(TextLoader member);

// ---- The routines

class Upgrader {
public:
    // Keeps references: the link, the memory image (source and target of the
    // TI flash frames) and the buffers.
    Upgrader(LinkEngine& link, TTiFlashFm& flash, UpgradeBuffers& buffers);

    // The binary boot loader; `name` is the named member's text.
    TransferOutcome BootWriteBinary(BinaryLoader member, std::string_view name = {});
    // The text boot loader.
    TransferOutcome BootWriteText(TextLoader member);
    // The ROM boot mode of the oldest MCU: the loader at 9600 bit/s, then
    // 32768 bytes at 38400 bit/s, then the flash sum.
    TransferOutcome RomBootWrite();

    // The TI flash, kind 20 (every block) or 10 (the pre-programmed code).
    TransferOutcome TiFlashWrite2300(int kind);
    TransferOutcome TiFlashWriteSlimline(int kind);
    // The whole TI flash into the memory image (which changes only when every
    // block arrived).
    TransferOutcome TiFlashRead2300();
    TransferOutcome TiFlashReadSlimline();
    // Short runs of blocks, each with its own "GD"/"TS" wake-up; data holds
    // count * 264 bytes.
    bool TiBlocksRead(uint16_t first, uint16_t count, std::span<uint8_t> data);
    bool TiBlocksWrite(uint16_t first, uint16_t count, std::span<const uint8_t> data);

    LinkEngine& Link() { return link_; }
    TTiFlashFm& Flash() { return flash_; }
    UpgradeBuffers& Buffers() { return buffers_; }
    Transfers& FlashTransfers() { return transfers_; }
    // What the last TI flash write's read-back found (buffers.verify).
    const VerifyOutcome& LastTiVerify() const { return lastTiVerify_; }

private:
    bool RunBootWriteBinary(BinaryLoader member, std::string_view name);
    bool BinaryEnter(BinaryLoader member, std::string_view name, bool& wrongRemote);
    bool RunBootWriteText(TextLoader member);
    int ReplyWord();
    bool RunRomBootWrite();
    bool RunTiFlashWrite(int kind, bool slimline);
    bool RunTiFlashRead(uint16_t blocks);
    bool TiWake(std::string_view word);
    bool TiRange(uint16_t first, uint16_t count);
    bool TiSendBlocks(uint16_t first, uint16_t count, std::span<const uint8_t> data, int progressBase);
    bool TiReceiveBlocks(uint16_t count, std::span<uint8_t> out);
    bool TiVerify(const SentPages& sent);
    TransferOutcome OutcomeOf(bool ok) const;
    bool ImageHolds(uint16_t blocks) const;

    LinkEngine& link_;
    TTiFlashFm& flash_;
    UpgradeBuffers& buffers_;
    Transfers transfers_;
    bool notReady_ = false;
    bool wrongRemote_ = false;
    VerifyOutcome lastTiVerify_;
    std::string verifyMessage_;  // the last TI write's failed verify, for its outcome
};

// ---- The buttons of the upgrade and test pages

enum class UpgradeButton {
    Write5100Mcu,    // "Write 5100 Mcu"
    WriteN5kMcu,     // "Write N 5k Mcu"
    Write1400Mcu,    // "Write 1400 Mcu"
    WriteNSlMcu,     // "Write N SL Mcu"
    WritePrMcu,      // "Write PR Mcu"
    WritePrmMcu,     // "Write PRM Mcu"
    WriteVcMcu,      // "Write VC Mcu"
    Write4Mcu,       // "Write 4 Mcu"
    Write2100Mcu,    // "Write 2100 Mcu"
    WriteSlMcu,      // "Write SL Mcu"
    WriteTi4Flash,   // "Write Ti4 Flash"
    ReadTi4Flash,    // "Read Ti4 Flash"
    WriteSlFlash,    // "Write SL Flash"
    ReadSlFlash,     // "Read SL Flash"
    WriteTi5Flash,   // "Write Ti5 Flash"
    ReadTi5Flash,    // "Read Ti5 Flash"
    Write1400Flash,  // "Write 1400 Flash"
    Read1400Flash,   // "Read 1400 Flash"
    RomBootWrite,    // "Write" of the "32k Boot Mode" panel
};

// The gauge of a routine counts what it moves from 0: the page, block or
// packet index (the ROM boot mode and the 256 KB writes: the bytes sent), so
// its last position is its maximum, and no position lies beyond it.
struct UpgradeButtonInfo {
    UpgradeButton button;
    std::string_view caption;
    int gaugeMaximum;         // kind 20 (and the reads)
    int gaugePartialMaximum;  // kind 10 (the flash writes), else as gaugeMaximum
    std::string_view okText;
    std::string_view errorText;
    bool reads;               // a read: its broken text is "Download transfer broken !"
};

// Every button, in the order above.
std::span<const UpgradeButtonInfo> UpgradeButtons();
const UpgradeButtonInfo& ButtonInfo(UpgradeButton button);
// The gauge maximum of a button for the upgrade kind.
int GaugeMaximum(UpgradeButton button, int kind);

// The message boxes after a button's routine: the routine's own text (such as
// "Ti Flash not ready !"), then the success text, "Transfer broken !"
// ("Download transfer broken !" for the reads) when cancelled, or the error
// text.
std::vector<LinkReport> UpgradeButtonReports(UpgradeButton button, const TransferOutcome& outcome);

// What a button does: EnsureLinkPort (failure: nothing more, NoPort), the
// gauge's maximum, the routine (with buffers.kind for the flash writes),
// then gauge 0, progress 0, userAbort 0 and CloseLinkPort. The caller shows
// UpgradeButtonReports (a NoPort outcome has none).
TransferOutcome RunUpgradeButton(Upgrader& upgrader, UpgradeButton button);

// ---- The upgrade flow's program and flash steps by model code

struct UpgradeSteps {
    bool supported = false;      // false below 1000 ("Upgrade" does nothing)
    UpgradeButton program{};     // the program writer's button
    std::string_view programError;  // the upgrade flow's own error text
    bool writesFlash = false;    // false for the PRM: the program only
    UpgradeButton flash{};       // the flash writer's button
};
UpgradeSteps UpgradeStepsFor(uint16_t modelCode);
// The pause between the program and the flash step, in milliseconds.
inline constexpr uint32_t kProgramToFlashPauseMs = 3200;

// ---- Backup

struct BackupResult {
    TransferOutcome outcome;
    // On success the remote's whole flash: the memory image (2300 family,
    // Slimline, 5100 family) or the 262144 bytes of an older remote.
    std::vector<uint8_t> bytes;
    // The message boxes of the download, in order.
    std::vector<LinkReport> reports;
};

// Reads the whole flash of the connected remote of the given model code:
// below 1000 by the older packet protocol, 1000-1199 by the 2300 TI flash
// reader, 2010 by the Slimline reader, 1200 and above by the 5100 read. The
// image is switched to the family's variant first. Closes the port.
BackupResult BackupRemote(Upgrader& upgrader, uint16_t modelCode);

}  // namespace orvalink
