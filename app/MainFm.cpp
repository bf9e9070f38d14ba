#include "app/MainFm.h"

#include <algorithm>
#include <functional>

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/AboutBox.h"
#include "app/QuickPictures.h"
#include "editors/Configut.h"
#include "editors/core/DeviceCommands.h"
#include "formats/Flashut.h"
#include "formats/PlainFiles.h"
#include "formats/SideFiles.h"
#include "image/qt/TreePictures.h"
#include "image/DeviceTree.h"
#include "image/Settings.h"
#include "image/Tiflashut.h"
#include "platform/UiServices.h"
#include "platform/qt/PopupMenuAccessibility.h"

namespace orvalink {

namespace {

constexpr int kPictureHome = 0;
constexpr int kPictureMacro = 1;
constexpr int kPictureDevice = 3;
constexpr int kEntryRole = Qt::UserRole + 1;  // index into the node record list
const char kHomeText[] = "Home ";
const char kMacroText[] = "Macro ";

QPixmap TreePictureAt(int index) {
    return TreePixmap(index == kPictureHome    ? TreePicture::Home
                      : index == kPictureMacro ? TreePicture::Macro
                                               : TreePicture::Device);
}



}  // namespace

TMainFm::TMainFm(const AppServices& services, Brand brand, QWidget* parent)
    : QMainWindow(parent), services_(services), brand_(brand), texts_(TextsOf(brand)) {
    for (int i = 0; i < 4; ++i) treePictures_[i] = TreePictureAt(i);
    mdi_ = new QMdiArea(this);
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    editors_ = std::make_unique<EditorWindows>(*this, *mdi_);
    BuildTreePanel();
    BuildMenus();

    static const int kPanelWidths[4] = {300, 50, 50, 50};
    for (int i = 0; i < 4; ++i) {
        statusPanels_[i] = new QLabel(this);
        statusPanels_[i]->setMinimumWidth(kPanelWidths[i]);
        statusPanels_[i]->setFrameShape(QFrame::StyledPanel);
        statusBar()->addWidget(statusPanels_[i], i == 0 ? 0 : 0);
    }
    statusPanels_[0]->setText(QStringLiteral("List Count = 0"));

    setWindowTitle(QString::fromUtf8(texts_.windowTitle));
    resize(900, 640);
    RebuildTree();
}

TMainFm::~TMainFm() = default;

void TMainFm::SetRemoteLink(RemoteLink* link) {
    services_.link = link;
    if (link && verifyAct_) link->SetVerifyWrites(verifyAct_->isChecked());
    SetLinkBusy(linkBusy_);
    if (m_tRecordTraceIt) m_tRecordTraceIt->setEnabled(link != nullptr);
}

void TMainFm::BuildTreePanel() {
    m_MTreePal = new QDockWidget(QStringLiteral("Main View"), this);
    m_MTreePal->setObjectName(QStringLiteral("m_TreePal"));
    m_MTreePal->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    m_MainTView = new QTreeWidget(m_MTreePal);
    m_MainTView->setObjectName(QStringLiteral("m_MainTView"));
    m_MainTView->setHeaderHidden(true);
    m_MainTView->setIndentation(19);
    m_MainTView->setFont(QFont(QStringLiteral("Arial")));
    m_MainTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_MainTView->viewport()->installEventFilter(this);
    m_MTreePal->setWidget(m_MainTView);
    m_MTreePal->setMinimumWidth(200);
    addDockWidget(Qt::LeftDockWidgetArea, m_MTreePal);
}

void TMainFm::BuildMenus() {
    auto* fileMenu = new QMenu(QStringLiteral("&File"), this);
    QAction* newAct = fileMenu->addAction(QStringLiteral("New"), this, [this] { m_fNewItClick(); });
    QAction* openAct = fileMenu->addAction(QStringLiteral("Open"), this, [this] { m_fOpenItClick(); });
    QAction* saveAct = fileMenu->addAction(QStringLiteral("Save"), this, [this] { m_fSaveItClick(); });
    QAction* saveAsAct = fileMenu->addAction(QStringLiteral("Save As"), this, [this] { m_fSaveAsItClick(); });
    fileMenu->addAction(QString::fromUtf8("Compare with\u2026"), this, [this] { m_fCompareItClick(); });
    fileMenu->addSeparator();
    QAction* exitAct = fileMenu->addAction(QStringLiteral("Exit"), this, [this] { m_fExitItClick(); });
    newAct->setShortcut(QKeySequence::New);
    openAct->setShortcut(QKeySequence::Open);
    saveAct->setShortcut(QKeySequence::Save);
    saveAsAct->setShortcut(QKeySequence::SaveAs);
    exitAct->setShortcut(QKeySequence::Quit);

    auto* editMenu = new QMenu(QStringLiteral("&Edit"), this);
    QAction* undoAct = editMenu->addAction(QStringLiteral("Undo"), this, [this] { m_eUndoItClick(); });
    undoAct->setShortcut(QKeySequence::Undo);
    QAction* redoAct = editMenu->addAction(QStringLiteral("Redo"), this, [this] { m_eRedoItClick(); });
    redoAct->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    editMenu->addSeparator();
    editMenu->addAction(QStringLiteral("Cut"), this, [this] { m_eCutItClick(); });
    editMenu->addAction(QStringLiteral("Copy"), this, [this] { m_eCopyItClick(); });
    editMenu->addAction(QStringLiteral("Paste"), this, [this] { m_ePasteItClick(); });
    editMenu->addAction(QStringLiteral("Delete"), this, [this] { m_eDeleteItClick(); });
    editMenu->addSeparator();
    editMenu->addAction(QStringLiteral("Edit Remote config"), this, [this] { m_eRemoteConfigItClick(); });

    auto* commMenu = new QMenu(QStringLiteral("&Communications"), this);
    downloadAct_ = commMenu->addAction(QStringLiteral("Download From Remote"), this, [this] { m_cDownloadItClick(); });
    uploadAct_ = commMenu->addAction(QStringLiteral("Upload to Remote"), this, [this] { m_cUploadItClick(); });
    downloadAct_->setEnabled(services_.link != nullptr);
    uploadAct_->setEnabled(services_.link != nullptr);
    verifyAct_ = commMenu->addAction(QStringLiteral("Verify after upload"));
    verifyAct_->setObjectName(QStringLiteral("Verify after upload"));
    verifyAct_->setCheckable(true);
    verifyAct_->setChecked(ReadVerifyAfterUpload(services_.programFolder));
    if (services_.link) services_.link->SetVerifyWrites(verifyAct_->isChecked());
    connect(verifyAct_, &QAction::toggled, this, [this](bool on) { m_cVerifyItClick(on); });

    auto* toolsMenu = new QMenu(QStringLiteral("&Tools"), this);
    updateLibraryAct_ = toolsMenu->addAction(QStringLiteral("Update Library"), this, [this] { m_tUpdateLibraryItClick(); });
    updateLibraryAct_->setEnabled(false);
    toolsMenu->addAction(QStringLiteral("Icon Edit Tools"));
    toolsMenu->addSeparator();
    m_tRecordTraceIt = toolsMenu->addAction(QString::fromUtf8("Record link trace\u2026"));
    m_tRecordTraceIt->setObjectName(QStringLiteral("m_tRecordTraceIt"));
    m_tRecordTraceIt->setCheckable(true);
    m_tRecordTraceIt->setEnabled(services_.link != nullptr);
    connect(m_tRecordTraceIt, &QAction::triggered, this, [this](bool checked) { m_tRecordTraceItClick(checked); });

    auto* helpMenu = new QMenu(QStringLiteral("&Help"), this);
    helpMenu->addAction(QStringLiteral("How to use help ?"));
    helpMenu->addAction(QString::fromUtf8(texts_.webCaption), this, [this] { m_hWebItClick(); });
    helpMenu->addSeparator();
    helpMenu->addAction(QStringLiteral("About Orvalink"), this, [this] { m_hAboutItClick(); });

    m_MTreePMu = new QMenu(this);
    m_MTreePMu->addAction(QStringLiteral("Load pre-program code to device"), this, [this] { m_tLoadPreCodeItClick(); });
    QAction* importAct = m_MTreePMu->addAction(QStringLiteral("Import model file to device"), this, [this] { m_tImportItClick(); });
    QAction* exportAct = m_MTreePMu->addAction(QStringLiteral("Export device to model file"), this, [this] { m_tExportItClick(); });
    m_MTreePMu->addAction(QStringLiteral("Import codes…"), this, [this] { m_tImportCodesItClick(); });
    m_MTreePMu->addAction(QStringLiteral("Export codes…"), this, [this] { m_tExportCodesItClick(); });
    m_MTreePMu->addSeparator();
    m_MTreePMu->addAction(QStringLiteral("Delete device"), this, [this] { m_tDeleteDeviceItClick(); });
    m_MTreePMu->setObjectName(QStringLiteral("m_MTreePMu"));
    // Screen readers find it on the accessibility tree while it is open.
    ExposePopupMenu(this, m_MTreePMu, QStringLiteral("Device menu"));

    // The menu buttons: a menu bar, so Alt and the underlined letter open them.
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("m_MenuTBar"));
    bar->setAccessibleName(QStringLiteral("Menus"));
    for (QMenu* m : {fileMenu, editMenu, commMenu, toolsMenu, helpMenu}) bar->addMenu(m);

