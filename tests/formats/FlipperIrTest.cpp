// Flipper Zero IR signal files: the sample files of tests/data/ir-good read
// as their "# expect:" comments say, each file of tests/data/ir-broken is
// refused with its line and fault, the limits hold, and what the writer
// writes reads back as the same signals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "formats/IrSignalFiles.h"
#include "image/IrEncoder.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using K = IrProtocolKind;

const fs::path kGoodFolder = fs::path(ORVALINK_TEST_DATA_DIR) / "ir-good";
const fs::path kBrokenFolder = fs::path(ORVALINK_TEST_DATA_DIR) / "ir-broken";

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<fs::path> FlipperFiles(const fs::path& folder) {
    std::vector<fs::path> out;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().extension() == ".ir") out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

// "# expect: NEC 4 - 8", "# expect: Kaseikyo 128 0 61 8194" or
// "# expect: undecoded", with the line it stands on.
struct Expectation {
    size_t line;
    std::optional<IrDecoded> decoded;
};
std::vector<Expectation> ExpectationsOf(const std::string& text) {
    std::vector<Expectation> out;
    std::istringstream lines(text);
    std::string line;
    for (size_t number = 1; std::getline(lines, line); ++number) {
        const auto at = line.find("# expect: ");
        if (at == std::string::npos) continue;
        std::istringstream words(line.substr(at + 10));
        std::string protocol, sub;
        words >> protocol;
        if (protocol == "undecoded") {
            out.push_back({number, std::nullopt});
            continue;
        }
        auto d = IrProtocolOfName(protocol);
        EXPECT_TRUE(d) << line;
        if (!d) continue;
        unsigned vendor = d->vendor;
        words >> d->device >> sub >> d->function >> vendor;
        if (sub != "-") d->subDevice = unsigned(std::stoul(sub));
        d->vendor = vendor;
        out.push_back({number, d});
    }
    return out;
}

TEST(FlipperIr, GoodFilesReadAsTheirCommentsSay) {
    const auto files = FlipperFiles(kGoodFolder);
    ASSERT_GE(files.size(), 3u);
    size_t total = 0;
    for (const fs::path& file : files) {
        const std::string text = Slurp(file);
        std::vector<IrSignal> signals;
        std::string error;
        ASSERT_TRUE(ParseFlipperIr(text, file.filename().string(), signals, error)) << error;
        const auto expected = ExpectationsOf(text);
        ASSERT_EQ(signals.size(), expected.size()) << file.filename();
        for (size_t i = 0; i < signals.size(); ++i) {
            const IrSignal& s = signals[i];
            const std::string where = file.filename().string() + " signal " + s.name;
            EXPECT_EQ(s.line, expected[i].line + 1) << where;  // the name follows its comment
            EXPECT_EQ(s.decoded, expected[i].decoded)
                << where << " decoded as " << (s.decoded ? IrProtocolName(*s.decoded) : "nothing");
            EXPECT_FALSE(s.name.empty()) << where;
            EXPECT_GE(s.code.carrierHz, 30000u) << where;
            ASSERT_FALSE(s.code.once.empty()) << where;
            EXPECT_GT(s.code.once.back().space, 10000u) << where << ": a frame ends with its gap";
        }
        total += signals.size();
    }
    EXPECT_GE(total, 20u);
    // A remote without signals yet is a file of its own.
    std::vector<IrSignal> none(1);
    std::string noError;
    EXPECT_TRUE(ParseFlipperIr(std::string("Filetype: IR signals file\nVersion: 1\n# none yet\n"), "e.ir", none, noError));
    EXPECT_TRUE(none.empty());
    // Names keep their inner blanks and lose the outer ones.
    std::vector<IrSignal> odd;
    std::string error;
    ASSERT_TRUE(ParseFlipperIr(Slurp(kGoodFolder / "odd-spelling.ir"), "odd-spelling.ir", odd, error)) << error;
    ASSERT_FALSE(odd.empty());
    EXPECT_EQ(odd[0].name, "Power On");
}

