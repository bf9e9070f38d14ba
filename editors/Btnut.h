// "Button Properties": the key property editor. One window, created once,
// that edits one key of a layout editor at a time on six pages (Attribute,
// Code, Macro, Timer, Cycle, Label). The rules live in editors/core
// (KeyEditing, LabelEditing, MacroDraft, CycleDraft, IrLink); the window
// shows them and turns the user's clicks into them.
//
// This class opens a key, holds the attribute page with the type radios,
// shows the pages a key type and editor mode call for, and ends with OK or
// Cancel. Each other page is a class of its own with its controls and
// events: TBtnCodePage, TBtnMacroPage (with the Timer page), TBtnCyclePage
// and TBtnLabelPage; learning and shooting through the remote is
// BtnIrSession, shared by the code and cycle pages.
//
// EditKey shows the window and waits in an event loop of its own until OK or
// Cancel, so the window can hide while a layout editor records macro steps
// and show again afterwards.
#pragma once

#include <QWidget>

#include "editors/BtnCodePage.h"
#include "editors/BtnCyclePage.h"
#include "editors/BtnLabelPage.h"
#include "editors/BtnMacroPage.h"
#include "editors/BtnShared.h"
#include "editors/BtnWaveform.h"
#include "editors/core/KeyEditing.h"

class QButtonGroup;
class QChartView;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QEventLoop;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QTimeEdit;

namespace orvalink {

class BtnIrSession;

class TBtnFm : public QWidget, public KeyPropertyEditor, public MacroStepEditor {
    Q_OBJECT
public:
    explicit TBtnFm(BtnServices services, QWidget* parent = nullptr);
    ~TBtnFm() override;

    // KeyPropertyEditor: opens the key, shows the window and waits for OK or
    // Cancel. True after OK, and after Cancel when learning, loading, a macro
    // save or a type change already changed the key.
    bool EditKey(LayoutKey& key, const KeyEditContext& context) override;

    // MacroStepEditor: the layout editor's step operations, for the macro page.
    void TakeStep(const MacroStepCursor& step) override { macroPage_->TakeStep(step); }
    bool FetchStep(int step, MacroStepCursor& cursor) override { return macroPage_->FetchStep(step, cursor); }
    void SetStepDelayText(int step, const std::string& text) override { macroPage_->SetStepDelayText(step, text); }
    void ShowKeyEditor() override;

    // Opening without waiting (the tests drive the window themselves): loads
    // every page from the key; false for a label length above 32.
    bool OpenKey(const LayoutKey& key, const KeyEditContext& context);
    const LayoutKey& Key() const { return open_.key; }
    bool KeyChangedAtOnce() const { return open_.touched; }
    // OK and Cancel have ended the editing (true after OK).
    bool Finished() const { return finished_; }
    bool Accepted() const { return accepted_; }
    int Mode() const { return open_.context.editorMode; }
    TypeRadio CurrentRadio() const { return radio_; }
    bool Learning() const;
    QString StatusText() const;

