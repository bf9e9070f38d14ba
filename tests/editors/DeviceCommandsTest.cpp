// The tree commands on whole devices: filling a device from a pre-program
// code, and which tree entries may be deleted with their device.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "editors/core/DeviceCommands.h"
#include "image/KeyRecords.h"
#include "support/ImageHelpers.h"
#if defined(ORVALINK_FIXED_FONT_DIR) && defined(ORVALINK_DEV_MODEL_DLL)
#include "tests/tools/FactoryTestSupport.h"
#define ORVALINK_HAVE_FACTORY_LIBRARY 1
#endif

namespace orvalink {
namespace {

namespace fs = std::filesystem;
using CodeFill = LayoutHost::CodeFill;
using testing::DeviceKey;
using testing::SoftKey;

enum class Library { None, NotALibrary, WithoutTemplate, Factory };

struct FillCase {
    const char* name;
    int device;
    int codeNumber;
    Library library;
    CodeFill expected;
};

void PrintTo(const FillCase& c, std::ostream* os) { *os << c.name; }

class DeviceFromCode : public ::testing::TestWithParam<FillCase> {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("orvalink-devicecommands-" + std::string(GetParam().name));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    fs::path folder_;
};

// A device is replaced only when the template and code set could be read:
// otherwise (and for Home, Macro or a code the picker never gives) the image
// is untouched and the editor is not cancelled.
TEST_P(DeviceFromCode, ReplacesTheDeviceTreeOrChangesNothing) {
    const FillCase& c = GetParam();
    TTiFlashFm flash;
    switch (c.library) {
        case Library::None: break;
        case Library::NotALibrary:
            std::ofstream(folder_ / "dev_model.dll", std::ios::binary) << "not a resource library";
            break;
        case Library::WithoutTemplate:
            fs::copy_file(fs::path(ORVALINK_TEST_DATA_DIR) / "resource-dll" / "sample-pe32plus.dll",
                          folder_ / "dev_model.dll");
            break;
        case Library::Factory: {
#if defined(ORVALINK_HAVE_FACTORY_LIBRARY)
            const auto& factory = testing::TheFactory();
            ASSERT_TRUE(factory.ok) << factory.error;
            fs::copy_file(ORVALINK_DEV_MODEL_DLL, folder_ / "dev_model.dll");
            std::copy(factory.flash.Image().begin(), factory.flash.Image().end(), flash.Image().begin());
#else
            GTEST_SKIP() << "no factory library in this build";
#endif
            break;
        }
    }
    // The device (or Home or Macro) links a device below it that holds a key.
    const int owner = std::clamp(c.device, 0, kMacroSlot);
    ASSERT_TRUE(WriteKey(flash, owner, 40, DeviceKey("Below", 30)));
    ASSERT_TRUE(WriteKey(flash, 30, 6, SoftKey("Old")));
    const std::vector<uint8_t> before(flash.Image().begin(), flash.Image().end());

    int cancelled = 0;
    EXPECT_EQ(ReplaceDeviceFromCode(folder_, flash, c.device, c.codeNumber, [&] { ++cancelled; }), c.expected);
    KeyInfo old;
    if (c.expected == CodeFill::Filled) {
        EXPECT_EQ(cancelled, 1);
        EXPECT_FALSE(ReadKey(flash, 30, 6, old)) << "the device below is deleted with it";
        EXPECT_FALSE(std::equal(before.begin(), before.end(), flash.Image().begin(), flash.Image().end()));
    } else {
        EXPECT_EQ(cancelled, 0);
        EXPECT_TRUE(std::equal(before.begin(), before.end(), flash.Image().begin(), flash.Image().end()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceFromCode,
    ::testing::Values(FillCase{"Filled", 9, 1160, Library::Factory, CodeFill::Filled},
                      FillCase{"LastDevice", 64, 1160, Library::Factory, CodeFill::Filled},
                      FillCase{"HomeIsNoDevice", 0, 1160, Library::Factory, CodeFill::Failed},
                      FillCase{"MacroIsNoDevice", 65, 1160, Library::Factory, CodeFill::Failed},
                      FillCase{"CodeBeyondThePicker", 9, 4000, Library::Factory, CodeFill::Failed},
                      FillCase{"NoLibrary", 9, 1160, Library::None, CodeFill::NoLibrary},
                      FillCase{"FileThatIsNoLibrary", 9, 1160, Library::NotALibrary, CodeFill::NoLibrary},
                      FillCase{"LibraryWithoutTemplate", 9, 1160, Library::WithoutTemplate, CodeFill::Failed}),
    [](const ::testing::TestParamInfo<FillCase>& info) { return std::string(info.param.name); });

struct DeleteCase {
    const char* name;
    int owner;
    int keyNumber;
    int link;
    bool deletable;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.name; }

class DeviceEntryDeletion : public ::testing::TestWithParam<DeleteCase> {};

// Only soft keys 6..63 of Home or a device that link a device 1..64 are
// deleted, and then with the device below them.
TEST_P(DeviceEntryDeletion, SoftDeviceKeysOfHomeOrADeviceOnly) {
    const DeleteCase& c = GetParam();
    KeyInfo entry = DeviceKey("Dev", uint8_t(c.link));
    entry.ownerDevice = uint8_t(c.owner);
    entry.keyNumber = uint8_t(c.keyNumber);
    EXPECT_EQ(IsDeletableDeviceEntry(entry), c.deletable);

    TTiFlashFm flash;
    const bool written = c.keyNumber < kKeysPerDevice && WriteKey(flash, c.owner, c.keyNumber, entry);
    const bool below = IsDeviceNumber(c.link) && WriteKey(flash, c.link, 6, SoftKey("Below"));
    EXPECT_EQ(DeleteDeviceEntry(flash, entry), c.deletable);
    KeyInfo read;
    if (written) {
        EXPECT_EQ(ReadKey(flash, c.owner, c.keyNumber, read), !c.deletable);
    }
    if (below) {
        EXPECT_EQ(ReadKey(flash, c.link, 6, read), !c.deletable);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DeviceEntryDeletion,
    ::testing::Values(DeleteCase{"FirstSoftKey", 0, 6, 1, true}, DeleteCase{"LastSoftKey", 0, 63, 64, true},
                      DeleteCase{"BeyondTheLastKey", 0, 64, 3, false}, DeleteCase{"HardKey", 0, 5, 3, false},
                      DeleteCase{"KeyOfTheLastDevice", 64, 10, 3, true},
                      DeleteCase{"KeyOfMacro", kMacroSlot, 10, 3, false},
                      DeleteCase{"LinksHome", 0, 10, 0, false}, DeleteCase{"LinksMacro", 0, 10, kMacroSlot, false}),
    [](const ::testing::TestParamInfo<DeleteCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalink
