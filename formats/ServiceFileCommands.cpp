#include "formats/ServiceFileCommands.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "formats/FileConversions.h"
#include "formats/FileKinds.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFileCommands.h"
#include "formats/VFileHeader.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace fs = std::filesystem;

namespace {

constexpr FileKind kAnyKinds[8] = {FileKind::smcf, FileKind::smod, FileKind::ssdc, FileKind::mcf,
                                   FileKind::mod,  FileKind::sdc,  FileKind::xirc, FileKind::ircc};
constexpr char kXSaveFilter[] =
    "X Machine Config Files (*.xmcf)|*.xmcf|X Mcu Files (*.xmcu)|*.xmcu|X IR Config Files (*.xirc)|*.xirc|"
    "All Files (*.*)|*.*";
constexpr char kBinOpenFilter[] =
    "MCU binary Files (*.bin)|*.bin|Machine Config Files (*.mcf)|*.mcf|All Files (*.*)|*.*";
constexpr char kSelectModelText[] = "Please Select Model first !";
constexpr char kNoImageYetText[] = "Ti Memory not ready !";
// Our own texts, for input the system never checked.
constexpr char kBadVersionText[] = "The version is not a number such as 1.05.\nNothing was made.";
constexpr char kSBinTooLongText[] = "The file is too long for an S binary.\nNothing was loaded.";
constexpr char kSBinTooBigForImageText[] = "The S binary is longer than the memory image.\nNothing was loaded.";
constexpr char kSBinTooLongToMakeText[] =
    "The data are too long for an S binary: its loader takes at most 65536 bytes.\nNothing was made.";

// The "Description|*.ext" pair of a kind's filter text.
std::string FirstFilter(FileKind kind) {
    const FileKindInfo* info = OpenFileKind(kind);
    if (!info) return {};
    const std::string_view f = info->filter;
    const size_t bar = f.find('|');
    const size_t end = bar == std::string_view::npos ? f.size() : f.find('|', bar + 1);
    return std::string(f.substr(0, end));
}

std::string Lower(std::string s) {
    for (char& c : s) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return s;
}

// The folder part of a path text, with its separator.
std::string FolderOf(const std::string& path) {
    for (size_t i = path.size(); i-- > 0;)
        if (IsPathSeparator(path[i])) return path.substr(0, i + 1);
    return {};
}

}  // namespace

TFlashFm::TFlashFm() {
    const char text[] = "ORVALINK";
    std::memcpy(stamp.modelText.data(), text, sizeof text - 1);
    stamp.modelTag = 0x6700;
}

ServiceFileCommands::ServiceFileCommands(UiServices& ui, const Clock& clock, Random& random, fs::path programFolder,
                                         VFileCommands& dialogs, TTiFlashFm& image, TFlashFm& older)
    : ui_(ui),
      clock_(clock),
      random_(random),
      programFolder_(std::move(programFolder)),
      dialogs_(dialogs),
      image_(image),
      older_(older) {}

std::string ServiceFileCommands::ProgramFolderText() const { return dialogs_.ProgramFolderText(); }

void ServiceFileCommands::FileError(const PlainFileOutcome& outcome) {
    if (outcome.message.empty()) return;
    // File errors ask OK or Cancel; either answer goes on the same way.
    ui_.ShowMessage(MessageRequest{outcome.message, outcome.caption.empty() ? kFileErrorCaption : outcome.caption,
                                   MsgIcon::Error, MsgButtons::OkCancel});
}

