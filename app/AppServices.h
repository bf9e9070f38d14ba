// What the main window and its dialogs need from the rest of the program.
// Everything is handed over at construction; parts that come with later
// windows (the remote link, the code picker) may be absent, and the commands
// that need them are then disabled.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "editors/core/CodeNumberPicker.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;
class UiServices;
class VFileCommands;

// The remote link as the main commands and the start dialog use it.
class RemoteLink {
public:
    virtual ~RemoteLink() = default;
    virtual bool EnsureLinkPort() = 0;
    virtual void SetUserAbort(bool abort) = 0;
    virtual bool UserAbort() const = 0;
    virtual bool DownloadFromRemote() = 0;
    virtual bool UploadToRemote(int kind) = 0;
    virtual void CloseLinkPort() = 0;
};

// The shell's "open" of a web address or document.
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    virtual bool Open(const std::string& address) = 0;
};

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
