// The application shell on the offscreen platform: start-up, the start
// dialog, the device tree and the main commands, with every message box and
// file dialog answered by a script.
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "app/AboutBox.h"
#include "app/Doyouknowut.h"
#include "app/MainFm.h"
#include "app/Selectmodelut.h"
#include "formats/Flashut.h"
#include "formats/SideFiles.h"
#include "image/CodeLibrary.h"
#include "image/CodeRecords.h"
#include "image/DeviceBundle.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "support/ImageHelpers.h"

using namespace orvalink;
namespace fs = std::filesystem;
using orvalink::testing::DeviceKey;
using orvalink::testing::SampleCode;
using orvalink::testing::SoftKey;

namespace {

// A program folder of its own, with the libraries the build staged.
struct ProgramFolder {
    QTemporaryDir dir;
    fs::path path;
    explicit ProgramFolder(bool withLibraries = true) : path(dir.path().toStdString()) {
        for (const char* sub : {"bk", "mcf", "tmod"}) fs::create_directories(path / sub);
        if (!withLibraries) return;
        for (const char* lib : {"model.dll", "dev_model.dll"}) {
            fs::path from = fs::path(ORVALINK_PROGRAM_DIR) / lib;
            if (fs::exists(from)) fs::copy_file(from, path / lib);
        }
    }
    std::string Text(const std::string& rel) const { return (path / rel).string(); }
};

// The main window with everything it needs.
struct Shell {
    ProgramFolder folder;
    ScriptedUiServices ui;
    FixedClock clock;
    Pcg32Random random;
    TTiFlashFm flash;
    VFileCommands files{ui, clock, random, folder.path, flash};
    AppServices services{folder.path, ui, clock, random, flash, files, nullptr, nullptr, nullptr};
    std::unique_ptr<TMainFm> main;

    Shell() { main = std::make_unique<TMainFm>(services, Brand::Plain); }

    // Writes the current image as a document at `rel` (folder.Text(rel)).
    bool SaveDocument(const std::string& rel) {
        VFileHeader header;
        FillVFileHeader(kKindVmcf, 2000, 0x0105, header);
        SetSingleName(header, "QM-5100_");
        auto img = flash.Image();
        return SaveVFile(folder.path / rel, img.first(kDocumentImageBytes), header, clock, random);
    }
    QTreeWidgetItem* Node(const QString& text) const {
        auto found = main->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
};

QStringList Texts(const ScriptedUiServices& ui) {
    QStringList out;
    for (const auto& t : ui.MessageTexts()) out << QString::fromStdString(t);
    return out;
}

}  // namespace

class AppShellTest : public QObject {
    Q_OBJECT

private slots:
    // ---------------------------------------------------------- start-up
    void pickerTakesAValidRememberedChoiceSilently() {
        ProgramFolder folder;
        ScriptedUiServices ui;
        QVERIFY(WriteModelSettings(folder.path / kT5mInfoFile, {200, 1500, 2000, 1031}));
        StartupChoice choice;
        TSelectModelFm picker(folder.path, ui, choice);
        QVERIFY(picker.Silent());
        picker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(choice.go, 5000);
        QVERIFY(choice.accepted);
        QCOMPARE(choice.modelWord, uint16_t(1500));
        QCOMPARE(choice.familyCode, uint16_t(2000));
        QCOMPARE(choice.language, uint16_t(1031));
        QVERIFY(!picker.isVisible());
    }

    void pickerShowsForAnInvalidChoiceAndCancelEndsStartUp() {
        ProgramFolder folder;
        ScriptedUiServices ui;
        QVERIFY(WriteModelSettings(folder.path / kT5mInfoFile, {200, 2500, 2000, 1033}));
        StartupChoice choice;
        TSelectModelFm picker(folder.path, ui, choice);
        QVERIFY(!picker.Silent());
        QCOMPARE(picker.StartMode(), uint16_t(100));
        picker.Start();
        QTRY_VERIFY_WITH_TIMEOUT(picker.isVisible(), 5000);
        QVERIFY(!choice.go);
        QTest::mouseClick(picker.findChildren<QPushButton*>().last(), Qt::LeftButton);  // Cancel
        QVERIFY(choice.go);
        QVERIFY(!choice.accepted);
    }