bool ServiceFileCommands::OpenAnyFile(const std::string& initialPath, std::vector<uint8_t>& buffer, int& kind,
                                      std::string& chosen) {
    chosen.clear();
    if (kind < 0 || kind > kAnyIrcc) return false;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    bool folderOnly = false;
    request.initialFolder = DialogFolderOf(initialPath, folderOnly);
    for (int k = 0; k <= kAnyIrcc; ++k) request.filter += (k ? "|" : "") + FirstFilter(kAnyKinds[k]);
    request.filterIndex = kind + 1;
    request.defaultExtension = std::string(OpenFileKind(kAnyKinds[kind])->extension);
    request.mustExist = true;
    request.multiSelect = true;
    const std::optional<std::string> answer = ui_.ChooseFile(request);
    if (!answer || answer->empty()) return false;
    int selected = kind;
    const std::string ext = Lower(fs::path(PathFromUtf8(*answer)).extension().string());
    for (int k = 0; k <= kAnyIrcc; ++k)
        if (ext == "." + std::string(OpenFileKind(kAnyKinds[k])->extension)) selected = k;

    const fs::path path = PathFromUtf8(*answer);
    std::vector<uint8_t> data;
    PlainFileOutcome read;
    int result = selected;
    if (selected <= kAnySsdc) {
        uint8_t stored = 0;
        read = ReadSecurityFile(path, data, stored);
        result = stored;
    } else if (selected <= kAnySdc) {
        read = ReadPlainFile(path, data, kSecurityFileLimit);
    } else if (selected == kAnyXirc) {
        XFileHeader header;
        uint8_t stored = 0;
        read = ReadXFile(path, data, header, stored);
        // The X kinds follow the generic open's own: xirc stays 6.
        result = kAnyXirc;
    } else {
        read = ReadIrccFile(path, data);
    }
    if (!read.Ok()) {
        FileError(read);
        return false;
    }
    buffer = std::move(data);
    kind = result;
    chosen = *answer;
    return true;
}

bool ServiceFileCommands::SaveAnyFile(const std::string& path, std::span<const uint8_t> data, int kind, bool ask,
                                      std::string* written) {
    if (kind < 0 || kind > kAnySdc) return false;
    const std::string ext(SaveFileKind(kAnyKinds[kind])->extension);
    std::string proposed = path;
    std::string folder;
    bool folderOnly = false;
    if (path == "0") {
        folder = ProgramFolderText() + ext + char(fs::path::preferred_separator);
        proposed.clear();
    } else {
        folder = DialogFolderOf(path, folderOnly);
    }
    std::string target = proposed;
    if (ask) {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Mode::Save;
        request.initialFolder = folder;
        request.proposedName = proposed;
        for (int k = 0; k <= kAnySdc; ++k) request.filter += (k ? "|" : "") + FirstFilter(kAnyKinds[k]);
        request.filterIndex = kind + 1;
        request.defaultExtension = ext;
        request.confirmOverwrite = true;
        const std::optional<std::string> answer = ui_.ChooseFile(request);
        if (!answer || answer->empty()) return false;
        target = *answer;
    }
    if (target.empty()) return false;
    PlainFileOutcome out;
    if (kind <= kAnySsdc)
        out = WriteSecurityFile(PathFromUtf8(target), data, uint8_t(kind), older_.stamp, clock_, random_);
    else
        out = WritePlainFile(PathFromUtf8(target), data);
    if (!out.Ok()) {
        FileError(out);
        return false;
    }
    if (written) *written = Utf8FromPath(out.path);
    return true;
}

void ServiceFileCommands::UnSecClick() {
    std::vector<uint8_t> data;
    int kind = kAnySmcf;
    std::string chosen;
    if (!OpenAnyFile(ProgramFolderText(), data, kind, chosen)) return;
    // A plain file chosen here is read and nothing else happens.
    if (kind > kAnySsdc) return;
    const PlainFileOutcome out = WritePlainForm(PathFromUtf8(chosen), data, uint8_t(kind), older_.flash);
    if (!out.Ok()) FileError(out);
}

void ServiceFileCommands::SetSMcfClick() {
    std::vector<uint8_t> data;
    int kind = kAnyMcf;
    std::string chosen;
    if (!OpenAnyFile(ProgramFolderText(), data, kind, chosen)) return;
    uint8_t securityKind = 0;
    if (!SecurityKindOfPlain(kind, securityKind)) return;
    SaveAnyFile(chosen, data, securityKind, false);
}

void ServiceFileCommands::SetSModClick() {
    std::vector<uint8_t> data;
    int kind = kAnyMod;
    std::string chosen;
    if (!OpenAnyFile(ProgramFolderText(), data, kind, chosen)) return;
    uint8_t securityKind = 0;
    if (!SecurityKindOfPlain(kind, securityKind)) return;
    SaveAnyFile(chosen, data, securityKind, false);
}

