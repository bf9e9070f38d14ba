// The key property editor's rules: type changes, device types, pages per
// mode, OK's writing order, labels, macro steps and data, timers, cycle
// steps and shooting.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "editors/core/CycleDraft.h"
#include "editors/core/IrLink.h"
#include "editors/core/KeyEditing.h"
#include "editors/core/LabelEditing.h"
#include "editors/core/MacroDraft.h"

using namespace orvalink;

namespace {

TEST(TypeChangeTest, EveryCellOfTheTable) {
    struct Cell {
        TypeRadio from, to;
        const char* question;
        bool erase, deleteChild, tv;
    };
    const char* ir = "Do you want to delete this IR code ?";
    const char* devChild = "Do you want to delete this IR code and device child ?";
    const char* devOnly = "Do you want to delete this device and child ?";
    const char* macro = "Do you want to delete this MACRO ?";
    const char* cycle = "Do you want to delete this Cycle key ?";
    const Cell cells[] = {
        {kRadioIrCode, kRadioLabel, ir, true, false, false},
        {kRadioIrCode, kRadioDevice, "", false, false, true},
        {kRadioIrCode, kRadioMacro, ir, true, false, false},
        {kRadioIrCode, kRadioCycle, ir, true, false, false},
        {kRadioDevice, kRadioLabel, devChild, true, true, false},
        {kRadioDevice, kRadioIrCode, devOnly, false, true, false},
        {kRadioDevice, kRadioMacro, devChild, true, true, false},
        {kRadioDevice, kRadioCycle, devChild, true, true, false},
        {kRadioMacro, kRadioLabel, macro, true, false, false},
        {kRadioMacro, kRadioIrCode, macro, true, false, false},
        {kRadioMacro, kRadioDevice, macro, true, false, true},
        {kRadioMacro, kRadioCycle, macro, true, false, false},
        {kRadioCycle, kRadioLabel, cycle, true, false, false},
        {kRadioCycle, kRadioIrCode, cycle, true, false, false},
        {kRadioCycle, kRadioDevice, cycle, true, false, true},
        {kRadioCycle, kRadioMacro, cycle, true, false, false},
    };
    for (const Cell& c : cells) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        const TypeChange t = TypeChangeRule(c.from, c.to);
        EXPECT_EQ(t.question, c.question);
        EXPECT_EQ(t.erase, c.erase);
        EXPECT_EQ(t.deleteChild, c.deleteChild);
        EXPECT_EQ(t.deviceTypeTv, c.tv);
        EXPECT_EQ(t.askedWhileLoading, c.from == kRadioDevice);
    }
    for (TypeRadio to : {kRadioIrCode, kRadioDevice, kRadioMacro, kRadioCycle}) {
        const TypeChange t = TypeChangeRule(kRadioLabel, to);
        EXPECT_TRUE(t.question.empty());
        EXPECT_FALSE(t.erase || t.deleteChild);
    }
}

TEST(TypeChangeTest, EraseClearsTheCountAndTheWholeRoom) {
    KeyInfo k;
    k.codeBlockCount = 4;
    k.codeBlocks.fill(0x11);
    EraseKeyCode(k);
    EXPECT_EQ(k.codeBlockCount, 0xFF);
    EXPECT_EQ(k.codeBlocks.size(), 3000u);
    for (uint8_t b : k.codeBlocks) ASSERT_EQ(b, 0xFF);
}

TEST(DeviceTypeTest, NamesAndRanges) {
    EXPECT_EQ(FirstCodeOfType("CABLE"), 1152);
    EXPECT_EQ(FirstCodeOfType("TUNER"), 2304);
    EXPECT_EQ(FirstCodeOfType("AUX"), 2816);
    EXPECT_EQ(FirstCodeOfType("tv"), 0);
    EXPECT_EQ(FirstCodeOfType("PHONE"), 0);
    EXPECT_EQ(TypeNameOfCode(767), "TV");
    EXPECT_EQ(TypeNameOfCode(768), "VCR");
    EXPECT_EQ(TypeNameOfCode(1151), "VCR");
    EXPECT_EQ(TypeNameOfCode(1152), "SAT");
    EXPECT_EQ(TypeNameOfCode(1919), "DVD");
    EXPECT_EQ(TypeNameOfCode(2303), "RECEIVER");
    EXPECT_EQ(TypeNameOfCode(2559), "TAPE");
    EXPECT_EQ(TypeNameOfCode(2815), "CD");
    EXPECT_EQ(TypeNameOfCode(3072), "AUX");
    EXPECT_EQ(TypeNameOfCode(3073), "TV");
    EXPECT_EQ(DeviceTypeNames().size(), 11u);
}

