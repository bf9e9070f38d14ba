#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/FileConversions.h"
#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

// Fixed numbers, then 0; remembers its seeds.
class ListRandom final : public Random {
public:
    explicit ListRandom(std::deque<uint32_t> values) : values_(std::move(values)) {}
    void Seed(uint64_t seed) override { seeds.push_back(seed); }
    uint32_t Next() override {
        if (values_.empty()) return 0;
        const uint32_t v = values_.front();
        values_.pop_front();
        return v;
    }
    std::vector<uint64_t> seeds;

private:
    std::deque<uint32_t> values_;
};

class SecurityFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orvalink-security-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    static std::vector<uint8_t> Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Put(const fs::path& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
    }
    static std::vector<uint8_t> Counting(size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 7 + 3);
        return v;
    }
    static uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
        return uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24);
    }
    fs::path dir_;
    FixedClock clock_{1780000123};
};

TEST_F(SecurityFiles, RowStartingWithZeroPutsARandomByteFirst) {
    ASSERT_EQ(InsertionPatterns()[0][0], 0);
    ListRandom random({12 * 5 + 0, 0xA5, 0x5A});  // row 0
    const std::vector<uint8_t> data{1, 2, 3};
    SecurityStamp stamp;
    stamp.modelText[0] = 'Q';
    stamp.modelTag = 200;
    std::vector<uint8_t> file;
    ASSERT_EQ(BuildSecurityFileBytes(data, kSecuritySmod, stamp, clock_, random, file), PlainFileResult::Ok);
    EXPECT_EQ(random.seeds, std::vector<uint64_t>{1780000123});
    ASSERT_EQ(file.size(), 32u + 4u);
    EXPECT_EQ(file[32], 0xA5);
    EXPECT_EQ(file[33], 254);
    EXPECT_EQ(file[34], 253);
    EXPECT_EQ(file[35], 252);
    EXPECT_EQ(U32At(file, 4), 36u);
    EXPECT_EQ(file[10], 'Q');
    EXPECT_EQ(std::string(file.begin() + 22, file.begin() + 26), "smod");
    EXPECT_EQ(file[26], kSecuritySmod);
    EXPECT_EQ(file[27] | file[28] << 8, 200);
    EXPECT_EQ(file[31], 0);
    for (size_t at : {8u, 9u, 29u, 30u}) EXPECT_EQ(file[at], 0) << at;
}

TEST_F(SecurityFiles, RunsOfARowSeparateTheRandomBytes) {
    const auto& row = InsertionPatterns()[1];
    ASSERT_GT(row[0], 0);
    ListRandom random({1, 0xEE, 0xEE, 0xEE, 0xEE});
    const std::vector<uint8_t> data = Counting(size_t(row[0]) + size_t(row[1]) + 1);
    std::vector<uint8_t> file;
    ASSERT_EQ(BuildSecurityFileBytes(data, kSecuritySmcf, {}, clock_, random, file), PlainFileResult::Ok);
    ASSERT_EQ(file[31], 1);
    // row[0] data bytes, a random byte, row[1] data bytes, a random byte, the last data byte.
    ASSERT_EQ(file.size(), 32 + data.size() + 2);
    const size_t firstRandom = 32 + row[0];
    EXPECT_EQ(file[firstRandom], 0xEE);
    EXPECT_EQ(file[firstRandom + 1 + row[1]], 0xEE);
    EXPECT_EQ(file.back(), uint8_t(255 - data.back()));
    EXPECT_EQ(file[32], uint8_t(255 - data[0]));
}

TEST_F(SecurityFiles, EveryRowGivesTheDataBack) {
    const std::vector<uint8_t> data = Counting(3000);
    for (uint32_t r = 0; r < kPatternRows; ++r) {
        ListRandom random({r});
        std::vector<uint8_t> file, plain;
        ASSERT_EQ(BuildSecurityFileBytes(data, kSecuritySsdc, {}, clock_, random, file), PlainFileResult::Ok);
        uint8_t kind = 9;
        ASSERT_TRUE(ParseSecurityFileBytes(file, plain, kind)) << r;
        EXPECT_EQ(plain, data) << r;
        EXPECT_EQ(kind, kSecuritySsdc);
    }
}

