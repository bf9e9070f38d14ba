#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "formats/XFiles.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// Fixed numbers first (the two rows), then a running count; remembers its seeds.
class ListRandom final : public Random {
public:
    explicit ListRandom(std::deque<uint32_t> values) : values_(std::move(values)) {}
    void Seed(uint64_t seed) override { seeds.push_back(seed); }
    uint32_t Next() override {
        if (values_.empty()) return 0xA0 + uint32_t(count_++ % 16);
        const uint32_t v = values_.front();
        values_.pop_front();
        return v;
    }
    std::vector<uint64_t> seeds;

private:
    std::deque<uint32_t> values_;
    int count_ = 0;
};

// How many bytes a pass with `row` makes of n bytes: a random byte before
// every run whose length is reached while data remain.
size_t PassLength(size_t n, int row) {
    const auto& pattern = XInsertionPatterns()[size_t(row)];
    size_t out = 0, p = 0, run = 0;
    while (n > 0) {
        if (pattern[p] == run) {
            ++out;
            p = (p + 1) % pattern.size();
            run = 0;
        } else {
            ++out;
            --n;
            ++run;
        }
    }
    return out;
}

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
    return v;
}

class XFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orvalink-xfiles-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::vector<uint8_t> Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    fs::path dir_;
    FixedClock clock_{1780000123, LocalDate{2026, 6, 7}};
};

TEST_F(XFiles, TableIsTheXFilesOwn) {
    const auto& b = XInsertionPatterns();
    const auto& a = InsertionPatterns();
    bool anyZeroFirst = false;
    for (const auto& row : b) {
        for (uint8_t v : row) EXPECT_LE(v, 21);
        anyZeroFirst = anyZeroFirst || row[0] == 0;
    }
    EXPECT_TRUE(anyZeroFirst);
    for (int r = 0; r < kPatternRows; ++r) EXPECT_NE(a[size_t(r)], b[size_t(r)]) << "row " << r;
}

TEST_F(XFiles, EveryKindRoundTripsThroughTheFileWithBothPasses) {
    const std::vector<uint8_t> data = Counting(500);
    for (uint8_t kind = 0; kind <= kXcic; ++kind) {
        XFileHeader header;
        ASSERT_TRUE(XHeaderForModel(8, 0x0105, header));
        ListRandom random({2, 9});  // rows 2 and 9 both put a random byte in first
        const fs::path written = dir_ / "made.bin";
        const PlainFileOutcome out = WriteXFile(written, data, header, kind, clock_, random);
        ASSERT_TRUE(out.Ok()) << out.message;
        const std::string ext = std::string(".") + XExtension(kind);
        EXPECT_EQ(out.path, dir_ / ("made" + ext));
        ASSERT_EQ(random.seeds, std::vector<uint64_t>{1780000123u});

        const std::vector<uint8_t> file = Get(out.path);
        ASSERT_GE(file.size(), kXHeaderBytes);
        EXPECT_EQ(file.size(), kXHeaderBytes + PassLength(PassLength(500, 2), 9)) << int(kind);
        EXPECT_EQ(std::string(file.begin() + 10, file.begin() + 17), "QM-2300");
        EXPECT_EQ(file[17], 0);
        EXPECT_EQ(std::string(file.begin() + 22, file.begin() + 26), XExtension(kind));
        EXPECT_EQ(file[26], kind);
        EXPECT_EQ(file[27], 11 + 8);
        EXPECT_EQ(file[28], 0x05);
        EXPECT_EQ(file[29], 0x01);
        EXPECT_EQ(file[30], 2);
        EXPECT_EQ(file[31], 9);
        // The second pass puts its random byte first and copies what the
        // first made: the first pass's random byte (not inverted), then the
        // first data byte inverted.
        EXPECT_EQ(file[33], 0xA0);
        EXPECT_EQ(file[34], 255 - data[0]);
        EXPECT_EQ(file[35], 255 - data[1]);

        std::vector<uint8_t> back;
        XFileHeader h;
        uint8_t kindBack = 99;
        const PlainFileOutcome read = ReadXFile(out.path, back, h, kindBack);
        ASSERT_TRUE(read.Ok()) << int(kind);
        EXPECT_EQ(back, data);
        EXPECT_EQ(kindBack, kind);
        EXPECT_EQ(h.ModelText(), "QM-2300");
        EXPECT_EQ(h.modelNumber, 19);
        EXPECT_EQ(h.versionWord, 0x0105);
    }
}