    // The quick buttons. Each carries its hint as its text, so screen readers
    // and the tool tips name it alike.
    auto* quick = new QToolBar(QStringLiteral("Quick"), this);
    quick->setObjectName(QStringLiteral("m_QuickTBar"));
    quick->setMovable(false);
    quick->setIconSize(QSize(24, 24));
    quick->setToolButtonStyle(Qt::ToolButtonIconOnly);
    auto quickButton = [&](QAction* a, const QString& hint, const QIcon& icon) {
        QAction* b = a;
        if (!b) b = new QAction(this);
        b->setIcon(icon);
        b->setIconText(hint);
        b->setToolTip(hint);
        b->setStatusTip(hint);
        quick->addAction(b);
        if (QWidget* w = quick->widgetForAction(b)) w->setAccessibleName(hint);
        return b;
    };
    quickButton(newAct, QStringLiteral("New"), QuickIcon(QuickPicture::New));
    quickButton(openAct, QStringLiteral("Open"), QuickIcon(QuickPicture::Open));
    quickButton(saveAct, QStringLiteral("Save"), QuickIcon(QuickPicture::Save));
    quick->addSeparator();
    QAction* home = quickButton(nullptr, QStringLiteral("Edit home device"), QIcon(treePictures_[kPictureHome]));
    connect(home, &QAction::triggered, this, [this] { m_HomeTBtnClick(); });
    QAction* imp = quickButton(nullptr, importAct->text(), QuickIcon(QuickPicture::Import));
    connect(imp, &QAction::triggered, this, [this] { m_tImportItClick(); });
    QAction* exp = quickButton(nullptr, exportAct->text(), QuickIcon(QuickPicture::Export));
    connect(exp, &QAction::triggered, this, [this] { m_tExportItClick(); });
    QAction* macro = quickButton(nullptr, QStringLiteral("Edit macro device"), QIcon(treePictures_[kPictureMacro]));
    connect(macro, &QAction::triggered, this, [this] { m_MacroTBtnClick(); });
    quick->addSeparator();
    quickButton(downloadAct_, QStringLiteral("Download data from remote control"), QuickIcon(QuickPicture::Download));
    quickButton(uploadAct_, QStringLiteral("Upload data to remote control"), QuickIcon(QuickPicture::Upload));
    // Service buttons, shown once the settings dialog's phrase is typed.
    m_Open2TBtn = quickButton(nullptr, QStringLiteral("Open MCF file"), QuickIcon(QuickPicture::Open));
    m_Open2TBtn->setObjectName(QStringLiteral("m_Open2TBtn"));
    connect(m_Open2TBtn, &QAction::triggered, this, [this] { m_Open2TBtnClick(); });
    m_Save2TBtn = quickButton(nullptr, QStringLiteral("Save MCF file"), QuickIcon(QuickPicture::Save));
    m_Save2TBtn->setObjectName(QStringLiteral("m_Save2TBtn"));
    connect(m_Save2TBtn, &QAction::triggered, this, [this] { m_Save2TBtnClick(); });
    m_UnitTestBtn = quickButton(nullptr, QStringLiteral("Unit Test"), QuickIcon(QuickPicture::New));
    m_UnitTestBtn->setObjectName(QStringLiteral("m_UnitTestBtn"));
    connect(m_UnitTestBtn, &QAction::triggered, this, [this] { m_UnitTestBtnClick(); });
    for (QAction* a : {m_Open2TBtn, m_Save2TBtn, m_UnitTestBtn}) a->setVisible(false);
    addToolBar(Qt::TopToolBarArea, quick);
}

