// The commands of the communication window's file pages, without the
// window: the generic open and save of plain, security and X files, the
// conversions "UnSec", "SetSMcf" and "SetSMod", and the upgrade-file pages'
// commands ("Load *.BIN file", "Load *.MCF file", "Make XMCF", "Make XMCU",
// the version double click, the two S-binary pairs, "KDT 2 Txt", "Write").
// Every box and dialog goes through UiServices; the page that owns the
// controls passes in what the user typed and picked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "formats/XFiles.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;
class UiServices;
class VFileCommands;

// The older flash holder: the 262144-byte flash image of an older remote
// with its code region, and what a security file written from it says
// about the model. Nothing of the program sets these, so a file written
// from it carries the model tag 0x6700 and the model text "ORVALINK".
class TFlashFm {
public:
    TFlashFm();
    OlderFlash flash;
    SecurityStamp stamp;
};

// The generic open's kinds, in the order of its eight filters.
enum : int { kAnySmcf, kAnySmod, kAnySsdc, kAnyMcf, kAnyMod, kAnySdc, kAnyXirc, kAnyIrcc };

class ServiceFileCommands {
public:
    ServiceFileCommands(UiServices& ui, const Clock& clock, Random& random, std::filesystem::path programFolder,
                        VFileCommands& dialogs, TTiFlashFm& image, TFlashFm& older);

    // The open dialog with the eight filters, `kind` preselected; the file is
    // read by the kind of the filter left selected, which the dialog tells by
    // the chosen file's extension (a name with none of the eight keeps the
    // preselected kind). Security and X files report the kind they store.
    bool OpenAnyFile(const std::string& initialPath, std::vector<uint8_t>& buffer, int& kind, std::string& chosen);
    // The save dialog with the six filters (with `ask`), then the writer of
    // the kind. A path "0" starts in program folder / the kind's extension.
    bool SaveAnyFile(const std::string& path, std::span<const uint8_t> data, int kind, bool ask,
                     std::string* written = nullptr);

    void UnSecClick();
    void SetSMcfClick();
    void SetSModClick();

    // The X-file save dialog (with `ask`) and WriteXFile; "Save X Files
    // Error ! \n" + folder + name on failure.
    bool SaveXFile(const std::string& folder, const std::string& name, std::span<const uint8_t> data, uint8_t kind,
                   bool ask, int xModelIndex, uint16_t versionWord, std::string* written = nullptr);
    // The .bin/.mcf open dialog and ReadWholeFile (at most maxBytes);
    // "Load Files Error ! \n " + path on failure.
    bool OpenBinFile(const std::string& folder, const std::string& name, std::vector<uint8_t>& buffer,
                     uint64_t maxBytes, std::string& chosen);

    // The upgrade-file pages. Model texts are the file-name forms the
    // flash and MCU model lists show, positions their rows.
    void LoadBinClick();
    void LoadMcfClick(const std::string& flashModel);
    void MakeXmcfClick(const std::string& flashModel, int listPosition, const std::string& version);
    void MakeXmcuClick(const std::string& mcuModel, int listPosition, const std::string& version);
    void VersionDoubleClick(const std::string& version);
    // The first pair works on the MCU buffer (source 1000), the second on
    // the memory image (source 2000). Loading tells whether it loaded.
    bool LoadVcSBinClick(bool image);
    void MakeVcSBinClick(bool image, const std::string& vcNumber);
    void KdtToTxtClick();
    void WriteClick(const std::string& flashModel, const std::string& codeVersion, const std::string& flashVersion);

    // What the page holds between commands.
    std::vector<uint8_t>& McuBuffer() { return mcu_; }
    const std::vector<uint8_t>& FlashBuffer() const { return flashBuffer_; }
    bool McuLoaded() const { return mcuLoaded_; }
    bool FlashLoaded() const { return !flashPath_.empty(); }
    const std::string& FlashPath() const { return flashPath_; }
    // The VC number and date of the last S binary loaded.
    const SBinHeader& LoadedSBin() const { return loadedSBin_; }

    static constexpr size_t kMcuBufferBytes = 66000;

private:
    void FileError(const PlainFileOutcome& outcome);
    // The model code of a chosen model and the typed version word, or the
    // message that says which is missing (false).
    bool ModelAndVersion(const std::string& model, const std::string& version, uint16_t& code, uint16_t& word);
    std::string ProgramFolderText() const;

    UiServices& ui_;
    const Clock& clock_;
    Random& random_;
    std::filesystem::path programFolder_;
    VFileCommands& dialogs_;
    TTiFlashFm& image_;
    TFlashFm& older_;
    std::vector<uint8_t> mcu_ = std::vector<uint8_t>(kMcuBufferBytes, 0xFF);
    bool mcuLoaded_ = false;
    size_t mcuLength_ = 0;
    std::string mcuPath_;
    std::vector<uint8_t> flashBuffer_;
    std::string flashPath_;
    uint16_t flashModel_ = 0;
    SBinHeader loadedSBin_;
};

}  // namespace orvalink
