#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Flashut.h"
#include "formats/VFileTestSupport.h"
#include "image/Tiflashut.h"
#include "platform/doubles/ScriptedUiServices.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

class VFileCommandsTest : public ::testing::Test {
protected:
    VFileCommandsTest() : commands_(ui_, clock_, random_, dir_.path(), flash_) {
        folder_ = dir_.path().string() + "/";
    }

    // A V file of the given model code at `name` in the program folder.
    std::string PutFile(const std::string& name, uint16_t modelCode, std::span<const uint8_t> payload) {
        VFileHeader header = Qm5100Header();
        header.modelCode = modelCode;
        const auto path = dir_ / name;
        WriteBytes(path, BuildFile(payload, header));
        return path.string();
    }

    // The window's side of an outcome: its text, if any, as a message box.
    bool Shown(const DocumentOutcome& outcome, std::string* path = nullptr) {
        if (!outcome.message.empty()) ui_.Inform(outcome.message, outcome.icon);
        if (path) *path = outcome.path;
        return outcome.Ok();
    }

    void ExpectOneMessage(const std::string& text, MsgIcon icon) {
        ASSERT_EQ(ui_.Messages().size(), 1u);
        EXPECT_EQ(ui_.Messages()[0].text, text);
        EXPECT_EQ(ui_.Messages()[0].icon, icon);
        EXPECT_EQ(ui_.Messages()[0].buttons, MsgButtons::Ok);
    }

    TempDir dir_;
    std::string folder_;
    ScriptedUiServices ui_;
    FixedClock clock_{1780000000, {2026, 6, 7}};
    Pcg32Random random_;
    TTiFlashFm flash_;
    VFileCommands commands_;
};

TEST_F(VFileCommandsTest, DefaultPathsLieInTheProgramFolder) {
    EXPECT_EQ(commands_.ProgramFolderText(), folder_);
    EXPECT_EQ(commands_.DefaultDocumentPath(), folder_ + "mcf/noname.vmcf");
    EXPECT_EQ(commands_.BlankDocumentPath(), folder_ + "bk/default_.vmcf");
    EXPECT_EQ(commands_.ModuleFolder(), folder_ + "tmod/");
    EXPECT_EQ(commands_.DefaultModulePath(), folder_ + "tmod/noname.vmod");
    EXPECT_EQ(commands_.ProposedDocumentName(), "noname_20260607");
    // A folder given with its separator gets no second one.
    VFileCommands withSlash(ui_, clock_, random_, dir_.path() / "", flash_);
    EXPECT_EQ(withSlash.ProgramFolderText(), folder_);
}

// "Mcf" and "mcf" name one folder: whichever spelling exists is used, and
// "mcf" is made when neither does.
TEST_F(VFileCommandsTest, TheDocumentFolderIsFoundInAnyCase) {
    EXPECT_EQ(commands_.DocumentFolder(), folder_ + "mcf/");
    EXPECT_TRUE(std::filesystem::is_directory(dir_ / "mcf"));

    TempDir upper;
    std::filesystem::create_directory(upper / "Mcf");
    VFileCommands inUpper(ui_, clock_, random_, upper.path(), flash_);
    EXPECT_EQ(inUpper.DocumentFolder(), upper.path().string() + "/Mcf/");
    EXPECT_EQ(inUpper.DefaultDocumentPath(), upper.path().string() + "/Mcf/noname.vmcf");
    EXPECT_FALSE(std::filesystem::exists(upper / "mcf"));

    // A plain file of that name is not the folder.
    TempDir withFile;
    WriteBytes(withFile / "MCF", std::vector<uint8_t>{1});
    VFileCommands besideFile(ui_, clock_, random_, withFile.path(), flash_);
    EXPECT_EQ(besideFile.DocumentFolder(), withFile.path().string() + "/mcf/");
    EXPECT_TRUE(std::filesystem::is_directory(withFile / "mcf"));
}