TEST(PagesTest, EditorModesAndTypes) {
    const PageShowing soft = PagesFor(100, kRadioMacro);
    EXPECT_TRUE(soft.macroPage && soft.labelPage && soft.attributePage && soft.keyNumberEnabled);
    EXPECT_FALSE(soft.timerPage || soft.codePage || soft.cyclePage || soft.shapeGroup);
    const PageShowing hard = PagesFor(200, kRadioIrCode);
    EXPECT_TRUE(hard.codePage);
    EXPECT_FALSE(hard.labelPage || hard.attributePanel || hard.keyNumberEnabled || hard.labelRadioEnabled ||
                 hard.deviceRadioEnabled || hard.timerEnabled);
    const PageShowing macro = PagesFor(300, kRadioIrCode);
    EXPECT_FALSE(macro.attributePage || macro.codePage || macro.cyclePage || macro.keyNumberEnabled);
    EXPECT_TRUE(macro.labelPage && macro.macroPage && macro.timerPage && macro.timerEnabled);
    EXPECT_FALSE(PagesFor(100, kRadioLabel).attributePanel);
    EXPECT_TRUE(PagesFor(100, kRadioDevice).codePage);
    EXPECT_FALSE(PagesFor(100, kRadioDevice).shapeGroup);
}

AttributeInput Input(TypeRadio radio) {
    AttributeInput in;
    in.radio = radio;
    in.label = {'A', 'B'};
    in.keyNumber = 12;
    in.deviceType = "DVD";
    return in;
}

TEST(WriteAttributesTest, TypesFlagsAndRefusals) {
    KeyInfo k;
    k.flags = 0xF1;
    AttributeInput in = Input(kRadioIrCode);
    in.shapeRect = true;
    EXPECT_EQ(WriteAttributes(in, k), OkResult::Written);
    EXPECT_EQ(k.flags, kFlagHasCode | kFlagRectangle);
    EXPECT_EQ(k.labelLength, 3);
    EXPECT_EQ(k.label[1], 'B');
    EXPECT_EQ(k.label[2], 0);
    EXPECT_EQ(k.keyNumber, 12);

    KeyInfo label;
    EXPECT_EQ(WriteAttributes(Input(kRadioLabel), label), OkResult::Written);
    EXPECT_EQ(label.keyType, kKeyLabel);
    EXPECT_EQ(label.flags, 12);

    KeyInfo dev;
    in = Input(kRadioDevice);
    in.deviceNumber = 7;
    EXPECT_EQ(WriteAttributes(in, dev), OkResult::Written);
    EXPECT_EQ(dev.keyType, kKeyDevice);
    EXPECT_EQ(dev.link, 7);
    EXPECT_EQ(dev.codeNumber, 1536);
    dev.codeNumber = 99;  // a code number already there stays
    EXPECT_EQ(WriteAttributes(in, dev), OkResult::Written);
    EXPECT_EQ(dev.codeNumber, 99);

    KeyInfo far;
    far.link = 3;
    in.deviceNumber = 65;
    EXPECT_EQ(WriteAttributes(in, far), OkResult::DeviceOutOfRange);
    EXPECT_EQ(far.keyType, kKeyIrCode);
    EXPECT_EQ(far.link, 3);
    EXPECT_EQ(far.keyNumber, 12);  // OK went on

    KeyInfo cyc;
    cyc.keyNumber = 9;
    EXPECT_EQ(WriteAttributes(Input(kRadioCycle), cyc), OkResult::CycleWithoutSteps);
    EXPECT_EQ(cyc.label[0], 'A');  // already stored
    EXPECT_EQ(cyc.keyNumber, 9);

    KeyInfo high;
    in = Input(kRadioMacro);
    in.keyNumber = 64;
    EXPECT_EQ(WriteAttributes(in, high), OkResult::KeyNumberTooHigh);
    EXPECT_EQ(high.keyNumber, 64);
    EXPECT_EQ(high.keyType, kKeyMacro);
}

