// The file dialogs and the V-file commands of the windows.
#include <algorithm>
#include <cctype>
#include <system_error>

#include "formats/VFileCommands.h"

#include "formats/VFiles.h"
#include "formats/ModelCatalogue.h"
#include "image/Tiflashut.h"
#include "platform/Clock.h"
#include "platform/Random.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

constexpr char kSeparator = char(std::filesystem::path::preferred_separator);

std::filesystem::path WithExtension(const std::string& path, std::string_view extension) {
    std::filesystem::path p = PathFromUtf8(path);
    p.replace_extension(PathFromUtf8(extension));
    return p;
}

}  // namespace

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

DocumentOutcome VFileCommands::OpenVFile(const std::string& path, std::vector<uint8_t>& payload, VFileHeader& header,
                                         FileKind kind, bool ask) {
    DocumentOutcome outcome;
    try {
        std::string file = path;
        if (ask) {
            if (file.empty()) file = ProgramFolderText();
            std::string chosen;
            if (!PickOpenFile(file, std::string(), kind, chosen)) return DocumentOutcome::Of(DocumentResult::Cancelled);
            file = std::move(chosen);
        }
        outcome.path = file;
        std::vector<uint8_t> loaded;
        VFileHeader loadedHeader;
        if (!LoadVFile(PathFromUtf8(file), loaded, loadedHeader, &outcome.why)) {
            outcome.kind = DocumentResult::Unreadable;
            outcome.message = "Load V File error ! \n\nPath: " + file;
            outcome.icon = MsgIcon::Error;
            return outcome;
        }
        // Files of the older remotes are not documents of this window.
        if (IsOlderModel(loadedHeader.modelCode)) {
            outcome.kind = DocumentResult::OlderModel;
            return outcome;
        }
        payload = std::move(loaded);
        header = std::move(loadedHeader);
        return outcome;
    } catch (const std::exception&) {
        outcome.kind = DocumentResult::Unreadable;
        return outcome;
    }
}

DocumentOutcome VFileCommands::SaveImageVFile(const std::string& path, uint16_t modelCode, bool ask) {
    try {
        VFileHeader header;
        DocumentOutcome checked = DocumentHeaderForImage(flash_, modelCode, header);
        if (!checked.Ok()) return checked;
        std::string target;
        std::error_code ec;
        if (!ask && !path.empty() && std::filesystem::exists(PathFromUtf8(path), ec)) {
            target = path;
        } else if (!PickSaveFile(ProgramFolderText(), ProposedDocumentName(), FileKind::vmcf, target)) {
            return DocumentOutcome::Of(DocumentResult::Cancelled);
        }
        return WriteImageDocument(flash_, header, Utf8FromPath(WithExtension(target, ".vmcf")), clock_, random_);
    } catch (const std::exception&) {
        return DocumentOutcome::Of(DocumentResult::WriteFailed);
    }
}

DocumentOutcome VFileCommands::SaveModuleVFile(const std::string& path, std::span<const uint8_t> data,
                                               uint16_t kindCode, uint16_t modelCode) {
    try {
        if (KindExtension(kindCode).empty()) return DocumentOutcome::Of(DocumentResult::Refused);
        VFileHeader header;
        if (!FillVFileHeader(kindCode, modelCode, 0, header))
            return DocumentOutcome::Of(DocumentResult::NoModel, "Please Select Model first !", MsgIcon::Information);
        SetSingleName(header, FieldText(header.modelName) + "_");

        std::string chosen;
        if (!PickSaveFile(ProgramFolderText(), path, FileKind::vmod, chosen)) return DocumentOutcome::Of(DocumentResult::Cancelled);
        const std::string extension = "." + FieldText(header.extensionText).substr(0, 4);
        const std::string file = Utf8FromPath(WithExtension(chosen, extension));
        DocumentOutcome outcome{DocumentResult::Ok, {}, MsgIcon::None, {}, file};
        if (!SaveVFile(PathFromUtf8(file), data, header, clock_, random_, &outcome.why)) {
            outcome.kind = DocumentResult::WriteFailed;
            outcome.message = "Make V File Error ! \n\nPath: " + file;
            outcome.icon = MsgIcon::Error;
        }
        return outcome;
    } catch (const std::exception&) {
        return DocumentOutcome::Of(DocumentResult::WriteFailed);
    }
}

}  // namespace orvalink
