// Moving the remote's configuration flash between the remote and the memory
// image: the main download and upload with the progress dialog, the per-model
// reads and writes of the upgrade page, and the link side of the backup.
//
// A download never leaves the image half replaced: the blocks are read into a
// staging buffer and copied into the image only when every one of them has
// arrived, so a failed or cancelled download leaves the image as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <span>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transtatus.h"
#include "platform/UiServices.h"

namespace orvalink {

// Blocks moved by each variant (always from block 0).
inline constexpr uint16_t kConfigBlocks = 1013;
inline constexpr uint16_t kFlash1400Blocks = 2048;
inline constexpr uint16_t kFlash5100Blocks = 4096;
// Block 103 bytes 112..131: taken over from the remote on every upload.
inline constexpr uint16_t kSettingsBlock = 103;
inline constexpr size_t kPreservedOffset = 112;
inline constexpr size_t kPreservedBytes = 20;
// Upload kinds: the whole range, or the partial upgrade.
inline constexpr int kKindWhole = 20;
inline constexpr int kKindPartial = 10;
// The blocks the partial upgrade writes: blocks 639..2047 of a 1400-family
// flash (the firmware's part), the pre-programmed code region of a
// 5100-family flash.
inline constexpr uint16_t kPartial1400First = 639;
inline constexpr uint16_t kPartial1400Count = kFlash1400Blocks - kPartial1400First;  // 1409
inline constexpr uint16_t kPartial5100First = kCodeRegionFirstPage;
inline constexpr uint16_t kPartial5100Count = kCodeRegionPages;  // 2364
// The gauge of every block transfer counts the blocks of its range from 0,
// so its maximum is the range's block count less one.
inline constexpr int kFlash5100GaugeMaximum = kFlash5100Blocks - 1;
inline constexpr int kFlash1400GaugeMaximum = kFlash1400Blocks - 1;

// What became of a transfer. The transfer itself shows no message: the
// window or the command line shows the outcome's text, if any, and then the
// words of the command (DownloadReports, UploadReports, Backup5100Reports).
enum class TransferResult {
    Ok,
    Failed,    // the remote did not answer, refused, or the line went
    Broken,    // the user cancelled it
    NotReady,  // the image cannot hold the range: "Ti Flash not ready !"
    NoPort,    // the cable's port was not found (the search has said so)
};

struct TransferOutcome {
    TransferResult kind = TransferResult::Failed;
    std::string message;  // the transfer's own text ("" when it has none)
    MsgIcon icon = MsgIcon::None;
    static TransferOutcome Of(TransferResult kind, std::string message = {}, MsgIcon icon = MsgIcon::None) {
        TransferOutcome outcome;
        outcome.kind = kind;
        outcome.message = std::move(message);
        outcome.icon = icon;
        return outcome;
    }
    bool Ok() const { return kind == TransferResult::Ok; }
    explicit operator bool() const { return Ok(); }
};

// A message box's text and icon.
struct LinkReport {
    std::string text;
    MsgIcon icon = MsgIcon::None;
};

// The messages after the main Download: the transfer's own, then "Download
// Flash Data Ok !" or "... Error !" ("Download transfer broken !" for a
// cancelled one when `tellBroken`, as the start dialog says).
std::vector<LinkReport> DownloadReports(const TransferOutcome& outcome, bool tellBroken);
// The messages after the main Upload.
std::vector<LinkReport> UploadReports(const TransferOutcome& outcome);
// The messages after the backup's 5100 download.
std::vector<LinkReport> Backup5100Reports(const TransferOutcome& outcome);
// Shows them in order.
void ShowReports(UiServices& ui, const std::vector<LinkReport>& reports);

// ---- Verify after a write
//
// A remote may acknowledge a block and still keep other bytes (a weak cable,
// a worn flash cell, a byte taken for another). Verify reads the written
// blocks back and compares them with what was sent. Every byte is compared,
// for no byte of the written pages is known to change on the remote's own
// accord: the 20 bytes of the settings block the remote owns (bytes 112..131
// of block 103) are read from it before the upload and sent back as they
// were, and the blocks the partial upgrades keep (with the image's bytes
// 14-15 or 32-33 put in) are compared as they were sent; the clock frame
// after the blocks carries the date and time, which no field of the image's
// layout holds (the virtual remote keeps it apart too).

enum class VerifyResult {
    NotRun,      // not asked for, or the write itself did not go through
    Same,        // every block came back as sent
    Differ,      // some blocks came back other than sent (VerifyOutcome::differing)
    ReadFailed,  // the remote did not send every block back
    Broken,      // the user cancelled the read-back
};

struct VerifyOutcome {
    VerifyResult result = VerifyResult::NotRun;
    uint32_t blocks = 0;              // blocks read back and compared
    std::vector<uint32_t> differing;  // pages that came back other than sent, ascending
};

// The pages of a run of whole pages starting at `firstPage` whose bytes in
// `sent` and `readBack` differ (both the same size).
std::vector<uint32_t> DifferingPages(uint32_t firstPage, std::span<const uint8_t> sent,
                                     std::span<const uint8_t> readBack);

// The pages a write sent, each as it was last sent (page number -> its
// bytes), for a read-back after a write of several parts.
using SentPages = std::map<uint32_t, std::vector<uint8_t>>;
// Notes `data` (whole pages from `first`) in `sent`, over what was noted.
void NotePages(SentPages& sent, uint32_t first, std::span<const uint8_t> data);
// Reads every page of `sent` back, one run of adjacent pages at a time
// through `read` (first page, page count, out; false when the read did not
// come through, or was cancelled: `cancelled` tells which), and compares.
using PageReader = std::function<bool(uint16_t first, uint16_t count, std::span<uint8_t> out)>;
VerifyOutcome ReadBackPages(const SentPages& sent, const PageReader& read, const std::function<bool()>& cancelled);

// The main upload and what its read-back found.
struct UploadOutcome {
    TransferOutcome upload;
    VerifyOutcome verify;
    // The upload went through and, when it was verified, came back as sent.
    bool Ok() const {
        return upload.Ok() && (verify.result == VerifyResult::NotRun || verify.result == VerifyResult::Same);
    }
};

// The status of the progress dialog while the blocks are read back.
inline constexpr char kVerifyingStatus[] = "Verifying";
// The read-back itself did not come through, or was cancelled.
inline constexpr char kVerifyReadFailedText[] = "Verify failed: the remote did not send every block back.";
inline constexpr char kVerifyBrokenText[] = "Upload Flash Data Ok !\nVerify cancelled: the upload was not checked.";
// "Upload verified: 1013 blocks as sent."
std::string VerifiedText(uint32_t blocks);
// "Verify failed: 3 blocks differ — device TV keys 12-14, code library": the
// differing pages named by what they hold in `flash` (the image that was sent).
std::string VerifyFailedText(const TTiFlashFm& flash, const VerifyOutcome& verify);

// What the window or the command line says after a verified upload.
struct UploadWords {
    std::vector<LinkReport> reports;
    // Not empty when the read-back found differences: the Yes/No question
    // that offers to upload again (Yes uploads again).
    std::string again;
};
UploadWords VerifiedUploadReports(const UploadOutcome& outcome, const TTiFlashFm& flash);

class Transfers {
public:
    Transfers(LinkEngine& link, TTiFlashFm& flash) : link_(link), flash_(flash) {}