TEST(WriteAttributesTest, HardAndMacroDeviceModes) {
    KeyInfo hard;
    hard.keyType = kKeyIrCode;
    hard.flags = 6;
    hard.label[0] = 'Z';
    AttributeInput in = Input(kRadioLabel);
    in.editorMode = 200;
    EXPECT_EQ(WriteAttributes(in, hard), OkResult::Written);
    EXPECT_EQ(hard.keyType, kKeyIrCode);
    EXPECT_EQ(hard.flags, 6);
    EXPECT_EQ(hard.label[0], 'Z');

    KeyInfo macro;
    macro.flags = 1;
    in = Input(kRadioCycle);
    in.editorMode = 300;
    EXPECT_EQ(WriteAttributes(in, macro), OkResult::Written);
    EXPECT_EQ(macro.keyType, kKeyMacro);
    EXPECT_EQ(macro.flags, 1);
    EXPECT_EQ(macro.label[0], 'A');
}

TEST(LabelEditorTest, ThirtyBytesAcceptedThirtyFirstRefusedIconsCountTwo) {
    LabelEditor e;
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(e.Add(CharacterElement('a')));
    EXPECT_EQ(e.Encoded().size(), 30u);
    EXPECT_FALSE(e.Add(CharacterElement('b')));
    EXPECT_EQ(e.Elements().size(), 30u);

    LabelEditor icons;
    for (int i = 0; i < 14; ++i) ASSERT_TRUE(icons.Add(IconElement(i)));
    ASSERT_TRUE(icons.Add(CharacterElement('x')));  // 29 bytes
    EXPECT_FALSE(icons.Add(IconElement(3)));        // would be 31
    EXPECT_TRUE(icons.Add(CharacterElement('y')));  // 30
    icons.Enter();                                  // no length check
    EXPECT_EQ(icons.Encoded().size(), 31u);
    EXPECT_EQ(icons.Encoded()[0], 0xF0);
    EXPECT_EQ(icons.Encoded()[1], 1);
}

TEST(LabelEditorTest, CursorAndDelete) {
    LabelEditor e;
    const uint8_t bytes[] = {'A', 0xF0, 5, 13, 'B', 0};
    e.Load(bytes);
    ASSERT_EQ(e.Elements().size(), 4u);
    EXPECT_EQ(e.Elements()[1], IconElement(4));
    EXPECT_EQ(e.Cursor(), 5);
    EXPECT_FALSE(e.Right());  // up to the number of elements only
    EXPECT_TRUE(e.Delete());  // after the last: removes 'B' and moves back
    EXPECT_EQ(e.Cursor(), 4);
    EXPECT_EQ(e.Elements().size(), 3u);
    EXPECT_TRUE(e.Left());    // under the break
    EXPECT_TRUE(e.Delete());  // the icon before the cursor goes; the cursor stays
    EXPECT_EQ(e.Cursor(), 3);
    EXPECT_EQ(e.Encoded(), (std::vector<uint8_t>{'A', 13}));
    while (e.Left()) {}
    EXPECT_EQ(e.Cursor(), 1);
    EXPECT_FALSE(e.Delete());
    EXPECT_TRUE(e.Add(CharacterElement('Q')));
    EXPECT_EQ(e.Encoded().front(), 'Q');
    EXPECT_EQ(CharacterCell(143)->code, 175);
    EXPECT_FALSE(CharacterCell(144).has_value());
    EXPECT_EQ(IconCell(164).iconIndex, 165);
    EXPECT_EQ(IconCell(165).iconIndex, 0);
}

MacroRow Row(int dev, int key, const char* time = "1") {
    return {"Dev", "Key", time, std::to_string(key), std::to_string(dev)};
}

