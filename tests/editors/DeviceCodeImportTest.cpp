// Importing a file's IR signals into a device and exporting its codes: the
// functions names stand for, the proposal and the user's changes to it, the
// map file, the one-step import with its refusals, and the export.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "editors/core/DeviceCodeImport.h"
#include "editors/core/KeyEditing.h"
#include "image/IrDecoder.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::SoftKey;

class NoClipboard : public KeyClipboard {
public:
    void SetKeyClipboard(const KeyInfo&) override {}
    bool GetKeyClipboard(KeyInfo&) const override { return false; }
};

class NoDevices : public DeviceNumberSource {
public:
    std::vector<int> FreeDeviceNumbers() const override { return {}; }
};

// An NEC frame with its nominal timings, as a file would carry it.
ProntoCode NecCode(unsigned device, unsigned function) {
    ProntoCode c;
    c.carrierHz = 38000;
    c.once.push_back({9000, 4500});
    const unsigned bytes[] = {device, 0xFF & ~device, function, 0xFF & ~function};
    for (unsigned b : bytes)
        for (int bit = 0; bit < 8; ++bit) c.once.push_back({560, (b >> bit) & 1 ? 1690u : 560u});
    c.once.push_back({560, 40000});
    return c;
}

IrSignal Signal(const std::string& name, ProntoCode code) {
    IrSignal s;
    s.name = name;
    s.code = std::move(code);
    s.decoded = DecodeIr(s.code.once);
    return s;
}

// A code the remote's learned form cannot hold, snapped or not: a mark
// longer than 0xFFFF us.
ProntoCode Unholdable() {
    ProntoCode c = NecCode(4, 1);
    c.once[1].mark = 70000;
    return c;
}

// The NEC code as a remote captured it: each duration up to 6 % off.
ProntoCode Captured(ProntoCode c) {
    int n = 0;
    for (IrPulse& p : c.once) {
        const int step = (n++ * 7) % 13 - 6;  // -6..6 percent, never twice alike in a row
        p.mark = uint32_t(p.mark * (100 + step) / 100);
        p.space = uint32_t(p.space * (100 - step) / 100);
    }
    return c;
}

KeyInfo IconKey(int icon) {
    KeyInfo k = SoftKey("");
    const uint8_t label[] = {0xF0, uint8_t(icon + 1), 0};
    k.SetLabel(label);
    return k;
}

// ---------------------------------------------------------------------------
// The function of a name.

