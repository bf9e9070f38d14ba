#include "editors/Softlcdut.h"

#include <QAction>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>

#include "editors/SoftlcdShared.h"
#include "image/Tiflashut.h"
#include "platform/qt/PopupMenuAccessibility.h"
#include "platform/UiServices.h"

namespace orvalink {

using softlcd::kNoKey;

namespace {

constexpr int kWindowWidth = 465;
constexpr int kStepEditPanelWidth = 595;
const char* const kTransparentOnText = "Turn transparent mode OFF";   // shown while it is on
const char* const kTransparentOffText = "Turn Transparent mode ON";   // shown while it is off

}  // namespace

// ---------------------------------------------------------------------------
// Creation

TSoftLCDFm::TSoftLCDFm(const LayoutEditorServices& services, int slot, EditorMode mode, const QString& name,
                       const KeyInfo& record, QWidget* parent)
    : QWidget(parent),
      services_(services),
      slot_(slot),
      mode_(mode),
      record_(CopyKeyInfo(record)),
      name_(name),
      layout_(std::make_unique<DeviceLayout>(slot, services.clipboard, services.devices)) {
    setObjectName(QStringLiteral("TSoftLCDFm"));
    setWindowTitle(name);
    setAccessibleName(name);
    pageStrip_.load(QString::fromStdString((services_.programFolder / kPageStripFile).string()));
    BuildWindow();
    BuildMenus();
    SetMode(mode);
    resize(std::max(kWindowWidth, minimumSizeHint().width()), sizeHint().height());
}

TSoftLCDFm::~TSoftLCDFm() = default;

void TSoftLCDFm::BuildWindow() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 4, 0);
    outer->setSpacing(4);

    // The mode buttons: the mode is the opener's, so the bar stays hidden.
    m_SLcdTBar = new QToolBar(QStringLiteral("Mode"), this);
    m_SLcdTBar->setObjectName(QStringLiteral("m_SLcdTBar"));
    const std::pair<EditorMode, const char*> modes[] = {{ModeNormal, "Normol"},     {ModeStepEdit, "Step Edit"},
                                                        {ModeStepView, "Step View"}, {ModeLearn, "Learn"},
                                                        {ModeShoot, "Shoot"},       {ModeMacroDevice, "M Device"}};
    for (const auto& [m, caption] : modes) {
        QAction* a = m_SLcdTBar->addAction(QString::fromLatin1(caption));
        a->setCheckable(true);
        a->setData(int(m));
        a->setVisible(m != ModeLearn && m != ModeShoot);
    }
    m_SLcdTBar->setAccessibleName(QStringLiteral("Mode"));
    m_SLcdTBar->hide();
    outer->addWidget(m_SLcdTBar);

    auto* body = new QHBoxLayout;
    body->setSpacing(6);
    outer->addLayout(body, 1);

    BuildKeyList();
    body->addWidget(m_keyTView, 0);

    m_RightPal = new QWidget(this);
    m_RightPal->setObjectName(QStringLiteral("m_RightPal"));
    auto* right = new QHBoxLayout(m_RightPal);
    right->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_RightPal, 1);

    auto* lcdColumn = new QVBoxLayout;
    right->addLayout(lcdColumn);

    BuildLcdPanel();
    lcdColumn->addWidget(m_SoftKeyPal, 0, Qt::AlignHCenter);

    BuildHardKeys();
    lcdColumn->addWidget(m_HardKeyPal);

    auto* buttons = new QHBoxLayout;
    m_SaveBtn = new QPushButton(QStringLiteral("Save"), m_RightPal);
    m_SaveBtn->setObjectName(QStringLiteral("m_SaveBtn"));
    m_SaveBtn->setAccessibleName(QStringLiteral("Save"));
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), m_RightPal);
    m_CancelBtn->setObjectName(QStringLiteral("m_CancelBtn"));
    m_CancelBtn->setAccessibleName(QStringLiteral("Cancel"));
    connect(m_SaveBtn, &QPushButton::clicked, this, [this] { m_SaveBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
    buttons->addWidget(m_SaveBtn);
    buttons->addWidget(m_CancelBtn);
    lcdColumn->addLayout(buttons);
    lcdColumn->addStretch(1);

    auto* stepColumn = new QVBoxLayout;
    right->addLayout(stepColumn);
    BuildStepPanel();
    stepColumn->addWidget(m_MStepPal);
    BuildDevicePanel();
    stepColumn->addWidget(m_DevPal, 1);

    m_StatusBar = new QStatusBar(this);
    m_StatusBar->setObjectName(QStringLiteral("m_StatusBar"));
    m_StatusBar->setAccessibleName(QStringLiteral("Layout status"));
    m_StatusBar->setSizeGripEnabled(false);
    outer->addWidget(m_StatusBar);

    // Keys of the keyboard on the selected key.
    auto shortcut = [this](const QKeySequence& keys, auto command) {
        auto* s = new QShortcut(keys, this);
        s->setContext(Qt::WidgetWithChildrenShortcut);
        connect(s, &QShortcut::activated, this, [this, command] {
            if (EditingMode()) (this->*command)();
        });
    };
    shortcut(QKeySequence::Delete, &TSoftLCDFm::m_DeleteItClick);
    shortcut(QKeySequence::Cut, &TSoftLCDFm::m_CutItClick);
    shortcut(QKeySequence::Copy, &TSoftLCDFm::m_CopyItClick);
    shortcut(QKeySequence::Paste, &TSoftLCDFm::m_PasteItClick);
}

void TSoftLCDFm::BuildMenus() {
    m_SoftKeyPMenu = new QMenu(this);
    m_SoftKeyPMenu->setObjectName(QStringLiteral("m_SoftKeyPMenu"));
    auto item = [this](QMenu* menu, const char* name, const char* caption, auto command) {
        QAction* a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(QString::fromLatin1(name));
        connect(a, &QAction::triggered, this, [this, command] { (this->*command)(); });
        return a;
    };
    item(m_SoftKeyPMenu, "m_AddButtonIt", "Add Button", &TSoftLCDFm::m_AddButtonItClick);
    item(m_SoftKeyPMenu, "m_PropertiesIt", "Properties", &TSoftLCDFm::m_PropertiesItClick);
    m_SoftKeyPMenu->addSeparator();
    item(m_SoftKeyPMenu, "m_CutIt", "Cut", &TSoftLCDFm::m_CutItClick);
    item(m_SoftKeyPMenu, "m_CopyIt", "Copy", &TSoftLCDFm::m_CopyItClick);
    item(m_SoftKeyPMenu, "m_PasteIt", "Paste", &TSoftLCDFm::m_PasteItClick);
    item(m_SoftKeyPMenu, "m_DeleteIt", "Delete", &TSoftLCDFm::m_DeleteItClick);
    m_SoftKeyPMenu->addSeparator();
    QMenu* moveTo = m_SoftKeyPMenu->addMenu(QStringLiteral("Move to"));
    moveTo->menuAction()->setObjectName(QStringLiteral("m_MoveToIt"));
    for (int n = 1; n <= kLcdPages; ++n) {
        QAction* a = moveTo->addAction(QStringLiteral("Page %1").arg(n));
        a->setObjectName(QStringLiteral("m_Page%1It").arg(n));
        // The page number is the item's name suffix.
        connect(a, &QAction::triggered, this, [this, a] {
            m_MoveToItClick(a->objectName().mid(6, a->objectName().size() - 8).toInt());
        });
    }
    QMenu* sequence = m_SoftKeyPMenu->addMenu(QStringLiteral("Sequence"));
    sequence->menuAction()->setObjectName(QStringLiteral("m_SequenceIt"));
    sequence->menuAction()->setVisible(false);
    item(sequence, "m_BackgroundIt", "Set to background", &TSoftLCDFm::m_BackgroundItClick);
    item(sequence, "m_ForegroundIt", "Set to foreground", &TSoftLCDFm::m_ForegroundItClick);
    QMenu* go = m_SoftKeyPMenu->addMenu(QStringLiteral("Goto"));
    go->menuAction()->setObjectName(QStringLiteral("m_GotoIt"));
    go->menuAction()->setVisible(false);
    m_SoftKeyPMenu->addSeparator();
    item(m_SoftKeyPMenu, "m_LoadPreCodeIt", "Load pre-program code to device", &TSoftLCDFm::m_LoadPreCodeItClick);
    item(m_SoftKeyPMenu, "m_AddDeviceIt", "Add device from pre-program code", &TSoftLCDFm::m_AddDeviceItClick);
    item(m_SoftKeyPMenu, "m_ImportCodesIt", "Import codes…", &TSoftLCDFm::m_ImportCodesItClick);
    item(m_SoftKeyPMenu, "m_ExportCodesIt", "Export codes…", &TSoftLCDFm::m_ExportCodesItClick);
    m_SoftKeyPMenu->addSeparator();
    m_TransparentIt = item(m_SoftKeyPMenu, "m_TransparentIt", "Turn transparent mode ON", &TSoftLCDFm::m_TransparentItClick);
    m_GridLineIt = item(m_SoftKeyPMenu, "m_GridLineIt", "Show Grid line", &TSoftLCDFm::m_GridLineItClick);
    m_GridLineIt->setCheckable(true);
    m_GridLineIt->setChecked(true);
    m_GridLineIt->setVisible(false);

    m_HardKeyPMenu = new QMenu(this);
    m_HardKeyPMenu->setObjectName(QStringLiteral("m_HardKeyPMenu"));
    item(m_HardKeyPMenu, "m_HardPropertiesIt", "Properties", &TSoftLCDFm::m_HardPropertiesItClick);
    // Screen readers find both menus on the accessibility tree while they are open.
    ExposePopupMenu(this, m_SoftKeyPMenu, QStringLiteral("Soft key menu"));
    ExposePopupMenu(this, m_HardKeyPMenu, QStringLiteral("Hard key menu"));
}

QAction* TSoftLCDFm::MenuItem(const QString& objectName) const {
    // Items, sub-menus' items and sub-menus' own actions are all children.
    for (QMenu* menu : {m_SoftKeyPMenu, m_HardKeyPMenu})
        if (auto* a = menu->findChild<QAction*>(objectName)) return a;
    return nullptr;
}

void TSoftLCDFm::SetMode(EditorMode mode) {
    mode_ = mode;
    for (QAction* a : m_SLcdTBar->actions()) a->setChecked(a->data().toInt() == int(mode));
    const bool step = StepMode();
    m_MStepPal->setVisible(step);
    m_DelayCBox->setEnabled(mode == ModeStepEdit);
    // Step windows pick keys of any device; the others edit the one device
    // their main-window node stands for.
    m_DevPal->setVisible(step);
    softMenuAttached_ = mode == ModeNormal || mode == ModeMacroDevice || mode == ModeHomeDevice;
    hardMenuAttached_ = mode == ModeNormal || mode == ModeHomeDevice;
    if (mode == ModeStepEdit) {
        m_RightPal->setFixedWidth(kStepEditPanelWidth);
    } else {
        m_RightPal->setMinimumWidth(0);
        m_RightPal->setMaximumWidth(QWIDGETSIZE_MAX);
    }
    m_HardKeyPal->setEnabled(mode != ModeStepView && mode != ModeMacroDevice);
    gridShown_ = !step && m_GridLineIt->isChecked();
}

// ---------------------------------------------------------------------------
// Loading

bool TSoftLCDFm::LoadDevice() { return LoadSlot(slot_, record_, name_); }

bool TSoftLCDFm::LoadSlot(int device, const KeyInfo& record, const QString& name) {
    CancelDrag();
    if (device != slot_) layout_ = std::make_unique<DeviceLayout>(device, services_.clipboard, services_.devices);
    if (!layout_->Load(services_.flash)) {
        Say(QStringLiteral("Device %1 cannot be read from the memory image.").arg(device));
        return false;
    }
    slot_ = device;
    record_ = CopyKeyInfo(record);
    name_ = name;
    setWindowTitle(name);
    setAccessibleName(name);
    for (auto& [number, picture] : pictures_) delete picture.label;
    pictures_.clear();
    shownPage_ = -1;
    pressedKey_ = kNoKey;
    topKey_ = kNoKey;
    SyncFromLayout();
    m_keyTView->expandAll();
    return true;
}

bool TSoftLCDFm::StoreIntoImage() {
    if (StepMode()) return true;
    SaveOutcome out;
    return SaveLayout(out);
}

void TSoftLCDFm::ReloadFromImage() {
    const int page = layout_->Page();
    const int selected = layout_->Selected();
    if (!LoadDevice()) return;
    layout_->ShowPage(page);
    layout_->Select(selected);
    SyncFromLayout();
}

// ---------------------------------------------------------------------------
// Commands

void TSoftLCDFm::Refused(const LayoutOutcome& outcome) {
    const QString reason = QString::fromStdString(outcome.reason);
    switch (outcome.result) {
        case LayoutResult::DeviceKeyRefused:
            services_.ui.ShowMessage({outcome.reason, {}, MsgIcon::Warning, MsgButtons::Yes});
            break;
        case LayoutResult::NoFreeDevice:
            services_.ui.ShowMessage({outcome.reason, {}, MsgIcon::Warning, MsgButtons::YesCancel});
            break;
        default: break;
    }
    Say(reason);
}

void TSoftLCDFm::m_AddButtonItClick() {
    const LayoutOutcome out = layout_->AddButton();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_PropertiesItClick() {
    const LayoutKey* key = layout_->SelectedKey();
    if (!key) return Say(QStringLiteral("No key is selected."));
    KeyEditContext context;
    const bool hard = key->Number() < kHardKeyCount;
    context.editorMode = hard ? kEditHardKey : layout_->IsMacroDevice() ? kEditMacroKey : kEditSoftKey;
    context.freeKeyNumbers = layout_->FreeKeyNumbers();
    context.freeDevices = layout_->FreeDeviceNumbers();
    context.device = slot_;
    layout_->MarkModified();
    if (!services_.keyEditor) return Say(QStringLiteral("The key property editor is not available."));
    LayoutKey edited = *key;
    if (!services_.keyEditor->EditKey(edited, context)) return;
    const LayoutOutcome out = layout_->ReplaceKey(edited);
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_HardPropertiesItClick() {
    const LayoutKey* key = layout_->SelectedKey();
    if (!key || key->Number() >= kHardKeyCount) return;
    m_PropertiesItClick();
}

void TSoftLCDFm::m_CutItClick() {
    CancelDrag();
    const LayoutOutcome out = layout_->Cut();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
    Say(QStringLiteral("Key %1 cut.").arg(out.keyNumber));
}

void TSoftLCDFm::m_CopyItClick() {
    const LayoutOutcome out = layout_->Copy();
    if (!out.ok()) return Refused(out);
    Say(QStringLiteral("Key %1 copied.").arg(out.keyNumber));
}

void TSoftLCDFm::m_PasteItClick() {
    const LayoutOutcome out = layout_->Paste();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_DeleteItClick() {
    CancelDrag();
    const LayoutOutcome out = layout_->Delete();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
    Say(QStringLiteral("Key %1 deleted.").arg(out.keyNumber));
}

void TSoftLCDFm::m_MoveToItClick(int pageItem) {
    const LayoutOutcome out = layout_->MoveToPage(pageItem);
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_BackgroundItClick() {
    topKey_ = kNoKey;
    const LayoutOutcome out = layout_->SetToBackground();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_ForegroundItClick() {
    topKey_ = kNoKey;
    const LayoutOutcome out = layout_->SetToForeground();
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
}

void TSoftLCDFm::m_TransparentItClick() {
    transparent_ = !transparent_;
    m_TransparentIt->setText(QString::fromLatin1(transparent_ ? kTransparentOnText : kTransparentOffText));
    SyncFromLayout();
}

void TSoftLCDFm::m_GridLineItClick() {
    gridShown_ = m_GridLineIt->isChecked();
    DrawLcd();
}

bool TSoftLCDFm::Undo() {
    CancelDrag();
    if (!layout_->Undo()) return false;
    SyncFromLayout();
    return true;
}

bool TSoftLCDFm::Redo() {
    CancelDrag();
    if (!layout_->Redo()) return false;
    SyncFromLayout();
    return true;
}

// ---------------------------------------------------------------------------
// Pre-program codes

void TSoftLCDFm::m_AddDeviceItClick() {
    // A device with every soft key number in use takes no device key; say so
    // before the picker is opened for nothing.
    if (layout_->LowestFreeKeyNumber() < 0)
        return Say(QStringLiteral("All 58 soft key numbers (6 to 63) of this device are in use."));
    if (!services_.codePicker) return Say(QStringLiteral("The pre-program code picker is not available."));
    uint16_t code = kNoCodeChosen;
    if (!services_.codePicker->PickCodeNumber(code) || code >= kNoCodeChosen) return;
    const LayoutOutcome out = layout_->AddDeviceKey(code);
    if (!out.ok()) return Refused(out);
    SyncFromLayout();
    const int link = layout_->FindKey(out.keyNumber)->info.link;
    SaveOutcome saved;
    if (!SaveLayout(saved)) {
        services_.ui.Inform("Device save error !", MsgIcon::Error);
        Say(QString::fromStdString(saved.reason));
        return;
    }
    if (services_.host.FillDeviceFromCode(link, code) != LayoutHost::CodeFill::Filled)
        services_.ui.Inform("Load pre-program code error !", MsgIcon::Information);
}

void TSoftLCDFm::m_LoadPreCodeItClick() {
    const LayoutKey* key = layout_->SelectedKey();
    if (!key || !key->IsLinkedDeviceKey()) return;
    const int link = key->info.link;
    const MsgAnswer a = services_.ui.ShowMessage({"Would you want to delete all of key and child divice ?", {},
                                                  MsgIcon::Information, MsgButtons::YesCancel});
    if (a != MsgAnswer::Yes) return;
    if (!services_.codePicker) return Say(QStringLiteral("The pre-program code picker is not available."));
    uint16_t code = kNoCodeChosen;
    bool ok = services_.codePicker->PickCodeNumber(code) && code < kNoCodeChosen &&
              services_.host.FillDeviceFromCode(link, code) == LayoutHost::CodeFill::Filled;
    services_.ui.Inform(ok ? "Load pre-program code ok !" : "Load pre-program code error !", MsgIcon::Information);
}

// ---------------------------------------------------------------------------
// Save and Cancel

bool TSoftLCDFm::SaveLayout(SaveOutcome& outcome) {
    CancelDrag();
    outcome = layout_->Save(services_.flash);
    if (!outcome.ok()) return false;
    services_.host.DeviceStored(slot_);
    // What is saved is the new starting point: undo goes back no further.
    const int page = layout_->Page();
    const int selected = layout_->Selected();
    layout_->Load(services_.flash);
    layout_->ShowPage(page);
    layout_->Select(selected);
    SyncFromLayout();
    if (!outcome.codesNotWritten.empty())
        Say(QStringLiteral("Saved; %1 cycle key(s) kept without their code.").arg(outcome.codesNotWritten.size()));
    return true;
}

void TSoftLCDFm::m_SaveBtnClick() {
    if (StepMode()) {
        ShowKeyEditorAgain();
        CloseWindow();
        return;
    }
    if (!EditingMode()) return;
    SaveOutcome out;
    if (!SaveLayout(out)) {
        services_.ui.Inform("Device save error !", MsgIcon::Error);
        Say(QString::fromStdString(out.reason));
        return;
    }
    services_.ui.Inform("Device save Ok !", MsgIcon::Information);
    CloseWindow();
}

void TSoftLCDFm::m_CancelBtnClick() {
    if (StepMode()) {
        ShowKeyEditorAgain();
        CloseWindow();
        return;
    }
    if (mode_ != ModeNormal) return;
    CancelDrag();
    layout_->Load(services_.flash);  // every change dropped
    CloseWindow();
}

void TSoftLCDFm::CloseWindow() {
    closing_ = true;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close();
    else
        close();
}

void TSoftLCDFm::ShowKeyEditorAgain() {
    if (keyEditorShown_ || !StepMode()) return;
    keyEditorShown_ = true;
    if (services_.steps) services_.steps->ShowKeyEditor();
}

void TSoftLCDFm::closeEvent(QCloseEvent* event) {
    closing_ = true;
    CancelDrag();
    ShowKeyEditorAgain();
    QWidget::closeEvent(event);
}

}  // namespace orvalink