TEST(MacroDataTest, ThreeStepsPackIntoThreeBlocksAndReadBack) {
    TimerBytes timer{0x06, 1, 2, 3, 4};
    const auto data = BuildMacroData({Row(1, 6), Row(2, 7, "0.5"), Row(64, 63, "10")}, timer);
    ASSERT_TRUE(data);
    ASSERT_EQ(data->size(), 24u);
    EXPECT_EQ((*data)[0], 3);
    EXPECT_EQ((*data)[1], 15);
    EXPECT_EQ((*data)[2], 0x06);
    EXPECT_EQ((*data)[7], 3);
    EXPECT_EQ((*data)[11], 2);
    EXPECT_EQ((*data)[13], 0);
    EXPECT_EQ((*data)[16], 10);
    KeyInfo k;
    StoreMacroData(*data, k);
    EXPECT_EQ(k.codeBlockCount, 3);
    const auto back = ParseMacroData(k);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->timer, timer);
    EXPECT_EQ(back->steps, (std::vector<MacroDataStep>{{1, 6, 1}, {2, 7, 0}, {64, 63, 10}}));
}

TEST(MacroDataTest, BuildRefusesCellsThatAreNoNumbers) {
    EXPECT_FALSE(BuildMacroData({Row(1, 6), {"Dev", "Key", "1", "x", "1"}}, {}));
    EXPECT_FALSE(BuildMacroData({{"Dev", "Key", "0.3", "6", "1"}}, {}));
    EXPECT_FALSE(BuildMacroData({Row(65, 6)}, {}));
    EXPECT_FALSE(BuildMacroData({Row(1, 6, "11")}, {}));
}

TEST(MacroDraftTest, OperationsAtTheEdges) {
    MacroDraft d;
    EXPECT_FALSE(d.Insert(1, Row(1, 1)));  // no steps yet
    EXPECT_FALSE(d.Remove(0));
    ASSERT_TRUE(d.Append(Row(1, 1)));
    ASSERT_TRUE(d.Append(Row(1, 2)));
    EXPECT_FALSE(d.Insert(0, Row(1, 9)));
    EXPECT_FALSE(d.Insert(3, Row(1, 9)));  // beyond the last step
    EXPECT_TRUE(d.Insert(1, Row(1, 9)));
    EXPECT_EQ(d.Rows()[0].keyNo, "9");
    EXPECT_EQ(d.Rows()[1].keyNo, "1");
    EXPECT_FALSE(d.Replace(4, Row(1, 8)));
    EXPECT_TRUE(d.Replace(3, Row(1, 8)));
    EXPECT_FALSE(d.Remove(4));
    EXPECT_TRUE(d.Remove(3));  // the last: selection on the new last row
    EXPECT_EQ(d.Selected(), 2);
    EXPECT_TRUE(d.Remove(1));
    EXPECT_EQ(d.Selected(), 1);
    EXPECT_EQ(d.Rows()[0].keyNo, "1");
    EXPECT_FALSE(d.Select(2));
    EXPECT_TRUE(d.Remove(1));
    EXPECT_EQ(d.Selected(), 0);
    for (int i = 0; i < kMaxGridSteps; ++i) ASSERT_TRUE(d.Append(Row(1, i % 60)));
    EXPECT_FALSE(d.Append(Row(1, 1)));
    ASSERT_TRUE(d.Select(1));
    EXPECT_FALSE(d.CanMoveUp());
    EXPECT_TRUE(d.MoveDown());
    EXPECT_EQ(d.Selected(), 2);
    EXPECT_EQ(d.Rows()[1].keyNo, "0");
    ASSERT_TRUE(d.Select(60));
    EXPECT_FALSE(d.MoveDown());
}

TEST(TimerTest, LoadingAndSaving) {
    TimerView v = LoadTimer({1, 0, 5, 10, 20});  // month 0
    EXPECT_EQ(v.kind, kTimerSpecific);
    EXPECT_FALSE(v.monthDay || v.hourMinute);
    v = LoadTimer({1, 3, 5, 10, 60});  // minute 60
    EXPECT_EQ(v.kind, kTimerSpecific);
    EXPECT_FALSE(v.monthDay || v.hourMinute);
    v = LoadTimer({3, 12, 31, 23, 59});  // bit 0 wins over the day bits
    EXPECT_EQ(v.kind, kTimerSpecific);
    EXPECT_EQ(v.monthDay, std::make_pair(12, 31));
    EXPECT_EQ(v.hourMinute, std::make_pair(23, 59));
    EXPECT_EQ(LoadTimer({0}).kind, kTimerDisable);
    v = LoadTimer({uint8_t(DayBit(0) | DayBit(6))});
    EXPECT_EQ(v.kind, kTimerWeek);
    EXPECT_EQ(v.dayMask, 0x82);

    const TimerBytes held{1, 4, 5, 6, 7};
    EXPECT_EQ(SaveTimer(kTimerWeek, 0x0A, {}, held), (TimerBytes{0x0A, 4, 5, 6, 7}));
    EXPECT_EQ(SaveTimer(kTimerSpecific, 0, {2, 28, 13, 45}, held), (TimerBytes{1, 2, 28, 13, 45}));
    EXPECT_EQ(SaveTimer(kTimerDisable, 0x0A, {}, held).kind, 0);
}

