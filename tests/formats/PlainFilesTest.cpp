#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/PlainFiles.h"
#include "image/Tiflashut.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

class PlainFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orvalink-plain-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // The backup must land beside the file, not in the current folder.
        other_ = dir_ / "elsewhere";
        fs::create_directories(other_);
        old_ = fs::current_path();
        fs::current_path(other_);
    }
    void TearDown() override {
        fs::current_path(old_);
        fs::remove_all(dir_);
    }
    fs::path Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }
    static std::string Get(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }
    fs::path dir_, other_, old_;
};

// A module whose used entries are all "none".
ModuleRecord EmptyModule() {
    ModuleRecord m;
    for (int i = 0; i < kModuleTableEntries; ++i) m.SetEntry(i, kNoRecord);
    return m;
}

TEST_F(PlainFiles, BackupGoesBesideTheFileOnceAndIsNeverReplaced) {
    const fs::path x = Put("x.mcf", "first");
    const auto a = WritePlainFile(x, Bytes("second"));
    ASSERT_TRUE(a.Ok()) << a.why;
    EXPECT_EQ(a.backup, dir_ / "x.BAK");
    EXPECT_EQ(Get(dir_ / "x.BAK"), "first");
    EXPECT_EQ(Get(x), "second");
    EXPECT_TRUE(fs::is_empty(other_));

    // ".BAK" taken: the file is replaced with no new backup.
    const auto b = WritePlainFile(x, Bytes("third"));
    ASSERT_TRUE(b.Ok());
    EXPECT_TRUE(b.backup.empty());
    EXPECT_EQ(Get(dir_ / "x.BAK"), "first");
    EXPECT_EQ(Get(x), "third");

    // Another extension of the same base name shares the backup name.
    const fs::path sdc = Put("x.sdc", "code");
    ASSERT_TRUE(WriteWholeFile(sdc, Bytes("new code")).Ok());
    EXPECT_EQ(Get(dir_ / "x.BAK"), "first");
    EXPECT_EQ(Get(sdc), "new code");

    // No old file, no backup.
    const auto c = WriteWholeFile(dir_ / "y.mcf", Bytes("y"));
    ASSERT_TRUE(c.Ok());
    EXPECT_TRUE(c.backup.empty());
    EXPECT_FALSE(fs::exists(dir_ / "y.BAK"));
}

TEST_F(PlainFiles, WriteOverAFolderFailsWithTheSystemText) {
    const fs::path x = Put("x.mcf", "old");
    fs::create_directories(dir_ / "x.mcf.dir");
    Put("x.mcf.dir/inside", "kept");
    // The target is a folder: nothing can be written there.
    const auto out = WritePlainFile(dir_ / "x.mcf.dir", Bytes("new"));
    EXPECT_EQ(out.kind, PlainFileResult::WriteFailed);
    EXPECT_EQ(out.message, kCantWritePlainText);
    EXPECT_EQ(out.caption, "File Error");
    EXPECT_EQ(Get(x), "old");
    EXPECT_EQ(Get(dir_ / "x.mcf.dir" / "inside"), "kept");
    EXPECT_FALSE(fs::exists(dir_ / "x.mcf.BAK"));
}

