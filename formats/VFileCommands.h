// The file dialogs and the V-file commands of the windows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "formats/Documents.h"
#include "formats/FileKinds.h"
#include "formats/VFileHeader.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;
class UiServices;

// The file dialogs and the commands that read and write V files for the
// windows. Everything it needs comes through its constructor.
class VFileCommands {
public:
    VFileCommands(UiServices& ui, const Clock& clock, Random& random, std::filesystem::path programFolder,
                  TTiFlashFm& flash);

    // Program folder + separator, and the default paths below it.
    std::string ProgramFolderText() const;
    // The documents' folder. The system writes it "Mcf" and "mcf"; on a
    // file system that tells case apart both mean the one folder that
    // exists under any spelling, and "mcf" is made when there is none.
    std::string DocumentFolder() const;       // mcf/
    std::string DefaultDocumentPath() const;  // mcf/noname.vmcf
    std::string BlankDocumentPath() const;    // bk/default_.vmcf
    std::string ModuleFolder() const;         // tmod/
    std::string DefaultModulePath() const;    // tmod/noname.vmod
    // "noname_" + today's date: the name Save As proposes.
    std::string ProposedDocumentName() const;

    // The open and save dialogs of a file kind. On success `chosen` holds the
    // chosen path; on failure (kind not in the table, Cancel, empty name) it
    // is empty.
    bool PickOpenFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                      std::string& chosen);
    bool PickSaveFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                      std::string& chosen);

    // Asks for the file (with `ask`; an empty path starts at the program
    // folder) or takes `path` as it is, and loads it: Unreadable carries
    // "Load V File error ! ...". Succeeds only for model codes of 1000 and
    // above; an older model's file is refused silently (OlderModel). The
    // outcome's path is the file that was read.
    DocumentOutcome OpenVFile(const std::string& path, std::vector<uint8_t>& payload, VFileHeader& header,
                              FileKind kind, bool ask);

    // Writes the memory image as a .vmcf document of model code 2000 (the
    // caller's model code chooses where the version word is read). Without
    // `ask` an existing file at `path` is replaced silently; otherwise the save
    // dialog chooses. The outcome's path is the file written.
    DocumentOutcome SaveImageVFile(const std::string& path, uint16_t modelCode, bool ask);

    // Writes `data` as a model file of the given kind and model code,
    // version 0, through the save dialog, which proposes `path`. The chosen
    // path gets the kind's extension.
    DocumentOutcome SaveModuleVFile(const std::string& path, std::span<const uint8_t> data, uint16_t kindCode,
                                    uint16_t modelCode);

private:
    bool PickFile(bool save, const std::string& initialPath, const std::string& proposedName, FileKind kind,
                  std::string& chosen);

    UiServices& ui_;
    const Clock& clock_;
    Random& random_;
    std::filesystem::path programFolder_;
    TTiFlashFm& flash_;
};

}  // namespace orvalink