TEST(CycleDraftTest, SeventhCodeRefusedRemoveAndSwap) {
    CycleDraft d;
    for (int i = 0; i < 6; ++i) {
        LearnedCode c{};
        c[0] = uint8_t(i);
        IrCodeInfo s;
        s.size = uint8_t(i + 1);
        ASSERT_TRUE(d.AddLearned(c, s));
    }
    EXPECT_FALSE(d.AddLearned(LearnedCode{}, IrCodeInfo{}));
    EXPECT_EQ(d.Count(), 6);
    EXPECT_EQ(d.Steps()[5].codeText, "Code 6");
    ASSERT_TRUE(d.Select(6));
    EXPECT_FALSE(d.MoveDown());
    EXPECT_TRUE(d.MoveUp());
    EXPECT_EQ(d.Selected(), 5);
    EXPECT_EQ(d.Steps()[4].learned[0], 5);
    EXPECT_EQ(d.Steps()[4].stepText, "5");
    ASSERT_TRUE(d.Select(6));
    EXPECT_TRUE(d.Remove());
    EXPECT_EQ(d.Selected(), 5);
    EXPECT_EQ(d.Steps()[4].learned[0], 5);
    ASSERT_TRUE(d.Select(1));
    EXPECT_FALSE(d.MoveUp());
    EXPECT_TRUE(d.Remove());
    EXPECT_EQ(d.Steps()[0].learned[0], 1);
    EXPECT_EQ(d.Steps()[0].stepText, "1");
    EXPECT_TRUE(d.AddLearned(LearnedCode{}, IrCodeInfo{}));
    EXPECT_EQ(d.Steps().back().codeText, "Code 7");  // the running number goes on

    LayoutKey key;
    ASSERT_TRUE(d.PackInto(key));
    EXPECT_EQ(key.info.codeBlockCount, 3);  // 5 steps: 5 / 4 + 1 + 1
    EXPECT_EQ(key.info.codeBlocks[1], kCycleMarker);
    EXPECT_EQ(key.info.codeBlocks[7], 5);
    EXPECT_EQ(key.info.codeBlocks[27], 0);
    EXPECT_TRUE(key.hasCycle);
    EXPECT_EQ(key.cycle.stepCount, 5);
    EXPECT_EQ(key.cycle.steps[0].size, 2);
    EXPECT_EQ(CycleHeaderBlocks(4), 2);
    EXPECT_EQ(CycleHeaderBlocks(1), 2);
    CycleDraft empty;
    LayoutKey untouched;
    untouched.info.codeBlockCount = 7;
    EXPECT_FALSE(empty.PackInto(untouched));
    EXPECT_EQ(untouched.info.codeBlockCount, 7);
}

class CountingLink final : public IrLink {
public:
    bool startOk = true;
    int starts = 0, codes = 0, releases = 0;
    std::function<void()> whileStarting;  // what the user does while the press waits
    bool IrLearnStart() override { return true; }
    bool IrLearnReceive(LearnedCode&, const std::function<bool()>&) override { return false; }
    void IrStop() override {}
    bool IrSendStart() override {
        ++starts;
        if (whileStarting) whileStarting();
        return startOk;
    }
    bool IrSendCode(std::span<const uint8_t> code) override {
        codes += code.size() == 512;
        return true;
    }
    void IrSendRelease() override { ++releases; }
};

