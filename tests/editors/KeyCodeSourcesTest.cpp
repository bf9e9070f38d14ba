// A key's code made from protocol numbers or taken from a signal of an IR
// file, refused with its reason where the remote cannot hold it; and the
// key's code as a signal for a file, with the format a file name asks for.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "editors/core/KeyCodeSources.h"
#include "editors/core/KeyEditing.h"
#include "image/IrWaveform.h"
#include "image/LabelWords.h"

using namespace orvalink;

namespace {

KeyInfo IrKey() {
    KeyInfo k = DefaultKey();
    k.keyNumber = 30;
    k.keyType = kKeyIrCode;
    k.codeBlockCount = 3;
    k.codeBlocks.fill(0x11);
    return k;
}

// An NEC frame of nominal timings, each duration moved by up to `jitter`
// (a share, up or down at random) as a measured code is, with its gap.
ProntoCode NecFrame(unsigned device, unsigned function, double jitter = 0) {
    std::vector<uint32_t> d = {9000, 4500};
    for (unsigned byte : {device, device ^ 0xFF, function, function ^ 0xFF})
        for (int bit = 0; bit < 8; ++bit) {
            d.push_back(560);
            d.push_back((byte >> bit) & 1 ? 1690 : 560);
        }
    d.push_back(560);
    std::mt19937 rng(device * 256 + function);
    std::uniform_real_distribution<double> off(-jitter, jitter);
    ProntoCode code;
    code.carrierHz = 38000;
    for (size_t i = 0; i < d.size(); i += 2)
        code.once.push_back({uint32_t(d[i] * (1 + off(rng))), i + 1 < d.size() ? uint32_t(d[i + 1] * (1 + off(rng))) : 40000u});
    return code;
}

IrSignal SignalOf(const ProntoCode& code, const char* name = "POWER") {
    IrSignal s;
    s.name = name;
    s.code = code;
    return s;
}

TEST(KeyCodeFromSignalTest, HeldDecodedOrRefusedWithTheKeyAsItWas) {
    // Durations of no pattern: far more than 15 different bursts, which no
    // grouping makes fewer.
    ProntoCode noise;
    noise.carrierHz = 38000;
    std::mt19937 rng(5);
    for (int i = 0; i < 60; ++i) noise.once.push_back({uint32_t(300 + rng() % 9000), uint32_t(300 + rng() % 9000)});
    ProntoCode tooMany = NecFrame(4, 8);
    while (tooMany.once.size() < kLearnedMaxOnceBursts + 1) tooMany.once.push_back({560, 560});
    ProntoCode noCarrier = NecFrame(4, 8);
    noCarrier.carrierHz = 0;
    ProntoCode longMark = NecFrame(4, 8);
    longMark.once[0].mark = 70000;
    ProntoCode repeatOnly;
    repeatOnly.carrierHz = 38000;
    repeatOnly.repeat = NecFrame(0x12, 0x34).once;

    struct Case {
        const char* what;
        ProntoCode code;
        KeyCodeRefusal refusal;
        std::optional<IrDecoded> decoded;
    };
    const IrDecoded nec48{IrProtocolKind::Nec, 4, std::nullopt, 8, 0};
    const Case cases[] = {
        {"nominal NEC", NecFrame(4, 8), KeyCodeRefusal::None, nec48},
        {"NEC as measured, up to 6 % off", NecFrame(4, 8, 0.06), KeyCodeRefusal::None, nec48},
        {"NEC as measured, up to 10 % off", NecFrame(4, 8, 0.10), KeyCodeRefusal::None, nec48},
        {"only a repeat frame", repeatOnly, KeyCodeRefusal::None, IrDecoded{IrProtocolKind::Nec, 0x12, std::nullopt, 0x34, 0}},
        {"noise", noise, KeyCodeRefusal::NotLearnable, std::nullopt},
        {"200 bursts in the first frame", tooMany, KeyCodeRefusal::NotLearnable, std::nullopt},
        {"no carrier", noCarrier, KeyCodeRefusal::NotLearnable, std::nullopt},
        {"a mark of 70 ms", longMark, KeyCodeRefusal::NotLearnable, std::nullopt},
        {"nothing", ProntoCode{38000, {}, {}}, KeyCodeRefusal::NotLearnable, std::nullopt},
    };
    const KeyInfo key = IrKey();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        KeyCodeCandidate out;
        out.decoded = IrDecoded{IrProtocolKind::Rc5, 1, std::nullopt, 2, 0};  // a marker a refusal leaves
        const KeyCodeOutcome o = CodeFromSignal(SignalOf(c.code), key, out);
        EXPECT_EQ(o.refusal, c.refusal) << o.reason;
        if (c.refusal != KeyCodeRefusal::None) {
            EXPECT_FALSE(o.reason.empty());
            EXPECT_EQ(out.decoded->kind, IrProtocolKind::Rc5);
            continue;
        }
        EXPECT_EQ(out.decoded, c.decoded);
        // What the key will hold is what the candidate shows: putting its
        // learned form on the key stores the same record.
        KeyInfo k = key;
        IrCodeInfo stored;
        ASSERT_TRUE(StoreLearnedCode(out.learned, k, stored));
        EXPECT_EQ(MarksAndSpaces(stored), MarksAndSpaces(out.stored));
        ASSERT_FALSE(MarksAndSpaces(stored).empty());
        // Measured durations stay within an eighth of what was read.
        const auto& read = c.code.once.empty() ? c.code.repeat : c.code.once;
        const auto held = MarksAndSpaces(stored);
        for (size_t i = 0; i + 1 < std::min(read.size(), held.size()); ++i) {
            EXPECT_NEAR(double(held[i].mark), double(read[i].mark), read[i].mark / 8.0) << i;
            EXPECT_NEAR(double(held[i].space), double(read[i].space), read[i].space / 8.0) << i;
        }
    }
}

