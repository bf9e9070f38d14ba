// The editors as the main window opens and drives them: a device click opens
// the layout editor, the Edit menu reaches the active editor (Undo and Redo
// too), Save tells the main window, a link exchange disables the editors, a
// device added from a pre-program code is filled from the template library,
// and "Edit Remote config" runs the settings dialog.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "app/MainFm.h"
#include "editors/Configut.h"
#include "formats/Flashut.h"
#include "image/CodeLibrary.h"
#include "image/KeyGeometry.h"
#include "image/Settings.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

struct FixedPicker : CodeNumberPicker {
    uint16_t code = 0;
    bool PickCodeNumber(uint16_t& c) override {
        c = code;
        return true;
    }
};

// The main window on the factory document, in a program folder of its own
// with the staged libraries.
struct Shell {
    QTemporaryDir dir;
    fs::path folder{dir.path().toStdString()};
    ScriptedUiServices ui;
    FixedClock clock;
    Pcg32Random random;
    TTiFlashFm flash;
    VFileCommands files{ui, clock, random, folder, flash};
    FixedPicker picker;
    AppServices services{folder, ui, clock, random, flash, files, nullptr, &picker, nullptr};
    std::unique_ptr<TMainFm> main;

    Shell() {
        for (const char* sub : {"bk", "mcf", "tmod"}) fs::create_directories(folder / sub);
        for (const char* file : {"dev_model.dll", "gird_RL_2.bmp"}) {
            const fs::path from = fs::path(ORVALINK_PROGRAM_DIR) / file;
            if (fs::exists(from)) fs::copy_file(from, folder / file);
        }
        std::vector<uint8_t> payload;
        VFileHeader header;
        const bool loaded = LoadVFile(fs::path(ORVALINK_PROGRAM_DIR) / "bk" / "default_.vmcf", payload, header);
        Q_ASSERT(loaded);
        std::copy(payload.begin(), payload.end(), flash.Image().begin());
        main = std::make_unique<TMainFm>(services, Brand::Plain);
        main->show();
    }
    QTreeWidgetItem* Node(const QString& text) const {
        auto found = main->Tree()->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? nullptr : found.first();
    }
    TSoftLCDFm* OpenTv() {
        main->m_MainTViewMouseDown(Node(QStringLiteral("TV")), Qt::LeftButton, {});
        return main->EditorForSlot(main->EntryOf(Node(QStringLiteral("TV")))->link);
    }
};

// A remote whose configuration is `remote`: a download puts it into the
// memory image, as the link does once every block has come in.
struct FakeRemote : RemoteLink {
    explicit FakeRemote(TTiFlashFm& f) : flash(f) {}
    bool EnsureLinkPort() override { return true; }
    void SetUserAbort(bool a) override { abort = a; }
    bool UserAbort() const override { return abort; }
    TransferOutcome DownloadFromRemote() override {
        std::copy(remote.begin(), remote.end(), flash.Image().begin());
        return {TransferResult::Ok, {}, MsgIcon::None};
    }
    TransferOutcome UploadToRemote(int) override { return {}; }
    void CloseLinkPort() override {}
    TTiFlashFm& flash;
    std::vector<uint8_t> remote;
    bool abort = false;
};

// A key property editor the user closes with Cancel.
struct CancellingKeyEditor : KeyPropertyEditor {
    bool EditKey(LayoutKey&, const KeyEditContext&) override { return false; }
};

std::vector<uint8_t> PayloadOf(const fs::path& document) {
    std::vector<uint8_t> payload;
    VFileHeader header;
    return LoadVFile(document, payload, header) ? payload : std::vector<uint8_t>{};
}

bool StartsWith(const std::vector<uint8_t>& image, const std::vector<uint8_t>& payload) {
    return !payload.empty() && image.size() >= payload.size() && std::equal(payload.begin(), payload.end(), image.begin());
}

