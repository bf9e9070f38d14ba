// The upgrade and test pages' buttons (captions, gauges, texts), the routine
// each runs, the upgrade flow's steps by model code and the backup of a
// whole remote by model family.
#include "formats/ModelCatalogue.h"
#include "link/Upgrade.h"
#include "link/UpgradeParts.h"

namespace orvalink {

using namespace upgrade_parts;

namespace {

// The gauges' maxima: the last page, block or byte count each routine
// reports (UpgradeButtonInfo).
constexpr int kGauge5100Mcu = kPages5100 - 1;
constexpr int kGauge1400Mcu = kPages1400 - 1;
constexpr int kGaugeNamedMcu = kPagesNamed - 1;
constexpr int kGaugeTextMcu = kPagesText - 1;
constexpr int kGaugeTi2300 = kTiBlocks2300 - 1;
constexpr int kGaugeTi2300Partial = kTiBlocks2300 - kTi2300PartialFirst - 1;
constexpr int kGaugeTiSlim = kTiBlocksSlimline - 1;
constexpr int kGaugeTiSlimPartial = kTiSlimPartialCount - 1;
constexpr int kGauge5100Partial = kPartial5100Count - 1;
constexpr int kGauge1400Partial = kPartial1400Count - 1;
constexpr int kGaugeRomBoot = int(kRomBootImageBytes);

constexpr UpgradeButtonInfo kButtons[] = {
    {UpgradeButton::Write5100Mcu, "Write 5100 Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write 5k MCU Flash Data Ok !",
     "Write 5k MCU Flash Data Error !", false},
    {UpgradeButton::WriteN5kMcu, "Write N 5k Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write 5k MCU Flash Data Ok !",
     "Write 5k MCU Flash Data Error !", false},
    {UpgradeButton::Write1400Mcu, "Write 1400 Mcu", kGauge1400Mcu, kGauge1400Mcu,
     "Write QM-1400 MCU Flash Data Ok !", "Write QM-1400 MCU Flash Data Error !", false},
    {UpgradeButton::WriteNSlMcu, "Write N SL Mcu", kGauge5100Mcu, kGauge5100Mcu,
     "Write Slimline new MCU Flash Data Ok !", "Write Slimline new MCU Flash Data Error !", false},
    {UpgradeButton::WritePrMcu, "Write PR Mcu", kGaugeNamedMcu, kGaugeNamedMcu, "Write PR-60 MCU flash data ok !",
     "Write PR-60 MCU flash data error !", false},
    {UpgradeButton::WritePrmMcu, "Write PRM Mcu", kGaugeNamedMcu, kGaugeNamedMcu, "Write PRM MCU flash data ok !",
     "Write PRM MCU flash data error !", false},
    {UpgradeButton::WriteVcMcu, "Write VC Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write VC MCU Flash Data Ok !",
     "Write VC MCU Flash Data Error !", false},
    {UpgradeButton::Write4Mcu, "Write 4 Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write 4k MCU Flash Data Ok !",
     "Write 4k MCU Flash Data Error !", false},
    {UpgradeButton::Write2100Mcu, "Write 2100 Mcu", kGaugeTextMcu, kGaugeTextMcu, "Write 2300 MCU Flash Data Ok !",
     "Write 2300 MCU Flash Data Error !", false},
    {UpgradeButton::WriteSlMcu, "Write SL Mcu", kGauge5100Mcu, kGauge5100Mcu, "Write Slimline MCU Flash Data Ok !",
     "Write Slimline MCU Flash Data Error !", false},
    {UpgradeButton::WriteTi4Flash, "Write Ti4 Flash", kGaugeTi2300, kGaugeTi2300Partial,
     "Write 2300 Flash Data Ok !", "Write 2300 Flash Data Error !", false},
    {UpgradeButton::ReadTi4Flash, "Read Ti4 Flash", kGaugeTi2300, kGaugeTi2300, "Download 2300 Flash Data Ok !",
     "Download 2300 Flash Data Error !", true},
    {UpgradeButton::WriteSlFlash, "Write SL Flash", kGaugeTiSlim, kGaugeTiSlimPartial,
     "Write Slimline 5100 Flash Data Ok !", "Write Slimline 5100 Flash Data Error !", false},
    {UpgradeButton::ReadSlFlash, "Read SL Flash", kGaugeTiSlim, kGaugeTiSlim, "Download Slimline Flash Data Ok !",
     "Download Slimline Flash Data Error !", true},
    {UpgradeButton::WriteTi5Flash, "Write Ti5 Flash", kFlash5100GaugeMaximum, kGauge5100Partial,
     "Write 5100 Flash Data Ok !", "Write 5100 Flash Data Error !", false},
    {UpgradeButton::ReadTi5Flash, "Read Ti5 Flash", kFlash5100GaugeMaximum, kFlash5100GaugeMaximum,
     "Download 5100 Flash Data Ok !", "Download 5100 Flash Data Error !", true},
    {UpgradeButton::Write1400Flash, "Write 1400 Flash", kFlash1400GaugeMaximum, kGauge1400Partial,
     "Write 1400 Flash Data Ok !", "Write 1400 Flash Data Error !", false},
    {UpgradeButton::Read1400Flash, "Read 1400 Flash", kFlash1400GaugeMaximum, kFlash1400GaugeMaximum,
     "Download 1400 Flash Data Ok !", "Download 1400 Flash Data Error !", true},
    {UpgradeButton::RomBootWrite, "Write", kGaugeRomBoot, kGaugeRomBoot,
     "Write MCU Flash Data Ok! \n\nReminder ! \n  Change the switch back to \"NORM\" for normal operation.  \n"
     "  (In the battery compartment) ",
     "Write MCU Flash Data Error!", false},
};

}  // namespace

std::span<const UpgradeButtonInfo> UpgradeButtons() { return kButtons; }

const UpgradeButtonInfo& ButtonInfo(UpgradeButton button) { return kButtons[size_t(button)]; }

int GaugeMaximum(UpgradeButton button, int kind) {
    const auto& info = ButtonInfo(button);
    return kind == kKindPartial ? info.gaugePartialMaximum : info.gaugeMaximum;
}

std::vector<LinkReport> UpgradeButtonReports(UpgradeButton button, const TransferOutcome& outcome) {
    const auto& info = ButtonInfo(button);
    std::vector<LinkReport> reports;
    if (outcome.kind == TransferResult::NoPort) return reports;
    if (!outcome.message.empty()) reports.push_back({outcome.message, outcome.icon});
    if (outcome.Ok())
        reports.push_back({std::string(info.okText), MsgIcon::Information});
    else if (outcome.kind == TransferResult::Broken)
        reports.push_back({info.reads ? "Download transfer broken !" : "Transfer broken !", MsgIcon::Information});
    else
        reports.push_back({std::string(info.errorText), MsgIcon::Error});
    return reports;
}

TransferOutcome RunUpgradeButton(Upgrader& upgrader, UpgradeButton button) {
    LinkEngine& link = upgrader.Link();
    if (!link.EnsureLinkPort()) return TransferOutcome::Of(TransferResult::NoPort);
    const int kind = upgrader.Buffers().kind;
    upgrader.FlashTransfers().SetVerifyWrites(upgrader.Buffers().verify);
    link.View().ProgressRange(GaugeMaximum(button, kind));
    TransferOutcome outcome;
    switch (button) {
        case UpgradeButton::Write5100Mcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Generic); break;
        case UpgradeButton::WriteN5kMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Qm5100); break;
        case UpgradeButton::Write1400Mcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Qm1400); break;
        case UpgradeButton::WriteNSlMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Slimline); break;
        case UpgradeButton::WritePrMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Named, "PR-60"); break;
        case UpgradeButton::WritePrmMcu: outcome = upgrader.BootWriteBinary(BinaryLoader::Named, "PRM"); break;
        case UpgradeButton::WriteVcMcu: outcome = upgrader.BootWriteText(TextLoader::Vc); break;
        case UpgradeButton::Write4Mcu: outcome = upgrader.BootWriteText(TextLoader::FourK); break;
        case UpgradeButton::Write2100Mcu: outcome = upgrader.BootWriteText(TextLoader::Model2100); break;
        case UpgradeButton::WriteSlMcu: outcome = upgrader.BootWriteText(TextLoader::Slimline); break;
        case UpgradeButton::WriteTi4Flash: outcome = upgrader.TiFlashWrite2300(kind); break;
        case UpgradeButton::ReadTi4Flash: outcome = upgrader.TiFlashRead2300(); break;
        case UpgradeButton::WriteSlFlash: outcome = upgrader.TiFlashWriteSlimline(kind); break;
        case UpgradeButton::ReadSlFlash: outcome = upgrader.TiFlashReadSlimline(); break;
        case UpgradeButton::WriteTi5Flash: outcome = upgrader.FlashTransfers().WriteFlash5100(kind); break;
        case UpgradeButton::ReadTi5Flash: outcome = upgrader.FlashTransfers().ReadFlash5100(); break;
        case UpgradeButton::Write1400Flash: outcome = upgrader.FlashTransfers().WriteFlash1400(kind); break;
        case UpgradeButton::Read1400Flash: outcome = upgrader.FlashTransfers().ReadFlash1400(); break;
        case UpgradeButton::RomBootWrite: outcome = upgrader.RomBootWrite(); break;
    }
    link.SetProgress(0);
    link.SetUserAbort(false);
    link.CloseLinkPort();
    return outcome;
}

