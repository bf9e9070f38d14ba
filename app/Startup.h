// Start-up: the splash and the model picker, then the program's windows in
// their fixed order.
#pragma once

#include <QObject>

#include <filesystem>
#include <memory>

#include "app/AboutBox.h"
#include "app/AppServices.h"
#include "app/Doyouknowut.h"
#include "app/MainFm.h"
#include "app/Selectmodelut.h"
#include "app/Shells.h"
#include "editors/Btnut.h"
#include "editors/core/BlockIrLink.h"
#include "link/qt/Comtestut.h"
#include "platform/Registry.h"

namespace orvalink {

class TLogoFm;

// Runs the splash and the picker until start-up may go on.
StartupChoice RunSplashAndPicker(const std::filesystem::path& programFolder, UiServices& ui);

// The windows created once the model is accepted, in creation order.
struct ProgramWindows {
    std::unique_ptr<TMainFm> main;
    std::unique_ptr<TAboutBox> about;
    std::unique_ptr<Registry> registry;  // the view port discovery walks
    std::unique_ptr<TComTestFm> comTest;
    std::unique_ptr<BlockIrLink> irLink;  // the key editor's learning and shooting
    std::unique_ptr<TBtnFm> btn;
    std::unique_ptr<TTiModelFm> tiModel;
    std::unique_ptr<TDoYouKnowFm> doYouKnow;
    std::unique_ptr<TPreCodeFm> preCode;
};

// Creates the windows. `services.link` becomes the communication window and
// `services.codePicker` the code picker window. The memory image holder is
// created by the caller, with the program's other long-lived objects.
ProgramWindows CreateProgramWindows(AppServices& services, Clock& clock, const StartupChoice& choice);

}  // namespace orvalink