    // The main window's Download: blocks 0..1012 into the image.
    TransferOutcome DownloadFromRemote(TransferProgress& progress);
    // The main window's Upload with kind 20: the image's blocks 0..1012, then
    // the remote's clock. Any other kind stops after the preparatory steps.
    TransferOutcome UploadToRemote(TransferProgress& progress, int kind);
    // The same upload, then (when `verify`, and the upload went through) a
    // second run of the dialog, "Verifying": the remote woken again and blocks
    // 0..1012 read back and compared with what was sent.
    UploadOutcome UploadAndVerify(TransferProgress& progress, int kind, bool verify);

    // The upgrade page's flash writes (WriteFlash1400, WriteFlash5100) read
    // what they wrote back when this is on: each written page, as it was
    // last sent, compared after the closing 0xA5 frame. A difference fails
    // the write with VerifyFailedText as its message. Off at first.
    void SetVerifyWrites(bool on) { verifyWrites_ = on; }
    bool VerifyWrites() const { return verifyWrites_; }
    // What the last verified flash write's read-back found.
    const VerifyOutcome& LastWriteVerify() const { return lastWriteVerify_; }

    // The upgrade page's reads (the caller has run EnsureLinkPort).
    TransferOutcome ReadFlash1400();
    TransferOutcome ReadFlash5100();
    // The upgrade page's writes, kind 20 (all) or 10 (partial).
    TransferOutcome WriteFlash1400(int kind);
    TransferOutcome WriteFlash5100(int kind);
    // Blocks first..first+count-1 of the image after the 0xA3 frame, then the
    // closing 0xA5 frame (the remote is awake); the progress counts the
    // range's blocks from 0. A range of no block is refused before anything
    // is sent: a write that wrote nothing never counts as done.
    TransferOutcome WriteImageRange(uint16_t first, uint16_t count);

