#include "editors/BtnMacroPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

#include "image/KeyRecords.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;
using btnui::NumberIn;

namespace {

const char* const kDayNames[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char* const kTimerCaptions[] = {"", "Disable", "Week", "Specific"};

// The device steps are recorded on: the key's own, Home for a key of the
// Macro device.
int OwnDevice(int device) { return device == kMacroSlot ? kHomeSlot : std::max(device, 0); }

}  // namespace

TBtnMacroPage::TBtnMacroPage(BtnOpenKey& open, const BtnServices& services, QStatusBar& status, Window window,
                             QWidget* parent)
    : QWidget(parent), open_(open), services_(services), status_(status), window_(std::move(window)) {
    setObjectName(QStringLiteral("m_MacroSht"));
    Build();
    m_TimerSht = BuildTimerSheet();
}

void TBtnMacroPage::Build() {
    auto* layout = new QHBoxLayout(this);
    m_StepSGrid = Named(new QTableWidget(0, 6, this), QStringLiteral("m_StepSGrid"), QStringLiteral("Macro steps"));
    m_StepSGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Step"), QStringLiteral("Device"), QStringLiteral("Layout"), QStringLiteral("Time"),
         QStringLiteral("KeyNo"), QStringLiteral("DevNo")});
    m_StepSGrid->verticalHeader()->hide();
    m_StepSGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_StepSGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_StepSGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_StepSGrid, &QTableWidget::cellClicked, this, [this](int row, int) { m_StepSGridSelect(row); });
    layout->addWidget(m_StepSGrid, 1);
    auto* col = new QVBoxLayout;
    m_ViewBtn = Button(this, QStringLiteral("m_ViewBtn"), QStringLiteral("View"));
    m_NewBtn = Button(this, QStringLiteral("m_NewBtn"), QStringLiteral("New"));
    m_InsertBtn = Button(this, QStringLiteral("m_InsertBtn"), QStringLiteral("Insert"));
    m_EditBtn = Button(this, QStringLiteral("m_EditBtn"), QStringLiteral("Edit"));
    m_DeleteBtn = Button(this, QStringLiteral("m_DeleteBtn"), QStringLiteral("Delete"));
    m_MUpBtn = Button(this, QStringLiteral("m_MUpBtn"), QStringLiteral("Up"));
    m_MDownBtn = Button(this, QStringLiteral("m_MDownBtn"), QStringLiteral("Down"));
    m_macroSaveBtn = Button(this, QStringLiteral("m_macroSaveBtn"), QStringLiteral("Save"));
    for (QPushButton* b : {m_ViewBtn, m_NewBtn, m_InsertBtn, m_EditBtn, m_DeleteBtn, m_MUpBtn, m_MDownBtn,
                           m_macroSaveBtn})
        col->addWidget(b);
    col->addStretch(1);
    layout->addLayout(col);
    connect(m_ViewBtn, &QPushButton::clicked, this, [this] { m_ViewBtnClick(); });
    connect(m_NewBtn, &QPushButton::clicked, this, [this] { m_NewBtnClick(); });
    connect(m_InsertBtn, &QPushButton::clicked, this, [this] { m_InsertBtnClick(); });
    connect(m_EditBtn, &QPushButton::clicked, this, [this] { m_EditBtnClick(); });
    connect(m_DeleteBtn, &QPushButton::clicked, this, [this] { m_DeleteBtnClick(); });
    connect(m_MUpBtn, &QPushButton::clicked, this, [this] { m_MUpBtnClick(); });
    connect(m_MDownBtn, &QPushButton::clicked, this, [this] { m_MDownBtnClick(); });
    connect(m_macroSaveBtn, &QPushButton::clicked, this, [this] { m_macroSaveBtnClick(); });
}

