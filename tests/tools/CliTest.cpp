#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "formats/BrokenVFiles.h"
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

    testing::ProcessResult Run(std::vector<std::string> args, const testing::ProcessOptions& options = {}) {
        args.insert(args.begin(), ORVALINK_CLI_PROGRAM);
        return RunProcess(args, dir_, options);
    }
    // The names in the test's folder, without the helper's output files.
    std::vector<std::string> Entries(const fs::path& folder) const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            if (name != "process.out" && name != "process.err") names.push_back(name);
        }
        std::sort(names.begin(), names.end());
        return names;
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

// A command-line render needs no runtime folder: it says nothing about one
// and leaves nothing in TMPDIR, whether XDG_RUNTIME_DIR is set or not.
TEST_F(Cli, RenderLeavesNoRuntimeFolderAndNoWarning) {
    TTiFlashFm flash;
    const std::string doc = PackImage(flash);
    const fs::path tmp = dir_ / "tmp";
    fs::create_directories(tmp);
    testing::ProcessOptions options;
    options.environment = {"XDG_RUNTIME_DIR", "TMPDIR=" + tmp.string()};
    const auto r = Run({"render", doc, "0", (dir_ / "home.png").string()}, options);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "") << r.err;
    EXPECT_TRUE(fs::is_empty(tmp));
}

// The file commands load no toolkit library; render loads its drawing
// library from beside the executable, and only render does. The dynamic
// loader's own log says what was loaded.
TEST_F(Cli, OnlyRenderLoadsTheDrawingLibrary) {
    TTiFlashFm flash;
    const std::string doc = PackImage(flash);
    ::setenv("LD_DEBUG", "files", 1);
    const auto info = Run({"info", doc});
    const auto extract = Run({"extract", doc, (dir_ / "payload.bin").string()});
    const auto render = Run({"render", doc, "0", (dir_ / "home.png").string()});
    ::unsetenv("LD_DEBUG");
    for (const auto* r : {&info, &extract}) {
        ASSERT_EQ(r->exitCode, 0) << r->err;
        EXPECT_EQ(r->err.find("libQt6"), std::string::npos);
        EXPECT_EQ(r->err.find("liborvalink_render"), std::string::npos);
    }
    ASSERT_EQ(render.exitCode, 0) << render.err;
    EXPECT_NE(render.err.find("liborvalink_render.so"), std::string::npos);
    EXPECT_NE(render.err.find("libQt6Gui"), std::string::npos);
}

TEST_F(Cli, RenderWithoutItsDrawingLibraryFailsAndWritesNothing) {
    TTiFlashFm flash;
    const std::string doc = PackImage(flash);
    // The program alone, away from the library the build puts beside it.
    const fs::path alone = dir_ / "alone";
    fs::create_directories(alone);
    fs::copy_file(ORVALINK_CLI_PROGRAM, alone / "orvalink-cli");
    const std::string png = (dir_ / "home.png").string();
    const auto r = RunProcess({(alone / "orvalink-cli").string(), "render", doc, "0", png}, dir_);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("this build has no drawing library"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(png));
    // The other commands do not miss it.
    EXPECT_EQ(RunProcess({(alone / "orvalink-cli").string(), "info", doc}, dir_).exitCode, 0);
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

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
    std::vector<uint8_t> b(n);
    for (auto& x : b) {
        seed = seed * 1664525u + 1013904223u;
        x = uint8_t(seed >> 24);
    }
    return b;
}

mode_t ModeOf(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
}

// Every command that writes a file, each with an output that exists already.
struct Writer {
    std::string label;
    std::vector<std::string> args;
    std::string out;
};

class CliWriters : public Cli {
protected:
    // The outputs of pack, extract and render in `folder`, each already
    // there with old contents; the inputs in the test's folder.
    std::vector<Writer> Writers(const fs::path& folder) {
        TTiFlashFm flash;
        EXPECT_TRUE(WriteKey(flash, 0, 6, DeviceKey("TV", 1)));
        const std::string doc = PackImage(flash);
        const std::string module = Write("module.bin", Noise(20000, 5));
        const std::string vmcu = (dir_ / "fw.vmcu").string();
        EXPECT_EQ(Run({"pack", module, vmcu, "--kind", "101", "--model", "2000"}).exitCode, 0);
        std::vector<Writer> writers = {
            {"pack", {"pack", module, (folder / "packed.vmcu").string(), "--kind", "101", "--model", "2000"},
             (folder / "packed.vmcu").string()},
            {"extract", {"extract", vmcu, (folder / "payload.bin").string()}, (folder / "payload.bin").string()},
            {"render", {"render", doc, "1", (folder / "tv.png").string()}, (folder / "tv.png").string()},
        };
        for (const Writer& w : writers) std::ofstream(w.out, std::ios::binary) << "old contents of " << w.label;
        return writers;
    }
    static std::string OldContents(const Writer& w) { return "old contents of " + w.label; }
};

TEST_F(CliWriters, AWriteThatFailsKeepsTheOldOutputAndExitsOne) {
    const auto writers = Writers(dir_);
    const auto before = Entries(dir_);
    // Files may not grow past 4 KB: every write beyond fails as on a full disk.
    testing::ProcessOptions small;
    small.fileSizeLimit = 4096;
    for (const Writer& w : writers) {
        const auto r = Run(w.args, small);
        EXPECT_EQ(r.exitCode, 1) << w.label << ": " << r.err;
        EXPECT_NE(r.err.find("File too large"), std::string::npos) << w.label << ": " << r.err;
        EXPECT_NE(r.err.find("Path: " + w.out), std::string::npos) << w.label << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << w.label << ": " << r.out;
        EXPECT_EQ(testing::ReadWholeFile(w.out), OldContents(w)) << w.label;
    }
    EXPECT_EQ(Entries(dir_), before);
}

