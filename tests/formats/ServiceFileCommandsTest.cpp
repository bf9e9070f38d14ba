#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "formats/ServiceFileCommands.h"
#include "formats/VFileCommands.h"
#include "formats/XFiles.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

fs::path TestFolder() {
    return fs::temp_directory_path() /
           ("orvalink-service-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
}

class ServiceCommands : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(dir_ / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir_ / name).string();
    }
    std::vector<uint8_t> Get(const std::string& name) {
        std::ifstream in(dir_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static std::vector<uint8_t> Module() {
        std::vector<uint8_t> mod(192 + 8, 0);
        for (int i = 0; i < 128; ++i) mod[size_t(i)] = 0xFF;
        mod[0] = 0, mod[1] = 0;
        mod[192] = 1;
        for (size_t i = 193; i < mod.size(); ++i) mod[i] = uint8_t(i);
        return mod;
    }

    fs::path dir_ = TestFolder();
    ScriptedUiServices ui_;
    FixedClock clock_{1780000123, LocalDate{2026, 6, 7}};
    Pcg32Random random_;
    TTiFlashFm image_;
    TFlashFm older_;
    VFileCommands dialogs_{ui_, clock_, random_, dir_, image_};
    ServiceFileCommands commands_{ui_, clock_, random_, dir_, dialogs_, image_, older_};
};

TEST_F(ServiceCommands, SetSModThenUnSecGivesTheModuleBackBesideIt) {
    const std::vector<uint8_t> mod = Module();
    Put("m.mod", mod);
    ui_.ChooseNext((dir_ / "m.mod").string());
    EXPECT_TRUE(commands_.SetSModClick().Ok());
    ASSERT_EQ(ui_.Dialogs().size(), 1u);  // no second dialog
    EXPECT_EQ(ui_.Dialogs()[0].filterIndex, 5);
    EXPECT_NE(ui_.Dialogs()[0].filter.find("(*.smcf)|*.smcf|"), std::string::npos);
    ASSERT_TRUE(fs::exists(dir_ / "m.smod"));
    const auto smod = Get("m.smod");
    EXPECT_EQ(std::string(smod.begin() + 10, smod.begin() + 18), "ORVALINK");

    fs::remove(dir_ / "m.mod");
    ui_.ChooseNext((dir_ / "m.smod").string());
    const ServiceOutcome unsec = commands_.UnSecClick();
    EXPECT_EQ(Get("m.mod"), mod);
    EXPECT_TRUE(unsec.Ok());
    EXPECT_TRUE(unsec.notices.empty()) << unsec.Texts()[0];
}

TEST_F(ServiceCommands, StoredKindWinsOverTheFilter) {
    Put("m.mod", Module());
    ui_.ChooseNext((dir_ / "m.mod").string());
    commands_.SetSModClick();
    // The security module renamed to look like a flash image.
    fs::rename(dir_ / "m.smod", dir_ / "looks.smcf");
    std::vector<uint8_t> data;
    int kind = kAnySmcf;
    ui_.ChooseNext((dir_ / "looks.smcf").string());
    ASSERT_TRUE(commands_.OpenAnyFile(dir_.string() + "/", data, kind).Ok());
    EXPECT_EQ(kind, kAnySmod);
    EXPECT_EQ(data, Module());

    // A broken security file is refused without a box; cancel is a failure.
    ui_.Clear();
    ui_.ChooseNext((fs::path(ORVALINK_TEST_DATA_DIR) / "service-broken" / "row-12.smod").string());
    kind = kAnySmcf;
    const ServiceOutcome broken = commands_.OpenAnyFile(dir_.string() + "/", data, kind);
    EXPECT_EQ(broken.kind, ServiceResult::Refused);
    EXPECT_TRUE(broken.notices.empty());
    ui_.CancelNextDialog();
    EXPECT_EQ(commands_.OpenAnyFile(dir_.string() + "/", data, kind).kind, ServiceResult::Cancelled);
}

TEST_F(ServiceCommands, SaveAnyFileStartsInTheKindsFolderForPathZero) {
    const std::vector<uint8_t> bytes{1, 2, 3};
    ui_.ChooseNext((dir_ / "x.mcf").string());
    ASSERT_TRUE(commands_.SaveAnyFile("0", bytes, kAnyMcf, true).Ok());
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    EXPECT_EQ(ui_.Dialogs()[0].initialFolder, dir_.string() + "/mcf/");
    EXPECT_EQ(ui_.Dialogs()[0].proposedName, "");
    EXPECT_EQ(ui_.Dialogs()[0].filterIndex, 4);
    EXPECT_TRUE(ui_.Dialogs()[0].confirmOverwrite);
    EXPECT_EQ(Get("x.mcf"), bytes);
    // Without asking the proposed name is written at once.
    const ServiceOutcome saved = commands_.SaveAnyFile((dir_ / "y.ssdc").string(), bytes, kAnySsdc, false);
    ASSERT_TRUE(saved.Ok());
    EXPECT_EQ(saved.path, (dir_ / "y.ssdc").string());
    EXPECT_EQ(ui_.Dialogs().size(), 1u);
}

TEST_F(ServiceCommands, MakeXmcuFromThe5100FamilyWritesAll65536Bytes) {
    std::vector<uint8_t> mcu(70000 - 4000);
    for (size_t i = 0; i < mcu.size(); ++i) mcu[i] = uint8_t(i * 3);
    Put("fw.bin", mcu);
    ui_.ChooseNext((dir_ / "fw.bin").string());
    ASSERT_EQ(commands_.LoadBinClick().Texts().back(), "Load Bin File Ok !");

    // QM-5100 is row 2 of the MCU model list: X model 2.
    const std::string expected = (dir_ / "QM-5100_v2_01__0607.xmcu").string();
    ui_.ChooseNext(expected);
    const ServiceOutcome made = commands_.MakeXmcuClick("QM-5100", 2, "2.01");
    ASSERT_EQ(ui_.Dialogs().size(), 2u);
    EXPECT_EQ(ui_.Dialogs()[1].proposedName, expected);
    EXPECT_EQ(ui_.Dialogs()[1].filterIndex, 2);
    EXPECT_EQ(made.Texts(), std::vector<std::string>{"Make XFile Ok ! \n  Path: " + expected});

    std::vector<uint8_t> back;
    XFileHeader header;
    uint8_t kind = 0;
    ASSERT_TRUE(ReadXFile(expected, back, header, kind).Ok());
    EXPECT_EQ(back, std::vector<uint8_t>(mcu.begin(), mcu.begin() + 65536));
    EXPECT_EQ(kind, kXmcu);
    EXPECT_EQ(header.versionWord, 0x0201);
    EXPECT_EQ(header.ModelText(), "Serra");

    // Rows past the X model table make nothing (QM-4600 is row 24).
    ui_.ChooseNext((dir_ / "never.xmcu").string());
    const std::vector<std::string> texts = commands_.MakeXmcuClick("QM-4600", 24, "2.01").Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Save X Files Error ! \n" + dir_.string() + "/QM-4600_v2_01__0607.xmcu");
    EXPECT_EQ(texts[1].rfind("Make XFile Error ! \n  Path: ", 0), 0u);
    EXPECT_FALSE(fs::exists(dir_ / "never.xmcu"));

    // Without a model the list knows, nothing is made.
    EXPECT_EQ(commands_.MakeXmcuClick("QM-9999", 0, "2.01").Texts(),
              std::vector<std::string>{"Please Select Model first !"});
}

TEST_F(ServiceCommands, WriteStampsTheImageAndSavesItToTheLoadedFile) {
    std::vector<uint8_t> file(image_.ImageSize(), 0x00);
    Put("flash.mcf", file);
    ui_.ChooseNext((dir_ / "flash.mcf").string());
    ASSERT_EQ(commands_.LoadMcfClick("QM-5100").Texts().back(), "Load MCF File Ok !");

    EXPECT_EQ(commands_.WriteClick("QM-5100", "12.07", "2.03").Texts().back(),
              "Save Ti 5k Mcf Files Ok! \n Path: " + (dir_ / "flash.mcf").string());
    const auto saved = Get("flash.mcf");
    ASSERT_EQ(saved.size(), file.size());
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 27224, saved.begin() + 27228), (std::vector<uint8_t>{12, 7, 2, 3}));
    EXPECT_EQ(std::vector<uint8_t>(saved.begin() + 29336, saved.begin() + 29340), (std::vector<uint8_t>{12, 7, 2, 3}));
    EXPECT_EQ(commands_.FlashBuffer()[29339], 3);
    EXPECT_TRUE(fs::exists(dir_ / "flash.BAK"));

    // A 5100-family flash is too long for an X file: refused before any dialog.
    const size_t dialogs = ui_.Dialogs().size();
    const ServiceOutcome tooLong = commands_.MakeXmcfClick("QM-5100", 2, "1.00");
    EXPECT_EQ(ui_.Dialogs().size(), dialogs);
    EXPECT_EQ(tooLong.kind, ServiceResult::TooLong);
    EXPECT_EQ(tooLong.Texts().back().rfind("Make XFile Error ! \n  Path: ", 0), 0u);

    // An unparsable version ends the command silently.
    EXPECT_TRUE(commands_.WriteClick("QM-5100", "12", "2.03").notices.empty());
}

