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

// File errors ask OK or Cancel; either answer goes on the same way.
void AddFileError(ServiceOutcome& outcome, const PlainFileOutcome& file) {
    if (file.message.empty()) return;
    outcome.notices.push_back(MessageRequest{file.message, file.caption.empty() ? kFileErrorCaption : file.caption,
                                             MsgIcon::Error, MsgButtons::OkCancel});
}

void AddInform(ServiceOutcome& outcome, std::string text, MsgIcon icon) {
    outcome.notices.push_back(MessageRequest{std::move(text), {}, icon, MsgButtons::Ok});
}

ServiceOutcome Outcome(ServiceResult kind, std::string text = {}, MsgIcon icon = MsgIcon::None) {
    ServiceOutcome outcome;
    outcome.kind = kind;
    if (!text.empty()) AddInform(outcome, std::move(text), icon);
    return outcome;
}

ServiceResult ResultOfFile(PlainFileResult kind) {
    switch (kind) {
        case PlainFileResult::Ok: return ServiceResult::Ok;
        case PlainFileResult::Missing:
        case PlainFileResult::ReadFailed: return ServiceResult::ReadFailed;
        case PlainFileResult::WriteFailed: return ServiceResult::WriteFailed;
        case PlainFileResult::TooLarge:
        case PlainFileResult::ModuleTooLarge: return ServiceResult::TooLong;
        default: return ServiceResult::Refused;
    }
}

// The file layer's outcome as the command's: its kind, its box, its reason and path.
ServiceOutcome FromFile(const PlainFileOutcome& file) {
    ServiceOutcome outcome = Outcome(ResultOfFile(file.kind));
    AddFileError(outcome, file);
    outcome.why = file.why;
    outcome.path = Utf8FromPath(file.path);
    return outcome;
}

}  // namespace

std::vector<std::string> ServiceOutcome::Texts() const {
    std::vector<std::string> texts;
    for (const MessageRequest& notice : notices) texts.push_back(notice.text);
    return texts;
}

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

ServiceOutcome ServiceFileCommands::OpenAnyFile(const std::string& initialPath, std::vector<uint8_t>& buffer,
                                                int& kind) {
    if (kind < 0 || kind > kAnyIrcc) return Outcome(ServiceResult::Refused);
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
    if (!answer || answer->empty()) return Outcome(ServiceResult::Cancelled);
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
    ServiceOutcome outcome = FromFile(read);
    outcome.path = *answer;
    if (!outcome.Ok()) return outcome;
    buffer = std::move(data);
    kind = result;
    return outcome;
}

ServiceOutcome ServiceFileCommands::SaveAnyFile(const std::string& path, std::span<const uint8_t> data, int kind,
                                                bool ask) {
    if (kind < 0 || kind > kAnySdc) return Outcome(ServiceResult::Refused);
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
        if (!answer || answer->empty()) return Outcome(ServiceResult::Cancelled);
        target = *answer;
    }
    if (target.empty()) return Outcome(ServiceResult::Refused);
    if (kind <= kAnySsdc)
        return FromFile(WriteSecurityFile(PathFromUtf8(target), data, uint8_t(kind), older_.stamp, clock_, random_));
    return FromFile(WritePlainFile(PathFromUtf8(target), data));
}

ServiceOutcome ServiceFileCommands::UnSecClick() {
    std::vector<uint8_t> data;
    int kind = kAnySmcf;
    ServiceOutcome outcome = OpenAnyFile(ProgramFolderText(), data, kind);
    if (!outcome.Ok()) return outcome;
    // A plain file chosen here is read and nothing else happens.
    if (kind > kAnySsdc) return Outcome(ServiceResult::Refused);
    return FromFile(WritePlainForm(PathFromUtf8(outcome.path), data, uint8_t(kind), older_.flash));
}

ServiceOutcome ServiceFileCommands::SetSMcfClick() {
    std::vector<uint8_t> data;
    int kind = kAnyMcf;
    const ServiceOutcome outcome = OpenAnyFile(ProgramFolderText(), data, kind);
    if (!outcome.Ok()) return outcome;
    uint8_t securityKind = 0;
    if (!SecurityKindOfPlain(kind, securityKind)) return Outcome(ServiceResult::Refused);
    return SaveAnyFile(outcome.path, data, securityKind, false);
}