TEST_F(CliWriters, AFullDiskKeepsTheOldOutputAndExitsOne) {
    // A tiny file system of our own; not every machine lets a test mount one.
    const fs::path disk = dir_ / "disk";
    fs::create_directories(disk);
    if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};

    const auto writers = Writers(disk);
    // Filled up to the last block.
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::vector<char> block(1024, 'f');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {
        }
    }
    const auto before = Entries(disk);
    for (const Writer& w : writers) {
        const auto r = Run(w.args);
        EXPECT_EQ(r.exitCode, 1) << w.label << ": " << r.err;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << w.label << ": " << r.err;
        EXPECT_EQ(testing::ReadWholeFile(w.out), OldContents(w)) << w.label;
    }
    EXPECT_EQ(Entries(disk), before);
}

TEST_F(CliWriters, AReplacedOutputKeepsItsPermissionsAndNoTemporaryFileStays) {
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    const auto writers = Writers(out);
    // What a save killed before its rename left beside each output.
    for (const Writer& w : writers) {
        std::ofstream(w.out + ".~0123456789abcdef.tmp") << "left by a crash";
        ASSERT_EQ(::chmod(w.out.c_str(), 0600), 0);
    }
    // A file of the user's own that merely has a temporary-looking name.
    std::ofstream(writers[2].out + ".part") << "mine";
    for (const Writer& w : writers) {
        const auto r = Run(w.args);
        ASSERT_EQ(r.exitCode, 0) << w.label << ": " << r.err;
        EXPECT_NE(testing::ReadWholeFile(w.out), OldContents(w)) << w.label;
        EXPECT_EQ(ModeOf(w.out), mode_t(0600)) << w.label;
    }
    EXPECT_EQ(Entries(out), (std::vector<std::string>{"packed.vmcu", "payload.bin", "tv.png", "tv.png.part"}));
    EXPECT_EQ(testing::ReadWholeFile(writers[2].out + ".part"), "mine");
}

TEST_F(Cli, AnOutputThatIsTheInputIsRefusedAndTheFileStaysAsItWas) {
    TTiFlashFm flash;
    const std::string doc = PackImage(flash);
    const std::string original = testing::ReadWholeFile(doc);
    fs::create_hard_link(doc, dir_ / "hard.vmcf");
    const std::string raw = Write("raw.bin", Noise(3000, 9));
    const std::vector<std::vector<std::string>> same = {
        {"extract", doc, doc},
        {"extract", doc, (dir_ / "." / "doc.vmcf").string()},
        {"extract", doc, (dir_ / "hard.vmcf").string()},
        {"render", doc, "1", doc},
        {"pack", raw, raw, "--kind", "102", "--model", "2000"},
    };
    for (const auto& args : same) {
        const auto r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args[0] << " " << args.back();
        EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
    }
    EXPECT_EQ(testing::ReadWholeFile(doc), original);
    EXPECT_EQ(testing::ReadWholeFile(raw), std::string(reinterpret_cast<const char*>(Noise(3000, 9).data()), 3000));
}

TEST_F(Cli, InputsThatAreNotRegularFilesAreRefusedAtOnce) {
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Nobody ever writes to the FIFO: a reader that waited for a writer
    // would never end, and is killed.
    testing::ProcessOptions patient;
    patient.timeout = std::chrono::seconds(20);
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"info", fifo.string()}, fifo.string()},
        {{"pack", fifo.string(), (dir_ / "out.vmod").string(), "--kind", "102", "--model", "2000"}, fifo.string()},
        {{"info", "/dev/zero"}, "/dev/zero"},
        {{"devices", dir_.string()}, dir_.string()},
    };
    for (const auto& [args, input] : cases) {
        const auto r = Run(args, patient);
        ASSERT_FALSE(r.timedOut) << args[0] << " " << input << " waited";
        EXPECT_EQ(r.exitCode, 1) << args[0] << " " << input;
        const std::string why = input == dir_.string() ? ": is a folder" : ": not a regular file";
        EXPECT_NE(r.err.find("orvalink-cli: " + input + why), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.vmod"));
}

TEST_F(Cli, AHeaderClaimingMoreThanItsKindHoldsIsRefused) {
    // A 3 MB document image, more than any remote's, packs into a few
    // kilobytes; header and entry agree on its length.
    const std::string password = "\x04secretsecretsecretsecretsecret1";
    const std::vector<uint8_t> zeros(3u << 20, 0);
    const auto file = testing::WrapArchive(testing::Qm5100Header(kKindVmcf), password, uint32_t(zeros.size()),
                                           testing::ZipWithEntries({{"QM-5100_", zeros}}, password));
    ASSERT_LT(file.size(), 20000u);
    const std::string doc = Write("claims-too-much.vmcf", file);
    for (const char* command : {"info", "devices"}) {
        const auto r = Run({command, doc});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_NE(r.err.find("payload length 3145728 is more than a kind 100 file holds (2162688 bytes)"),
                  std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("Load V File error ! \n\nPath: " + doc), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    // pack makes no such file either.
    const std::string big = Write("big.bin", std::vector<uint8_t>(kMaxFlatBundleBytes + 1, 1));
    const auto r = Run({"pack", big, (dir_ / "m.vmod").string(), "--kind", "102", "--model", "2000"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("10265 bytes; a kind 102 file holds at most 10264"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir_ / "m.vmod"));
}

}  // namespace
}  // namespace orvalink
