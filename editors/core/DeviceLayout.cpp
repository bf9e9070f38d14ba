#include "editors/core/DeviceLayout.h"

#include <algorithm>

#include "editors/core/LcdGrid.h"
#include "image/DeviceBundle.h"

namespace orvalink {

namespace {

constexpr uint8_t kDeviceKeyFlags = 14;  // has a code, rectangle, white background

// The record behind a key marks a cycle list: second byte 13, step count
// (eighth byte) 1..6.
bool MarksCycleList(const KeyInfo& k) {
    return k.codeBlockCount != 0xFF && k.codeBlocks[1] == kCycleMarker && k.codeBlocks[7] >= 1 &&
           k.codeBlocks[7] <= kMaxCycleSteps;
}

// The record behind a key is written back as raw blocks: 1..124 blocks and
// a second byte of at most 15.
bool HasWritableCode(const KeyInfo& k) {
    return k.codeBlockCount >= 1 && k.codeBlockCount <= kMaxKeyCodeBlocks && k.codeBlocks[1] <= 15;
}

// A scratch holder of the same variant holding a copy of the image.
bool CopyImage(const TTiFlashFm& from, TTiFlashFm& to) {
    if (from.ImageSize() == 0 || !to.SelectModel(from.Selector()) || to.ImageSize() != from.ImageSize())
        return false;
    std::copy(from.Image().begin(), from.Image().end(), to.Image().begin());
    return true;
}

}  // namespace

bool LayoutKey::IsLinkedDeviceKey() const {
    return info.keyType == kKeyDevice && info.link >= 1 && info.link <= kLastDeviceSlot;
}

MenuEnabling MenuEnablingOf(int code) {
    MenuEnabling m;
    m.code = code;
    const bool full = code % 100 == 10;
    switch (code - code % 100) {
        case 100:
            m.addButton = true;
            m.properties = full;
            m.paste = full;
            m.addDevice = true;
            break;
        case 200:
            m.properties = true;
            m.cutCopyDelete = true;
            m.paste = full;
            break;
        case 300:
            m.properties = true;
            m.cutCopyDelete = true;
            m.paste = full;
            m.loadPreProgramCode = true;
            break;
        default: break;
    }
    return m;
}

DeviceLayout::DeviceLayout(int device, KeyClipboard& clipboard, const DeviceNumberSource& devices)
    : device_(device), clipboard_(clipboard), devices_(devices) {}

bool DeviceLayout::Load(const TTiFlashFm& flash) {
    if (device_ < 0 || device_ >= kDeviceSlots || flash.ImageSize() == 0) return false;
    State loaded;
    const bool macro = IsMacroDevice();
    const int first = macro ? kFirstSoftKey : 0;
    const int last = macro ? kLastMacroKey : kLastSoftKey;
    for (int k = first; k <= last; ++k) {
        LayoutKey key;
        if (!ReadKey(flash, device_, k, key.info)) continue;
        if (!macro && (key.info.keyType > kKeyLabel || key.info.page > kHardKeyPage)) continue;
        std::vector<uint8_t> blocks;
        if (ReadCodeRaw(flash, device_, k, blocks) && !blocks.empty()) {
            const size_t n = std::min(blocks.size(), size_t(kMaxLoadedCodeBytes));
            std::copy_n(blocks.begin(), n, key.info.codeBlocks.begin());
            key.info.codeBlockCount = uint8_t(n / 8);
        }
        if (key.info.keyType == kKeyCycle && MarksCycleList(key.info))
            key.hasCycle = ReadCycle(flash, device_, k, key.cycle);
        loaded.keys.push_back(std::make_shared<const LayoutKey>(std::move(key)));
    }
    state_ = std::move(loaded);
    source_ = &flash;
    sourceGeneration_ = flash.Generation();
    modified_ = kMarkUnchanged;
    undo_.clear();
    redo_.clear();
    groupOpen_ = groupRecorded_ = false;
    return true;
}

bool DeviceLayout::ReadFrom(const TTiFlashFm& flash) const {
    return source_ == &flash && sourceGeneration_ == flash.Generation();
}

const LayoutKey* DeviceLayout::FindKey(int keyNumber) const {
    int i = IndexOf(keyNumber);
    return i < 0 ? nullptr : state_.keys[size_t(i)].get();
}

int DeviceLayout::IndexOf(int keyNumber) const {
    if (keyNumber < 0) return -1;
    for (size_t i = 0; i < state_.keys.size(); ++i)
        if (state_.keys[i]->Number() == keyNumber) return int(i);
    return -1;
}

std::vector<int> DeviceLayout::KeyNumbers() const {
    std::vector<int> numbers;
    for (const auto& k : state_.keys) numbers.push_back(k->Number());
    return numbers;
}

std::vector<int> DeviceLayout::KeysOnPage(int page) const {
    std::vector<int> numbers;
    for (const auto& k : state_.keys)
        if (k->info.page == page) numbers.push_back(k->Number());
    return numbers;
}

bool DeviceLayout::ShowPage(int page) {
    if (page < 0 || page > kHardKeyPage) return false;
    state_.page = page;
    return true;
}

bool DeviceLayout::ClickLcd(int x, int y) {
    const PageStripHit hit = HitPageStrip(x, y);
    if (hit == PageStripHit::None) return false;
    state_.page = StepPage(state_.page, hit);
    return true;
}

std::string DeviceLayout::PageLabel() const { return PageLabelText(state_.page); }

bool DeviceLayout::Select(int keyNumber) {
    if (IndexOf(keyNumber) < 0) return false;
    state_.selected = keyNumber;
    return true;
}

std::vector<int> DeviceLayout::FreeKeyNumbers() const {
    std::vector<bool> used(kKeysPerDevice, false);
    for (const auto& k : state_.keys)
        if (k->Number() < kKeysPerDevice) used[size_t(k->Number())] = true;
    std::vector<int> free;
    for (int n = kFirstSoftKey; n <= kLastSoftKey; ++n)
        if (!used[size_t(n)]) free.push_back(n);
    return free;
}

int DeviceLayout::LowestFreeKeyNumber() const {
    std::vector<int> free = FreeKeyNumbers();
    return free.empty() ? -1 : free.front();
}

std::vector<int> DeviceLayout::FreeDeviceNumbers() const {
    std::vector<int> free;
    for (int d : devices_.FreeDeviceNumbers()) {
        if (d < 1 || d > kLastDeviceSlot) continue;
        bool taken = std::any_of(state_.keys.begin(), state_.keys.end(), [&](const auto& k) {
            return k->IsLinkedDeviceKey() && k->info.link == d;
        });
        if (!taken) free.push_back(d);
    }
    return free;
}

bool DeviceLayout::ClipboardFilled() const {
    KeyInfo held;
    return clipboard_.GetKeyClipboard(held);
}

MenuEnabling DeviceLayout::MenuFor(int keyNumber) const {
    int code = 100;
    if (const LayoutKey* k = FindKey(keyNumber)) code = k->info.keyType == kKeyDevice ? 300 : 200;
    if (ClipboardFilled()) code += 10;
    return MenuEnablingOf(code);
}

// ---------------------------------------------------------------------------
// Commands.

LayoutOutcome DeviceLayout::Refuse(LayoutResult result, std::string reason, int keyNumber) const {
    return {result, std::move(reason), keyNumber};
}

LayoutOutcome DeviceLayout::AddButton() {
    if (IsMacroDevice())
        return Refuse(LayoutResult::MacroDevice, "Buttons are not added to the Macro device.");
    const int number = LowestFreeKeyNumber();
    if (number < 0)
        return Refuse(LayoutResult::NoFreeKeyNumber, "All 58 soft key numbers (6 to 63) of this device are in use.");
    LayoutKey key;
    key.info = DefaultKey();
    return PlaceNewKey(std::move(key), number);
}

LayoutOutcome DeviceLayout::AddDeviceKey(int codeNumber) {
    if (codeNumber < 0 || codeNumber >= kNoCodeChosen)
        return Refuse(LayoutResult::BadArgument, "No pre-program code was chosen.");
    const int number = LowestFreeKeyNumber();
    if (number < 0)
        return Refuse(LayoutResult::NoFreeKeyNumber, "All 58 soft key numbers (6 to 63) of this device are in use.");
    const std::vector<int> devices = FreeDeviceNumbers();
    if (devices.empty())
        return Refuse(LayoutResult::NoFreeDevice, "<< Out of Device ! >>  \n\n The maximal device is 64 !");
    LayoutKey key;
    key.info = DefaultKey();
    key.info.keyType = kKeyDevice;
    key.info.link = uint8_t(devices.front());
    key.info.parentKey = uint8_t(number);
    key.info.codeNumber = int16_t(codeNumber);
    key.info.flags = kDeviceKeyFlags;
    return PlaceNewKey(std::move(key), number);
}

LayoutOutcome DeviceLayout::Cut() {
    const int index = SelectedIndex();
    if (index < 0) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    const LayoutKey& key = KeyAt(size_t(index));
    const int number = key.Number();
    if (key.IsLinkedDeviceKey())
        return Refuse(LayoutResult::DeviceKeyRefused, "You can't cut this device key !", number);
    clipboard_.SetKeyClipboard(CopyKeyInfo(key.info));
    if (IsSoftKeyNumber(number)) {
        RecordChange();
        RemoveAt(size_t(index));
        state_.selected = -1;
    }
    return {LayoutResult::Done, {}, number};
}

LayoutOutcome DeviceLayout::Copy() {
    const LayoutKey* key = SelectedKey();
    if (!key) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    if (key->IsLinkedDeviceKey())
        return Refuse(LayoutResult::DeviceKeyRefused, "You can't copy device key !", key->Number());
    clipboard_.SetKeyClipboard(CopyKeyInfo(key->info));
    return {LayoutResult::Done, {}, key->Number()};
}

LayoutOutcome DeviceLayout::Paste() {
    LayoutKey key;
    if (!clipboard_.GetKeyClipboard(key.info))
        return Refuse(LayoutResult::ClipboardEmpty, "The key clipboard is empty.");
    const int number = LowestFreeKeyNumber();
    if (number < 0)
        return Refuse(LayoutResult::NoFreeKeyNumber, "All 58 soft key numbers (6 to 63) of this device are in use.");
    if (key.info.link > kLastDeviceSlot) {
        key.info.link = 0xFF;
    } else if (key.info.link >= 1) {
        // A pasted key must not take over the device its original stands for.
        const std::vector<int> devices = FreeDeviceNumbers();
        if (devices.empty())
            return Refuse(LayoutResult::NoFreeDevice, "No device number is left for the pasted key.");
        key.info.link = uint8_t(devices.front());
    }
    return PlaceNewKey(std::move(key), number);
}

LayoutOutcome DeviceLayout::PlaceNewKey(LayoutKey key, int number) {
    key.info.keyNumber = uint8_t(number);
    key.info.ownerDevice = uint8_t(device_);
    key.info.page = uint8_t(state_.page);
    RecordChange();
    Append(std::move(key));
    state_.selected = number;
    return {LayoutResult::Done, {}, number};
}

LayoutOutcome DeviceLayout::Delete() {
    if (IsMacroDevice())
        return Refuse(LayoutResult::MacroDevice, "Keys of the Macro device are not deleted here.");
    const int index = SelectedIndex();
    if (index < 0) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    const LayoutKey& key = KeyAt(size_t(index));
    const int number = key.Number();
    if (number == 0 || number >= kKeysPerDevice)
        return Refuse(LayoutResult::NotDeletable, "Key " + std::to_string(number) + " is never deleted.", number);
    if (key.IsLinkedDeviceKey())
        return Refuse(LayoutResult::DeviceKeyRefused,
                      "You can't delete this device key in there ! \n You can delete device in the Main TreeView ! ",
                      number);
    RecordChange();
    RemoveAt(size_t(index));
    state_.selected = -1;
    return {LayoutResult::Done, {}, number};
}

LayoutOutcome DeviceLayout::MoveToPage(int pageItem) {
    if (pageItem < 1 || pageItem > kLcdPages)
        return Refuse(LayoutResult::BadArgument, "Pages are numbered 1 to 8.");
    const int index = SelectedIndex();
    if (index < 0) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    const int number = state_.selected;
    if (number < kHardKeyCount) return Refuse(LayoutResult::HardKey, "Hard keys have no LCD page.", number);
    if (KeyAt(size_t(index)).info.page != pageItem - 1) {
        RecordChange();
        Writable(size_t(index)).info.page = uint8_t(pageItem - 1);
    }
    state_.page = pageItem - 1;
    state_.selected = number;
    return {LayoutResult::Done, {}, number};
}

LayoutOutcome DeviceLayout::SetToBackground() {
    const int index = SelectedIndex();
    if (index < 0) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    if (index != 0) {
        RecordChange();
        std::swap(state_.keys[0], state_.keys[size_t(index)]);
    }
    return {LayoutResult::Done, {}, state_.selected};
}

LayoutOutcome DeviceLayout::SetToForeground() {
    const int index = SelectedIndex();
    if (index < 0) return Refuse(LayoutResult::NoSelection, "No key is selected.");
    const size_t lastIndex = state_.keys.size() - 1;
    if (size_t(index) != lastIndex) {
        RecordChange();
        std::swap(state_.keys[lastIndex], state_.keys[size_t(index)]);
    }
    return {LayoutResult::Done, {}, state_.selected};
}

LayoutOutcome DeviceLayout::SetCells(int keyNumber, const KeyCells& cells) {
    const int index = IndexOf(keyNumber);
    if (index < 0) return Refuse(LayoutResult::UnknownKey, "The device has no key " + std::to_string(keyNumber) + ".");
    // The record keeps each value in four bits.
    auto nibble = [](int v) { return v >= 0 && v <= 15; };
    if (!nibble(cells.column) || !nibble(cells.row) || !nibble(cells.width) || !nibble(cells.height))
        return Refuse(LayoutResult::BadArgument, "Cells are 0 to 15.", keyNumber);
    const KeyInfo& now = KeyAt(size_t(index)).info;
    if (KeyCells{now.column, now.row, now.width, now.height} == cells)
        return Refuse(LayoutResult::Unchanged, "The key already lies there.", keyNumber);
    RecordChange();
    KeyInfo& info = Writable(size_t(index)).info;
    info.column = uint8_t(cells.column);
    info.row = uint8_t(cells.row);
    info.width = uint8_t(cells.width);
    info.height = uint8_t(cells.height);
    return {LayoutResult::Done, {}, keyNumber};
}

LayoutOutcome DeviceLayout::ReplaceKey(const LayoutKey& key) {
    const int index = IndexOf(key.Number());
    if (index < 0)
        return Refuse(LayoutResult::UnknownKey, "The device has no key " + std::to_string(key.Number()) + ".");
    RecordChange();
    LayoutKey& target = Writable(size_t(index));
    target = key;
    return {LayoutResult::Done, {}, key.Number()};
}

// ---------------------------------------------------------------------------
// Save.

SaveOutcome DeviceLayout::Save(TTiFlashFm& flash) {
    SaveOutcome out;
    std::vector<std::shared_ptr<const LayoutKey>> sorted = state_.keys;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a->Number() < b->Number(); });
    if (sorted.empty()) {
        out.result = SaveResult::NoKeys;
        out.reason = "The device has no keys to save.";
        return out;
    }
    if (device_ < 0 || device_ >= kDeviceSlots) {
        out.result = SaveResult::WriteFailed;
        out.reason = "No such device.";
        return out;
    }
    if (!ReadFrom(flash)) {
        out.result = SaveResult::OtherImage;
        out.reason = "The memory image holds other contents since this device was read; nothing was written.";
        return out;
    }
    TTiFlashFm scratch(TTiFlashFm::NoImage{});
    if (!CopyImage(flash, scratch)) {
        out.result = SaveResult::NoImage;
        out.reason = "There is no memory image to save into.";
        return out;
    }

    auto fail = [&](int key, const char* what) {
        out.result = SaveResult::WriteFailed;
        out.failedKey = key;
        out.reason = std::string(what) + " of key " + std::to_string(key) + " does not fit into the memory image.";
        out.codesNotWritten.clear();
        return out;
    };

    ClearDeviceKeys(scratch, device_);
    for (const auto& entry : sorted) {
        const KeyInfo& k = entry->info;
        const int number = k.keyNumber;
        const auto blocks = std::span<const uint8_t>(k.codeBlocks);
        if (number < kHardKeyCount) {
            if (HasWritableCode(k) && !WriteCodeRaw(scratch, device_, number, k.codeBlockCount, blocks))
                return fail(number, "The code");
            continue;
        }
        // Key numbers end at 63: the image has no slot for a 64th key.
        if (number >= kKeysPerDevice) continue;
        if (!WriteKey(scratch, device_, number, k)) return fail(number, "The record");
        if (MarksCycleList(k)) {
            if (!entry->hasCycle) {
                // The steps were never read (a damaged list, or a key that
                // came through the clipboard): the list alone would point
                // at step records that are gone.
                out.codesNotWritten.push_back(number);
            } else if (!WriteCycle(scratch, device_, number, entry->cycle)) {
                return fail(number, "The cycle list");
            }
        } else if (HasWritableCode(k) && !WriteCodeRaw(scratch, device_, number, k.codeBlockCount, blocks)) {
            return fail(number, "The code");
        }
    }

    std::copy(scratch.Image().begin(), scratch.Image().end(), flash.Image().begin());
    state_.keys = std::move(sorted);
    return out;
}

