// The main window: the frame of the device editor windows, the device tree,
// the menus and quick buttons of the main commands, the document path and
// modified mark, and the key clipboard the editors share.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppServices.h"
#include "app/Brand.h"
#include "app/EditorWindows.h"
#include "formats/Documents.h"
#include "editors/Softlcdut.h"
#include "editors/core/KeyClipboard.h"
#include "editors/core/LayoutHost.h"
#include "image/KeyRecords.h"

class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QAction;

namespace orvalink {

class TAboutBox;

class TMainFm : public QMainWindow, public KeyClipboard, public DeviceNumberSource, public LayoutHost {
    Q_OBJECT
public:
    TMainFm(const AppServices& services, Brand brand, QWidget* parent = nullptr);
    ~TMainFm() override;

    void SetAboutBox(TAboutBox* about) { about_ = about; }
    void SetCodePicker(CodeNumberPicker* picker) { services_.codePicker = picker; }
    // The key property editor the layout editors open keys in.
    void SetKeyEditor(KeyPropertyEditor* editor, MacroStepEditor* steps) {
        keyEditor_ = editor;
        stepEditor_ = steps;
    }
    // The remote link enables Download and Upload.
    void SetRemoteLink(RemoteLink* link);
    // The communication window with its upgrade, file and test pages; Tools
    // "Update Library" shows it.
    void SetToolWindow(QWidget* tools);
    bool ToolWindowOpen() const { return toolsOpen_; }

    // Disables or enables the window's menus, buttons, tree and editors while
    // a dialog is up; the dialogs themselves stay usable. Calls pair up: the
    // window is enabled again when every disabling dialog has enabled it.
    void SetFormEnabled(bool enabled);
    bool FormEnabled() const { return formEnabled_; }
    // While a link exchange runs both link commands are disabled.
    void SetLinkBusy(bool busy);
    bool LinkBusy() const { return linkBusy_; }

    // The tree, rebuilt from the memory image.
    void RebuildTree();
    int NodeCount() const { return int(nodeRecords_.size()); }
    QTreeWidget* Tree() const { return m_MainTView; }
    QMdiArea* EditorArea() const { return mdi_; }
    QMdiSubWindow* SubWindowOf(const TSoftLCDFm* editor) const;

    bool DeviceRecordFor(int slot, KeyInfo& record) const;
    std::string DeviceNameFor(int slot) const;
    TSoftLCDFm* OpenDeviceEditor(int slot, EditorMode mode);
    // The layout editor of the tree's current device, opened or brought up;
    // null when the current entry is no device.
    TSoftLCDFm* EditorOfCurrentDevice();
    TSoftLCDFm* FindEditorByMode(int mode) const;
    TSoftLCDFm* EditorForSlot(int slot) const;
    bool ShowEditorFor(int slot);
    void CloseAllEditors();
    void StoreAllEditors();
    void ReloadAllEditors();
    // The whole memory image now holds other contents (a document opened, a
    // download, a flash file): the editors close without writing their keys
    // into it, and the tree is rebuilt.
    void ImageReplaced();
    std::vector<TSoftLCDFm*> Editors() const;

    void SetKeyClipboard(const KeyInfo& key) override;
    bool GetKeyClipboard(KeyInfo& key) const override;
    // Device numbers 1..kLastDeviceSlot that no Device key links to.
    std::vector<int> FreeDeviceNumbers() const override;
    // What the device editors tell the main window.
    void DeviceStored(int device) override;
    CodeFill FillDeviceFromCode(int device, uint16_t codeNumber) override;
    // The service buttons the settings dialog's phrase reveals.
    void ShowExtraButtons();
    bool ExtraButtonsShown() const;

    // Document state.
    const std::string& CurrentPath() const { return currentPath_; }
    void SetCurrentPath(std::string path) { currentPath_ = std::move(path); }
    uint8_t ModifiedMark() const { return modifiedMark_; }
    void SetModifiedMark(uint8_t mark);
    bool DialogFinished() const { return dialogFinished_; }
    void SetDialogFinished(bool finished) { dialogFinished_ = finished; }

    // The tree node commands act on the current node (the last one pressed).
    void SetCurrentNode(QTreeWidgetItem* node) { currentNode_ = node; }
    QTreeWidgetItem* CurrentNode() const { return currentNode_; }
    // The device entry of a tree node (null for Home, Macro and no node).
    const KeyInfo* EntryOf(QTreeWidgetItem* node) const;

