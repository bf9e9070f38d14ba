// The device being edited: loading it from the image, the layout commands
// with their refusals, saving it back (all or nothing), undo and redo.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "editors/core/DeviceLayout.h"
#include "image/BlockStore.h"
#include "image/CodeRecords.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SampleCode;
using testing::SoftKey;

class FakeClipboard : public KeyClipboard {
public:
    void SetKeyClipboard(const KeyInfo& key) override {
        held = CopyKeyInfo(key);
        filled = true;
        ++puts;
    }
    bool GetKeyClipboard(KeyInfo& key) const override {
        if (!filled) return false;
        key = CopyKeyInfo(held);
        return true;
    }
    KeyInfo held;
    bool filled = false;
    int puts = 0;
};

class FakeDevices : public DeviceNumberSource {
public:
    std::vector<int> FreeDeviceNumbers() const override { return free; }
    std::vector<int> free{1, 3, 4};  // 1 is not free in truth: the layout must skip it itself
};

std::vector<uint8_t> Packed(const IrCodeInfo& code) {
    std::vector<uint8_t> bytes(8 * size_t(code.size));
    PackIrCode(code, bytes);
    return bytes;
}

std::vector<uint8_t> CodeBlocksOf(const KeyInfo& k) {
    if (k.codeBlockCount == 0xFF) return {};
    return {k.codeBlocks.begin(), k.codeBlocks.begin() + 8 * k.codeBlockCount};
}

std::vector<uint8_t> Bytes(const TTiFlashFm& flash) { return {flash.Image().begin(), flash.Image().end()}; }

CycleInfo TwoStepCycle() {
    CycleInfo c;
    c.carried = {1, 2, 3, 4, 5};
    c.stepCount = 2;
    c.steps[0] = SampleCode(2, 40);
    c.steps[1] = SampleCode(3, 50);
    return c;
}

// Home holds the Device key 6 ("TV", linked to slot 1), "Menu" (7) on page
// 0, "Guide" (9) on page 2 with an IR code, the cycle key 10 and a code on
// the Power hard key.
class DeviceLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1, 120)));
        KeyInfo menu = SoftKey("Menu");
        menu.column = 2;
        menu.row = 1;
        menu.width = 2;
        menu.height = 2;
        ASSERT_TRUE(WriteKey(flash, 0, 7, menu));
        ASSERT_TRUE(WriteKey(flash, 0, 9, SoftKey("Guide", 2, 2)));
        ASSERT_TRUE(WriteIrCode(flash, 0, 9, SampleCode(3, 7)));
        KeyInfo cycle = SoftKey("Cyc");
        cycle.keyType = kKeyCycle;
        ASSERT_TRUE(WriteKey(flash, 0, 10, cycle));
        ASSERT_TRUE(WriteCycle(flash, 0, 10, TwoStepCycle()));
        ASSERT_TRUE(WriteIrCode(flash, 0, 0, SampleCode(2, 90)));
        ASSERT_TRUE(layout.Load(flash));
    }

    TTiFlashFm flash;
    FakeClipboard clipboard;
    FakeDevices devices;
    DeviceLayout layout{0, clipboard, devices};
};

// ---------------------------------------------------------------------------
// Loading.

TEST_F(DeviceLayoutTest, LoadTakesHardAndSoftKeysWithWhatStandsBehindThem) {
    EXPECT_EQ(layout.KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 9, 10}));
    EXPECT_EQ(layout.KeysOnPage(8), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(layout.KeysOnPage(0), (std::vector<int>{6, 7, 10}));
    EXPECT_EQ(layout.KeysOnPage(2), (std::vector<int>{9}));
    EXPECT_EQ(CodeBlocksOf(layout.FindKey(9)->info), Packed(SampleCode(3, 7)));
    EXPECT_EQ(CodeBlocksOf(layout.FindKey(0)->info), Packed(SampleCode(2, 90)));
    EXPECT_EQ(layout.FindKey(7)->info.column, 2);
    const LayoutKey* cycle = layout.FindKey(10);
    ASSERT_TRUE(cycle->hasCycle);
    EXPECT_EQ(cycle->cycle.stepCount, 2);
    EXPECT_EQ(Packed(cycle->cycle.steps[1]), Packed(SampleCode(3, 50)));
    EXPECT_EQ(layout.Page(), 0);
    EXPECT_EQ(layout.Selected(), -1);
    EXPECT_EQ(layout.ModifiedMark(), kMarkUnchanged);
    EXPECT_FALSE(layout.CanUndo());
    EXPECT_EQ(layout.FreeKeyNumbers().size(), size_t(58 - 4));
}

