#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "formats/SideFiles.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

class SideFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("orvalink-side-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path Write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
        return dir_ / name;
    }
    fs::path dir_;
};

TEST_F(SideFiles, ModelSettingsRoundTripLittleEndian) {
    ModelSettings s{200, 5100, 2000, 1033};
    ASSERT_TRUE(WriteModelSettings(dir_ / "modelinfo.dat", s));
    std::ifstream in(dir_ / "modelinfo.dat", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, std::string("\xC8\x00\xEC\x13\xD0\x07\x09\x04", 8));
    ModelSettings back;
    ASSERT_TRUE(ReadModelSettings(dir_ / "modelinfo.dat", back));
    EXPECT_EQ(back, s);
}

TEST_F(SideFiles, ShortFilesFillZerosAndLongOrEmptyFilesAreRefused) {
    ModelSettings s{1, 2, 3, 4};
    ASSERT_TRUE(ReadModelSettings(Write("two.dat", std::string("\xC8\x00", 2)), s));
    EXPECT_EQ(s, (ModelSettings{200, 0, 0, 0}));
    ModelSettings untouched{9, 9, 9, 9};
    EXPECT_FALSE(ReadModelSettings(Write("nine.dat", std::string(9, '\x01')), untouched));
    EXPECT_FALSE(ReadModelSettings(Write("empty.dat", ""), untouched));
    EXPECT_FALSE(ReadModelSettings(dir_ / "missing.dat", untouched));
    EXPECT_EQ(untouched, (ModelSettings{9, 9, 9, 9}));
}

TEST_F(SideFiles, ValidChoiceRules) {
    EXPECT_TRUE(IsValidChoice({200, 1500, 2000, 1033}));
    EXPECT_TRUE(IsValidChoice({200, 100, 0, 0}));
    EXPECT_TRUE(IsValidChoice({200, 2000, 0, 0}));
    EXPECT_TRUE(IsValidChoice({200, 5100, 2000, 1033}));  // what the picker itself stores
    EXPECT_FALSE(IsValidChoice({200, 2001, 2000, 1033}));
    EXPECT_FALSE(IsValidChoice({200, 2500, 2000, 1033}));
    EXPECT_FALSE(IsValidChoice({200, 99, 2000, 1033}));
    EXPECT_FALSE(IsValidChoice({100, 1500, 2000, 1033}));
}

TEST_F(SideFiles, RememberedChoicePrefersTheFileThePickerWrites) {
    ModelSettings s;
    EXPECT_FALSE(ReadRememberedChoice(dir_, s));
    ASSERT_TRUE(WriteModelSettings(dir_ / kT5mInfoFile, {200, 1500, 2000, 1031}));
    ASSERT_TRUE(ReadRememberedChoice(dir_, s));
    EXPECT_EQ(s.modelWord, 1500);
    ASSERT_TRUE(WriteModelSettings(dir_ / kModelInfoFile, {100, 5100, 2000, 1033}));
    ASSERT_TRUE(ReadRememberedChoice(dir_, s));
    EXPECT_EQ(s.modelWord, 5100);
}

TEST_F(SideFiles, TypeIniLinesAndSignalFile) {
    std::vector<std::string> names{"old"};
    EXPECT_FALSE(ReadTypeIni(dir_ / "type.ini", names));
    EXPECT_EQ(names, std::vector<std::string>{"old"});
    ASSERT_TRUE(ReadTypeIni(Write("type.ini", "QM-5100 America\r\n\r\n  Slimline \nQM-2300B CH"), names));
    EXPECT_EQ(names, (std::vector<std::string>{"QM-5100 America", "Slimline", "QM-2300B CH"}));

    ASSERT_TRUE(CreateSignalFile(dir_));
    EXPECT_EQ(fs::file_size(dir_ / kSignalFile), 1u);
    DeleteSignalFile(dir_);
    EXPECT_FALSE(fs::exists(dir_ / kSignalFile));
    DeleteSignalFile(dir_);  // absent: nothing to do
}

}  // namespace
}  // namespace orvalink
