// Files of IR signals: every file of the good folder reads with the names and
// protocols it was written with, every file of the broken folder is refused
// with its file and line and leaves the list alone, and what the writers
// write reads back the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "formats/IrSignalFiles.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

fs::path Folder(const char* name) { return fs::path(ORVALINK_TEST_DATA_DIR) / name; }

// "NEC 4/8", "NEC extended 32.223/16", "RC-5 5/12"; "-" for no protocol.
std::string Describe(const std::optional<IrDecoded>& d) {
    if (!d) return "-";
    std::string s = IrProtocolName(*d) + " " + std::to_string(d->device);
    if (d->subDevice) s += "." + std::to_string(*d->subDevice);
    return s + "/" + std::to_string(d->function);
}

std::vector<IrSignal> Sentinel() {
    IrSignal s;
    s.name = "untouched";
    s.code.carrierHz = 1;
    return {s};
}

// A signal of a good file: its name, what it decodes to, its carrier (0:
// not checked) and the line it starts on (0: not checked).
struct GoodSignal {
    const char* file;
    size_t index;
    const char* name;
    const char* decoded;
    unsigned carrierHz;
    size_t line;
};

const GoodSignal kGoodSignals[] = {
    {"pronto-names-and-blocks.txt", 0, "Power", "NEC 4/8", 38029, 2},
    {"pronto-names-and-blocks.txt", 1, "Signal 2", "RC-5 5/12", 36045, 4},
    {"pronto-names-and-blocks.txt", 2, "VOL+", "NEC 32/2", 38029, 7},
    {"pronto-names-and-blocks.txt", 3, "KEY_MUTE", "NEC 32/144", 38029, 17},
    {"pronto-repeat-only.pronto", 0, "Signal 1", "RC-5 0/1", 38029, 1},
    {"durations-signed-and-bare.txt", 0, "KEY_POWER", "NEC 32/16", 38000, 4},
    {"durations-signed-and-bare.txt", 1, "Input", "NEC 32/208", 38000, 5},
    {"durations-signed-and-bare.txt", 2, "Signal 3", "RC-5 3/33", 36000, 8},
    {"durations-signed-and-bare.txt", 3, "odd one", "-", 40000, 13},
    {"lirc-nec-pre-data.conf", 0, "KEY_POWER", "NEC 4/8", 38000, 28},
    {"lirc-nec-pre-data.conf", 1, "KEY_VOLUMEUP", "NEC 4/2", 38000, 29},
    {"lirc-nec-pre-data.conf", 2, "Vol_down", "NEC 4/3", 38000, 30},
    {"lirc-nec-pre-data.conf", 3, "mute", "NEC 4/16", 38000, 31},
    {"lirc-nec-extended-odd-spellings.conf", 0, "KEY_INPUT", "NEC extended 127.18/64", 38000, 13},
    {"lirc-pulse-distance-three-remotes.conf", 0, "samsung/KEY_POWER", "Samsung 7.7/2", 38000, 14},
    {"lirc-pulse-distance-three-remotes.conf", 1, "samsung/KEY_MUTE", "Samsung 7.7/15", 38000, 15},
    {"lirc-pulse-distance-three-remotes.conf", 2, "jvc/KEY_POWER", "JVC 3/23", 38000, 30},
    {"lirc-pulse-distance-three-remotes.conf", 3, "panasonic/KEY_POWER", "Panasonic 128.0/61", 36700, 47},
    {"lirc-sony-twelve-fifteen-twenty.conf", 0, "sony12/KEY_POWER", "Sony SIRC-12 1/21", 40000, 12},
    {"lirc-sony-twelve-fifteen-twenty.conf", 1, "sony15/KEY_POWER", "Sony SIRC-15 26/124", 40000, 26},
    {"lirc-sony-twelve-fifteen-twenty.conf", 2, "sony20/KEY_POWER", "Sony SIRC-20 26.153/58", 40000, 42},
    {"lirc-rc5-and-rc5x.conf", 0, "Standby", "RC-5 0/12", 36000, 17},
    {"lirc-rc5-and-rc5x.conf", 1, "VOL+", "RC-5 5/12", 36000, 18},
    {"lirc-rc5-and-rc5x.conf", 2, "KEY_MENU", "RC-5 5/70", 36000, 19},
    {"lirc-shift-enc-fourteen-bits.conf", 0, "POWER", "RC-5 0/12", 36000, 11},
    {"lirc-rc6-mode-zero.conf", 0, "rc6tv/KEY_POWER", "RC-6 0/12", 36000, 15},
    {"lirc-rc6-mode-zero.conf", 1, "rc6-mask/KEY_VOLUMEUP", "RC-6 4/33", 36000, 32},
    {"lirc-raw-codes.conf", 0, "KEY_POWER", "NEC 4/8", 38000, 12},
    {"lirc-raw-codes.conf", 1, "strange", "-", 38000, 27},
};