TEST_F(XFiles, EveryPairOfRowsGivesTheDataBack) {
    const std::vector<uint8_t> data = Counting(97);
    XFileHeader header;
    ASSERT_TRUE(XHeaderForModel(0, 0x0203, header));
    for (uint32_t r1 = 0; r1 < 12; ++r1) {
        for (uint32_t r2 = 0; r2 < 12; ++r2) {
            ListRandom random({r1 + 24, r2 + 36});  // drawn modulo 12
            std::vector<uint8_t> file, back;
            ASSERT_EQ(BuildXFileBytes(data, header, kXirc, clock_, random, file), PlainFileResult::Ok);
            XFileHeader h;
            uint8_t kind = 9;
            ASSERT_TRUE(ParseXFileBytes(file, back, h, kind)) << r1 << "," << r2;
            EXPECT_EQ(back, data) << r1 << "," << r2;
            EXPECT_EQ(h.firstRow, r1);
            EXPECT_EQ(h.secondRow, r2);
        }
    }
}

TEST_F(XFiles, StoredKindWinsAndBadKindsAreNotWritten) {
    XFileHeader header;
    ASSERT_TRUE(XHeaderForModel(1, 0x0100, header));
    Pcg32Random random;
    const PlainFileOutcome made = WriteXFile(dir_ / "a.xmcf", Counting(40), header, kXmcu, clock_, random);
    ASSERT_TRUE(made.Ok());
    // Asked for an xmcf, the name follows the kind written.
    EXPECT_EQ(made.path, dir_ / "a.xmcu");
    std::vector<uint8_t> back;
    XFileHeader h;
    uint8_t kind = kXmcf;
    ASSERT_TRUE(ReadXFile(made.path, back, h, kind).Ok());
    EXPECT_EQ(kind, kXmcu);

    EXPECT_EQ(WriteXFile(dir_ / "b.xmcf", Counting(40), header, 4, clock_, random).kind,
              PlainFileResult::BadSecurityFile);
    EXPECT_FALSE(fs::exists(dir_ / "b.xmcf"));
    XFileHeader untouched;
    untouched.versionWord = 0x4242;
    EXPECT_FALSE(XHeaderForModel(10, 0x0100, untouched));
    EXPECT_EQ(untouched.versionWord, 0x4242);
    EXPECT_EQ(XModelIndexOfListPosition(4), 4);
    EXPECT_EQ(XModelIndexOfListPosition(5), 6);
}

TEST_F(XFiles, WriterBacksUpTheOldFileAndRefusesDataThatCannotBeRead) {
    XFileHeader header;
    ASSERT_TRUE(XHeaderForModel(2, 0x0100, header));
    Pcg32Random random;
    ASSERT_TRUE(WriteXFile(dir_ / "f.xmcf", Counting(10), header, kXmcf, clock_, random).Ok());
    const auto first = Get(dir_ / "f.xmcf");
    const PlainFileOutcome again = WriteXFile(dir_ / "f.xmcf", Counting(20), header, kXmcf, clock_, random);
    ASSERT_TRUE(again.Ok());
    EXPECT_EQ(again.backup, dir_ / "f.BAK");
    EXPECT_EQ(Get(dir_ / "f.BAK"), first);

    // The flash of a 5100-family model is longer than any X file may be.
    const std::vector<uint8_t> big(XmcfDataBytes(1200), 0x11);
    const PlainFileOutcome tooBig = WriteXFile(dir_ / "big.xmcf", big, header, kXmcf, clock_, random);
    EXPECT_EQ(tooBig.kind, PlainFileResult::TooLarge);
    EXPECT_EQ(tooBig.message, kXTooLargeText);
    EXPECT_FALSE(fs::exists(dir_ / "big.xmcf"));
}

TEST_F(XFiles, MakeXmcuOfModel1200CarriesAllOf65536Bytes) {
    EXPECT_EQ(XmcuDataBytes(1199), 32768u);
    EXPECT_EQ(XmcuDataBytes(1200), 65536u);
    EXPECT_EQ(XmcfDataBytes(999), 262144u);
    EXPECT_EQ(XmcfDataBytes(1000), 540672u);
    EXPECT_EQ(XmcfDataBytes(2000), 1033968u);

    std::vector<uint8_t> mcu(XmcuDataBytes(1200));
    for (size_t i = 0; i < mcu.size(); ++i) mcu[i] = uint8_t(i ^ (i >> 8));
    XFileHeader header;
    ASSERT_TRUE(XHeaderForModel(XModelIndexOfListPosition(3), 0x0112, header));
    Pcg32Random random;
    const std::string name = XFileName((dir_ / "").string(), "QM-4600", 0x0112, clock_.Today(), ".xmcu");
    EXPECT_EQ(fs::path(name).filename(), "QM-4600_v1_18__0607.xmcu");
    const PlainFileOutcome made = WriteXFile(name, mcu, header, kXmcu, clock_, random);
    ASSERT_TRUE(made.Ok()) << made.message;
    std::vector<uint8_t> back;
    XFileHeader h;
    uint8_t kind = 0;
    ASSERT_TRUE(ReadXFile(name, back, h, kind).Ok());
    EXPECT_EQ(back.size(), 65536u);
    EXPECT_EQ(back, mcu);
    EXPECT_EQ(h.ModelText(), "Norvik");
    EXPECT_EQ(VersionHiLoText(0x0112), "Ver Hi = [1]    Lo = [18]");
}

