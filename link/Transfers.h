// Moving the remote's configuration flash between the remote and the memory
// image: the main download and upload with the progress dialog, the per-model
// reads and writes of the upgrade page, and the link side of the backup.
//
// A download never leaves the image half replaced: the blocks are read into a
// staging buffer and copied into the image only when every one of them has
// arrived, so a failed or cancelled download leaves the image as it was.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transtatus.h"

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

enum class BackupOutcome { Ok, Broken, Failed };

class Transfers {
public:
    Transfers(LinkEngine& link, TTiFlashFm& flash) : link_(link), flash_(flash) {}

    // The main window's Download: blocks 0..1012 into the image.
    bool DownloadFromRemote(TransferProgress& progress);
    // The main window's Upload with kind 20: the image's blocks 0..1012, then
    // the remote's clock. Any other kind stops after the preparatory steps.
    bool UploadToRemote(TransferProgress& progress, int kind);

    // The upgrade page's reads (the caller has run EnsureLinkPort).
    bool ReadFlash1400();
    bool ReadFlash5100();
    // The upgrade page's writes, kind 20 (all) or 10 (partial).
    bool WriteFlash1400(int kind);
    bool WriteFlash5100(int kind);

    // The backup's link side. 5100 family: the whole flash into the image,
    // with the backup's messages. 256 KB models: packets 0..2047 into
    // transfer (262144 bytes) by the older protocol. Both close the port.
    BackupOutcome BackupDownload5100();
    BackupOutcome BackupDownloadPackets(std::vector<uint8_t>& transfer);

    // How long the transfer waits for the user to close the dialog at most.
    static constexpr uint32_t kDialogWaitMs = 12u * 3600u * 1000u;

private:
    bool ImageHolds(uint16_t blocks) const;
    void NotReady();
    bool ReadIntoImage(uint16_t count, const std::function<void(int)>& progress);
    bool CopyPreserved(std::span<const uint8_t> block103);
    bool WriteRange(uint16_t first, uint16_t count);
    void WaitForDialog(TransferProgress& progress);

    LinkEngine& link_;
    TTiFlashFm& flash_;
};

}  // namespace orvalink
