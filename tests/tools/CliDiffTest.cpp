// orvalink-cli diff through the real program: two documents, or a document
// and a raw image; exit 0 the same, 1 different, 2 bad input.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "image/Settings.h"
#include "support/ImageHelpers.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using testing::DeviceKey;
using testing::RunProcess;
using testing::SampleCode;
using testing::SoftKey;

class CliDiff : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-cli-diff-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), ORVALINK_CLI_PROGRAM);
        return RunProcess(args, dir_);
    }
    std::string Write(const std::string& name, std::span<const uint8_t> bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }
    // The image as a document named `name`.
    std::string Document(const TTiFlashFm& flash, const std::string& name) {
        const std::string in = Write(name + ".bin", flash.Image().first(kDocumentImageBytes));
        const std::string out = (dir_ / name).string();
        const auto r = Run({"pack", in, out, "--kind", "100", "--model", "2000", "--version", "1.05"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return out;
    }

    fs::path dir_;
};

void Base(TTiFlashFm& f) {
    ASSERT_TRUE(WriteKey(f, 0, 6, DeviceKey("TV", 1)));
    ASSERT_TRUE(WriteKey(f, 1, 8, SoftKey("Vol+")));
    ASSERT_TRUE(WriteIrCode(f, 1, 8, SampleCode(2, 5)));
    ASSERT_TRUE(WriteSettings(f, DefaultSettings()));
}

TEST_F(CliDiff, ExitStatusAndLinesSayWhatDiffers) {
    TTiFlashFm base;
    Base(base);
    const std::string a = Document(base, "a.vmcf");
    const std::string rawA = Write("a.img", base.Image());
    const std::string docBytesA = Write("a.bytes", base.Image().first(kDocumentImageBytes));
    TTiFlashFm other;
    std::copy(base.Image().begin(), base.Image().end(), other.Image().begin());
    KeyInfo k;
    ASSERT_TRUE(ReadKey(other, 1, 8, k));
    k.SetLabel(std::string("Louder"));
    ASSERT_TRUE(WriteKey(other, 1, 8, k));
    RemoteSettings s = DefaultSettings();
    s[kSettingBuzzer] = 3;
    ASSERT_TRUE(WriteSettings(other, s));
    const std::string b = Document(other, "b.vmcf");
    const std::string rawB = Write("b.img", other.Image());
    const std::string notImage = Write("short.img", base.Image().first(5000));
    const std::string differs =
        "device TV\n  key 8 \"Louder\"\n    label changed from \"Vol+\" to \"Louder\"\n"
        "Settings\n  Buzzer changed from Medium to Large\n2 differences\n";

    const struct {
        const char* name;
        std::vector<std::string> args;
        int exit;
        std::string out;
        const char* err;  // a part of the error output
    } cases[] = {
        {"the same document", {"diff", a, a}, 0, "no differences\n", ""},
        {"a document and its raw image", {"diff", a, rawA}, 0, "no differences\n", ""},
        {"a document and the bytes it keeps", {"diff", docBytesA, a}, 0, "no differences\n", ""},
        {"two documents", {"diff", a, b}, 1, differs, ""},
        {"a document and a raw image", {"diff", a, rawB}, 1, differs, ""},
        {"the other way round",
         {"diff", b, a},
         1,
         "device TV\n  key 8 \"Vol+\"\n    label changed from \"Louder\" to \"Vol+\"\n"
         "Settings\n  Buzzer changed from Large to Medium\n2 differences\n",
         ""},
        {"a missing file", {"diff", a, (dir_ / "none.vmcf").string()}, 2, "", "Load V File error !"},
        {"neither a document nor an image", {"diff", notImage, a}, 2, "", "not a QM-5100 document or memory image"},
        {"a folder", {"diff", a, dir_.string()}, 2, "", "not a QM-5100 document or memory image"},
        {"one file", {"diff", a}, 2, "", "diff takes two files"},
        {"three files", {"diff", a, b, a}, 2, "", "diff takes two files"},
        {"an option", {"diff", "--fast", a, b}, 2, "", "unknown option --fast"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace orvalink
