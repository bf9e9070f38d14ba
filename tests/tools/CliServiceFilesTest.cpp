#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/XFiles.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using testing::RunProcess;

class CliServiceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-cli-service-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), ORVALINK_CLI_PROGRAM);
        return RunProcess(args, dir_, {});
    }
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }
    std::vector<uint8_t> Get(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::string Line(const std::string& out, const std::string& key) {
        const size_t at = out.find(key + ": ");
        if (at == std::string::npos) return "<missing " + key + ">";
        const size_t from = at + key.size() + 2;
        return out.substr(from, out.find('\n', from) - from);
    }
    fs::path dir_;
};

TEST_F(CliServiceFiles, SecThenUnsecGivesTheModuleBack) {
    // A module of two records packed from the start of the record area.
    std::vector<uint8_t> mod(192 + 24, 0);
    for (int i = 0; i < 64; ++i) mod[size_t(2 * i)] = mod[size_t(2 * i + 1)] = 0xFF;
    mod[0] = 0, mod[1] = 0;  // record 0 at block 0, 2 blocks
    mod[2] = 2, mod[3] = 0;  // record 1 at block 2, 1 block
    mod[192] = 2;
    mod[192 + 16] = 1;
    for (size_t i = 193; i < mod.size(); ++i) if (i != 208) mod[i] = uint8_t(i);
    const std::string in = Put("m.mod", mod);

    auto sec = Run({"sec", in, "--kind", "mod"});
    ASSERT_EQ(sec.exitCode, 0) << sec.err;
    EXPECT_EQ(Line(sec.out, "extension"), "smod");
    EXPECT_EQ(Line(sec.out, "kind"), "1");
    EXPECT_EQ(Line(sec.out, "model tag"), "0x6700");
    EXPECT_EQ(Line(sec.out, "model text"), "ORVALINK");
    EXPECT_EQ(Line(sec.out, "data length"), "216");
    EXPECT_EQ(Line(sec.out, "file length"), std::to_string(fs::file_size(dir_ / "m.smod")));

    // An older module of the same name is kept as the backup; the security
    // module stays.
    const std::vector<uint8_t> old{0x0D, 0x0E, 0x0F};
    Put("m.mod", old);
    const std::vector<uint8_t> smod = Get("m.smod");
    auto unsec = Run({"unsec", (dir_ / "m.smod").string()});
    ASSERT_EQ(unsec.exitCode, 0) << unsec.err;
    EXPECT_EQ(Line(unsec.out, "kind"), "1");
    EXPECT_EQ(Line(unsec.out, "written"), (dir_ / "m.mod").string());
    EXPECT_EQ(Line(unsec.out, "backup"), (dir_ / "m.BAK").string());
    EXPECT_EQ(Get("m.mod"), mod);
    EXPECT_EQ(Get("m.BAK"), old);
    EXPECT_EQ(Get("m.smod"), smod);
}

TEST_F(CliServiceFiles, XFileMakeAndReadRoundTrip) {
    std::vector<uint8_t> mcu(32768);
    for (size_t i = 0; i < mcu.size(); ++i) mcu[i] = uint8_t(i * 13 + (i >> 9));
    const std::string in = Put("fw.bin", mcu);
    auto make = Run({"xfile", "make", in, "--kind", "mcu", "--model", "qm-2300", "--version", "1.07"});
    ASSERT_EQ(make.exitCode, 0) << make.err;
    EXPECT_EQ(Line(make.out, "file"), (dir_ / "fw.xmcu").string());
    EXPECT_EQ(Line(make.out, "model text"), "QM-2300");
    EXPECT_EQ(Line(make.out, "model number"), "19");
    EXPECT_EQ(Line(make.out, "version"), "1.07");
    EXPECT_EQ(Line(make.out, "kind"), "1");
    EXPECT_EQ(Line(make.out, "data length"), "32768");

    auto read = Run({"xfile", "read", (dir_ / "fw.xmcu").string(), (dir_ / "back.bin").string()});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(Line(read.out, "first row"), Line(make.out, "first row"));
    EXPECT_EQ(Get("back.bin"), mcu);
}