TEST(KeyFunctionOfName, UsualSpellingsOfFilesAndLabelsComeDownToOneFunction) {
    const struct {
        const char* name;
        KeyFunction function;
    } cases[] = {
        {"POWER", KeyFunction::Power},          {"Power", KeyFunction::Power},
        {"KEY_POWER", KeyFunction::Power},      {"TV power", KeyFunction::Power},
        {"Power_Toggle", KeyFunction::Power},   {"POWER_ON", KeyFunction::PowerOn},
        {"Vol_up", KeyFunction::VolumeUp},      {"VOL+", KeyFunction::VolumeUp},
        {"KEY_VOLUMEUP", KeyFunction::VolumeUp}, {"vol up", KeyFunction::VolumeUp},
        {"Vol-Up", KeyFunction::VolumeUp},      {"Vol+", KeyFunction::VolumeUp},
        {"Vol_dn", KeyFunction::VolumeDown},    {"VOL -", KeyFunction::VolumeDown},
        {"ch-", KeyFunction::ChannelDown},      {"Ch_next", KeyFunction::ChannelUp},
        {"KEY_CHANNELDOWN", KeyFunction::ChannelDown}, {"P+", KeyFunction::ChannelUp},
        {"Mute", KeyFunction::Mute},            {"KEY_1", KeyFunction::Digit1},
        {"Num_1", KeyFunction::Digit1},         {"KEY_NUMERIC_0", KeyFunction::Digit0},
        {"9", KeyFunction::Digit9},             {"KEY_OK", KeyFunction::Ok},
        {"ENTER", KeyFunction::Ok},             {"KEY_UP", KeyFunction::Up},
        {"Cursor_Left", KeyFunction::Left},     {"KEY_PLAYPAUSE", KeyFunction::PlayPause},
        {"play pause", KeyFunction::PlayPause}, {"ffwd", KeyFunction::FastForward},
        {"KEY_REWIND", KeyFunction::Rewind},    {"REC", KeyFunction::Record},
        {"Source", KeyFunction::Input},         {"KEY_EPG", KeyFunction::Guide},
        {"PRE CH", KeyFunction::PreviousChannel}, {"KEY_BACK", KeyFunction::Back},
        {"EXIT", KeyFunction::Exit},            {"MENU", KeyFunction::Menu},
        {"DISP", KeyFunction::Info},            {"YELL", KeyFunction::Yellow},
        // Names that are no function of the table stay without one.
        {"Netflix", KeyFunction::None},         {"BASS +", KeyFunction::None},
        {"-/--", KeyFunction::None},            {"TV", KeyFunction::None},
        {"KEY", KeyFunction::None},             {"Page_up", KeyFunction::None},
        {"", KeyFunction::None},                {"power_user_mode", KeyFunction::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(int(FunctionOfName(c.name)), int(c.function)) << "\"" << c.name << "\"";
}

// ---------------------------------------------------------------------------
// A device of hard keys 0..5 and soft keys: 6 "MENU", 7 the vol-up icon
// (taken from the hard key by nobody: two keys of one function), 8
// "NETFLIX", 9 the digit 1 icon, 10 "Macro" as a macro key, 11 "Guide".

class DeviceCodeImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteKey(flash, 1, 6, SoftKey("MENU")));
        ASSERT_TRUE(WriteKey(flash, 1, 7, IconKey(2)));   // "vol up"
        ASSERT_TRUE(WriteKey(flash, 1, 8, SoftKey("NETFLIX")));
        ASSERT_TRUE(WriteKey(flash, 1, 9, IconKey(56)));  // "1"
        KeyInfo macro = SoftKey("Macro");
        macro.keyType = kKeyMacro;
        ASSERT_TRUE(WriteKey(flash, 1, 10, macro));
        ASSERT_TRUE(WriteKey(flash, 1, 11, SoftKey("Guide")));
        ASSERT_TRUE(WriteKey(flash, 1, 12, SoftKey("16:9")));
        ASSERT_TRUE(layout.Load(flash));
        signals = {Signal("KEY_POWER", NecCode(4, 8)),  Signal("Vol_up", NecCode(4, 2)),
                   Signal("VOL+", NecCode(9, 2)),       Signal("ch-", NecCode(4, 5)),
                   Signal("Num_1", NecCode(4, 17)),     Signal("Netflix", NecCode(4, 40)),
                   Signal("KEY_POWER", NecCode(9, 8)),  Signal("Weird", NecCode(4, 99)),
                   Signal("Menu", Unholdable())};
    }

    TTiFlashFm flash;
    NoClipboard clipboard;
    NoDevices devices;
    DeviceLayout layout{1, clipboard, devices};
    std::vector<IrSignal> signals;
};

TEST_F(DeviceCodeImportTest, ProposalMatchesByLabelThenFunctionEachKeyOnce) {
    const ImportProposal p(signals, ImportKeysOf(layout));
    // The macro key takes no IR code.
    std::vector<int> keyNumbers;
    for (const ImportKey& k : p.Keys()) keyNumbers.push_back(k.keyNumber);
    EXPECT_EQ(keyNumbers, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12}));
    const int expected[] = {0, 1, 7, 4, 9, 8, kNoTargetKey, kNoTargetKey, 6};
    for (size_t s = 0; s < signals.size(); ++s) EXPECT_EQ(p.KeyOf(s), expected[s]) << signals[s].name;
    EXPECT_EQ(p.UnmatchedSignals(), (std::vector<size_t>{6, 7}));
    EXPECT_EQ(p.UnmatchedKeys(), (std::vector<int>{2, 3, 5, 11, 12}));
    EXPECT_EQ(ImportKeyName(p.Keys()[7]), "Key 7 \u2014 vol up");
    EXPECT_EQ(SignalProtocolText(signals[0]), "NEC 4 / 8");
}

