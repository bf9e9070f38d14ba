// orvalink-cli codes import and codes export: a shared IR code file into a
// device of the factory document, listed as matched, skipped and refused,
// the new document holding the codes; a device's codes out in each format;
// bad input refused with its reason and no file written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/IrSignalFiles.h"
#include "support/Process.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

const fs::path kDocument = fs::path(ORVALINK_PROGRAM_DIR) / "bk" / "default_.vmcf";
const fs::path kGood = fs::path(ORVALINK_TEST_DATA_DIR) / "ir-good";

// Two signals of a captured remote: a mark of 70 ms no learned code holds,
// and a Mute as NEC device 4 function 13.
const char kUnholdable[] =
    "Filetype: IR signals file\nVersion: 1\n#\nname: Power\ntype: raw\nfrequency: 38000\nduty_cycle: 0.33\n"
    "data: 70000 4500 560 560 560 1690 560 40000\n#\nname: Mute\ntype: parsed\nprotocol: NEC\n"
    "address: 04 00 00 00\ncommand: 0D 00 00 00\n";

class CliDeviceCodes : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("orvalink-device-codes-" + std::to_string(::getpid()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        Write("map.txt", "# the set's TV power on the digit 1 key\nTV_Power 6\nPower -\n");
        Write("bad-map.txt", "Nope 6\n");
        Write("unholdable.ir", kUnholdable);
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
    testing::ProcessResult Run(std::vector<std::string> args) {
        args.insert(args.begin(), {ORVALINK_CLI_PROGRAM, "codes"});
        testing::ProcessOptions options;
        options.workingDirectory = dir_;
        return testing::RunProcess(args, dir_, options);
    }
    std::string Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The device's codes in the document, through codes export as a Pronto list.
    std::vector<IrSignal> Exported(const std::string& doc, const std::string& device) {
        const auto r = Run({"export", doc, "--device", device, "--format", "pronto", "check.txt"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::vector<IrSignal> signals;
        std::string error;
        EXPECT_TRUE(ParseProntoList(Read(dir_ / "check.txt"), "check.txt", signals, error)) << error;
        return signals;
    }
    fs::path dir_;
};

TEST_F(CliDeviceCodes, ImportListsWhatWentWhereAndTheDocumentHoldsIt) {
    const std::string parsed = (kGood / "every-protocol-parsed.ir").string();
    const std::string raw = (kGood / "raw-every-protocol.ir").string();
    const struct {
        std::vector<std::string> args;  // after "codes import"; the output is out.vmcf
        int exitCode;
        std::vector<std::string> listed;  // lines of the output, each as a whole
        const char* signal;               // a signal the new document's TV holds ...
        const char* decoded;              // ... decoded as
    } cases[] = {
        {{parsed, kDocument.string(), "--device", "TV", "out.vmcf"}, 0,
         {"device: 1 TV", "matched: Power -> key 0 (Power)", "matched: Vol_up -> key 1 (Vol+)",
          "matched: Menu -> key 18 (MENU)", "skipped: TV_Power", "no signal: key 6 (1)", "document: out.vmcf"},
         "Power", "NEC 4 / 8"},
        // The map moves TV_Power to the digit 1 key and leaves Power out.
        {{parsed, kDocument.string(), "--device", " tv ", "--map", "map.txt", "out.vmcf"}, 0,
         {"matched: TV_Power -> key 6 (1)", "skipped: Power", "no signal: key 0 (Power)"}, "1", nullptr},
        // Captured codes go in as the remote would have learned them.
        {{raw, kDocument.string(), "--device", "1", "out.vmcf"}, 0,
         {"matched: Vol_up -> key 1 (Vol+)", "matched: Stop -> key 44 (stop)", "skipped: Panasonic_Power"},
         "Vol+", nullptr},
        // A code no learned code holds is refused, the others still go in.
        {{"unholdable.ir", kDocument.string(), "--device", "TV", "out.vmcf"}, 0,
         {"matched: Mute -> key 5 (Mute)",
          "refused: Power -> key 0 (Power): A mark of 70000 us is too long for a learned code."},
         "Mute", "NEC 4 / 13"},
    };
    for (const auto& c : cases) {
        fs::remove(dir_ / "out.vmcf");
        std::vector<std::string> args{"import"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = Run(args);
        ASSERT_EQ(r.exitCode, c.exitCode) << c.args[0] << "\n" << r.out << r.err;
        for (const std::string& line : c.listed)
            EXPECT_NE(("\n" + r.out).find("\n" + line + "\n"), std::string::npos) << line << "\n" << r.out;
        const std::vector<IrSignal> held = Exported("out.vmcf", "TV");
        const auto it = std::find_if(held.begin(), held.end(), [&](const IrSignal& s) { return s.name == c.signal; });
        ASSERT_NE(it, held.end()) << c.signal;
        if (c.decoded) {
            ASSERT_TRUE(it->decoded) << c.signal;
            EXPECT_EQ(IrProtocolName(*it->decoded) + " " + std::to_string(it->decoded->device) + " / " +
                          std::to_string(it->decoded->function),
                      c.decoded);
        }
    }
}

TEST_F(CliDeviceCodes, BadInputIsRefusedWithItsReasonAndWritesNothing) {
    const std::string parsed = (kGood / "every-protocol-parsed.ir").string();
    const std::string doc = kDocument.string();
    const struct {
        std::vector<std::string> args;  // the output, where there is one, is out.file
        int exitCode;
        const char* error;  // a part of the error output
    } cases[] = {
        {{"import", parsed, doc, "--device", "VCR9", "out.file"}, 1, "no device \"VCR9\""},
        {{"import", parsed, doc, "--device", "TV", "--map", "bad-map.txt", "out.file"}, 1,
         "bad-map.txt:1: the file holds no signal \"Nope\""},
        {{"import", (fs::path(ORVALINK_TEST_DATA_DIR) / "ir-broken" / "address-not-hex.ir").string(), doc, "--device",
          "TV", "out.file"},
         1, "address-not-hex.ir:"},
        {{"import", "map.txt", doc, "--device", "TV", "out.file"}, 1, "map.txt"},
        {{"import", parsed, doc, "out.file"}, 2, "import needs FILE, DOC, --device NAME and OUT"},
        {{"import", parsed, doc, "--device", "TV", "--device", "DVD", "out.file"}, 2, "--device given twice"},
        {{"import", parsed, doc, "--device", "TV", doc}, 2, "is the input file"},
        {{"export", doc, "--device", "TV", "--format", "xml", "out.file"}, 2, "--format takes ir, lirc or pronto"},
        {{"export", doc, "--device", "TV", "out.file"}, 2, "export needs DOC, --device NAME, --format and OUT"},
        {{"export", doc, "--device", "Macro", "--format", "ir", "out.file"}, 1, "no device \"Macro\""},
        {{"export", doc, "--device", "TV", "--format", "ir", "--map", "map.txt", "out.file"}, 2, "unknown option --map"},
    };
    for (const auto& c : cases) {
        const auto r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << c.error << "\n" << r.err;
        EXPECT_NE(r.err.find(c.error), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir_ / "out.file")) << c.error;
    }
}

TEST_F(CliDeviceCodes, ExportWritesEachFormatThatReadsBackToTheSameCodes) {
    const struct {
        const char* format;
        const char* file;
        const char* begins;
    } cases[] = {
        {"ir", "tv.ir", "Filetype: IR signals file\n"},
        {"pronto", "tv.txt", "Power: 0000 "},
    };
    const std::vector<IrSignal> pronto = Exported(kDocument.string(), "TV");
    ASSERT_GT(pronto.size(), 40u);
    for (const auto& c : cases) {
        const auto r = Run({"export", kDocument.string(), "--device", "TV", "--format", c.format, c.file});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_NE(r.out.find("exported: Power\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("file: " + std::string(c.file) + "\n"), std::string::npos) << r.out;
        const std::string text = Read(dir_ / c.file);
        EXPECT_EQ(text.rfind(c.begins, 0), 0u) << text.substr(0, 80);
        std::vector<IrSignal> back;
        std::string error;
        ASSERT_TRUE(ReadIrSignalFile((dir_ / c.file).string(), back, error)) << error;
        ASSERT_EQ(back.size(), pronto.size()) << c.format;
        for (size_t i = 0; i < back.size(); ++i) {
            EXPECT_EQ(back[i].name, pronto[i].name) << c.format;
            EXPECT_EQ(back[i].decoded, pronto[i].decoded) << c.format << " " << back[i].name;
        }
    }
}

}  // namespace
}  // namespace orvalink