TEST(DeviceLayoutLoad, MacroDeviceShowsKeysSixToThirtySeven) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, kMacroSlot, 6, SoftKey("M1")));
    ASSERT_TRUE(WriteKey(flash, kMacroSlot, 37, SoftKey("M2")));
    ASSERT_TRUE(WriteKey(flash, kMacroSlot, 38, SoftKey("M3")));
    FakeClipboard clipboard;
    FakeDevices devices;
    DeviceLayout macro(kMacroSlot, clipboard, devices);
    ASSERT_TRUE(macro.Load(flash));
    EXPECT_EQ(macro.KeyNumbers(), (std::vector<int>{6, 37}));
    DeviceLayout beyond(66, clipboard, devices);
    EXPECT_FALSE(beyond.Load(flash));
}

// ---------------------------------------------------------------------------
// Adding, cutting, copying, pasting, deleting.

TEST_F(DeviceLayoutTest, AddButtonTakesTheLowestFreeNumberUntilAllAreUsed) {
    ASSERT_TRUE(layout.ShowPage(3));
    LayoutOutcome first = layout.AddButton();
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first.keyNumber, 8);
    const KeyInfo& added = layout.FindKey(8)->info;
    EXPECT_EQ(added.page, 3);
    EXPECT_EQ(added.ownerDevice, 0);
    EXPECT_EQ(added.width, 3);
    EXPECT_EQ(added.height, 2);
    EXPECT_EQ(added.keyType, kKeyIrCode);
    EXPECT_EQ(layout.Selected(), 8);
    EXPECT_TRUE(layout.Modified());

    std::vector<int> numbers{8};
    for (int i = 0; i < 53; ++i) {
        LayoutOutcome o = layout.AddButton();
        ASSERT_TRUE(o.ok()) << i;
        numbers.push_back(o.keyNumber);
    }
    std::vector<int> expected;
    for (int n = 6; n <= 63; ++n)
        if (n != 6 && n != 7 && n != 9 && n != 10) expected.push_back(n);
    EXPECT_EQ(numbers, expected);
    EXPECT_EQ(layout.LowestFreeKeyNumber(), -1);

    // All 58 soft key numbers used: Add Button, Paste and Add device refuse.
    const size_t count = layout.KeyCount();
    LayoutOutcome full = layout.AddButton();
    EXPECT_EQ(full.result, LayoutResult::NoFreeKeyNumber);
    EXPECT_FALSE(full.reason.empty());
    ASSERT_TRUE(layout.Select(7));
    ASSERT_TRUE(layout.Copy().ok());
    EXPECT_EQ(layout.Paste().result, LayoutResult::NoFreeKeyNumber);
    EXPECT_EQ(layout.AddDeviceKey(200).result, LayoutResult::NoFreeKeyNumber);
    EXPECT_EQ(layout.KeyCount(), count);
}

TEST_F(DeviceLayoutTest, MacroDeviceTakesNoNewButtonsAndDeletesNothing) {
    ASSERT_TRUE(WriteKey(flash, kMacroSlot, 6, SoftKey("M1")));
    DeviceLayout macro(kMacroSlot, clipboard, devices);
    ASSERT_TRUE(macro.Load(flash));
    EXPECT_EQ(macro.AddButton().result, LayoutResult::MacroDevice);
    ASSERT_TRUE(macro.Select(6));
    EXPECT_EQ(macro.Delete().result, LayoutResult::MacroDevice);
    EXPECT_EQ(macro.KeyNumbers(), (std::vector<int>{6}));
    EXPECT_FALSE(macro.Modified());
}

