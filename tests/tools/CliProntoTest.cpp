// orvalink-cli codes with Pronto Hex: a library key's code out as Pronto
// text, that text in as a learned code file, and the file out again.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "formats/Flashut.h"
#include "image/CodeLibrary.h"
#include "image/Pronto.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// The mark/space numbers of a "codes" line.
std::vector<int> Durations(const std::string& line) {
    std::vector<int> out;
    size_t at = line.find(" kHz");
    while (at != std::string::npos && at < line.size()) {
        const size_t slash = line.find('/', at);
        if (slash == std::string::npos) break;
        const size_t start = line.rfind(' ', slash) + 1;
        out.push_back(std::stoi(line.substr(start, slash - start)));
        out.push_back(std::stoi(line.substr(slash + 1)));
        at = slash + 1;
    }
    return out;
}

class CliPronto : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-pronto-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), ORVALINK_CLI_PROGRAM);
        return testing::RunProcess(args, dir_);
    }
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }
    // A document whose code number 1200 has a pulse-distance code on key 6
    // (with a repeat frame) and one without repeat on key 9.
    std::string Document() {
        TTiFlashFm flash;
        IrCodeInfo code;
        code.size = 3;
        code.codeType = kCodeNormal;
        code.timingCount = 4;
        code.carrier = 210;
        code.firstCount = 4;
        code.repeatCount = 1;
        const uint16_t table[] = {9000, 4500, 560, 560, 560, 1690, 9000, 2250};
        for (int i = 0; i < 8; ++i) {
            code.data[size_t(2 * i)] = uint8_t(table[i]);
            code.data[size_t(2 * i + 1)] = uint8_t(table[i] >> 8);
        }
        code.data[16] = 0b10'01'10'00;  // first: 0, 2, 1, 2
        code.data[17] = 0b00'00'00'11;  // repeat: 3
        std::vector<std::optional<IrCodeInfo>> keys(64);
        keys[6] = code;
        code.repeatCount = 0xFF;
        keys[9] = code;
        LibraryCodeSet set;
        EXPECT_TRUE(BuildLibraryCodeSet(keys, set));
        EXPECT_TRUE(WriteLibraryCode(flash, 1200, set, 0));
        auto img = flash.Image();
        std::string in = Write("image.bin", std::string(img.begin(), img.begin() + kDocumentImageBytes));
        std::string out = (dir_ / "doc.vmcf").string();
        auto r = Run({"pack", in, out, "--kind", "100", "--model", "2000"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }
    fs::path dir_;
};

TEST_F(CliPronto, KeyOutAsProntoInAsLearnedAndOutAgain) {
    const std::string doc = Document();
    auto all = Run({"codes", doc, "1200", "--pronto"});
    ASSERT_EQ(all.exitCode, 0) << all.err;
    // 38.10 kHz is 0x006D in Pronto's clock; key 6 has one burst pair of repeat.
    EXPECT_EQ(all.out.rfind("6: 0000 006D 0004 0001 ", 0), 0u) << all.out;
    EXPECT_NE(all.out.find("\n9: 0000 006D 0004 0000 "), std::string::npos) << all.out;

    for (const char* key : {"6", "9"}) {
        auto one = Run({"codes", doc, "1200", key, "--pronto"});
        ASSERT_EQ(one.exitCode, 0) << one.err;
        const std::string text = one.out;
        EXPECT_NE(all.out.find(std::string(key) + ": " + text), std::string::npos);

        const std::string sbin = (dir_ / (std::string("key") + key + ".sbin")).string();
        auto in = Run({"codes", "--from-pronto", Write("pronto.txt", text), sbin});
        ASSERT_EQ(in.exitCode, 0) << in.err;
        EXPECT_EQ(fs::file_size(sbin), 512u);
        auto back = Run({"codes", "--sbin", sbin, "--pronto"});
        ASSERT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(back.out, text) << key;
    }
    // The learned file read as marks and spaces says what the set says, each
    // duration within one carrier period (Pronto counts whole periods).
    auto plain = Run({"codes", doc, "1200", "9"});
    auto learned = Run({"codes", "--sbin", (dir_ / "key9.sbin").string()});
    ASSERT_EQ(learned.exitCode, 0) << learned.err;
    const auto a = Durations(plain.out), b = Durations(learned.out);
    ASSERT_EQ(a.size(), 8u) << plain.out;
    ASSERT_EQ(b.size(), a.size()) << learned.out;
    for (size_t i = 0; i < a.size(); ++i) EXPECT_NEAR(a[i], b[i], 27) << i;
    EXPECT_EQ(learned.out.substr(0, 17), plain.out.substr(0, 17));  // "Normal 38.10 kHz "
}

// Pronto Hex given on the command line, through standard input or in a
// file. No more is read than the longest text of a code a learned code
// holds: its 199 first and 254 repeat bursts, one word a line with CR LF.
TEST_F(CliPronto, TextFromTheArgumentStandardInputOrAFileReadNoFurtherThanTheLongestCode) {
    const ProntoCode longest{38000, std::vector<IrPulse>(199, {560, 560}), std::vector<IrPulse>(254, {560, 1690})};
    std::string words, error;
    ASSERT_TRUE(ProntoText(longest, words, error)) << error;
    std::string lines;
    for (char c : words) lines += c == ' ' ? std::string("\r\n") : std::string(1, c);
    lines += "\r\n";
    ASSERT_EQ(lines.size(), kProntoTextMaxBytes);
    const std::string longestFile = Write("longest.txt", lines);
    const std::string tooLongFile = Write("too-long.txt", lines + " ");

    const std::string cli = ORVALINK_CLI_PROGRAM;
    const std::string sbin = (dir_ / "out.sbin").string();
    // Standard input from a file, through the shell.
    auto fromInput = [&](const std::string& input) {
        return std::vector<std::string>{"/bin/sh", "-c", "exec \"$@\" <\"$0\"", input, cli, "codes", "--from-pronto",
                                        "-", sbin};
    };
    const struct {
        const char* what;
        std::vector<std::string> argv;
        int exitCode;
        const char* err;
    } cases[] = {
        {"text argument", {cli, "codes", "--from-pronto", "0000 006D 0001 0000 0156 00AB", sbin}, 0, ""},
        {"text argument, lower case", {cli, "codes", "--from-pronto", "0000 006d 0000 0001\n0156 00ab", sbin}, 0, ""},
        {"longest text argument", {cli, "codes", "--from-pronto", words, sbin}, 0, ""},
        {"no such file", {cli, "codes", "--from-pronto", "missing.txt", sbin}, 1, "Cannot read missing.txt"},
        {"broken text argument", {cli, "codes", "--from-pronto", "0000 006D 0001", sbin}, 1, "four words"},
        {"longest file", {cli, "codes", "--from-pronto", longestFile, sbin}, 0, ""},
        {"file too long", {cli, "codes", "--from-pronto", tooLongFile, sbin}, 1, "too large"},
        {"longest input", fromInput(longestFile), 0, ""},
        {"input too long", fromInput(tooLongFile), 1, "too large"},
        {"endless input", fromInput("/dev/zero"), 1, "too large"},
    };
    testing::ProcessOptions options;
    options.timeout = std::chrono::seconds(60);  // an endless read is ended there
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(sbin);
        const auto run = testing::RunProcess(c.argv, dir_, options);
        EXPECT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(fs::exists(sbin), c.exitCode == 0);
    }
    // The longest code went in whole.
    ASSERT_EQ(Run({"codes", "--from-pronto", longestFile, sbin}).exitCode, 0);
    auto back = Run({"codes", "--sbin", sbin, "--pronto"});
    ASSERT_EQ(back.exitCode, 0) << back.err;
    EXPECT_EQ(back.out, words + "\n");
}

TEST_F(CliPronto, RefusalsWriteNothing) {
    const std::string doc = Document();
    const std::string sbin = (dir_ / "out.sbin").string();
    // A coded form (RC-5) and broken text are refused with a reason.
    auto rc5 = Run({"codes", "--from-pronto", Write("rc5.txt", "5000 0073 0000 0001 0000 0001"), sbin});
    EXPECT_EQ(rc5.exitCode, 1);
    EXPECT_FALSE(rc5.err.empty());
    auto junk = Run({"codes", "--from-pronto", Write("junk.txt", "hello"), sbin});
    EXPECT_EQ(junk.exitCode, 1);
    EXPECT_FALSE(fs::exists(sbin));
    // A key without a code, a key out of range, a file that is no learned code.
    EXPECT_EQ(Run({"codes", doc, "1200", "7", "--pronto"}).exitCode, 1);
    EXPECT_EQ(Run({"codes", doc, "1200", "64"}).exitCode, 2);
    EXPECT_EQ(Run({"codes", "--sbin", Write("short.sbin", "abc")}).exitCode, 1);
    EXPECT_EQ(Run({"codes", "--sbin"}).exitCode, 2);
}

}  // namespace
}  // namespace orvalink