TEST(FlipperIr, BrokenFilesAreRefusedWithTheirLineAndFault) {
    struct Case {
        const char* file;
        size_t line;
        const char* why;
    };
    const std::vector<Case> cases{
        {"empty-file.ir", 1, "no \"Filetype\" line"},
        {"no-header.ir", 1, "does not start with \"Filetype: IR signals file\""},
        {"wrong-filetype.ir", 1, "the file type is \"Flipper SubGhz Key File\""},
        {"version-2.ir", 2, "version \"2\" is not 1"},
        {"no-version.ir", 1, "no \"Version\" line"},
        {"field-before-name.ir", 4, "\"type\" before the first \"name\""},
        {"line-without-colon.ir", 4, "expected \"key: value\""},
        {"unknown-key.ir", 9, "unknown key \"repeat\""},
        {"unknown-protocol.ir", 12, "unknown protocol \"NEC43\""},
        {"address-three-bytes.ir", 7, "the address \"04 00 00\" is not four hex bytes"},
        {"address-not-hex.ir", 7, "is not four hex bytes"},
        {"address-above-range.ir", 7, "NEC address 0x100 is above 0xFF"},
        {"command-above-range.ir", 8, "RC5 command 0x40 is above 0x3F"},
        {"missing-command.ir", 4, "parsed signal \"Power\" has no \"command\""},
        {"missing-type.ir", 4, "signal \"Power\" has no \"type\""},
        {"type-unknown.ir", 5, "type \"pronto\" is neither \"parsed\" nor \"raw\""},
        {"second-type.ir", 6, "a second \"type\" in signal \"Power\""},
        {"second-address.ir", 9, "a second \"address\""},
        {"empty-name.ir", 4, "a signal without a name"},
        {"name-control-character.ir", 4, "control character"},
        {"raw-missing-frequency.ir", 4, "raw signal \"Fan\" has no \"frequency\""},
        {"raw-missing-data.ir", 4, "raw signal \"Fan\" has no \"data\""},
        {"raw-duration-zero.ir", 8, "a duration of 0 us is outside 1 to 1000000 us"},
        {"raw-duration-too-long.ir", 8, "a duration of 1000001 us"},
        {"raw-duration-not-number.ir", 8, "the duration \"-4500\" is not a number"},
        {"raw-too-many-durations.ir", 12, "signal \"Long\" has more than 2048 durations"},
        {"frequency-out-of-range.ir", 6, "a frequency of 1000 Hz is outside 10000 to 500000 Hz"},
        {"frequency-not-number.ir", 6, "the frequency \"38kHz\" is not a number"},
        {"duty-cycle-above-one.ir", 7, "the duty cycle \"1.5\""},
        {"protocol-in-raw-signal.ir", 9, "\"protocol\" in a raw signal"},
        {"data-in-parsed-signal.ir", 9, "\"data\" in a parsed signal"},
    };
    std::set<std::string> listed;
    for (const Case& c : cases) {
        listed.insert(c.file);
        std::vector<IrSignal> signals(1);
        signals[0].name = "untouched";
        std::string error;
        EXPECT_FALSE(ParseFlipperIr(Slurp(kBrokenFolder / c.file), c.file, signals, error)) << c.file;
        const std::string prefix = std::string(c.file) + ":" + std::to_string(c.line) + ": ";
        EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;
        ASSERT_EQ(signals.size(), 1u) << c.file;
        EXPECT_EQ(signals[0].name, "untouched") << c.file;
    }
    for (const fs::path& file : FlipperFiles(kBrokenFolder))
        EXPECT_TRUE(listed.count(file.filename().string())) << file.filename() << " has no case";
}

