// What the layout editor needs of the key property editor: opening a key for
// editing, and taking, giving back and annotating the steps of a macro that
// is being recorded. Button Properties (TBtnFm, editors/Btnut.h) implements
// both; a layout editor given none answers "Properties" on its status bar
// with "The key property editor is not available."
#pragma once

#include <string>
#include <vector>

#include "editors/core/DeviceLayout.h"
#include "editors/core/MacroSteps.h"

namespace orvalink {

// Editor modes the layout editor asks for.
enum KeyEditorMode : int {
    kEditSoftKey = 100,
    kEditHardKey = 200,
    kEditMacroKey = 300,  // a key of the Macro device
};

struct KeyEditContext {
    int editorMode = kEditSoftKey;
    int device = -1;                  // the device of the layout editor (0 Home .. 65 Macro)
    std::vector<int> freeKeyNumbers;  // soft key numbers 6..63 no key of the device uses
    std::vector<int> freeDevices;     // device numbers 1..64 no device uses
};

class KeyPropertyEditor {
public:
    virtual ~KeyPropertyEditor() = default;
    // Opens `key` for editing. False when the editor refuses the key or the
    // user cancelled without changing it; true when `key` holds the edited
    // key (after OK, or after Cancel when a code learned or loaded, a saved
    // macro or a type change's erasing already acted on the key).
    virtual bool EditKey(LayoutKey& key, const KeyEditContext& context) = 0;
};

class MacroStepEditor {
public:
    virtual ~MacroStepEditor() = default;
    // A recorded step: by the cursor's operation appended (New), inserted
    // before step `step.step` (Insert) or put in its place (Edit).
    virtual void TakeStep(const MacroStepCursor& step) = 0;
    // Step `step` (from 1) of the macro: its device, key and delay.
    virtual bool FetchStep(int step, MacroStepCursor& cursor) = 0;
    // The delay text of step `step` in the editor's step list.
    virtual void SetStepDelayText(int step, const std::string& text) = 0;
    // The step window is done: the key property editor shows again.
    virtual void ShowKeyEditor() = 0;
};

}  // namespace orvalink
