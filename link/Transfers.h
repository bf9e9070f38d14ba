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

class Transfers {
public:
    Transfers(LinkEngine& link, TTiFlashFm& flash) : link_(link), flash_(flash) {}

    // The main window's Download: blocks 0..1012 into the image.
    TransferOutcome DownloadFromRemote(TransferProgress& progress);
    // The main window's Upload with kind 20: the image's blocks 0..1012, then
    // the remote's clock. Any other kind stops after the preparatory steps.
    TransferOutcome UploadToRemote(TransferProgress& progress, int kind);

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
    bool RunUploadToRemote(TransferProgress& progress, int kind);
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
};

}  // namespace orvalink
