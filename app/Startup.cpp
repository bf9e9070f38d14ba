#include "app/Startup.h"

#include <QEventLoop>
#include <QTimer>

#include "app/Logout.h"
#include "platform/linux/SysfsRegistry.h"

namespace orvalink {

StartupChoice RunSplashAndPicker(const std::filesystem::path& programFolder, UiServices& ui) {
    StartupChoice choice;
    TLogoFm splash(programFolder, ui);
    if (splash.PictureLoaded()) {
        splash.show();
        splash.repaint();
    }
    TSelectModelFm picker(programFolder, ui, choice);
    QEventLoop loop;
    QObject::connect(&picker, &TSelectModelFm::GoChanged, &loop, &QEventLoop::quit);
    // The splash goes before the picker comes: left up, it lies over the
    // picker's list and OK (or, fully covered, is a window the user can never
    // see nor reach).
    QObject::connect(&picker, &TSelectModelFm::Showing, &splash, &QWidget::hide);
    QObject::connect(&splash, &TLogoFm::GoRequested, &loop, [&] {
        choice.go = true;
        loop.quit();
    });
    picker.Start();
    // The picker's timer decides within two seconds; from then on the user
    // does: OK, Cancel or a click on the splash.
    if (!choice.go) loop.exec();
    splash.hide();
    return choice;
}

ProgramWindows CreateProgramWindows(AppServices& services, Clock& clock, const StartupChoice& choice) {
    ProgramWindows w;
    w.main = std::make_unique<TMainFm>(services, DetectBrand(services.programFolder));
    w.about = std::make_unique<TAboutBox>(services.programFolder, services.shell,
                                          TextsOf(DetectBrand(services.programFolder)).webAddress, w.main.get());
    w.main->SetAboutBox(w.about.get());
    auto registry = std::make_unique<SysfsRegistry>();
    registry->AddPortsFromEnvironment();
    w.registry = std::move(registry);
    w.comTest = std::make_unique<TComTestFm>(services.programFolder, services.ui, clock, services.flash, *w.registry);
    services.link = w.comTest.get();
    w.main->SetRemoteLink(w.comTest.get());
    TMainFm* main = w.main.get();
    w.comTest->SetMainWindow(main, [main](bool enabled) { main->SetFormEnabled(enabled); });
    main->SetToolWindow(w.comTest.get());
    w.irLink = std::make_unique<BlockIrLink>(w.comTest->Link().Blocks());
    BtnServices btn{services.flash, services.ui, services.random, w.irLink.get(), {}, {}, {}, {}};
    btn.openStepWindow = [main](int device, EditorMode mode) { return main->OpenDeviceEditor(device, mode); };
    btn.refreshMain = [main] { main->RebuildTree(); };
    btn.setMainEnabled = [main](bool enabled) { main->SetFormEnabled(enabled); };
    btn.deviceName = [main](int device) { return main->DeviceNameFor(device); };
    w.btn = std::make_unique<TBtnFm>(std::move(btn), main);
    main->SetKeyEditor(w.btn.get(), w.btn.get());
    w.tiModel = std::make_unique<TTiModelFm>();
    w.preCode = std::make_unique<TPreCodeFm>(services.programFolder, services.ui, services.flash, &w.comTest->Link(),
                                              w.main.get());
    services.codePicker = w.preCode.get();
    w.main->SetCodePicker(w.preCode.get());
    w.doYouKnow = std::make_unique<TDoYouKnowFm>(services, *w.main, choice.familyCode, w.main.get());
    return w;
}

}  // namespace orvalink
