// File "Compare with…": the differences between the configuration in the
// window and a document the user picks, in their own window.
#include <filesystem>

#include "app/CompareFm.h"
#include "app/MainFm.h"
#include "formats/Documents.h"
#include "formats/FileKinds.h"
#include "formats/VFileCommands.h"
#include "image/ImageCompare.h"
#include "image/Tiflashut.h"

namespace orvalink {

void TMainFm::m_fCompareItClick() {
    std::string start = currentPath_.empty() ? services_.files.DocumentFolder() : currentPath_;
    std::string chosen;
    if (!services_.files.PickOpenFile(start, std::string(), FileKind::vmcf, chosen)) return;
    // The document goes into an image of its own, of the window's model; the
    // window's image stays as it is.
    TTiFlashFm other;
    if (!other.SelectModel(services_.flash.Selector())) return;
    const DocumentOutcome outcome = LoadDocumentIntoImage(chosen, other, DocumentRule::FamilyDocument);
    if (!outcome.Ok()) {
        std::string message = outcome.message.empty() ? "Load V File error ! \n\nPath: " + chosen : outcome.message;
        if (!outcome.why.empty()) message += "\n\n" + outcome.why;
        services_.ui.Inform(message, MsgIcon::Error);
        return;
    }
    // From the document to the window's configuration: "added" is what this
    // configuration has and the document has not, and the keys are named as
    // the editors show them now.
    const ImageComparison comparison = CompareImages(other, services_.flash);
    if (compare_) compare_->close();
    const QString name = QString::fromStdString(PathFromUtf8(chosen).filename().string());
    // A window of its own, not one kept above the main window: a key opened
    // from it comes to the front in its editor. The main window closes it
    // as it closes.
    auto* window = new TCompareFm(comparison, name, [this](int slot, int key) { OpenEditorOnKey(slot, key); });
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(windowIcon());
    compare_ = window;
    window->show();
    window->raise();
    window->activateWindow();
}

bool TMainFm::OpenEditorOnKey(int slot, int key) {
    if (slot < 0 || slot >= kDeviceSlots) return false;
    TSoftLCDFm* editor = EditorForSlot(slot);
    if (editor) ShowEditorFor(slot);
    else
        editor = OpenDeviceEditor(slot, slot == kHomeSlot    ? ModeHomeDevice
                                        : slot == kMacroSlot ? ModeMacroDevice
                                                             : ModeNormal);
    if (!editor) return false;
    raise();
    activateWindow();
    return editor->SelectKeyOnPage(key, kStateSelected);
}

}  // namespace orvalink
