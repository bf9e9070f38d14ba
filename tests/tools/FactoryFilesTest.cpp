// The files the build makes for the program folder and dev_model.dll, and
// how the generator treats broken sources.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "base/ByteIo.h"
#include "image/DeviceBundle.h"
#include "image/LcdBitmaps.h"
#include "tests/tools/FactoryTestSupport.h"
#include "tools/gen-default/AssetText.h"
#include "tools/gen-default/CodeSetPacking.h"
#include <memory>
#include "tools/gen-default/FactoryCodes.h"
#include "tools/gen-default/LayoutTemplates.h"

namespace orvalink::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> FileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The code table as the pre-program code picker reads it: (type, brand) ->
// codes, for every line it accepts; `skipped` counts the lines it would drop.
std::map<std::pair<std::string, std::string>, std::vector<int>> PickerRead(const std::string& text, int& skipped) {
    std::map<std::pair<std::string, std::string>, std::vector<int>> out;
    skipped = 0;
    auto trim = [](std::string s) {
        while (!s.empty() && s.back() == ' ') s.pop_back();
        while (!s.empty() && s.front() == ' ') s.erase(s.begin());
        return s;
    };
    size_t pos = 0;
    for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
        std::string line = text.substr(pos, end - pos);
        std::string codes = line.size() > 46 ? line.substr(46) : "";
        if (line.size() <= 50 || codes.size() <= 5 || codes.size() > 500 || (codes.size() + 2) % 6 != 0) {
            ++skipped;
            continue;
        }
        std::vector<int> numbers;
        for (size_t f = 0; f < codes.size(); f += 6) {
            std::string digits;
            for (char c : trim(codes.substr(f, 6)))
                if (std::isdigit(static_cast<unsigned char>(c))) digits += c;
            if (digits.empty()) break;
            numbers.push_back(std::stoi(digits));
        }
        if (numbers.size() != (codes.size() + 2) / 6) {
            ++skipped;
            continue;
        }
        out[{trim(line.substr(0, 16)), trim(line.substr(16, 30))}] = numbers;
    }
    return out;
}

TEST(FactoryFiles, BuiltFilesAreWhatTheSourcesMake) {
    const auto& f = TheFactory();
    ASSERT_TRUE(f.ok) << f.error;
    const fs::path data = ORVALINK_DEV_MODEL_DATA_DIR;
    for (int n = 1001; n <= 1010; ++n) {
        auto bytes = FileBytes(data / "templates" / ("template-" + std::to_string(n) + ".bin"));
        EXPECT_EQ(bytes, f.files.templates.at(n)) << n;
        EXPECT_GE(bytes.size(), 100u);
        EXPECT_LE(bytes.size(), 20000u);
        DeviceBundle bundle;
        EXPECT_TRUE(UnpackDevice(bytes, bundle)) << n;
        EXPECT_EQ(bundle.device.keyType, kKeyDevice);
    }
    auto table = FileBytes(data / "codetable.txt");
    EXPECT_EQ(std::string(table.begin(), table.end()), f.files.codeTable);
    const fs::path program = ORVALINK_PROGRAM_DIR;
    EXPECT_EQ(FileBytes(program / "gird_RL_2.bmp"), f.files.pageStrip);
    auto ini = FileBytes(program / "type.ini");
    EXPECT_EQ(std::string(ini.begin(), ini.end()), f.files.typeIni);
}

TEST(FactoryFiles, SourcesMakeTheSameBytesEveryTime) {
    TTiFlashFm flash;
    gen::FactoryFiles files;
    std::string error;
    ASSERT_TRUE(gen::GenerateFactory(FactoryInputs(), flash, files, error)) << error;
    EXPECT_TRUE(std::equal(flash.Image().begin(), flash.Image().end(), TheFactory().flash.Image().begin()));
    EXPECT_EQ(files.templates, TheFactory().files.templates);
    EXPECT_EQ(files.codeTable, TheFactory().files.codeTable);
    EXPECT_EQ(files.pageStrip, TheFactory().files.pageStrip);
}

TEST(FactoryFiles, CodeTableReadsWholeWithThePickersRulesAndNamesRealBrands) {
    const auto& f = TheFactory();
    ASSERT_TRUE(f.ok) << f.error;
    int skipped = 0;
    auto read = PickerRead(f.files.codeTable, skipped);
    EXPECT_EQ(skipped, 0);
    EXPECT_GE(f.files.codeTable.size(), 101u);
    EXPECT_EQ(read.size(), f.files.codes.listings.size());
    for (const auto& l : f.files.codes.listings) {
        auto key = std::make_pair(l.deviceType, l.brand);
        EXPECT_EQ(read[key], l.codes) << l.brand;
    }
    for (auto brand : {"Samsung", "LG", "Sony", "Philips", "Panasonic", "JVC", "Toshiba"})
        EXPECT_TRUE(read.count({"TV", brand})) << brand;
    std::set<std::string> types;
    for (const auto& [key, codes] : read) types.insert(key.first);
    EXPECT_EQ(types, (std::set<std::string>{"AUX", "CABLE", "CD", "DVD", "RECEIVER", "SAT", "TAPE", "TV", "VCR"}));
}

