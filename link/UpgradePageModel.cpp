#include "link/UpgradePageModel.h"

namespace orvalink {

UpgradePageState SourceStateOf(UpgradeSource source) {
    switch (source) {
    case UpgradeSource::File: return UpgradePageState::SourceFile;
    case UpgradeSource::Backup: return UpgradePageState::SourceBackup;
    case UpgradeSource::Internet: break;
    }
    return UpgradePageState::SourceInternet;
}

namespace {

// The panel of the chosen data source shows, the other two hide.
void ShowSource(UpgradePageView& v) {
    v.InetPal.visible = v.state == UpgradePageState::SourceInternet;
    v.FilePal.visible = v.state == UpgradePageState::SourceFile;
    v.BackupPal.visible = v.state == UpgradePageState::SourceBackup;
}

void MarkAll(UpgradePageView& v, bool marked) { v.mcuPalMarked = v.flashPalMarked = v.userDatPalMarked = marked; }

// The model and file boxes while a routine runs (false) and after it (true).
void Unlock(UpgradePageView& v, bool unlocked) {
    v.ModelGBox.enabled = unlocked;
    v.G3Box.enabled = unlocked;
    v.DsGBox.enabled = unlocked;
}

}  // namespace

UpgradePageView UpgradePageViewOf(UpgradePageState state, UpgradeSource source) {
    UpgradePageView v;
    v.state = state;
    using S = UpgradePageState;
    switch (state) {
    case S::Start:
        v.G3Box.visible = false;
        v.DsGBox = {false, false};
        v.UpmfBtn.enabled = v.UmcuBtn.enabled = v.UflashBtn.enabled = false;
        break;
    case S::OldModelChosen:
    case S::NewModelChosen: {
        const bool newer = state == S::NewModelChosen;
        v.G3Box.enabled = false;
        v.DsGBox = {true, true};
        v.UpmfBtn = {false, newer};
        v.UmcuBtn = {false, !newer};
        v.UflashBtn = {false, !newer};
        v.UpGBoxPlacedRight = !newer;
        v.state = SourceStateOf(source);
        ShowSource(v);
        break;
    }
    case S::SourceInternet:
    case S::SourceFile:
    case S::SourceBackup: ShowSource(v); break;
    case S::FileNotUsable:
        v.G3Box.enabled = true;
        v.DsGBox.enabled = false;
        break;
    case S::Ready:
    case S::ReadyNewModel:
    case S::ReadyOldModel:
        v.G3Box = {true, true};
        v.DsGBox.enabled = true;
        if (state == S::ReadyNewModel) v.UpmfBtn.enabled = true;
        if (state == S::ReadyOldModel) v.UmcuBtn.enabled = v.UflashBtn.enabled = true;
        if (state != S::Ready) MarkAll(v, true);
        break;
    case S::FlashOnly:
        v.G3Box = {true, true};
        v.flashPalMarked = v.userDatPalMarked = true;
        break;
    case S::ProgramOnly:
        v.G3Box = {true, true};
        v.mcuPalMarked = true;
        break;
    case S::BackupRunning:
    case S::UpgradeRunning:
        Unlock(v, false);
        v.Up256kCancleBtn.enabled = true;
        break;
    case S::BackupDone:
        Unlock(v, true);
        v.Up256kCancleBtn.enabled = true;
        break;
    case S::UpgradeDone: Unlock(v, true); break;
    case S::MarkFlash: v.flashPalMarked = v.userDatPalMarked = true; break;
    case S::MarkFlashOnly:
        v.flashPalMarked = true;
        v.userDatPalMarked = false;
        break;
    }
    return v;
}

}  // namespace orvalink