    void pickerOkRemembersTheChoiceForTheNextStart() {
        ProgramFolder folder;
        ScriptedUiServices ui;
        StartupChoice choice;
        {
            TSelectModelFm picker(folder.path, ui, choice);
            QCOMPARE(choice.language, uint16_t(1033));  // no file could be read
            QVERIFY(!picker.OkButton()->isEnabled());
            picker.m_OkBtnClick();  // nothing chosen yet
            QVERIFY(!choice.go);
            picker.ModelList()->setCurrentRow(0);
            picker.m_ModelLBoxClick();
            QVERIFY(picker.OkButton()->isEnabled());
            picker.ShowCheckBox()->setChecked(false);
            picker.m_ShowCkBoxClick();
            picker.m_OkBtnClick();
        }
        QVERIFY(choice.go && choice.accepted);
        ModelSettings stored;
        QVERIFY(ReadModelSettings(folder.path / kModelInfoFile, stored));
        QCOMPARE(stored, (ModelSettings{200, 5100, 2000, 1033}));
        StartupChoice next;
        TSelectModelFm again(folder.path, ui, next);
        QVERIFY(again.Silent());
    }

    void brandMarkersDecideCaptions() {
        ProgramFolder folder;
        ScriptedUiServices ui;
        std::ofstream(folder.path / "arvell");
        QCOMPARE(DetectBrand(folder.path), Brand::Arvell);
        {
            StartupChoice choice;
            TSelectModelFm picker(folder.path, ui, choice);
            QCOMPARE(picker.Tabs()->tabText(0), QStringLiteral("Arvell"));
            QCOMPARE(picker.ModelList()->item(0)->text(), QStringLiteral("Relaydeck N55"));
            QCOMPARE(picker.BrandCode(), 12000);
        }
        std::ofstream(folder.path / "tavero");
        QCOMPARE(DetectBrand(folder.path), Brand::Tavero);
        StartupChoice choice;
        TSelectModelFm picker(folder.path, ui, choice);
        QCOMPARE(picker.Tabs()->tabText(0), QStringLiteral("TAVERO"));
        QCOMPARE(picker.ModelList()->item(0)->text(), QStringLiteral("QM-5100"));
        QCOMPARE(QString::fromUtf8(TextsOf(Brand::Tavero).windowTitle), QStringLiteral("TAVERO Orvalink QM-5100 "));
    }

    void missingModelLibraryIsReported() {
        ProgramFolder folder(false);
        ScriptedUiServices ui;
        StartupChoice choice;
        TSelectModelFm picker(folder.path, ui, choice);
        QCOMPARE(Texts(ui), QStringList{QStringLiteral("File Not Found ! ---> model.dll \n Please Check the file ! ")});
        QVERIFY(ui.Messages()[0].icon == MsgIcon::Warning);
    }

    // ---------------------------------------------------------- start dialog
    void startDialogNewDefaultLoadsTheTemplate() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        QVERIFY(s.SaveDocument("bk/default_.vmcf"));
        s.flash.SelectModel(2300);  // the start selects the QM-5100 image again
        TDoYouKnowFm start(s.services, *s.main, 2000);
        start.Start();
        QVERIFY(!s.main->FormEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(start.isVisible(), 5000);
        QSignalSpy started(&start, &TDoYouKnowFm::Started);
        start.m_YesBtnClick();
        QCOMPARE(started.count(), 1);
        QVERIFY(Texts(s.ui).isEmpty());
        QCOMPARE(s.flash.Selector(), uint16_t(5100));
        QVERIFY(s.Node(QStringLiteral("TV")));
        QCOMPARE(QString::fromStdString(s.main->CurrentPath()), QString::fromStdString(s.folder.Text("mcf/noname.vmcf")));
        QVERIFY(s.main->FormEnabled());
        QVERIFY(s.main->DialogFinished());
        QVERIFY(!start.isVisible());
    }

    void startDialogFailuresKeepTheDialogOpen() {
        Shell s;
        TDoYouKnowFm start(s.services, *s.main, 2000);
        start.m_YesBtnClick();  // no template
        QCOMPARE(Texts(s.ui).last(),
                 QStringLiteral("\n Default VMCF files not Found ! \n Path :") + QString::fromStdString(s.folder.Text("bk/default_.vmcf")));
        QVERIFY(start.isVisible());

        TDoYouKnowFm other(s.services, *s.main, 1000);  // another family: no template path at all
        other.m_YesBtnClick();
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("\n Default VMCF files not Found ! \n Path :"));