TEST_F(XFiles, SBinaryDateWordHeaderAndChecksum) {
    const uint16_t word = SBinDateWord(LocalDate{2026, 6, 7});
    EXPECT_EQ(word, 26 * 512 + 6 * 32 + 7);
    EXPECT_EQ(SBinDateText(word), "2026 / 6 / 7");
    EXPECT_EQ(SBinDateText(SBinDateWord(LocalDate{2031, 12, 31})), "2031 / 12 / 31");

    const std::vector<uint8_t> data{0x10, 0x20, 0xFF};
    const auto file = BuildSBinBytes(data, kSBinFromMcu, 513, LocalDate{2026, 6, 7});
    ASSERT_EQ(file.size(), 17u);
    // Big-endian: length 3, source 1000, VC 513, date.
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 4, file.begin() + 14),
              (std::vector<uint8_t>{0, 0, 0, 3, 0x03, 0xE8, 0x02, 0x01, uint8_t(word >> 8), uint8_t(word)}));
    uint32_t sum = 0;
    for (size_t i = 4; i < file.size(); ++i) sum += file[i];
    EXPECT_EQ(uint32_t(file[0]) << 24 | file[1] << 16 | file[2] << 8 | file[3], sum);

    SBinHeader h;
    std::vector<uint8_t> back;
    ASSERT_TRUE(ParseSBinBytes(file, h, back));
    EXPECT_EQ(back, data);
    EXPECT_EQ(h.source, kSBinFromMcu);
    EXPECT_EQ(h.vcNumber, 513);
    EXPECT_EQ(h.date, word);
}

TEST_F(XFiles, SBinaryOfNoDataIs14BytesAndLoads) {
    const auto file = BuildSBinBytes({}, kSBinFromImage, 0, LocalDate{2026, 6, 7});
    ASSERT_EQ(file.size(), 14u);
    const fs::path path = dir_ / "empty.sbin";
    ASSERT_TRUE(WriteWholeFile(path, file).Ok());
    SBinHeader h;
    std::vector<uint8_t> data{1, 2, 3};
    ASSERT_EQ(ReadSBinFile(path, kSBinLoadBytes, h, data), SBinLoad::Ok);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(h.source, kSBinFromImage);
}

TEST_F(XFiles, StampingOffsetsOfEachModelFamily) {
    EXPECT_EQ(StampRuleOf(0), StampRule::None);
    EXPECT_EQ(StampRuleOf(2010), StampRule::Slimline);
    EXPECT_EQ(StampRuleOf(1200), StampRule::Ti5k);
    EXPECT_EQ(StampRuleOf(2000), StampRule::Ti5k);
    EXPECT_EQ(StampRuleOf(1199), StampRule::Ti512k);
    EXPECT_EQ(StampRuleOf(1000), StampRule::Ti512k);
    EXPECT_EQ(StampRuleOf(999), StampRule::Older);
    EXPECT_EQ(StampRuleOf(1), StampRule::Older);

    const uint16_t code = 0x0C07;   // 12.07
    const uint16_t flash = 0x0203;  // 2.03
    auto changed = [](const std::vector<uint8_t>& image) {
        std::vector<size_t> at;
        for (size_t i = 0; i < image.size(); ++i)
            if (image[i] != 0xEE) at.push_back(i);
        return at;
    };
    std::vector<uint8_t> image(40000, 0xEE);
    ASSERT_TRUE(StampVersions(StampRule::Slimline, code, flash, image));
    EXPECT_EQ(changed(image), (std::vector<size_t>{27224, 27225, 27226, 27227, 29336, 29337, 29338, 29339}));
    EXPECT_EQ(std::string(image.begin() + 27224, image.begin() + 27228), "1207");
    EXPECT_EQ(std::string(image.begin() + 29336, image.begin() + 29340), "1207");

    image.assign(40000, 0xEE);
    ASSERT_TRUE(StampVersions(StampRule::Ti5k, code, flash, image));
    EXPECT_EQ(changed(image), (std::vector<size_t>{27224, 27225, 27226, 27227, 29336, 29337, 29338, 29339}));
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + 29336, image.begin() + 29340),
              (std::vector<uint8_t>{12, 7, 2, 3}));

    image.assign(40000, 0xEE);
    ASSERT_TRUE(StampVersions(StampRule::Ti512k, code, flash, image));
    EXPECT_EQ(changed(image), (std::vector<size_t>{14, 15}));
    EXPECT_EQ(image[15], 12);
    EXPECT_EQ(image[14], 7);

    // Too short for the offsets, and the older rule, stamp nothing.
    std::vector<uint8_t> shortImage(29339, 0xEE);
    EXPECT_FALSE(StampVersions(StampRule::Ti5k, code, flash, shortImage));
    EXPECT_TRUE(changed(shortImage).empty());
    image.assign(40000, 0xEE);
    EXPECT_FALSE(StampVersions(StampRule::Older, code, flash, image));
    EXPECT_TRUE(changed(image).empty());
    EXPECT_STREQ(StampOkText(StampRule::Ti512k), "Save Ti 512k Mcf Files Ok! \n Path: ");
}

