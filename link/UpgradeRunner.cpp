#include "link/UpgradeRunner.h"

#include "link/OlderFlashTransfers.h"

namespace orvalink {

LinkUpgradeRunner::LinkUpgradeRunner(LinkEngine& link, TTiFlashFm& flash)
    : link_(link), upgrader_(link, flash, buffers_), transfer_(kOlderFlashSize, 0xFF) {}

TransferOutcome LinkUpgradeRunner::RunButton(UpgradeButton button, int kind) {
    buffers_.kind = kind;
    return RunUpgradeButton(upgrader_, button);
}

TransferOutcome LinkUpgradeRunner::WriteWholeFlash(std::span<const uint8_t> file) {
    if (file.size() < kOlderFlashSize) return TransferOutcome{TransferResult::Failed, {}, MsgIcon::None};
    return OlderFlashTransfers(link_).Send256(file.first(kOlderFlashSize), transfer_);
}

TransferOutcome LinkUpgradeRunner::WritePreProgramCode(std::span<const uint8_t> file) {
    if (file.size() < kOlderFlashSize) return TransferOutcome{TransferResult::Failed, {}, MsgIcon::None};
    transfer_.assign(file.begin(), file.begin() + long(kOlderFlashSize));
    return OlderFlashTransfers(link_).SendPre(transfer_);
}

void LinkUpgradeRunner::Cancel() {
    link_.SetUserAbort(true);
    link_.SetLinkStatus(kLinkFailed);
    link_.SetProgress(0);
}

}  // namespace orvalink