void TMainFm::SetFormEnabled(bool enabled) {
    // Dialogs can stand over dialogs (the transfer dialog over the start
    // dialog): the window comes back when the last of them has let it go.
    disableCount_ = enabled ? std::max(0, disableCount_ - 1) : disableCount_ + 1;
    enabled = disableCount_ == 0;
    // The main window's own parts, not the main window: dialogs and message
    // boxes placed over it are its children and must stay usable.
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || (w->isWindow() && w != m_MTreePal)) continue;
        w->setEnabled(enabled);
    }
    formEnabled_ = enabled;
}

void TMainFm::SetLinkBusy(bool busy) {
    linkBusy_ = busy;
    downloadAct_->setEnabled(!busy && services_.link != nullptr);
    uploadAct_->setEnabled(!busy && services_.link != nullptr);
    // The editors wait too: what they would store could be overwritten.
    editors_->SetLinkBusy(busy);
}

// ---------------------------------------------------------------------------
// The tree

void TMainFm::RebuildTree() {
    m_MainTView->clear();
    if (listState_ == 20) nodeRecords_.clear();
    nodeRecords_.reserve(64);
    listState_ = 10;
    currentNode_ = nullptr;

    auto* root = new QTreeWidgetItem(m_MainTView, QStringList(QString::fromUtf8(kHomeText)));
    root->setIcon(0, QIcon(treePictures_[kPictureHome]));
    std::vector<QTreeWidgetItem*> parents{root};
    for (DeviceTreeNode& node : BuildDeviceTree(services_.flash)) {
        parents.resize(size_t(node.depth));
        nodeRecords_.push_back(node.key);
        listState_ = 20;
        auto* item = new QTreeWidgetItem(parents.back(), QStringList(QString::fromStdString(node.text)));
        item->setIcon(0, QIcon(treePictures_[kPictureDevice]));
        item->setData(0, kEntryRole, int(nodeRecords_.size() - 1));
        parents.push_back(item);
    }
    auto* macro = new QTreeWidgetItem(root, QStringList(QString::fromUtf8(kMacroText)));
    macro->setIcon(0, QIcon(treePictures_[kPictureMacro]));
    m_MainTView->expandAll();
    currentNode_ = root;
    statusPanels_[0]->setText(QStringLiteral("List Count = %1").arg(nodeRecords_.size()));
}