TEST_F(CliServiceFiles, SBinMakeAndRead) {
    const std::vector<uint8_t> data{1, 2, 3, 250};
    const std::string in = Put("vc.bin", data);
    auto make = Run({"sbin", "make", in, "--source", "image", "--vc", "42"});
    ASSERT_EQ(make.exitCode, 0) << make.err;
    EXPECT_EQ(Line(make.out, "source"), "2000");
    EXPECT_EQ(Line(make.out, "vc number"), "42");
    EXPECT_EQ(Line(make.out, "data length"), "4");
    EXPECT_EQ(fs::file_size(dir_ / "vc.sbin"), 18u);
    auto read = Run({"sbin", "read", (dir_ / "vc.sbin").string(), (dir_ / "out.bin").string()});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(Line(read.out, "date"), Line(make.out, "date"));
    EXPECT_EQ(Get("out.bin"), data);
}

// The MCU loader's buffer holds 65536 bytes of S binary, header included;
// the memory image's loader takes the largest image.
TEST_F(CliServiceFiles, SBinariesNoLongerThanTheirLoaderTakes) {
    const size_t mcuMost = 65536 - kSBinHeaderBytes;
    const struct {
        const char* source;
        uint16_t sourceWord;
        size_t dataBytes;
        bool fits;
    } cases[] = {
        {"mcu", kSBinFromMcu, mcuMost, true},
        {"mcu", kSBinFromMcu, mcuMost + 1, false},
        {"image", kSBinFromImage, mcuMost + 1, true},
        {"image", kSBinFromImage, 8192 * 264, true},
        {"image", kSBinFromImage, 8192 * 264 + 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.source) + " " + std::to_string(c.dataBytes));
        fs::remove(dir_ / "in.sbin");
        fs::remove(dir_ / "out.bin");
        std::vector<uint8_t> data(c.dataBytes);
        for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7);
        const std::string in = Put("in.bin", data);
        auto make = Run({"sbin", "make", in, "--source", c.source});
        EXPECT_EQ(make.exitCode, c.fits ? 0 : 1) << make.err;
        EXPECT_EQ(fs::exists(dir_ / "in.sbin"), c.fits);
        if (!c.fits) {
            EXPECT_NE(make.err.find("at most"), std::string::npos) << make.err;
        }

        // A file whose length field agrees, made without the command.
        Put("in.sbin", BuildSBinBytes(data, c.sourceWord, 1, LocalDate{2026, 6, 7}));
        auto read = Run({"sbin", "read", (dir_ / "in.sbin").string(), (dir_ / "out.bin").string()});
        EXPECT_EQ(read.exitCode, c.fits ? 0 : 1) << read.err;
        if (c.fits) {
            EXPECT_EQ(Get("out.bin"), data);
        } else {
            EXPECT_NE(read.err.find("too long"), std::string::npos) << read.err;
        }
        EXPECT_EQ(fs::exists(dir_ / "out.bin"), c.fits);
    }
}

TEST_F(CliServiceFiles, RefusalsAndUsageErrors) {
    const fs::path broken = fs::path(ORVALINK_TEST_DATA_DIR) / "service-broken";
    auto corrupt = Run({"sbin", "read", (broken / "length-field-past-the-file.sbin").string(),
                        (dir_ / "o.bin").string()});
    EXPECT_EQ(corrupt.exitCode, 1);
    EXPECT_NE(corrupt.err.find("File corruption !"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir_ / "o.bin"));

    auto badX = Run({"xfile", "read", (broken / "checksum-off-by-one.xmcf").string(), (dir_ / "o.bin").string()});
    EXPECT_EQ(badX.exitCode, 1);
    EXPECT_FALSE(fs::exists(dir_ / "o.bin"));
    auto badSec = Run({"unsec", (broken / "row-12.smod").string()});
    EXPECT_EQ(badSec.exitCode, 1);

    const std::string in = Put("a.bin", {1, 2, 3});
    EXPECT_EQ(Run({"sec", in, "--kind", "vmcf"}).exitCode, 2);
    EXPECT_EQ(Run({"xfile", "make", in, "--kind", "mcf", "--model", "QM-5100"}).exitCode, 2);
    EXPECT_EQ(Run({"xfile", "make", in, "--kind", "mcf", "--model", "RV-12", "--version", "105"}).exitCode, 2);
    EXPECT_EQ(Run({"sbin", "make", in, "--source", "mcu", "--vc", "70000"}).exitCode, 2);
    EXPECT_EQ(Run({"sbin", "frob", in}).exitCode, 2);
    // Nothing was written by any refused command.
    EXPECT_FALSE(fs::exists(dir_ / "a.smcf"));
    EXPECT_FALSE(fs::exists(dir_ / "a.xmcf"));
    EXPECT_FALSE(fs::exists(dir_ / "a.sbin"));
}

}  // namespace
}  // namespace orvalink
