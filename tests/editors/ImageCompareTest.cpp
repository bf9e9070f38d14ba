// Two configurations compared: pairs made by the editors' own operations
// (a key dragged, a label changed, a code learned, a setting changed, ...)
// report each difference once, in its place, and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>
#include <vector>

#include "editors/core/DeviceLayout.h"
#include "editors/core/KeyEditing.h"
#include "image/ImageCompare.h"
#include "image/LcdBitmaps.h"
#include "image/MacroRecords.h"
#include "image/Settings.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SampleCode;
using testing::SoftKey;

class NoClipboard : public KeyClipboard {
public:
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
};

class FreeDevices : public DeviceNumberSource {
public:
    std::vector<int> FreeDeviceNumbers() const override { return {3, 4, 5}; }
};

// An NEC frame (leader, 32 bits least significant first, end mark) as a
// stored Normal code: entries leader, 0, 1, end.
IrCodeInfo NecCode(unsigned device, unsigned function) {
    IrCodeInfo c;
    c.codeType = kCodeNormal;
    c.reserved2 = 0;
    c.timingCount = 4;
    c.carrier = 211;
    const uint16_t table[4][2] = {{9000, 4500}, {560, 560}, {560, 1690}, {560, 40000}};
    for (int e = 0; e < 4; ++e)
        for (int h = 0; h < 2; ++h) {
            c.data[size_t(4 * e + 2 * h)] = uint8_t(table[e][h]);
            c.data[size_t(4 * e + 2 * h + 1)] = uint8_t(table[e][h] >> 8);
        }
    const uint32_t value = device | (~device & 0xFF) << 8 | function << 16 | (~function & 0xFF) << 24;
    std::vector<uint32_t> symbols{0};
    for (int b = 0; b < 32; ++b) symbols.push_back(value >> b & 1 ? 2 : 1);
    symbols.push_back(3);
    c.symbolWidth = 2;
    c.timingBytes = 16;
    c.firstCount = uint8_t(symbols.size());
    c.repeatCount = kNoRepeat;
    std::span<uint8_t> packed(c.data.data() + 16, c.data.size() - 16);
    for (size_t i = 0; i < symbols.size(); ++i) PutSymbol(packed, i, 2, symbols[i]);
    c.size = uint8_t((8 + 16 + (symbols.size() * 2 + 7) / 8 + 7) / 8);
    return c;
}

std::vector<uint8_t> Packed(const IrCodeInfo& code) {
    std::vector<uint8_t> bytes(8 * size_t(code.size));
    EXPECT_TRUE(PackIrCode(code, bytes));
    return bytes;
}

void SetCode(LayoutKey& key, const std::vector<uint8_t>& record) {
    key.info.codeBlockCount = uint8_t(record.size() / 8);
    std::copy(record.begin(), record.end(), key.info.codeBlocks.begin());
}

// Home: Device keys "TV" (slot 1) and "DVD" (slot 2). TV: "Vol+" (8, NEC 4/8),
// "Mute" (9, NEC 4/13), the cycle key "Inp" (10, two steps), the label key
// "Info" (11) and the Power hard key's code. Macro: key 6, two steps. Default settings.
void MakeBase(TTiFlashFm& flash) {
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1, 120)));
    ASSERT_TRUE(WriteKey(flash, 0, 7, DeviceKey("DVD", 2)));
    KeyInfo vol = SoftKey("Vol+");
    vol.keyNumber = 8;
    ASSERT_TRUE(WriteKey(flash, 1, 8, vol));
    ASSERT_TRUE(WriteIrCode(flash, 1, 8, NecCode(4, 8)));
    KeyInfo mute = SoftKey("Mute");
    mute.column = 4;
    ASSERT_TRUE(WriteKey(flash, 1, 9, mute));
    ASSERT_TRUE(WriteIrCode(flash, 1, 9, NecCode(4, 13)));
    KeyInfo input = SoftKey("Inp", 2, 1);
    input.keyType = kKeyCycle;
    ASSERT_TRUE(WriteKey(flash, 1, 10, input));
    CycleInfo cycle;
    cycle.stepCount = 2;
    cycle.steps[0] = NecCode(4, 20);
    cycle.steps[1] = NecCode(4, 21);
    ASSERT_TRUE(WriteCycle(flash, 1, 10, cycle));
    ASSERT_TRUE(WriteIrCode(flash, 1, 0, NecCode(4, 1)));
    KeyInfo info = SoftKey("Info", 2, 1);
    info.keyType = kKeyLabel;
    info.flags = kFlagRectangle | kFlagWhite;
    info.column = 3;
    ASSERT_TRUE(WriteKey(flash, 1, 11, info));
    KeyInfo macroKey = SoftKey("Film");
    macroKey.keyType = kKeyMacro;
    ASSERT_TRUE(WriteKey(flash, kMacroSlot, 6, macroKey));
    MacroInfo macro;
    macro.stepCount = 2;
    macro.steps[0] = {1, 8, 0};
    macro.steps[1] = {2, 6, 3};
    ASSERT_TRUE(WriteMacro(flash, 6, macro));
    ASSERT_TRUE(WriteSettings(flash, DefaultSettings()));
}