ServiceOutcome ServiceFileCommands::SetSModClick() {
    std::vector<uint8_t> data;
    int kind = kAnyMod;
    const ServiceOutcome outcome = OpenAnyFile(ProgramFolderText(), data, kind);
    if (!outcome.Ok()) return outcome;
    uint8_t securityKind = 0;
    if (!SecurityKindOfPlain(kind, securityKind)) return Outcome(ServiceResult::Refused);
    return SaveAnyFile(outcome.path, data, securityKind, false);
}

ServiceOutcome ServiceFileCommands::SaveXFile(const std::string& folder, const std::string& name,
                                              std::span<const uint8_t> data, uint8_t kind, bool ask, int xModelIndex,
                                              uint16_t versionWord) {
    std::string target = folder + name;
    XFileHeader header;
    ServiceOutcome outcome;
    if (kind > kXirc || !XHeaderForModel(xModelIndex, versionWord, header)) {
        outcome.kind = ServiceResult::Refused;
    } else if (data.size() + kXHeaderBytes >= kXFileLimit) {
        // Data this long make no readable X file; no dialog is shown for them.
        outcome.kind = ServiceResult::TooLong;
        AddFileError(outcome, PlainFileOutcome{PlainFileResult::TooLarge, kXTooLargeText, {}, {}, {}, {}});
    } else {
        if (ask) {
            FileDialogRequest request;
            request.mode = FileDialogRequest::Mode::Save;
            std::error_code ec;
            request.initialFolder = !folder.empty() && fs::is_directory(PathFromUtf8(folder), ec)
                                        ? folder
                                        : ProgramFolderText();
            request.proposedName = folder + name;
            request.filter = kXSaveFilter;
            request.filterIndex = kind + 1;
            request.defaultExtension = XExtension(kind);
            request.confirmOverwrite = true;
            const std::optional<std::string> answer = ui_.ChooseFile(request);
            if (!answer || answer->empty()) return Outcome(ServiceResult::Cancelled);
            target = *answer;
        }
        outcome = FromFile(WriteXFile(PathFromUtf8(target), data, header, kind, clock_, random_));
    }
    if (!outcome.Ok()) AddInform(outcome, "Save X Files Error ! \n" + folder + name, MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::OpenBinFile(const std::string& folder, const std::string& name,
                                                std::vector<uint8_t>& buffer, uint64_t maxBytes) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.initialFolder = folder;
    request.proposedName = name;
    request.filter = kBinOpenFilter;
    request.filterIndex = 1;
    request.defaultExtension = "bin";
    request.mustExist = true;
    const std::optional<std::string> answer = ui_.ChooseFile(request);
    if (!answer || answer->empty()) return Outcome(ServiceResult::Cancelled);
    std::vector<uint8_t> bytes;
    ServiceOutcome outcome = FromFile(ReadWholeFile(PathFromUtf8(*answer), bytes, maxBytes));
    outcome.path = *answer;
    if (!outcome.Ok()) {
        AddInform(outcome, "Load Files Error ! \n " + *answer, MsgIcon::Information);
        return outcome;
    }
    buffer = std::move(bytes);
    return outcome;
}

ServiceOutcome ServiceFileCommands::LoadBinClick() {
    std::fill(mcu_.begin(), mcu_.end(), 0xFF);
    std::vector<uint8_t> bytes;
    ServiceOutcome outcome = OpenBinFile(ProgramFolderText(), "", bytes, kMcuBufferBytes);
    if (!outcome.Ok()) {
        AddInform(outcome, "Load Bin File Error !", MsgIcon::Information);
        return outcome;
    }
    std::copy(bytes.begin(), bytes.end(), mcu_.begin());
    mcuLoaded_ = true;
    mcuLength_ = bytes.size();
    mcuPath_ = outcome.path;
    AddInform(outcome, "Load Bin File Ok !", MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::LoadMcfClick(const std::string& flashModel) {
    uint16_t code = 0;
    if (!ModelCodeOf(flashModel, code)) return Outcome(ServiceResult::NoModel, kSelectModelText, MsgIcon::Information);
    if (code >= 1000) image_.SelectModel(code >= 1200 ? 5100 : 2300);
    if (code >= 1000 && !image_.ImageData().second)
        return Outcome(ServiceResult::NotReady, kNoImageYetText, MsgIcon::Error);
    const uint64_t room = code >= 1000 ? image_.ImageSize() : kOlderFlashBytes;
    std::vector<uint8_t> bytes;
    ServiceOutcome outcome = OpenBinFile(ProgramFolderText(), "", bytes, room);
    if (!outcome.Ok()) {
        AddInform(outcome, "Load MCF File Error !", MsgIcon::Information);
        return outcome;
    }
    if (code < 1000) {
        std::fill(older_.flash.bytes.begin(), older_.flash.bytes.end(), 0xFF);
        std::copy(bytes.begin(), bytes.end(), older_.flash.bytes.begin());
    } else {
        std::copy(bytes.begin(), bytes.end(), image_.Image().begin());
    }
    flashBuffer_ = std::move(bytes);
    flashPath_ = outcome.path;
    flashModel_ = code;
    AddInform(outcome, "Load MCF File Ok !", MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::ModelAndVersion(const std::string& model, const std::string& version,
                                                    uint16_t& code, uint16_t& word) const {
    if (!ModelCodeOf(model, code)) return Outcome(ServiceResult::NoModel, kSelectModelText, MsgIcon::Information);
    if (ParseTypedVersion(version, word) != TypedVersion::Ok)
        return Outcome(ServiceResult::BadVersion, kBadVersionText, MsgIcon::Error);
    return Outcome(ServiceResult::Ok);
}

ServiceOutcome ServiceFileCommands::MakeXmcfClick(const std::string& flashModel, int listPosition,
                                                  const std::string& version) {
    if (!FlashLoaded()) return Outcome(ServiceResult::NotReady);
    uint16_t code = 0, word = 0;
    if (ServiceOutcome checked = ModelAndVersion(flashModel, version, code, word); !checked.Ok()) return checked;
    std::vector<uint8_t> data(XmcfDataBytes(code), 0xFF);
    std::copy_n(flashBuffer_.begin(), std::min(flashBuffer_.size(), data.size()), data.begin());
    const std::string folder = FolderOf(flashPath_);
    const std::string path = XFileName(folder, flashModel, word, clock_.Today(), ".xmcf");
    ServiceOutcome outcome = SaveXFile(folder, path.substr(folder.size()), data, kXmcf, true,
                                       XModelIndexOfListPosition(listPosition), word);
    AddInform(outcome, (outcome.Ok() ? "Make XFile Ok ! \n  Path: " + outcome.path
                                     : "Make XFile Error ! \n  Path: " + path),
              MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::MakeXmcuClick(const std::string& mcuModel, int listPosition,
                                                  const std::string& version) {
    if (!mcuLoaded_) return Outcome(ServiceResult::NotReady);
    uint16_t code = 0, word = 0;
    if (ServiceOutcome checked = ModelAndVersion(mcuModel, version, code, word); !checked.Ok()) return checked;
    const std::span<const uint8_t> data(mcu_.data(), XmcuDataBytes(code));
    const std::string folder = FolderOf(mcuPath_);
    const std::string path = XFileName(folder, mcuModel, word, clock_.Today(), ".xmcu");
    ServiceOutcome outcome = SaveXFile(folder, path.substr(folder.size()), data, kXmcu, true,
                                       XModelIndexOfListPosition(listPosition), word);
    AddInform(outcome, (outcome.Ok() ? "Make XFile Ok ! \n  Path: " + outcome.path
                                     : "Make XFile Error ! \n  Path: " + path),
              MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::VersionDoubleClick(const std::string& version) {
    uint16_t word = 0;
    if (ParseTypedVersion(version, word) != TypedVersion::Ok) return Outcome(ServiceResult::Refused);
    return Outcome(ServiceResult::Ok, VersionHiLoText(word), MsgIcon::Information);
}

ServiceOutcome ServiceFileCommands::LoadVcSBinClick(bool image) {
    std::string chosen;
    if (!dialogs_.PickOpenFile(ProgramFolderText(), "noname.sbin", FileKind::sbin, chosen))
        return Outcome(ServiceResult::Cancelled);
    if (image && !image_.SelectModel(kSelector5120)) return Outcome(ServiceResult::Refused);
    const uint64_t most = image ? kSBinHeaderBytes + image_.ImageSize() : kSBinLoadBytes;
    SBinHeader header;
    std::vector<uint8_t> data;
    ServiceOutcome outcome;
    outcome.path = chosen;
    switch (ReadSBinFile(PathFromUtf8(chosen), most, header, data, &outcome.why)) {
        case SBinLoad::Ok: break;
        case SBinLoad::ReadFailed:
            outcome.kind = ServiceResult::ReadFailed;
            AddFileError(outcome, PlainFileOutcome{PlainFileResult::ReadFailed, kCantOpenFilesText, {}, {}, {}, {}});
            return outcome;
        case SBinLoad::TooLong:
            outcome.kind = ServiceResult::TooLong;
            AddInform(outcome, kSBinTooLongText, MsgIcon::Error);
            return outcome;
        case SBinLoad::Corrupt:
            outcome.kind = ServiceResult::Corrupt;
            AddInform(outcome, SBinCorruptText(chosen), MsgIcon::Error);
            return outcome;
    }
    if (image) {
        const std::span<uint8_t> target = image_.Image();
        if (data.size() > target.size()) {
            outcome.kind = ServiceResult::TooLong;
            AddInform(outcome, kSBinTooBigForImageText, MsgIcon::Error);
            return outcome;
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
    AddInform(outcome, "Load SBin File Ok !", MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::MakeVcSBinClick(bool image, const std::string& vcNumber) {
    std::span<const uint8_t> data;
    if (image) {
        if (!image_.ImageData().second)
            return Outcome(ServiceResult::NotReady, "Please load VC-30 *.MCF first !", MsgIcon::Error);
        data = image_.Image();
    } else {
        if (!mcuLoaded_) return Outcome(ServiceResult::NotReady, "Please load *.BIN first !", MsgIcon::Error);
        data = std::span<const uint8_t>(mcu_.data(), mcuLength_);
    }
    unsigned long vc = 0;
    const std::string digits = vcNumber.substr(0, vcNumber.find_last_not_of(' ') + 1);
    if (!digits.empty()) {
        if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
            (vc = std::stoul(digits)) > 0xFFFF)
            return Outcome(ServiceResult::BadVcNumber, "The VC number is not a number from 0 to 65535.\nNothing was made.",
                           MsgIcon::Error);
    }
    const uint16_t source = image ? kSBinFromImage : kSBinFromMcu;
    // A file its loader would refuse is not made.
    if (kSBinHeaderBytes + data.size() > SBinFileLimit(source))
        return Outcome(ServiceResult::TooLong, kSBinTooLongToMakeText, MsgIcon::Error);
    std::string chosen;
    if (!dialogs_.PickSaveFile(ProgramFolderText(), "noname.sbin", FileKind::sbin, chosen))
        return Outcome(ServiceResult::Cancelled);
    const std::vector<uint8_t> file = BuildSBinBytes(data, source, uint16_t(vc), clock_.Today());
    ServiceOutcome outcome = FromFile(WriteWholeFile(PathFromUtf8(chosen), file));
    if (outcome.Ok()) AddInform(outcome, "Save SBin File Ok !", MsgIcon::Information);
    return outcome;
}

ServiceOutcome ServiceFileCommands::KdtToTxtClick() {
    const std::span<const uint8_t> image = image_.Image();
    const std::string text = DeviceTablesText(image.first(std::min(image.size(), kKdtTables * kKdtTableBytes)));
    return FromFile(WriteWholeFile(
        programFolder_ / "device.txt", std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
}

ServiceOutcome ServiceFileCommands::WriteClick(const std::string& flashModel, const std::string& codeVersion,
                                               const std::string& flashVersion) {
    uint16_t code = 0;
    if (!ModelCodeOf(flashModel, code)) return Outcome(ServiceResult::NoModel, kSelectModelText, MsgIcon::Information);
    uint16_t codeWord = 0, flashWord = 0;
    if (ParseTypedVersion(codeVersion, codeWord) != TypedVersion::Ok ||
        ParseTypedVersion(flashVersion, flashWord) != TypedVersion::Ok)
        return Outcome(ServiceResult::Refused);
    if (!FlashLoaded()) return Outcome(ServiceResult::NotReady);
    const StampRule rule = StampRuleOf(code);
    if (rule == StampRule::None) return Outcome(ServiceResult::Refused);
    PlainFileOutcome out;
    if (rule == StampRule::Older) {
        std::fill(older_.flash.bytes.begin(), older_.flash.bytes.end(), 0xFF);
        std::copy_n(flashBuffer_.begin(), std::min(flashBuffer_.size(), kOlderFlashBytes), older_.flash.bytes.begin());
        out = WriteMcf(PathFromUtf8(flashPath_), older_.flash);
    } else {
        if (!image_.ImageData().second) return Outcome(ServiceResult::NotReady);
        StampVersions(rule, codeWord, flashWord, image_.Image());
        StampVersions(rule, codeWord, flashWord, flashBuffer_);
        out = SaveImageFile(PathFromUtf8(flashPath_), image_);
    }
    ServiceOutcome outcome = FromFile(out);
    if (outcome.path.empty()) outcome.path = flashPath_;
    AddInform(outcome, std::string(outcome.Ok() ? StampOkText(rule) : StampErrorText(rule)) + outcome.path,
              MsgIcon::Information);
    return outcome;
}

}  // namespace orvalink
