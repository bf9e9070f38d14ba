// What the upgrade page's controls show in each of its states: the model
// chosen, where the upgrade data comes from, which files are loaded, a
// backup or an upgrade running. The page applies the answer to its controls;
// a state changes only the controls it names, the rest keep what they show.
#pragma once

#include <optional>

namespace orvalink {

enum class UpgradePageState {
    Start,
    OldModelChosen,
    NewModelChosen,
    SourceInternet,
    SourceFile,
    SourceBackup,
    FileNotUsable,
    Ready,
    ReadyNewModel,
    ReadyOldModel,
    FlashOnly,
    ProgramOnly,
    BackupRunning,
    BackupDone,
    UpgradeRunning,
    UpgradeDone,
    MarkFlash,
    MarkFlashOnly,
};

// Where the upgrade data comes from: the radio the user left checked in
// the data-source box.
enum class UpgradeSource { Internet, File, Backup };

// One control; an empty field leaves the control as it is.
struct ControlShows {
    std::optional<bool> enabled;
    std::optional<bool> visible;
};

// The page's controls, named as the page names them.
struct UpgradePageView {
    // The state the page is in afterwards: choosing a model goes on to the
    // data source the box shows.
    UpgradePageState state = UpgradePageState::Start;
    ControlShows ModelGBox;
    ControlShows DsGBox;
    ControlShows InetPal;
    ControlShows FilePal;
    ControlShows BackupPal;
    ControlShows G3Box;
    ControlShows UpmfBtn;
    ControlShows UmcuBtn;
    ControlShows UflashBtn;
    ControlShows Up256kCancleBtn;
    // The upgrade type sits right of the older models' button column, left
    // for the newer models' single button.
    std::optional<bool> UpGBoxPlacedRight;
    // The file panels marked blue: what the upgrade will write.
    std::optional<bool> mcuPalMarked;
    std::optional<bool> flashPalMarked;
    std::optional<bool> userDatPalMarked;
};

// The source state of the data source the box shows.
UpgradePageState SourceStateOf(UpgradeSource source);

// What `state` shows, the box showing `source`.
UpgradePageView UpgradePageViewOf(UpgradePageState state, UpgradeSource source);

}  // namespace orvalink
