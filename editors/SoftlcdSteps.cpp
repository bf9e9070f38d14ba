// The layout editor's macro-step panel: the step and total counters, the
// delay box and Up and Down, shown in the step windows. A key clicked in
// ModeStepEdit is recorded as a step for the key property editor.
#include "editors/Softlcdut.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "platform/UiServices.h"

namespace orvalink {

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

}  // namespace orvalink