TEST_F(DeviceLayoutTest, DeviceKeysOfRealDevicesAreRefusedWithTheirMessages) {
    ASSERT_TRUE(layout.Select(6));
    LayoutOutcome cut = layout.Cut();
    EXPECT_EQ(cut.result, LayoutResult::DeviceKeyRefused);
    EXPECT_EQ(cut.reason, "You can't cut this device key !");
    LayoutOutcome copy = layout.Copy();
    EXPECT_EQ(copy.result, LayoutResult::DeviceKeyRefused);
    EXPECT_EQ(copy.reason, "You can't copy device key !");
    LayoutOutcome del = layout.Delete();
    EXPECT_EQ(del.result, LayoutResult::DeviceKeyRefused);
    EXPECT_EQ(del.reason, "You can't delete this device key in there ! \n You can delete device in the Main TreeView ! ");
    EXPECT_EQ(clipboard.puts, 0);
    EXPECT_NE(layout.FindKey(6), nullptr);
    EXPECT_FALSE(layout.Modified());
    EXPECT_FALSE(layout.CanUndo());

    // A Device key that links to no device is an ordinary key here.
    KeyInfo loose = DeviceKey("Loose", 0xFF);
    ASSERT_TRUE(WriteKey(flash, 0, 11, loose));
    ASSERT_TRUE(layout.Load(flash));
    ASSERT_TRUE(layout.Select(11));
    EXPECT_TRUE(layout.Copy().ok());
    EXPECT_TRUE(layout.Delete().ok());
}

TEST_F(DeviceLayoutTest, CutCopiesThenRemovesOnlySoftKeys) {
    ASSERT_TRUE(layout.Select(7));
    ASSERT_TRUE(layout.Cut().ok());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(clipboard.held.label.data())), "Menu");
    EXPECT_EQ(layout.FindKey(7), nullptr);
    EXPECT_EQ(layout.Selected(), -1);
    EXPECT_TRUE(layout.Modified());

    // A hard key goes onto the clipboard but stays.
    DeviceLayout other(0, clipboard, devices);
    ASSERT_TRUE(other.Load(flash));
    ASSERT_TRUE(other.Select(3));
    ASSERT_TRUE(other.Cut().ok());
    EXPECT_EQ(clipboard.held.keyNumber, 3);
    EXPECT_NE(other.FindKey(3), nullptr);
    EXPECT_FALSE(other.Modified());
}

TEST_F(DeviceLayoutTest, CopyLeavesTheLayoutAlone) {
    EXPECT_EQ(layout.Copy().result, LayoutResult::NoSelection);
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.Copy().ok());
    EXPECT_EQ(clipboard.puts, 1);
    EXPECT_EQ(CodeBlocksOf(clipboard.held), Packed(SampleCode(3, 7)));
    EXPECT_NE(layout.FindKey(9), nullptr);
    EXPECT_FALSE(layout.Modified());
    EXPECT_FALSE(layout.CanUndo());
}

TEST_F(DeviceLayoutTest, PasteGivesTheKeyANewNumberPageAndDevice) {
    EXPECT_EQ(layout.Paste().result, LayoutResult::ClipboardEmpty);
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.Copy().ok());
    ASSERT_TRUE(layout.ShowPage(5));
    LayoutOutcome pasted = layout.Paste();
    ASSERT_TRUE(pasted.ok());
    EXPECT_EQ(pasted.keyNumber, 8);
    const KeyInfo& k = layout.FindKey(8)->info;
    EXPECT_EQ(k.page, 5);
    EXPECT_EQ(k.ownerDevice, 0);
    EXPECT_EQ(k.keyNumber, 8);
    EXPECT_EQ(k.link, 0xFF);
    EXPECT_EQ(CodeBlocksOf(k), Packed(SampleCode(3, 7)));
    EXPECT_EQ(layout.Selected(), 8);

    // A link above 64 becomes none.
    KeyInfo odd = SoftKey("Odd");
    odd.link = 70;
    clipboard.SetKeyClipboard(odd);
    ASSERT_TRUE(layout.Paste().ok());
    EXPECT_EQ(layout.FindKey(11)->info.link, 0xFF);

    // A link to a device takes the first free device number that no key of
    // this layout links to yet (1 is TV's, however the source counts it).
    clipboard.SetKeyClipboard(DeviceKey("Dev", 20));
    ASSERT_TRUE(layout.Paste().ok());
    EXPECT_EQ(layout.FindKey(12)->info.link, 3);
    ASSERT_TRUE(layout.Paste().ok());
    EXPECT_EQ(layout.FindKey(13)->info.link, 4);
    LayoutOutcome none = layout.Paste();
    EXPECT_EQ(none.result, LayoutResult::NoFreeDevice);
    EXPECT_EQ(layout.FindKey(14), nullptr);
}

// The link of a pasted key by its original's link and the device numbers
// the main window has free: 1..64 are devices and take a new free one (64
// too: it is a device, not a key number), above 64 none.
TEST_F(DeviceLayoutTest, PasteGivesALinkedKeyANewDeviceAtEveryBound) {
    struct Case {
        int link;
        std::vector<int> free;
        LayoutResult result;
        int pastedLink;
    };
    const Case cases[] = {
        {1, {3, 4}, LayoutResult::Done, 3},  // 1 is TV's own
        {63, {3}, LayoutResult::Done, 3},
        {64, {3}, LayoutResult::Done, 3},
        {64, {64}, LayoutResult::Done, 64},  // the last device number is a free one like any other
        {64, {1}, LayoutResult::NoFreeDevice, -1},
        {64, {0, 65}, LayoutResult::NoFreeDevice, -1},  // not device numbers
        {65, {3}, LayoutResult::Done, 0xFF},
        {0xFF, {3}, LayoutResult::Done, 0xFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("link " + std::to_string(c.link));
        ASSERT_TRUE(layout.Load(flash));
        devices.free = c.free;
        clipboard.SetKeyClipboard(DeviceKey("Dev", uint8_t(c.link), 77));
        const LayoutOutcome out = layout.Paste();
        EXPECT_EQ(out.result, c.result);
        if (c.result != LayoutResult::Done) {
            EXPECT_EQ(layout.FindKey(8), nullptr);
            EXPECT_FALSE(layout.Modified());
            continue;
        }
        ASSERT_EQ(out.keyNumber, 8);
        EXPECT_EQ(int(layout.FindKey(8)->info.link), c.pastedLink);
        EXPECT_EQ(layout.FindKey(8)->info.keyType, kKeyDevice);
        // The pasted device key is written with the link it was given.
        ASSERT_TRUE(layout.Save(flash).ok());
        KeyInfo saved;
        ASSERT_TRUE(ReadKey(flash, 0, 8, saved));
        EXPECT_EQ(int(saved.link), c.pastedLink);
        KeyInfo tv;
        ASSERT_TRUE(ReadKey(flash, 0, 6, tv));
        EXPECT_EQ(tv.link, 1);  // the original's device stays its own
        ASSERT_TRUE(DeleteKey(flash, 0, 8));
    }
}

TEST_F(DeviceLayoutTest, DeleteSparesKeyZeroAndRemovesOthers) {
    EXPECT_EQ(layout.Delete().result, LayoutResult::NoSelection);
    ASSERT_TRUE(layout.Select(0));
    EXPECT_EQ(layout.Delete().result, LayoutResult::NotDeletable);
    EXPECT_NE(layout.FindKey(0), nullptr);
    ASSERT_TRUE(layout.Select(9));
    LayoutOutcome o = layout.Delete();
    ASSERT_TRUE(o.ok());
    EXPECT_EQ(o.keyNumber, 9);
    EXPECT_EQ(layout.FindKey(9), nullptr);
    EXPECT_EQ(layout.Selected(), -1);
    EXPECT_EQ(layout.FreeKeyNumbers()[1], 9);  // free again: 8, 9, 11, ...
}

TEST_F(DeviceLayoutTest, AddDeviceKeyLinksANewDevice) {
    EXPECT_EQ(layout.AddDeviceKey(kNoCodeChosen).result, LayoutResult::BadArgument);
    LayoutOutcome o = layout.AddDeviceKey(321);
    ASSERT_TRUE(o.ok());
    const KeyInfo& k = layout.FindKey(o.keyNumber)->info;
    EXPECT_EQ(k.keyType, kKeyDevice);
    EXPECT_EQ(k.link, 3);
    EXPECT_EQ(k.codeNumber, 321);
    EXPECT_EQ(k.flags, 14);
    EXPECT_EQ(k.parentKey, o.keyNumber);
    devices.free = {1};
    LayoutOutcome out = layout.AddDeviceKey(321);
    EXPECT_EQ(out.result, LayoutResult::NoFreeDevice);
    EXPECT_EQ(out.reason, "<< Out of Device ! >>  \n\n The maximal device is 64 !");
}

// ---------------------------------------------------------------------------
// Pages, order, cells, menus.

TEST_F(DeviceLayoutTest, PageStripClicksWrapAndIgnoreTheRowAbove) {
    EXPECT_FALSE(layout.ClickLcd(40, 275));
    EXPECT_EQ(layout.Page(), 0);
    EXPECT_TRUE(layout.ClickLcd(40, 300));
    EXPECT_EQ(layout.Page(), 7);
    EXPECT_EQ(layout.PageLabel(), "8/8");
    EXPECT_TRUE(layout.ClickLcd(150, 300));
    EXPECT_EQ(layout.Page(), 0);
    EXPECT_EQ(layout.PageLabel(), "1/8");
    EXPECT_FALSE(layout.ShowPage(9));
    EXPECT_TRUE(layout.ShowPage(8));
}

TEST_F(DeviceLayoutTest, MoveToPageShowsThatPageWithTheKeySelected) {
    ASSERT_TRUE(layout.Select(7));
    ASSERT_TRUE(layout.MoveToPage(4).ok());
    EXPECT_EQ(layout.FindKey(7)->info.page, 3);
    EXPECT_EQ(layout.Page(), 3);
    EXPECT_EQ(layout.Selected(), 7);
    EXPECT_EQ(layout.MoveToPage(9).result, LayoutResult::BadArgument);
    EXPECT_EQ(layout.MoveToPage(0).result, LayoutResult::BadArgument);
    ASSERT_TRUE(layout.Select(2));
    EXPECT_EQ(layout.MoveToPage(1).result, LayoutResult::HardKey);
    EXPECT_EQ(layout.FindKey(2)->info.page, kHardKeyPage);
}

TEST_F(DeviceLayoutTest, SequenceSwapsWithTheFirstOrLastKey) {
    ASSERT_TRUE(layout.Select(6));
    ASSERT_TRUE(layout.SetToForeground().ok());
    EXPECT_EQ(layout.KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 4, 5, 10, 7, 9, 6}));
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.SetToBackground().ok());
    EXPECT_EQ(layout.KeyNumbers(), (std::vector<int>{9, 1, 2, 3, 4, 5, 10, 7, 0, 6}));
    EXPECT_EQ(layout.SelectedIndex(), 0);
}