QWidget* TBtnMacroPage::BuildTimerSheet() {
    auto* page = new QWidget(parentWidget());
    page->setObjectName(QStringLiteral("m_TimerSht"));
    auto* layout = new QVBoxLayout(page);
    auto* radios = new QHBoxLayout;
    timerGroup_ = new QButtonGroup(this);
    for (int i = kTimerDisable; i <= kTimerSpecific; ++i) {
        m_tmRBtn[i] = Named(new QRadioButton(QString::fromLatin1(kTimerCaptions[i]), page),
                            QStringLiteral("m_tmRBtn0%1").arg(i), QString::fromLatin1(kTimerCaptions[i]));
        timerGroup_->addButton(m_tmRBtn[i], i);
        radios->addWidget(m_tmRBtn[i]);
    }
    connect(timerGroup_, &QButtonGroup::idClicked, this, [this](int id) { m_TimerRadioClick(id); });
    layout->addLayout(radios);
    m_WeekPal = Named(new QWidget(page), QStringLiteral("m_WeekPal"), QStringLiteral("Week days"));
    auto* week = new QVBoxLayout(m_WeekPal);
    for (int d = 0; d < 7; ++d) {
        m_dayChk[d] = Named(new QCheckBox(QString::fromLatin1(kDayNames[d]), m_WeekPal),
                            QStringLiteral("m_day%1Chk").arg(d + 1), QString::fromLatin1(kDayNames[d]));
        week->addWidget(m_dayChk[d]);
        connect(m_dayChk[d], &QCheckBox::clicked, this, [this] { MarkChanged(true); });
    }
    layout->addWidget(m_WeekPal);
    m_SpecPal = Named(new QWidget(page), QStringLiteral("m_SpecPal"), QStringLiteral("Specific date"));
    auto* spec = new QHBoxLayout(m_SpecPal);
    m_DatePk = Named(new QDateEdit(m_SpecPal), QStringLiteral("m_DatePk"), QStringLiteral("Date"));
    m_DatePk->setDisplayFormat(QStringLiteral("MM-dd"));
    m_TimePk = Named(new QTimeEdit(m_SpecPal), QStringLiteral("m_TimePk"), QStringLiteral("Time"));
    m_TimePk->setDisplayFormat(QStringLiteral("HH:mm"));
    spec->addWidget(m_DatePk);
    spec->addWidget(m_TimePk);
    layout->addWidget(m_SpecPal);
    layout->addStretch(1);
    return page;
}

void TBtnMacroPage::Say(const QString& text) { status_.showMessage(text); }

QRadioButton* TBtnMacroPage::TimerRadio(int kind) const {
    return kind >= kTimerDisable && kind <= kTimerSpecific ? m_tmRBtn[kind] : nullptr;
}

// ---------------------------------------------------------------------------
// Steps and timer of the key

MacroRow TBtnMacroPage::RowOf(int device, int key, int delay) const {
    MacroRow row;
    row.device = services_.deviceName ? services_.deviceName(device) : std::to_string(device);
    KeyInfo k;
    std::string text;
    int length = 0;
    if (ReadKey(services_.flash, device, key, k) && LabelToText(std::span<const uint8_t>(k.label), text, length))
        row.layout = text;
    row.time = DelayText(delay);
    row.keyNo = std::to_string(key);
    row.devNo = std::to_string(device);
    return row;
}

void TBtnMacroPage::Load() {
    macro_.Clear();
    timerHeld_ = {};
    if (const auto data = ParseMacroData(open_.key.info)) {
        std::vector<MacroRow> rows;
        for (const MacroDataStep& s : data->steps) rows.push_back(RowOf(s.device, s.key, s.delay));
        macro_.SetRows(std::move(rows));
        timerHeld_ = data->timer;
    }
    ShowTimer(timerHeld_);
    FillStepGrid();
    MarkChanged(false);
}

void TBtnMacroPage::Clear() {
    macro_.Clear();
    timerHeld_ = {};
    MarkChanged(false);
    FillStepGrid();
    ShowTimer({});
}

void TBtnMacroPage::ClearSteps() {
    macro_.Clear();
    FillStepGrid();
}

