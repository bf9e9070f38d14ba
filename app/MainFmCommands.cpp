// The main window's link and tree menu commands: the communication window,
// Download and Upload, and importing, exporting, pre-programming and deleting
// a device of the tree.
#include <algorithm>
#include <functional>
#include <string_view>

#include <QScreen>

#include "app/MainFm.h"
#include "editors/core/DeviceCommands.h"
#include "formats/Flashut.h"
#include "formats/SideFiles.h"
#include "image/DeviceBundle.h"
#include "image/Tiflashut.h"
#include "platform/UiServices.h"

namespace orvalink {

// ---------------------------------------------------------------------------
// Link commands

void TMainFm::SetToolWindow(QWidget* tools) {
    if (tools_) tools_->removeEventFilter(this);
    tools_ = tools;
    if (tools_) tools_->installEventFilter(this);
    updateLibraryAct_->setEnabled(tools_ != nullptr);
}

namespace {
size_t HashOfImage(const TTiFlashFm& flash) {
    std::span<const uint8_t> bytes = flash.Image();
    return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}
}  // namespace

// The upgrade page may load a flash file or a backup into the memory image,
// so the open editors are stored and closed first, as before a download, and
// the tree is rebuilt when the window is closed and the image has changed.
void TMainFm::m_tUpdateLibraryItClick() {
    if (!tools_ || toolsOpen_ || linkBusy_) return;
    std::string path = currentPath_;
    path.erase(0, path.find_first_not_of(" \t"));
    path.erase(path.find_last_not_of(" \t") + 1);
    if (path.empty()) path = "NoneName.vmcf";
    // Unsaved work is offered a save first; an unchanged document is not asked about.
    const auto editors = Editors();
    const bool editorChanged =
        std::any_of(editors.begin(), editors.end(), [](TSoftLCDFm* e) { return e->ModifiedMark() == kMarkChanged; });
    if (modifiedMark_ == kMarkChanged || editorChanged) {
        MsgAnswer a = services_.ui.ShowMessage(
            {"\n Save Changes to " + path + " ?", {}, MsgIcon::Warning, MsgButtons::YesNo});
        if (a == MsgAnswer::Yes) SaveEditorsAndDocument();
    }
    CloseAllEditors();
    imageHashBeforeTools_ = HashOfImage(services_.flash);
    toolsOpen_ = true;
    SetLinkBusy(true);
    SetFormEnabled(false);
    tools_->setWindowModality(Qt::ApplicationModal);
    // Over the main window, wholly on its screen.
    QRect place = tools_->frameGeometry();
    place.moveCenter(frameGeometry().center());
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        place.moveLeft(std::clamp(place.left(), room.left(), std::max(room.left(), room.right() - place.width())));
        place.moveTop(std::clamp(place.top(), room.top(), std::max(room.top(), room.bottom() - place.height())));
    }
    tools_->move(place.topLeft());
    tools_->show();
    tools_->raise();
    tools_->activateWindow();
}

void TMainFm::ToolWindowClosed() {
    toolsOpen_ = false;
    SetFormEnabled(true);
    SetLinkBusy(false);
    if (HashOfImage(services_.flash) != imageHashBeforeTools_) {
        ImageReplaced();
        SetModifiedMark(kMarkChanged);
    }
}

void TMainFm::m_cDownloadItClick() {
    // One link exchange at a time: both link commands stay disabled until
    // this one has ended.
    if (!services_.link || linkBusy_) return;
    SetLinkBusy(true);
    std::string path = currentPath_;
    path.erase(0, path.find_first_not_of(" \t"));
    path.erase(path.find_last_not_of(" \t") + 1);
    if (path.empty()) path = "NoneName.vmcf";
    MsgAnswer a = services_.ui.ShowMessage(
        {"\n Save Changes to " + path + " ?", {}, MsgIcon::Warning, MsgButtons::YesNo});
    if (a == MsgAnswer::Yes) SaveEditorsAndDocument();
    services_.link->SetUserAbort(false);
    const TransferOutcome outcome = services_.link->DownloadFromRemote();
    if (outcome.Ok()) {
        services_.link->CloseLinkPort();
        ImageReplaced();
        SetModifiedMark(kMarkChanged);
    }
    ShowReports(services_.ui, DownloadReports(outcome, false));
    SetLinkBusy(false);
}

void TMainFm::m_cUploadItClick() {
    if (!services_.link || linkBusy_) return;
    SetLinkBusy(true);
    // A verify that finds blocks other than sent offers to upload again.
    for (;;) {
        services_.link->SetUserAbort(false);
        const bool verify = verifyAct_ && verifyAct_->isChecked();
        const UploadOutcome outcome = services_.link->UploadAndVerify(20, verify);
        if (outcome.upload.Ok()) services_.link->CloseLinkPort();
        const UploadWords words = VerifiedUploadReports(outcome, services_.flash);
        ShowReports(services_.ui, words.reports);
        if (words.again.empty()) break;
        if (services_.ui.ShowMessage({words.again, {}, MsgIcon::Warning, MsgButtons::YesNo}) != MsgAnswer::Yes) break;
    }
    SetLinkBusy(false);
}

