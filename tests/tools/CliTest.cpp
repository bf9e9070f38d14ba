#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "formats/Flashut.h"
#include "image/CodeLibrary.h"
#include "image/DeviceBundle.h"
#include "support/ImageHelpers.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using testing::DeviceKey;
using testing::RunProcess;

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-cli-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), ORVALINK_CLI_PROGRAM);
        return RunProcess(args, dir_);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }
    std::string PackImage(const TTiFlashFm& flash) {
        auto img = flash.Image();
        std::string in = Write("image.bin", std::vector<uint8_t>(img.begin(), img.begin() + kDocumentImageBytes));
        std::string out = (dir_ / "doc.vmcf").string();
        auto r = Run({"pack", in, out, "--kind", "100", "--model", "2000", "--version", "1.05"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }

    fs::path dir_;
};

TEST_F(Cli, PackThenInfoShowsTheHeader) {
    TTiFlashFm flash;
    std::string doc = PackImage(flash);
    auto r = Run({"info", doc});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out,
              "kind: 100\nextension: vmcf\nmodel: 2000\nmodel name: QM-5100\nversion: 1.05\n"
              "payload length: 1081334\nentry: QM-5100_\n");
}

TEST_F(Cli, PackThenExtractGivesThePayloadBack) {
    std::vector<uint8_t> bytes(5000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7 + i / 300);
    std::string in = Write("module.bin", bytes);
    std::string doc = (dir_ / "m.vmod").string();
    ASSERT_EQ(Run({"pack", in, doc, "--kind", "102", "--model", "1095"}).exitCode, 0);
    auto info = Run({"info", doc});
    EXPECT_NE(info.out.find("kind: 102\nextension: vmod\nmodel: 1095\nmodel name: QM-1400\nversion: 0.00\n"),
              std::string::npos)
        << info.out;
    std::string out = (dir_ / "back.bin").string();
    ASSERT_EQ(Run({"extract", doc, out}).exitCode, 0);
    EXPECT_EQ(testing::ReadWholeFile(out), std::string(bytes.begin(), bytes.end()));
}

TEST_F(Cli, DevicesListsTheTreeIndentedByLevel) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1)));
    ASSERT_TRUE(WriteKey(flash, 0, 7, DeviceKey("SAT", 5)));
    ASSERT_TRUE(WriteKey(flash, 1, 9, DeviceKey("VCR", 2)));
    std::string doc = PackImage(flash);
    auto r = Run({"devices", doc});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "Home\n  1 TV\n    2 VCR\n  5 SAT\nMacro\n");
}

TEST_F(Cli, CodesListsEachKeysMarksAndSpaces) {
    TTiFlashFm flash;
    // Two keys of a pulse-distance code: 4500/4500 lead, then 560/560 or
    // 560/1690 symbols; the carrier period 210 (38.10 kHz).
    IrCodeInfo code;
    code.size = 3;
    code.codeType = kCodeNormal;
    code.timingCount = 3;
    code.carrier = 210;
    code.firstCount = 4;
    code.repeatCount = 0xFF;
    const uint16_t table[] = {4500, 4500, 560, 560, 560, 1690};
    for (int i = 0; i < 6; ++i) {
        code.data[size_t(2 * i)] = uint8_t(table[i]);
        code.data[size_t(2 * i + 1)] = uint8_t(table[i] >> 8);
    }
    code.data[12] = 0b10'01'10'00;  // symbols 0, 2, 1, 2 (2 bits each)
    std::vector<std::optional<IrCodeInfo>> keys(64);
    keys[6] = code;
    code.data[12] = 0b01'01'01'00;
    keys[9] = code;
    LibraryCodeSet set;
    ASSERT_TRUE(BuildLibraryCodeSet(keys, set));
    ASSERT_TRUE(WriteLibraryCode(flash, 1200, set, 0));
    std::string doc = PackImage(flash);
    auto r = Run({"codes", doc, "1200"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "6: Normal 38.10 kHz 4500/4500 560/1690 560/560 560/1690\n"
              "9: Normal 38.10 kHz 4500/4500 560/560 560/560 560/560\n");
    EXPECT_EQ(Run({"codes", doc, "1201"}).exitCode, 1);  // no set there
    EXPECT_EQ(Run({"codes", doc, "twelve"}).exitCode, 2);
}

TEST_F(Cli, RenderDrawsEightPagesAndTheHardKeys) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1)));
    ASSERT_TRUE(WriteKey(flash, 1, 6, testing::SoftKey("Menu")));
    std::string doc = PackImage(flash);
    std::string png = (dir_ / "tv.png").string();
    auto r = Run({"render", doc, "1", png});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::string bytes = testing::ReadWholeFile(png);
    ASSERT_GT(bytes.size(), 24u);
    EXPECT_EQ(bytes.substr(1, 3), "PNG");
    auto be32 = [&](size_t at) {
        return (uint32_t(uint8_t(bytes[at])) << 24) | (uint32_t(uint8_t(bytes[at + 1])) << 16) |
               (uint32_t(uint8_t(bytes[at + 2])) << 8) | uint32_t(uint8_t(bytes[at + 3]));
    };
    EXPECT_EQ(be32(16), 9u * 208 + 10 * 12);  // nine panels of 208 pixels
    EXPECT_EQ(be32(20), 320u + 2 * 12 + 22);
    EXPECT_EQ(Run({"render", doc, "66", png}).exitCode, 2);
}

TEST_F(Cli, FilesThatDoNotLoadExitOneWithTheMainWindowMessage) {
    std::string junk = Write("junk.vmcf", std::vector<uint8_t>(400, 0x11));
    for (const char* command : {"info", "devices"}) {
        auto r = Run({command, junk});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_EQ(r.err, "Load V File error ! \n\nPath: " + junk + "\n") << command;
        EXPECT_TRUE(r.out.empty());
    }
    auto missing = Run({"extract", (dir_ / "none.vmcf").string(), (dir_ / "out").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir_ / "out"));

    // A module is not a document of the 5100 family's image.
    std::string in = Write("m.bin", std::vector<uint8_t>(300, 0));
    std::string mod = (dir_ / "m.vmod").string();
    ASSERT_EQ(Run({"pack", in, mod, "--kind", "102", "--model", "2000"}).exitCode, 0);
    EXPECT_EQ(Run({"devices", mod}).exitCode, 1);
}

TEST_F(Cli, UsageErrorsExitTwo) {
    std::string in = Write("in.bin", std::vector<uint8_t>(10, 0));
    std::string out = (dir_ / "out.vmcf").string();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"info"},
        {"extract", in},
        {"pack", in, out},
        {"pack", in, out, "--kind", "104", "--model", "2000"},
        {"pack", in, out, "--kind", "100", "--model", "4242"},
        {"pack", in, out, "--kind", "100", "--model", "2000", "--version", "105"},
        {"pack", in, out, "--kind", "100", "--model", "2000", "--colour", "red"},
        {"pack", in, out, "--kind"},
    };
    for (const auto& args : bad) {
        auto r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << (args.empty() ? "(none)" : args[0]) << " " << args.size();
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace orvalink