// The names of an accessible interface's children.
QStringList ChildNames(QAccessibleInterface* iface) {
    QStringList names;
    for (int i = 0; i < iface->childCount(); ++i)
        if (QAccessibleInterface* c = iface->child(i)) names << c->text(QAccessible::Name);
    return names;
}

QAccessibleInterface* ChildFor(QAccessibleInterface* parent, QObject* object) {
    for (int i = 0; i < parent->childCount(); ++i)
        if (QAccessibleInterface* c = parent->child(i); c && c->object() == object) return c;
    return nullptr;
}

// Runs `check` on the settings dialog once it is up, then presses Cancel.
void WhenSettingsShow(std::function<void(TConfigFm&)> check) {
    QTimer::singleShot(0, [check] {
        auto* dialog = qobject_cast<TConfigFm*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        check(*dialog);
        if (dialog->isVisible()) dialog->m_CancelBtnClick();
    });
}

}  // namespace

class EditorShellTest : public QObject {
    Q_OBJECT

private slots:
    void aDeviceClickOpensItsLayoutEditor() {
        Shell s;
        TSoftLCDFm* tv = s.OpenTv();
        QVERIFY(tv);
        QCOMPARE(tv->Mode(), ModeNormal);
        QCOMPARE(tv->windowTitle(), QStringLiteral("TV"));
        QVERIFY(tv->Layout().KeyCount() > 20);
        QVERIFY(tv->KeyPicture(tv->Layout().KeysOnPage(0).front())->isVisible());
        // The main window's free device numbers leave out every linked slot.
        for (int d : s.main->FreeDeviceNumbers()) QVERIFY(!s.main->EditorForSlot(d) && d != tv->Slot());
    }