void TBtnMacroPage::FillStepGrid() {
    const QSignalBlocker block(m_StepSGrid);
    m_StepSGrid->setRowCount(macro_.Count());
    for (int r = 0; r < macro_.Count(); ++r) {
        const MacroRow& row = macro_.Rows()[size_t(r)];
        const std::string cells[] = {std::to_string(r + 1), row.device, row.layout, row.time, row.keyNo, row.devNo};
        for (int c = 0; c < 6; ++c) m_StepSGrid->setItem(r, c, new QTableWidgetItem(QString::fromStdString(cells[c])));
    }
    if (macro_.Selected() >= 1) m_StepSGrid->selectRow(macro_.Selected() - 1);
    else m_StepSGrid->clearSelection();
    m_MUpBtn->setEnabled(macro_.CanMoveUp());
    m_MDownBtn->setEnabled(macro_.CanMoveDown());
}

// Unsaved changes turn Save's text red, saved ones blue.
void TBtnMacroPage::MarkChanged(bool changed) {
    changed_ = changed;
    m_macroSaveBtn->setStyleSheet(changed ? QStringLiteral("color: rgb(255,0,0);")
                                          : QStringLiteral("color: rgb(0,0,255);"));
}

TimerBytes TBtnMacroPage::CurrentTimer() const {
    const int kind = timerGroup_->checkedId() < 1 ? kTimerDisable : timerGroup_->checkedId();
    uint8_t mask = 0;
    for (int d = 0; d < 7; ++d)
        if (m_dayChk[d]->isChecked()) mask |= DayBit(d);
    TimerPickers p{m_DatePk->date().month(), m_DatePk->date().day(), m_TimePk->time().hour(),
                   m_TimePk->time().minute()};
    return SaveTimer(TimerKind(kind), mask, p, timerHeld_);
}

void TBtnMacroPage::ShowTimer(const TimerBytes& bytes) {
    const TimerView v = LoadTimer(bytes);
    m_tmRBtn[v.kind]->setChecked(true);
    for (int d = 0; d < 7; ++d) m_dayChk[d]->setChecked(v.kind == kTimerWeek && (v.dayMask & DayBit(d)));
    if (v.monthDay) {
        const QDate date(QDate::currentDate().year(), v.monthDay->first, v.monthDay->second);
        if (date.isValid()) m_DatePk->setDate(date);
    }
    if (v.hourMinute) m_TimePk->setTime(QTime(v.hourMinute->first, v.hourMinute->second));
    m_WeekPal->setVisible(v.kind == kTimerWeek);
    m_SpecPal->setVisible(v.kind == kTimerSpecific);
}

void TBtnMacroPage::m_TimerRadioClick(int kind) {
    m_WeekPal->setVisible(kind == kTimerWeek);
    m_SpecPal->setVisible(kind == kTimerSpecific);
    MarkChanged(true);
}

bool TBtnMacroPage::Save() {
    const TimerBytes timer = CurrentTimer();
    const auto data = BuildMacroData(macro_.Rows(), timer);
    if (!data) {
        services_.ui.Inform("Save MACRO error !", MsgIcon::Error);
        Say(QStringLiteral("A step holds a value that is no number; the key keeps its macro."));
        return false;
    }
    StoreMacroData(*data, open_.key.info);
    timerHeld_ = timer;
    open_.touched = true;
    MarkChanged(false);
    Say(QStringLiteral("Macro of %1 step(s) saved.").arg(macro_.Count()));
    return true;
}

void TBtnMacroPage::m_macroSaveBtnClick() { Save(); }

void TBtnMacroPage::m_StepSGridSelect(int row) {
    macro_.Select(row + 1);
    m_MUpBtn->setEnabled(macro_.CanMoveUp());
    m_MDownBtn->setEnabled(macro_.CanMoveDown());
}

// ---------------------------------------------------------------------------
// Steps recorded in a layout editor

