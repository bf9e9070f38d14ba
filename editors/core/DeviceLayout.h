// The device being edited in a layout editor window: a private copy of one
// device's keys (soft keys, hard keys, or the macro keys of the Macro
// device), the page shown, the selected key, and every change the editor
// makes to them, each one undoable. Nothing reaches the memory image until
// Save, and Save either writes the whole device or leaves the image exactly
// as it was.
//
// Operations return outcomes and never show anything; the window turns them
// into its message boxes, redraws and tree changes. Keys are named by key
// number (unique within a device); the window keeps the picture of each key
// by that number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "editors/core/KeyClipboard.h"
#include "image/CodeRecords.h"
#include "image/KeyGeometry.h"
#include "image/KeyRecords.h"
#include "image/Tiflashut.h"

namespace orvalink {

inline constexpr int kFirstSoftKey = 6;
inline constexpr int kLastSoftKey = 63;
inline constexpr int kLastMacroKey = 37;       // the Macro device shows keys 6..37
inline constexpr int kMaxKeyCodeBlocks = 124;  // code records written back by Save
inline constexpr int kMaxLoadedCodeBytes = 2000;
inline constexpr int kNoCodeChosen = 4000;     // the code picker's "nothing chosen" and above

inline constexpr bool IsSoftKeyNumber(int key) { return key >= kFirstSoftKey && key <= kLastSoftKey; }


// One key of the device: its unpacked record with the record behind it (code
// block count and code blocks), and for a cycle key the steps of its list.
struct LayoutKey {
    KeyInfo info;
    bool hasCycle = false;   // a cycle list's steps were read into `cycle`
    CycleInfo cycle;

    int Number() const { return info.keyNumber; }
    // A Device key that stands for a device of the image (linked slot 1..64).
    bool IsLinkedDeviceKey() const;
};

enum class LayoutResult {
    Done,
    NoSelection,       // the command needs a selected key
    UnknownKey,        // no key of that number in the device
    BadArgument,       // a page, key or code number out of range
    MacroDevice,       // Add Button and Delete do nothing in the Macro device
    NoFreeKeyNumber,   // all 58 soft key numbers (6..63) are in use
    NoFreeDevice,      // no device number 1..64 is left
    ClipboardEmpty,
    DeviceKeyRefused,  // a Device key linked to a device is not cut, copied or deleted here
    NotDeletable,      // key 0 and key numbers 64 and above are never deleted
    HardKey,           // hard keys have no LCD page and no drawing order
    Unchanged,         // the command would change nothing
};

struct LayoutOutcome {
    LayoutResult result = LayoutResult::Done;
    // For a refusal, the message: the program's own text where the window
    // shows one (the Device key refusals, "Out of Device"), a plain account
    // otherwise (the window shows nothing for those).
    std::string reason;
    int keyNumber = -1;  // the key the command acted on or added
    bool ok() const { return result == LayoutResult::Done; }
};

enum class SaveResult {
    Saved,
    NoKeys,       // an empty list is never saved
    NoImage,      // the holder has no image
    WriteFailed,  // a key record or code did not fit; the image is untouched
    OtherImage,   // not the holder and contents the device was read from; nothing written
};

struct SaveOutcome {
    SaveResult result = SaveResult::Saved;
    int failedKey = -1;               // WriteFailed: the key that did not fit
    std::vector<int> codesNotWritten; // cycle keys whose steps were not held: saved without their code
    std::string reason;
    bool ok() const { return result == SaveResult::Saved; }
};

// The right-click menu of the soft-key area: its code (100 empty area,
// 200 ordinary key, 300 device key; plus 10 when the clipboard holds a key)
// and the items it enables.
struct MenuEnabling {
    int code = 100;
    bool addButton = false;
    bool properties = false;
    bool cutCopyDelete = false;  // Cut, Copy, Delete, Move to and Sequence
    bool paste = false;
    bool loadPreProgramCode = false;
    bool addDevice = false;
};
MenuEnabling MenuEnablingOf(int code);

class DeviceLayout {
public:
    // device: 0 Home, 1..64, 65 Macro. The clipboard and the device number
    // source belong to the main window and outlive the layout.
    DeviceLayout(int device, KeyClipboard& clipboard, const DeviceNumberSource& devices);

    // Reads the device's keys from the image: keys 0..63 (6..37 for the
    // Macro device) that read, with the record behind each (up to 2000
    // bytes) and a cycle key's steps. Keys whose type is above 4 or whose
    // page is above 8 are left out (the Macro device keeps every key that
    // reads). Shows page 0, selects nothing, forgets the undo history and
    // marks the layout unchanged. False for a device above 65 or no image.
    bool Load(const TTiFlashFm& flash);

    int Device() const { return device_; }
    bool IsMacroDevice() const { return device_ == kMacroSlot; }
    // True while `flash` is the holder the device was last read from (or
    // saved into) and still holds those contents (its generation): only then
    // does Save write.
    bool ReadFrom(const TTiFlashFm& flash) const;

