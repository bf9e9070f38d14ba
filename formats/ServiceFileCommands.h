// The commands of the communication window's file pages, without the
// window: the generic open and save of plain, security and X files, the
// conversions "UnSec", "SetSMcf" and "SetSMod", and the upgrade-file pages'
// commands ("Load *.BIN file", "Load *.MCF file", "Make XMCF", "Make XMCU",
// the version double click, the two S-binary pairs, "KDT 2 Txt", "Write").
// The file dialogs go through UiServices; every command returns an outcome
// with the boxes the system shows for it, which the page that owns the
// controls shows. That page passes in what the user typed and picked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "formats/XFiles.h"
#include "platform/UiServices.h"

namespace orvalink {

class Clock;
class Random;
class TTiFlashFm;
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

// What became of a service command.
enum class ServiceResult {
    Ok,
    Cancelled,    // a file dialog was cancelled
    Refused,      // the command ends without a word of its own: nothing to
                  // work on, a file not of its kind, a version it cannot read
    NoModel,      // "Please Select Model first !"
    BadVersion,   // the typed version is not a number such as 1.05 (our text)
    NotReady,     // what the command works on is not loaded ("Ti Memory not
                  // ready !", "Please load *.BIN first !", "Please load VC-30
                  // *.MCF first !"; the X-file makers and "Write" say nothing)
    BadVcNumber,  // the VC number is not 0..65535 (our text)
    ReadFailed,   // the file could not be read
    WriteFailed,  // the file could not be written; the old one is kept
    TooLong,      // the data do not fit the file or buffer (our texts)
    Corrupt,      // "File corruption ! ..."
};

// The kind, the boxes the system shows for it in their order (each with its
// text, caption, icon and buttons; none when nothing is shown), the file
// layer's reason where it knows one, and the file read or written.
struct ServiceOutcome {
    ServiceResult kind = ServiceResult::Ok;
    std::vector<MessageRequest> notices;
    std::string why;
    std::string path;
    bool Ok() const { return kind == ServiceResult::Ok; }
    // The notices' texts, in order.
    std::vector<std::string> Texts() const;
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
    // The outcome's path is the chosen file.
    ServiceOutcome OpenAnyFile(const std::string& initialPath, std::vector<uint8_t>& buffer, int& kind);
    // The save dialog with the six filters (with `ask`), then the writer of
    // the kind. A path "0" starts in program folder / the kind's extension.
    // The outcome's path is the file written.
    ServiceOutcome SaveAnyFile(const std::string& path, std::span<const uint8_t> data, int kind, bool ask);

    ServiceOutcome UnSecClick();
    ServiceOutcome SetSMcfClick();
    ServiceOutcome SetSModClick();

    // The X-file save dialog (with `ask`) and WriteXFile; "Save X Files
    // Error ! \n" + folder + name on failure. The outcome's path is the file
    // written.
    ServiceOutcome SaveXFile(const std::string& folder, const std::string& name, std::span<const uint8_t> data,
                             uint8_t kind, bool ask, int xModelIndex, uint16_t versionWord);
    // The .bin/.mcf open dialog and ReadWholeFile (at most maxBytes);
    // "Load Files Error ! \n " + path on failure. The outcome's path is the
    // chosen file.
    ServiceOutcome OpenBinFile(const std::string& folder, const std::string& name, std::vector<uint8_t>& buffer,
                               uint64_t maxBytes);

    // The upgrade-file pages. Model texts are the file-name forms the
    // flash and MCU model lists show, positions their rows.
    ServiceOutcome LoadBinClick();
    ServiceOutcome LoadMcfClick(const std::string& flashModel);
    ServiceOutcome MakeXmcfClick(const std::string& flashModel, int listPosition, const std::string& version);
    ServiceOutcome MakeXmcuClick(const std::string& mcuModel, int listPosition, const std::string& version);
    ServiceOutcome VersionDoubleClick(const std::string& version);
    // The first pair works on the MCU buffer (source 1000), the second on
    // the memory image (source 2000). Loading is Ok when it loaded.
    ServiceOutcome LoadVcSBinClick(bool image);
    ServiceOutcome MakeVcSBinClick(bool image, const std::string& vcNumber);
    ServiceOutcome KdtToTxtClick();
    ServiceOutcome WriteClick(const std::string& flashModel, const std::string& codeVersion,
                              const std::string& flashVersion);

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
    // The model code of a chosen model and the typed version word, or the
    // outcome that says which is missing.
    ServiceOutcome ModelAndVersion(const std::string& model, const std::string& version, uint16_t& code,
                                   uint16_t& word) const;
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
