// The "Macro" page of Button Properties with its "Timer" page: the steps of
// a macro key in their grid, recorded, viewed and edited in a layout editor
// that this window steps aside for, moved and deleted here; the timer that
// starts the macro; and Save, which packs both into the key at once.
#pragma once

#include <QWidget>

#include <functional>

#include "editors/BtnShared.h"
#include "editors/core/KeyEditing.h"
#include "editors/core/MacroDraft.h"

class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;
class QTimeEdit;

namespace orvalink {

class TBtnMacroPage : public QWidget {
    Q_OBJECT
public:
    // The window steps aside (`stepAside`) while a layout editor records or
    // shows the steps, and comes back (`comeBack`) when none could be opened.
    struct Window {
        std::function<void()> stepAside;
        std::function<void()> comeBack;
    };
    TBtnMacroPage(BtnOpenKey& open, const BtnServices& services, QStatusBar& status, Window window,
                  QWidget* parent);

    // The "Timer" page, built with this one.
    QWidget* TimerSheet() const { return m_TimerSht; }

    // The open key's steps and timer.
    void Load();
    // No steps, the timer disabled, nothing unsaved.
    void Clear();
    // The steps only (a change of key type erased the key's code).
    void ClearSteps();
    // Steps or timer changed since the last Save.
    bool Unsaved() const { return changed_; }
    // "Save": the steps and the timer as the key's macro data.
    bool Save();
    const MacroDraft& Macro() const { return macro_; }

    // ---- The layout editor's step operations (MacroStepEditor).
    void TakeStep(const MacroStepCursor& step);
    bool FetchStep(int step, MacroStepCursor& cursor) const;
    void SetStepDelayText(int step, const std::string& text);

    // ---- User events.
    void m_ViewBtnClick();
    void m_NewBtnClick();
    void m_InsertBtnClick();
    void m_EditBtnClick();
    void m_DeleteBtnClick();
    void m_MUpBtnClick();
    void m_MDownBtnClick();
    void m_macroSaveBtnClick();
    void m_StepSGridSelect(int row);
    void m_TimerRadioClick(int kind);

    // ---- The parts, for the tests.
    QTableWidget* StepGrid() const { return m_StepSGrid; }
    QPushButton* SaveButton() const { return m_macroSaveBtn; }
    QRadioButton* TimerRadio(int kind) const;
    QCheckBox* DayBox(int day) const { return m_dayChk[day]; }
    QDateEdit* DatePicker() const { return m_DatePk; }
    QTimeEdit* TimePicker() const { return m_TimePk; }

private:
    void Build();
    QWidget* BuildTimerSheet();
    void Say(const QString& text);
    MacroRow RowOf(int device, int key, int delay) const;
    void FillStepGrid();
    void MarkChanged(bool changed);
    bool OpenStepWindow(int device, EditorMode mode, uint16_t operation, int step, int selectKeyOf);
    TimerBytes CurrentTimer() const;
    void ShowTimer(const TimerBytes& bytes);

    BtnOpenKey& open_;
    const BtnServices& services_;
    QStatusBar& status_;
    Window window_;
    MacroDraft macro_;
    bool changed_ = false;
    TimerBytes timerHeld_;

    QTableWidget* m_StepSGrid = nullptr;
    QPushButton* m_ViewBtn = nullptr;
    QPushButton* m_NewBtn = nullptr;
    QPushButton* m_InsertBtn = nullptr;
    QPushButton* m_EditBtn = nullptr;
    QPushButton* m_DeleteBtn = nullptr;
    QPushButton* m_MUpBtn = nullptr;
    QPushButton* m_MDownBtn = nullptr;
    QPushButton* m_macroSaveBtn = nullptr;

    QWidget* m_TimerSht = nullptr;
    QButtonGroup* timerGroup_ = nullptr;
    QRadioButton* m_tmRBtn[4] = {};
    QWidget* m_WeekPal = nullptr;
    QCheckBox* m_dayChk[7] = {};
    QWidget* m_SpecPal = nullptr;
    QDateEdit* m_DatePk = nullptr;
    QTimeEdit* m_TimePk = nullptr;
};

}  // namespace orvalink