TEST_F(VFileCommandsTest, FileKindTablesHoldTheFilters) {
    ASSERT_EQ(OpenFileKinds().size(), 16u);
    ASSERT_EQ(SaveFileKinds().size(), 15u);
    EXPECT_EQ(OpenFileKind(FileKind::vmcf)->filter, "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*");
    EXPECT_EQ(OpenFileKind(FileKind::sbin)->filter, "S Binary  Files (*.sbin)|*.sbin|All Files (*.*)|*.*");
    EXPECT_EQ(OpenFileKind(FileKind::smod)->filter, "Security Moduler Files (*.smod)|*.smod|All Files (*.*)|*.*");
    EXPECT_EQ(OpenFileKind(FileKind::ircc)->filter, "General Moduler Files (*.ircc)|*.ircc|All Files (*.*)|*.*");
    EXPECT_EQ(OpenFileKind(FileKind::txt)->filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
    EXPECT_EQ(SaveFileKind(FileKind::txt), nullptr);
    const char* order[] = {"smcf", "smod", "ssdc", "mcf", "mod", "sdc", "xirc", "ircc",
                           "txt", "xmcf", "xmcu", "vmcf", "vmcu", "vmod", "virc", "sbin"};
    size_t s = 0;
    for (size_t i = 0; i < 16; ++i) {
        const FileKindInfo& k = OpenFileKinds()[i];
        EXPECT_EQ(k.extension, order[i]);
        // Each filter names its own extension twice: "(*.ext)|*.ext|".
        const std::string ext(k.extension);
        EXPECT_NE(std::string(k.filter).find("(*." + ext + ")|*." + ext + "|All Files (*.*)|*.*"), std::string::npos)
            << ext;
        if (k.kind == FileKind::txt) continue;
        EXPECT_EQ(SaveFileKinds()[s].kind, k.kind);
        EXPECT_EQ(SaveFileKinds()[s].filter, k.filter);
        ++s;
    }
}

TEST_F(VFileCommandsTest, OpenDialogFolderAndProposedName) {
    struct Case { std::string initial; std::string proposed; std::string folder; std::string shownName; };
    const std::vector<Case> cases = {
        {"/data/mcf/", "x.vmcf", "/data/mcf/", ""},               // ends with a separator: folder only
        {"/data/mcf/doc.vmcf", "x.vmcf", "/data/mcf/", "x.vmcf"},  // up to the last separator
        {"doc.vmcf", "x.vmcf", "", "x.vmcf"},                      // no separator: no folder
        {"/doc.vmcf", "", "", ""},                                 // only a leading one: no folder either
        {"", "", "", ""},
    };
    for (const Case& c : cases) {
        ui_.Clear();
        ui_.ChooseNext(folder_ + "picked.vmcf");
        std::string chosen;
        ASSERT_TRUE(commands_.PickOpenFile(c.initial, c.proposed, FileKind::vmcf, chosen)) << c.initial;
        EXPECT_EQ(chosen, folder_ + "picked.vmcf");
        ASSERT_EQ(ui_.Dialogs().size(), 1u);
        const FileDialogRequest& d = ui_.Dialogs()[0];
        EXPECT_EQ(d.mode, FileDialogRequest::Mode::Open);
        EXPECT_EQ(d.initialFolder, c.folder) << c.initial;
        EXPECT_EQ(d.proposedName, c.shownName) << c.initial;
        EXPECT_EQ(d.filter, "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*");
        EXPECT_EQ(d.filterIndex, 1);
        EXPECT_EQ(d.defaultExtension, "vmcf");
        EXPECT_TRUE(d.mustExist);
        EXPECT_TRUE(d.multiSelect);
        EXPECT_FALSE(d.confirmOverwrite);
    }
}

TEST_F(VFileCommandsTest, SaveDialogKeepsTheProposedNameAndAsksBeforeOverwriting) {
    ui_.ChooseNext(folder_ + "a.vmod");
    std::string chosen;
    ASSERT_TRUE(commands_.PickSaveFile("/data/tmod/", "noname.vmod", FileKind::vmod, chosen));
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    const FileDialogRequest& d = ui_.Dialogs()[0];
    EXPECT_EQ(d.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(d.initialFolder, "/data/tmod/");
    EXPECT_EQ(d.proposedName, "noname.vmod");
    EXPECT_EQ(d.filter, "V Moduler Files (*.vmod)|*.vmod|All Files (*.*)|*.*");
    EXPECT_EQ(d.defaultExtension, "vmod");
    EXPECT_TRUE(d.confirmOverwrite);
    EXPECT_FALSE(d.mustExist);
}

TEST_F(VFileCommandsTest, DialogsFailOnCancelEmptyNameOrUnknownKind) {
    std::string chosen = "stale";
    ui_.CancelNextDialog();
    EXPECT_FALSE(commands_.PickOpenFile(folder_, "", FileKind::vmcf, chosen));
    EXPECT_EQ(chosen, "");
    chosen = "stale";
    ui_.ChooseNext(std::string());
    EXPECT_FALSE(commands_.PickSaveFile(folder_, "n", FileKind::vmcf, chosen));
    EXPECT_EQ(chosen, "");
    EXPECT_EQ(ui_.Dialogs().size(), 2u);

    // Kinds beyond the tables fail before any dialog; the save table has no txt.
    ui_.Clear();
    EXPECT_FALSE(commands_.PickOpenFile(folder_, "", static_cast<FileKind>(16), chosen));
    EXPECT_FALSE(commands_.PickSaveFile(folder_, "", FileKind::txt, chosen));
    EXPECT_FALSE(commands_.PickSaveFile(folder_, "", static_cast<FileKind>(-1), chosen));
    EXPECT_TRUE(ui_.Dialogs().empty());
    ui_.ChooseNext(folder_ + "notes.txt");
    EXPECT_TRUE(commands_.PickOpenFile(folder_, "", FileKind::txt, chosen));
}

TEST_F(VFileCommandsTest, OpenAskingStartsAtTheProgramFolderAndLoads) {
    const auto payload = ImageLikePayload(5000, 1);
    const std::string path = PutFile("doc.vmcf", 2000, payload);
    ui_.ChooseNext(path);
    std::vector<uint8_t> got;
    VFileHeader header;
    std::string opened;
    ASSERT_TRUE(Shown(commands_.OpenVFile("", got, header, FileKind::vmcf, true), &opened));
    EXPECT_EQ(got, payload);
    EXPECT_EQ(opened, path);
    EXPECT_EQ(header.modelCode, 2000);
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    EXPECT_EQ(ui_.Dialogs()[0].initialFolder, folder_);
    EXPECT_EQ(ui_.Dialogs()[0].proposedName, "");
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(VFileCommandsTest, OpenAskingInTheModuleFolderUsesTheVmodDialog) {
    ui_.CancelNextDialog();
    std::vector<uint8_t> got = {3};
    VFileHeader header;
    EXPECT_FALSE(Shown(commands_.OpenVFile(commands_.ModuleFolder(), got, header, FileKind::vmod, true)));
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    EXPECT_EQ(ui_.Dialogs()[0].initialFolder, folder_ + "tmod/");
    EXPECT_EQ(ui_.Dialogs()[0].defaultExtension, "vmod");
    // Cancel: failure, no message, nothing changed.
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_EQ(got, std::vector<uint8_t>{3});
}

TEST_F(VFileCommandsTest, OpenWithoutAskingReadsThePathAndReportsErrors) {
    const auto payload = ImageLikePayload(100, 2);
    const std::string path = PutFile("doc.vmcf", 1000, payload);
    std::vector<uint8_t> got;
    VFileHeader header;
    ASSERT_TRUE(Shown(commands_.OpenVFile(path, got, header, FileKind::vmcf, false)));
    EXPECT_EQ(got, payload);
    EXPECT_TRUE(ui_.Dialogs().empty());

    auto broken = ReadBytes(path);
    broken[200] ^= 1;
    WriteBytes(dir_ / "broken.vmcf", broken);
    const std::string brokenPath = (dir_ / "broken.vmcf").string();
    std::vector<uint8_t> untouched = {9};
    EXPECT_FALSE(Shown(commands_.OpenVFile(brokenPath, untouched, header, FileKind::vmcf, false)));
    ExpectOneMessage("Load V File error ! \n\nPath: " + brokenPath, MsgIcon::Error);
    EXPECT_EQ(untouched, std::vector<uint8_t>{9});

    ui_.Clear();
    EXPECT_FALSE(Shown(commands_.OpenVFile(folder_ + "missing.vmcf", untouched, header, FileKind::vmcf, false)));
    ExpectOneMessage("Load V File error ! \n\nPath: " + folder_ + "missing.vmcf", MsgIcon::Error);
}

TEST_F(VFileCommandsTest, OpenRefusesOlderModelsSilently) {
    const auto payload = ImageLikePayload(100, 3);
    const std::string older = PutFile("older.vmcf", 999, payload);
    // The file itself is sound...
    std::vector<uint8_t> direct;
    VFileHeader header;
    ASSERT_TRUE(LoadVFile(older, direct, header));
    EXPECT_EQ(header.modelCode, 999);
    // ...but no document of the main window.
    std::vector<uint8_t> got = {4};
    header = VFileHeader{};
    EXPECT_FALSE(Shown(commands_.OpenVFile(older, got, header, FileKind::vmcf, false)));
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_EQ(got, std::vector<uint8_t>{4});
    EXPECT_EQ(header.modelCode, 0);

    const std::string first2300 = PutFile("m1000.vmcf", 1000, payload);
    EXPECT_TRUE(Shown(commands_.OpenVFile(first2300, got, header, FileKind::vmcf, false)));
}

class SaveImageTest : public VFileCommandsTest {
protected:
    void SetUp() override {
        auto image = flash_.Image();
        const auto content = ImageLikePayload(image.size(), 40);
        std::copy(content.begin(), content.end(), image.begin());
        image[27224] = 2;  // major
        image[27225] = 7;  // minor
        image[15] = 1;
        image[14] = 9;
    }
    VFileHeader Load(const std::string& path, std::vector<uint8_t>& payload) {
        VFileHeader h;
        EXPECT_TRUE(LoadVFile(path, payload, h)) << path;
        return h;
    }
};

TEST_F(SaveImageTest, AskingShowsTheDialogAndWritesAQm5100Document) {
    ui_.ChooseNext(folder_ + "backup.dat");
    std::string saved;
    ASSERT_TRUE(Shown(commands_.SaveImageVFile("", 2000, true), &saved));
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    const FileDialogRequest& d = ui_.Dialogs()[0];
    EXPECT_EQ(d.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(d.initialFolder, folder_);
    EXPECT_EQ(d.proposedName, "noname_20260607");
    EXPECT_EQ(d.filter, "V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*");
    EXPECT_EQ(d.defaultExtension, "vmcf");
    EXPECT_TRUE(d.confirmOverwrite);

    // The chosen name's extension becomes .vmcf.
    EXPECT_EQ(saved, folder_ + "backup.vmcf");
    EXPECT_FALSE(fs::exists(dir_ / "backup.dat"));
    std::vector<uint8_t> payload;
    const VFileHeader h = Load(saved, payload);
    EXPECT_EQ(h.kindCode, 100);
    EXPECT_EQ(h.modelCode, 2000);
    EXPECT_EQ(FieldText(h.modelName), "QM-5100");
    EXPECT_EQ(EntryNameOf(h), "QM-5100_");
    EXPECT_EQ(h.versionWord, 0x0207);
    ASSERT_EQ(payload.size(), kDocumentImageBytes);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), flash_.Image().begin()));
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(SaveImageTest, WithoutAskingAnExistingFileIsReplacedSilently) {
    const std::string path = folder_ + "doc.vmcf";
    WriteBytes(path, std::vector<uint8_t>{1, 2, 3});
    ASSERT_TRUE(Shown(commands_.SaveImageVFile(path, 2000, false)));
    EXPECT_TRUE(ui_.Dialogs().empty());
    std::vector<uint8_t> payload;
    Load(path, payload);
    EXPECT_EQ(payload.size(), kDocumentImageBytes);
    EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"doc.vmcf"});
}