    // The backup's link side. 5100 family: the whole flash into the image
    // (its messages: Backup5100Reports). 256 KB models: packets 0..2047 into
    // transfer (262144 bytes) by the older protocol. Both close the port.
    TransferOutcome BackupDownload5100();
    TransferOutcome BackupDownloadPackets(std::vector<uint8_t>& transfer);

    // How long the transfer waits for the user to close the dialog at most.
    static constexpr uint32_t kDialogWaitMs = 12u * 3600u * 1000u;

private:
    bool RunDownloadFromRemote(TransferProgress& progress);
    bool RunUploadToRemote(TransferProgress& progress, int kind, VerifyOutcome* verify);
    // Wakes the remote and reads blocks first..first+n-1 back (n: the pages
    // of `sent`), comparing them with `sent`; `progress` gets the index of
    // each block within the run.
    VerifyOutcome ReadBack(uint16_t first, std::span<const uint8_t> sent, const std::function<void(int)>& progress);
    // Wakes the remote and reads blocks first..first+count-1 into out.
    bool ReadBlocksBack(uint16_t first, uint16_t count, std::span<uint8_t> out,
                        const std::function<void(int)>& progress);
    // A flash write of the upgrade page: remembers what each page was sent as.
    bool WriteBlocksNoted(uint16_t first, uint16_t count, std::span<const uint8_t> data);
    void Note(uint32_t first, std::span<const uint8_t> data);
    // Reads back every noted page (runs of adjacent pages one read each).
    bool VerifyNoted();
    // Whether a read-back found the write sound; if not, the outcome's text.
    bool VerifyVerdict(const VerifyOutcome& verify);
    bool RunReadFlash1400();
    bool RunReadFlash5100();
    bool RunWriteFlash1400(int kind);
    bool RunWriteFlash5100(int kind);
    TransferOutcome OutcomeOf(bool ok) const;
    bool ImageHolds(uint16_t blocks) const;
    void NotReady();
    bool ReadIntoImage(uint16_t count, const std::function<void(int)>& progress);
    bool CopyPreserved(std::span<const uint8_t> block103);
    bool WriteRange(uint16_t first, uint16_t count);
    void WaitForDialog(TransferProgress& progress);

    LinkEngine& link_;
    TTiFlashFm& flash_;
    bool notReady_ = false;  // the last transfer found the image too small
    bool verifyWrites_ = false;
    // The pages a flash write sent, each as it was last sent (only while
    // verifyWrites_).
    SentPages noted_;
    VerifyOutcome lastWriteVerify_;
    std::string verifyMessage_;  // the last flash write's failed verify, for its outcome
};

}  // namespace orvalink