    // User events.
    void m_fNewItClick();
    void m_fOpenItClick();
    void m_fSaveItClick();
    bool m_fSaveAsItClick();
    void m_fExitItClick();
    // File "Compare with…": a document against the configuration in the window.
    void m_fCompareItClick();
    // Opens the layout editor of `slot` (or brings it forward) on key `key`.
    bool OpenEditorOnKey(int slot, int key);
    void m_eUndoItClick();
    void m_eRedoItClick();
    void m_eCutItClick();
    void m_eCopyItClick();
    void m_ePasteItClick();
    void m_eDeleteItClick();
    void m_eRemoteConfigItClick();
    void m_cDownloadItClick();
    void m_cUploadItClick();
    void m_tImportItClick();
    void m_tExportItClick();
    // "Import codes…" and "Export codes…": the device's layout editor opens
    // (or comes up) and does them, so an import reaches the image on Save.
    void m_tImportCodesItClick();
    void m_tExportCodesItClick();
    void m_tLoadPreCodeItClick();
    void m_tDeleteDeviceItClick();
    void m_tUpdateLibraryItClick();
    // Tools > Record link trace...: checked asks for a file and records the
    // link conversation into it until unchecked.
    void m_tRecordTraceItClick(bool checked);
    void m_HomeTBtnClick();
    void m_MacroTBtnClick();
    void m_hWebItClick();
    void m_hAboutItClick();
    void m_MainTViewMouseDown(QTreeWidgetItem* node, Qt::MouseButton button, const QPoint& globalPos);
    void m_Open2TBtnClick();
    void m_Save2TBtnClick();
    void m_UnitTestBtnClick();

    QAction* DownloadAction() const { return downloadAct_; }
    QAction* UploadAction() const { return uploadAct_; }
    QAction* RecordTraceAction() const { return m_tRecordTraceIt; }
    // "Verify after upload": checkable, kept in the program folder's side file.
    QAction* VerifyAction() const { return verifyAct_; }
    void m_cVerifyItClick(bool on);
    QMenu* TreeMenu() const { return m_MTreePMu; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The model code the documents and model files of this program carry.
    static constexpr uint16_t kDocumentModelCode = 2000;

    void BuildMenus();
    void ToolWindowClosed();
    void BuildTreePanel();
    void AddDeviceNode(QTreeWidgetItem* parent, const KeyInfo& key, const QString& text, int depth);
    // Closing with unsaved changes: Save As, and when that is cancelled ask
    // whether to discard them. True when the window may close.
    bool MayClose();
    // A device entry of the current node that links a device 1..kLastDeviceSlot.
    const KeyInfo* CurrentDeviceEntry() const;
    bool LoadPreProgramCode(const KeyInfo& entry);
    // Fills `device` from a code number as ReplaceDeviceFromCode does;
    // `cancelEditors` closes the editors the old device is open in.
    CodeFill ReplaceDevice(int device, uint16_t codeNumber, const std::function<void()>& cancelEditors);
    bool OpenDocumentInto(const std::string& path, bool ask, std::string* opened);
    // The "Yes" to a save question before the image is replaced: the open
    // editors' changes go into the image, then the image into a document.
    void SaveEditorsAndDocument();
    // Shows an outcome's text, as every report of this window is shown.
    void Report(const DocumentOutcome& outcome);

    AppServices services_;
    Brand brand_;
    QAction* m_tRecordTraceIt = nullptr;
    const BrandTexts& texts_;
    TAboutBox* about_ = nullptr;

    std::vector<KeyInfo> nodeRecords_;
    uint8_t listState_ = 10;
    QTreeWidgetItem* currentNode_ = nullptr;
    uint8_t modifiedMark_ = kMarkUnchanged;
    bool settingsClosed_ = false;
    KeyInfo clipboard_;
    bool clipboardFilled_ = false;
    bool dialogFinished_ = false;
    bool formEnabled_ = true;
    int disableCount_ = 0;
    bool linkBusy_ = false;
    QWidget* tools_ = nullptr;
    QAction* updateLibraryAct_ = nullptr;
    bool toolsOpen_ = false;
    size_t imageHashBeforeTools_ = 0;
    std::string currentPath_;

    QMdiArea* mdi_ = nullptr;
    std::unique_ptr<EditorWindows> editors_;
    QDockWidget* m_MTreePal = nullptr;
    QTreeWidget* m_MainTView = nullptr;
    QMenu* m_MTreePMu = nullptr;
    QPointer<QWidget> compare_;  // the compare window while it is open
    QLabel* statusPanels_[4] = {};
    QAction* downloadAct_ = nullptr;
    QAction* uploadAct_ = nullptr;
    QAction* verifyAct_ = nullptr;
    QAction* m_Open2TBtn = nullptr;
    QAction* m_Save2TBtn = nullptr;
    QAction* m_UnitTestBtn = nullptr;
    KeyPropertyEditor* keyEditor_ = nullptr;
    MacroStepEditor* stepEditor_ = nullptr;
    QPixmap treePictures_[4];
};

}  // namespace orvalink