UpgradeSteps UpgradeStepsFor(uint16_t modelCode) {
    UpgradeSteps steps;
    if (modelCode < 1000) return steps;
    steps.supported = true;
    steps.writesFlash = true;
    if (modelCode == 1080) {
        steps.program = UpgradeButton::WritePrMcu;
        steps.programError = "Write PR-60 MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi4Flash;
    } else if (modelCode == kModelPrm) {
        steps.program = UpgradeButton::WritePrmMcu;
        steps.programError = "Write PRM MCU Flash Data Error !";
        steps.writesFlash = false;
    } else if (Is2300Family(modelCode)) {
        steps.program = UpgradeButton::Write4Mcu;
        steps.programError = "Write 4 MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi4Flash;
    } else if (modelCode == kModelSlimline) {
        steps.program = UpgradeButton::WriteNSlMcu;
        steps.programError = "Write Slimline MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteSlFlash;
    } else {
        steps.program = UpgradeButton::WriteN5kMcu;
        steps.programError = "Write 5k MCU Flash Data Error !";
        steps.flash = UpgradeButton::WriteTi5Flash;
    }
    return steps;
}

// ---------------------------------------------------------------------------
// Backup

BackupResult BackupRemote(Upgrader& upgrader, uint16_t modelCode) {
    LinkEngine& link = upgrader.Link();
    TTiFlashFm& flash = upgrader.Flash();
    BackupResult result;
    auto imageBytes = [&] {
        auto img = flash.Image();
        result.bytes.assign(img.begin(), img.end());
    };
    auto finish = [&] {
        link.SetProgress(0);
        link.SetUserAbort(false);
        link.CloseLinkPort();
    };
    if (IsOlderModel(modelCode)) {
        std::vector<uint8_t> transfer;
        result.outcome = upgrader.FlashTransfers().BackupDownloadPackets(transfer);
        if (result.outcome.Ok()) result.bytes = std::move(transfer);
        if (!result.outcome.Ok())
            result.reports.push_back(result.outcome.kind == TransferResult::Broken
                                         ? LinkReport{"Download transfer broken !", MsgIcon::Information}
                                         : LinkReport{"Download Flash Data Error !", MsgIcon::Error});
        return result;
    }
    if (Is2300Family(modelCode) || modelCode == kModelSlimline) {
        const bool slim = modelCode == kModelSlimline;
        flash.SelectModel(slim ? kSelector5100 : kSelector2300);
        if (!link.EnsureLinkPort()) {
            result.outcome = TransferOutcome::Of(TransferResult::NoPort);
            finish();
            return result;
        }
        link.View().ProgressRange(GaugeMaximum(slim ? UpgradeButton::ReadSlFlash : UpgradeButton::ReadTi4Flash, kKindWhole));
        result.outcome = slim ? upgrader.TiFlashReadSlimline() : upgrader.TiFlashRead2300();
        if (!result.outcome.message.empty()) result.reports.push_back({result.outcome.message, result.outcome.icon});
        if (result.outcome.Ok()) {
            imageBytes();
            if (!slim) result.reports.push_back({"Download Flash Data Ok !", MsgIcon::Information});
        } else if (result.outcome.kind == TransferResult::Broken) {
            result.reports.push_back({"Download transfer broken !", MsgIcon::Information});
        } else {
            result.reports.push_back(
                {slim ? "Download Slimline Flash Data Error !" : "Download Flash Data Error !", MsgIcon::Error});
        }
        finish();
        return result;
    }
    result.outcome = upgrader.FlashTransfers().BackupDownload5100();
    result.reports = Backup5100Reports(result.outcome);
    if (result.outcome.Ok()) imageBytes();
    return result;
}

}  // namespace orvalink
