// The main window and the communication window over one image, as the
// program puts them together, with the serial port `port` (the virtual
// remote's terminal) registered as COM3.
#pragma once

#include <QString>

#include <filesystem>

#include "app/AppServices.h"
#include "app/MainFm.h"
#include "formats/VFileCommands.h"
#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"

namespace orvalink::testing {

struct WindowsRig {
    ScriptedUiServices ui;
    FixedClock clock;
    Pcg32Random random;
    TTiFlashFm flash;
    VFileCommands files;
    AppServices services;
    SysfsRegistry registry;
    TComTestFm comTest;
    TMainFm main;
    WindowsRig(const std::filesystem::path& folder, const QString& port)
        : files(ui, clock, random, folder, flash),
          services{folder, ui, clock, random, flash, files, nullptr, nullptr, nullptr},
          comTest(folder, ui, clock, flash, registry),
          main(services, Brand::Plain) {
        if (!port.isEmpty()) registry.AddPortEntry(port.toStdString() + "=COM3");
        main.SetRemoteLink(&comTest);
        services.link = &comTest;
    }
};

}  // namespace orvalink::testing