TEST_F(XFiles, DeviceTablesTextSkipsEmptyBytes) {
    std::vector<uint8_t> tables(16 * 64, 0xFF);
    for (int i = 0; i < 12; ++i) tables[size_t(i)] = uint8_t(i + 1);
    tables[64 + 63] = 0xAB;
    const std::string text = DeviceTablesText(tables);
    const std::string first = "{ 0x00,0,0x11, { 0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0A, 0x0B,0x0C }},\n";
    const std::string second = "{ 0x00,0,0x11, { 0xAB }},\n";
    ASSERT_EQ(text.substr(0, first.size()), first);
    EXPECT_EQ(text.substr(first.size(), second.size()), second);
    size_t lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_EQ(lines, 16u);
}

// Every file of the broken folder is refused, silently and changing nothing;
// the good folder's files (made the same way) are read.
const fs::path kBroken = fs::path(ORVALINK_TEST_DATA_DIR) / "service-broken";
const fs::path kGood = fs::path(ORVALINK_TEST_DATA_DIR) / "service-good";

bool ReadsAsItsKind(const fs::path& file, std::string& what) {
    const std::string ext = file.extension().string();
    if (ext == ".sbin") {
        SBinHeader h;
        h.vcNumber = 4242;
        std::vector<uint8_t> data{7};
        const SBinLoad load = ReadSBinFile(file, kSBinLoadBytes, h, data);
        if (load != SBinLoad::Ok && (data != std::vector<uint8_t>{7} || h.vcNumber != 4242)) what = "changed outputs";
        return load == SBinLoad::Ok;
    }
    if (ext.size() == 5 && ext[1] == 'x') {
        std::vector<uint8_t> plain{7};
        XFileHeader h;
        h.versionWord = 4242;
        uint8_t kind = 77;
        const PlainFileOutcome out = ReadXFile(file, plain, h, kind);
        if (!out.Ok() && (plain != std::vector<uint8_t>{7} || h.versionWord != 4242 || kind != 77))
            what = "changed outputs";
        if (!out.Ok() && !out.message.empty()) what = "showed " + out.message;
        return out.Ok();
    }
    std::vector<uint8_t> plain{7};
    uint8_t kind = 77;
    const PlainFileOutcome out = ReadSecurityFile(file, plain, kind);
    if (!out.Ok() && (plain != std::vector<uint8_t>{7} || kind != 77)) what = "changed outputs";
    if (!out.Ok() && !out.message.empty()) what = "showed " + out.message;
    return out.Ok();
}

TEST(ServiceFileFolders, BrokenFilesAreRefusedGoodOnesRead) {
    int broken = 0, good = 0;
    for (const auto& entry : fs::directory_iterator(kBroken)) {
        std::string what;
        EXPECT_FALSE(ReadsAsItsKind(entry.path(), what)) << entry.path().filename();
        EXPECT_EQ(what, "") << entry.path().filename();
        ++broken;
    }
    for (const auto& entry : fs::directory_iterator(kGood)) {
        std::string what;
        EXPECT_TRUE(ReadsAsItsKind(entry.path(), what)) << entry.path().filename();
        ++good;
    }
    EXPECT_GE(broken, 30);
    EXPECT_GE(good, 5);
}

TEST(ServiceFileFolders, LongSBinaryIsTooLongNotCorrupt) {
    SBinHeader h;
    std::vector<uint8_t> data;
    EXPECT_EQ(ReadSBinFile(kBroken / "longer-than-65536-bytes.sbin", kSBinLoadBytes, h, data), SBinLoad::TooLong);
    EXPECT_EQ(ReadSBinFile(kBroken / "length-field-all-ones.sbin", kSBinLoadBytes, h, data), SBinLoad::Corrupt);
    EXPECT_EQ(ReadSBinFile(kBroken / "no-such-file.sbin", kSBinLoadBytes, h, data), SBinLoad::ReadFailed);
    EXPECT_EQ(SBinCorruptText("a.sbin"), "File corruption ! \n\n Path: a.sbin");
}

}  // namespace
}  // namespace orvalink