TEST(IrSignalFiles, EveryGoodFileReadsWithItsNamesAndProtocols) {
    std::map<std::string, std::vector<IrSignal>> read;
    for (const auto& entry : fs::directory_iterator(Folder("ir-good"))) {
        const std::string name = entry.path().filename().string();
        std::vector<IrSignal> signals;
        std::string error;
        ASSERT_TRUE(ReadIrSignalFile(entry.path().string(), signals, error)) << name << ": " << error;
        ASSERT_FALSE(signals.empty()) << name;
        for (const IrSignal& s : signals) {
            EXPECT_FALSE(s.name.empty()) << name;
            EXPECT_FALSE(s.code.once.empty() && s.code.repeat.empty()) << name << " " << s.name;
            EXPECT_GT(s.code.carrierHz, 0u) << name << " " << s.name;
        }
        read[name] = std::move(signals);
    }
    std::set<std::string> checked;
    for (const GoodSignal& g : kGoodSignals) {
        SCOPED_TRACE(std::string(g.file) + " #" + std::to_string(g.index));
        ASSERT_TRUE(read.count(g.file));
        const std::vector<IrSignal>& signals = read[g.file];
        ASSERT_LT(g.index, signals.size());
        const IrSignal& s = signals[g.index];
        EXPECT_EQ(s.name, g.name);
        EXPECT_EQ(Describe(s.decoded), g.decoded);
        if (g.carrierHz) {
            EXPECT_NEAR(double(s.code.carrierHz), double(g.carrierHz), 2);
        }
        if (g.line) {
            EXPECT_EQ(s.line, g.line);
        }
        checked.insert(g.file);
    }
    // Every signal of our own files is in the table.
    for (const auto& [name, signals] : read) {
        if (!checked.count(name)) continue;
        size_t listed = 0;
        for (const GoodSignal& g : kGoodSignals) listed += name == g.file;
        EXPECT_EQ(listed, signals.size()) << name;
    }
}

// A broken file: the line its message names and a piece of the reason.
struct BrokenFile {
    const char* file;
    size_t line;
    const char* why;
};

