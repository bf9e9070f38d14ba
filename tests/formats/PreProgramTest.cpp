// Loading a pre-programmed device: which layout template a code number's
// range takes, and what happens when the program folder's dev_model.dll, its
// template or the image's code set is missing. With the factory files of this
// build, a code set's keys arrive in the bundle as the library decodes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "formats/PreProgram.h"
#include "image/CodeLibrary.h"
#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "image/Tiflashut.h"
#if defined(ORVALINK_FIXED_FONT_DIR) && defined(ORVALINK_DEV_MODEL_DLL)
#include "tests/tools/FactoryTestSupport.h"
#define ORVALINK_HAVE_FACTORY_LIBRARY 1
#endif

namespace orvalink {
namespace {

namespace fs = std::filesystem;

struct TemplateCase {
    uint16_t codeNumber;
    int templateNumber;
};

void PrintTo(const TemplateCase& c, std::ostream* os) { *os << c.codeNumber << " -> " << c.templateNumber; }

class TemplateChoice : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateChoice, EachRangeTakesItsTemplateUpToItsLastNumber) {
    EXPECT_EQ(TemplateForCodeNumber(GetParam().codeNumber), GetParam().templateNumber)
        << "code number " << GetParam().codeNumber;
}

INSTANTIATE_TEST_SUITE_P(RangeEdges, TemplateChoice,
                         ::testing::Values(TemplateCase{0, 1004}, TemplateCase{767, 1004}, TemplateCase{768, 1002},
                                           TemplateCase{1151, 1002}, TemplateCase{1152, 1001},
                                           TemplateCase{1535, 1001}, TemplateCase{1536, 1005},
                                           TemplateCase{1919, 1005}, TemplateCase{1920, 1006},
                                           TemplateCase{2303, 1006}, TemplateCase{2304, 1009},
                                           TemplateCase{2559, 1009}, TemplateCase{2560, 1008},
                                           TemplateCase{2815, 1008}, TemplateCase{2816, 1010},
                                           TemplateCase{3999, 1010}, TemplateCase{0xFFFF, 1010}),
                         [](const ::testing::TestParamInfo<TemplateCase>& info) {
                             return "Code" + std::to_string(info.param.codeNumber);
                         });

// A program folder of its own, removed again after the test.
class PreProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("orvalink-preprogram-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    // A bundle with a mark in it, to see that a failure leaves it alone.
    static DeviceBundle MarkedBundle() {
        DeviceBundle b;
        b.slotTable[0] = 7;
        b.blocks[0] = 0x42;
        return b;
    }
    static bool StillMarked(const DeviceBundle& b) {
        return b.slotTable[0] == 7 && b.blocks[0] == 0x42 &&
               std::all_of(b.slotTable.begin() + 1, b.slotTable.end(), [](uint16_t v) { return v == 0xFFFF; });
    }

    fs::path folder_;
    TTiFlashFm flash_;
};

TEST_F(PreProgramFolder, NoLibraryInTheProgramFolderIsReportedAndChangesNothing) {
    DeviceBundle bundle = MarkedBundle();
    EXPECT_EQ(BuildPreProgramBundle(folder_, flash_, 1200, bundle), PreProgramResult::NoLibrary);
    EXPECT_TRUE(StillMarked(bundle));
}

TEST_F(PreProgramFolder, FileThatIsNoLibraryCountsAsMissing) {
    std::ofstream(folder_ / "dev_model.dll", std::ios::binary) << "not a resource library";
    DeviceBundle bundle = MarkedBundle();
    EXPECT_EQ(BuildPreProgramBundle(folder_, flash_, 1200, bundle), PreProgramResult::NoLibrary);
    EXPECT_TRUE(StillMarked(bundle));
}

TEST_F(PreProgramFolder, LibraryWithoutTheTemplateIsReportedAndChangesNothing) {
    // The sample library holds resources of other numbers only.
    fs::copy_file(fs::path(ORVALINK_TEST_DATA_DIR) / "resource-dll" / "sample-pe32plus.dll", folder_ / "dev_model.dll");
    DeviceBundle bundle = MarkedBundle();
    EXPECT_EQ(BuildPreProgramBundle(folder_, flash_, 1200, bundle), PreProgramResult::NoTemplate);
    EXPECT_TRUE(StillMarked(bundle));
}

#if defined(ORVALINK_HAVE_FACTORY_LIBRARY)

TEST_F(PreProgramFolder, ImageWithoutTheCodeSetIsReportedAndChangesNothing) {
    fs::copy_file(ORVALINK_DEV_MODEL_DLL, folder_ / "dev_model.dll");
    DeviceBundle bundle = MarkedBundle();
    // A fresh image holds no code library at all.
    EXPECT_EQ(BuildPreProgramBundle(folder_, flash_, 1200, bundle), PreProgramResult::NoCodeSet);
    EXPECT_TRUE(StillMarked(bundle));
}

TEST_F(PreProgramFolder, CodeSetKeysArriveInTheDeviceAsTheLibraryDecodesThem) {
    const auto& factory = testing::TheFactory();
    ASSERT_TRUE(factory.ok) << factory.error;
    fs::copy_file(ORVALINK_DEV_MODEL_DLL, folder_ / "dev_model.dll");
    auto from = factory.flash.Image();
    auto to = flash_.Image();
    ASSERT_EQ(from.size(), to.size());
    std::copy(from.begin(), from.end(), to.begin());

    // An LG TV (the TV range, template 1001).
    constexpr uint16_t kCode = 1160;
    DeviceBundle bundle;
    ASSERT_EQ(BuildPreProgramBundle(folder_, flash_, kCode, bundle), PreProgramResult::Ok);
    constexpr int kSlot = 9;
    ASSERT_TRUE(PasteDeviceIn(flash_, bundle, kSlot));
    LibraryCodeSet set;
    ASSERT_TRUE(ReadLibraryCode(flash_, kCode, set));
    int withCode = 0;
    for (int k = 0; k < kKeysPerDevice; ++k) {
        IrCodeInfo fromSet, stored;
        if (!DecodeLibraryKey(set, k, fromSet)) continue;
        ASSERT_TRUE(ReadIrCode(flash_, kSlot, k, stored)) << "key " << k;
        EXPECT_EQ(stored.data, fromSet.data) << "key " << k;
        ++withCode;
    }
    EXPECT_GT(withCode, 10);
}

#endif

}  // namespace
}  // namespace orvalink