TEST_F(DeviceLayoutTest, SetCellsStoresOnlyChanges) {
    EXPECT_EQ(layout.SetCells(7, {2, 1, 2, 2}).result, LayoutResult::Unchanged);
    EXPECT_FALSE(layout.CanUndo());
    EXPECT_EQ(layout.SetCells(8, {0, 0, 2, 2}).result, LayoutResult::UnknownKey);
    EXPECT_EQ(layout.SetCells(7, {0, 0, 16, 2}).result, LayoutResult::BadArgument);
    ASSERT_TRUE(layout.SetCells(7, {3, 4, 3, 2}).ok());
    const KeyInfo& k = layout.FindKey(7)->info;
    EXPECT_EQ((KeyCells{k.column, k.row, k.width, k.height}), (KeyCells{3, 4, 3, 2}));
    EXPECT_TRUE(layout.Modified());
}

TEST_F(DeviceLayoutTest, RightClickMenuFollowsKeyKindAndClipboard) {
    EXPECT_EQ(layout.MenuFor(-1).code, 100);
    EXPECT_EQ(layout.MenuFor(7).code, 200);
    EXPECT_EQ(layout.MenuFor(6).code, 300);
    clipboard.SetKeyClipboard(SoftKey("x"));
    EXPECT_EQ(layout.MenuFor(-1).code, 110);
    EXPECT_EQ(layout.MenuFor(7).code, 210);
    EXPECT_EQ(layout.MenuFor(6).code, 310);

    struct Menu { int code; bool add, props, cut, paste, load, device; };
    for (Menu m : {
             Menu{100, true, false, false, false, false, true},
             Menu{110, true, true, false, true, false, true},
             Menu{200, false, true, true, false, false, false},
             Menu{210, false, true, true, true, false, false},
             Menu{300, false, true, true, false, true, false},
             Menu{310, false, true, true, true, true, false},
         }) {
        MenuEnabling e = MenuEnablingOf(m.code);
        EXPECT_EQ(e.addButton, m.add) << m.code;
        EXPECT_EQ(e.properties, m.props) << m.code;
        EXPECT_EQ(e.cutCopyDelete, m.cut) << m.code;
        EXPECT_EQ(e.paste, m.paste) << m.code;
        EXPECT_EQ(e.loadPreProgramCode, m.load) << m.code;
        EXPECT_EQ(e.addDevice, m.device) << m.code;
    }
}