const BrokenFile kBrokenFiles[] = {
    {"pronto-count-beyond-words.txt", 3, "Signal 1"},
    {"pronto-coded-form.txt", 2, "type 5000"},
    {"pronto-name-without-code.txt", 2, "\"Power\" has no Pronto Hex"},
    {"pronto-too-many-words.txt", 1, "more than 2048 marks and spaces"},
    {"pronto-comments-only.pronto", 2, "no Pronto Hex signals"},
    {"durations-zero.txt", 3, "a duration of 0 us"},
    {"durations-over-one-second.txt", 2, "a duration of 1000001 us"},
    {"durations-sign-out-of-turn.txt", 2, "\"+560\" where a space (-) belongs"},
    {"durations-not-a-number.txt", 2, "\"45OO\" is not a duration"},
    {"durations-carrier-too-low.txt", 1, "a carrier is a frequency"},
    {"durations-too-many.txt", 2, "more than 2048 marks and spaces"},
    {"durations-line-too-long.txt", 2, "longer than 65536 bytes"},
    {"durations-name-without-durations.txt", 2, "\"Mute\" has no durations"},
    {"durations-unknown-extension.dat", 0, "not a file of IR signals"},
    {"lirc-bits-over-64.conf", 9, "a number of bits from 0 to 64"},
    {"lirc-bits-add-up-over-64.conf", 10, "add up to more than 64"},
    {"lirc-unterminated-remote.conf", 2, "remote \"tv\" has no \"end remote\""},
    {"lirc-unterminated-codes.conf", 12, "\"end remote\" where \"end codes\" belongs"},
    {"lirc-code-wider-than-bits.conf", 11, "the code 0x110EF of \"KEY_POWER\" has more than 16 bits"},
    {"lirc-code-not-a-number.conf", 11, "\"0x10EG\" is not a code number"},
    {"lirc-code-missing.conf", 11, "the code of \"KEY_POWER\" is missing"},
    {"lirc-unknown-flag.conf", 3, "unknown flag \"CONST_LENGHT\""},
    {"lirc-two-encodings.conf", 3, "more than one encoding"},
    {"lirc-unsupported-encoding.conf", 3, "the encoding \"XMP\" cannot be read"},
    {"lirc-codes-without-bits.conf", 9, "has codes but no \"bits\""},
    {"lirc-codes-without-one-and-zero.conf", 6, "has codes but no \"one\" and \"zero\""},
    {"lirc-raw-durations-before-name.conf", 5, "durations before the first \"name\""},
    {"lirc-raw-too-many-durations.conf", 210, "\"KEY_POWER\" has more than 2048 marks and spaces"},
    {"lirc-raw-zero-duration.conf", 6, "a duration of 0 us"},
    {"lirc-raw-name-without-durations.conf", 5, "\"KEY_POWER\" has no durations"},
    {"lirc-duration-over-one-second.conf", 5, "a duration of 2000000 us"},
    {"lirc-frequency-zero.conf", 3, "a frequency from 10000 to 500000 Hz"},
    {"lirc-header-one-value.conf", 4, "\"header\" needs a mark and a space"},
    {"lirc-text-outside-remote.conf", 2, "\"include\" outside a remote"},
    {"lirc-remote-inside-remote.conf", 10, "\"begin remote\" inside remote \"tv\" of line 1"},
    {"lirc-remote-without-codes.conf", 10, "no codes in the file"},
    {"lirc-raw-codes-flag-with-code-list.conf", 7, "has RAW_CODES and a list of codes"},
    {"lirc-pre-data-wider-than-bits.conf", 1, "pre_data 0x20DF has more than 8 bits"},
    {"lirc-unknown-section.conf", 10, "unknown section \"buttons\""},
    {"lirc-line-too-long.conf", 11, "longer than 65536 bytes"},
    {"lirc-code-without-marks.conf", 8, "the code of \"KEY_POWER\" sends no mark"},
};

TEST(IrSignalFiles, EveryBrokenFileIsRefusedWithItsLineAndChangesNothing) {
    std::map<std::string, std::string> errors;
    for (const auto& entry : fs::directory_iterator(Folder("ir-broken"))) {
        const std::string name = entry.path().filename().string();
        std::vector<IrSignal> signals = Sentinel();
        std::string error;
        EXPECT_FALSE(ReadIrSignalFile(entry.path().string(), signals, error)) << name;
        EXPECT_EQ(signals.size(), 1u) << name;
        EXPECT_EQ(signals[0].name, "untouched") << name;
        EXPECT_EQ(error.rfind(name + ":", 0), 0u) << name << ": " << error;
        errors[name] = error;
    }
    for (const BrokenFile& b : kBrokenFiles) {
        SCOPED_TRACE(b.file);
        ASSERT_TRUE(errors.count(b.file));
        const std::string& error = errors[b.file];
        const std::string prefix = std::string(b.file) + (b.line ? ":" + std::to_string(b.line) + ": " : ": ");
        EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
        EXPECT_NE(error.find(b.why), std::string::npos) << error;
    }
}

