#include "editors/Softlcdut.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFrame>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeWidget>

#include <algorithm>

#include "image/DeviceTree.h"
#include "image/KeyGeometry.h"
#include "image/LabelWords.h"
#include "image/Tiflashut.h"
#include "image/qt/KeyDrawing.h"
#include "image/qt/TreePictures.h"
#include "platform/qt/PopupMenuAccessibility.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

constexpr int kWindowWidth = 465;
constexpr int kStepEditPanelWidth = 595;
constexpr int kKeyRole = Qt::UserRole + 1;   // key tree: the key number of a node
constexpr int kSlotRole = Qt::UserRole + 2;  // device tree: the slot of a node
constexpr int kNoKey = -1;

// Pictures of the key tree (indexes as the tree's image list numbers them).
constexpr int kTreeDevice = 3;
constexpr int kTreeMacro = 4;
constexpr int kTreeKey = 5;

const char* const kHardKeyNames[kHardKeyCount] = {"Power", "Vol +", "Vol -", "Ch +", "Ch -", "Mute"};
const char* const kKeyTypeNames[] = {"IR code", "Device", "Macro", "Cycle", "Label"};
const char* const kTransparentOnText = "Turn transparent mode OFF";   // shown while it is on
const char* const kTransparentOffText = "Turn Transparent mode ON";   // shown while it is off

QPixmap TreePictureAt(int index) {
    return TreePixmap(index == kTreeDevice  ? TreePicture::Device
                      : index == kTreeMacro ? TreePicture::Macro
                                            : TreePicture::Key);
}

// The tree picture of a key of style (key type) `type`.
int TreePictureOf(int type, bool macroDevice) {
    if (macroDevice) return kTreeKey;
    switch (type) {
        case kKeyDevice: return kTreeDevice;
        case kKeyMacro: return kTreeMacro;
        default: return kTreeKey;
    }
}

QString LabelText(const KeyInfo& key) {
    std::string text;
    int length = 0;
    if (!LabelToText(std::span<const uint8_t>(key.label), text, length)) return {};
    return QString::fromStdString(text);
}

QString TypeName(int type) {
    return type >= 0 && type <= kKeyLabel ? QString::fromLatin1(kKeyTypeNames[type]) : QStringLiteral("type %1").arg(type);
}

QString KeyName(const KeyInfo& key) {
    const QString label = LabelText(key);
    return label.isEmpty() ? QStringLiteral("Key %1").arg(key.keyNumber)
                           : QStringLiteral("Key %1 %2").arg(key.keyNumber).arg(label);
}

// The key list names a key by its number and by what its label shows on the
// LCD, icons read as their words, so that a person can match the list with
// the LCD: "Key 6 — 1". A key without a label is a new one.
QString KeyListText(const KeyInfo& key) {
    QString shown = QString::fromStdString(LabelWords(key.label));
    if (shown.isEmpty() && key.label[0] == 0) shown = QStringLiteral("New key");
    const QString number = QString::number(key.keyNumber);
    return shown.isEmpty() ? QStringLiteral("Key %1").arg(number)
                           : QStringLiteral("Key %1 \u2014 %2").arg(number, shown);
}

QRect ToQRect(const EditorRect& r) { return QRect(r.left, r.top, r.width, r.height); }
EditorRect ToEditorRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

Qt::CursorShape ToQtCursor(CursorShape shape) {
    switch (shape) {
        case CursorShape::NwSe: return Qt::SizeFDiagCursor;
        case CursorShape::NeSw: return Qt::SizeBDiagCursor;
        case CursorShape::Vertical: return Qt::SizeVerCursor;
        case CursorShape::Horizontal: return Qt::SizeHorCursor;
        case CursorShape::Move: return Qt::SizeAllCursor;
        case CursorShape::None: break;
    }
    return Qt::ArrowCursor;
}

// The face and text colours of a hard key button in a drawing state.
QString HardKeyStyle(int state) {
    switch (state) {
        case kStateSelected: return QStringLiteral("background-color: rgb(255,0,0); color: rgb(255,255,255);");
        case kStatePressed: return QStringLiteral("background-color: rgb(0,0,255); color: rgb(255,255,0);");
        case 400: return QStringLiteral("background-color: rgb(255,255,0); color: rgb(255,0,0);");
        default: return QStringLiteral("background-color: rgb(192,192,192); color: rgb(0,0,0);");
    }
}

// What a key picture is drawn from: a change in any of these redraws it.
std::string DrawnFrom(const KeyInfo& k, int state, bool transparent) {
    std::string s;
    s.reserve(32 + k.label.size());
    for (int v : {int(k.size), int(k.flags), int(k.keyType), int(k.column), int(k.row), int(k.width), int(k.height),
                  int(k.ownerDevice), int(k.keyNumber), state, int(transparent)})
        s += std::to_string(v) + ',';
    s.append(k.label.begin(), k.label.end());
    return s;
}