// A write that fails after the old file was renamed to ".BAK" puts it back
// under its own name: the target a folder, and a file-size limit that
// stops the new file as a full disk would.
TEST_F(PlainFiles, FailedWriteAfterTheBackupPutsTheOldFileBack) {
    Put("x.smod", "security");
    fs::create_directories(dir_ / "x.mod");
    const auto out = WriteWithBackup(dir_ / "x.smod", dir_ / "x.mod", Bytes("new"), kCantWritePlainText);
    EXPECT_EQ(out.kind, PlainFileResult::WriteFailed);
    EXPECT_EQ(out.message, kCantWritePlainText);
    EXPECT_TRUE(out.backup.empty());
    EXPECT_EQ(Get(dir_ / "x.smod"), "security");
    EXPECT_TRUE(fs::is_directory(dir_ / "x.mod"));
    EXPECT_FALSE(fs::exists(dir_ / "x.BAK"));

    // Every writer: the backup is made, the new file cannot grow.
    const fs::path y = Put("y.mcf", "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16, 16};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(3);
        const auto written = WritePlainFile(y, std::vector<uint8_t>(4096, 0x77));
        ::_exit(written.kind == PlainFileResult::WriteFailed && written.backup.empty() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Get(y), "old");
    EXPECT_FALSE(fs::exists(dir_ / "y.BAK"));
}

TEST_F(PlainFiles, WriteMcfGivenSecurityNameWritesAndBacksUpTheMcf) {
    Put("x.mcf", "old mcf");
    Put("x.smcf", "security");
    OlderFlash flash;
    flash.bytes[0] = 0x12;
    flash.bytes[kOlderFlashBytes - 1] = 0x34;
    const auto out = WriteMcf(dir_ / "x.smcf", flash);
    ASSERT_TRUE(out.Ok()) << out.why;
    EXPECT_EQ(out.path, dir_ / "x.mcf");
    EXPECT_EQ(Get(dir_ / "x.BAK"), "old mcf");
    EXPECT_EQ(Get(dir_ / "x.smcf"), "security");
    const std::string mcf = Get(dir_ / "x.mcf");
    ASSERT_EQ(mcf.size(), kOlderFlashBytes);
    EXPECT_EQ(uint8_t(mcf.front()), 0x12);
    EXPECT_EQ(uint8_t(mcf.back()), 0x34);
}

TEST_F(PlainFiles, WriteSdcWritesTheCodeRegionAndRefusesOneOutsideTheImage) {
    OlderFlash flash;
    for (size_t i = 0; i < 16; ++i) flash.bytes[100 + i] = uint8_t(i);
    flash.codeStart = 100;
    flash.codeEnd = 116;
    ASSERT_TRUE(WriteSdc(dir_ / "c.mcf", flash).Ok());
    EXPECT_EQ(Get(dir_ / "c.sdc"), std::string("\0\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17", 16));

    flash.codeEnd = kOlderFlashBytes + 1;
    const auto out = WriteSdc(dir_ / "d.sdc", flash);
    EXPECT_EQ(out.kind, PlainFileResult::BadCodeRegion);
    EXPECT_FALSE(fs::exists(dir_ / "d.sdc"));
}

TEST_F(PlainFiles, EmptyModuleIsTheHeaderAlone) {
    ModuleRecord m = EmptyModule();
    m.header[128] = 0x11;
    m.header[133] = 0x22;
    m.header[189] = 0x33;
    m.header[190] = 0x44;  // reserved: written as 0
    m.area[0] = 5;         // not referenced, so not written
    ASSERT_TRUE(WriteMod(dir_ / "m.mod", m).Ok());
    const std::string file = Get(dir_ / "m.mod");
    ASSERT_EQ(file.size(), 192u);
    EXPECT_EQ(uint8_t(file[0]), 0xFF);
    EXPECT_EQ(uint8_t(file[128]), 0x11);
    EXPECT_EQ(uint8_t(file[133]), 0x22);
    EXPECT_EQ(uint8_t(file[189]), 0x33);
    EXPECT_EQ(file[190], 0);
    EXPECT_EQ(file[191], 0);
}

TEST_F(PlainFiles, ModuleRecordsRoundTripThroughTheFile) {
    ModuleRecord m = EmptyModule();
    m.SetEntry(0, 0);   // 2 blocks
    m.SetEntry(7, 2);   // 1 block
    m.area[0] = 2;
    m.area[5] = 0xAB;
    m.area[16] = 1;
    m.area[23] = 0xCD;
    m.header[129] = 0x7F;
    ASSERT_TRUE(WriteMod(dir_ / "m.smod", m).Ok());
    const std::string file = Get(dir_ / "m.mod");
    ASSERT_EQ(file.size(), 192u + 24u);
    ModuleRecord back;
    const auto parsed = ParseMod(Bytes(file), back);
    ASSERT_TRUE(parsed.Ok());
    EXPECT_EQ(back.Entry(7), 2);
    EXPECT_EQ(back.header[129], 0x7F);
    EXPECT_EQ(back.area[5], 0xAB);
    EXPECT_EQ(back.area[23], 0xCD);
    EXPECT_EQ(back.area[24], 0);
}

TEST_F(PlainFiles, OversizeModuleIsRefusedBeforeAnyFileIsTouched) {
    Put("big.mod", "old module");
    ModuleRecord m = EmptyModule();
    // Five records of 255 blocks: 10200 bytes, past the 9808-byte area.
    for (int i = 0; i < 5; ++i) {
        m.SetEntry(i, uint16_t(i * 255));
        m.area[size_t(i) * 255 * 8] = 255;
    }
    const auto out = WriteMod(dir_ / "big.mod", m);
    EXPECT_EQ(out.kind, PlainFileResult::ModuleTooLarge);
    EXPECT_EQ(out.message, kModuleTooLargeText);
    EXPECT_EQ(Get(dir_ / "big.mod"), "old module");
    EXPECT_FALSE(fs::exists(dir_ / "big.BAK"));

    ModuleRecord bad = EmptyModule();
    bad.SetEntry(55, 1201);
    EXPECT_EQ(WriteMod(dir_ / "big.mod", bad).kind, PlainFileResult::BadBlock);
    EXPECT_EQ(Get(dir_ / "big.mod"), "old module");
    EXPECT_FALSE(fs::exists(dir_ / "big.BAK"));
}

TEST_F(PlainFiles, ParseModLengthsAndModuleByteA) {
    ModuleRecord m = EmptyModule();
    m.header[130] = 0x5A;
    std::vector<uint8_t> nine(9, 0xFF);
    ModuleRecord out = m;
    EXPECT_TRUE(ParseMod(nine, out).Ok());
    EXPECT_EQ(out.Entry(4), kNoRecord);
    EXPECT_EQ(out.header[130], 0);

    std::vector<uint8_t> bytes(kModuleMaxBytes, 0);
    for (size_t i = 0; i < 128; ++i) bytes[i] = 0xFF;
    bytes[kModuleMaxBytes - 1] = 0x77;
    ModuleRecord full;
    ASSERT_TRUE(ParseMod(bytes, full).Ok());
    EXPECT_EQ(full.area[kModuleAreaBytes - 1], 0x77);

    ModuleRecord untouched = m;
    bytes.push_back(0);  // 10001
    EXPECT_EQ(ParseMod(bytes, untouched).kind, PlainFileResult::BadModule);
    EXPECT_EQ(ParseMod(std::vector<uint8_t>(8, 0xFF), untouched).kind, PlainFileResult::BadModule);
    bytes.pop_back();
    bytes[128] = 0x80;
    const auto refused = ParseMod(bytes, untouched);
    EXPECT_EQ(refused.kind, PlainFileResult::BadModule);
    EXPECT_TRUE(refused.message.empty());
    EXPECT_EQ(untouched.header[130], 0x5A);
}

TEST_F(PlainFiles, ParseModRefusesRecordsPastTheEnd) {
    std::vector<uint8_t> bytes(192 + 16, 0);
    for (size_t i = 0; i < 128; ++i) bytes[i] = 0xFF;
    bytes[0] = 1;  // entry 0: block 1, at area offset 8
    bytes[1] = 0;
    bytes[192 + 8] = 1;  // one block: fits exactly
    ModuleRecord m;
    EXPECT_TRUE(ParseMod(bytes, m).Ok());
    bytes[192 + 8] = 2;  // two blocks: one past the end
    EXPECT_EQ(ParseMod(bytes, m).kind, PlainFileResult::BadModule);
    bytes[192 + 8] = 1;
    bytes[0] = 2;  // block 2 starts at the end
    EXPECT_EQ(ParseMod(bytes, m).kind, PlainFileResult::BadModule);
    bytes[0] = 0xB1;  // 1201
    bytes[1] = 0x04;
    EXPECT_EQ(ParseMod(bytes, m).kind, PlainFileResult::BadModule);
}

TEST_F(PlainFiles, ReadersAndTheirMessages) {
    std::vector<uint8_t> bytes{9};
    const auto missing = ReadWholeFile(dir_ / "none.mcf", bytes, 100);
    EXPECT_EQ(missing.kind, PlainFileResult::Missing);
    EXPECT_TRUE(missing.message.empty());
    const auto plainMissing = ReadPlainFile(dir_ / "none.mcf", bytes, 100);
    EXPECT_EQ(plainMissing.kind, PlainFileResult::ReadFailed);
    EXPECT_EQ(plainMissing.message, kCantReadPlainText);
    EXPECT_EQ(bytes, std::vector<uint8_t>{9});

    const fs::path f = Put("f.mcf", "hello");
    EXPECT_EQ(ReadWholeFile(f, bytes, 4).message, kCantOpenFilesText);
    EXPECT_EQ(bytes, std::vector<uint8_t>{9});
    ASSERT_TRUE(ReadWholeFile(f, bytes, 5).Ok());
    EXPECT_EQ(bytes, Bytes("hello"));

    Put("big.ircc", std::string(0x10000, 'a'));
    EXPECT_EQ(ReadIrccFile(dir_ / "big.ircc", bytes).kind, PlainFileResult::ReadFailed);
    Put("ok.ircc", std::string(0xFFFF, 'a'));
    ASSERT_TRUE(ReadIrccFile(dir_ / "ok.ircc", bytes).Ok());
    EXPECT_EQ(bytes.size(), 0xFFFFu);
}

TEST_F(PlainFiles, ImageFileRoundTripAndWrongLength) {
    TTiFlashFm flash;
    auto image = flash.Image();
    ASSERT_FALSE(image.empty());
    image[0] = 0x42;
    image[image.size() - 1] = 0x24;
    ASSERT_TRUE(SaveImageFile(dir_ / "i.mcf", flash).Ok());
    EXPECT_EQ(fs::file_size(dir_ / "i.mcf"), image.size());
    image[0] = 0;
    image[image.size() - 1] = 0;
    ASSERT_TRUE(LoadImageFile(dir_ / "i.mcf", flash).Ok());
    EXPECT_EQ(image[0], 0x42);
    EXPECT_EQ(image[image.size() - 1], 0x24);

    Put("short.mcf", "abc");
    const auto out = LoadImageFile(dir_ / "short.mcf", flash);
    EXPECT_EQ(out.kind, PlainFileResult::WrongSize);
    EXPECT_EQ(image[0], 0x42);

    TTiFlashFm none{TTiFlashFm::NoImage{}};
    EXPECT_EQ(SaveImageFile(dir_ / "n.mcf", none).kind, PlainFileResult::NoImage);
    EXPECT_FALSE(fs::exists(dir_ / "n.mcf"));
}

}  // namespace
}  // namespace orvalink
