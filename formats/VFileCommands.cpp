// The file dialogs and the V-file commands of the windows.
#include <algorithm>
#include <cctype>
#include <system_error>

#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

constexpr char kSeparator = char(std::filesystem::path::preferred_separator);

// Where a document keeps its version word in the image.
constexpr size_t kVersionMajor5100 = 27224;
constexpr size_t kVersionMinor5100 = 27225;
constexpr size_t kVersionMajor2300 = 15;
constexpr size_t kVersionMinor2300 = 14;

std::filesystem::path WithExtension(const std::string& path, std::string_view extension) {
    std::filesystem::path p = PathFromUtf8(path);
    p.replace_extension(PathFromUtf8(extension));
    return p;
}

}  // namespace

uint16_t ImageVersionWord(std::span<const uint8_t> image, uint16_t modelCode) {
    const bool family5100 = Is5100Family(modelCode);
    const size_t major = family5100 ? kVersionMajor5100 : kVersionMajor2300;
    const size_t minor = family5100 ? kVersionMinor5100 : kVersionMinor2300;
    if (image.size() <= std::max(major, minor)) return 0;
    return uint16_t((image[major] << 8) | image[minor]);
}

bool FillDocumentHeader(uint16_t versionWord, VFileHeader& header) {
    // Documents are always written as QM-5100 files.
    uint16_t documentModel = 0;
    if (!ModelCodeOf("QM-5100", documentModel) || !FillVFileHeader(kKindVmcf, documentModel, versionWord, header))
        return false;
    SetSingleName(header, FieldText(header.modelName) + "_");
    return true;
}

VFileCommands::VFileCommands(UiServices& ui, const Clock& clock, Random& random, std::filesystem::path programFolder,
                             TTiFlashFm& flash)
    : ui_(ui), clock_(clock), random_(random), programFolder_(std::move(programFolder)), flash_(flash) {}

std::string VFileCommands::ProgramFolderText() const {
    std::string folder = Utf8FromPath(programFolder_);
    if (folder.empty() || folder.back() != kSeparator) folder += kSeparator;
    return folder;
}

std::string VFileCommands::DocumentFolder() const {
    std::string name = "mcf";
    std::error_code ec;
    bool found = std::filesystem::is_directory(programFolder_ / name, ec);
    for (std::filesystem::directory_iterator it(programFolder_, ec), end; !found && !ec && it != end;
         it.increment(ec)) {
        std::string entry = Utf8FromPath(it->path().filename());
        std::string lower = entry;
        for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (lower == name && it->is_directory(ec)) {
            name = entry;
            found = true;
        }
    }
    if (!found) std::filesystem::create_directories(programFolder_ / name, ec);
    return ProgramFolderText() + name + kSeparator;
}

std::string VFileCommands::DefaultDocumentPath() const { return DocumentFolder() + "noname.vmcf"; }

std::string VFileCommands::BlankDocumentPath() const {
    return ProgramFolderText() + "bk" + kSeparator + "default_.vmcf";
}

std::string VFileCommands::ModuleFolder() const { return ProgramFolderText() + "tmod" + kSeparator; }

std::string VFileCommands::DefaultModulePath() const { return ModuleFolder() + "noname.vmod"; }

std::string VFileCommands::ProposedDocumentName() const { return "noname_" + DateStamp(clock_.Today()); }

bool VFileCommands::PickFile(bool save, const std::string& initialPath, const std::string& proposedName,
                             FileKind kind, std::string& chosen) {
    chosen.clear();
    const FileKindInfo* info = save ? SaveFileKind(kind) : OpenFileKind(kind);
    if (!info) return false;

    FileDialogRequest request;
    request.mode = save ? FileDialogRequest::Mode::Save : FileDialogRequest::Mode::Open;
    bool folderOnly = false;
    request.initialFolder = DialogFolderOf(initialPath, folderOnly);
    request.proposedName = (!save && folderOnly) ? std::string() : proposedName;
    request.filter = std::string(info->filter);
    request.filterIndex = 1;
    request.defaultExtension = std::string(info->extension);
    if (save) {
        request.confirmOverwrite = true;
    } else {
        request.mustExist = true;
        request.multiSelect = true;
    }
    std::optional<std::string> answer = ui_.ChooseFile(request);
    if (!answer || answer->empty()) return false;
    chosen = std::move(*answer);
    return true;
}

