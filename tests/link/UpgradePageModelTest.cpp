// What the upgrade page's controls show in each state, one row per state:
// every control the state changes, and none other.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

#include "link/UpgradePageModel.h"

namespace orvalink::testing {
namespace {

using S = UpgradePageState;
using Src = UpgradeSource;

void Say(std::string& out, const char* name, const ControlShows& c) {
    if (!c.enabled && !c.visible) return;
    out += std::string(" ") + name + ":";
    if (c.enabled) out += *c.enabled ? "on" : "off";
    if (c.enabled && c.visible) out += ",";
    if (c.visible) out += *c.visible ? "shown" : "hidden";
}

void Say(std::string& out, const char* name, const std::optional<bool>& flag, const char* yes, const char* no) {
    if (flag) out += std::string(" ") + name + ":" + (*flag ? yes : no);
}

// The touched controls in the page's order, e.g. " G3Box:hidden DsGBox:off,hidden".
std::string Shows(const UpgradePageView& v) {
    std::string out;
    Say(out, "ModelGBox", v.ModelGBox);
    Say(out, "DsGBox", v.DsGBox);
    Say(out, "InetPal", v.InetPal);
    Say(out, "FilePal", v.FilePal);
    Say(out, "BackupPal", v.BackupPal);
    Say(out, "G3Box", v.G3Box);
    Say(out, "UpmfBtn", v.UpmfBtn);
    Say(out, "UmcuBtn", v.UmcuBtn);
    Say(out, "UflashBtn", v.UflashBtn);
    Say(out, "Up256kCancleBtn", v.Up256kCancleBtn);
    Say(out, "UpGBox", v.UpGBoxPlacedRight, "right", "left");
    Say(out, "mcuPal", v.mcuPalMarked, "blue", "plain");
    Say(out, "flashPal", v.flashPalMarked, "blue", "plain");
    Say(out, "userDatPal", v.userDatPalMarked, "blue", "plain");
    return out;
}

struct Row {
    S state;
    Src source;   // the radio checked in the data-source box
    S settles;    // the state the page is in afterwards
    const char* shows;
};

const Row kRows[] = {
    {S::Start, Src::Internet, S::Start, " DsGBox:off,hidden G3Box:hidden UpmfBtn:off UmcuBtn:off UflashBtn:off"},
    // Choosing a model shows the data source the box holds, and the one or
    // two upgrade buttons of its family, both disabled until files load.
    {S::OldModelChosen, Src::File, S::SourceFile,
     " DsGBox:on,shown InetPal:hidden FilePal:shown BackupPal:hidden G3Box:off UpmfBtn:off,hidden"
     " UmcuBtn:off,shown UflashBtn:off,shown UpGBox:right"},
    {S::NewModelChosen, Src::Backup, S::SourceBackup,
     " DsGBox:on,shown InetPal:hidden FilePal:hidden BackupPal:shown G3Box:off UpmfBtn:off,shown"
     " UmcuBtn:off,hidden UflashBtn:off,hidden UpGBox:left"},
    {S::NewModelChosen, Src::Internet, S::SourceInternet,
     " DsGBox:on,shown InetPal:shown FilePal:hidden BackupPal:hidden G3Box:off UpmfBtn:off,shown"
     " UmcuBtn:off,hidden UflashBtn:off,hidden UpGBox:left"},
    // A source state names its own panel, whatever the radios say.
    {S::SourceInternet, Src::File, S::SourceInternet, " InetPal:shown FilePal:hidden BackupPal:hidden"},
    {S::SourceFile, Src::Internet, S::SourceFile, " InetPal:hidden FilePal:shown BackupPal:hidden"},
    {S::SourceBackup, Src::Internet, S::SourceBackup, " InetPal:hidden FilePal:hidden BackupPal:shown"},
    {S::FileNotUsable, Src::File, S::FileNotUsable, " DsGBox:off G3Box:on"},
    {S::Ready, Src::File, S::Ready, " DsGBox:on G3Box:on,shown"},
    {S::ReadyNewModel, Src::File, S::ReadyNewModel,
     " DsGBox:on G3Box:on,shown UpmfBtn:on mcuPal:blue flashPal:blue userDatPal:blue"},
    {S::ReadyOldModel, Src::File, S::ReadyOldModel,
     " DsGBox:on G3Box:on,shown UmcuBtn:on UflashBtn:on mcuPal:blue flashPal:blue userDatPal:blue"},
    {S::FlashOnly, Src::File, S::FlashOnly, " G3Box:on,shown flashPal:blue userDatPal:blue"},
    {S::ProgramOnly, Src::File, S::ProgramOnly, " G3Box:on,shown mcuPal:blue"},
    // A routine running locks the model and file boxes; Cancel stays on.
    {S::BackupRunning, Src::Backup, S::BackupRunning, " ModelGBox:off DsGBox:off G3Box:off Up256kCancleBtn:on"},
    {S::BackupDone, Src::Backup, S::BackupDone, " ModelGBox:on DsGBox:on G3Box:on Up256kCancleBtn:on"},
    {S::UpgradeRunning, Src::File, S::UpgradeRunning, " ModelGBox:off DsGBox:off G3Box:off Up256kCancleBtn:on"},
    {S::UpgradeDone, Src::File, S::UpgradeDone, " ModelGBox:on DsGBox:on G3Box:on"},
    {S::MarkFlash, Src::File, S::MarkFlash, " flashPal:blue userDatPal:blue"},
    {S::MarkFlashOnly, Src::File, S::MarkFlashOnly, " flashPal:blue userDatPal:plain"},
};

TEST(UpgradePageModelTest, EachStateShowsItsControls) {
    bool seen[size_t(S::MarkFlashOnly) + 1] = {};
    for (const Row& row : kRows) {
        SCOPED_TRACE(::testing::Message() << "state " << int(row.state) << ", source " << int(row.source));
        const UpgradePageView v = UpgradePageViewOf(row.state, row.source);
        EXPECT_EQ(Shows(v), row.shows);
        EXPECT_EQ(int(v.state), int(row.settles));
        seen[size_t(row.state)] = true;
    }
    for (size_t s = 0; s < std::size(seen); ++s) EXPECT_TRUE(seen[s]) << "no row for state " << s;
}

}  // namespace
}  // namespace orvalink::testing