// The picture with its white pixels let through, so the grid shows.
QImage SeeThrough(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF) line[x] = 0;
    }
    return out;
}

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

    m_keyTView = new QTreeWidget(this);
    m_keyTView->setObjectName(QStringLiteral("m_keyTView"));
    m_keyTView->setAccessibleName(QStringLiteral("Keys"));
    m_keyTView->setHeaderHidden(true);
    m_keyTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_keyTView->setMinimumWidth(120);
    m_keyTView->setMaximumWidth(180);
    m_keyTView->viewport()->installEventFilter(this);
    connect(m_keyTView, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* node) { m_keyTViewMouseDown(node, Qt::LeftButton); });
    body->addWidget(m_keyTView, 0);

    m_RightPal = new QWidget(this);
    m_RightPal->setObjectName(QStringLiteral("m_RightPal"));
    auto* right = new QHBoxLayout(m_RightPal);
    right->setContentsMargins(0, 0, 0, 0);
    body->addWidget(m_RightPal, 1);

    auto* lcdColumn = new QVBoxLayout;
    right->addLayout(lcdColumn);

    // The LCD: the panel, the picture inside it, the selection frame and
    // the key pictures on the picture.
    m_SoftKeyPal = new QFrame(m_RightPal);
    m_SoftKeyPal->setObjectName(QStringLiteral("m_SoftKeyPal"));
    m_SoftKeyPal->setAccessibleName(QStringLiteral("LCD"));
    m_SoftKeyPal->setFixedSize(kLcdPanelWidth, kLcdPanelHeight);
    m_SoftKeyPal->setFrameShape(QFrame::Box);
    m_SoftKeyPal->setLineWidth(1);
    m_SoftImg = new QLabel(m_SoftKeyPal);
    m_SoftImg->setObjectName(QStringLiteral("m_SoftImg"));
    m_SoftImg->setAccessibleName(QStringLiteral("Soft keys"));
    m_SoftImg->setGeometry(1, 1, kLcdPictureWidth, kLcdPictureHeight);
    m_SoftImg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_SoftImg->setFocusPolicy(Qt::StrongFocus);
    m_SoftImg->installEventFilter(this);
    selectionFrame_ = new QFrame(m_SoftImg);
    selectionFrame_->setObjectName(QStringLiteral("selectionFrame"));
    selectionFrame_->setFrameShape(QFrame::NoFrame);
    selectionFrame_->setAutoFillBackground(true);
    QPalette white = selectionFrame_->palette();
    white.setColor(QPalette::Window, Qt::white);
    selectionFrame_->setPalette(white);
    selectionFrame_->hide();
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

void TSoftLCDFm::BuildHardKeys() {
    m_HardKeyPal = new QWidget(m_RightPal);
    m_HardKeyPal->setObjectName(QStringLiteral("m_HardKeyPal"));
    m_HardKeyPal->setAccessibleName(QStringLiteral("Hard keys"));
    auto* grid = new QGridLayout(m_HardKeyPal);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(2);
    auto place = [&](QPushButton* b, int row, int column) {
        b->setMinimumWidth(48);
        grid->addWidget(b, row, column);
    };
    for (int k = 0; k < kHardKeyCount; ++k) {
        m_SBtn[k] = new QPushButton(QString::fromLatin1(kHardKeyNames[k]), m_HardKeyPal);
        m_SBtn[k]->setObjectName(QStringLiteral("m_SBtn%1").arg(k, 2, 10, QLatin1Char('0')));
        m_SBtn[k]->setAccessibleName(QString::fromLatin1(kHardKeyNames[k]));
        m_SBtn[k]->setToolTip(QStringLiteral("Key %1, hard key %2").arg(k).arg(QString::fromLatin1(kHardKeyNames[k])));
        m_SBtn[k]->setFocusPolicy(Qt::NoFocus);
        m_SBtn[k]->installEventFilter(this);
        hardStates_[k] = kStateNormal;
        m_SBtn[k]->setStyleSheet(HardKeyStyle(kStateNormal));
    }
    auto* light = new QPushButton(QStringLiteral("Light"), m_HardKeyPal);
    light->setObjectName(QStringLiteral("m_LightBtn"));
    light->setAccessibleName(QStringLiteral("Light"));
    light->setEnabled(false);
    auto* menu = new QPushButton(QStringLiteral("Menu"), m_HardKeyPal);
    menu->setObjectName(QStringLiteral("m_MenuBtn"));
    menu->setAccessibleName(QStringLiteral("Menu"));
    menu->setEnabled(false);
    place(m_SBtn[5], 0, 0);  // Mute
    place(light, 0, 1);
    place(m_SBtn[0], 0, 2);  // Power
    place(m_SBtn[2], 1, 0);  // Vol -
    place(menu, 1, 1);
    place(m_SBtn[1], 1, 2);  // Vol +
    place(m_SBtn[3], 2, 1);  // Ch +
    place(m_SBtn[4], 3, 1);  // Ch -
}