const KeyInfo* TMainFm::EntryOf(QTreeWidgetItem* node) const {
    if (!node) return nullptr;
    QVariant v = node->data(0, kEntryRole);
    if (!v.isValid()) return nullptr;
    int index = v.toInt();
    if (index < 0 || size_t(index) >= nodeRecords_.size()) return nullptr;
    return &nodeRecords_[size_t(index)];
}

bool TMainFm::DeviceRecordFor(int slot, KeyInfo& record) const {
    return DeviceRecordForSlot(slot, nodeRecords_, record);
}

std::string TMainFm::DeviceNameFor(int slot) const {
    if (slot == kHomeSlot) return "Home";
    if (slot == kMacroSlot) return "Macro";
    KeyInfo k;
    if (!DeviceRecordFor(slot, k)) return {};
    return DeviceNameText(k.label);
}

std::vector<TSoftLCDFm*> TMainFm::Editors() const { return editors_->Editors(); }
QMdiSubWindow* TMainFm::SubWindowOf(const TSoftLCDFm* editor) const { return editors_->SubWindowOf(editor); }
TSoftLCDFm* TMainFm::EditorForSlot(int slot) const { return editors_->ForSlot(slot); }
TSoftLCDFm* TMainFm::FindEditorByMode(int mode) const { return editors_->ByMode(mode); }
bool TMainFm::ShowEditorFor(int slot) { return editors_->Show(slot); }
void TMainFm::CloseAllEditors() { editors_->CloseAll(); }
void TMainFm::StoreAllEditors() { editors_->StoreAll(); }
void TMainFm::ReloadAllEditors() { editors_->ReloadAll(); }