// An edit made through a device's layout, saved as the editor saves.
void EditDevice(TTiFlashFm& flash, int device, const std::function<void(DeviceLayout&)>& edit) {
    NoClipboard clipboard;
    FreeDevices devices;
    DeviceLayout layout(device, clipboard, devices);
    ASSERT_TRUE(layout.Load(flash));
    edit(layout);
    ASSERT_TRUE(layout.Save(flash).ok());
}

using Place = std::tuple<int, int, DiffTopic>;  // slot (-1 none), key (-1 the device), topic

std::vector<Place> Places(const ImageComparison& c) {
    std::vector<Place> out;
    for (const DeviceDifferences& d : c.devices) {
        for (const Difference& x : d.changes) out.emplace_back(d.slot, -1, x.topic);
        for (const KeyDifferences& k : d.keys)
            for (const Difference& x : k.changes) out.emplace_back(d.slot, k.key, x.topic);
    }
    for (const auto* list : {&c.settings, &c.pictures, &c.regions})
        for (const Difference& x : *list) out.emplace_back(-1, -1, x.topic);
    std::sort(out.begin(), out.end());
    return out;
}

std::string AllText(const ImageComparison& c) {
    std::string text;
    for (const std::string& line : ComparisonLines(c)) text += line + "\n";
    return text;
}

struct Case {
    const char* name;
    std::function<void(TTiFlashFm&)> edit;
    std::vector<Place> expected;
    std::vector<const char*> words;  // what the lines must say
};

