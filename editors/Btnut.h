// "Button Properties": the key property editor. One window, created once,
// that edits one key of a layout editor at a time on six pages (Attribute,
// Code, Macro, Timer, Cycle, Label). The rules live in editors/core
// (KeyEditing, LabelEditing, MacroDraft, CycleDraft, IrLink); the window
// shows them and turns the user's clicks into them.
//
// EditKey shows the window and waits in an event loop of its own until OK or
// Cancel, so the window can hide while a layout editor records macro steps
// and show again afterwards.
#pragma once

#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "editors/Softlcdut.h"
#include "editors/core/CycleDraft.h"
#include "editors/core/IrLink.h"
#include "editors/core/KeyEditing.h"
#include "editors/core/KeyPropertyEditor.h"
#include "editors/core/LabelEditing.h"
#include "editors/core/MacroDraft.h"

class QAbstractButton;
class QButtonGroup;
class QChart;
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
class QTimer;
class QToolButton;

namespace orvalink {

class Random;
class TTiFlashFm;
class UiServices;

struct BtnServices {
    TTiFlashFm& flash;
    UiServices& ui;
    Random& random;              // the waveform's pair colours
    IrLink* link = nullptr;      // null: learning and shooting say so in the status bar
    // Opens a layout editor on `device` in ModeStepEdit or ModeStepView.
    std::function<TSoftLCDFm*(int device, EditorMode mode)> openStepWindow;
    // The main window: refreshed after OK and Cancel, disabled while this
    // window is shown (calls pair up).
    std::function<void()> refreshMain;
    std::function<void(bool enabled)> setMainEnabled;
    std::function<std::string(int device)> deviceName;
};

class TBtnFm : public QWidget, public KeyPropertyEditor, public MacroStepEditor {
    Q_OBJECT
public:
    explicit TBtnFm(BtnServices services, QWidget* parent = nullptr);
    ~TBtnFm() override;

    // KeyPropertyEditor: opens the key, shows the window and waits for OK or
    // Cancel. True after OK, and after Cancel when learning, loading, a macro
    // save or a type change already changed the key.
    bool EditKey(LayoutKey& key, const KeyEditContext& context) override;

    // MacroStepEditor: the layout editor's step operations.
    void TakeStep(const MacroStepCursor& step) override;
    bool FetchStep(int step, MacroStepCursor& cursor) override;
    void SetStepDelayText(int step, const std::string& text) override;
    void ShowKeyEditor() override;

    // Opening without waiting (the tests drive the window themselves): loads
    // every page from the key; false for a label length above 32.
    bool OpenKey(const LayoutKey& key, const KeyEditContext& context);
    const LayoutKey& Key() const { return key_; }
    bool KeyChangedAtOnce() const { return keyTouched_; }
    // OK and Cancel have ended the editing (true after OK).
    bool Finished() const { return finished_; }
    bool Accepted() const { return accepted_; }
    int Mode() const { return mode_; }
    TypeRadio CurrentRadio() const { return radio_; }
    bool Learning() const { return learning_; }
    QString StatusText() const;

    // ---- User events.
    void m_RadioClick(int radio);
    void m_OkBtnClick();
    void m_CancelBtnClick();
    // Label page.
    void m_AddBtnClick();
    void m_DelBtnClick();
    void m_EnterBtnClick();
    void m_LeftBtnClick();
    void m_RightBtnClick();
    void m_TextTBtnClick();
    void m_IconTBtnClick();
    void m_IconSGridClick(int row, int column);
    // Code page.
    void m_LearnBtnClick();
    void m_LeaveBtnClick();
    void m_ShootBtnDown();
    void m_ShootBtnUp();
    void m_LoadIRBtnClick();
    void m_ProntoCopyBtnClick();
    void m_ProntoPasteBtnClick();
    // Macro page.
    void m_ViewBtnClick();
    void m_NewBtnClick();
    void m_InsertBtnClick();
    void m_EditBtnClick();
    void m_DeleteBtnClick();
    void m_MUpBtnClick();
    void m_MDownBtnClick();
    void m_macroSaveBtnClick();
    void m_StepSGridSelect(int row);
    // Timer page.
    void m_TimerRadioClick(int kind);
    // Cycle page.
    void m_cLearnBtnClick();
    void m_cShootBtnDown();
    void m_cShootBtnUp();
    void m_cRemoveBtnClick();
    void m_cUpBtnClick();
    void m_cDownBtnClick();
    void m_CycleGridSelect(int row);

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
    QLabel* Preview() const { return m_BtnImg; }
    QTableWidget* Palette() const { return m_IconSGrid; }
    QTableWidget* StepGrid() const { return m_StepSGrid; }
    QTableWidget* CycleGrid() const { return m_CycleGrid; }
    QPushButton* MacroSaveButton() const { return m_macroSaveBtn; }
    QLabel* CodeTypeText() const { return m_codeTypeTxt; }
    QLabel* CarrierText() const { return m_codeCarryTxt; }
    QLabel* ProtocolText() const { return m_protocolTxt; }
    QChartView* CodeChart() const { return m_Cht; }
    QChartView* CycleChart() const { return m_cCht; }
    QPushButton* LearnButton() const { return m_LearnBtn; }
    QPushButton* ShootButton() const { return m_ShootBtn; }
    QRadioButton* TimerRadio(int kind) const;
    QCheckBox* DayBox(int day) const { return m_dayChk[day]; }
    QDateEdit* DatePicker() const { return m_DatePk; }
    QTimeEdit* TimePicker() const { return m_TimePk; }
    const LabelEditor& Label() const { return label_; }
    const MacroDraft& Macro() const { return macro_; }
    const CycleDraft& Cycle() const { return cycle_; }
    bool MacroUnsaved() const { return macroChanged_; }
    bool IconPalette() const { return iconPalette_; }
    // The waveform points on a chart: two for each mark and space pair.
    int ChartPointCount(QChartView* chart) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildWindow();
    QWidget* BuildAttributePage();
    QWidget* BuildCodePage();
    QWidget* BuildMacroPage();
    QWidget* BuildTimerPage();
    QWidget* BuildCyclePage();
    QWidget* BuildLabelPage();
    void LoadPictures();
    void FillPalette();