TEST_F(DeviceCodeImportTest, UserChoicesMoveAKeyAndFreeItsFormerSignal) {
    ImportProposal p(signals, ImportKeysOf(layout));
    const struct {
        size_t signal;
        int key;
        bool accepted;
        int formerHolderAfter;  // signal 0's key afterwards
    } steps[] = {
        {6, 0, true, kNoTargetKey},   // the second KEY_POWER takes Power from the first
        {0, 11, true, 11},            // the first goes to Guide instead
        {0, 10, false, 11},           // the macro key takes no code
        {0, 64, false, 11},           // no such key
        {99, 3, false, 11},           // no such signal
        {0, kNoTargetKey, true, kNoTargetKey},
    };
    for (const auto& st : steps) {
        EXPECT_EQ(p.Assign(st.signal, st.key), st.accepted) << st.signal << " -> " << st.key;
        EXPECT_EQ(p.KeyOf(0), st.formerHolderAfter) << st.signal << " -> " << st.key;
    }
    EXPECT_EQ(p.KeyOf(6), 0);
    EXPECT_EQ(p.SignalOf(0), 6);
}

TEST_F(DeviceCodeImportTest, MapFileOverridesTheProposalOrChangesNothing) {
    const struct {
        const char* text;
        bool ok;
        int keyOfFirstPower;  // signal 0
        int keyOfWeird;       // signal 7
        const char* error;
    } cases[] = {
        {"# comment\n\nWeird 3\nKEY_POWER -\n", true, kNoTargetKey, 3, ""},
        {"Weird vol_up\r\n", true, 0, 7, ""},
        {"Weird Guide", true, 0, 11, ""},
        {"Weird 3\nNope 4\n", false, 0, kNoTargetKey, "map.txt:2: the file holds no signal \"Nope\""},
        {"Weird 10\n", false, 0, kNoTargetKey, "map.txt:1: the device has no key \"10\" that takes an IR code"},
        {"Weird\n", false, 0, kNoTargetKey, "map.txt:1: a line is \"SIGNAL KEY\""},
    };
    for (const auto& c : cases) {
        ImportProposal p(signals, ImportKeysOf(layout));
        std::string error;
        EXPECT_EQ(ApplyImportMap(c.text, "map.txt", signals, p, error), c.ok) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_EQ(p.KeyOf(0), c.keyOfFirstPower) << c.text;
        EXPECT_EQ(p.KeyOf(7), c.keyOfWeird) << c.text;
    }
}

TEST_F(DeviceCodeImportTest, ImportWritesEveryCodeItCanAsOneUndoStepAndReportsTheRest) {
    const ImportProposal p(signals, ImportKeysOf(layout));
    const ImportOutcome out = ApplyImport(signals, p, layout);
    ASSERT_EQ(out.written.size(), 6u);
    ASSERT_EQ(out.refused.size(), 1u);
    EXPECT_EQ(out.refused[0].signal, "Menu");
    EXPECT_EQ(out.refused[0].keyNumber, 6);
    EXPECT_FALSE(out.refused[0].reason.empty());
    EXPECT_FALSE(HasKeyCode(layout.FindKey(6)->info));
    // Each written key holds its signal's protocol and numbers.
    for (const ImportedCode& w : out.written) {
        const KeyInfo& key = layout.FindKey(w.keyNumber)->info;
        IrCodeInfo code;
        ASSERT_TRUE(KeyIrCode(key, code)) << w.signal;
        const auto decoded = DecodeIr(ProntoOfCode(code).once);
        const auto signal = std::find_if(signals.begin(), signals.end(), [&](const IrSignal& s) { return s.name == w.signal; });
        EXPECT_EQ(decoded, signal->decoded) << w.signal;
        EXPECT_TRUE(key.flags & kFlagHasCode) << w.signal;
    }
    EXPECT_TRUE(layout.Modified());
    ASSERT_TRUE(layout.Undo());
    EXPECT_FALSE(layout.CanUndo());
    for (const ImportedCode& w : out.written) EXPECT_FALSE(HasKeyCode(layout.FindKey(w.keyNumber)->info)) << w.signal;
    // Nothing reached the image.
    DeviceLayout fresh(1, clipboard, devices);
    ASSERT_TRUE(fresh.Load(flash));
    EXPECT_FALSE(HasKeyCode(fresh.FindKey(0)->info));
}