    // The keys in drawing order.
    size_t KeyCount() const { return state_.keys.size(); }
    const LayoutKey& KeyAt(size_t index) const { return *state_.keys[index]; }
    const LayoutKey* FindKey(int keyNumber) const;
    int IndexOf(int keyNumber) const;  // -1 when absent
    std::vector<int> KeyNumbers() const;
    // The keys whose pictures show on a page (0..7; 8 for the hard keys), in
    // drawing order.
    std::vector<int> KeysOnPage(int page) const;

    // The page shown: 0..7 on the LCD, 8 for the hard keys.
    int Page() const { return state_.page; }
    // False (nothing changes) for a page outside 0..8.
    bool ShowPage(int page);
    // A left click on the LCD picture outside every key: the page strip.
    // True when it changed the page.
    bool ClickLcd(int x, int y);
    std::string PageLabel() const;

    // The selected key's number, or -1.
    int Selected() const { return state_.selected; }
    int SelectedIndex() const { return IndexOf(state_.selected); }
    const LayoutKey* SelectedKey() const { return FindKey(state_.selected); }
    bool Select(int keyNumber);  // false when there is no such key
    void ClearSelection() { state_.selected = -1; }

    bool Modified() const { return modified_ == kMarkChanged; }
    uint8_t ModifiedMark() const { return modified_; }
    // Properties marks the window modified before the key editor opens.
    void MarkModified() { modified_ = kMarkChanged; }

    // Soft key numbers 6..63 that no key of the device uses, ascending.
    std::vector<int> FreeKeyNumbers() const;
    int LowestFreeKeyNumber() const;  // -1 when all 58 are used
    // The main window's free device numbers less those this layout's Device
    // keys already link to.
    std::vector<int> FreeDeviceNumbers() const;
    bool ClipboardFilled() const;
    // The menu of a right press on a key (or on the empty area: -1).
    MenuEnabling MenuFor(int keyNumber) const;

    // ---- Commands. Each change is one undo step.
    // "Add Button": DefaultKey with the lowest free key number, this device
    // as owner, the current page; it becomes the selection.
    LayoutOutcome AddButton();
    // "Add device from pre-program code" once a code was chosen: a Device
    // key linked to a new device number with that code number, added and
    // selected. The window then saves at once and fills the new device.
    LayoutOutcome AddDeviceKey(int codeNumber);
    LayoutOutcome Cut();
    LayoutOutcome Copy();
    LayoutOutcome Paste();
    LayoutOutcome Delete();
    // "Page 1".."Page 8": the selected key goes to page n - 1, which is shown.
    LayoutOutcome MoveToPage(int pageItem);
    // Swap the selected key with the first / last of the drawing order.
    LayoutOutcome SetToBackground();
    LayoutOutcome SetToForeground();
    // Stores a key's cells (as a drag or a snap gives them).
    LayoutOutcome SetCells(int keyNumber, const KeyCells& cells);
    // Puts back a key edited elsewhere (the key property editor), found by
    // its key number.
    LayoutOutcome ReplaceKey(const LayoutKey& key);

    // Writes the device into the image: its keys cleared, then every key in
    // key-number order (hard keys: their code only; soft keys: record, then
    // cycle list or code). The work is done on a copy of the image, which
    // replaces the image only when everything was written; a failure leaves
    // the image byte for byte as it was and the layout as it was. On success
    // the list is in key-number order. An image the device was not read from
    // (another holder, or other contents since: a download, a document
    // opened) is refused, so keys read from one document never land in
    // another.
    SaveOutcome Save(TTiFlashFm& flash);

    // ---- Undo and redo of the commands above (and of SetCells). Page and
    // selection come back with the keys.
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();
    // Changes between Begin and End form one undo step (a drag that stores
    // new cells on many mouse moves).
    void BeginUndoGroup();
    void EndUndoGroup();
    static constexpr size_t kUndoDepth = 100;

private:
    struct State {
        std::vector<std::shared_ptr<const LayoutKey>> keys;  // shared with the undo history
        int page = 0;
        int selected = -1;
    };

    void RecordChange();
    // A key of the list made private to the current state (copy on write).
    LayoutKey& Writable(size_t index);
    void Append(LayoutKey key);
    void RemoveAt(size_t index);
    LayoutOutcome Refuse(LayoutResult result, std::string reason, int keyNumber = -1) const;
    // A new key (added or pasted) takes key number `number` on this device and
    // the page shown, as one undo step, and is selected.
    LayoutOutcome PlaceNewKey(LayoutKey key, int number);

    int device_;
    const TTiFlashFm* source_ = nullptr;  // the holder Load read, and its generation then
    uint64_t sourceGeneration_ = 0;
    KeyClipboard& clipboard_;
    const DeviceNumberSource& devices_;
    State state_;
    uint8_t modified_ = kMarkUnchanged;
    std::deque<State> undo_;
    std::deque<State> redo_;
    bool StepHistory(std::deque<State>& from, std::deque<State>& to);
    bool groupOpen_ = false;
    bool groupRecorded_ = false;
};

}  // namespace orvalink