bool ServiceFileCommands::SaveXFile(const std::string& folder, const std::string& name, std::span<const uint8_t> data,
                                    uint8_t kind, bool ask, int xModelIndex, uint16_t versionWord,
                                    std::string* written) {
    std::string target = folder + name;
    XFileHeader header;
    bool ok = kind <= kXirc && XHeaderForModel(xModelIndex, versionWord, header);
    // Data this long make no readable X file; no dialog is shown for them.
    PlainFileOutcome out;
    if (ok && data.size() + kXHeaderBytes >= kXFileLimit) {
        ok = false;
        out.message = kXTooLargeText;
    }
    if (ok && ask) {
        FileDialogRequest request;
        request.mode = FileDialogRequest::Mode::Save;
        std::error_code ec;
        request.initialFolder = !folder.empty() && fs::is_directory(PathFromUtf8(folder), ec) ? folder
                                                                                              : ProgramFolderText();
        request.proposedName = folder + name;
        request.filter = kXSaveFilter;
        request.filterIndex = kind + 1;
        request.defaultExtension = XExtension(kind);
        request.confirmOverwrite = true;
        const std::optional<std::string> answer = ui_.ChooseFile(request);
        if (!answer || answer->empty()) return false;
        target = *answer;
    }
    if (ok) {
        out = WriteXFile(PathFromUtf8(target), data, header, kind, clock_, random_);
        ok = out.Ok();
        if (ok && written) *written = Utf8FromPath(out.path);
    }
    if (!ok) {
        FileError(out);
        ui_.Inform("Save X Files Error ! \n" + folder + name, MsgIcon::Information);
    }
    return ok;
}

bool ServiceFileCommands::OpenBinFile(const std::string& folder, const std::string& name, std::vector<uint8_t>& buffer,
                                      uint64_t maxBytes, std::string& chosen) {
    chosen.clear();
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.initialFolder = folder;
    request.proposedName = name;
    request.filter = kBinOpenFilter;
    request.filterIndex = 1;
    request.defaultExtension = "bin";
    request.mustExist = true;
    const std::optional<std::string> answer = ui_.ChooseFile(request);
    if (!answer || answer->empty()) return false;
    std::vector<uint8_t> bytes;
    const PlainFileOutcome read = ReadWholeFile(PathFromUtf8(*answer), bytes, maxBytes);
    if (!read.Ok()) {
        FileError(read);
        ui_.Inform("Load Files Error ! \n " + *answer, MsgIcon::Information);
        return false;
    }
    buffer = std::move(bytes);
    chosen = *answer;
    return true;
}

void ServiceFileCommands::LoadBinClick() {
    std::fill(mcu_.begin(), mcu_.end(), 0xFF);
    std::vector<uint8_t> bytes;
    std::string chosen;
    if (!OpenBinFile(ProgramFolderText(), "", bytes, kMcuBufferBytes, chosen)) {
        ui_.Inform("Load Bin File Error !", MsgIcon::Information);
        return;
    }
    std::copy(bytes.begin(), bytes.end(), mcu_.begin());
    mcuLoaded_ = true;
    mcuLength_ = bytes.size();
    mcuPath_ = chosen;
    ui_.Inform("Load Bin File Ok !", MsgIcon::Information);
}

void ServiceFileCommands::LoadMcfClick(const std::string& flashModel) {
    uint16_t code = 0;
    if (!ModelCodeOf(flashModel, code)) {
        ui_.Inform(kSelectModelText, MsgIcon::Information);
        return;
    }
    if (code >= 1000) image_.SelectModel(code >= 1200 ? 5100 : 2300);
    if (code >= 1000 && !image_.ImageData().second) {
        ui_.Inform(kNoImageYetText, MsgIcon::Error);
        return;
    }
    const uint64_t room = code >= 1000 ? image_.ImageSize() : kOlderFlashBytes;
    std::vector<uint8_t> bytes;
    std::string chosen;
    if (!OpenBinFile(ProgramFolderText(), "", bytes, room, chosen)) {
        ui_.Inform("Load MCF File Error !", MsgIcon::Information);
        return;
    }
    if (code < 1000) {
        std::fill(older_.flash.bytes.begin(), older_.flash.bytes.end(), 0xFF);
        std::copy(bytes.begin(), bytes.end(), older_.flash.bytes.begin());
    } else {
        std::copy(bytes.begin(), bytes.end(), image_.Image().begin());
    }
    flashBuffer_ = std::move(bytes);
    flashPath_ = chosen;
    flashModel_ = code;
    ui_.Inform("Load MCF File Ok !", MsgIcon::Information);
}

