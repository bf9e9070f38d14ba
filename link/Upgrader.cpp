// The buffers the upgrade routines write from, and what every routine of the
// Upgrader shares: its outcome and the check that the image is ready. The
// routines themselves are in BinaryBootLoader.cpp, TextLoader.cpp,
// RomBootWriter.cpp and TiFlashFrames.cpp.
#include <algorithm>

#include "formats/ModelCatalogue.h"
#include "link/OlderFlashTransfers.h"
#include "link/Upgrade.h"
#include "link/UpgradeParts.h"

namespace orvalink {

using upgrade_parts::BlockOffset;

UpgradeBuffers::UpgradeBuffers() : mcu(kMcuBufferBytes, 0xFF) {
    auto def = DefaultRomBootLoader();
    loader.assign(def.begin(), def.end());
}

bool UpgradeBuffers::SetProgram(std::span<const uint8_t> program) {
    if (program.empty() || program.size() > kMcuBufferBytes) return false;
    std::fill(mcu.begin(), mcu.end(), 0xFF);
    std::copy(program.begin(), program.end(), mcu.begin());
    return true;
}

bool UpgradeBuffers::SetLoader(std::span<const uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kLoaderBufferBytes) return false;
    loader.assign(bytes.begin(), bytes.end());
    return true;
}

bool TakeUpgradeFlash(uint16_t modelCode, std::span<const uint8_t> payload, TTiFlashFm& flash,
                      std::vector<uint8_t>& olderFlash) {
    if (IsOlderModel(modelCode)) {
        olderFlash.assign(kOlderFlashSize, 0xFF);
        std::copy_n(payload.begin(), std::min(payload.size(), olderFlash.size()), olderFlash.begin());
        return true;
    }
    flash.SelectModel(Is2300Family(modelCode) ? kSelector2300 : kSelector5100);
    const std::span<uint8_t> image = flash.Image();
    if (image.empty()) return false;
    std::copy_n(payload.begin(), std::min(payload.size(), image.size()), image.begin());
    return true;
}

Upgrader::Upgrader(LinkEngine& link, TTiFlashFm& flash, UpgradeBuffers& buffers)
    : link_(link), flash_(flash), buffers_(buffers), transfers_(link, flash) {}

TransferOutcome Upgrader::OutcomeOf(bool ok) const {
    if (ok) return TransferOutcome::Of(TransferResult::Ok);
    if (notReady_) return {TransferResult::NotReady, "Ti Flash not ready !", MsgIcon::Error};
    if (!verifyMessage_.empty()) return {TransferResult::Failed, verifyMessage_, MsgIcon::Error};
    if (link_.UserAbort()) return TransferOutcome::Of(TransferResult::Broken);
    return TransferOutcome::Of(TransferResult::Failed);
}

bool Upgrader::ImageHolds(uint16_t blocks) const {
    auto [data, ready] = flash_.ImageData();
    return ready && data != nullptr && flash_.ImageSize() >= BlockOffset(blocks);
}

}  // namespace orvalink