TEST(ImageCompare, EachEditorChangeIsReportedOnceInItsPlaceAndNothingElse) {
    const std::vector<Case> cases = {
        {"nothing, every device saved again",
         [](TTiFlashFm& f) {
             for (int d : {0, 1, 2, kMacroSlot}) EditDevice(f, d, [](DeviceLayout&) {});
         },
         {},
         {}},
        {"a key dragged",
         [](TTiFlashFm& f) { EditDevice(f, 1, [](DeviceLayout& l) { ASSERT_TRUE(l.SetCells(8, {5, 3, 3, 2}).ok()); }); },
         {{1, 8, DiffTopic::KeyMoved}},
         {"key 8 \"Vol+\"", "moved from page 1, column 0, row 0 to page 1, column 5, row 3"}},
        {"a key resized",
         [](TTiFlashFm& f) { EditDevice(f, 1, [](DeviceLayout& l) { ASSERT_TRUE(l.SetCells(9, {4, 0, 4, 2}).ok()); }); },
         {{1, 9, DiffTopic::KeyResized}},
         {"resized from 3 x 2 to 4 x 2"}},
        {"a label changed",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(8);
                 k.info.SetLabel(std::string("Volume"));
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, 8, DiffTopic::KeyLabel}},
         {"label changed from \"Vol+\" to \"Volume\""}},
        {"a code learned",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(8);
                 SetCode(k, Packed(NecCode(4, 9)));
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, 8, DiffTopic::IrCode}},
         {"IR code changed from NEC 4 / 8 to NEC 4 / 9"}},
        {"a label key made an IR code key with a learned code",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(11);
                 AttributeInput in;
                 in.radio = kRadioIrCode;
                 in.shapeRect = true;
                 in.backgroundWhite = true;
                 in.label = {'I', 'n', 'f', 'o'};
                 in.keyNumber = 11;
                 ASSERT_EQ(WriteAttributes(in, k.info), OkResult::Written);
                 SetCode(k, Packed(NecCode(4, 30)));
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, 11, DiffTopic::KeyType}, {1, 11, DiffTopic::IrCode}},
         {"type changed from Label to IR code", "IR code NEC 4 / 30 added"}},
        {"a hard key's code set",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(1);
                 SetCode(k, Packed(SampleCode(2, 9)));
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, 1, DiffTopic::IrCode}},
         {"IR code Normal code, "}},
        {"a cycle step learned",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(10);
                 k.cycle.stepCount = 3;
                 k.cycle.steps[2] = NecCode(4, 22);
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, 10, DiffTopic::Cycle}},
         {"cycle step 3 added: NEC 4 / 22"}},
        {"a key added and a key deleted",
         [](TTiFlashFm& f) {
             EditDevice(f, 1, [](DeviceLayout& l) {
                 ASSERT_TRUE(l.AddButton().ok());
                 ASSERT_TRUE(l.Select(9));
                 ASSERT_TRUE(l.Delete().ok());
             });
         },
         {{1, 6, DiffTopic::KeyAdded}, {1, 9, DiffTopic::KeyRemoved}},
         {"added: IR code key on page 1", "removed: IR code key on page 1, column 4, row 0, 3 x 2 cells, with IR code NEC 4 / 13"}},
        {"a device renamed",
         [](TTiFlashFm& f) {
             EditDevice(f, 0, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(6);
                 k.info.SetLabel(std::string("Telly"));
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{1, -1, DiffTopic::DeviceRenamed}},
         {"device Telly\n  renamed from \"TV\" to \"Telly\""}},
        {"a device added",
         [](TTiFlashFm& f) { EditDevice(f, 0, [](DeviceLayout& l) { ASSERT_TRUE(l.AddDeviceKey(130).ok()); }); },
         {{3, -1, DiffTopic::DeviceAdded}},
         {"added (Home key 8, pre-program code 130)"}},
        {"a macro step and the timer changed",
         [](TTiFlashFm& f) {
             EditDevice(f, kMacroSlot, [](DeviceLayout& l) {
                 LayoutKey k = *l.FindKey(6);
                 MacroInfo m;
                 ASSERT_TRUE(UnpackMacro({k.info.codeBlocks.data(), 8u * k.info.codeBlockCount}, m));
                 m.steps[1] = {1, 9, 0};
                 m.timerKind = 0x02 | 0x20;
                 std::vector<uint8_t> record;
                 ASSERT_TRUE(PackMacro(m, record));
                 SetCode(k, record);
                 ASSERT_TRUE(l.ReplaceKey(k).ok());
             });
         },
         {{kMacroSlot, 6, DiffTopic::Macro}, {kMacroSlot, 6, DiffTopic::Timer}},
         {"macro step 2 changed from device DVD key 6, 3 s to device TV key 9, 0.5 s",
          "timer changed from disabled to every Monday, Friday"}},
        {"a setting changed",
         [](TTiFlashFm& f) {
             RemoteSettings s = DefaultSettings();
             s[kSettingContrast] = 30;
             ASSERT_TRUE(WriteSettings(f, s));
         },
         {{-1, -1, DiffTopic::Setting}},
         {"Settings\n  Contrast changed from 28 to 30"}},
        {"the welcome picture changed",
         [](TTiFlashFm& f) {
             PictureBytes p{};
             ASSERT_TRUE(ReadPicture(f, kWelcomeSystem, p));
             p[0] ^= 0x81;
             ASSERT_TRUE(WritePicture(f, kWelcomeSystem, p));
         },
         {{-1, -1, DiffTopic::WelcomePicture}},
         {"welcome picture (system) changed: 2 pixels differ"}},
        {"glyph bytes changed",
         [](TTiFlashFm& f) { f.Image()[f.GlyphTableStart() + 300] ^= 1; },
         {{-1, -1, DiffTopic::Region}},
         {"glyphs: 1 byte differs (page 5)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTiFlashFm a, b;
        MakeBase(a);
        std::copy(a.Image().begin(), a.Image().end(), b.Image().begin());
        c.edit(b);
        const ImageComparison result = CompareImages(a, b);
        EXPECT_EQ(Places(result), c.expected) << AllText(result);
        EXPECT_EQ(result.Count(), c.expected.size());
        for (const char* w : c.words) EXPECT_NE(AllText(result).find(w), std::string::npos) << w << "\n" << AllText(result);
        // Backwards: the same places, the opposite words.
        const ImageComparison back = CompareImages(b, a);
        EXPECT_EQ(back.Count(), c.expected.size()) << AllText(back);
    }
}

}  // namespace
}  // namespace orvalink