// ---------------------------------------------------------------------------
// Undo.

void DeviceLayout::RecordChange() {
    modified_ = kMarkChanged;
    if (groupOpen_ && groupRecorded_) return;
    undo_.push_back(state_);
    if (undo_.size() > kUndoDepth) undo_.pop_front();
    redo_.clear();
    if (groupOpen_) groupRecorded_ = true;
}

// Undo and Redo: the present state goes onto one history, the last of the
// other becomes the present.
bool DeviceLayout::StepHistory(std::deque<State>& from, std::deque<State>& to) {
    if (from.empty()) return false;
    EndUndoGroup();
    to.push_back(std::move(state_));
    state_ = std::move(from.back());
    from.pop_back();
    modified_ = kMarkChanged;
    return true;
}

bool DeviceLayout::Undo() { return StepHistory(undo_, redo_); }

bool DeviceLayout::Redo() { return StepHistory(redo_, undo_); }

void DeviceLayout::BeginUndoGroup() {
    groupOpen_ = true;
    groupRecorded_ = false;
}

void DeviceLayout::EndUndoGroup() { groupOpen_ = groupRecorded_ = false; }

LayoutKey& DeviceLayout::Writable(size_t index) {
    auto copy = std::make_shared<LayoutKey>(*state_.keys[index]);
    LayoutKey& key = *copy;
    state_.keys[index] = std::move(copy);
    return key;
}

void DeviceLayout::Append(LayoutKey key) {
    state_.keys.push_back(std::make_shared<const LayoutKey>(std::move(key)));
}

void DeviceLayout::RemoveAt(size_t index) { state_.keys.erase(state_.keys.begin() + std::ptrdiff_t(index)); }

}  // namespace orvalink