TSoftLCDFm* TMainFm::OpenDeviceEditor(int slot, EditorMode mode) {
    if (slot < 0 || slot >= kDeviceSlots) return nullptr;
    KeyInfo record;
    if (!DeviceRecordFor(slot, record)) return nullptr;
    QString name = QString::fromStdString(slot == kHomeSlot ? std::string(kHomeText) : DeviceNameFor(slot));
    LayoutEditorServices editorServices{services_.flash, services_.ui, *this, *this, *this,
                                        services_.codePicker, keyEditor_, stepEditor_, services_.programFolder};
    auto* editor = new TSoftLCDFm(editorServices, slot, mode, name, record);
    editor->setEnabled(!linkBusy_);
    editors_->Add(editor);
    return editor;
}

void TMainFm::SaveEditorsAndDocument() {
    StoreAllEditors();
    m_fSaveAsItClick();
}

void TMainFm::ImageReplaced() {
    services_.flash.ContentsReplaced();
    CloseAllEditors();
    RebuildTree();
}

void TMainFm::SetKeyClipboard(const KeyInfo& key) {
    clipboard_ = CopyKeyInfo(key);
    clipboardFilled_ = true;
}

bool TMainFm::GetKeyClipboard(KeyInfo& key) const {
    if (!clipboardFilled_) return false;
    key = CopyKeyInfo(clipboard_);
    return true;
}

std::vector<int> TMainFm::FreeDeviceNumbers() const { return UnlinkedDeviceNumbers(services_.flash); }

void TMainFm::DeviceStored(int) {
    RebuildTree();
    SetModifiedMark(kMarkChanged);
}

LayoutHost::CodeFill TMainFm::FillDeviceFromCode(int device, uint16_t codeNumber) {
    // An editor still showing the old device would write it back.
    return ReplaceDevice(device, codeNumber, [this, device] { editors_->CancelEditorsOn(device); });
}

LayoutHost::CodeFill TMainFm::ReplaceDevice(int device, uint16_t codeNumber,
                                            const std::function<void()>& cancelEditors) {
    const CodeFill fill = ReplaceDeviceFromCode(services_.programFolder, services_.flash, device, codeNumber, cancelEditors);
    if (fill == CodeFill::NoLibrary)
        services_.ui.Inform("File Not Found ! ---> dev_model.dll \n Please Check the file ! ", MsgIcon::Warning);
    if (fill != CodeFill::Filled) return fill;
    RebuildTree();
    SetModifiedMark(kMarkChanged);
    return fill;
}

void TMainFm::ShowExtraButtons() {
    for (QAction* a : {m_Open2TBtn, m_Save2TBtn, m_UnitTestBtn}) a->setVisible(true);
}

bool TMainFm::ExtraButtonsShown() const { return m_Open2TBtn->isVisible(); }

// The hidden buttons: the memory image byte for byte from and to a ".mcf".
void TMainFm::m_Open2TBtnClick() {
    if (!services_.flash.ImageData().second) return;
    std::string chosen;
    if (!services_.files.PickOpenFile(services_.files.ProgramFolderText(), std::string(), FileKind::mcf, chosen)) return;
    const PlainFileOutcome out = LoadImageFile(PathFromUtf8(chosen), services_.flash);
    if (!out.Ok()) {
        if (!out.message.empty())
            services_.ui.ShowMessage({out.message, out.caption, MsgIcon::Error, MsgButtons::OkCancel});
        return;
    }
    ImageReplaced();
}