// ---------------------------------------------------------------------------
// Save.

TEST_F(DeviceLayoutTest, SaveWritesKeysInKeyNumberOrderAndReadsBack) {
    ASSERT_TRUE(layout.ShowPage(4));
    ASSERT_TRUE(layout.AddButton().ok());   // 8
    ASSERT_TRUE(layout.AddButton().ok());   // 11
    ASSERT_TRUE(layout.SetCells(11, {4, 6, 2, 2}).ok());
    ASSERT_TRUE(layout.Select(11));
    ASSERT_TRUE(layout.SetToBackground().ok());  // drawing order no longer by number
    ASSERT_TRUE(layout.Select(7));
    ASSERT_TRUE(layout.Cut().ok());
    ASSERT_NE(layout.KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11}));

    SaveOutcome saved = layout.Save(flash);
    ASSERT_TRUE(saved.ok()) << saved.reason;
    EXPECT_TRUE(saved.codesNotWritten.empty());
    EXPECT_EQ(layout.KeyNumbers(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11}));

    // Written one after the other into a store the clear emptied: each
    // record lies after the one of the key number before it.
    int lastRecord = -1;
    for (int k : {6, 8, 9, 10, 11}) {
        KeySlot slot;
        ASSERT_TRUE(ReadKeySlot(flash, 0, k, slot));
        EXPECT_GT(int(slot.keyRecord), lastRecord) << k;
        lastRecord = slot.keyRecord;
    }

    KeyInfo k;
    EXPECT_FALSE(ReadKey(flash, 0, 7, k));
    ASSERT_TRUE(ReadKey(flash, 0, 11, k));
    EXPECT_EQ((KeyCells{k.column, k.row, k.width, k.height}), (KeyCells{4, 6, 2, 2}));
    EXPECT_EQ(k.page, 4);
    ASSERT_TRUE(ReadKey(flash, 0, 6, k));
    EXPECT_EQ(k.keyType, kKeyDevice);
    EXPECT_EQ(k.link, 1);
    EXPECT_EQ(k.codeNumber, 120);  // the link trailer of slot 1 was written again
    IrCodeInfo code;
    ASSERT_TRUE(ReadIrCode(flash, 0, 9, code));
    EXPECT_EQ(Packed(code), Packed(SampleCode(3, 7)));
    ASSERT_TRUE(ReadIrCode(flash, 0, 0, code));
    EXPECT_EQ(Packed(code), Packed(SampleCode(2, 90)));
    CycleInfo cycle;
    ASSERT_TRUE(ReadCycle(flash, 0, 10, cycle));
    ASSERT_EQ(cycle.stepCount, 2);
    EXPECT_EQ(Packed(cycle.steps[0]), Packed(SampleCode(2, 40)));
    EXPECT_EQ(Packed(cycle.steps[1]), Packed(SampleCode(3, 50)));

    // A fresh load sees the same device.
    DeviceLayout again(0, clipboard, devices);
    ASSERT_TRUE(again.Load(flash));
    EXPECT_EQ(again.KeyNumbers(), layout.KeyNumbers());
    for (size_t i = 0; i < again.KeyCount(); ++i) {
        const KeyInfo& a = again.KeyAt(i).info;
        const KeyInfo& b = layout.KeyAt(i).info;
        EXPECT_EQ(a.label, b.label) << int(a.keyNumber);
        EXPECT_EQ(a.page, b.page) << int(a.keyNumber);
        EXPECT_EQ(CodeBlocksOf(a).size(), CodeBlocksOf(b).size()) << int(a.keyNumber);
    }
}

TEST_F(DeviceLayoutTest, SaveThatDoesNotFitLeavesImageAndLayoutAsTheyWere) {
    // Only two free blocks beyond what the device holds now: the device's
    // own records fit again after the clear, the five new keys cannot.
    testing::FillStoreLeaving(flash, 2);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(layout.AddButton().ok());
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.SetToForeground().ok());
    const std::vector<int> order = layout.KeyNumbers();
    const std::vector<uint8_t> before = Bytes(flash);

    SaveOutcome failed = layout.Save(flash);
    EXPECT_EQ(failed.result, SaveResult::WriteFailed);
    EXPECT_GE(failed.failedKey, 8);
    EXPECT_FALSE(failed.reason.empty());
    EXPECT_TRUE(Bytes(flash) == before);
    EXPECT_EQ(layout.KeyNumbers(), order);
    EXPECT_TRUE(layout.Modified());
    // The device still has its keys in the image.
    KeyInfo k;
    EXPECT_TRUE(ReadKey(flash, 0, 7, k));
    EXPECT_TRUE(ReadKey(flash, 0, 9, k));
}