bool ServiceFileCommands::ModelAndVersion(const std::string& model, const std::string& version, uint16_t& code,
                                          uint16_t& word) {
    if (!ModelCodeOf(model, code)) {
        ui_.Inform(kSelectModelText, MsgIcon::Information);
        return false;
    }
    if (ParseTypedVersion(version, word) != TypedVersion::Ok) {
        ui_.Inform(kBadVersionText, MsgIcon::Error);
        return false;
    }
    return true;
}

void ServiceFileCommands::MakeXmcfClick(const std::string& flashModel, int listPosition, const std::string& version) {
    if (!FlashLoaded()) return;
    uint16_t code = 0, word = 0;
    if (!ModelAndVersion(flashModel, version, code, word)) return;
    std::vector<uint8_t> data(XmcfDataBytes(code), 0xFF);
    std::copy_n(flashBuffer_.begin(), std::min(flashBuffer_.size(), data.size()), data.begin());
    const std::string folder = FolderOf(flashPath_);
    const std::string path = XFileName(folder, flashModel, word, clock_.Today(), ".xmcf");
    std::string written;
    const bool ok = SaveXFile(folder, path.substr(folder.size()), data, kXmcf, true,
                              XModelIndexOfListPosition(listPosition), word, &written);
    ui_.Inform(std::string(ok ? "Make XFile Ok ! \n  Path: " : "Make XFile Error ! \n  Path: ") +
                   (ok ? written : path),
               MsgIcon::Information);
}

void ServiceFileCommands::MakeXmcuClick(const std::string& mcuModel, int listPosition, const std::string& version) {
    if (!mcuLoaded_) return;
    uint16_t code = 0, word = 0;
    if (!ModelAndVersion(mcuModel, version, code, word)) return;
    const std::span<const uint8_t> data(mcu_.data(), XmcuDataBytes(code));
    const std::string folder = FolderOf(mcuPath_);
    const std::string path = XFileName(folder, mcuModel, word, clock_.Today(), ".xmcu");
    std::string written;
    const bool ok = SaveXFile(folder, path.substr(folder.size()), data, kXmcu, true,
                              XModelIndexOfListPosition(listPosition), word, &written);
    ui_.Inform(std::string(ok ? "Make XFile Ok ! \n  Path: " : "Make XFile Error ! \n  Path: ") +
                   (ok ? written : path),
               MsgIcon::Information);
}

void ServiceFileCommands::VersionDoubleClick(const std::string& version) {
    uint16_t word = 0;
    if (ParseTypedVersion(version, word) != TypedVersion::Ok) return;
    ui_.Inform(VersionHiLoText(word), MsgIcon::Information);
}

bool ServiceFileCommands::LoadVcSBinClick(bool image) {
    std::string chosen;
    if (!dialogs_.PickOpenFile(ProgramFolderText(), "noname.sbin", FileKind::sbin, chosen)) return false;
    if (image && !image_.SelectModel(kSelector5120)) return false;
    const uint64_t most = image ? kSBinHeaderBytes + image_.ImageSize() : kSBinLoadBytes;
    SBinHeader header;
    std::vector<uint8_t> data;
    switch (ReadSBinFile(PathFromUtf8(chosen), most, header, data)) {
        case SBinLoad::Ok: break;
        case SBinLoad::ReadFailed:
            ui_.ShowMessage(MessageRequest{kCantOpenFilesText, kFileErrorCaption, MsgIcon::Error, MsgButtons::OkCancel});
            return false;
        case SBinLoad::TooLong:
            ui_.Inform(kSBinTooLongText, MsgIcon::Error);
            return false;
        case SBinLoad::Corrupt:
            ui_.Inform(SBinCorruptText(chosen), MsgIcon::Error);
            return false;
    }
    if (image) {
        const std::span<uint8_t> target = image_.Image();
        if (data.size() > target.size()) {
            ui_.Inform(kSBinTooBigForImageText, MsgIcon::Error);
            return false;
        }
        std::copy(data.begin(), data.end(), target.begin());
    } else {
        std::fill(mcu_.begin(), mcu_.end(), 0xFF);
        std::copy(data.begin(), data.end(), mcu_.begin());
        mcuLoaded_ = true;
        mcuLength_ = data.size();
        mcuPath_ = chosen;
    }
    loadedSBin_ = header;
    ui_.Inform("Load SBin File Ok !", MsgIcon::Information);
    return true;
}