TEST(IrShotTest, ReleaseOnlyAfterAnAcceptedPress) {
    CountingLink link;
    IrShot shot(link);
    EXPECT_FALSE(shot.Release());
    EXPECT_EQ(link.releases, 0);
    EXPECT_TRUE(shot.Press(LearnedCode{}));
    EXPECT_TRUE(shot.Release());
    EXPECT_FALSE(shot.Release());
    EXPECT_EQ(link.codes, 1);
    EXPECT_EQ(link.releases, 1);
    link.startOk = false;
    EXPECT_FALSE(shot.Press(LearnedCode{}));
    EXPECT_FALSE(shot.Release());
    EXPECT_EQ(link.codes, 1);
    EXPECT_EQ(link.releases, 1);
}

// A quick click: the button is let go while the press still waits for the
// remote. The release follows the press; the remote does not go on sending.
TEST(IrShotTest, AReleaseDuringThePressFollowsIt) {
    CountingLink link;
    IrShot shot(link);
    link.whileStarting = [&] {
        EXPECT_TRUE(shot.Release());
        EXPECT_FALSE(shot.Press(LearnedCode{})) << "a second press inside the first";
    };
    EXPECT_TRUE(shot.Press(LearnedCode{}));
    EXPECT_EQ(link.starts, 1);
    EXPECT_EQ(link.codes, 1);
    EXPECT_EQ(link.releases, 1);
    EXPECT_FALSE(shot.Pressed());
    // A press the remote refuses leaves nothing to release, even when the
    // button was let go while it waited.
    link.startOk = false;
    EXPECT_FALSE(shot.Press(LearnedCode{}));
    EXPECT_EQ(link.releases, 1);
    link.whileStarting = nullptr;
    link.startOk = true;
    EXPECT_TRUE(shot.Press(LearnedCode{}));
    EXPECT_TRUE(shot.Pressed()) << "an old release must not end a new press";
    EXPECT_TRUE(shot.Release());
    EXPECT_EQ(link.releases, 2);
}

TEST(CodeViewTest, TypeCarrierAndWaveform) {
    EXPECT_EQ(CodeTypeText(1), "RC-5");
    EXPECT_EQ(CodeTypeText(3), "Pulse");
    EXPECT_EQ(CodeTypeText(7), "Normal");
    EXPECT_EQ(CarrierText(132), "37.88 ");
    EXPECT_EQ(CarrierText(1), "5000.00");  // cut to 7 characters
    const auto pts = WaveformPoints({{100, 200}, {300, 0x1234}});
    ASSERT_EQ(pts.size(), 4u);
    EXPECT_EQ(pts[1].time, 100);
    EXPECT_EQ(pts[1].level, 0);
    EXPECT_EQ(pts[2].time, 300);
    EXPECT_EQ(pts[3].label, "2:1234");
}

// ---- The key's code blocks.

// A learned Pulse code of two timing entries and 12 one-bit symbols: 3 blocks
// once stored.
LearnedCode SampleLearned() {
    LearnedCode l{};
    l[0] = 3;
    l[1] = kCodePulse << 3;
    l[4] = 190;
    l[5] = 12;
    l[6] = 0xFF;
    l[7] = 2;
    const uint8_t body[] = {0x10, 0x01, 0x20, 0x02, 0x30, 0x03, 0x40, 0x04, 0xA5, 0x0C};
    std::copy(std::begin(body), std::end(body), l.begin() + 8);
    return l;
}

// One "no code" rule for the IR code of a key and for its macro data.
TEST(KeyCodeTest, BlockCountZeroOrFFIsNoCode) {
    KeyInfo withCode;
    withCode.codeBlocks.fill(0xFF);
    IrCodeInfo stored;
    ASSERT_TRUE(StoreLearnedCode(SampleLearned(), withCode, stored));
    const auto macro = BuildMacroData({Row(1, 6)}, TimerBytes{});
    ASSERT_TRUE(macro);
    struct Case {
        uint8_t count;
        bool hasCode;
    };
    for (const Case c : {Case{0, false}, Case{0xFF, false}, Case{1, true}, Case{3, true}, Case{0xFE, true}}) {
        SCOPED_TRACE(int(c.count));
        KeyInfo k = withCode;
        k.codeBlockCount = c.count;
        EXPECT_EQ(HasKeyCode(k), c.hasCode);
        IrCodeInfo code;
        // A count beyond the record's own size still reads the record.
        EXPECT_EQ(KeyIrCode(k, code), c.hasCode && c.count >= stored.size);
        KeyInfo m;
        StoreMacroData(*macro, m);
        m.codeBlockCount = c.count;
        EXPECT_EQ(ParseMacroData(m).has_value(), c.hasCode);
    }
}