TEST(IrSignalFiles, FormatIsGuessedFromTheFirstMeaningfulLineElseTheExtension) {
    const struct {
        const char* text;
        const char* fileName;
        std::optional<IrFileFormat> format;
    } cases[] = {
        {"Filetype: IR signals file\nVersion: 1\n", "x.txt", IrFileFormat::Flipper},
        {"# made by hand\n\n  begin remote\n", "x.ir", IrFileFormat::Lirc},
        {"BEGIN REMOTE\n", "x", IrFileFormat::Lirc},
        {"Power: 0000 006D 0000 0001 0156 00AB\n", "x.conf", IrFileFormat::Pronto},
        {"0100 006d 0000 0001 0156 00ab\n", "x", IrFileFormat::Pronto},
        {"Power:\n0000 006D 0000 0001 0156 00AB\n", "x", IrFileFormat::Pronto},
        {"carrier 38000\n", "x.pronto", IrFileFormat::Durations},
        {"Power: +9000 -4500 +560\n", "x", IrFileFormat::Durations},
        {"9000 4500 560 560\n", "x.hex", IrFileFormat::Durations},
        {"9000 4500 5600 5600\n", "x", IrFileFormat::Durations},
        {"Power: 5000 0073 0000 0001\n", "x", IrFileFormat::Pronto},
        {"# nothing but a comment\n", "a.IR", IrFileFormat::Flipper},
        {"", "lircd.conf", IrFileFormat::Lirc},
        {"", "remote.lircd", IrFileFormat::Lirc},
        {"what is this\n", "x.hex", IrFileFormat::Pronto},
        {"what is this\n", "x.txt", std::nullopt},
        {"", "x", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(GuessIrFileFormat(c.text, c.fileName), c.format) << c.text << c.fileName;
}

std::vector<IrSignal> ReadGood(const char* file) {
    std::vector<IrSignal> signals;
    std::string error;
    EXPECT_TRUE(ReadIrSignalFile((Folder("ir-good") / file).string(), signals, error)) << error;
    return signals;
}

uint64_t TotalUs(const std::vector<IrPulse>& frame) {
    uint64_t t = 0;
    for (const IrPulse& p : frame) t += uint64_t(p.mark) + p.space;
    return t;
}

// How a LIRC remote's timings become frames: the gap (a frame length under
// CONST_LENGTH), the repeat frame, raw codes that end with a mark.
TEST(IrSignalFiles, LircFramesHaveTheirGapsAndRepeatFrames) {
    const struct {
        const char* file;
        size_t index;
        size_t onceBursts;
        uint64_t onceUs;
        size_t repeatBursts;
        uint64_t repeatUs;
    } cases[] = {
        {"lirc-nec-pre-data.conf", 0, 34, 108000, 2, 108000},          // repeat 9000 2250, trail 560
        {"lirc-pulse-distance-three-remotes.conf", 2, 18, 60000, 17, 60000},  // NO_HEAD_REP
        {"lirc-pulse-distance-three-remotes.conf", 3, 50, 133184, 0, 0},      // gap after the frame
        {"lirc-rc5-and-rc5x.conf", 0, 0, 113792, 0, 0},
        {"lirc-raw-codes.conf", 0, 34, 108000, 0, 0},
        {"lirc-raw-codes.conf", 1, 3, 108000, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " #" + std::to_string(c.index));
        const std::vector<IrSignal> signals = ReadGood(c.file);
        ASSERT_LT(c.index, signals.size());
        const ProntoCode& code = signals[c.index].code;
        if (c.onceBursts) {
            EXPECT_EQ(code.once.size(), c.onceBursts);
        }
        EXPECT_EQ(TotalUs(code.once), c.onceUs);
        EXPECT_EQ(code.repeat.size(), c.repeatBursts);
        EXPECT_EQ(TotalUs(code.repeat), c.repeatUs);
    }
    const std::vector<IrSignal> nec = ReadGood("lirc-nec-pre-data.conf");
    EXPECT_EQ(nec[0].code.repeat, (std::vector<IrPulse>{{9000, 2250}, {560, 96190}}));
    const std::vector<IrSignal> jvc = ReadGood("lirc-pulse-distance-three-remotes.conf");
    EXPECT_EQ(std::vector<IrPulse>(jvc[2].code.once.begin() + 1, jvc[2].code.once.end() - 1),
              std::vector<IrPulse>(jvc[2].code.repeat.begin(), jvc[2].code.repeat.end() - 1));
}

// What the LIRC writer writes reads back with the same names, numbers and
// timings: a remote of one pulse-distance protocol as SPACE_ENC, anything
// else as raw codes (whose last space becomes the remote's gap, the longest).
TEST(IrSignalFiles, LircReadsBackWhatItWrites) {
    const struct {
        std::vector<std::pair<const char*, size_t>> signals;
        const char* flags;
    } cases[] = {
        {{{"lirc-nec-pre-data.conf", 0}, {"lirc-nec-pre-data.conf", 3}, {"lirc-nec-extended-odd-spellings.conf", 0}},
         "flags SPACE_ENC|CONST_LENGTH\n"},
        {{{"lirc-pulse-distance-three-remotes.conf", 0}, {"lirc-pulse-distance-three-remotes.conf", 1}},
         "flags SPACE_ENC|CONST_LENGTH\n"},
        {{{"lirc-pulse-distance-three-remotes.conf", 2}}, "flags SPACE_ENC|CONST_LENGTH|NO_HEAD_REP\n"},
        {{{"lirc-pulse-distance-three-remotes.conf", 3}}, "flags SPACE_ENC\n"},
        {{{"lirc-rc5-and-rc5x.conf", 0}, {"lirc-rc5-and-rc5x.conf", 2}, {"lirc-rc6-mode-zero.conf", 0}},
         "flags RAW_CODES\n"},
        {{{"lirc-nec-pre-data.conf", 0}, {"lirc-pulse-distance-three-remotes.conf", 0}}, "flags RAW_CODES\n"},
        {{{"lirc-raw-codes.conf", 0}, {"lirc-raw-codes.conf", 1}}, "flags RAW_CODES\n"},
        {{{"lirc-sony-twelve-fifteen-twenty.conf", 0}}, "flags RAW_CODES\n"},
    };
    for (const auto& c : cases) {
        std::vector<IrSignal> in;
        for (const auto& [file, index] : c.signals) in.push_back(ReadGood(file).at(index));
        SCOPED_TRACE(in[0].name + " ...");
        in[0].name = "two words";  // a LIRC name is one word, and not a section's
        if (in.size() > 1) in[1].name = "End";
        std::string text, error;
        ASSERT_TRUE(WriteLircConf("my remote", in, text, error)) << error;
        EXPECT_NE(text.find(c.flags), std::string::npos) << text;
        EXPECT_NE(text.find("name  my_remote\n"), std::string::npos) << text;
        std::vector<IrSignal> back;
        ASSERT_TRUE(ParseLircConf(text, "out.conf", back, error)) << error << "\n" << text;
        ASSERT_EQ(back.size(), in.size());
        const bool raw = std::string(c.flags).find("RAW") != std::string::npos;
        uint32_t longestGap = 0;
        for (const IrSignal& s : in) longestGap = std::max(longestGap, s.code.once.back().space);
        for (size_t i = 0; i < in.size(); ++i) {
            EXPECT_EQ(back[i].name, i == 0 ? "two_words" : i == 1 ? "End_" : in[i].name);
            EXPECT_EQ(Describe(back[i].decoded), Describe(in[i].decoded));
            EXPECT_EQ(back[i].code.carrierHz, in[i].code.carrierHz);
            if (!raw) {
                EXPECT_EQ(back[i].code, in[i].code) << i;
                continue;
            }
            ProntoCode expected = in[i].code;
            expected.once.back().space = longestGap;
            expected.repeat.clear();  // LIRC sends a raw code again while held
            EXPECT_EQ(back[i].code, expected) << i;
        }
    }
}

// Limits hold before anything grows, and a refusal leaves the list alone.
TEST(IrSignalFiles, LimitsAreRefusedWithTheirLine) {
    std::string manyCodes = "begin remote\n bits 16\n one 560 1690\n zero 560 560\n begin codes\n";
    std::string manyPronto, manyDurations = "carrier 38000\n";
    for (size_t i = 0; i <= kIrFileMaxSignals; ++i) {
        manyCodes += " K" + std::to_string(i) + " 0x10EF\n";
        manyPronto += "0000 006D 0000 0001 0156 00AB\n";
        manyDurations += "K" + std::to_string(i) + ": +9000 -4500 +560\n";
    }
    manyCodes += " end codes\nend remote\n";
    const std::string huge(kIrFileMaxBytes + 1, '\n');
    using Parser = bool (*)(std::string_view, std::string_view, std::vector<IrSignal>&, std::string&);
    const struct {
        Parser parse;
        const std::string& text;
        const char* error;
    } cases[] = {
        {ParseLircConf, manyCodes, "f:20006: more than 20000 signals"},
        {ParseProntoList, manyPronto, "f:20001: more than 20000 signals"},
        {ParseDurationList, manyDurations, "f:20002: more than 20000 signals"},
        {ParseLircConf, huge, "f: the file is longer than 8388608 bytes"},
        {ParseProntoList, huge, "f: the file is longer than 8388608 bytes"},
        {ParseDurationList, huge, "f: the file is longer than 8388608 bytes"},
    };
    for (const auto& c : cases) {
        std::vector<IrSignal> signals = Sentinel();
        std::string error;
        EXPECT_FALSE(c.parse(c.text, "f", signals, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(signals[0].name, "untouched");
    }
    std::vector<IrSignal> signals = Sentinel();
    std::string error;
    EXPECT_FALSE(ReadIrSignalFile((Folder("ir-good") / "no-such-file.conf").string(), signals, error));
    EXPECT_EQ(error.rfind("no-such-file.conf: ", 0), 0u) << error;
    EXPECT_EQ(signals[0].name, "untouched");
}

TEST(IrSignalFiles, ProntoListReadsBackWhatItWrites) {
    std::vector<IrSignal> signals;
    std::string error;
    ASSERT_TRUE(ReadIrSignalFile((Folder("ir-good") / "durations-signed-and-bare.txt").string(), signals, error))
        << error;
    // Names a line cannot hold as they are.
    signals[0].name = "a:b";
    signals[1].name = "#two\nlines";
    signals[2].name = "";
    std::string text;
    ASSERT_TRUE(WriteProntoList(signals, text, error)) << error;
    std::vector<IrSignal> back;
    ASSERT_TRUE(ParseProntoList(text, "out.txt", back, error)) << error << "\n" << text;
    ASSERT_EQ(back.size(), signals.size());
    const char* names[] = {"a_b", "_two lines", "Signal 3", "odd one"};
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(back[i].name, names[i]);
        EXPECT_EQ(Describe(back[i].decoded), Describe(signals[i].decoded));
        const double period = 1e6 / signals[i].code.carrierHz;
        ASSERT_EQ(back[i].code.once.size(), signals[i].code.once.size());
        for (size_t k = 0; k < back[i].code.once.size(); ++k) {
            EXPECT_LE(std::abs(double(back[i].code.once[k].mark) - signals[i].code.once[k].mark), period);
            EXPECT_LE(std::abs(double(back[i].code.once[k].space) - signals[i].code.once[k].space), period);
        }
    }
    // A code Pronto Hex cannot hold is refused and the text left alone.
    signals[1].code.once[0].space = 5000000;
    text = "kept";
    EXPECT_FALSE(WriteProntoList(signals, text, error));
    EXPECT_EQ(text, "kept");
    EXPECT_NE(error.find("_two lines"), std::string::npos) << error;
}

}  // namespace
}  // namespace orvalink