// A layout saves only into the holder and the contents it read its device
// from: after a download or another document (the contents replaced), a
// fresh image of another model, or into another holder, Save writes nothing.
TEST_F(DeviceLayoutTest, SaveWritesOnlyIntoTheContentsTheDeviceWasReadFrom) {
    const std::vector<uint8_t> original = Bytes(flash);
    enum class Since { Nothing, ContentsReplaced, OtherModel, OtherHolder };
    TTiFlashFm other;
    for (Since since : {Since::Nothing, Since::ContentsReplaced, Since::OtherModel, Since::OtherHolder}) {
        SCOPED_TRACE(int(since));
        ASSERT_TRUE(flash.SelectModel(kSelector5100));
        std::copy(original.begin(), original.end(), flash.Image().begin());
        ASSERT_TRUE(layout.Load(flash));
        ASSERT_TRUE(layout.AddButton().ok());  // key 8
        TTiFlashFm* target = &flash;
        switch (since) {
            case Since::Nothing: break;
            case Since::ContentsReplaced:
                // The same bytes read again (a download of the same remote):
                // other contents all the same.
                std::copy(original.begin(), original.end(), flash.Image().begin());
                flash.ContentsReplaced();
                break;
            case Since::OtherModel: ASSERT_TRUE(flash.SelectModel(kSelector5120)); break;
            case Since::OtherHolder:
                std::copy(original.begin(), original.end(), other.Image().begin());
                target = &other;
                break;
        }
        EXPECT_EQ(layout.ReadFrom(*target), since == Since::Nothing);
        const std::vector<uint8_t> before = Bytes(*target);
        const SaveOutcome out = layout.Save(*target);
        KeyInfo k;
        if (since == Since::Nothing) {
            ASSERT_TRUE(out.ok()) << out.reason;
            EXPECT_TRUE(ReadKey(flash, 0, 8, k));
            continue;
        }
        EXPECT_EQ(out.result, SaveResult::OtherImage);
        EXPECT_FALSE(out.reason.empty());
        EXPECT_TRUE(Bytes(*target) == before);
        EXPECT_FALSE(ReadKey(*target, 0, 8, k));
        EXPECT_TRUE(layout.Modified());
        // Read again from the new contents, the device saves there.
        ASSERT_TRUE(layout.Load(*target));
        ASSERT_TRUE(layout.AddButton().ok());
        EXPECT_TRUE(layout.Save(*target).ok());
    }
}

TEST_F(DeviceLayoutTest, AnEmptyDeviceIsNeverSaved) {
    DeviceLayout macro(kMacroSlot, clipboard, devices);
    ASSERT_TRUE(macro.Load(flash));
    ASSERT_EQ(macro.KeyCount(), size_t(0));
    const std::vector<uint8_t> before = Bytes(flash);
    EXPECT_EQ(macro.Save(flash).result, SaveResult::NoKeys);
    EXPECT_TRUE(Bytes(flash) == before);
}

TEST_F(DeviceLayoutTest, ACycleKeyWithoutItsStepsIsSavedWithoutItsCode) {
    // A cycle key that came through the clipboard carries the list but not
    // the steps: the key is saved, its code is not.
    ASSERT_TRUE(layout.Select(10));
    ASSERT_TRUE(layout.Copy().ok());
    LayoutOutcome pasted = layout.Paste();
    ASSERT_TRUE(pasted.ok());
    SaveOutcome saved = layout.Save(flash);
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved.codesNotWritten, (std::vector<int>{pasted.keyNumber}));
    KeyInfo k;
    EXPECT_TRUE(ReadKey(flash, 0, pasted.keyNumber, k));
    KeySlot slot;
    ASSERT_TRUE(ReadKeySlot(flash, 0, pasted.keyNumber, slot));
    EXPECT_FALSE(slot.HasCode());
    CycleInfo cycle;
    EXPECT_TRUE(ReadCycle(flash, 0, 10, cycle));
}

// ---------------------------------------------------------------------------
// Undo and redo.