    // ---- User events of this window.
    void m_RadioClick(int radio);
    void m_OkBtnClick();
    void m_CancelBtnClick();
    // ---- User events of the pages, handed to the page that holds the
    // control (the tests click through the whole window).
    void m_AddBtnClick() { labelPage_->m_AddBtnClick(); }
    void m_DelBtnClick() { labelPage_->m_DelBtnClick(); }
    void m_EnterBtnClick() { labelPage_->m_EnterBtnClick(); }
    void m_LeftBtnClick() { labelPage_->m_LeftBtnClick(); }
    void m_RightBtnClick() { labelPage_->m_RightBtnClick(); }
    void m_TextTBtnClick() { labelPage_->m_TextTBtnClick(); }
    void m_IconTBtnClick() { labelPage_->m_IconTBtnClick(); }
    void m_IconSGridClick(int row, int column) { labelPage_->m_IconSGridClick(row, column); }
    void m_LearnBtnClick() { codePage_->m_LearnBtnClick(); }
    void m_LeaveBtnClick() { codePage_->m_LeaveBtnClick(); }
    void m_ShootBtnDown() { codePage_->m_ShootBtnDown(); }
    void m_ShootBtnUp() { codePage_->m_ShootBtnUp(); }
    void m_LoadIRBtnClick() { codePage_->m_LoadIRBtnClick(); }
    void m_ProntoCopyBtnClick() { codePage_->m_ProntoCopyBtnClick(); }
    void m_ProntoPasteBtnClick() { codePage_->m_ProntoPasteBtnClick(); }
    void m_MakeCodeBtnClick() { codePage_->m_MakeCodeBtnClick(); }
    void m_ImportCodeBtnClick() { codePage_->m_ImportCodeBtnClick(); }
    void m_ExportCodeBtnClick() { codePage_->m_ExportCodeBtnClick(); }
    void m_ViewBtnClick() { macroPage_->m_ViewBtnClick(); }
    void m_NewBtnClick() { macroPage_->m_NewBtnClick(); }
    void m_InsertBtnClick() { macroPage_->m_InsertBtnClick(); }
    void m_EditBtnClick() { macroPage_->m_EditBtnClick(); }
    void m_DeleteBtnClick() { macroPage_->m_DeleteBtnClick(); }
    void m_MUpBtnClick() { macroPage_->m_MUpBtnClick(); }
    void m_MDownBtnClick() { macroPage_->m_MDownBtnClick(); }
    void m_macroSaveBtnClick() { macroPage_->m_macroSaveBtnClick(); }
    void m_StepSGridSelect(int row) { macroPage_->m_StepSGridSelect(row); }
    void m_TimerRadioClick(int kind) { macroPage_->m_TimerRadioClick(kind); }
    void m_cLearnBtnClick() { cyclePage_->m_cLearnBtnClick(); }
    void m_cShootBtnDown() { cyclePage_->m_cShootBtnDown(); }
    void m_cShootBtnUp() { cyclePage_->m_cShootBtnUp(); }
    void m_cRemoveBtnClick() { cyclePage_->m_cRemoveBtnClick(); }
    void m_cUpBtnClick() { cyclePage_->m_cUpBtnClick(); }
    void m_cDownBtnClick() { cyclePage_->m_cDownBtnClick(); }
    void m_CycleGridSelect(int row) { cyclePage_->m_CycleGridSelect(row); }

    // ---- The parts, for the tests.
    QTabWidget* Pages() const { return m_PageCtl; }
    QWidget* Page(const QString& caption) const;
    bool PageShown(const QString& caption) const;
    bool PageEnabled(const QString& caption) const;
    QRadioButton* TypeRadioButton(int radio) const;
    QComboBox* KeyNumberBox() const { return m_keyNoCBox; }
    QComboBox* DeviceNumberBox() const { return m_devNoCBox; }
    QComboBox* DeviceTypeBox() const { return m_devTypeCBox; }
    QRadioButton* ShapeRect() const { return m_shapeR1; }
    QWidget* AttributePanel() const { return m_AttrPal; }
    QGroupBox* ShapeGroup() const { return m_ShapeGBox; }
    TBtnCodePage* CodePage() const { return codePage_; }
    TBtnMacroPage* MacroPage() const { return macroPage_; }
    TBtnCyclePage* CyclePage() const { return cyclePage_; }
    TBtnLabelPage* LabelPage() const { return labelPage_; }
    QLabel* Preview() const { return labelPage_->Preview(); }
    QTableWidget* Palette() const { return labelPage_->Palette(); }
    QTableWidget* StepGrid() const { return macroPage_->StepGrid(); }
    QTableWidget* CycleGrid() const { return cyclePage_->Grid(); }
    QPushButton* MacroSaveButton() const { return macroPage_->SaveButton(); }
    QLabel* CodeTypeText() const { return codePage_->CodeTypeText(); }
    QLabel* CarrierText() const { return codePage_->CarrierText(); }
    QLabel* ProtocolText() const { return codePage_->ProtocolText(); }
    QChartView* CodeChart() const { return codePage_->Chart(); }
    QChartView* CycleChart() const { return cyclePage_->Chart(); }
    QPushButton* LearnButton() const { return codePage_->LearnButton(); }
    QPushButton* ShootButton() const { return codePage_->ShootButton(); }
    QRadioButton* TimerRadio(int kind) const { return macroPage_->TimerRadio(kind); }
    QCheckBox* DayBox(int day) const { return macroPage_->DayBox(day); }
    QDateEdit* DatePicker() const { return macroPage_->DatePicker(); }
    QTimeEdit* TimePicker() const { return macroPage_->TimePicker(); }
    const LabelEditor& Label() const { return labelPage_->Label(); }
    const MacroDraft& Macro() const { return macroPage_->Macro(); }
    const CycleDraft& Cycle() const { return cyclePage_->Cycle(); }
    bool MacroUnsaved() const { return macroPage_->Unsaved(); }
    bool IconPalette() const { return labelPage_->IconPalette(); }
    // The waveform points on a chart: two for each mark and space pair.
    int ChartPointCount(QChartView* chart) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    void BuildPages();
    QWidget* BuildAttributePage();
    void BuildAttributeGroups(QWidget* panel);
    void BuildDeviceGroup(QWidget* panel);