    void ClearEditors();
    void SetRadio(TypeRadio radio);
    void ApplyPages();
    void ShowPage(QWidget* page, bool shown);
    void Say(const QString& text);
    void Finish(bool accepted);
    void SetMainEnabled(bool enabled);

    // Label.
    void DrawPreview();
    // Says on the status bar when the label is larger than the key shows.
    void SayLabelFit();
    void AddElement(const LabelElement& element);
    QImage ElementPicture(const LabelElement& element) const;
    int ElementWidth(const LabelElement& element) const;

    // Code.
    bool StoreLearned(const LearnedCode& learned, const QString& source);
    void ShowCode(const IrCodeInfo& code, QChartView* chart);
    void ClearCodeView();
    bool KeyCode(IrCodeInfo& code) const;
    void StartLearning(bool cycle);
    void LearnRound();
    void EndLearning();
    void SetLearningControls(bool learning);
    void Shoot(const LearnedCode& send);
    void ShootRelease();

    // Macro.
    MacroRow RowOf(int device, int key, int delay) const;
    void LoadMacro();
    void FillStepGrid();
    void MarkMacroChanged(bool changed);
    bool SaveMacro();
    bool OpenStepWindow(int device, orvalink::EditorMode mode, uint16_t operation, int step, int selectKeyOf);
    TimerBytes CurrentTimer() const;
    void ShowTimer(const TimerBytes& bytes);

    // Cycle.
    void FillCycleGrid();

    BtnServices services_;
    std::unique_ptr<IrShot> shot_;
    LayoutKey key_;
    KeyEditContext context_;
    int mode_ = kEditSoftKey;
    int device_ = -1;
    TypeRadio radio_ = kNoRadio;
    bool loading_ = false;
    bool mainDisabled_ = false;
    bool placed_ = false;  // shown once, placed over the main window
    bool keyTouched_ = false;
    bool finished_ = true;
    bool accepted_ = false;
    QEventLoop* loop_ = nullptr;

    LabelEditor label_;
    bool iconPalette_ = false;
    bool cursorShown_ = true;
    std::vector<QImage> glyphs_;
    std::vector<QImage> icons_;

    bool learning_ = false;
    bool learningCycle_ = false;
    bool roundRunning_ = false;
    int learnSession_ = 0;  // counts the times learning started
    QTimer* learnTm_ = nullptr;
    QTimer* leaveTm_ = nullptr;

    MacroDraft macro_;
    bool macroChanged_ = false;
    TimerBytes timerHeld_;
    CycleDraft cycle_;

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

    QLabel* m_codeTypeTxt = nullptr;
    QLabel* m_codeCarryTxt = nullptr;
    QLabel* m_protocolTxt = nullptr;
    QPushButton* m_LearnBtn = nullptr;
    QPushButton* m_LeaveBtn = nullptr;
    QPushButton* m_ShootBtn = nullptr;
    QPushButton* m_LoadIRBtn = nullptr;
    QPushButton* m_ProntoCopyBtn = nullptr;
    QPushButton* m_ProntoPasteBtn = nullptr;
    QChartView* m_Cht = nullptr;

    QTableWidget* m_StepSGrid = nullptr;
    QPushButton* m_ViewBtn = nullptr;
    QPushButton* m_NewBtn = nullptr;
    QPushButton* m_InsertBtn = nullptr;
    QPushButton* m_EditBtn = nullptr;
    QPushButton* m_DeleteBtn = nullptr;
    QPushButton* m_MUpBtn = nullptr;
    QPushButton* m_MDownBtn = nullptr;
    QPushButton* m_macroSaveBtn = nullptr;

    QButtonGroup* timerGroup_ = nullptr;
    QRadioButton* m_tmRBtn[4] = {};
    QWidget* m_WeekPal = nullptr;
    QCheckBox* m_dayChk[7] = {};
    QWidget* m_SpecPal = nullptr;
    QDateEdit* m_DatePk = nullptr;
    QTimeEdit* m_TimePk = nullptr;

    QTableWidget* m_CycleGrid = nullptr;
    QPushButton* m_cLearnBtn = nullptr;
    QPushButton* m_cShootBtn = nullptr;
    QPushButton* m_cRemoveBtn = nullptr;
    QPushButton* m_cUpBtn = nullptr;
    QPushButton* m_cDownBtn = nullptr;
    QPushButton* m_cLeaveBtn = nullptr;
    QChartView* m_cCht = nullptr;

    QLabel* m_BtnImg = nullptr;
    QTableWidget* m_IconSGrid = nullptr;
    QPushButton* m_AddBtn = nullptr;
    QPushButton* m_DelBtn = nullptr;
    QPushButton* m_EnterBtn = nullptr;
    QPushButton* m_LeftBtn = nullptr;
    QPushButton* m_RightBtn = nullptr;
    QToolButton* m_TextTBtn = nullptr;
    QToolButton* m_IconTBtn = nullptr;
    QToolButton* m_UserTextTBtn = nullptr;
    QToolButton* m_UserIconTBtn = nullptr;
    QTimer* m_cursorTm = nullptr;

    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QStatusBar* m_StatusBar = nullptr;
};

}  // namespace orvalink