TEST_F(SecurityFiles, PlainModuleToSmodAndBackIsByteIdentical) {
    ModuleRecord m;
    for (int i = 0; i < kModuleTableEntries; ++i) m.SetEntry(i, kNoRecord);
    m.SetEntry(0, 0);
    m.SetEntry(3, 3);
    m.area[0] = 3;
    m.area[24] = 2;
    for (size_t i = 1; i < 40; ++i) if (i != 24) m.area[i] = uint8_t(i * 13);
    m.header[128] = 0x42;
    m.header[150] = 0x99;
    ASSERT_TRUE(WriteMod(dir_ / "m.mod", m).Ok());
    const std::vector<uint8_t> original = Get(dir_ / "m.mod");
    ASSERT_EQ(original.size(), 192u + 40u);

    std::vector<uint8_t> read;
    ASSERT_TRUE(ReadPlainFile(dir_ / "m.mod", read, 10000).Ok());
    Pcg32Random random;
    ASSERT_TRUE(WriteSecurityFile(dir_ / "m.mod", read, kSecuritySmod, {}, clock_, random).Ok());
    ASSERT_TRUE(fs::exists(dir_ / "m.smod"));

    std::vector<uint8_t> plain;
    uint8_t kind = kSecuritySmcf;  // opened through the smcf filter: the stored kind wins
    ASSERT_TRUE(ReadSecurityFile(dir_ / "m.smod", plain, kind).Ok());
    EXPECT_EQ(kind, kSecuritySmod);
    ModuleRecord back;
    ASSERT_TRUE(ParseMod(plain, back).Ok());
    fs::rename(dir_ / "m.mod", dir_ / "first.mod");
    ASSERT_TRUE(WriteMod(dir_ / "m.smod", back).Ok());
    EXPECT_EQ(Get(dir_ / "m.mod"), original);
    // No ".mod" was there to keep; the security module stays as it was.
    EXPECT_FALSE(fs::exists(dir_ / "m.BAK"));
    EXPECT_TRUE(fs::exists(dir_ / "m.smod"));
}

// "UnSec" of every kind beside an older plain file of the same name: the
// old plain file is kept as the backup and the security file stays.
TEST_F(SecurityFiles, PlainFormBacksUpTheOldPlainFileAndKeepsTheSecurityFile) {
    std::vector<uint8_t> module(192 + 8, 0);
    for (size_t i = 0; i < 128; ++i) module[i] = 0xFF;
    module[0] = 0, module[1] = 0;  // record 0 at block 0, 1 block
    module[192] = 1;
    module[199] = 0x5A;
    const struct {
        uint8_t kind;
        const char* security;
        const char* plain;
        std::vector<uint8_t> data;
        size_t written;
    } cases[] = {
        {kSecuritySmcf, "f.smcf", "f.mcf", Counting(1000), kOlderFlashBytes},
        {kSecuritySmod, "m.smod", "m.mod", module, module.size()},
        {kSecuritySsdc, "c.ssdc", "c.sdc", Counting(300), 300},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.security);
        const std::vector<uint8_t> securityBytes{0x53, 1, 2, 3}, oldPlain{0x0D, 0x0E};
        Put(dir_ / c.security, securityBytes);
        Put(dir_ / c.plain, oldPlain);
        OlderFlash flash;
        const auto out = WritePlainForm(dir_ / c.security, c.data, c.kind, flash);
        ASSERT_TRUE(out.Ok()) << out.why;
        EXPECT_EQ(out.path, dir_ / c.plain);
        const fs::path backup = BackupPathOf(dir_ / c.plain);
        EXPECT_EQ(out.backup, backup);
        EXPECT_EQ(Get(backup), oldPlain);
        EXPECT_EQ(Get(dir_ / c.security), securityBytes);
        const std::vector<uint8_t> written = Get(dir_ / c.plain);
        ASSERT_EQ(written.size(), c.written);
        EXPECT_TRUE(std::equal(c.data.begin(), c.data.end(), written.begin()));
    }
}

TEST_F(SecurityFiles, ChecksumCoversOffset8ToTheEndOnly) {
    ListRandom random({4});
    SecurityStamp stamp;
    stamp.modelText[1] = 5;
    std::vector<uint8_t> file, plain;
    ASSERT_EQ(BuildSecurityFileBytes(Counting(500), kSecuritySmcf, stamp, clock_, random, file), PlainFileResult::Ok);
    uint32_t sum = 0;
    for (size_t i = 8; i < file.size(); ++i) sum += file[i];
    EXPECT_EQ(U32At(file, 0), sum);
    uint8_t kind = 0;
    ASSERT_TRUE(ParseSecurityFileBytes(file, plain, kind));

    for (size_t at : {size_t(8), size_t(10), size_t(31), size_t(32), file.size() - 1}) {
        std::vector<uint8_t> changed = file;
        changed[at] ^= 0x01;
        EXPECT_FALSE(ParseSecurityFileBytes(changed, plain, kind)) << at;
    }
    std::vector<uint8_t> checksumOnly = file;
    checksumOnly[0] ^= 0x01;
    EXPECT_FALSE(ParseSecurityFileBytes(checksumOnly, plain, kind));
    // Two changes that keep the sum: the model text is not checked otherwise.
    std::vector<uint8_t> balanced = file;
    balanced[10] = uint8_t(balanced[10] + 1);
    balanced[11] = uint8_t(balanced[11] - 1);
    EXPECT_TRUE(ParseSecurityFileBytes(balanced, plain, kind));
}