TEST_F(SaveImageTest, WithoutAskingAMissingFileStillGetsTheDialog) {
    ui_.CancelNextDialog();
    EXPECT_FALSE(Shown(commands_.SaveImageVFile(folder_ + "mcf/noname.vmcf", 2000, false)));
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    EXPECT_EQ(ui_.Dialogs()[0].initialFolder, folder_);
    EXPECT_EQ(ui_.Dialogs()[0].proposedName, "noname_20260607");
    // Cancelled: nothing written, no message.
    EXPECT_TRUE(dir_.Entries().empty());
    EXPECT_TRUE(ui_.Messages().empty());
}

TEST_F(SaveImageTest, The2300RangeReadsTheVersionAtOffsets15And14) {
    ui_.ChooseNext(folder_ + "b2300");
    std::string saved;
    ASSERT_TRUE(Shown(commands_.SaveImageVFile("", 1000, true), &saved));
    EXPECT_EQ(saved, folder_ + "b2300.vmcf");
    std::vector<uint8_t> payload;
    const VFileHeader h = Load(saved, payload);
    EXPECT_EQ(h.versionWord, 0x0109);
    EXPECT_EQ(h.modelCode, 2000);  // written as QM-5100 whatever the caller's code
}

TEST_F(SaveImageTest, NoImageMeansFlashNotReady) {
    flash_.Release();
    EXPECT_FALSE(Shown(commands_.SaveImageVFile("", 2000, true)));
    ExpectOneMessage("Ti 5k Flash not ready !", MsgIcon::Error);
    ui_.Clear();
    EXPECT_FALSE(Shown(commands_.SaveImageVFile("", 1199, true)));
    ExpectOneMessage("Ti 4k Flash not ready !", MsgIcon::Error);
    EXPECT_TRUE(ui_.Dialogs().empty());
    EXPECT_TRUE(dir_.Entries().empty());

    // A 2300 image is too small for a document.
    ui_.Clear();
    ASSERT_TRUE(flash_.SelectModel(kSelector2300));
    EXPECT_FALSE(Shown(commands_.SaveImageVFile("", 2000, true)));
    ExpectOneMessage("Ti 5k Flash not ready !", MsgIcon::Error);
    EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(SaveImageTest, OlderModelCodesSaveNothing) {
    EXPECT_FALSE(Shown(commands_.SaveImageVFile("", 999, true)));
    EXPECT_TRUE(ui_.Dialogs().empty());
    EXPECT_TRUE(dir_.Entries().empty());
}

TEST_F(VFileCommandsTest, ModuleSaveAlwaysAsksAndGivesTheKindsExtension) {
    const auto bundle = ImageLikePayload(1234, 6);
    ui_.ChooseNext(folder_ + "tv.bin");
    std::string saved;
    ASSERT_TRUE(Shown(commands_.SaveModuleVFile(commands_.DefaultModulePath(), bundle, kKindVmod, 2000), &saved));
    ASSERT_EQ(ui_.Dialogs().size(), 1u);
    const FileDialogRequest& d = ui_.Dialogs()[0];
    EXPECT_EQ(d.mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(d.initialFolder, folder_);
    EXPECT_EQ(d.proposedName, folder_ + "tmod/noname.vmod");
    EXPECT_EQ(d.filter, "V Moduler Files (*.vmod)|*.vmod|All Files (*.*)|*.*");
    EXPECT_EQ(d.defaultExtension, "vmod");

    EXPECT_EQ(saved, folder_ + "tv.vmod");
    std::vector<uint8_t> payload;
    VFileHeader h;
    ASSERT_TRUE(LoadVFile(saved, payload, h));
    EXPECT_EQ(payload, bundle);
    EXPECT_EQ(h.kindCode, 102);
    EXPECT_EQ(h.modelCode, 2000);
    EXPECT_EQ(h.versionWord, 0);
    EXPECT_EQ(EntryNameOf(h), "QM-5100_");

    // Another kind keeps the dialog of model files but its own extension.
    ui_.ChooseNext(folder_ + "fw.vmod");
    ASSERT_TRUE(Shown(commands_.SaveModuleVFile("", bundle, kKindVmcu, 1085), &saved));
    EXPECT_EQ(saved, folder_ + "fw.vmcu");
    ASSERT_TRUE(LoadVFile(saved, payload, h));
    EXPECT_EQ(EntryNameOf(h), "PRM_");
}

TEST_F(VFileCommandsTest, ModuleSaveCancelOrUnknownModelWritesNothing) {
    const std::vector<uint8_t> bundle(50, 7);
    ui_.CancelNextDialog();
    EXPECT_FALSE(Shown(commands_.SaveModuleVFile(commands_.DefaultModulePath(), bundle, kKindVmod, 2000)));
    EXPECT_TRUE(ui_.Messages().empty());

    EXPECT_FALSE(Shown(commands_.SaveModuleVFile(commands_.DefaultModulePath(), bundle, kKindVmod, 1999)));
    ExpectOneMessage("Please Select Model first !", MsgIcon::Information);
    ui_.Clear();
    EXPECT_FALSE(Shown(commands_.SaveModuleVFile(commands_.DefaultModulePath(), bundle, 99, 2000)));
    EXPECT_TRUE(ui_.Messages().empty());
    EXPECT_TRUE(ui_.Dialogs().empty());
    EXPECT_TRUE(dir_.Entries().empty());
}

}  // namespace
}  // namespace orvalink