TEST(KeyCodeTest, ALearnedCodeIsPackedIntoTheKeysBlocks) {
    KeyInfo key;
    key.codeBlocks.fill(0x11);  // an older, longer code
    key.codeBlockCount = 9;
    IrCodeInfo stored;
    ASSERT_TRUE(StoreLearnedCode(SampleLearned(), key, stored));
    EXPECT_EQ(stored.size, 3);
    EXPECT_EQ(key.codeBlockCount, 3);
    EXPECT_TRUE(std::all_of(key.codeBlocks.begin() + 24, key.codeBlocks.end(), [](uint8_t b) { return b == 0xFF; }));
    IrCodeInfo back;
    ASSERT_TRUE(KeyIrCode(key, back));
    LearnedCode send{};
    ASSERT_TRUE(StoredToSend(back, send));
    EXPECT_EQ(send, SampleLearned());

    // A code that does not convert leaves the key as it was.
    LearnedCode bad = SampleLearned();
    bad[5] = 0;  // no first-frame symbols
    const KeyInfo before = key;
    stored.size = 77;
    EXPECT_FALSE(StoreLearnedCode(bad, key, stored));
    EXPECT_EQ(key.codeBlocks, before.codeBlocks);
    EXPECT_EQ(key.codeBlockCount, before.codeBlockCount);
    EXPECT_EQ(stored.size, 77);
}

TEST(KeyCodeTest, ChildDevicesAreTheDeviceSlots) {
    for (int n : {-1, 0, 65, 66, 255}) EXPECT_FALSE(IsChildDevice(n)) << n;
    for (int n : {1, 2, 63, 64}) EXPECT_TRUE(IsChildDevice(n)) << n;
}

// ---- The label as the key shows it.

TEST(LabelEditorTest, LabelLengthsTheEditorOpens) {
    struct Case {
        uint16_t length;
        bool editable;
    };
    for (const Case c : {Case{0, true}, Case{31, true}, Case{32, true}, Case{33, false}, Case{100, false}}) {
        KeyInfo k;
        k.labelLength = c.length;
        EXPECT_EQ(LabelEditable(k), c.editable) << c.length;
    }
}

TEST(LabelEditorTest, TheKeyShowingTheEditedLabelAndShape) {
    KeyInfo key;
    key.SetLabel(std::string("OLD LABEL"));
    key.width = 3;
    key.keyNumber = 12;
    struct Case {
        const char* what;
        std::vector<uint8_t> encoded;
        uint8_t flags;
        bool rect;
        uint8_t flagsShown;
    };
    const std::vector<uint8_t> tooLong(120, 'x');
    const Case cases[] = {
        {"an oval key made a rectangle", {'A', 13, 'B'}, kFlagHasCode, true, kFlagHasCode | kFlagRectangle},
        {"a rectangle made an oval", {'A', 0xF0, 5}, kFlagRectangle | kFlagWhite | kFlagAlignRight, false,
         kFlagWhite | kFlagAlignRight},
        {"an empty label", {}, kFlagRectangle, true, kFlagRectangle},
        {"a label longer than the room", tooLong, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        key.flags = c.flags;
        const KeyInfo shown = KeyShowingLabel(key, c.encoded, c.rect);
        EXPECT_EQ(shown.flags, c.flagsShown);
        const size_t n = std::min(c.encoded.size(), size_t(kLabelBytes - 1));
        EXPECT_TRUE(std::equal(c.encoded.begin(), c.encoded.begin() + long(n), shown.label.begin()));
        EXPECT_TRUE(std::all_of(shown.label.begin() + long(n), shown.label.end(), [](uint8_t b) { return b == 0; }));
        EXPECT_EQ(shown.width, key.width);
        EXPECT_EQ(shown.keyNumber, key.keyNumber);
    }
}

}  // namespace