TEST(FlipperIr, LimitsHoldBeforeAnythingGrows) {
    const std::string header = "Filetype: IR signals file\nVersion: 1\n";
    const std::string tiny = "name: a\ntype: raw\nfrequency: 38000\ndata: 500\n";
    struct Case {
        std::string text;
        const char* why;
    };
    std::string manySignals = header;
    for (size_t i = 0; i <= kIrFileMaxSignals; ++i) manySignals += tiny;
    std::string fewSignals = header;
    for (size_t i = 0; i < kIrFileMaxSignals; ++i) fewSignals += tiny;
    const std::vector<Case> cases{
        {std::string(kIrFileMaxBytes + 1, '#'), "t.ir: the file is larger than 8388608 bytes"},
        {header + "# " + std::string(kIrFileMaxLineBytes, 'x') + "\n", "t.ir:3: the line is longer than 65536 bytes"},
        {manySignals, "t.ir:80003: more than 20000 signals"},
    };
    for (const Case& c : cases) {
        std::vector<IrSignal> signals;
        std::string error;
        EXPECT_FALSE(ParseFlipperIr(c.text, "t.ir", signals, error));
        EXPECT_EQ(error, c.why);
        EXPECT_TRUE(signals.empty());
    }
    // At the limits themselves the file is read.
    std::vector<IrSignal> signals;
    std::string error;
    EXPECT_TRUE(ParseFlipperIr(fewSignals, "t.ir", signals, error)) << error;
    EXPECT_EQ(signals.size(), kIrFileMaxSignals);
    const std::string longLine = header + "#" + std::string(kIrFileMaxLineBytes - 1, 'x') + "\n";
    EXPECT_TRUE(ParseFlipperIr(longLine, "t.ir", signals, error)) << error;
}

IrSignal Encoded(const std::string& name, IrDecoded numbers) {
    IrSignal s;
    s.name = name;
    std::string error;
    EXPECT_TRUE(EncodeIr({numbers}, s.code, error)) << error;
    s.decoded = numbers;
    return s;
}

