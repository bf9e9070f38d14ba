// What the upgrade page's commands run on the remote, behind one small
// interface: the buttons' routines, the pause between the program and the
// flash step, the backup, the two 256 KB writes and Cancel. The window's
// runner works on the link; the page's tests hand in one that records.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "link/Upgrade.h"

namespace orvalink {

class UpgradeRunner {
public:
    virtual ~UpgradeRunner() = default;
    // A button's routine with the upgrade kind (20 or 10) in the buffers;
    // the port is found first and closed after (RunUpgradeButton).
    virtual TransferOutcome RunButton(UpgradeButton button, int kind) = 0;
    // Waits `ms` milliseconds with the window alive.
    virtual void Pause(uint32_t ms) = 0;
    virtual BackupResult Backup(uint16_t modelCode) = 0;
    // The 256 KB writes from a flash file's 262144 bytes.
    virtual TransferOutcome WriteWholeFlash(std::span<const uint8_t> file) = 0;
    virtual TransferOutcome WritePreProgramCode(std::span<const uint8_t> file) = 0;
    // CANCEL: userAbort set, linkStatus 9, progress 0.
    virtual void Cancel() = 0;
    // The buffers the routines write from.
    virtual UpgradeBuffers& Buffers() = 0;
};

class LinkUpgradeRunner final : public UpgradeRunner {
public:
    LinkUpgradeRunner(LinkEngine& link, TTiFlashFm& flash);
    TransferOutcome RunButton(UpgradeButton button, int kind) override;
    void Pause(uint32_t ms) override { link_.WaitTicks(ms); }
    BackupResult Backup(uint16_t modelCode) override { return BackupRemote(upgrader_, modelCode); }
    TransferOutcome WriteWholeFlash(std::span<const uint8_t> file) override;
    TransferOutcome WritePreProgramCode(std::span<const uint8_t> file) override;
    void Cancel() override;
    UpgradeBuffers& Buffers() override { return buffers_; }

private:
    LinkEngine& link_;
    UpgradeBuffers buffers_;
    Upgrader upgrader_;
    // The older packet protocol's transfer buffer (262144 bytes).
    std::vector<uint8_t> transfer_;
};

}  // namespace orvalink