TEST_F(DeviceCodeImportTest, AnImportOfOnlyRefusedCodesLeavesNoUndoStep) {
    ImportProposal p(signals, ImportKeysOf(layout));
    for (size_t s = 0; s + 1 < signals.size(); ++s) p.Assign(s, kNoTargetKey);
    const ImportOutcome out = ApplyImport(signals, p, layout);
    EXPECT_TRUE(out.written.empty());
    EXPECT_EQ(out.refused.size(), 1u);
    EXPECT_FALSE(layout.CanUndo());
    EXPECT_FALSE(layout.Modified());
}

TEST_F(DeviceCodeImportTest, ExportedCodesComeBackToTheirKeys) {
    ImportProposal p(signals, ImportKeysOf(layout));
    p.Assign(7, 12);  // "Weird" to the key "16:9"
    ApplyImport(signals, p, layout);
    const ExportOutcome exported = ExportDeviceCodes(layout);
    std::vector<std::string> names;
    for (const IrSignal& s : exported.codes) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Power", "Vol+", "Ch-", "vol_up", "NETFLIX", "1", "16_9"}));
    EXPECT_EQ(exported.skipped, (std::vector<int>{2, 3, 5, 6, 11}));
    EXPECT_EQ(exported.codes[0].decoded, signals[0].decoded);
    // Imported again, each name finds the key it came from.
    const ImportProposal back(exported.codes, ImportKeysOf(layout));
    const int from[] = {0, 1, 4, 7, 8, 9, 12};
    for (size_t s = 0; s < exported.codes.size(); ++s) EXPECT_EQ(back.KeyOf(s), from[s]) << names[s];
}

TEST(DeviceCodeStore, CapturedCodesGoInAsLearnedAndUnholdableOnesAreRefused) {
    const struct {
        const char* what;
        ProntoCode code;
        bool stored;
    } cases[] = {
        {"nominal NEC", NecCode(4, 8), true},
        {"captured NEC", Captured(NecCode(4, 8)), true},
        {"captured NEC, other numbers", Captured(NecCode(0x12, 0x34)), true},
        {"a mark of 70 ms", Unholdable(), false},
    };
    for (const auto& c : cases) {
        KeyInfo key = SoftKey("k");
        const KeyInfo before = key;
        std::string reason;
        EXPECT_EQ(StoreSignalCode(Signal("k", c.code), key, reason), c.stored) << c.what;
        IrCodeInfo stored;
        if (!c.stored) {
            EXPECT_FALSE(reason.empty()) << c.what;
            EXPECT_EQ(key.codeBlockCount, before.codeBlockCount) << c.what;
            continue;
        }
        ASSERT_TRUE(KeyIrCode(key, stored)) << c.what;
        EXPECT_EQ(DecodeIr(ProntoOfCode(stored).once), DecodeIr(c.code.once)) << c.what;
        EXPECT_TRUE(DecodeIr(c.code.once).has_value()) << c.what;
    }
}

TEST(DeviceCodeExportFormat, ExtensionFirstThenTheChosenFilter) {
    const struct {
        const char* path;
        int filter;
        IrFileFormat format;
    } cases[] = {
        {"/tmp/tv.ir", 3, IrFileFormat::Flipper},       {"/tmp/TV.IR", 2, IrFileFormat::Flipper},
        {"/tmp/lircd.conf", 1, IrFileFormat::Lirc},     {"tv.lircd", 3, IrFileFormat::Pronto},
        {"/tmp/tv.txt", 1, IrFileFormat::Pronto},       {"/tmp/tv", 2, IrFileFormat::Lirc},
        {"/tmp/tv", 3, IrFileFormat::Pronto},           {"/tmp/tv", 1, IrFileFormat::Flipper},
        {"/tmp/codes.d/tv", 2, IrFileFormat::Lirc},     {"/tmp/tv.bin", 0, IrFileFormat::Flipper},
    };
    for (const auto& c : cases)
        EXPECT_EQ(int(ExportFormatOf(c.path, c.filter)), int(c.format)) << c.path << " " << c.filter;
}

}  // namespace
}  // namespace orvalink