    void theEditMenuReachesTheActiveEditorWithUndoAndRedo() {
        Shell s;
        TSoftLCDFm* tv = s.OpenTv();
        const int key = tv->Layout().KeysOnPage(0).front();
        QVERIFY(tv->SelectKeyOnPage(key, kStateSelected));
        s.main->m_eCopyItClick();
        KeyInfo held;
        QVERIFY(s.main->GetKeyClipboard(held));
        QCOMPARE(int(held.keyNumber), key);
        s.main->m_ePasteItClick();
        const int pasted = tv->Layout().Selected();
        QVERIFY(pasted != key);
        s.main->m_eDeleteItClick();
        QVERIFY(!tv->Layout().FindKey(pasted));
        s.main->m_eUndoItClick();
        QVERIFY(tv->Layout().FindKey(pasted));
        s.main->m_eUndoItClick();
        QVERIFY(!tv->Layout().FindKey(pasted));
        s.main->m_eRedoItClick();
        QVERIFY(tv->Layout().FindKey(pasted));
        QVERIFY(tv->SelectKeyOnPage(pasted, kStateSelected));
        s.main->m_eCutItClick();
        QVERIFY(!tv->Layout().FindKey(pasted));
        // The keyboard's Undo and Redo.
        QApplication::setActiveWindow(s.main.get());
        tv->SoftImage()->setFocus();
        QTRY_VERIFY(tv->SoftImage()->hasFocus());
        QTest::keyClick(tv->SoftImage(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(tv->Layout().FindKey(pasted));
        QTest::keyClick(tv->SoftImage(), Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!tv->Layout().FindKey(pasted));
        QTest::keyClick(tv->SoftImage(), Qt::Key_Z, Qt::ControlModifier);
        QTest::keyClick(tv->SoftImage(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!tv->Layout().FindKey(pasted));
    }

    void saveMarksTheDocumentAndALinkExchangeDisablesEditors() {
        Shell s;
        TSoftLCDFm* tv = s.OpenTv();
        s.main->m_HomeTBtnClick();
        s.main->m_MacroTBtnClick();
        QCOMPARE(int(s.main->Editors().size()), 3);
        s.main->SetLinkBusy(true);
        for (TSoftLCDFm* e : s.main->Editors()) QVERIFY(!e->isEnabled());
        s.main->SetLinkBusy(false);
        for (TSoftLCDFm* e : s.main->Editors()) QVERIFY(e->isEnabled());

        tv->m_AddButtonItClick();
        QCOMPARE(tv->ModifiedMark(), uint8_t(16));
        tv->m_SaveBtnClick();
        QCOMPARE(s.ui.MessageTexts().back(), std::string("Device save Ok !"));
        QCOMPARE(s.main->ModifiedMark(), kMarkChanged);
        QTRY_COMPARE(int(s.main->Editors().size()), 2);
    }

    void aDeviceAddedFromACodeIsFilledFromItsTemplate() {
        Shell s;
        int tvCode = -1;
        for (int code = 1152; code < 1536 && tvCode < 0; ++code) {
            LibraryCodeSet set;
            if (ReadLibraryCode(s.flash, code, set)) tvCode = code;
        }
        QVERIFY(tvCode >= 0);
        s.picker.code = uint16_t(tvCode);
        const std::vector<int> free = s.main->FreeDeviceNumbers();
        s.main->m_HomeTBtnClick();
        TSoftLCDFm* home = s.main->EditorForSlot(kHomeSlot);
        home->ShowPage(3);
        home->m_AddDeviceItClick();
        QVERIFY2(s.ui.Messages().empty(), s.ui.Messages().empty() ? "" : s.ui.Messages()[0].text.c_str());
        // The new device is in the tree and holds the TV template's keys.
        KeyInfo k;
        int keys = 0;
        for (int n = 6; n < 64; ++n) keys += ReadKey(s.flash, free.front(), n, k);
        QVERIFY(keys > 20);
        QCOMPARE(s.main->FreeDeviceNumbers().front(), free[1]);
        QCOMPARE(s.main->ModifiedMark(), kMarkChanged);
        QVERIFY(home->isVisible());
    }

    // Download, New and Open replace the memory image. An editor left open
    // (untouched, with Properties opened and cancelled, or with a key added)
    // never writes its device, read from the old contents, into the new
    // ones: the command's question offers to save its changes into the old
    // document first, and the editors close without a word once the new
    // image is in.
    void replacingTheImageNeverTakesAnOpenEditorsKeys() {
        enum class Command { Download, New, Open };
        enum class Edit { None, PropertiesCancelled, KeyAdded };
        for (Command command : {Command::Download, Command::New, Command::Open})
            for (Edit edit : {Edit::None, Edit::PropertiesCancelled, Edit::KeyAdded})
                for (MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
                    const QByteArray what = QByteArray::number(int(command)) + "/" + QByteArray::number(int(edit)) +
                                            "/" + QByteArray::number(int(answer));
                    Shell s;
                    FakeRemote remote(s.flash);
                    CancellingKeyEditor keyEditor;
                    s.main->SetRemoteLink(&remote);
                    s.main->SetKeyEditor(&keyEditor, nullptr);
                    // The new contents: the factory document, as the blank
                    // document, another document and the remote hold it.
                    const fs::path factory = fs::path(ORVALINK_PROGRAM_DIR) / "bk" / "default_.vmcf";
                    const std::vector<uint8_t> fresh = PayloadOf(factory);
                    QVERIFY(!fresh.empty());
                    fs::copy_file(factory, s.folder / "bk" / "default_.vmcf");
                    fs::copy_file(factory, s.folder / "mcf" / "other.vmcf");
                    remote.remote = fresh;
                    // The current document differs in the TV device: key 6 is "Ol".
                    const int tvSlot = s.main->EntryOf(s.Node(QStringLiteral("TV")))->link;
                    KeyInfo six;
                    QVERIFY(ReadKey(s.flash, tvSlot, 6, six));
                    six.SetLabel(std::string("Ol"));
                    QVERIFY(WriteKey(s.flash, tvSlot, 6, six));
                    const std::string current = (s.folder / "mcf" / "current.vmcf").string();
                    s.main->SetCurrentPath(current);

                    TSoftLCDFm* tv = s.OpenTv();
                    QVERIFY(tv);
                    int added = -1;
                    if (edit == Edit::PropertiesCancelled) {
                        QVERIFY(tv->SelectKeyOnPage(6, kStateSelected));
                        tv->m_PropertiesItClick();
                    } else if (edit == Edit::KeyAdded) {
                        tv->m_AddButtonItClick();
                        added = tv->Layout().Selected();
                    }
                    QCOMPARE(tv->ModifiedMark(), edit == Edit::None ? kMarkUnchanged : kMarkChanged);

                    const std::string saved = (s.folder / "mcf" / "saved.vmcf").string();
                    s.ui.AnswerNextMessage(answer);
                    if (answer == MsgAnswer::Yes) s.ui.ChooseNext(saved);  // Save As
                    std::string question;
                    switch (command) {
                        case Command::Download:
                            s.main->m_cDownloadItClick();
                            question = "\n Save Changes to " + current + " ?";
                            break;
                        case Command::New:
                            s.main->m_fNewItClick();
                            question = "\n Changes Save to " + current + " ?";
                            break;
                        case Command::Open:
                            s.ui.ChooseNext((s.folder / "mcf" / "other.vmcf").string());
                            s.main->m_fOpenItClick();
                            question = "\n Changes Save to " + current + " ?";
                            break;
                    }
                    const std::vector<std::string> texts = s.ui.MessageTexts();
                    QVERIFY2(!texts.empty() && texts.front() == question, what.constData());
                    // No editor tried to save itself on its way out ("Device save Ok !" or "... error !").
                    QVERIFY2(std::none_of(texts.begin(), texts.end(),
                                          [](const std::string& t) { return t.rfind("Device save", 0) == 0; }),
                             what.constData());
                    // The new image is exactly the new contents, and the editor is gone.
                    const std::vector<uint8_t> image(s.flash.Image().begin(), s.flash.Image().end());
                    QVERIFY2(StartsWith(image, fresh), what.constData());
                    QVERIFY2(s.main->Editors().empty(), what.constData());
                    // Yes saved the editor's device into the old document first.
                    QCOMPARE(fs::exists(saved), answer == MsgAnswer::Yes);
                    if (answer == MsgAnswer::Yes) {
                        TTiFlashFm old;
                        const std::vector<uint8_t> payload = PayloadOf(saved);
                        QVERIFY(!payload.empty() && payload.size() <= old.Image().size());
                        std::copy(payload.begin(), payload.end(), old.Image().begin());
                        KeyInfo k;
                        QVERIFY(ReadKey(old, tvSlot, 6, k));
                        QCOMPARE(k.label[0], uint8_t('O'));
                        if (added >= 0) QVERIFY2(ReadKey(old, tvSlot, added, k), what.constData());
                    }
                }
    }

    // The pop-up menus of a soft key, a hard key and a tree device are on the
    // accessibility tree while they are open, as the application's children
    // (the parent they name), each named, with its items; gone again once
    // they close. Each belongs to the window it pops up over.
    void popUpMenusAreOnTheAccessibilityTree() {
        Shell s;
        TSoftLCDFm* tv = s.OpenTv();
        QVERIFY(tv);
        const int key = tv->Layout().KeysOnPage(0).front();
        struct Row {
            const char* name;
            QWidget* owner;
            QMenu* menu;
            std::function<void()> open;
            QStringList items;
        };
        const Row rows[] = {
            {"Soft key menu", tv, tv->SoftKeyMenu(),
             [&] {
                 QTest::mousePress(tv->KeyPicture(key), Qt::RightButton, {}, QPoint(10, 10));
                 QTest::mouseRelease(tv->KeyPicture(key), Qt::RightButton, {}, QPoint(10, 10));
             },
             {"Add Button", "Properties", "Cut", "Copy", "Paste", "Delete", "Move to",
              "Load pre-program code to device", "Add device from pre-program code",
              QString::fromUtf8("Import codes\u2026"), QString::fromUtf8("Export codes\u2026"),
              "Turn transparent mode ON"}},
            {"Hard key menu", tv, tv->HardKeyMenu(),
             [&] {
                 QTest::mousePress(tv->HardKeyButton(0), Qt::RightButton, {}, QPoint(5, 5));
                 QTest::mouseRelease(tv->HardKeyButton(0), Qt::RightButton, {}, QPoint(5, 5));
             },
             {"Properties"}},
            {"Device menu", s.main.get(), s.main->TreeMenu(),
             [&] { s.main->m_MainTViewMouseDown(s.Node(QStringLiteral("TV")), Qt::RightButton, QPoint(40, 40)); },
             {"Load pre-program code to device", "Import model file to device", "Export device to model file",
              QString::fromUtf8("Import codes\u2026"), QString::fromUtf8("Export codes\u2026"), "Delete device"}},
        };
        for (const Row& row : rows) {
            QCOMPARE(row.menu->parentWidget(), row.owner);
            QAccessibleInterface* app = QAccessible::queryAccessibleInterface(qApp);
            QVERIFY(app);
            QVERIFY2(!ChildFor(app, row.menu), row.name);  // closed: not there
            row.open();
            QVERIFY2(row.menu->isVisible(), row.name);
            QAccessibleInterface* menu = ChildFor(app, row.menu);
            QVERIFY2(menu, row.name);
            QCOMPARE(menu->text(QAccessible::Name), QString::fromLatin1(row.name));
            QCOMPARE(menu->role(), QAccessible::PopupMenu);
            QCOMPARE(menu->parent(), app);
            const int at = app->indexOfChild(menu);
            QVERIFY2(at >= 0 && app->child(at) == menu, row.name);
            const QStringList items = ChildNames(menu);
            for (const QString& item : row.items)
                QVERIFY2(items.contains(item),
                         qPrintable(QStringLiteral("%1: %2 not in %3").arg(row.name, item, items.join(", "))));
            row.menu->hide();
            QVERIFY2(!ChildFor(app, row.menu), row.name);
        }
    }

    void editRemoteConfigRunsTheSettingsDialog() {
        Shell s;
        s.flash.Image()[s.flash.SettingsPageStart() + 38] = 43;  // contrast out of range
        bool checked = false;
        WhenSettingsShow([&](TConfigFm& dialog) {
            QCOMPARE(dialog.Collect(), DefaultSettings());
            QVERIFY(!s.main->FormEnabled());
            QTest::keyClicks(dialog.PhraseBox(), QStringLiteral("show extras"));
            QTest::keyClick(dialog.PhraseBox(), Qt::Key_Return);
            checked = true;
        });
        QVERIFY(!s.main->ExtraButtonsShown());
        s.main->m_eRemoteConfigItClick();
        QVERIFY(checked);
        QVERIFY(s.main->FormEnabled());
        QVERIFY(s.main->DialogFinished());
        QVERIFY(s.main->ExtraButtonsShown());
        QCOMPARE(s.main->ModifiedMark(), kMarkUnchanged);  // Cancel wrote nothing
        // The extra "Open MCF file" button asks for a ".mcf"; cancelled, it changes nothing.
        s.main->m_Open2TBtnClick();
        QVERIFY(!s.ui.Dialogs().empty());
        QCOMPARE(s.ui.Dialogs().back().defaultExtension, std::string("mcf"));
        QCOMPARE(s.main->ModifiedMark(), kMarkUnchanged);

        // OK writes the settings and marks the document.
        WhenSettingsShow([&](TConfigFm& dialog) {
            dialog.LcdOffBar()->setValue(600);
            dialog.m_OkBtnClick();
        });
        s.main->m_eRemoteConfigItClick();
        RemoteSettings stored;
        QVERIFY(ReadSettings(s.flash, stored));
        QCOMPARE(stored[kSettingLcdOff], 600);
        QCOMPARE(s.main->ModifiedMark(), kMarkChanged);
    }
};

QTEST_MAIN(EditorShellTest)
#include "EditorShellTest.moc"