void ServiceFileCommands::MakeVcSBinClick(bool image, const std::string& vcNumber) {
    std::span<const uint8_t> data;
    if (image) {
        if (!image_.ImageData().second) {
            ui_.Inform("Please load VC-30 *.MCF first !", MsgIcon::Error);
            return;
        }
        data = image_.Image();
    } else {
        if (!mcuLoaded_) {
            ui_.Inform("Please load *.BIN first !", MsgIcon::Error);
            return;
        }
        data = std::span<const uint8_t>(mcu_.data(), mcuLength_);
    }
    unsigned long vc = 0;
    const std::string digits = vcNumber.substr(0, vcNumber.find_last_not_of(' ') + 1);
    if (!digits.empty()) {
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
            (vc = std::stoul(digits)) > 0xFFFF) {
            ui_.Inform("The VC number is not a number from 0 to 65535.\nNothing was made.", MsgIcon::Error);
            return;
        }
    }
    const uint16_t source = image ? kSBinFromImage : kSBinFromMcu;
    // A file its loader would refuse is not made.
    if (kSBinHeaderBytes + data.size() > SBinFileLimit(source)) {
        ui_.Inform(kSBinTooLongToMakeText, MsgIcon::Error);
        return;
    }
    std::string chosen;
    if (!dialogs_.PickSaveFile(ProgramFolderText(), "noname.sbin", FileKind::sbin, chosen)) return;
    const std::vector<uint8_t> file = BuildSBinBytes(data, source, uint16_t(vc), clock_.Today());
    const PlainFileOutcome out = WriteWholeFile(PathFromUtf8(chosen), file);
    if (!out.Ok()) {
        FileError(out);
        return;
    }
    ui_.Inform("Save SBin File Ok !", MsgIcon::Information);
}

void ServiceFileCommands::KdtToTxtClick() {
    const std::span<const uint8_t> image = image_.Image();
    const std::string text = DeviceTablesText(image.first(std::min(image.size(), kKdtTables * kKdtTableBytes)));
    const PlainFileOutcome out = WriteWholeFile(
        programFolder_ / "device.txt", std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (!out.Ok()) FileError(out);
}

void ServiceFileCommands::WriteClick(const std::string& flashModel, const std::string& codeVersion,
                                     const std::string& flashVersion) {
    uint16_t code = 0;
    if (!ModelCodeOf(flashModel, code)) {
        ui_.Inform(kSelectModelText, MsgIcon::Information);
        return;
    }
    uint16_t codeWord = 0, flashWord = 0;
    if (ParseTypedVersion(codeVersion, codeWord) != TypedVersion::Ok ||
        ParseTypedVersion(flashVersion, flashWord) != TypedVersion::Ok)
        return;
    if (!FlashLoaded()) return;
    const StampRule rule = StampRuleOf(code);
    if (rule == StampRule::None) return;
    PlainFileOutcome out;
    if (rule == StampRule::Older) {
        std::fill(older_.flash.bytes.begin(), older_.flash.bytes.end(), 0xFF);
        std::copy_n(flashBuffer_.begin(), std::min(flashBuffer_.size(), kOlderFlashBytes), older_.flash.bytes.begin());
        out = WriteMcf(PathFromUtf8(flashPath_), older_.flash);
    } else {
        if (!image_.ImageData().second) return;
        StampVersions(rule, codeWord, flashWord, image_.Image());
        StampVersions(rule, codeWord, flashWord, flashBuffer_);
        out = SaveImageFile(PathFromUtf8(flashPath_), image_);
    }
    const std::string path = out.path.empty() ? flashPath_ : Utf8FromPath(out.path);
    if (!out.Ok()) FileError(out);
    ui_.Inform(std::string(out.Ok() ? StampOkText(rule) : StampErrorText(rule)) + path, MsgIcon::Information);
}

}  // namespace orvalink