        start.OpenButton()->setChecked(true);
        QVERIFY(start.NameEdit()->isEnabled() && start.BrowseButton()->isEnabled());
        start.m_YesBtnClick();
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("\n Please Enter Current VMCF file path !"));

        std::ofstream(s.folder.path / "mcf" / "broken.vmcf") << "not a document";
        start.NameEdit()->setText(QString::fromStdString(s.folder.Text("mcf/broken.vmcf")));
        start.m_YesBtnClick();
        QCOMPARE(Texts(s.ui).size(), 5);
        QVERIFY(Texts(s.ui)[3].startsWith(QStringLiteral("Load V File error ! \n\nPath: ")));
        QCOMPARE(Texts(s.ui)[4], QStringLiteral("\n Open VMCF files Error !"));
        QVERIFY(start.isVisible());
        QVERIFY(!s.main->DialogFinished());

        start.NewButton()->setChecked(true);
        QVERIFY(!start.NameEdit()->isEnabled() && !start.BrowseButton()->isEnabled());
        QVERIFY(!start.DownloadButton()->isEnabled());  // no remote link yet
    }

    void startDialogOpenExistingAndBrowse() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("AUX", 4)));
        QVERIFY(s.SaveDocument("mcf/mine.vmcf"));
        const std::string doc = s.folder.Text("mcf/mine.vmcf");
        s.flash.SelectModel(2300);
        s.flash.SelectModel(5100);
        TDoYouKnowFm start(s.services, *s.main, 2000);
        start.OpenButton()->setChecked(true);
        s.ui.ChooseNext(doc);
        start.m_BrowseBtnClick();
        QCOMPARE(s.ui.Dialogs().back().filter, std::string("V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*"));
        QCOMPARE(s.ui.Dialogs().back().defaultExtension, std::string("vmcf"));
        QCOMPARE(s.ui.Dialogs().back().initialFolder, s.folder.Text("mcf/"));
        QCOMPARE(start.NameEdit()->text(), QString::fromStdString(doc));
        start.m_YesBtnClick();
        QVERIFY(s.Node(QStringLiteral("AUX")));
        QCOMPARE(s.main->CurrentPath(), doc);

        // A name without a folder is read from the current folder but is not
        // taken as the document's path.
        const fs::path before = fs::current_path();
        fs::current_path(s.folder.path / "mcf");
        start.NameEdit()->setText(QStringLiteral("mine.vmcf"));
        start.m_YesBtnClick();
        fs::current_path(before);
        QCOMPARE(s.main->CurrentPath(), std::string());
        QVERIFY(s.Node(QStringLiteral("AUX")));
    }

    void startDialogCancelClosesTheMainWindow() {
        Shell s;
        s.main->show();
        TDoYouKnowFm start(s.services, *s.main, 2000);
        start.Start();
        QTRY_VERIFY_WITH_TIMEOUT(start.isVisible(), 5000);
        start.m_CancelBtnClick();
        QVERIFY(!s.main->isVisible());
        QVERIFY(!start.isVisible());
    }

    // ---------------------------------------------------------- the tree
    void treeOfAFreshImageHasHomeAndMacro() {
        Shell s;
        QTreeWidget* tree = s.main->Tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Home "));
        QCOMPARE(tree->topLevelItem(0)->childCount(), 1);
        QCOMPARE(tree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Macro "));
        QCOMPARE(s.main->NodeCount(), 0);
    }

    void treeShowsDevicesWithEmptyLabelsAndStopsLoops() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("", 1)));
        QVERIFY(WriteKey(s.flash, 0, 7, DeviceKey("Three", 3)));
        QVERIFY(WriteKey(s.flash, 3, 6, DeviceKey("Four", 4)));
        QVERIFY(WriteKey(s.flash, 4, 6, DeviceKey("Back", 3)));
        s.main->RebuildTree();
        QTreeWidgetItem* root = s.main->Tree()->topLevelItem(0);
        QCOMPARE(root->childCount(), 3);
        QCOMPARE(root->child(0)->text(0), QString());
        QCOMPARE(root->child(2)->text(0), QStringLiteral("Macro "));
        QCOMPARE(s.main->NodeCount(), 1 + 65);
        s.main->RebuildTree();  // the next rebuild descends the same way
        QCOMPARE(s.main->NodeCount(), 1 + 65);
        KeyInfo record;
        QVERIFY(s.main->DeviceRecordFor(3, record));
        QCOMPARE(int(record.link), 3);
        QVERIFY(!s.main->DeviceRecordFor(9, record));
        QVERIFY(s.main->DeviceRecordFor(65, record));
        QCOMPARE(int(record.flags), 11);
        QCOMPARE(s.main->DeviceNameFor(0), std::string("Home"));
        QCOMPARE(s.main->DeviceNameFor(4), std::string("Four"));
    }

    void openingADeviceTwiceBringsTheSameEditorForward() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        QVERIFY(WriteKey(s.flash, 0, 7, DeviceKey("DVD", 2)));
        s.main->RebuildTree();
        QTreeWidgetItem* tv = s.Node(QStringLiteral("TV"));
        s.main->m_MainTViewMouseDown(tv, Qt::LeftButton, {});
        s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("DVD")), Qt::LeftButton, {});
        s.main->m_MainTViewMouseDown(tv, Qt::LeftButton, {});
        QCOMPARE(int(s.main->Editors().size()), 2);
        QCOMPARE(s.main->EditorForSlot(1)->windowTitle(), QStringLiteral("TV"));
        QCOMPARE(s.main->FindEditorByMode(ModeNormal)->Slot(), 1);
        s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("Home ")), Qt::LeftButton, {});
        s.main->m_HomeTBtnClick();
        s.main->m_MacroTBtnClick();
        QCOMPARE(int(s.main->Editors().size()), 4);
        QCOMPARE(s.main->FindEditorByMode(ModeMacroDevice)->Slot(), 65);
        QVERIFY(!s.main->FindEditorByMode(500));
        // No tree menu for Home and Macro: their right click leaves the menu closed.
        s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("Home ")), Qt::RightButton, QPoint(10, 10));
        QVERIFY(!s.main->TreeMenu()->isVisible());
        s.main->CloseAllEditors();
        QVERIFY(s.main->Editors().empty());
    }

    // A step window is wider than the editor area of a main window of its
    // first size: it opens whole, the main window growing on the screen.
    void aStepWindowOpensWholeInTheEditorArea() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        s.main->RebuildTree();
        s.main->show();
        QVERIFY(QTest::qWaitForWindowExposed(s.main.get()));
        const QRect screen = s.main->screen()->availableGeometry();
        // Smaller than any screen: the step window does not fit its area.
        s.main->move(screen.topLeft());
        s.main->resize(500, 400);
        QTRY_COMPARE(s.main->size(), QSize(500, 400));
        s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("TV")), Qt::LeftButton, {});
        TSoftLCDFm* step = s.main->OpenDeviceEditor(1, ModeStepEdit);
        QVERIFY(step);
        QMdiSubWindow* w = s.main->SubWindowOf(step);
        QVERIFY(w);
        QTRY_VERIFY(s.main->width() > 500);
        QVERIFY(w->x() >= 0 && w->y() >= 0);
        const QRect area = s.main->EditorArea()->viewport()->rect();
        if (w->width() <= area.width()) {
            QVERIFY2(w->geometry().right() <= area.right(), "the step window is cut off at the right");
        } else {
            QCOMPARE(w->x(), 0);  // what does not fit starts at the left
        }
        QVERIFY(screen.contains(s.main->geometry()));
        s.main->CloseAllEditors();
    }

    // ---------------------------------------------------------- documents
    void newLoadsTheBlankDocument() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("Blank", 1, 12)));
        QVERIFY(s.SaveDocument("bk/default_.vmcf"));
        s.flash.SelectModel(2300);
        s.flash.SelectModel(5100);
        s.main->SetCurrentPath("somewhere.vmcf");
        s.ui.AnswerNextMessage(MsgAnswer::Cancel);
        s.main->m_fNewItClick();
        QCOMPARE(s.main->NodeCount(), 0);  // Cancel ends the command
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("\n Changes Save to somewhere.vmcf ?"));
        s.ui.AnswerNextMessage(MsgAnswer::No);
        s.main->m_fNewItClick();
        QVERIFY(s.Node(QStringLiteral("Blank")));
        QCOMPARE(s.main->CurrentPath(), s.folder.Text("mcf/noname.vmcf"));
    }

    void openWithAnEmptyPathAndNoStartsTheDialogEmpty() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("SAT", 2)));
        QVERIFY(s.SaveDocument("mcf/sat.vmcf"));
        const std::string doc = s.folder.Text("mcf/sat.vmcf");
        s.flash.SelectModel(2300);
        s.flash.SelectModel(5100);
        s.ui.AnswerNextMessage(MsgAnswer::No);
        s.ui.ChooseNext(doc);
        s.main->m_fOpenItClick();
        QCOMPARE(Texts(s.ui)[0], QStringLiteral("\n This file : \"") + QString::fromStdString(s.folder.Text("mcf/noname.vmcf")) +
                                     QStringLiteral("\"has been revised, \n save before you leave Orvalink ?"));
        QCOMPARE(s.ui.Dialogs().size(), size_t(1));
        QCOMPARE(s.ui.Dialogs()[0].filter, std::string("V Machine Files (*.vmcf)|*.vmcf|All Files (*.*)|*.*"));
        QVERIFY(s.Node(QStringLiteral("SAT")));
        QCOMPARE(s.main->CurrentPath(), doc);  // Save goes back to the file opened

        // A cancelled dialog leaves image and tree as they were.
        s.ui.AnswerNextMessage(MsgAnswer::No);
        s.ui.CancelNextDialog();
        s.main->m_fOpenItClick();
        QVERIFY(s.Node(QStringLiteral("SAT")));
    }

    void saveAskWithoutAPathAndSilentWithOne() {
        Shell s;
        s.ui.CancelNextDialog();
        s.main->m_fSaveItClick();
        QCOMPARE(s.ui.Dialogs().size(), size_t(1));
        QCOMPARE(s.ui.Dialogs()[0].mode, FileDialogRequest::Mode::Save);
        QCOMPARE(s.main->CurrentPath(), s.folder.Text("mcf/noname.vmcf"));

        const std::string target = s.folder.Text("mcf/doc.vmcf");
        s.ui.ChooseNext(target);
        s.main->SetModifiedMark(kMarkChanged);
        QVERIFY(s.main->m_fSaveAsItClick());
        QCOMPARE(s.main->ModifiedMark(), kMarkUnchanged);
        QCOMPARE(s.main->CurrentPath(), target);
        QVERIFY(fs::exists(target));

        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("Saved", 1)));
        s.main->SetModifiedMark(kMarkChanged);
        s.main->m_fSaveItClick();
        QCOMPARE(s.ui.Dialogs().size(), size_t(2));  // silently to the existing file
        QCOMPARE(s.main->ModifiedMark(), kMarkUnchanged);
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(target, payload, header));
        TTiFlashFm back;
        std::copy(payload.begin(), payload.end(), back.Image().begin());
        KeyInfo k;
        QVERIFY(ReadKey(back, 0, 6, k));
    }

    void closingWithChangesSavesOrAsksBeforeDiscarding() {
        Shell s;
        s.main->show();
        s.main->SetModifiedMark(kMarkChanged);
        s.ui.CancelNextDialog();                 // Save As cancelled
        s.ui.AnswerNextMessage(MsgAnswer::No);   // keep the document
        QVERIFY(!s.main->close());
        QVERIFY(s.main->isVisible());
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("\n The changes have not been saved. \n Close Orvalink and discard them ?"));

        s.ui.ChooseNext(s.folder.Text("mcf/kept.vmcf"));  // this time it is saved
        QVERIFY(s.main->close());
        QVERIFY(fs::exists(s.folder.path / "mcf" / "kept.vmcf"));

        Shell t;
        t.main->show();
        t.main->SetModifiedMark(kMarkChanged);
        t.ui.CancelNextDialog();
        t.ui.AnswerNextMessage(MsgAnswer::Yes);  // discard
        t.main->m_fExitItClick();
        QVERIFY(!t.main->isVisible());
    }

    // ---------------------------------------------------------- devices
    void importIgnoresAnOversizedModelFile() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        QVERIFY(WriteKey(s.flash, 1, 6, SoftKey("Keep")));
        s.main->RebuildTree();
        s.main->SetCurrentNode(s.Node(QStringLiteral("TV")));
        std::vector<uint8_t> big(10241, 0);
        big[0] = 4;
        VFileHeader header;
        FillVFileHeader(kKindVmod, 2000, 0, header);
        SetSingleName(header, "QM-5100_");
        QVERIFY(SaveVFile(s.folder.path / "tmod" / "big.vmod", big, header, s.clock, s.random));
        std::vector<uint8_t> before(s.flash.Image().begin(), s.flash.Image().end());
        s.ui.AnswerNextMessage(MsgAnswer::Yes);
        s.ui.ChooseNext(s.folder.Text("tmod/big.vmod"));
        s.main->m_tImportItClick();
        QCOMPARE(Texts(s.ui), QStringList{QStringLiteral("Would you want to delete all of key and child divice ?")});
        QVERIFY(std::equal(before.begin(), before.end(), s.flash.Image().begin()));
    }

    void exportThenImportRestoresKeysAndCodes() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        QVERIFY(WriteKey(s.flash, 1, 6, SoftKey("Menu")));
        QVERIFY(WriteKey(s.flash, 1, 7, SoftKey("Guide", 3)));
        QVERIFY(WriteIrCode(s.flash, 1, 0, SampleCode(2, 1)));
        QVERIFY(WriteIrCode(s.flash, 1, 7, SampleCode(3, 2)));
        s.main->RebuildTree();
        s.main->SetCurrentNode(s.Node(QStringLiteral("TV")));
        const std::string model = s.folder.Text("tmod/tv.vmod");
        s.ui.ChooseNext(model);
        s.main->m_tExportItClick();
        QCOMPARE(s.ui.Dialogs().back().proposedName, s.folder.Text("tmod/noname.vmod"));
        QVERIFY(fs::exists(model));

        // The device is changed, then the model file is imported over it.
        QVERIFY(DeleteKey(s.flash, 1, 6));
        QVERIFY(WriteKey(s.flash, 1, 20, SoftKey("Extra")));
        QVERIFY(DeleteIrCode(s.flash, 1, 0));
        s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("TV")), Qt::LeftButton, {});
        QCOMPARE(int(s.main->Editors().size()), 1);
        s.ui.AnswerNextMessage(MsgAnswer::Yes);
        s.ui.ChooseNext(model);
        s.main->m_tImportItClick();
        QVERIFY(s.main->Editors().empty());  // its editor was cancelled
        KeyInfo k;
        QVERIFY(ReadKey(s.flash, 1, 6, k));
        QVERIFY(ReadKey(s.flash, 1, 7, k));
        QVERIFY(!ReadKey(s.flash, 1, 20, k));
        IrCodeInfo c;
        QVERIFY(ReadIrCode(s.flash, 1, 0, c));
        QCOMPARE(c.data, SampleCode(2, 1).data);
        QVERIFY(ReadIrCode(s.flash, 1, 7, c));
        QCOMPARE(s.main->ModifiedMark(), kMarkChanged);
    }

    void deleteDeviceSkipsHardKeysAndRemovesSubtrees() {
        Shell s;
        QVERIFY(WriteKey(s.flash, 0, 6, DeviceKey("TV", 1)));
        QVERIFY(WriteKey(s.flash, 1, 8, DeviceKey("Inner", 2)));
        QVERIFY(WriteKey(s.flash, 2, 6, SoftKey("Deep")));
        s.main->RebuildTree();

        // A device entry standing on a hard key (key number 5) is left alone.
        KeyInfo hard = DeviceKey("Hard", 3);
        QVERIFY(WriteKey(s.flash, 0, 9, hard));
        s.main->RebuildTree();
        QTreeWidgetItem* node = s.Node(QStringLiteral("Hard"));
        QVERIFY(node);
        const_cast<KeyInfo*>(s.main->EntryOf(node))->keyNumber = 5;
        s.main->SetCurrentNode(node);
        s.main->m_tDeleteDeviceItClick();
        QVERIFY(s.Node(QStringLiteral("Hard")));

        s.main->SetCurrentNode(s.Node(QStringLiteral("TV")));
        s.main->m_tDeleteDeviceItClick();
        QVERIFY(!s.Node(QStringLiteral("TV")));
        QVERIFY(!s.Node(QStringLiteral("Inner")));
        KeyInfo k;
        QVERIFY(!ReadKey(s.flash, 2, 6, k));
        QVERIFY(!ReadKey(s.flash, 0, 6, k));
        QCOMPARE(s.main->NodeCount(), 1);
    }

    void starterDocumentTreeAndPreProgramLoad() {
        Shell s;
        QVERIFY(LoadDocumentIntoImage(std::string(ORVALINK_PROGRAM_DIR) + "/bk/default_.vmcf", s.flash).Ok());
        s.main->RebuildTree();
        for (const char* name : {"TV", "DVD", "SAT", "AUX"}) QVERIFY2(s.Node(QString::fromUtf8(name)), name);
        QCOMPARE(s.main->Tree()->topLevelItem(0)->child(s.main->Tree()->topLevelItem(0)->childCount() - 1)->text(0),
                 QStringLiteral("Macro "));

        // A TV code number from the library, loaded into the DVD device.
        int tvCode = -1;
        for (int code = 1152; code < 1536 && tvCode < 0; ++code) {
            LibraryCodeSet set;
            if (ReadLibraryCode(s.flash, code, set)) tvCode = code;
        }
        QVERIFY(tvCode >= 0);
        struct FixedPicker : CodeNumberPicker {
            uint16_t code = 0;
            bool PickCodeNumber(uint16_t& c) override { c = code; return true; }
        } picker;
        picker.code = uint16_t(tvCode);
        s.main->SetCodePicker(&picker);
        QTreeWidgetItem* dvd = s.Node(QStringLiteral("DVD"));
        const int slot = s.main->EntryOf(dvd)->link;
        s.main->SetCurrentNode(dvd);
        s.ui.AnswerNextMessage(MsgAnswer::Yes);
        s.main->m_tLoadPreCodeItClick();
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("Load pre-program code ok !"));
        // The device now holds the TV template's keys with the set's codes.
        LibraryCodeSet set;
        QVERIFY(ReadLibraryCode(s.flash, tvCode, set));
        int withCode = 0;
        for (int k = 0; k < 64; ++k) {
            IrCodeInfo fromSet, stored;
            if (!DecodeLibraryKey(set, k, fromSet)) continue;
            QVERIFY2(ReadIrCode(s.flash, slot, k, stored), qPrintable(QString::number(k)));
            QCOMPARE(stored.data, fromSet.data);
            ++withCode;
        }
        QVERIFY(withCode > 10);
        QCOMPARE(s.main->ModifiedMark(), kMarkChanged);

        // A code number of 4000 fails and leaves the device as it is.
        std::vector<uint8_t> before(s.flash.Image().begin(), s.flash.Image().end());
        picker.code = 4000;
        s.main->SetCurrentNode(s.Node(QStringLiteral("DVD")));
        s.ui.AnswerNextMessage(MsgAnswer::Yes);
        s.main->m_tLoadPreCodeItClick();
        QCOMPARE(Texts(s.ui).last(), QStringLiteral("Load pre-program code error !"));
        QVERIFY(std::equal(before.begin(), before.end(), s.flash.Image().begin()));
    }

    // ---------------------------------------------------------- About box
    void aboutBoxCheckBoxRules() {
        ProgramFolder folder;
        {
            TAboutBox about(folder.path, nullptr, "https://example.invalid/");
            QVERIFY(about.CheckBox()->isChecked());
            QVERIFY(!about.UrlLabel()->isHidden());
            about.CheckBox()->setChecked(false);
            about.CkBoxClick();
            QVERIFY(!fs::exists(folder.path / kModelInfoFile));  // nothing to rewrite
        }
        QVERIFY(WriteModelSettings(folder.path / kModelInfoFile, {200, 1500, 2000, 1033}));
        TAboutBox about(folder.path, nullptr, "https://example.invalid/");
        QVERIFY(!about.CheckBox()->isChecked());
        QVERIFY(about.UrlLabel()->isHidden());  // family 2000
        about.CheckBox()->setChecked(true);
        about.CkBoxClick();
        ModelSettings stored;
        QVERIFY(ReadModelSettings(folder.path / kModelInfoFile, stored));
        QCOMPARE(stored, (ModelSettings{100, 1500, 2000, 1033}));

        QVERIFY(WriteModelSettings(folder.path / kModelInfoFile, {100, 2500, 110, 1033}));
        TAboutBox other(folder.path, nullptr, "x");
        QVERIFY(other.UrlLabel()->isHidden());  // family 110
        other.CheckBox()->setChecked(false);
        other.CkBoxClick();
        QVERIFY(ReadModelSettings(folder.path / kModelInfoFile, stored));
        QCOMPARE(stored.startMode, uint16_t(100));  // model word 2500: not rewritten
    }
};

QTEST_MAIN(AppShellTest)
#include "AppShellTest.moc"