void TMainFm::m_Save2TBtnClick() {
    std::string chosen;
    if (!services_.files.PickSaveFile(services_.files.ProgramFolderText(), std::string(), FileKind::mcf, chosen)) return;
    const PlainFileOutcome out = SaveImageFile(PathFromUtf8(chosen), services_.flash);
    if (!out.Ok() && !out.message.empty())
        services_.ui.ShowMessage({out.message, out.caption, MsgIcon::Error, MsgButtons::OkCancel});
}
void TMainFm::m_UnitTestBtnClick() { services_.ui.Inform("Unit Test is not available yet.", MsgIcon::Information); }

void TMainFm::SetModifiedMark(uint8_t mark) {
    modifiedMark_ = mark;
    // The caption stays the brand's title; unsaved changes show in the
    // status bar's second panel.
    statusPanels_[1]->setText(mark == kMarkChanged ? QStringLiteral("Modified") : QString());
}

// Mouse presses on the tree reach m_MainTViewMouseDown with the node under
// the mouse.
bool TMainFm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tools_ && event->type() == QEvent::Hide && toolsOpen_) ToolWindowClosed();
    if (watched == m_MainTView->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        QTreeWidgetItem* node = m_MainTView->itemAt(me->position().toPoint());
        m_MainTViewMouseDown(node, me->button(), me->globalPosition().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainFm::m_MainTViewMouseDown(QTreeWidgetItem* node, Qt::MouseButton button, const QPoint& globalPos) {
    if (!node) return;
    currentNode_ = node;
    const QString text = node->text(0);
    const bool isHome = text == QString::fromUtf8(kHomeText) && !node->parent();
    const bool isMacro = text == QString::fromUtf8(kMacroText) && !EntryOf(node);
    if (button == Qt::LeftButton) {
        if (const KeyInfo* entry = EntryOf(node)) {
            if (entry->keyType != kKeyDevice) return;
            if (ShowEditorFor(entry->link)) return;
            OpenDeviceEditor(entry->link, ModeNormal);
        } else if (isHome) {
            m_HomeTBtnClick();
        } else if (isMacro) {
            m_MacroTBtnClick();
        }
    } else if (button == Qt::RightButton && !isHome && !isMacro) {
        m_MTreePMu->popup(globalPos);
    }
}

void TMainFm::m_HomeTBtnClick() {
    if (!ShowEditorFor(kHomeSlot)) OpenDeviceEditor(kHomeSlot, ModeHomeDevice);
}

void TMainFm::m_MacroTBtnClick() {
    if (!ShowEditorFor(kMacroSlot)) OpenDeviceEditor(kMacroSlot, ModeMacroDevice);
}

// ---------------------------------------------------------------------------
// Document commands

void TMainFm::Report(const DocumentOutcome& outcome) {
    // A document that could not be written is not reported by this window.
    if (outcome.kind == DocumentResult::WriteFailed || outcome.message.empty()) return;
    services_.ui.Inform(outcome.message, outcome.icon);
}

bool TMainFm::OpenDocumentInto(const std::string& path, bool ask, std::string* opened) {
    std::string file = path;
    if (ask) {
        if (file.empty()) file = services_.files.ProgramFolderText();
        std::string chosen;
        if (!services_.files.PickOpenFile(file, std::string(), FileKind::vmcf, chosen)) return false;
        file = std::move(chosen);
    }
    const DocumentOutcome outcome = LoadDocumentIntoImage(file, services_.flash);
    Report(outcome);
    if (!outcome.Ok()) return false;
    if (opened) *opened = outcome.path;
    return true;
}

void TMainFm::m_fNewItClick() {
    MsgAnswer a = services_.ui.ShowMessage(
        {"\n Changes Save to " + currentPath_ + " ?", {}, MsgIcon::Warning, MsgButtons::YesNoCancel});
    if (a == MsgAnswer::Cancel) return;
    if (a == MsgAnswer::Yes) SaveEditorsAndDocument();
    if (!OpenDocumentInto(services_.files.BlankDocumentPath(), false, nullptr)) return;
    currentPath_ = services_.files.DefaultDocumentPath();
    ImageReplaced();
    SetModifiedMark(kMarkUnchanged);
}

void TMainFm::m_fOpenItClick() {
    if (currentPath_.empty()) {
        currentPath_ = services_.files.DocumentFolder() + "noname.vmcf";
        MsgAnswer a = services_.ui.ShowMessage({"\n This file : \"" + currentPath_ +
                                                    "\"has been revised, \n save before you leave Orvalink ?",
                                                {}, MsgIcon::Warning, MsgButtons::YesNoCancel});
        if (a == MsgAnswer::Cancel) return;
        if (a == MsgAnswer::Yes)
            SaveEditorsAndDocument();
        else
            currentPath_.clear();
    } else {
        MsgAnswer a = services_.ui.ShowMessage(
            {"\n Changes Save to " + currentPath_ + " ?", {}, MsgIcon::Warning, MsgButtons::YesNoCancel});
        if (a == MsgAnswer::Cancel) return;
        if (a == MsgAnswer::Yes) SaveEditorsAndDocument();
    }
    std::string opened;
    if (!OpenDocumentInto(currentPath_, true, &opened)) return;
    currentPath_ = opened;
    ImageReplaced();
    SetModifiedMark(kMarkUnchanged);
}

void TMainFm::m_fSaveItClick() {
    const bool ask = currentPath_.empty();
    if (ask) currentPath_ = services_.files.DefaultDocumentPath();
    const DocumentOutcome outcome = services_.files.SaveImageVFile(currentPath_, kDocumentModelCode, ask);
    Report(outcome);
    if (!outcome.Ok()) return;
    currentPath_ = outcome.path;
    SetModifiedMark(kMarkUnchanged);
}

bool TMainFm::m_fSaveAsItClick() {
    const DocumentOutcome outcome = services_.files.SaveImageVFile(currentPath_, kDocumentModelCode, true);
    Report(outcome);
    if (!outcome.Ok()) return false;
    currentPath_ = outcome.path;
    SetModifiedMark(kMarkUnchanged);
    return true;
}

bool TMainFm::MayClose() {
    if (modifiedMark_ != kMarkChanged) return true;
    if (m_fSaveAsItClick()) return true;
    MsgAnswer a = services_.ui.ShowMessage(
        {"\n The changes have not been saved. \n Close Orvalink and discard them ?", {}, MsgIcon::Warning,
         MsgButtons::YesNo});
    if (a != MsgAnswer::Yes) return false;
    SetModifiedMark(kMarkUnchanged);
    return true;
}

void TMainFm::m_fExitItClick() {
    if (!MayClose()) return;
    close();
}

void TMainFm::closeEvent(QCloseEvent* event) {
    if (!MayClose()) {
        event->ignore();
        return;
    }
    CloseAllEditors();
    if (compare_) compare_->close();
    event->accept();
}

// ---------------------------------------------------------------------------
// Edit menu

void TMainFm::m_eUndoItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->Undo();
}
void TMainFm::m_eRedoItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->Redo();
}
void TMainFm::m_eCutItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->m_CutItClick();
}
void TMainFm::m_eCopyItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->m_CopyItClick();
}
void TMainFm::m_ePasteItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->m_PasteItClick();
}
void TMainFm::m_eDeleteItClick() {
    if (TSoftLCDFm* e = editors_->Active()) e->m_DeleteItClick();
}

void TMainFm::m_eRemoteConfigItClick() {
    SetFormEnabled(false);
    RemoteSettings values;
    if (!ReadSettings(services_.flash, values)) values = DefaultSettings();
    {
        TConfigFm dialog(services_.flash, services_.ui, [this] { ShowExtraButtons(); }, this);
        dialog.Load(values);
        dialog.exec();
        if (dialog.ImageChanged()) SetModifiedMark(kMarkChanged);
    }
    settingsClosed_ = true;
    dialogFinished_ = true;
    SetFormEnabled(true);
    RebuildTree();
}

// ---------------------------------------------------------------------------
// Help

void TMainFm::m_hWebItClick() {
    if (services_.shell) services_.shell->Open(texts_.webAddress);
}

void TMainFm::m_hAboutItClick() {
    if (!about_) return;
    SetFormEnabled(false);
    about_->exec();
    SetFormEnabled(true);
    dialogFinished_ = true;
}

}  // namespace orvalink