TEST_F(ServiceCommands, SBinaryPairsCheckWhatTheyNeedAndTheLength) {
    EXPECT_EQ(commands_.MakeVcSBinClick(false, "7").Texts().back(), "Please load *.BIN first !");

    ui_.ChooseNext((fs::path(ORVALINK_TEST_DATA_DIR) / "service-broken" / "data-cut-short.sbin").string());
    EXPECT_EQ(commands_.LoadVcSBinClick(false).Texts().back().rfind("File corruption ! \n\n Path: ", 0), 0u);
    EXPECT_FALSE(commands_.McuLoaded());

    Put("fw.bin", {9, 8, 7});
    ui_.ChooseNext((dir_ / "fw.bin").string());
    commands_.LoadBinClick();
    ui_.ChooseNext((dir_ / "made.sbin").string());
    EXPECT_EQ(commands_.MakeVcSBinClick(false, "42").Texts().back(), "Save SBin File Ok !");
    EXPECT_EQ(Get("made.sbin").size(), 14u + 3u);

    ui_.ChooseNext((dir_ / "made.sbin").string());
    EXPECT_EQ(commands_.LoadVcSBinClick(false).Texts().back(), "Load SBin File Ok !");
    EXPECT_EQ(commands_.LoadedSBin().vcNumber, 42);
    EXPECT_EQ(SBinDateText(commands_.LoadedSBin().date), "2026 / 6 / 7");

    // An MCU binary of 65536 bytes makes no S binary: its loader takes
    // 65536 bytes with the header. No dialog is shown, nothing written.
    Put("full.bin", std::vector<uint8_t>(65536, 0x5A));
    ui_.ChooseNext((dir_ / "full.bin").string());
    commands_.LoadBinClick();
    const size_t dialogs = ui_.Dialogs().size();
    ui_.ChooseNext((dir_ / "full.sbin").string());
    EXPECT_EQ(commands_.MakeVcSBinClick(false, "42").Texts().back().rfind("The data are too long for an S binary", 0),
              0u);
    EXPECT_EQ(ui_.Dialogs().size(), dialogs);
    EXPECT_FALSE(fs::exists(dir_ / "full.sbin"));
}

