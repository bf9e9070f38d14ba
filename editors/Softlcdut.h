// The soft-LCD layout editor: one window per device, a child window of the
// main window. It shows the device's soft keys on the LCD picture page by
// page, its six hard keys as buttons and its keys as a tree, and edits them
// through DeviceLayout: the window only captures the mouse, sets cursor
// shapes and paints; every rule lives in editors/core. Nothing reaches the
// memory image until Save.
//
// The same window records and shows the steps of a macro for the key
// property editor (modes ModeStepEdit and ModeStepView).
//
// Softlcdut.cpp builds the window, its menus and its commands; the parts
// are defined in the files named after them: SoftlcdCanvas.cpp (the LCD
// picture, the key pictures, the mouse and the drag), SoftlcdHardKeys.cpp,
// SoftlcdKeyList.cpp, SoftlcdSteps.cpp (the macro-step panel) and
// SoftlcdDevices.cpp (the device tree of the step windows).
#pragma once

#include <QImage>
#include <QWidget>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "editors/core/CodeNumberPicker.h"
#include "editors/core/DeviceLayout.h"
#include "editors/core/KeyClipboard.h"
#include "editors/core/KeyPropertyEditor.h"
#include "editors/core/LayoutHost.h"
#include "editors/core/LcdGrid.h"
#include "editors/core/MacroSteps.h"
#include "image/KeyRecords.h"

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvalink {

class TTiFlashFm;
class UiServices;

enum EditorMode : int {
    ModeNormal = 1000,
    ModeHomeDevice = 2000,
    ModeMacroDevice = 3000,
    ModeStepEdit = 4000,
    ModeStepView = 5000,
    ModeLearn = 6000,
    ModeShoot = 7000,
};

// What a layout editor window is given by its opener. Everything outlives
// the window; the pointers may be null (the commands needing them then say
// so in the status bar).
struct LayoutEditorServices {
    TTiFlashFm& flash;
    UiServices& ui;
    KeyClipboard& clipboard;
    const DeviceNumberSource& devices;
    LayoutHost& host;
    CodeNumberPicker* codePicker = nullptr;
    KeyPropertyEditor* keyEditor = nullptr;
    MacroStepEditor* steps = nullptr;
    std::filesystem::path programFolder;  // where "gird_RL_2.bmp" lies
};

class TSoftLCDFm : public QWidget {
    Q_OBJECT
public:
    // A window for device `slot` (0 Home, 1..64, 65 Macro) named `name`;
    // `record` is the device's entry (the Device key that stands for it, or
    // the made record of Home and Macro). LoadDevice fills it.
    TSoftLCDFm(const LayoutEditorServices& services, int slot, EditorMode mode, const QString& name,
               const KeyInfo& record, QWidget* parent = nullptr);
    ~TSoftLCDFm() override;

    int Slot() const { return slot_; }
    EditorMode Mode() const { return mode_; }
    const KeyInfo& Record() const { return record_; }
    // 255 unchanged, 16 changed since the window was opened (or saved).
    uint8_t ModifiedMark() const { return layout_->ModifiedMark(); }
    // False once the memory image holds other contents than the device was
    // read from (a download, another document): Save then writes nothing.
    bool OnCurrentImage() const { return layout_->ReadFrom(services_.flash); }

    // The mode chosen by the opener: panels, menus and what the mouse does.
    void SetMode(EditorMode mode);

    // Loads the window's device from the memory image: keys, pictures, key
    // tree, page 0. False when the device cannot be read.
    bool LoadDevice();
    // Writes the device into the image without closing (as Save does, with
    // no message); false when it did not fit. Step windows store nothing.
    bool StoreIntoImage();
    void ReloadFromImage();

    // ---- Offered to the key property editor.
    // Takes the macro step cursor when it lies within its bounds and shows
    // its step, total and delay.
    bool SetStepCursor(const MacroStepCursor& cursor);
    const MacroStepCursor& StepCursor() const { return cursor_; }
    // Selects a key by number, shows its page and draws it in `state`.
    bool SelectKeyOnPage(int keyNumber, int state);
    // Loads another device (0..65) and selects one of its keys (below 64).
    bool LoadDeviceAndSelect(int device, int keyNumber);

    // ---- User events.
    void m_SaveBtnClick();
    void m_CancelBtnClick();
    void m_AddButtonItClick();
    void m_PropertiesItClick();
    void m_HardPropertiesItClick();
    void m_CutItClick();
    void m_CopyItClick();
    void m_PasteItClick();
    void m_DeleteItClick();
    void m_MoveToItClick(int pageItem);  // "Page 1".."Page 8"
    void m_BackgroundItClick();
    void m_ForegroundItClick();
    void m_LoadPreCodeItClick();
    void m_AddDeviceItClick();
    // "Import codes…": a file of IR codes read, its signals matched with
    // the keys in the import table, the chosen codes written as one undo
    // step (the image changes on Save). "Export codes…": the device's codes
    // as a Flipper, LIRC or Pronto Hex file.
    void m_ImportCodesItClick();
    void m_ExportCodesItClick();
    void m_TransparentItClick();
    void m_GridLineItClick();
    void m_UpBtnClick();
    void m_DownBtnClick();
    void m_DelayCBoxChange();
    void m_keyTViewMouseDown(QTreeWidgetItem* node, Qt::MouseButton button);
    void m_devTViewClick(QTreeWidgetItem* node);
    void m_TreeCboxChange(int index);
    // Undo and redo of every change since the window opened or saved.
    bool Undo();
    bool Redo();
    bool CanUndo() const { return layout_->CanUndo(); }
    bool CanRedo() const { return layout_->CanRedo(); }
    // The arrow keys: the selected key one cell further, clamped to the grid.
    bool MoveSelectedBy(int columns, int rows);
    // Shows page 0..7 (8 shows no soft key at all).
    void ShowPage(int page);

    // ---- The parts, for the main window and the tests.
    const DeviceLayout& Layout() const { return *layout_; }
    QWidget* SoftImage() const;  // m_SoftImg: the LCD picture with the key pictures on it
    QLabel* KeyPicture(int keyNumber) const;
    // The drawing state a key's picture was last drawn in (0 when none).
    int KeyState(int keyNumber) const;
    bool KeyTransparent(int keyNumber) const;
    QMenu* SoftKeyMenu() const { return m_SoftKeyPMenu; }
    QMenu* HardKeyMenu() const { return m_HardKeyPMenu; }
    bool SoftKeyMenuAttached() const { return softMenuAttached_; }
    bool HardKeyMenuAttached() const { return hardMenuAttached_; }
    // The enabling code of the last right press (100..310).
    int MenuCode() const { return menuCode_; }
    QAction* MenuItem(const QString& objectName) const;
    QPushButton* HardKeyButton(int keyNumber) const;
    int HardKeyState(int keyNumber) const;
    QTreeWidget* KeyTree() const { return m_keyTView; }
    QTreeWidget* DeviceTree() const { return m_devTView; }
    QComboBox* TreeCombo() const { return m_TreeCbox; }
    QComboBox* DelayBox() const { return m_DelayCBox; }
    QWidget* StepPanel() const { return m_MStepPal; }
    QWidget* RightPanel() const { return m_RightPal; }
    QWidget* HardKeyPanel() const { return m_HardKeyPal; }
    QToolBar* ModeBar() const { return m_SLcdTBar; }
    QPushButton* SaveButton() const { return m_SaveBtn; }
    QString StatusText() const;
    bool TransparentMode() const { return transparent_; }
    bool GridShown() const { return gridShown_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Picture {
        QLabel* label = nullptr;
        QImage image;         // the key as DrawKey painted it
        std::string drawn;    // what it was drawn from (key fields and state)
        int state = 0;
        bool transparent = false;
    };

    void BuildWindow();
    void BuildMenus();
    void BuildKeyList();
    void BuildLcdPanel();
    void BuildHardKeys();
    void BuildStepPanel();
    void BuildDevicePanel();
    // The device tree and the device box of step windows: loads `device`
    // when a step window opens it (StepWindowOpensDevice).
    void OpenStepDevice(int device);
    bool LoadSlot(int device, const KeyInfo& record, const QString& name);
    bool RecordForSlot(int device, KeyInfo& record, QString& name) const;

    // The window shows what the layout holds: pictures (made, placed,
    // stacked, drawn, shown by page), hard keys, tree, page label, status.
    void SyncFromLayout();
    void DrawPicture(int keyNumber, Picture& picture, const LayoutKey& key, int state, bool force = false);
    void DrawLcd();
    void RebuildKeyTree();
    void ShowSelectionStatus();
    void Say(const QString& text);
    int StateOf(int keyNumber) const;
    void PutHardKeyState(int keyNumber, int state);

    // Mouse on key pictures, the LCD and the hard keys.
    void KeyMouseDown(int keyNumber, QMouseEvent* event);
    void KeyMouseMove(int keyNumber, QMouseEvent* event);
    void KeyMouseUp(int keyNumber, QMouseEvent* event);
    void LcdMouseDown(QMouseEvent* event);
    void HardKeyMouseDown(int keyNumber, Qt::MouseButton button, const QPoint& globalPos);
    void HardKeyMouseUp(int keyNumber);
    void SelectKey(int keyNumber);
    void PopUpSoftKeyMenu(int keyNumber, const QPoint& globalPos);
    void ApplyMenuEnabling(const MenuEnabling& enabling);
    bool CancelDrag();

    // Commands' common ends.
    void Refused(const LayoutOutcome& outcome);
    bool SaveLayout(SaveOutcome& outcome);
    void RecordStepFor(int keyNumber);
    void ShowStepCounters();
    void StepTo(int direction);
    void CloseWindow();
    void ShowKeyEditorAgain();
    bool MovingAllowed() const { return mode_ == ModeNormal || mode_ == ModeHomeDevice; }
    bool PressSelects() const;
    bool EditingMode() const;
    bool StepMode() const { return mode_ == ModeStepEdit || mode_ == ModeStepView; }

    LayoutEditorServices services_;
    int slot_;
    EditorMode mode_;
    KeyInfo record_;
    QString name_;
    std::unique_ptr<DeviceLayout> layout_;
    std::map<int, Picture> pictures_;
    KeyDrag drag_;
    int dragKey_ = -1;
    int topKey_ = -1;      // the key last put down by the mouse, drawn on top of the others
    int pressedKey_ = -1;  // the key drawn pressed (300) while a button is down
    bool transparent_ = false;
    bool gridShown_ = true;
    int shownPage_ = -1;   // the page the LCD picture was last drawn with
    int menuCode_ = 100;
    bool softMenuAttached_ = false;
    bool hardMenuAttached_ = false;
    bool closing_ = false;
    bool keyEditorShown_ = false;
    MacroStepCursor cursor_;
    std::map<int, int> hardStates_;
    QImage pageStrip_;
    QImage lcd_;

    QToolBar* m_SLcdTBar = nullptr;
    QTreeWidget* m_keyTView = nullptr;
    QWidget* m_RightPal = nullptr;
    QFrame* m_SoftKeyPal = nullptr;
    QLabel* m_SoftImg = nullptr;
    QFrame* selectionFrame_ = nullptr;
    QWidget* m_HardKeyPal = nullptr;
    QPushButton* m_SBtn[kHardKeyCount] = {};
    QWidget* m_MStepPal = nullptr;
    QLabel* m_StepLbe = nullptr;
    QLabel* m_TotalLbe = nullptr;
    QComboBox* m_DelayCBox = nullptr;
    QPushButton* m_UpBtn = nullptr;
    QPushButton* m_DownBtn = nullptr;
    QWidget* m_DevPal = nullptr;
    QComboBox* m_TreeCbox = nullptr;
    QTreeWidget* m_devTView = nullptr;
    QPushButton* m_SaveBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QStatusBar* m_StatusBar = nullptr;
    QMenu* m_SoftKeyPMenu = nullptr;
    QMenu* m_HardKeyPMenu = nullptr;
    QAction* m_TransparentIt = nullptr;
    QAction* m_GridLineIt = nullptr;
};

}  // namespace orvalink
