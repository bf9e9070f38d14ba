// Files of IR signals: every file of the good folder reads with the names and
// protocols it was written with, every file of the broken folder is refused
// with its file and line and leaves the list alone, and what the writers
// write reads back the same.
#include <gtest/gtest.h>

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