void TSoftLCDFm::BuildStepPanel() {
    m_MStepPal = new QWidget(m_RightPal);
    m_MStepPal->setObjectName(QStringLiteral("m_MStepPal"));
    m_MStepPal->setAccessibleName(QStringLiteral("Macro steps"));
    auto* grid = new QGridLayout(m_MStepPal);
    grid->setContentsMargins(0, 0, 0, 0);
    m_StepLbe = new QLabel(m_MStepPal);
    m_StepLbe->setObjectName(QStringLiteral("m_StepLbe"));
    m_StepLbe->setAccessibleName(QStringLiteral("Step"));
    m_TotalLbe = new QLabel(m_MStepPal);
    m_TotalLbe->setObjectName(QStringLiteral("m_TotalLbe"));
    m_TotalLbe->setAccessibleName(QStringLiteral("Total"));
    m_DelayCBox = new QComboBox(m_MStepPal);
    m_DelayCBox->setObjectName(QStringLiteral("m_DelayCBox"));
    m_DelayCBox->setAccessibleName(QStringLiteral("Delay"));
    m_DelayCBox->setEditable(true);
    for (const std::string& item : DelayItems()) m_DelayCBox->addItem(QString::fromStdString(item));
    connect(m_DelayCBox, &QComboBox::currentTextChanged, this, [this] { m_DelayCBoxChange(); });
    m_UpBtn = new QPushButton(QStringLiteral("Up"), m_MStepPal);
    m_UpBtn->setObjectName(QStringLiteral("m_UpBtn"));
    m_UpBtn->setAccessibleName(QStringLiteral("Up"));
    m_DownBtn = new QPushButton(QStringLiteral("Down"), m_MStepPal);
    m_DownBtn->setObjectName(QStringLiteral("m_DownBtn"));
    m_DownBtn->setAccessibleName(QStringLiteral("Down"));
    connect(m_UpBtn, &QPushButton::clicked, this, [this] { m_UpBtnClick(); });
    connect(m_DownBtn, &QPushButton::clicked, this, [this] { m_DownBtnClick(); });
    auto* delayLabel = new QLabel(QStringLiteral("Delay (sec):"), m_MStepPal);
    delayLabel->setBuddy(m_DelayCBox);
    grid->addWidget(m_StepLbe, 0, 0);
    grid->addWidget(m_TotalLbe, 0, 1);
    grid->addWidget(delayLabel, 1, 0);
    grid->addWidget(m_DelayCBox, 1, 1);
    grid->addWidget(m_UpBtn, 2, 0);
    grid->addWidget(m_DownBtn, 2, 1);
    ShowStepCounters();
}

void TSoftLCDFm::BuildDevicePanel() {
    m_DevPal = new QWidget(m_RightPal);
    m_DevPal->setObjectName(QStringLiteral("m_DevPal"));
    auto* column = new QVBoxLayout(m_DevPal);
    column->setContentsMargins(0, 0, 0, 0);
    m_TreeCbox = new QComboBox(m_DevPal);
    m_TreeCbox->setObjectName(QStringLiteral("m_TreeCbox"));
    m_TreeCbox->setAccessibleName(QStringLiteral("Device"));
    m_devTView = new QTreeWidget(m_DevPal);
    m_devTView->setObjectName(QStringLiteral("m_devTView"));
    m_devTView->setAccessibleName(QStringLiteral("Devices"));
    m_devTView->setHeaderHidden(true);
    m_devTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(m_TreeCbox);
    column->addWidget(m_devTView, 1);

    const QIcon device(TreePictureAt(kTreeDevice));
    auto* root = new QTreeWidgetItem(m_devTView, QStringList(QStringLiteral("Home ")));
    root->setIcon(0, device);
    root->setData(0, kSlotRole, kHomeSlot);
    m_TreeCbox->addItem(device, QStringLiteral("Home "), kHomeSlot);
    std::vector<QTreeWidgetItem*> parents{root};
    for (const DeviceTreeNode& node : BuildDeviceTree(services_.flash)) {
        parents.resize(size_t(node.depth));
        auto* item = new QTreeWidgetItem(parents.back(), QStringList(QString::fromStdString(node.text)));
        item->setIcon(0, device);
        item->setData(0, kSlotRole, int(node.key.link));
        parents.push_back(item);
        m_TreeCbox->addItem(device, QString(node.depth * 2, QLatin1Char(' ')) + QString::fromStdString(node.text),
                            int(node.key.link));
    }
    m_devTView->expandAll();
    connect(m_devTView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { m_devTViewClick(node); });
    connect(m_TreeCbox, qOverload<int>(&QComboBox::activated), this, [this](int index) { m_TreeCboxChange(index); });
}