TEST(FactoryFiles, PageStripIsA24BitBitmapWithTwoArrowsAndRoomForThePageLabel) {
    const auto& bmp = TheFactory().files.pageStrip;
    ByteReader r(bmp);
    EXPECT_EQ(r.U8(), 'B');
    EXPECT_EQ(r.U8(), 'M');
    EXPECT_EQ(r.U32(), bmp.size());
    r.Seek(10);
    uint32_t offset = r.U32();
    EXPECT_EQ(r.U32(), 40u);
    int32_t width = int32_t(r.U32()), height = int32_t(r.U32());
    EXPECT_EQ(r.U16(), 1);
    EXPECT_EQ(r.U16(), 24);
    EXPECT_EQ(r.U32(), 0u);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(width, 204);
    EXPECT_EQ(height, 46);
    const size_t row = (size_t(width) * 3 + 3) / 4 * 4;
    ASSERT_EQ(bmp.size(), offset + row * size_t(height));
    auto pixel = [&](int x, int y) {  // y from the top; the file keeps the bottom row first
        size_t p = offset + row * size_t(height - 1 - y) + 3 * size_t(x);
        return Rgb(bmp[p + 2] << 16 | bmp[p + 1] << 8 | bmp[p]);
    };
    // The arrows' middles lie where the editor takes page clicks
    // (x 1..76 and 130..204 of the LCD, the strip drawn from x 1).
    EXPECT_EQ(pixel(38, 23), kRgbBlue);
    EXPECT_EQ(pixel(166, 23), kRgbBlue);
    for (int x = 80; x < 125; ++x) EXPECT_EQ(pixel(x, 23), kRgbWhite) << x;  // the page label's place
}

TEST(FactoryFiles, TypeIniHasOneModelNameALine) {
    const std::string& ini = TheFactory().files.typeIni;
    ASSERT_GE(ini.size(), 2u);
    EXPECT_EQ(ini.substr(ini.size() - 2), "\r\n");
    EXPECT_EQ(ini.substr(0, 9), "QM-5100\r\n");
    EXPECT_EQ(ini.find("\r\n\r\n"), std::string::npos);
    EXPECT_NE(ini.find("QM-5100 Europe +\r\n"), std::string::npos);
}

// A copy of assets/ with one file replaced.
fs::path AssetsWith(const std::string& name, const std::string& file, const std::string& text) {
    fs::path dir = fs::temp_directory_path() / ("orvalink-assets-" + name);
    fs::remove_all(dir);
    fs::copy(ORVALINK_ASSETS_DIR, dir, fs::copy_options::recursive);
    std::ofstream(dir / file, std::ios::binary | std::ios::trunc) << text;
    return dir;
}

std::string AssetText(const std::string& file) {
    std::string text;
    EXPECT_TRUE(gen::ReadTextFile(fs::path(ORVALINK_ASSETS_DIR) / file, text));
    return text;
}

TEST(FactoryFiles, BrokenSourcesFailWithTheirPlaceAndTheProgramWritesNothing) {
    struct Case {
        const char* name;
        const char* file;
        std::string text;
        const char* expected;  // part of the error
    };
    std::string icons = AssetText("icons.txt");
    std::string codes = AssetText("ircodes.txt");
    std::string templates = AssetText("templates.txt");
    const Case cases[] = {
        {"icon-missing", "icons.txt", icons.substr(0, icons.rfind("icon ")), "164 icons"},
        {"unknown-function", "ircodes.txt", codes + "map extra\n  warp-drive=0x01\nend\n", "warp-drive"},
        {"command-too-big", "ircodes.txt", codes + "map big\n  power=0x80\nend\ncode 1300 TV \"X\" rc5 0 big\n",
         "does not fit"},
        {"wrong-range", "ircodes.txt", codes + "code 0100 TV \"X\" nec 0x01 lg-tv\n", "template 1004"},
        {"lone-code", "ircodes.txt", codes + "code 1300 TV \"Lone\" nec 0x01 lg-tv\n", "2 to 83"},
        {"template-twice", "templates.txt", templates + "template 1001 TV \"x\"\n", "given twice"},
        {"unknown-icon", "home.txt", "device \"{nope}\" 1152 0 0 3 2\n", "no icon named 'nope'"},
    };
    for (const auto& c : cases) {
        fs::path assets = AssetsWith(c.name, c.file, c.text);
        TTiFlashFm flash;
        gen::FactoryFiles files;
        std::string error;
        EXPECT_FALSE(gen::GenerateFactory({assets, ORVALINK_FIXED_FONT_DIR}, flash, files, error)) << c.name;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << ": " << error;

        fs::path out = fs::temp_directory_path() / (std::string("orvalink-out-") + c.name);
        fs::remove_all(out);
        std::string command = std::string(ORVALINK_GEN_DEFAULT_PROGRAM) + " --assets " + assets.string() +
                              " --fonts " + ORVALINK_FIXED_FONT_DIR + " --program " + (out / "p").string() +
                              " --dev-model " + (out / "d").string() + " 2>/dev/null";
        EXPECT_NE(std::system(command.c_str()), 0) << c.name;
        EXPECT_FALSE(fs::exists(out)) << c.name;
        fs::remove_all(assets);
    }
}