TEST(FlipperIr, WrittenSignalsReadBackTheSame) {
    struct Case {
        IrSignal signal;
        const char* written;  // the lines after the name
    };
    IrSignal garbage;
    garbage.name = "Fan\tspeed";
    garbage.code = {36000, {{1000, 500}, {700, 0}, {300, 2000}, {400, 60000}}, {}};
    const std::vector<Case> cases{
        {Encoded("Power", {K::Nec, 4, std::nullopt, 8}),
         "type: parsed\nprotocol: NEC\naddress: 04 00 00 00\ncommand: 08 00 00 00\n"},
        {Encoded("Vol+", {K::NecExtended, 0x00, 0xBF, 0x12}),
         "type: parsed\nprotocol: NECext\naddress: 00 BF 00 00\ncommand: 12 ED 00 00\n"},
        {Encoded("Ch+", {K::Samsung, 7, 7, 2}),
         "type: parsed\nprotocol: Samsung32\naddress: 07 00 00 00\ncommand: 02 00 00 00\n"},
        {Encoded("Menu", {K::Rc5, 3, std::nullopt, 77}),
         "type: parsed\nprotocol: RC5X\naddress: 03 00 00 00\ncommand: 4D 00 00 00\n"},
        {Encoded("OK", {K::Rc5, 3, std::nullopt, 12}),
         "type: parsed\nprotocol: RC5\naddress: 03 00 00 00\ncommand: 0C 00 00 00\n"},
        {Encoded("Up", {K::Rc6, 4, std::nullopt, 0x58}),
         "type: parsed\nprotocol: RC6\naddress: 04 00 00 00\ncommand: 58 00 00 00\n"},
        {Encoded("Sony", {K::Sirc12, 1, std::nullopt, 21}),
         "type: parsed\nprotocol: SIRC\naddress: 01 00 00 00\ncommand: 15 00 00 00\n"},
        {Encoded("Sony15", {K::Sirc15, 0xA4, std::nullopt, 42}),
         "type: parsed\nprotocol: SIRC15\naddress: A4 00 00 00\ncommand: 2A 00 00 00\n"},
        {Encoded("Sony20", {K::Sirc20, 26, 73, 127}),
         "type: parsed\nprotocol: SIRC20\naddress: 3A 09 00 00\ncommand: 7F 00 00 00\n"},
        {Encoded("Panasonic", {K::Kaseikyo, 0x80, 0, 0x3D, 0x2002}),
         "type: parsed\nprotocol: Kaseikyo\naddress: 80 02 20 00\ncommand: D0 03 00 00\n"},
        {Encoded("Vendor", {K::Kaseikyo, 0x22, 0x35, 0x52, 0x0301}),
         "type: parsed\nprotocol: Kaseikyo\naddress: 25 01 03 01\ncommand: 23 01 00 00\n"},
        // No Flipper protocol for these: raw, mark first, without the gap.
        {Encoded("Jvc", {K::Jvc, 3, std::nullopt, 23}), "type: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 8400 4200 526 1574"},
        {Encoded("Samsung", {K::Samsung, 7, 8, 2}), "type: raw\nfrequency: 38000\nduty_cycle: 0.330000\ndata: 4500 4500 560 1690"},
        {Encoded("NoParity", {K::Kaseikyo, 0x81, 0, 0x3D, 0x2002}), "type: raw\nfrequency: 37000\n"},
        // An empty space joins the marks around it; a control character
        // in the name becomes "_".
        {garbage, "type: raw\nfrequency: 36000\nduty_cycle: 0.330000\ndata: 1000 500 1000 2000 400\n"},
    };
    std::vector<IrSignal> signals;
    for (const Case& c : cases) signals.push_back(c.signal);
    std::string text, error;
    ASSERT_TRUE(WriteFlipperIr(signals, text, error)) << error;
    EXPECT_EQ(text.rfind("Filetype: IR signals file\nVersion: 1\n#\nname: Power\n", 0), 0u) << text;
    for (const Case& c : cases) {
        const std::string name = c.signal.name == garbage.name ? "Fan_speed" : c.signal.name;
        EXPECT_NE(text.find("name: " + name + "\n" + c.written), std::string::npos) << name << " in\n" << text;
    }
    std::vector<IrSignal> back;
    ASSERT_TRUE(ParseFlipperIr(text, "out.ir", back, error)) << error;
    ASSERT_EQ(back.size(), cases.size());
    for (size_t i = 0; i + 1 < cases.size(); ++i) {
        const IrSignal& was = cases[i].signal;
        EXPECT_EQ(back[i].decoded, was.decoded) << was.name;
        // Parsed signals are made again as they were; raw ones keep every
        // duration but the gap.
        ASSERT_EQ(back[i].code.once.size(), was.code.once.size()) << was.name;
        for (size_t p = 0; p + 1 < was.code.once.size(); ++p) EXPECT_EQ(back[i].code.once[p], was.code.once[p]) << was.name;
        EXPECT_EQ(back[i].code.once.back().mark, was.code.once.back().mark) << was.name;
    }
    EXPECT_EQ(back.back().code.once, (std::vector<IrPulse>{{1000, 500}, {1000, 2000}, {400, 50000}}));
}

TEST(FlipperIr, WriterRefusesWhatNoFileHolds) {
    IrSignal ok = Encoded("Power", {K::Nec, 4, std::nullopt, 8});
    IrSignal unnamed = ok;
    unnamed.name = " ";
    IrSignal silent;
    silent.name = "Silent";
    silent.code.carrierHz = 38000;
    IrSignal long_;
    long_.name = "Long";
    long_.code.carrierHz = 38000;
    long_.code.once.assign(513, {500, 500});
    IrSignal noCarrier = Encoded("Jvc", {K::Jvc, 3, std::nullopt, 23});
    noCarrier.code.carrierHz = 0;
    const std::vector<std::pair<IrSignal, const char*>> cases{
        {unnamed, "signal 2 has no name"},
        {silent, "signal \"Silent\" has no marks and spaces"},
        {long_, "signal \"Long\" has 1025 durations; a Flipper file holds at most 1024"},
        {noCarrier, "signal \"Jvc\" has a carrier of 0 Hz"},
    };
    for (const auto& [bad, why] : cases) {
        std::string text = "before", error;
        EXPECT_FALSE(WriteFlipperIr({ok, bad}, text, error)) << why;
        EXPECT_EQ(error, why);
        EXPECT_EQ(text, "before");
    }
}

}  // namespace
}  // namespace orvalink