void TSoftLCDFm::BuildMenus() {
    m_SoftKeyPMenu = new QMenu(this);
    m_SoftKeyPMenu->setObjectName(QStringLiteral("m_SoftKeyPMenu"));
    auto item = [this](QMenu* menu, const char* name, const char* caption, auto command) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
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

bool TSoftLCDFm::RecordForSlot(int device, KeyInfo& record, QString& name) const {
    if (device == kHomeSlot || device == kMacroSlot) {
        KeyInfo k;
        k.size = 2;
        k.page = kHardKeyPage;
        k.flags = 11;
        k.keyType = kKeyDevice;
        k.width = 2;
        k.height = 2;
        k.link = uint8_t(device);
        k.SetLabel(std::string(device == kHomeSlot ? "Home " : "Macro"));
        record = k;
        name = device == kHomeSlot ? QStringLiteral("Home ") : QStringLiteral("Macro");
        return true;
    }
    for (const DeviceTreeNode& node : BuildDeviceTree(services_.flash))
        if (node.key.link == device) {
            record = node.key;
            name = QString::fromStdString(DeviceNameText(node.key.label));
            return true;
        }
    return false;
}

bool TSoftLCDFm::LoadDeviceAndSelect(int device, int keyNumber) {
    if (device < 0 || device > kMacroSlot || keyNumber < 0 || keyNumber >= kKeysPerDevice) return false;
    if (device != slot_) {
        KeyInfo record;
        QString name;
        if (!RecordForSlot(device, record, name) || !LoadSlot(device, record, name)) return false;
    }
    return SelectKeyOnPage(keyNumber, kStateSelected);
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
// Showing the layout

QWidget* TSoftLCDFm::SoftImage() const { return m_SoftImg; }

QLabel* TSoftLCDFm::KeyPicture(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it == pictures_.end() ? nullptr : it->second.label;
}

int TSoftLCDFm::KeyState(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it == pictures_.end() ? 0 : it->second.state;
}

bool TSoftLCDFm::KeyTransparent(int keyNumber) const {
    auto it = pictures_.find(keyNumber);
    return it != pictures_.end() && it->second.transparent;
}

QPushButton* TSoftLCDFm::HardKeyButton(int keyNumber) const {
    return keyNumber >= 0 && keyNumber < kHardKeyCount ? m_SBtn[keyNumber] : nullptr;
}

int TSoftLCDFm::HardKeyState(int keyNumber) const {
    auto it = hardStates_.find(keyNumber);
    return it == hardStates_.end() ? 0 : it->second;
}

QString TSoftLCDFm::StatusText() const { return m_StatusBar->currentMessage(); }

void TSoftLCDFm::Say(const QString& text) { m_StatusBar->showMessage(text); }

int TSoftLCDFm::StateOf(int keyNumber) const {
    if (keyNumber == pressedKey_) return kStatePressed;
    return keyNumber == layout_->Selected() ? kStateSelected : kStateNormal;
}

void TSoftLCDFm::DrawPicture(int keyNumber, Picture& picture, const LayoutKey& key, int state, bool force) {
    const bool transparent = transparent_ && keyNumber >= kFirstSoftKey && keyNumber <= kLastSoftKey;
    std::string drawn = DrawnFrom(key.info, state, transparent);
    if (!force && drawn == picture.drawn) return;
    const EditorRect r = KeyRect(key.info);
    picture.image = QImage(r.width, r.height, QImage::Format_RGB32);
    picture.image.fill(Qt::white);
    DrawKey(services_.flash, key.info, state, picture.image);
    picture.label->setPixmap(QPixmap::fromImage(transparent ? SeeThrough(picture.image) : picture.image));
    picture.drawn = std::move(drawn);
    picture.state = state;
    picture.transparent = transparent;
}

void TSoftLCDFm::DrawLcd() {
    const int page = layout_->Page();
    lcd_ = QImage(kLcdPictureWidth, kLcdPictureHeight, QImage::Format_RGB32);
    lcd_.fill(Qt::white);
    {
        QPainter p(&lcd_);
        for (const LcdLine& line : EmptyLcdLines(gridShown_)) {
            p.setPen(ToQColor(line.colour));
            p.drawLine(line.x1, line.y1, line.x2, line.y2);
        }
        if (!pageStrip_.isNull()) p.drawImage(kPageStripAt.x, kPageStripAt.y, pageStrip_);
        if (page >= 0 && page < kLcdPages) {
            QFont font(QStringLiteral("Arial"));
            font.setPixelSize(kPageLabelCharHeight);
            p.setFont(font);
            p.setPen(Qt::blue);
            p.drawText(QRect(kPageLabelAt.x, kPageLabelAt.y, 60, kPageLabelCharHeight + 8),
                       Qt::AlignLeft | Qt::AlignTop, QString::fromStdString(layout_->PageLabel()));
        }
    }
    DrawTitle(services_.flash, record_.label, kStateNormal, lcd_);
    m_SoftImg->setPixmap(QPixmap::fromImage(lcd_));
    shownPage_ = page;
}

void TSoftLCDFm::SyncFromLayout() {
    const int page = layout_->Page();
    // Pictures: one per key, stacked in drawing order, shown on their page.
    std::map<int, Picture> kept;
    for (size_t i = 0; i < layout_->KeyCount(); ++i) {
        const LayoutKey& key = layout_->KeyAt(i);
        const int number = key.Number();
        Picture picture;
        auto it = pictures_.find(number);
        if (it != pictures_.end()) {
            picture = std::move(it->second);
            pictures_.erase(it);
        } else {
            picture.label = new QLabel(m_SoftImg);
            picture.label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            picture.label->setMouseTracking(true);
            picture.label->setFocusPolicy(Qt::NoFocus);
            picture.label->setProperty("keyNumber", number);
            picture.label->installEventFilter(this);
        }
        DrawPicture(number, picture, key, StateOf(number));
        if (number != dragKey_) picture.label->setGeometry(ToQRect(KeyPictureRect(key.info)));
        picture.label->setAccessibleName(KeyName(key.info));
        picture.label->setToolTip(QStringLiteral("Key %1, %2, %3")
                                      .arg(number)
                                      .arg(TypeName(key.info.keyType))
                                      .arg(LabelText(key.info)));
        picture.label->setVisible(key.info.page == page);
        picture.label->raise();
        kept.emplace(number, std::move(picture));
    }
    for (auto& [number, gone] : pictures_) {
        gone.label->hide();
        gone.label->deleteLater();  // it may be the one whose event is being handled
    }
    pictures_ = std::move(kept);
    // A key put down by the mouse lies on top, as it was while it moved.
    if (auto it = pictures_.find(topKey_); it != pictures_.end()) it->second.label->raise();
    if (dragKey_ >= 0) {
        if (auto it = pictures_.find(dragKey_); it != pictures_.end()) {
            selectionFrame_->raise();
            it->second.label->raise();
        }
    }
    // Hard keys: the selected one red, the rest silver.
    for (int k = 0; k < kHardKeyCount; ++k)
        if (hardStates_[k] != kStatePressed) PutHardKeyState(k, k == layout_->Selected() ? kStateSelected : kStateNormal);
    DrawLcd();
    RebuildKeyTree();
    ShowSelectionStatus();
}

void TSoftLCDFm::PutHardKeyState(int keyNumber, int state) {
    if (keyNumber < 0 || keyNumber >= kHardKeyCount) return;
    if (hardStates_[keyNumber] == state) return;
    hardStates_[keyNumber] = state;
    m_SBtn[keyNumber]->setStyleSheet(HardKeyStyle(state));
}

void TSoftLCDFm::RebuildKeyTree() {
    const QSignalBlocker block(m_keyTView);
    m_keyTView->clear();
    auto* root = new QTreeWidgetItem(m_keyTView, QStringList(name_));
    root->setIcon(0, QIcon(TreePictureAt(kTreeDevice)));
    root->setData(0, kKeyRole, kNoKey);
    const int selected = layout_->Selected();
    for (size_t i = 0; i < layout_->KeyCount(); ++i) {
        const KeyInfo& k = layout_->KeyAt(i).info;
        auto* node = new QTreeWidgetItem(root, QStringList(KeyListText(k)));
        node->setIcon(0, QIcon(TreePictureAt(TreePictureOf(k.keyType, layout_->IsMacroDevice()))));
        node->setData(0, kKeyRole, int(k.keyNumber));
        node->setToolTip(0, QStringLiteral("Key %1, %2").arg(k.keyNumber).arg(TypeName(k.keyType)));
        if (k.keyNumber == selected) m_keyTView->setCurrentItem(node);
    }
    m_keyTView->expandAll();
}

void TSoftLCDFm::ShowSelectionStatus() {
    const LayoutKey* key = layout_->SelectedKey();
    if (!key) {
        Say(QStringLiteral("Page %1 of %2").arg(layout_->Page() + 1).arg(kLcdPages));
        return;
    }
    const KeyInfo& k = key->info;
    if (k.keyNumber < kHardKeyCount) {
        Say(QStringLiteral("%1: hard key").arg(KeyName(k)));
        return;
    }
    Say(QStringLiteral("%1: column %2, row %3, %4 x %5 cells, page %6")
            .arg(KeyName(k))
            .arg(k.column)
            .arg(k.row)
            .arg(k.width)
            .arg(k.height)
            .arg(k.page + 1));
}

void TSoftLCDFm::ShowPage(int page) {
    if (!layout_->ShowPage(page)) return;
    SyncFromLayout();
}

bool TSoftLCDFm::SelectKeyOnPage(int keyNumber, int state) {
    if (!layout_->Select(keyNumber)) return false;
    const LayoutKey* key = layout_->SelectedKey();
    if (key->info.page < kLcdPages) layout_->ShowPage(key->info.page);
    SyncFromLayout();
    if (auto it = pictures_.find(keyNumber); it != pictures_.end() && state != it->second.state)
        DrawPicture(keyNumber, it->second, *key, state);
    if (keyNumber < kHardKeyCount) PutHardKeyState(keyNumber, state);
    return true;
}

// ---------------------------------------------------------------------------
// The mouse

bool TSoftLCDFm::PressSelects() const {
    return mode_ == ModeNormal || mode_ == ModeStepEdit || mode_ == ModeMacroDevice || mode_ == ModeHomeDevice;
}

bool TSoftLCDFm::EditingMode() const {
    return mode_ == ModeNormal || mode_ == ModeMacroDevice || mode_ == ModeHomeDevice;
}

bool TSoftLCDFm::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == m_keyTView->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            auto* me = static_cast<QMouseEvent*>(event);
            m_keyTViewMouseDown(m_keyTView->itemAt(me->position().toPoint()), me->button());
        }
        return QWidget::eventFilter(watched, event);
    }
    if (watched == m_SoftImg) {
        if (type == QEvent::MouseButtonPress) {
            LcdMouseDown(static_cast<QMouseEvent*>(event));
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    for (int k = 0; k < kHardKeyCount; ++k) {
        if (watched != m_SBtn[k]) continue;
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
            auto* me = static_cast<QMouseEvent*>(event);
            HardKeyMouseDown(k, me->button(), me->globalPosition().toPoint());
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            HardKeyMouseUp(k);
            return true;
        }
        return QWidget::eventFilter(watched, event);
    }
    auto* label = qobject_cast<QLabel*>(watched);
    if (label && label->parent() == m_SoftImg && label->property("keyNumber").isValid()) {
        const int number = label->property("keyNumber").toInt();
        // Only mouse events are mouse events: the cast waits for the type.
        auto mouse = [event] { return static_cast<QMouseEvent*>(event); };
        switch (type) {
            case QEvent::MouseButtonPress: KeyMouseDown(number, mouse()); return true;
            case QEvent::MouseMove: KeyMouseMove(number, mouse()); return true;
            case QEvent::MouseButtonRelease: KeyMouseUp(number, mouse()); return true;
            case QEvent::MouseButtonDblClick:
                if (mouse()->button() == Qt::LeftButton && EditingMode()) {
                    SelectKey(number);
                    m_PropertiesItClick();
                }
                return true;
            default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSoftLCDFm::SelectKey(int keyNumber) {
    const int before = layout_->Selected();
    if (before == keyNumber) return;
    layout_->Select(keyNumber);
    // The previous selection goes back to normal at once.
    if (auto it = pictures_.find(before); it != pictures_.end()) {
        if (const LayoutKey* k = layout_->FindKey(before)) DrawPicture(before, it->second, *k, kStateNormal);
    }
    if (before >= 0 && before < kHardKeyCount) PutHardKeyState(before, kStateNormal);
}

void TSoftLCDFm::KeyMouseDown(int keyNumber, QMouseEvent* event) {
    m_SoftImg->setFocus(Qt::MouseFocusReason);
    auto it = pictures_.find(keyNumber);
    const LayoutKey* key = layout_->FindKey(keyNumber);
    if (it == pictures_.end() || !key) return;
    QLabel* picture = it->second.label;
    if (event->button() == Qt::LeftButton) {
        if (!PressSelects()) return;
        SelectKey(keyNumber);
        if (mode_ == ModeStepEdit) {
            RecordStepFor(keyNumber);
            if (closing_) return;
        }
        if (MovingAllowed()) {
            const EditorRect rect = ToEditorRect(picture->geometry());
            const KeyInfo& k = key->info;
            layout_->BeginUndoGroup();
            drag_.Begin(rect, {int(event->position().x()), int(event->position().y())},
                        {event->globalPosition().toPoint().x(), event->globalPosition().toPoint().y()},
                        KeyCells{k.column, k.row, k.width, k.height});
            dragKey_ = keyNumber;
            selectionFrame_->setGeometry(ToQRect(drag_.Frame()));
            selectionFrame_->show();
            selectionFrame_->raise();
            picture->raise();
        }
        pressedKey_ = keyNumber;
        DrawPicture(keyNumber, it->second, *key, kStatePressed);
        RebuildKeyTree();
        ShowSelectionStatus();
        return;
    }
    if (event->button() == Qt::RightButton) {
        SelectKey(keyNumber);
        // A right press snaps the key where it lies; no drag follows.
        const DragEnd end = KeyDrag::SnapPicture(ToEditorRect(picture->geometry()));
        layout_->SetCells(keyNumber, end.cells);
        SyncFromLayout();
        if (softMenuAttached_) PopUpSoftKeyMenu(keyNumber, event->globalPosition().toPoint());
    }
}

void TSoftLCDFm::KeyMouseMove(int keyNumber, QMouseEvent* event) {
    auto it = pictures_.find(keyNumber);
    if (it == pictures_.end()) return;
    QLabel* picture = it->second.label;
    const QPoint at = event->position().toPoint();
    if (!(event->buttons() & Qt::LeftButton) || !drag_.Active() || keyNumber != dragKey_) {
        if (MovingAllowed() && !drag_.Active())
            picture->setCursor(ToQtCursor(CursorOfZone(ZoneOf(at.x(), at.y(), picture->width(), picture->height()))));
        return;
    }
    const DragStep step = drag_.Move({at.x(), at.y()});
    if (!step.applied) return;
    selectionFrame_->setGeometry(ToQRect(step.frame));
    picture->setGeometry(ToQRect(step.picture));
    if (step.cellsChanged && layout_->SetCells(keyNumber, step.cells).ok()) ShowSelectionStatus();
    if (step.resized) {
        // The picture takes the frame's size; the key is drawn at the cells
        // it snaps to, on white.
        if (const LayoutKey* key = layout_->FindKey(keyNumber)) DrawPicture(keyNumber, it->second, *key, kStateSelected);
    }
    if (step.cursorTo) {
        const QPoint to(step.cursorTo->x, step.cursorTo->y);
        if (QCursor::pos() != to) QCursor::setPos(to);
    }
}

void TSoftLCDFm::KeyMouseUp(int keyNumber, QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (drag_.Active() && keyNumber == dragKey_) {
        const DragEnd end = drag_.End();
        selectionFrame_->hide();
        layout_->SetCells(keyNumber, end.cells);
        layout_->EndUndoGroup();
        dragKey_ = kNoKey;
        topKey_ = keyNumber;
        if (auto it = pictures_.find(keyNumber); it != pictures_.end()) {
            it->second.label->setGeometry(ToQRect(end.picture));
            it->second.label->unsetCursor();
        }
    }
    if (pressedKey_ == keyNumber) pressedKey_ = kNoKey;
    SyncFromLayout();
}

bool TSoftLCDFm::CancelDrag() {
    if (!drag_.Active()) return false;
    drag_.End();
    selectionFrame_->hide();
    layout_->EndUndoGroup();
    dragKey_ = kNoKey;
    pressedKey_ = kNoKey;
    return true;
}

void TSoftLCDFm::LcdMouseDown(QMouseEvent* event) {
    m_SoftImg->setFocus(Qt::MouseFocusReason);
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        if (layout_->ClickLcd(at.x(), at.y())) SyncFromLayout();
        return;
    }
    if (event->button() == Qt::RightButton && softMenuAttached_) PopUpSoftKeyMenu(kNoKey, event->globalPosition().toPoint());
}

void TSoftLCDFm::PopUpSoftKeyMenu(int keyNumber, const QPoint& globalPos) {
    ApplyMenuEnabling(layout_->MenuFor(keyNumber));
    m_SoftKeyPMenu->popup(globalPos);
}

void TSoftLCDFm::ApplyMenuEnabling(const MenuEnabling& m) {
    menuCode_ = m.code;
    MenuItem(QStringLiteral("m_AddButtonIt"))->setEnabled(m.addButton);
    MenuItem(QStringLiteral("m_PropertiesIt"))->setEnabled(m.properties);
    for (const char* name : {"m_CutIt", "m_CopyIt", "m_DeleteIt", "m_MoveToIt", "m_SequenceIt"})
        MenuItem(QString::fromLatin1(name))->setEnabled(m.cutCopyDelete);
    MenuItem(QStringLiteral("m_PasteIt"))->setEnabled(m.paste);
    MenuItem(QStringLiteral("m_LoadPreCodeIt"))->setEnabled(m.loadPreProgramCode);
    MenuItem(QStringLiteral("m_AddDeviceIt"))->setEnabled(m.addDevice);
}

void TSoftLCDFm::HardKeyMouseDown(int keyNumber, Qt::MouseButton button, const QPoint& globalPos) {
    if (!m_HardKeyPal->isEnabled()) return;
    if (!layout_->FindKey(keyNumber)) return;
    SelectKey(keyNumber);
    if (mode_ == ModeStepEdit) {
        RecordStepFor(keyNumber);
        if (closing_) return;
    }
    if (button == Qt::LeftButton) {
        PutHardKeyState(keyNumber, kStatePressed);
    } else if (button == Qt::RightButton) {
        PutHardKeyState(keyNumber, kStateSelected);
        RebuildKeyTree();
        ShowSelectionStatus();
        if (hardMenuAttached_) m_HardKeyPMenu->popup(globalPos);
        return;
    }
    RebuildKeyTree();
    ShowSelectionStatus();
}

void TSoftLCDFm::HardKeyMouseUp(int keyNumber) {
    if (hardStates_[keyNumber] == kStatePressed) PutHardKeyState(keyNumber, kStateSelected);
}

void TSoftLCDFm::m_keyTViewMouseDown(QTreeWidgetItem* node, Qt::MouseButton button) {
    if (!node || (button != Qt::LeftButton && button != Qt::RightButton)) return;
    const QVariant v = node->data(0, kKeyRole);
    if (!v.isValid() || v.toInt() < 0) return;
    const int number = v.toInt();
    const LayoutKey* key = layout_->FindKey(number);
    if (!key) return;
    SelectKey(number);
    if (mode_ == ModeStepEdit) {
        RecordStepFor(number);
        if (closing_) return;
    }
    if (key->info.page < kLcdPages) layout_->ShowPage(key->info.page);
    SyncFromLayout();
}

void TSoftLCDFm::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Left: MoveSelectedBy(-1, 0); return;
        case Qt::Key_Right: MoveSelectedBy(1, 0); return;
        case Qt::Key_Up: MoveSelectedBy(0, -1); return;
        case Qt::Key_Down: MoveSelectedBy(0, 1); return;
        case Qt::Key_PageUp:
            ShowPage(StepPage(layout_->Page(), PageStripHit::Previous));
            return;
        case Qt::Key_PageDown:
            ShowPage(StepPage(layout_->Page(), PageStripHit::Next));
            return;
        default: break;
    }
    QWidget::keyPressEvent(event);
}

