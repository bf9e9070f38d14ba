#include "link/UpgradeRunner.h"

#include "link/OlderFlashWrites.h"

namespace orvalink {

LinkUpgradeRunner::LinkUpgradeRunner(LinkEngine& link, TTiFlashFm& flash)
    : link_(link), upgrader_(link, flash, buffers_), transfer_(kOlderFlashBytes, 0xFF) {}

TransferOutcome LinkUpgradeRunner::RunButton(UpgradeButton button, int kind) {
    buffers_.kind = kind;
    return RunUpgradeButton(upgrader_, button);
}

TransferOutcome LinkUpgradeRunner::WriteWholeFlash(std::span<const uint8_t> file) {
    return WriteWholeFlash256k(link_, file, transfer_);
}

TransferOutcome LinkUpgradeRunner::WritePreProgramCode(std::span<const uint8_t> file) {
    if (file.size() < kOlderFlashBytes) return TransferOutcome{TransferResult::Failed, {}, MsgIcon::None};
    transfer_.assign(file.begin(), file.begin() + long(kOlderFlashBytes));
    return orvalink::WritePreProgramCode(link_, transfer_);
}

void LinkUpgradeRunner::Cancel() {
    link_.SetUserAbort(true);
    link_.SetLinkStatus(kLinkFailed);
    link_.SetProgress(0);
}

}  // namespace orvalink