// Every box a command ends with is in its outcome, in order, with the
// system's text, caption, icon and buttons; the kind tells what happened.
TEST_F(ServiceCommands, OutcomesCarryTheBoxesTheWindowShows) {
    const std::string missing = (dir_ / "none.bin").string();
    const std::string folder = (dir_ / "a-folder.bin").string();
    fs::create_directories(folder);
    Put("fw.bin", {1, 2, 3});
    struct Box {
        std::string text;
        std::string caption;
        MsgIcon icon;
        MsgButtons buttons;
    };
    const Box selectModel{"Please Select Model first !", "", MsgIcon::Information, MsgButtons::Ok};
    struct Case {
        const char* name;
        std::function<ServiceOutcome()> run;
        ServiceResult kind;
        std::vector<Box> boxes;
    };
    const Case cases[] = {
        {"load mcf without a model", [&] { return commands_.LoadMcfClick("QM-9999"); }, ServiceResult::NoModel,
         {selectModel}},
        {"write without a model", [&] { return commands_.WriteClick("", "1.00", "1.00"); }, ServiceResult::NoModel,
         {selectModel}},
        {"s binary without a bin", [&] { return commands_.MakeVcSBinClick(false, "1"); }, ServiceResult::NotReady,
         {{"Please load *.BIN first !", "", MsgIcon::Error, MsgButtons::Ok}}},
        {"load bin cancelled",
         [&] {
             ui_.CancelNextDialog();
             return commands_.LoadBinClick();
         },
         ServiceResult::Cancelled, {{"Load Bin File Error !", "", MsgIcon::Information, MsgButtons::Ok}}},
        {"load bin of a missing file",
         [&] {
             ui_.ChooseNext(missing);
             return commands_.LoadBinClick();
         },
         ServiceResult::ReadFailed,
         {{"Load Files Error ! \n " + missing, "", MsgIcon::Information, MsgButtons::Ok},
          {"Load Bin File Error !", "", MsgIcon::Information, MsgButtons::Ok}}},
        {"load mcf of a folder",
         [&] {
             ui_.ChooseNext(folder);
             return commands_.LoadMcfClick("QM-1400");
         },
         ServiceResult::ReadFailed,
         {{"Can't Open the Files.", "File Error", MsgIcon::Error, MsgButtons::OkCancel},
          {"Load Files Error ! \n " + folder, "", MsgIcon::Information, MsgButtons::Ok},
          {"Load MCF File Error !", "", MsgIcon::Information, MsgButtons::Ok}}},
        {"bad vc number",
         [&] {
             ui_.ChooseNext((dir_ / "fw.bin").string());
             commands_.LoadBinClick();
             return commands_.MakeVcSBinClick(false, "70000");
         },
         ServiceResult::BadVcNumber,
         {{"The VC number is not a number from 0 to 65535.\nNothing was made.", "", MsgIcon::Error, MsgButtons::Ok}}},
        {"bad x version",
         [&] {
             ui_.ChooseNext((dir_ / "fw.bin").string());
             commands_.LoadBinClick();
             return commands_.MakeXmcuClick("QM-5100", 2, "2");
         },
         ServiceResult::BadVersion,
         {{"The version is not a number such as 1.05.\nNothing was made.", "", MsgIcon::Error, MsgButtons::Ok}}},
        {"version double click", [&] { return commands_.VersionDoubleClick("2.17"); }, ServiceResult::Ok,
         {{"Ver Hi = [2]    Lo = [17]", "", MsgIcon::Information, MsgButtons::Ok}}},
        {"unreadable version double click", [&] { return commands_.VersionDoubleClick("x"); },
         ServiceResult::Refused, {}},
        {"x file with nothing loaded", [&] { return commands_.MakeXmcfClick("QM-5100", 2, "1.00"); },
         ServiceResult::NotReady, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ServiceOutcome out = c.run();
        EXPECT_EQ(out.kind, c.kind);
        ASSERT_EQ(out.notices.size(), c.boxes.size()) << ::testing::PrintToString(out.Texts());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            EXPECT_EQ(out.notices[i].text, c.boxes[i].text);
            EXPECT_EQ(out.notices[i].caption, c.boxes[i].caption);
            EXPECT_EQ(out.notices[i].icon, c.boxes[i].icon);
            EXPECT_EQ(out.notices[i].buttons, c.boxes[i].buttons);
        }
    }
    // The commands show nothing themselves.
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(ServiceCommands, KdtToTxtWritesDeviceTextInTheProgramFolder) {
    std::fill_n(image_.Image().begin(), 16 * 64, uint8_t(0xFF));
    image_.Image()[64 * 15] = 0x2A;
    const ServiceOutcome written = commands_.KdtToTxtClick();
    const auto text = Get("device.txt");
    const std::string s(text.begin(), text.end());
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 16);
    EXPECT_EQ(s.substr(s.size() - 26), "{ 0x00,0,0x11, { 0x2A }},\n");
    EXPECT_TRUE(written.Ok());
    EXPECT_TRUE(written.notices.empty());
}

}  // namespace
}  // namespace orvalink