TEST_F(DeviceLayoutTest, UndoAndRedoAMoveMadeOfManySteps) {
    layout.BeginUndoGroup();
    ASSERT_TRUE(layout.SetCells(7, {3, 1, 2, 2}).ok());
    ASSERT_TRUE(layout.SetCells(7, {4, 1, 2, 2}).ok());
    ASSERT_TRUE(layout.SetCells(7, {4, 2, 2, 2}).ok());
    layout.EndUndoGroup();
    ASSERT_TRUE(layout.Undo());
    EXPECT_FALSE(layout.CanUndo());  // the whole drag was one step
    const KeyInfo* k = &layout.FindKey(7)->info;
    EXPECT_EQ((KeyCells{k->column, k->row, k->width, k->height}), (KeyCells{2, 1, 2, 2}));
    ASSERT_TRUE(layout.Redo());
    k = &layout.FindKey(7)->info;
    EXPECT_EQ((KeyCells{k->column, k->row, k->width, k->height}), (KeyCells{4, 2, 2, 2}));
    EXPECT_FALSE(layout.CanRedo());
}

TEST_F(DeviceLayoutTest, UndoAndRedoAnAdd) {
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.AddButton().ok());
    ASSERT_TRUE(layout.Undo());
    EXPECT_EQ(layout.FindKey(8), nullptr);
    EXPECT_EQ(layout.Selected(), 9);  // the selection before the add
    EXPECT_TRUE(layout.Modified());
    ASSERT_TRUE(layout.Redo());
    EXPECT_NE(layout.FindKey(8), nullptr);
    EXPECT_EQ(layout.Selected(), 8);
    EXPECT_EQ(layout.LowestFreeKeyNumber(), 11);
}

TEST_F(DeviceLayoutTest, UndoAndRedoADelete) {
    const std::vector<int> order = layout.KeyNumbers();
    ASSERT_TRUE(layout.Select(9));
    ASSERT_TRUE(layout.Delete().ok());
    ASSERT_TRUE(layout.Undo());
    EXPECT_EQ(layout.KeyNumbers(), order);  // back in its place in the drawing order
    EXPECT_EQ(CodeBlocksOf(layout.FindKey(9)->info), Packed(SampleCode(3, 7)));
    ASSERT_TRUE(layout.Redo());
    EXPECT_EQ(layout.FindKey(9), nullptr);
    // Undone changes do not come back once something else changed.
    ASSERT_TRUE(layout.Undo());
    ASSERT_TRUE(layout.Select(7));
    ASSERT_TRUE(layout.MoveToPage(2).ok());
    EXPECT_FALSE(layout.CanRedo());
    EXPECT_FALSE(layout.Redo());
}

TEST_F(DeviceLayoutTest, UndoNeverChangesAKeyHeldByAnEarlierStep) {
    ASSERT_TRUE(layout.SetCells(7, {0, 0, 2, 2}).ok());
    ASSERT_TRUE(layout.SetCells(7, {1, 0, 2, 2}).ok());
    ASSERT_TRUE(layout.Undo());
    EXPECT_EQ(layout.FindKey(7)->info.column, 0);
    ASSERT_TRUE(layout.Undo());
    EXPECT_EQ(layout.FindKey(7)->info.column, 2);
    EXPECT_FALSE(layout.Undo());
}

TEST_F(DeviceLayoutTest, UndoHistoryIsBounded) {
    for (int i = 0; i < int(DeviceLayout::kUndoDepth) + 20; ++i)
        ASSERT_TRUE(layout.SetCells(7, {i % 2, 0, 2, 2}).ok());
    int undone = 0;
    while (layout.Undo()) ++undone;
    EXPECT_EQ(undone, int(DeviceLayout::kUndoDepth));
}

TEST_F(DeviceLayoutTest, ReplaceKeyTakesAnEditedKeyBack) {
    LayoutKey edited = *layout.FindKey(9);
    edited.info.SetLabel(std::string("Info"));
    ASSERT_TRUE(layout.ReplaceKey(edited).ok());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(layout.FindKey(9)->info.label.data())), "Info");
    ASSERT_TRUE(layout.Undo());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(layout.FindKey(9)->info.label.data())), "Guide");
    edited.info.keyNumber = 50;
    EXPECT_EQ(layout.ReplaceKey(edited).result, LayoutResult::UnknownKey);
}

}  // namespace
}  // namespace orvalink