bool VFileCommands::PickOpenFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                                 std::string& chosen) {
    return PickFile(false, initialPath, proposedName, kind, chosen);
}

bool VFileCommands::PickSaveFile(const std::string& initialPath, const std::string& proposedName, FileKind kind,
                                 std::string& chosen) {
    return PickFile(true, initialPath, proposedName, kind, chosen);
}

bool VFileCommands::OpenVFile(const std::string& path, std::vector<uint8_t>& payload, VFileHeader& header,
                              FileKind kind, bool ask, std::string* openedPath) {
    try {
        std::string file = path;
        if (ask) {
            if (file.empty()) file = ProgramFolderText();
            std::string chosen;
            if (!PickOpenFile(file, std::string(), kind, chosen)) return false;
            file = std::move(chosen);
        }
        std::vector<uint8_t> loaded;
        VFileHeader loadedHeader;
        if (!LoadVFile(PathFromUtf8(file), loaded, loadedHeader)) {
            ui_.Inform("Load V File error ! \n\nPath: " + file, MsgIcon::Error);
            return false;
        }
        // Files of the older remotes are not documents of this window.
        if (IsOlderModel(loadedHeader.modelCode)) return false;
        payload = std::move(loaded);
        header = std::move(loadedHeader);
        if (openedPath) *openedPath = std::move(file);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool VFileCommands::SaveImageVFile(const std::string& path, uint16_t modelCode, bool ask, std::string* savedPath) {
    try {
        // The older families keep their flash elsewhere; a document holds the
        // memory image only.
        if (IsOlderModel(modelCode)) return false;
        const char* notReady = Is5100Family(modelCode) ? "Ti 5k Flash not ready !" : "Ti 4k Flash not ready !";
        std::span<const uint8_t> image = flash_.Image();
        if (image.empty()) {
            ui_.Inform(notReady, MsgIcon::Error);
            return false;
        }
        // The payload is the first part of a 5100-family image.
        if (image.size() < kDocumentImageBytes) {
            ui_.Inform("Ti 5k Flash not ready !", MsgIcon::Error);
            return false;
        }
        VFileHeader header;
        if (!FillDocumentHeader(ImageVersionWord(image, modelCode), header)) {
            ui_.Inform("Please Select Model first !", MsgIcon::Information);
            return false;
        }

        std::string target;
        std::error_code ec;
        if (!ask && !path.empty() && std::filesystem::exists(PathFromUtf8(path), ec)) {
            target = path;
        } else if (!PickSaveFile(ProgramFolderText(), ProposedDocumentName(), FileKind::vmcf, target)) {
            return false;
        }
        const std::filesystem::path file = WithExtension(target, ".vmcf");
        if (!SaveVFile(file, image.first(kDocumentImageBytes), header, clock_, random_)) return false;
        if (savedPath) *savedPath = Utf8FromPath(file);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool VFileCommands::SaveModuleVFile(const std::string& path, std::span<const uint8_t> data, uint16_t kindCode,
                                    uint16_t modelCode, bool /*ask*/, std::string* savedPath) {
    try {
        if (KindExtension(kindCode).empty()) return false;
        VFileHeader header;
        if (!FillVFileHeader(kindCode, modelCode, 0, header)) {
            ui_.Inform("Please Select Model first !", MsgIcon::Information);
            return false;
        }
        SetSingleName(header, FieldText(header.modelName) + "_");

        std::string chosen;
        if (!PickSaveFile(ProgramFolderText(), path, FileKind::vmod, chosen)) return false;
        const std::string extension = "." + FieldText(header.extensionText).substr(0, 4);
        const std::filesystem::path file = WithExtension(chosen, extension);
        if (!SaveVFile(file, data, header, clock_, random_)) return false;
        if (savedPath) *savedPath = Utf8FromPath(file);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace orvalink