bool TSoftLCDFm::MoveSelectedBy(int columns, int rows) {
    if (!MovingAllowed() || drag_.Active()) return false;
    const LayoutKey* key = layout_->SelectedKey();
    if (!key || key->Number() < kFirstSoftKey) return false;
    const KeyInfo& k = key->info;
    const KeyCells cells = ClampKeyCells(k.column + columns, k.row + rows, k.width, k.height);
    const LayoutOutcome out = layout_->SetCells(k.keyNumber, cells);
    SyncFromLayout();
    return out.ok();
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

// ---------------------------------------------------------------------------
// Macro steps

bool TSoftLCDFm::SetStepCursor(const MacroStepCursor& cursor) {
    if (!StepCursorAcceptable(cursor)) return false;
    cursor_ = cursor;
    ShowStepCounters();
    return true;
}

void TSoftLCDFm::ShowStepCounters() {
    m_StepLbe->setText(QStringLiteral("Step: %1").arg(cursor_.step));
    m_TotalLbe->setText(QStringLiteral("Total: %1").arg(cursor_.total));
    // A screen reader reads the counters as they are shown.
    m_StepLbe->setAccessibleName(m_StepLbe->text());
    m_TotalLbe->setAccessibleName(m_TotalLbe->text());
    const QSignalBlocker block(m_DelayCBox);
    m_DelayCBox->setCurrentText(cursor_.delay == 0 ? QStringLiteral("0.5") : QString::number(cursor_.delay));
    m_UpBtn->setEnabled(cursor_.operation != kStepEdit);
    m_DownBtn->setEnabled(cursor_.operation != kStepEdit);
}

void TSoftLCDFm::RecordStepFor(int keyNumber) {
    if (mode_ != ModeStepEdit) return;
    const int delay = DelayOfRecordedText(m_DelayCBox->currentText().toStdString());
    const StepRecordOutcome out = RecordStep(cursor_, slot_, keyNumber, delay);
    switch (out.result) {
        case StepRecord::OutOfSteps:
            services_.ui.ShowMessage({kOutOfStepsText, {}, MsgIcon::Warning, MsgButtons::Yes});
            m_SaveBtnClick();
            return;
        case StepRecord::Handed:
            if (services_.steps) services_.steps->TakeStep(out.handed);
            if (out.countersMoved) ShowStepCounters();
            layout_->MarkModified();
            return;
        case StepRecord::Ignored: return;
    }
}

void TSoftLCDFm::m_DelayCBoxChange() {
    const std::string trimmed = TrimmedDelayText(m_DelayCBox->currentText().toStdString());
    cursor_.delay = uint8_t(DelayOfChangedText(trimmed));
    if (services_.steps) services_.steps->SetStepDelayText(cursor_.step, trimmed);
    m_SaveBtn->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
}

void TSoftLCDFm::StepTo(int direction) {
    if (!MoveStepCursor(cursor_, direction)) return;
    MacroStepCursor fetched = cursor_;
    if (services_.steps && services_.steps->FetchStep(cursor_.step, fetched)) {
        cursor_.device = fetched.device;
        cursor_.key = fetched.key;
        cursor_.delay = fetched.delay;
        LoadDeviceAndSelect(cursor_.device, cursor_.key);
    }
    ShowStepCounters();
}

void TSoftLCDFm::m_UpBtnClick() { StepTo(-1); }
void TSoftLCDFm::m_DownBtnClick() { StepTo(+1); }

// ---------------------------------------------------------------------------
// The device tree of step windows

void TSoftLCDFm::m_devTViewClick(QTreeWidgetItem* node) {
    if (!node) return;
    const QVariant v = node->data(0, kSlotRole);
    if (!v.isValid()) return;
    const int device = v.toInt();
    if (device == slot_) return;
    if (device != kHomeSlot && (device < 1 || device > 64)) return;
    KeyInfo record;
    QString name;
    if (RecordForSlot(device, record, name)) LoadSlot(device, record, name);
}

void TSoftLCDFm::m_TreeCboxChange(int index) {
    if (index < 0) return;
    const int device = m_TreeCbox->itemData(index).toInt();
    if (device == slot_) return;
    if (device != kHomeSlot && (device < 1 || device > 64)) return;
    KeyInfo record;
    QString name;
    if (RecordForSlot(device, record, name)) LoadSlot(device, record, name);
}

}  // namespace orvalink