TEST(FactoryFiles, LabelsOutsideWhatAKeyShowsAreRefused) {
    std::map<std::string, int> icons{{"play", 6}, {"far", 150}};
    std::vector<uint8_t> codes;
    std::string error;
    ASSERT_TRUE(gen::EncodeLabel("{play}A|B{#164}", icons, codes, error)) << error;
    EXPECT_EQ(codes, (std::vector<uint8_t>{0xF0, 7, 'A', 13, 'B', 164}));
    EXPECT_FALSE(gen::EncodeLabel("{far}", icons, codes, error));       // beyond the icons a label reaches
    EXPECT_FALSE(gen::EncodeLabel("{nope}", icons, codes, error));
    EXPECT_FALSE(gen::EncodeLabel("{#31}", icons, codes, error));
    EXPECT_FALSE(gen::EncodeLabel(std::string(32, 'x'), icons, codes, error));  // a key keeps 31 codes
    EXPECT_TRUE(gen::EncodeLabel(std::string(31, 'x'), icons, codes, error));
}

TEST(FactoryFiles, CodeSetsCarryTheirKeysFramesAndRefuseWhatTheFormatCannotHold) {
    gen::CodeSetSource source;
    source.codeType = kCodeNormal;
    source.carrierPeriod = gen::CarrierPeriod(38000);
    EXPECT_EQ(source.carrierPeriod, 211);
    source.timings = {{560, 560}, {560, 1690}, {9000, 4500}};
    source.keys[0] = gen::KeyFrames{{2, 0, 1, 1, 0}, {}};
    source.keys[5] = gen::KeyFrames{{2, 1}, {2}};
    LibraryCodeSet set;
    std::string error;
    ASSERT_TRUE(gen::MakeLibraryCodeSet(source, set, error)) << error;
    TTiFlashFm flash;
    ASSERT_TRUE(gen::WriteCodeLibrary(flash, {{7, set}, {9, set}}, error)) << error;
    for (int number : {7, 9}) {
        IrCodeInfo key0, key5, none;
        ASSERT_TRUE(LibraryKey(flash, number, 0, key0));
        ASSERT_TRUE(LibraryKey(flash, number, 5, key5));
        EXPECT_FALSE(LibraryKey(flash, number, 1, none));
        EXPECT_EQ(key0.carrier, 211);
        std::vector<unsigned> spaces;
        for (const Pulse& p : PulsesOf(key0)) spaces.push_back(p.space);
        EXPECT_EQ(spaces, (std::vector<unsigned>{4500, 560, 1690, 1690, 560}));
        ASSERT_EQ(PulsesOf(key5, true).size(), 1u);
        EXPECT_EQ(PulsesOf(key5, true)[0].mark, 9000u);
    }
    EXPECT_FALSE(LibraryKey(flash, 8, 0, *std::make_unique<IrCodeInfo>()));

    auto refused = [&](const gen::CodeSetSource& s) { return !gen::MakeLibraryCodeSet(s, set, error); };
    gen::CodeSetSource badSymbol = source;
    badSymbol.keys[1] = gen::KeyFrames{{3}, {}};
    EXPECT_TRUE(refused(badSymbol));
    gen::CodeSetSource slowCarrier = source;
    slowCarrier.carrierPeriod = gen::CarrierPeriod(30000);  // 267 does not fit the carrier byte
    EXPECT_TRUE(refused(slowCarrier));
    gen::CodeSetSource rc5 = source;
    rc5.codeType = kCodeRc5;  // RC-5 takes one timing entry
    EXPECT_TRUE(refused(rc5));
    gen::CodeSetSource tooBig = source;
    std::vector<uint8_t> long_(199);
    for (size_t i = 0; i < long_.size(); ++i) long_[i] = uint8_t(i % 3);
    for (auto& k : tooBig.keys) k = gen::KeyFrames{long_, {}};
    EXPECT_TRUE(refused(tooBig));  // more than 256 blocks

    TTiFlashFm fresh;
    ASSERT_TRUE(gen::MakeLibraryCodeSet(source, set, error));
    const std::vector<uint8_t> before(fresh.Image().begin(), fresh.Image().end());
    EXPECT_FALSE(gen::WriteCodeLibrary(fresh, {{5, set}, {3072, set}}, error));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), fresh.Image().begin()));
}

}  // namespace
}  // namespace orvalink::testing