bool TBtnMacroPage::OpenStepWindow(int device, EditorMode mode, uint16_t operation, int step, int selectKeyOf) {
    if (!services_.openStepWindow) {
        Say(QStringLiteral("No layout editor can be opened for the steps."));
        return false;
    }
    if (window_.stepAside) window_.stepAside();
    TSoftLCDFm* window = services_.openStepWindow(device, mode);
    if (!window) {
        if (window_.comeBack) window_.comeBack();
        Say(QStringLiteral("The layout editor could not be opened."));
        return false;
    }
    MacroStepCursor cursor;
    cursor.operation = operation;
    cursor.step = uint16_t(step);
    cursor.total = uint16_t(macro_.Count());
    cursor.delay = 0;
    if (selectKeyOf >= 1 && selectKeyOf <= macro_.Count()) {
        MacroStepCursor fetched;
        if (FetchStep(selectKeyOf, fetched)) {
            cursor.device = fetched.device;
            cursor.key = fetched.key;
            cursor.delay = fetched.delay;
            window->LoadDeviceAndSelect(fetched.device, fetched.key);
        }
    } else {
        cursor.device = uint8_t(std::max(device, 0));
    }
    window->SetStepCursor(cursor);
    return true;
}

void TBtnMacroPage::m_ViewBtnClick() {
    if (macro_.Count() == 0) return services_.ui.Inform("No data to view !", MsgIcon::Error);
    const int step = macro_.Selected() >= 1 ? macro_.Selected() : 1;
    MacroStepCursor fetched;
    FetchStep(step, fetched);
    OpenStepWindow(fetched.device, ModeStepView, kStepSelect, step, step);
}

void TBtnMacroPage::m_NewBtnClick() {
    OpenStepWindow(OwnDevice(open_.context.device), ModeStepEdit, kStepNew, macro_.Count(), 0);
}

void TBtnMacroPage::m_InsertBtnClick() {
    if (macro_.Count() == 0) return services_.ui.Inform("No data to insert !", MsgIcon::Error);
    OpenStepWindow(OwnDevice(open_.context.device), ModeStepEdit, kStepInsert, std::max(macro_.Selected(), 1), 0);
}

void TBtnMacroPage::m_EditBtnClick() {
    if (macro_.Selected() < 1) return services_.ui.Inform("No data to edit !", MsgIcon::Error);
    OpenStepWindow(OwnDevice(open_.context.device), ModeStepEdit, kStepEdit, macro_.Selected(), macro_.Selected());
}

void TBtnMacroPage::m_DeleteBtnClick() {
    if (macro_.Selected() < 1) return services_.ui.Inform("No data to delete !", MsgIcon::Error);
    if (macro_.Remove(macro_.Selected())) MarkChanged(true);
    FillStepGrid();
}

void TBtnMacroPage::m_MUpBtnClick() {
    if (macro_.MoveUp()) MarkChanged(true);
    FillStepGrid();
}

void TBtnMacroPage::m_MDownBtnClick() {
    if (macro_.MoveDown()) MarkChanged(true);
    FillStepGrid();
}

void TBtnMacroPage::TakeStep(const MacroStepCursor& step) {
    if (!StepCursorAcceptable(step)) return;
    const MacroRow row = RowOf(step.device, step.key, step.delay);
    bool done = false;
    switch (step.operation) {
        case kStepNew: done = macro_.Append(row); break;
        case kStepInsert: done = macro_.Insert(step.step, row); break;
        case kStepEdit: done = macro_.Replace(step.step, row); break;
        case kStepDelete: done = macro_.Remove(step.step); break;
        case kStepSelect: macro_.Select(step.step); break;
        default: break;
    }
    if (done) MarkChanged(true);
    FillStepGrid();
}

bool TBtnMacroPage::FetchStep(int step, MacroStepCursor& cursor) const {
    if (step < 1 || step > macro_.Count()) return false;
    const MacroRow& row = macro_.Rows()[size_t(step - 1)];
    const auto device = NumberIn(QString::fromStdString(row.devNo));
    const auto key = NumberIn(QString::fromStdString(row.keyNo));
    if (!device || !key) return false;
    cursor.device = uint8_t(*device);
    cursor.key = uint8_t(*key);
    cursor.delay = uint8_t(row.time == "0.5" ? 0 : NumberIn(QString::fromStdString(row.time)).value_or(0));
    cursor.step = uint16_t(step);
    cursor.total = uint16_t(macro_.Count());
    return true;
}

void TBtnMacroPage::SetStepDelayText(int step, const std::string& text) {
    if (macro_.SetTime(step, text)) {
        MarkChanged(true);
        FillStepGrid();
    }
}

}  // namespace orvalink
