#include "editors/BtnCyclePage.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "editors/BtnIrSession.h"
#include "editors/BtnWaveform.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;

TBtnCyclePage::TBtnCyclePage(BtnOpenKey& open, BtnIrSession& session, const BtnServices& services,
                             QStatusBar& status, std::function<void(const IrCodeInfo&)> showValues, QWidget* parent)
    : QWidget(parent),
      open_(open),
      session_(session),
      ui_(services.ui),
      random_(services.random),
      status_(status),
      showValues_(std::move(showValues)) {
    setObjectName(QStringLiteral("m_CycleSht"));
    Build();
}

void TBtnCyclePage::Build() {
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    m_CycleGrid = Named(new QTableWidget(0, 2, this), QStringLiteral("m_CycleGrid"), QStringLiteral("Cycle steps"));
    m_CycleGrid->setHorizontalHeaderLabels({QStringLiteral("Step"), QStringLiteral("Code")});
    m_CycleGrid->verticalHeader()->hide();
    m_CycleGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_CycleGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_CycleGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_CycleGrid, &QTableWidget::cellClicked, this, [this](int row, int) { m_CycleGridSelect(row); });
    top->addWidget(m_CycleGrid, 1);
    auto* col = new QVBoxLayout;
    m_cLearnBtn = Button(this, QStringLiteral("m_cLearnBtn"), QStringLiteral("Enter learning IR code mode"));
    m_cShootBtn = Button(this, QStringLiteral("m_cShootBtn"), QStringLiteral("Shoot IR code test"));
    m_cRemoveBtn = Button(this, QStringLiteral("m_cRemoveBtn"), QStringLiteral("Remove >>"));
    m_cUpBtn = Button(this, QStringLiteral("m_cUpBtn"), QStringLiteral("Up"));
    m_cDownBtn = Button(this, QStringLiteral("m_cDownBtn"), QStringLiteral("Down"));
    m_cLeaveBtn = Button(this, QStringLiteral("m_cLeaveBtn"), QStringLiteral("Leave learning mode"));
    for (QPushButton* b : {m_cLearnBtn, m_cShootBtn, m_cRemoveBtn, m_cUpBtn, m_cDownBtn, m_cLeaveBtn})
        col->addWidget(b);
    col->addStretch(1);
    top->addLayout(col);
    layout->addLayout(top);
    m_cCht = new BtnWaveform(random_, QStringLiteral("m_cCht"), QStringLiteral("Cycle waveform"), this);
    layout->addWidget(m_cCht, 1);
    m_cLeaveBtn->setEnabled(false);
    connect(m_cLearnBtn, &QPushButton::clicked, this, [this] { m_cLearnBtnClick(); });
    connect(m_cLeaveBtn, &QPushButton::clicked, this, [this] { m_cLeaveBtnClick(); });
    connect(m_cShootBtn, &QPushButton::pressed, this, [this] { m_cShootBtnDown(); });
    connect(m_cShootBtn, &QPushButton::released, this, [this] { m_cShootBtnUp(); });
    connect(m_cRemoveBtn, &QPushButton::clicked, this, [this] { m_cRemoveBtnClick(); });
    connect(m_cUpBtn, &QPushButton::clicked, this, [this] { m_cUpBtnClick(); });
    connect(m_cDownBtn, &QPushButton::clicked, this, [this] { m_cDownBtnClick(); });
}

void TBtnCyclePage::Say(const QString& text) { status_.showMessage(text); }

void TBtnCyclePage::LoadFromKey() {
    cycle_.LoadFromKey(open_.key);
    FillCycleGrid();
}

void TBtnCyclePage::Clear() {
    cycle_.Clear();
    FillCycleGrid();
    m_cCht->Clear();
}

void TBtnCyclePage::SetLearningControls(bool learning, bool own) {
    for (QPushButton* b : {m_cLearnBtn, m_cShootBtn, m_cRemoveBtn, m_cUpBtn, m_cDownBtn}) b->setEnabled(!learning);
    m_cLeaveBtn->setEnabled(learning && own);
}

void TBtnCyclePage::FillCycleGrid() {
    const QSignalBlocker block(m_CycleGrid);
    m_CycleGrid->setRowCount(cycle_.Count());
    for (int r = 0; r < cycle_.Count(); ++r) {
        const CycleStep& s = cycle_.Steps()[size_t(r)];
        m_CycleGrid->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(s.stepText)));
        m_CycleGrid->setItem(r, 1, new QTableWidgetItem(QString::fromStdString(s.codeText)));
    }
    if (cycle_.Selected() >= 1) m_CycleGrid->selectRow(cycle_.Selected() - 1);
    const bool learning = session_.Learning();
    m_cUpBtn->setEnabled(!learning && cycle_.Selected() > 1);
    m_cDownBtn->setEnabled(!learning && cycle_.Selected() >= 1 && cycle_.Selected() < cycle_.Count());
}

void TBtnCyclePage::ShowCode(const IrCodeInfo& code) {
    if (showValues_) showValues_(code);
    m_cCht->Show(code);
}

// ---------------------------------------------------------------------------
// Learning and shooting

void TBtnCyclePage::m_cLearnBtnClick() {
    session_.Start(true, [this](const LearnedCode& code) { TakeLearned(code); });
}

void TBtnCyclePage::m_cLeaveBtnClick() { session_.Leave(); }

// Every code learned is the next step; the seventh is refused and ends
// learning.
void TBtnCyclePage::TakeLearned(const LearnedCode& code) {
    IrCodeInfo stored;
    if (!LearnedToStored(code, stored)) {
        Say(QStringLiteral("The learned code could not be converted; it was dropped."));
    } else if (!cycle_.AddLearned(code, stored)) {
        ui_.Inform(kOutOfCycleStepText, MsgIcon::Error);
        session_.End();
    } else {
        open_.touched = true;
        FillCycleGrid();
        ShowCode(stored);
        Say(QStringLiteral("Cycle step %1 learned.").arg(cycle_.Count()));
    }
}

void TBtnCyclePage::m_cShootBtnDown() {
    const int s = cycle_.Selected();
    if (s < 1) return Say(QStringLiteral("No cycle step is selected."));
    LearnedCode send{};
    if (!StoredToSend(cycle_.Steps()[size_t(s - 1)].stored, send))
        return Say(QStringLiteral("The step's code cannot be sent."));
    session_.Shoot(send);
}

void TBtnCyclePage::m_cShootBtnUp() { session_.Release(); }

// ---------------------------------------------------------------------------
// The steps

void TBtnCyclePage::m_CycleGridSelect(int row) {
    if (session_.Learning()) return;
    if (!cycle_.Select(row + 1)) return;
    ShowCode(cycle_.Steps()[size_t(row)].stored);
    FillCycleGrid();
}

void TBtnCyclePage::m_cRemoveBtnClick() {
    cycle_.Remove();
    FillCycleGrid();
}

void TBtnCyclePage::m_cUpBtnClick() {
    cycle_.MoveUp();
    FillCycleGrid();
}

void TBtnCyclePage::m_cDownBtnClick() {
    cycle_.MoveDown();
    FillCycleGrid();
}

}  // namespace orvalink
