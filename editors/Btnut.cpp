#include "editors/Btnut.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "editors/BtnIrSession.h"
#include "image/DeviceBundle.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;
using btnui::NumberIn;

namespace {

const char* const kPageCaptions[] = {"Attribute", "Code", "Macro", "Timer", "Cycle", "Label"};
const char* const kRadioCaptions[] = {"", "Label", "IR Code", "Device", "Macro", "Cycle"};

}  // namespace

TBtnFm::TBtnFm(BtnServices services, QWidget* parent)
    : QWidget(parent, Qt::Window), services_(std::move(services)) {
    setObjectName(QStringLiteral("TBtnFm"));
    setAccessibleName(QStringLiteral("Button Properties"));
    setWindowTitle(QStringLiteral("Button Properties"));
    BuildWindow();
    ClearEditors();
}

TBtnFm::~TBtnFm() {
    // The pages go after this window's own parts: no page change of theirs
    // reaches it any more.
    if (m_PageCtl) m_PageCtl->disconnect(this);
    if (session_) session_->learningChanged = nullptr;
    if (loop_) loop_->exit(0);
}

// ---------------------------------------------------------------------------
// Building

void TBtnFm::BuildWindow() {
    auto* top = new QVBoxLayout(this);
    m_StatusBar = Named(new QStatusBar(this), QStringLiteral("m_StatusBar"), QStringLiteral("Status"));
    m_StatusBar->setSizeGripEnabled(false);
    session_ = new BtnIrSession(services_.link, *m_StatusBar, this);
    session_->learningChanged = [this](bool learning) { SetLearningControls(learning); };
    m_PageCtl = Named(new QTabWidget(this), QStringLiteral("m_PageCtl"), QStringLiteral("Pages"));
    BuildPages();
    connect(m_PageCtl, &QTabWidget::currentChanged, this, [this](int) {
        if (session_->Learning()) session_->End();  // another page leaves learning mode
    });
    top->addWidget(m_PageCtl, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_OkBtn = Button(this, QStringLiteral("m_OkBtn"), QStringLiteral("OK"));
    m_CancelBtn = Button(this, QStringLiteral("m_CancelBtn"), QStringLiteral("Cancel"));
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    top->addLayout(buttons);
    top->addWidget(m_StatusBar);
    resize(800, 560);
}

void TBtnFm::BuildPages() {
    m_AttrSht = BuildAttributePage();
    codePage_ = new TBtnCodePage(open_, *session_, services_, *m_StatusBar, this);
    TBtnMacroPage::Window window;
    window.stepAside = [this] {
        SetMainEnabled(true);
        hide();
    };
    window.comeBack = [this] { ShowKeyEditor(); };
    macroPage_ = new TBtnMacroPage(open_, services_, *m_StatusBar, std::move(window), this);
    cyclePage_ = new TBtnCyclePage(open_, *session_, services_, *m_StatusBar,
                                   [this](const IrCodeInfo& code) { codePage_->ShowCodeValues(code); }, this);
    labelPage_ = new TBtnLabelPage(open_, services_, *m_StatusBar, [this] { return m_shapeR1->isChecked(); }, this);
    m_CodeSht = codePage_;
    m_MacroSht = macroPage_;
    m_TimerSht = macroPage_->TimerSheet();
    m_CycleSht = cyclePage_;
    m_LabelSht = labelPage_;
    QWidget* pages[] = {m_AttrSht, m_CodeSht, m_MacroSht, m_TimerSht, m_CycleSht, m_LabelSht};
    for (int i = 0; i < 6; ++i) {
        pages[i]->setAccessibleName(QString::fromLatin1(kPageCaptions[i]));
        m_PageCtl->addTab(pages[i], QString::fromLatin1(kPageCaptions[i]));
    }
}

QWidget* TBtnFm::BuildAttributePage() {
    auto* page = new QWidget(this);
    page->setObjectName(QStringLiteral("m_AttrSht"));
    auto* layout = new QHBoxLayout(page);
    auto* typeBox = Named(new QGroupBox(QStringLiteral("Type"), page), QStringLiteral("m_TypeGBox"),
                          QStringLiteral("Type"));
    auto* typeLayout = new QVBoxLayout(typeBox);
    typeGroup_ = new QButtonGroup(this);
    for (int i = kRadioLabel; i <= kRadioCycle; ++i) {
        m_R[i] = Named(new QRadioButton(QString::fromLatin1(kRadioCaptions[i]), typeBox),
                       QStringLiteral("m_R0%1").arg(i), QString::fromLatin1(kRadioCaptions[i]));
        typeGroup_->addButton(m_R[i], i);
        typeLayout->addWidget(m_R[i]);
    }
    typeLayout->addStretch(1);
    connect(typeGroup_, &QButtonGroup::idClicked, this, [this](int id) { m_RadioClick(id); });
    layout->addWidget(typeBox);
    m_AttrPal = Named(new QWidget(page), QStringLiteral("m_AttrPal"), QStringLiteral("Attributes"));
    BuildAttributeGroups(m_AttrPal);
    layout->addWidget(m_AttrPal, 1);
    return page;
}

// The key number, position, shape, background and device groups of the
// attribute panel; hidden groups still carry their values into OK.
void TBtnFm::BuildAttributeGroups(QWidget* panel) {
    auto* pal = new QVBoxLayout(panel);
    pal->setContentsMargins(0, 0, 0, 0);
    m_KeyGBox = Named(new QGroupBox(QStringLiteral("Key"), panel), QStringLiteral("m_KeyGBox"), QStringLiteral("Key"));
    auto* keyForm = new QGridLayout(m_KeyGBox);
    m_keyNoCBox = Named(new QComboBox(m_KeyGBox), QStringLiteral("m_keyNoCBox"), QStringLiteral("Key function no"));
    m_keyNoCBox->setEditable(true);
    m_keyNameCBox = Named(new QComboBox(m_KeyGBox), QStringLiteral("m_keyNameCBox"),
                          QStringLiteral("Key function name"));
    m_keyNameCBox->setVisible(false);
    keyForm->addWidget(new QLabel(QStringLiteral("Key function no:"), m_KeyGBox), 0, 0);
    keyForm->addWidget(m_keyNoCBox, 0, 1);
    keyForm->addWidget(m_keyNameCBox, 1, 1);
    m_KeyGBox->setVisible(false);
    pal->addWidget(m_KeyGBox);

    auto pair = [&](QGroupBox*& box, const QString& name, const QString& title, QRadioButton*& r1,
                    const QString& n1, const QString& t1, QRadioButton*& r2, const QString& n2, const QString& t2) {
        box = Named(new QGroupBox(title, panel), name, title);
        auto* l = new QHBoxLayout(box);
        r1 = Named(new QRadioButton(t1, box), n1, t1);
        r2 = Named(new QRadioButton(t2, box), n2, t2);
        l->addWidget(r1);
        l->addWidget(r2);
        pal->addWidget(box);
    };
    pair(m_PosGBox, QStringLiteral("m_PosGBox"), QStringLiteral("Position"), m_posR1, QStringLiteral("m_posR1"),
         QStringLiteral("Right"), m_posR2, QStringLiteral("m_posR2"), QStringLiteral("Middle"));
    pair(m_ShapeGBox, QStringLiteral("m_ShapeGBox"), QStringLiteral("Shape"), m_shapeR1, QStringLiteral("m_shapeR1"),
         QStringLiteral("Rect"), m_shapeR2, QStringLiteral("m_shapeR2"), QStringLiteral("Ellipse"));
    pair(m_BackGBox, QStringLiteral("m_BackGBox"), QStringLiteral("Background"), m_backR1,
         QStringLiteral("m_backR1"), QStringLiteral("White"), m_backR2, QStringLiteral("m_backR2"),
         QStringLiteral("Black"));
    m_PosGBox->setVisible(false);
    m_BackGBox->setVisible(false);
    // An oval key has room for one line of label, a rectangle for more.
    connect(m_shapeR1, &QRadioButton::toggled, this, [this] {
        if (!loading_) labelPage_->SayLabelFit();
    });
    BuildDeviceGroup(panel);
    pal->addWidget(m_DevGBox);
    pal->addStretch(1);
}

void TBtnFm::BuildDeviceGroup(QWidget* panel) {
    m_DevGBox = Named(new QGroupBox(QStringLiteral("Device"), panel), QStringLiteral("m_DevGBox"),
                      QStringLiteral("Device"));
    auto* devForm = new QGridLayout(m_DevGBox);
    m_devNoCBox = Named(new QComboBox(m_DevGBox), QStringLiteral("m_devNoCBox"), QStringLiteral("Device No"));
    m_devNoCBox->setEditable(true);
    m_devTypeCBox = Named(new QComboBox(m_DevGBox), QStringLiteral("m_devTypeCBox"), QStringLiteral("Device Type"));
    for (const std::string& n : DeviceTypeNames()) m_devTypeCBox->addItem(QString::fromStdString(n));
    m_preCodeEdt = Named(new QLineEdit(m_DevGBox), QStringLiteral("m_preCodeEdt"),
                         QStringLiteral("Pre-program number"));
    m_preCodeEdt->setReadOnly(true);
    m_preCodeChk = Named(new QCheckBox(QStringLiteral("Pre-Code"), m_DevGBox), QStringLiteral("m_preCodeChk"),
                         QStringLiteral("Pre-Code"));
    devForm->addWidget(new QLabel(QStringLiteral("Device No:"), m_DevGBox), 0, 0);
    devForm->addWidget(m_devNoCBox, 0, 1);
    devForm->addWidget(new QLabel(QStringLiteral("Device Type:"), m_DevGBox), 1, 0);
    devForm->addWidget(m_devTypeCBox, 1, 1);
    devForm->addWidget(m_preCodeEdt, 2, 1);
    devForm->addWidget(m_preCodeChk, 3, 1);
    m_DevGBox->setVisible(false);
}

// ---------------------------------------------------------------------------
// Opening, OK and Cancel

bool TBtnFm::EditKey(LayoutKey& key, const KeyEditContext& context) {
    // One key at a time: a command that reaches here while the editor is
    // still open (from inside a link wait) opens nothing.
    if (loop_) return false;
    if (!OpenKey(key, context)) {
        services_.ui.Inform("The key's label is too long to be edited.", MsgIcon::Error);
        return false;
    }
    finished_ = false;
    ShowKeyEditor();
    QEventLoop loop;
    loop_ = &loop;
    if (!finished_) loop.exec();
    loop_ = nullptr;
    if (accepted_ || open_.touched) key = open_.key;
    return accepted_ || open_.touched;
}

bool TBtnFm::OpenKey(const LayoutKey& key, const KeyEditContext& context) {
    if (!LabelEditable(key.info)) return false;
    ClearEditors();
    open_.key = key;
    open_.context = context;
    open_.touched = false;
    accepted_ = false;
    finished_ = false;
    loading_ = true;
    // 1. The label (with the pictures of the image and the palette).
    labelPage_->Open();
    // 2. Position, shape, background and the lists the layout editor gave.
    LoadAttributes();
    // 3. By key type.
    SetRadio(RadioOfKey(open_.key.info));
    LoadByType();
    if (Mode() == kEditMacroKey) macroPage_->Load();
    loading_ = false;
    ApplyPages();
    labelPage_->SayLabelFit();
    // 4. The label page first.
    if (Mode() != kEditHardKey) m_PageCtl->setCurrentWidget(m_LabelSht);
    labelPage_->StartCursor();
    return true;
}

void TBtnFm::LoadAttributes() {
    const uint8_t f = open_.key.info.flags;
    ((f & kFlagAlignRight) ? m_posR1 : m_posR2)->setChecked(true);
    ((f & kFlagRectangle) ? m_shapeR1 : m_shapeR2)->setChecked(true);
    ((f & kFlagWhite) ? m_backR1 : m_backR2)->setChecked(true);
    m_keyNoCBox->clear();
    for (int n : open_.context.freeKeyNumbers) m_keyNoCBox->addItem(QString::number(n));
    m_keyNoCBox->setCurrentText(QString::number(open_.key.info.keyNumber));
    m_devNoCBox->clear();
    for (int n : open_.context.freeDevices) m_devNoCBox->addItem(QString::number(n));
    m_devNoCBox->setCurrentIndex(open_.context.freeDevices.empty() ? -1 : 0);
}

void TBtnFm::LoadByType() {
    const KeyInfo& k = open_.key.info;
    switch (k.keyType) {
        case kKeyIrCode: codePage_->ShowKeyCode(); break;
        case kKeyDevice:
            m_devNoCBox->setCurrentText(QString::number(k.link));
            m_devTypeCBox->setCurrentText(QString::fromStdString(TypeNameOfCode(k.codeNumber)));
            m_preCodeEdt->setText(k.codeNumber < 0 ? QString() : QString::number(k.codeNumber));
            codePage_->ShowKeyCode();
            break;
        case kKeyMacro: macroPage_->Load(); break;
        case kKeyCycle: cyclePage_->LoadFromKey(); break;
        default: break;
    }
}

void TBtnFm::ClearEditors() {
    if (session_->Learning()) session_->End();
    labelPage_->Clear();
    macroPage_->Clear();
    cyclePage_->Clear();
    codePage_->ClearCode();
    m_devNoCBox->clearEditText();
    m_devNoCBox->setCurrentIndex(-1);
    m_preCodeEdt->clear();
    radio_ = kNoRadio;
    typeGroup_->setExclusive(false);
    for (int i = kRadioLabel; i <= kRadioCycle; ++i) m_R[i]->setChecked(false);
    typeGroup_->setExclusive(true);
    m_StatusBar->clearMessage();
}

void TBtnFm::m_OkBtnClick() {
    // 1. Everything enabled again; learning ends.
    if (session_->Learning()) session_->End();
    SetLearningControls(false);
    // 2. A key of the Macro device is a macro key.
    if (Mode() == kEditMacroKey) SetRadio(kRadioMacro);
    if (macroPage_->Unsaved() && radio_ == kRadioMacro) {
        const MsgAnswer a = services_.ui.ShowMessage(
            {"Save change to this MACRO key ?", {}, MsgIcon::Question, MsgButtons::YesNo});
        if (a == MsgAnswer::Yes) macroPage_->Save();
    }
    // 3. The attributes.
    AttributeInput in;
    in.editorMode = Mode();
    in.radio = radio_;
    in.positionRight = m_posR1->isChecked();
    in.shapeRect = m_shapeR1->isChecked();
    in.backgroundWhite = m_backR1->isChecked();
    in.label = labelPage_->Label().Encoded();
    in.deviceNumber = NumberIn(m_devNoCBox->currentText());
    in.deviceType = m_devTypeCBox->currentText().toStdString();
    in.keyNumber = NumberIn(m_keyNoCBox->currentText());
    in.cycleSteps = cyclePage_->Cycle().Count();
    switch (WriteAttributes(in, open_.key.info)) {
        case OkResult::DeviceOutOfRange:
            services_.ui.ShowMessage({kOutOfDeviceText, {}, MsgIcon::Warning, MsgButtons::YesCancel});
            break;
        case OkResult::CycleWithoutSteps:
            services_.ui.Inform(kNoCycleStepText, MsgIcon::Error);
            return;
        case OkResult::KeyNumberTooHigh:
            Say(QStringLiteral("The key number must be 63 or less."));
            return;
        case OkResult::Written: break;
    }
    // 4. A cycle key takes its steps.
    if (Mode() == kEditSoftKey && radio_ == kRadioCycle) cyclePage_->Cycle().PackInto(open_.key);
    // 5. Done.
    Finish(true);
}

void TBtnFm::m_CancelBtnClick() { Finish(false); }

void TBtnFm::Finish(bool accepted) {
    codePage_->CloseDialogs();
    if (session_->Learning()) session_->End();
    session_->Release();  // also a press still waiting for the remote
    accepted_ = accepted;
    finished_ = true;
    ClearEditors();
    if (services_.refreshMain) services_.refreshMain();
    hide();
    SetMainEnabled(true);
    if (loop_) loop_->exit(0);
}

void TBtnFm::closeEvent(QCloseEvent* event) {
    if (!finished_) m_CancelBtnClick();
    event->accept();
}

void TBtnFm::ShowKeyEditor() {
    if (finished_) return;
    SetMainEnabled(false);
    // The first time over the middle of the main window, on the screen;
    // after that where the user left it.
    if (!placed_ && parentWidget()) {
        adjustSize();
        QRect frame(QPoint(), size());
        frame.moveCenter(parentWidget()->window()->frameGeometry().center());
        if (const QScreen* screen = parentWidget()->screen()) {
            const QRect avail = screen->availableGeometry();
            frame.moveLeft(std::max(avail.left(), std::min(frame.left(), avail.right() - frame.width())));
            frame.moveTop(std::max(avail.top(), std::min(frame.top(), avail.bottom() - frame.height())));
        }
        move(frame.topLeft());
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

void TBtnFm::SetMainEnabled(bool enabled) {
    if (mainDisabled_ == !enabled) return;
    mainDisabled_ = !enabled;
    if (services_.setMainEnabled) services_.setMainEnabled(enabled);
}

void TBtnFm::Say(const QString& text) { m_StatusBar->showMessage(text); }
QString TBtnFm::StatusText() const { return m_StatusBar->currentMessage(); }
bool TBtnFm::Learning() const { return session_->Learning(); }

// ---------------------------------------------------------------------------
// Type radios and pages

void TBtnFm::SetRadio(TypeRadio radio) {
    radio_ = radio;
    if (radio == kNoRadio) {
        typeGroup_->setExclusive(false);
        for (int i = kRadioLabel; i <= kRadioCycle; ++i) m_R[i]->setChecked(false);
        typeGroup_->setExclusive(true);
    } else {
        m_R[radio]->setChecked(true);
    }
    if (!loading_) ApplyPages();
}

void TBtnFm::m_RadioClick(int radio) {
    const TypeRadio from = radio_;
    const TypeRadio to = TypeRadio(radio);
    if (from == to) return;
    const TypeChange change = TypeChangeRule(from, to);
    const bool ask = !change.question.empty() && (!loading_ || change.askedWhileLoading);
    if (ask) {
        const MsgAnswer a =
            services_.ui.ShowMessage({change.question, {}, MsgIcon::Question, MsgButtons::YesNoCancel});
        if (a != MsgAnswer::Yes) {
            SetRadio(from);  // the old radio back, nothing changed
            return;
        }
    }
    if (change.deleteChild) {
        const auto child = NumberIn(m_devNoCBox->currentText());
        if (child && IsChildDevice(*child)) {
            ClearDeviceKeys(services_.flash, *child);
            if (services_.refreshMain) services_.refreshMain();
        }
    }
    if (change.erase) EraseForTypeChange();
    if (change.deviceTypeTv) m_devTypeCBox->setCurrentText(QStringLiteral("TV"));
    SetRadio(to);
}

// The key's code, macro and cycle steps go, at once.
void TBtnFm::EraseForTypeChange() {
    EraseKeyCode(open_.key.info);
    open_.key.hasCycle = false;
    open_.key.cycle = CycleInfo{};
    macroPage_->ClearSteps();
    cyclePage_->Clear();
    codePage_->ClearCode();
    open_.touched = true;
}

void TBtnFm::ShowPage(QWidget* page, bool shown) { m_PageCtl->setTabVisible(m_PageCtl->indexOf(page), shown); }

void TBtnFm::ApplyPages() {
    const PageShowing p = PagesFor(Mode(), radio_);
    ShowPage(m_AttrSht, p.attributePage);
    ShowPage(m_CodeSht, p.codePage);
    ShowPage(m_MacroSht, p.macroPage);
    ShowPage(m_TimerSht, p.timerPage);
    ShowPage(m_CycleSht, p.cyclePage);
    ShowPage(m_LabelSht, p.labelPage);
    m_PageCtl->setTabEnabled(m_PageCtl->indexOf(m_TimerSht), p.timerEnabled);
    m_ShapeGBox->setVisible(p.shapeGroup);
    m_AttrPal->setVisible(p.attributePanel);
    m_keyNoCBox->setEnabled(p.keyNumberEnabled);
    m_R[kRadioLabel]->setEnabled(p.labelRadioEnabled);
    m_R[kRadioDevice]->setEnabled(p.deviceRadioEnabled);
    if (radio_ == kRadioDevice) m_shapeR1->setChecked(true);
}

// While learning only the learning page is open, on its own controls, with
// OK to end it; after learning the pages show as the key calls for.
void TBtnFm::SetLearningControls(bool learning) {
    const bool cycle = session_->ForCycle();
    QWidget* own = cycle ? m_CycleSht : m_CodeSht;
    // Pages are switched and disabled here; that is no page change of the user's.
    const QSignalBlocker block(m_PageCtl);
    if (learning) m_PageCtl->setCurrentWidget(own);
    for (QWidget* page : {m_AttrSht, m_CodeSht, m_MacroSht, m_TimerSht, m_CycleSht, m_LabelSht})
        if (page != own) m_PageCtl->setTabEnabled(m_PageCtl->indexOf(page), !learning);
    if (!learning) ApplyPages();
    codePage_->SetLearningControls(learning, !cycle);
    cyclePage_->SetLearningControls(learning, cycle);
    m_OkBtn->setEnabled(true);
}

QWidget* TBtnFm::Page(const QString& caption) const {
    for (int i = 0; i < 6; ++i)
        if (caption == QLatin1String(kPageCaptions[i])) return m_PageCtl->widget(i);
    return nullptr;
}

bool TBtnFm::PageShown(const QString& caption) const {
    QWidget* page = Page(caption);
    return page && m_PageCtl->isTabVisible(m_PageCtl->indexOf(page));
}

bool TBtnFm::PageEnabled(const QString& caption) const {
    QWidget* page = Page(caption);
    return page && m_PageCtl->isTabEnabled(m_PageCtl->indexOf(page));
}

QRadioButton* TBtnFm::TypeRadioButton(int radio) const {
    return radio >= kRadioLabel && radio <= kRadioCycle ? m_R[radio] : nullptr;
}

int TBtnFm::ChartPointCount(QChartView* chart) const {
    auto* waveform = qobject_cast<BtnWaveform*>(chart);
    return waveform ? waveform->PointCount() : 0;
}

}  // namespace orvalink