TEST(KeyCodeFromNumbersTest, EveryProtocolReadsBackOrIsRefusedWithItsReason) {
    const KeyInfo key = IrKey();
    const auto protocols = MakeableProtocols();
    ASSERT_EQ(protocols.size(), 10u);
    for (const IrDecoded& p : protocols) {
        SCOPED_TRACE(IrProtocolName(p));
        const IrNumberRanges r = IrRangesOf(p.kind);
        struct Case {
            unsigned device, sub, function;
            bool held;
        };
        const Case cases[] = {
            {0, 0, 0, true},
            {r.maxDevice, r.maxSubDevice, r.maxFunction, true},
            {r.maxDevice / 2, r.maxSubDevice / 3, r.maxFunction / 2 + 1, true},
            {r.maxDevice + 1, 0, 0, false},
            {0, 0, r.maxFunction + 1, false},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.device) + "." + std::to_string(c.sub) + " / " + std::to_string(c.function));
            const IrEncodeRequest request = MakeRequest(p, c.device, c.sub, c.function, true);
            EXPECT_EQ(request.numbers.subDevice.has_value(), r.hasSubDevice);
            EXPECT_EQ(request.toggle, r.hasToggle);
            KeyCodeCandidate out;
            const KeyCodeOutcome o = CodeFromNumbers(request, key, out);
            if (!c.held) {
                EXPECT_EQ(o.refusal, KeyCodeRefusal::Numbers);
                EXPECT_FALSE(o.reason.empty());
                EXPECT_FALSE(out.decoded.has_value());
                continue;
            }
            ASSERT_TRUE(o.Ok()) << o.reason;
            ASSERT_TRUE(out.decoded.has_value());
            EXPECT_EQ(out.decoded->kind, p.kind);
            EXPECT_EQ(out.decoded->device, c.device);
            EXPECT_EQ(out.decoded->function, c.function);
            EXPECT_EQ(out.decoded->subDevice, request.numbers.subDevice);
            EXPECT_EQ(IrProtocolName(*out.decoded), IrProtocolName(p));
        }
    }
}

TEST(KeyCodeExportTest, FormatOfTheFileName) {
    const struct {
        const char* path;
        std::optional<IrFileFormat> format;
    } cases[] = {
        {"/home/you/tv.ir", IrFileFormat::Flipper}, {"TV.IR", IrFileFormat::Flipper},
        {"lircd.conf", IrFileFormat::Lirc},         {"C:\\codes\\amp.Conf", IrFileFormat::Lirc},
        {"codes.txt", IrFileFormat::Pronto},        {"tv.sbin", std::nullopt},
        {"ir", std::nullopt},                       {".ir", std::nullopt},
        {"codes.ir/tv", std::nullopt},              {"tv.ir.bak", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ExportFormatOfPath(c.path), c.format) << c.path;
}

TEST(KeyCodeExportTest, SignalNamesAndTheKeysCode) {
    int power = -1;
    for (int i = 0; i < 165 && power < 0; ++i)
        if (IconWords(i) == "power") power = i;
    ASSERT_GE(power, 0);
    const struct {
        std::vector<uint8_t> label;
        const char* name;
    } names[] = {
        {{'T', 'V', 13, 0xF0, uint8_t(power + 1)}, "TV_power"},
        {{}, "KEY_30"},
        {{'V', 'o', 'l', ' ', '+', ' '}, "Vol"},
        {{' ', '-', ' '}, "KEY_30"},
        {{'C', 'H', '+', '1'}, "CH_1"},
    };
    for (const auto& n : names) {
        KeyInfo k = IrKey();
        k.SetLabel(n.label);
        EXPECT_EQ(SignalNameOfKey(k), n.name);
    }

    // A key holding no code exports nothing; one holding an NEC code
    // exports it with its protocol, and the signal imported again puts the
    // same code on another key.
    IrSignal s;
    KeyInfo empty = IrKey();
    empty.codeBlockCount = 0xFF;
    EXPECT_EQ(KeySignal(empty, "X", s).refusal, KeyCodeRefusal::NoCode);
    EXPECT_TRUE(s.name.empty());

    KeyInfo key = IrKey();
    KeyCodeCandidate c;
    ASSERT_TRUE(CodeFromSignal(SignalOf(NecFrame(0x20, 0x41)), key, c).Ok());
    IrCodeInfo stored;
    ASSERT_TRUE(StoreLearnedCode(c.learned, key, stored));
    ASSERT_TRUE(KeySignal(key, "Mute", s).Ok());
    EXPECT_EQ(s.name, "Mute");
    EXPECT_EQ(s.decoded, (IrDecoded{IrProtocolKind::Nec, 0x20, std::nullopt, 0x41, 0}));
    EXPECT_EQ(s.code.once, MarksAndSpaces(stored));
    KeyCodeCandidate again;
    ASSERT_TRUE(CodeFromSignal(s, IrKey(), again).Ok());
    KeyInfo other = IrKey();
    ASSERT_TRUE(StoreLearnedCode(again.learned, other, stored));
    EXPECT_EQ(other.codeBlockCount, key.codeBlockCount);
    EXPECT_TRUE(std::equal(other.codeBlocks.begin(), other.codeBlocks.end(), key.codeBlocks.begin()));

    EXPECT_EQ(DecodedText(IrDecoded{IrProtocolKind::NecExtended, 4, 1, 8, 0}), "NEC extended 4.1 / 8");
    EXPECT_EQ(DecodedText(IrDecoded{IrProtocolKind::Kaseikyo, 3, 4, 5, 0x2002}), "Panasonic 3.4 / 5");
}

}  // namespace
