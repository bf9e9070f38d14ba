// What the main window and its dialogs need from the rest of the program.
// Everything is handed over at construction; parts that come with later
// windows (the remote link, the code picker) may be absent, and the commands
// that need them are then disabled.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "editors/core/CodeNumberPicker.h"
#include "link/RemoteLink.h"
#include "platform/ShellOpener.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;
class UiServices;
class VFileCommands;

struct AppServices {
    std::filesystem::path programFolder;
    UiServices& ui;
    const Clock& clock;
    Random& random;
    TTiFlashFm& flash;
    VFileCommands& files;
    RemoteLink* link = nullptr;
    CodeNumberPicker* codePicker = nullptr;
    ShellOpener* shell = nullptr;
};

}  // namespace orvalink
