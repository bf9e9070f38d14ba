// orvalink-cli codes make: codes made from protocol numbers into a learned
// code file or as Pronto Hex, listed as decoded back; refusals exit with
// their reason and leave the output file as it was.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "image/IrDecoder.h"
#include "image/IrWaveform.h"
#include "image/LearnedCodes.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using K = IrProtocolKind;

class CliCodesMake : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-codes-make-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {ORVALINK_CLI_PROGRAM, "codes", "make"});
        testing::ProcessOptions options;
        options.workingDirectory = dir_;
        return testing::RunProcess(args, dir_, options);
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    fs::path dir_;
};

// The numbers the learned code in a file decodes to.
std::optional<IrDecoded> DecodedFile(const std::string& bytes) {
    LearnedCode code{};
    IrCodeInfo stored;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (!LearnedCodeOfFile({data, bytes.size()}, code) || !LearnedToStored(code, stored)) return std::nullopt;
    return DecodeIr(MarksAndSpaces(stored));
}

TEST_F(CliCodesMake, MakesCodesAndListsThemAsDecodedBack) {
    struct Case {
        std::vector<std::string> args;  // the output file is out.sbin
        const char* listed;
        IrDecoded decoded;
    };
    const std::vector<Case> cases{
        {{"--protocol", "NEC", "--device", "4", "--function", "8"},
         "Made NEC, device 4, function 8: 37.91 kHz, 34 bursts and a repeat frame of 2 -> out.sbin\n",
         {K::Nec, 4, std::nullopt, 8}},
        {{"--protocol", "nec", "--device", "4", "--subdevice", "7", "--function", "8"},
         "Made NEC extended, device 4, sub-device 7, function 8:",
         {K::NecExtended, 4, 7, 8}},
        {{"--protocol", "SIRC20", "--device", "26", "--subdevice", "73", "--function", "0x7F"},
         "Made Sony SIRC-20, device 26, sub-device 73, function 127: 40.00 kHz, 63 bursts -> out.sbin\n",
         {K::Sirc20, 26, 73, 127}},
        {{"--function", "77", "--toggle", "--device", "0x03", "--protocol", "RC5X"},
         "Made RC-5, device 3, function 77, toggle 1: 36.04 kHz",
         {K::Rc5, 3, std::nullopt, 77}},
        {{"--protocol", "Panasonic", "--device", "128", "--subdevice", "0", "--function", "61"},
         "Made Panasonic, vendor 0x2002, device 128, sub-device 0, function 61:",
         {K::Kaseikyo, 128, 0, 61, 0x2002}},
        {{"--protocol", "Kaseikyo", "--vendor", "0x0301", "--device", "34", "--subdevice", "53", "--function", "82"},
         "Made Kaseikyo, vendor 0x0301, device 34, sub-device 53, function 82:",
         {K::Kaseikyo, 34, 53, 82, 0x0301}},
        {{"--protocol", "Samsung", "--device", "7", "--function", "2"},
         "Made Samsung, device 7, sub-device 7, function 2:",
         {K::Samsung, 7, 7, 2}},
    };
    for (const Case& c : cases) {
        auto args = c.args;
        args.push_back("out.sbin");
        const auto r = Run(args);
        ASSERT_EQ(r.exitCode, 0) << c.listed << r.err;
        EXPECT_EQ(r.out.rfind(c.listed, 0), 0u) << r.out;
        const std::string bytes = Read("out.sbin");
        EXPECT_EQ(bytes.size(), kLearnedCodeBytes) << c.listed;
        EXPECT_EQ(DecodedFile(bytes), c.decoded) << c.listed;
        fs::remove(dir_ / "out.sbin");
    }
    // As Pronto Hex: the text alone on standard output, the listing on
    // standard error, no file.
    const auto p = Run({"--protocol", "NEC", "--device", "4", "--function", "8", "--pronto"});
    ASSERT_EQ(p.exitCode, 0) << p.err;
    EXPECT_EQ(p.out.rfind("0000 006D 0022 0002 0156 00AB ", 0), 0u) << p.out;
    EXPECT_EQ(p.out.find('\n'), p.out.size() - 1) << p.out;
    EXPECT_EQ(p.err.rfind("Made NEC, device 4, function 8:", 0), 0u) << p.err;
    EXPECT_FALSE(fs::exists(dir_ / "out.sbin"));
    EXPECT_FALSE(fs::exists(dir_ / "--pronto"));
}

TEST_F(CliCodesMake, RefusalsGiveTheirReasonAndLeaveTheOutputAlone) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* why;
    };
    const std::vector<Case> cases{
        {{"--protocol", "NEC", "--device", "4", "--function", "300", "out.sbin"}, 1,
         "Cannot make the code: NEC function 300 is above 255"},
        {{"--protocol", "NEC43", "--device", "4", "--function", "8", "out.sbin"}, 1, "Unknown protocol \"NEC43\""},
        {{"--protocol", "NEC", "--device", "4", "--function", "8", "--toggle", "out.sbin"}, 1, "NEC has no toggle bit"},
        {{"--protocol", "RC6", "--device", "4", "--subdevice", "1", "--function", "8", "out.sbin"}, 1,
         "Cannot make the code: RC-6 has no sub-device"},
        {{"--protocol", "SIRC", "--device", "32", "--function", "8", "out.sbin"}, 1,
         "Cannot make the code: Sony SIRC-12 device 32 is above 31"},
        {{"--protocol", "Kaseikyo", "--device", "4", "--subdevice", "1", "--function", "8", "out.sbin"}, 1,
         "Kaseikyo needs --vendor"},
        {{"--protocol", "JVC", "--device", "4", "--function", "8", "--vendor", "1", "out.sbin"}, 1,
         "Cannot make the code: JVC has no vendor"},
        {{"--protocol", "NEC", "--device", "99999999999", "--function", "8", "out.sbin"}, 2, "--device: 99999999999 is too large"},
        {{"--protocol", "NEC", "--device", "4", "out.sbin"}, 2, "--protocol, --device and --function are needed"},
        {{"--protocol", "NEC", "--device", "x", "--function", "8", "out.sbin"}, 2, "--device: \"x\" is not a number"},
        {{"--protocol", "NEC", "--device", "-1", "--function", "8", "out.sbin"}, 2, "--device: \"-1\" is not a number"},
        {{"--protocol", "NEC", "--device", "4", "--function", "8", "--pronto", "out.sbin"}, 2, "either OUT.sbin or --pronto"},
        {{"--protocol", "NEC", "--device", "4", "--function", "8", "--repeat", "out.sbin"}, 2, "unknown option --repeat"},
        {{"out.sbin", "--protocol", "NEC", "--device", "4", "--function"}, 2, "--function needs a value"},
    };
    std::ofstream(dir_ / "out.sbin") << "old";
    for (const Case& c : cases) {
        const auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.why << "\n" << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << r.err;
        EXPECT_EQ(Read("out.sbin"), "old") << c.why;
    }
    // A folder that is not there.
    const auto r = Run({"--protocol", "NEC", "--device", "4", "--function", "8", "no-such-folder/out.sbin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("Cannot write no-such-folder/out.sbin: ", 0), 0u) << r.err;
}

}  // namespace
}  // namespace orvalink