void TMainFm::m_cVerifyItClick(bool on) {
    if (services_.link) services_.link->SetVerifyWrites(on);
    if (!WriteVerifyAfterUpload(services_.programFolder, on))
        services_.ui.Inform("The choice \"Verify after upload\" could not be saved in the program folder; "
                            "it holds until the program ends.",
                            MsgIcon::Warning);
}

// ---------------------------------------------------------------------------
// Tree menu commands

const KeyInfo* TMainFm::CurrentDeviceEntry() const {
    const KeyInfo* entry = EntryOf(currentNode_);
    if (!entry || !IsDeviceNumber(entry->link)) return nullptr;
    return entry;
}

void TMainFm::m_tImportItClick() {
    MsgAnswer a = services_.ui.ShowMessage({"Would you want to delete all of key and child divice ?", {},
                                            MsgIcon::Information, MsgButtons::YesCancel});
    if (a != MsgAnswer::Yes) return;
    const KeyInfo* entry = EntryOf(currentNode_);
    if (!entry) return;
    KeyInfo device = CopyKeyInfo(*entry);
    const bool linksDevice = IsDeviceNumber(device.link);
    if (linksDevice) editors_->CancelEditorOf(device.link);
    std::vector<uint8_t> payload;
    VFileHeader header;
    const DocumentOutcome opened =
        services_.files.OpenVFile(services_.files.ModuleFolder(), payload, header, FileKind::vmod, true);
    Report(opened);
    if (!opened.Ok()) return;
    if (payload.size() > kMaxModelFileBytes) return;
    DeviceBundle bundle;
    if (!UnpackDevice(payload, bundle)) {
        services_.ui.Inform("Load V File error ! \n\nPath: " + services_.files.ModuleFolder(), MsgIcon::Error);
        return;
    }
    if (!linksDevice) return;
    DeleteDeviceTree(services_.flash, device.link);
    PasteDeviceIn(services_.flash, bundle, device.link);
    RebuildTree();
    SetModifiedMark(kMarkChanged);
}

void TMainFm::m_tExportItClick() {
    const KeyInfo* entry = CurrentDeviceEntry();
    if (!entry) return;
    DeviceBundle bundle;
    std::vector<uint8_t> flat;
    if (!CopyDeviceOut(services_.flash, entry->link, *entry, bundle) || !PackDevice(bundle, flat)) {
        services_.ui.Inform("\n This device holds more keys and codes than a model file can carry ! \n"
                            " Nothing has been exported.",
                            MsgIcon::Warning);
        return;
    }
    Report(services_.files.SaveModuleVFile(services_.files.DefaultModulePath(), flat, kKindVmod, kDocumentModelCode));
}

void TMainFm::m_tImportCodesItClick() {
    if (TSoftLCDFm* editor = EditorOfCurrentDevice()) editor->m_ImportCodesItClick();
}

void TMainFm::m_tExportCodesItClick() {
    if (TSoftLCDFm* editor = EditorOfCurrentDevice()) editor->m_ExportCodesItClick();
}

TSoftLCDFm* TMainFm::EditorOfCurrentDevice() {
    const KeyInfo* entry = CurrentDeviceEntry();
    if (!entry || entry->keyType != kKeyDevice) return nullptr;
    const int slot = entry->link;
    if (!ShowEditorFor(slot)) OpenDeviceEditor(slot, ModeNormal);
    return EditorForSlot(slot);
}

void TMainFm::m_tLoadPreCodeItClick() {
    MsgAnswer a = services_.ui.ShowMessage({"Would you want to delete all of key and child divice ?", {},
                                            MsgIcon::Information, MsgButtons::YesCancel});
    if (a != MsgAnswer::Yes) return;
    const KeyInfo* entry = EntryOf(currentNode_);
    bool ok = entry && entry->keyType == kKeyDevice && IsDeviceNumber(entry->link) &&
              LoadPreProgramCode(CopyKeyInfo(*entry));
    services_.ui.Inform(ok ? "Load pre-program code ok !" : "Load pre-program code error !", MsgIcon::Information);
}

bool TMainFm::LoadPreProgramCode(const KeyInfo& entry) {
    if (!services_.codePicker) return false;
    uint16_t codeNumber = 0;
    if (!services_.codePicker->PickCodeNumber(codeNumber)) return false;
    const int device = entry.link;
    return ReplaceDevice(device, codeNumber, [this, device] { editors_->CancelEditorOf(device); }) == CodeFill::Filled;
}

void TMainFm::m_tDeleteDeviceItClick() {
    const KeyInfo* found = CurrentDeviceEntry();
    if (!found || !IsDeletableDeviceEntry(*found)) return;
    // Closing the editors rebuilds the tree the entry lies in.
    KeyInfo entry = CopyKeyInfo(*found);
    CloseAllEditors();
    if (DeleteDeviceEntry(services_.flash, entry)) {
        RebuildTree();
        SetModifiedMark(kMarkChanged);
    }
}

}  // namespace orvalink