TEST_F(SecurityFiles, BadHeadersAreRefusedSilentlyAndChangeNothing) {
    ListRandom random({2});
    std::vector<uint8_t> file;
    ASSERT_EQ(BuildSecurityFileBytes(Counting(100), kSecuritySmcf, {}, clock_, random, file), PlainFileResult::Ok);
    auto refix = [](std::vector<uint8_t>& f) {
        uint32_t sum = 0;
        for (size_t i = 8; i < f.size(); ++i) sum += f[i];
        for (int i = 0; i < 4; ++i) f[size_t(i)] = uint8_t(sum >> (8 * i));
    };
    std::vector<std::vector<uint8_t>> bad;
    {   auto f = file; f[4] = uint8_t(f[4] + 1); bad.push_back(f); }  // length past the end
    {   auto f = file; f.push_back(0); refix(f); bad.push_back(f); }   // one byte longer than it says
    {   auto f = file; f[27] = 0x01; refix(f); bad.push_back(f); }     // not a model tag
    {   auto f = file; f[31] = 12; refix(f); bad.push_back(f); }       // no such row
    {   auto f = file; f[26] = 3; refix(f); bad.push_back(f); }        // no such kind
    bad.push_back(std::vector<uint8_t>(file.begin(), file.begin() + 8));
    bad.push_back(std::vector<uint8_t>(file.begin(), file.begin() + 31));
    for (size_t i = 0; i < bad.size(); ++i) {
        const fs::path path = dir_ / ("bad" + std::to_string(i) + ".smcf");
        Put(path, bad[i]);
        std::vector<uint8_t> plain{7};
        uint8_t kind = 9;
        const auto out = ReadSecurityFile(path, plain, kind);
        EXPECT_EQ(out.kind, PlainFileResult::BadSecurityFile) << i;
        EXPECT_TRUE(out.message.empty()) << i;
        EXPECT_EQ(plain, std::vector<uint8_t>{7}) << i;
        EXPECT_EQ(kind, 9) << i;
    }

    std::vector<uint8_t> big(kSecurityFileLimit, 0);
    Put(dir_ / "big.smcf", big);
    std::vector<uint8_t> plain;
    uint8_t kind = 0;
    const auto tooBig = ReadSecurityFile(dir_ / "big.smcf", plain, kind);
    EXPECT_EQ(tooBig.kind, PlainFileResult::BadSecurityFile);
    EXPECT_TRUE(tooBig.message.empty());

    const auto missing = ReadSecurityFile(dir_ / "none.smcf", plain, kind);
    EXPECT_EQ(missing.kind, PlainFileResult::ReadFailed);
    EXPECT_EQ(missing.message, kCantReadPlainText);
}

TEST_F(SecurityFiles, WriterNamesBacksUpAndRefuses) {
    Put(dir_ / "x.smcf", {1, 2, 3});
    Put(dir_ / "x.mcf", {4, 5});
    Pcg32Random random;
    const auto out = WriteSecurityFile(dir_ / "x.mcf", Counting(64), kSecuritySmcf, {}, clock_, random);
    ASSERT_TRUE(out.Ok()) << out.why;
    EXPECT_EQ(out.path, dir_ / "x.smcf");
    EXPECT_EQ(Get(dir_ / "x.BAK"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Get(dir_ / "x.mcf"), (std::vector<uint8_t>{4, 5}));

    EXPECT_EQ(WriteSecurityFile(dir_ / "y.mcf", Counting(4), 3, {}, clock_, random).kind,
              PlainFileResult::BadSecurityFile);
    SecurityStamp stamp;
    stamp.modelTag = 0x1234;  // the reader would refuse it
    EXPECT_EQ(WriteSecurityFile(dir_ / "y.mcf", Counting(4), kSecuritySmcf, stamp, clock_, random).kind,
              PlainFileResult::BadSecurityFile);
    const auto tooLong =
        WriteSecurityFile(dir_ / "y.mcf", std::vector<uint8_t>(kSecurityFileLimit - kSecurityHeaderBytes - 1, 1), kSecuritySmcf, {}, clock_, random);
    EXPECT_EQ(tooLong.kind, PlainFileResult::TooLarge);
    EXPECT_EQ(tooLong.message, kSecurityTooLargeText);
    for (const char* name : {"y.smcf", "y.smod", "y.ssdc", "y.mcf", "y.BAK"}) EXPECT_FALSE(fs::exists(dir_ / name));
}

}  // namespace
}  // namespace orvalink