    void LoadAttributes();
    void LoadByType();
    void ClearEditors();
    void SetRadio(TypeRadio radio);
    void EraseForTypeChange();
    void ApplyPages();
    void ShowPage(QWidget* page, bool shown);
    void SetLearningControls(bool learning);
    void Say(const QString& text);
    void Finish(bool accepted);
    void SetMainEnabled(bool enabled);

    BtnServices services_;
    BtnOpenKey open_;
    TypeRadio radio_ = kNoRadio;
    bool loading_ = false;
    bool mainDisabled_ = false;
    bool placed_ = false;  // shown once, placed over the main window
    bool finished_ = true;
    bool accepted_ = false;
    QEventLoop* loop_ = nullptr;

    BtnIrSession* session_ = nullptr;
    TBtnCodePage* codePage_ = nullptr;
    TBtnMacroPage* macroPage_ = nullptr;
    TBtnCyclePage* cyclePage_ = nullptr;
    TBtnLabelPage* labelPage_ = nullptr;

    QTabWidget* m_PageCtl = nullptr;
    QWidget* m_AttrSht = nullptr;
    QWidget* m_CodeSht = nullptr;
    QWidget* m_MacroSht = nullptr;
    QWidget* m_TimerSht = nullptr;
    QWidget* m_CycleSht = nullptr;
    QWidget* m_LabelSht = nullptr;
    QButtonGroup* typeGroup_ = nullptr;
    QRadioButton* m_R[6] = {};
    QWidget* m_AttrPal = nullptr;
    QGroupBox* m_KeyGBox = nullptr;
    QComboBox* m_keyNoCBox = nullptr;
    QComboBox* m_keyNameCBox = nullptr;
    QGroupBox* m_PosGBox = nullptr;
    QRadioButton* m_posR1 = nullptr;
    QRadioButton* m_posR2 = nullptr;
    QGroupBox* m_ShapeGBox = nullptr;
    QRadioButton* m_shapeR1 = nullptr;
    QRadioButton* m_shapeR2 = nullptr;
    QGroupBox* m_BackGBox = nullptr;
    QRadioButton* m_backR1 = nullptr;
    QRadioButton* m_backR2 = nullptr;
    QGroupBox* m_DevGBox = nullptr;
    QComboBox* m_devNoCBox = nullptr;
    QComboBox* m_devTypeCBox = nullptr;
    QLineEdit* m_preCodeEdt = nullptr;
    QCheckBox* m_preCodeChk = nullptr;

    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QStatusBar* m_StatusBar = nullptr;
};

}  // namespace orvalink
