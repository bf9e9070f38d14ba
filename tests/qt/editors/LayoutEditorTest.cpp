// The layout editor window on the offscreen platform, on the devices of the
// factory document: dragging keys with the mouse, the soft-key menu and its
// enabling, the commands with their refusals, Save and Cancel, pages, the
// macro step recording, undo and redo, and the LCD as orvalink-cli draws it.
// Before Qt, whose "signals" keyword this file keeps: the IR signal files'
// header names parameters so.
#include "formats/IrSignalFiles.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

#include "editors/CodeImportDialog.h"
#include "editors/Softlcdut.h"
#include "editors/core/KeyEditing.h"
#include "image/IrDecoder.h"
#include "image/Pronto.h"
#include "formats/Flashut.h"
#include "image/BlockStore.h"
#include "image/DeviceTree.h"
#include "image/KeyGeometry.h"
#include "image/Tiflashut.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "support/ImageHelpers.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

const fs::path kProgramDir = ORVALINK_PROGRAM_DIR;
const fs::path kFactoryDocument = kProgramDir / "bk" / "default_.vmcf";
constexpr int kTv = 1;

// The main window's part: clipboard, free device numbers, and what it is told.
struct Host : KeyClipboard, DeviceNumberSource, LayoutHost {
    explicit Host(const TTiFlashFm& f) : flash(f) {}
    void SetKeyClipboard(const KeyInfo& key) override {
        held = CopyKeyInfo(key);
        filled = true;
    }
    bool GetKeyClipboard(KeyInfo& key) const override {
        if (!filled) return false;
        key = CopyKeyInfo(held);
        return true;
    }
    std::vector<int> FreeDeviceNumbers() const override {
        std::vector<int> free;
        for (int d = 1; d <= 64; ++d) {
            LinkTrailer t;
            if (ReadLinkTrailer(flash, d, t) && t.linkState == 0xFF) free.push_back(d);
        }
        return free;
    }
    void DeviceStored(int device) override { stored.push_back(device); }
    CodeFill FillDeviceFromCode(int device, uint16_t code) override {
        fills.emplace_back(device, code);
        return fillResult;
    }
    const TTiFlashFm& flash;
    KeyInfo held;
    bool filled = false;
    std::vector<int> stored;
    std::vector<std::pair<int, uint16_t>> fills;
    CodeFill fillResult = CodeFill::Filled;
};

struct Picker : CodeNumberPicker {
    bool PickCodeNumber(uint16_t& c) override {
        ++calls;
        c = code;
        return answer;
    }
    int calls = 0;
    uint16_t code = 1152;
    bool answer = true;
};

struct KeyEditor : KeyPropertyEditor {
    bool EditKey(LayoutKey& key, const KeyEditContext& context) override {
        ++calls;
        last = context;
        lastKey = key.Number();
        if (!newLabel.empty()) key.info.SetLabel(newLabel);
        return answer;
    }
    int calls = 0;
    int lastKey = -1;
    KeyEditContext last;
    std::string newLabel;
    bool answer = true;
};

struct Steps : MacroStepEditor {
    void TakeStep(const MacroStepCursor& step) override { taken.push_back(step); }
    bool FetchStep(int step, MacroStepCursor& cursor) override {
        auto it = stored.find(step);
        if (it == stored.end()) return false;
        cursor = it->second;
        return true;
    }
    void SetStepDelayText(int step, const std::string& text) override { delays.emplace_back(step, text); }
    void ShowKeyEditor() override { ++shown; }
    std::vector<MacroStepCursor> taken;
    std::map<int, MacroStepCursor> stored;
    std::vector<std::pair<int, std::string>> delays;
    int shown = 0;
};

std::vector<uint8_t> Bytes(const TTiFlashFm& flash) { return {flash.Image().begin(), flash.Image().end()}; }

struct Fixture {
    ScriptedUiServices ui;
    TTiFlashFm flash;
    Host host{flash};
    Picker picker;
    KeyEditor keyEditor;
    Steps steps;

    Fixture() {
        std::vector<uint8_t> payload;
        VFileHeader header;
        const bool loaded = LoadVFile(kFactoryDocument, payload, header);
        Q_ASSERT(loaded && payload.size() <= flash.Image().size());
        std::copy(payload.begin(), payload.end(), flash.Image().begin());
    }

    std::unique_ptr<TSoftLCDFm> Open(int slot, EditorMode mode) {
        KeyInfo record;
        QString name;
        if (slot == kHomeSlot || slot == kMacroSlot) {
            record.keyType = kKeyDevice;
            record.link = uint8_t(slot);
            record.SetLabel(std::string(slot == kHomeSlot ? "Home " : "Macro"));
            name = slot == kHomeSlot ? QStringLiteral("Home ") : QStringLiteral("Macro");
        } else {
            for (const DeviceTreeNode& node : BuildDeviceTree(flash))
                if (node.key.link == slot) {
                    record = node.key;
                    name = QString::fromStdString(node.text);
                }
        }
        LayoutEditorServices services{flash, ui, host, host, host, &picker, &keyEditor, &steps, kProgramDir};
        auto editor = std::make_unique<TSoftLCDFm>(services, slot, mode, name, record);
        const bool ok = editor->LoadDevice();
        Q_ASSERT(ok);
        editor->show();
        return editor;
    }
};

QStringList Texts(const ScriptedUiServices& ui) {
    QStringList out;
    for (const auto& t : ui.MessageTexts()) out << QString::fromStdString(t);
    return out;
}

KeyCells CellsOf(const TSoftLCDFm& e, int key) {
    const KeyInfo& k = e.Layout().FindKey(key)->info;
    return {k.column, k.row, k.width, k.height};
}

// The soft key on `page` whose top-left cell is (column, row).
int KeyAt(const TSoftLCDFm& e, int page, int column, int row) {
    for (int n : e.Layout().KeysOnPage(page)) {
        const KeyInfo& k = e.Layout().FindKey(n)->info;
        if (k.column == column && k.row == row) return n;
    }
    return -1;
}

// The key whose picture lies on top of the others.
int TopPicture(const TSoftLCDFm& e) {
    int last = -1;
    for (QObject* c : e.SoftImage()->children())
        if (auto* l = qobject_cast<QLabel*>(c); l && l->property("keyNumber").isValid() && !l->isHidden())
            last = l->property("keyNumber").toInt();
    return last;
}

int SoftKeyCount(const TSoftLCDFm& e) {
    int n = 0;
    for (int k : e.Layout().KeyNumbers()) n += k >= kFirstSoftKey;
    return n;
}

QRect Rect(const EditorRect& r) { return QRect(r.left, r.top, r.width, r.height); }

// A drag with the left button: press at `from` (picture coordinates), then
// the pointer travels by `by` in steps of a few pixels, then the release.
// Each move is given in the picture's coordinates as they are when it comes,
// as the window system gives them.
void Drag(QLabel* picture, QPoint from, QPoint by) {
    const QPoint start = picture->mapToGlobal(from);
    QTest::mousePress(picture, Qt::LeftButton, {}, from);
    const int steps = std::max(1, std::max(std::abs(by.x()), std::abs(by.y())) / 5);
    for (int i = 1; i <= steps; ++i) {
        const QPoint global = start + QPoint(by.x() * i / steps, by.y() * i / steps);
        QTest::mouseMove(picture, picture->mapFromGlobal(global));
    }
    QTest::mouseRelease(picture, Qt::LeftButton, {}, picture->mapFromGlobal(start + by));
}

void RightPress(QWidget* w, QPoint at) {
    QTest::mousePress(w, Qt::RightButton, {}, at);
    QTest::mouseRelease(w, Qt::RightButton, {}, at);
}

}  // namespace

class LayoutEditorTest : public QObject {
    Q_OBJECT

private slots:
    void opensTheTvDeviceWithItsPagesTreeAndNames() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        QCOMPARE(e->windowTitle(), QStringLiteral("TV"));
        QCOMPARE(e->Layout().Page(), 0);
        QVERIFY(e->ModeBar()->isHidden());
        QVERIFY(e->StepPanel()->isHidden());
        QVERIFY(e->SoftKeyMenuAttached() && e->HardKeyMenuAttached());
        // Keys 0..5 are the hard keys; every soft key has a picture, and
        // exactly those of page 0 show.
        const std::vector<int> numbers = e->Layout().KeyNumbers();
        QVERIFY(numbers.size() > 20);
        for (int k = 0; k < kHardKeyCount; ++k) QVERIFY(e->Layout().FindKey(k));
        for (int n : numbers) {
            QLabel* picture = e->KeyPicture(n);
            QVERIFY2(picture, qPrintable(QString::number(n)));
            const KeyInfo& k = e->Layout().FindKey(n)->info;
            QCOMPARE(picture->isVisible(), k.page == 0);
            if (k.page < 8) QCOMPARE(picture->geometry(), Rect(KeyPictureRect(k)));
            QVERIFY(picture->accessibleName().startsWith(QStringLiteral("Key %1").arg(n)));
            QVERIFY(picture->toolTip().startsWith(QStringLiteral("Key %1, ").arg(n)));
            QCOMPARE(e->KeyState(n), kStateNormal);
        }
        QCOMPARE(e->KeyTree()->topLevelItem(0)->text(0), QStringLiteral("TV"));
        QCOMPARE(e->KeyTree()->topLevelItem(0)->childCount(), int(numbers.size()));
        QCOMPARE(e->HardKeyButton(0)->text(), QStringLiteral("Power"));
        QCOMPARE(e->HardKeyButton(0)->objectName(), QStringLiteral("m_SBtn00"));
        QCOMPARE(e->HardKeyButton(5)->text(), QStringLiteral("Mute"));
    }

    // The key list names each key by its number and what the LCD shows of
    // its label, icons by their words, so the two can be matched; the list
    // reads the same to a screen reader.
    void theKeyListNamesKeysByNumberAndWhatTheLcdShows() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        struct Row {
            int page, column, row;
            const char* shows;  // the TV template's labels
        };
        const Row rows[] = {{0, 0, 0, "1"},     {0, 2, 0, "2"},    {0, 2, 6, "0"}, {0, 0, 6, "-/--"},
                            {0, 4, 6, "PRE CH"}, {1, 0, 0, "MENU"}, {1, 2, 0, "up"}};
        QStringList expected;
        for (const Row& r : rows) {
            const int key = KeyAt(*e, r.page, r.column, r.row);
            QVERIFY2(key >= kFirstSoftKey, r.shows);
            expected << QStringLiteral("Key %1 \u2014 %2").arg(key).arg(QString::fromUtf8(r.shows));
        }
        e->ShowPage(7);
        e->m_AddButtonItClick();
        expected << QStringLiteral("Key %1 \u2014 New key").arg(e->Layout().Selected());

        QStringList listed;
        QTreeWidgetItem* root = e->KeyTree()->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) listed << root->child(i)->text(0);
        // What a screen reader reads of the list: the names of its cells.
        QStringList read;
        QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(e->KeyTree());
        QVERIFY(tree);
        for (int i = 0; i < tree->childCount(); ++i)
            if (QAccessibleInterface* cell = tree->child(i)) read << cell->text(QAccessible::Name);
        for (const QString& text : expected) {
            QVERIFY2(listed.contains(text), qPrintable(text + " not in " + listed.join(", ")));
            QVERIFY2(read.contains(text), qPrintable(text + " not read in " + read.join(", ")));
        }
        // Every key of the list carries its number first.
        for (const QString& text : listed) QVERIFY2(text.startsWith(QStringLiteral("Key ")), qPrintable(text));
    }

    // ---------------------------------------------------------- dragging
    void draggingByTheCentreMovesTheKeyByWholeCells() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        QVERIFY(key >= kFirstSoftKey);
        QLabel* picture = e->KeyPicture(key);
        Drag(picture, QPoint(34, 28), QPoint(36, 30));
        QCOMPARE(CellsOf(*e, key), (KeyCells{1, 1, 2, 2}));
        QCOMPARE(picture->geometry(), Rect(KeyPictureRect(1, 1, 2, 2)));
        QCOMPARE(e->Layout().Selected(), key);
        QCOMPARE(e->KeyState(key), kStateSelected);
        QCOMPARE(e->ModifiedMark(), uint8_t(16));
        QVERIFY(e->StatusText().contains(QStringLiteral("column 1, row 1, 2 x 2 cells")));
        QCOMPARE(TopPicture(*e), key);  // put down over its neighbours, not under them

        // A little move snaps back where it was.
        Drag(picture, QPoint(34, 28), QPoint(10, -8));
        QCOMPARE(CellsOf(*e, key), (KeyCells{1, 1, 2, 2}));
        // Far to the right: the column keeps the key inside the grid.
        Drag(picture, QPoint(34, 28), QPoint(150, 0));
        QCOMPARE(CellsOf(*e, key), (KeyCells{4, 1, 2, 2}));
    }

    void draggingACornerOrAnEdgeResizes() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        QLabel* picture = e->KeyPicture(key);
        // Bottom-right corner: one cell wider and higher.
        Drag(picture, QPoint(65, 53), QPoint(34, 28));
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 0, 3, 3}));
        QCOMPARE(picture->geometry(), Rect(KeyPictureRect(0, 0, 3, 3)));
        QCOMPARE(picture->size(), e->KeyPicture(key)->pixmap().size());
        // Right edge, in its middle: two cells wider, the height stays.
        Drag(picture, QPoint(picture->width() - 3, picture->height() / 2), QPoint(68, 0));
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 0, 5, 3}));
        // Bottom edge, in its middle: taller.
        Drag(picture, QPoint(picture->width() / 2, picture->height() - 3), QPoint(0, 56));
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 0, 5, 5}));
        // Top-left corner of another key: it grows up and left.
        const int other = KeyAt(*e, 0, 2, 2);
        QLabel* second = e->KeyPicture(other);
        Drag(second, QPoint(3, 3), QPoint(-34, -28));
        QCOMPARE(CellsOf(*e, other), (KeyCells{1, 1, 3, 3}));
        // Shrinking below two cells stops at two.
        Drag(second, QPoint(second->width() - 3, second->height() - 3), QPoint(-90, -80));
        QCOMPARE(CellsOf(*e, other), (KeyCells{1, 1, 2, 2}));
    }

    void aDragLeavingTheBoundsDoesNotMoveTheFrame() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        QLabel* picture = e->KeyPicture(key);
        const QPoint start = picture->mapToGlobal(QPoint(34, 28));
        QTest::mousePress(picture, Qt::LeftButton, {}, QPoint(34, 28));
        QCOMPARE(e->KeyState(key), kStatePressed);
        QTest::mouseMove(picture, picture->mapFromGlobal(start + QPoint(-100, 0)));  // left of -80
        QCOMPARE(picture->geometry(), Rect(KeyPictureRect(0, 0, 2, 2)));
        QTest::mouseMove(picture, picture->mapFromGlobal(start + QPoint(0, -20)));  // above 35
        QCOMPARE(picture->geometry(), Rect(KeyPictureRect(0, 0, 2, 2)));
        QTest::mouseRelease(picture, Qt::LeftButton, {}, QPoint(34, 28));
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 0, 2, 2}));
        QCOMPARE(e->ModifiedMark(), uint8_t(255));
    }

    void theMacroDeviceSelectsButDoesNotMoveKeys() {
        Fixture f;
        auto e = f.Open(kMacroSlot, ModeMacroDevice);
        QVERIFY(!e->HardKeyPanel()->isEnabled());
        QVERIFY(e->SoftKeyMenuAttached());
        QVERIFY(!e->HardKeyMenuAttached());
        const size_t keys = e->Layout().KeyCount();
        e->m_AddButtonItClick();  // does nothing in the Macro device
        QCOMPARE(e->Layout().KeyCount(), keys);
        QVERIFY(e->StatusText().contains(QStringLiteral("Macro device")));
        for (int n : e->Layout().KeysOnPage(0)) {
            const KeyCells before = CellsOf(*e, n);
            Drag(e->KeyPicture(n), QPoint(20, 20), QPoint(40, 40));
            QCOMPARE(e->Layout().Selected(), n);
            QCOMPARE(CellsOf(*e, n), before);
        }
    }

    // ---------------------------------------------------------- the menu
    void everyPopupEnablingCode() {
        Fixture f;
        auto tv = f.Open(kTv, ModeNormal);
        auto home = f.Open(kHomeSlot, ModeHomeDevice);
        const int ordinary = KeyAt(*tv, 0, 0, 0);
        int device = -1;
        for (int n : home->Layout().KeysOnPage(0))
            if (home->Layout().FindKey(n)->IsLinkedDeviceKey()) device = n;
        QVERIFY(device >= 0);

        struct Row {
            int code;
            bool add, properties, cut, paste, load, addDevice;
        };
        const Row table[] = {{100, true, false, false, false, false, true}, {110, true, true, false, true, false, true},
                             {200, false, true, true, false, false, false}, {210, false, true, true, true, false, false},
                             {300, false, true, true, false, true, false},  {310, false, true, true, true, true, false}};
        for (const Row& row : table) {
            f.host.filled = row.code % 100 == 10;
            TSoftLCDFm* e = row.code >= 300 ? home.get() : tv.get();
            if (row.code < 200) {
                RightPress(e->SoftImage(), QPoint(100, 20));  // the title area holds no key
            } else {
                const int key = row.code >= 300 ? device : ordinary;
                RightPress(e->KeyPicture(key), QPoint(20, 20));
                QCOMPARE(e->Layout().Selected(), key);
                QCOMPARE(e->KeyState(key), kStateSelected);
            }
            QCOMPARE(e->MenuCode(), row.code);
            QVERIFY(e->SoftKeyMenu()->isVisible());
            auto on = [&](const char* name) { return e->MenuItem(QString::fromLatin1(name))->isEnabled(); };
            QCOMPARE(on("m_AddButtonIt"), row.add);
            QCOMPARE(on("m_PropertiesIt"), row.properties);
            for (const char* name : {"m_CutIt", "m_CopyIt", "m_DeleteIt", "m_MoveToIt"})
                QCOMPARE(on(name), row.cut);
            QCOMPARE(on("m_PasteIt"), row.paste);
            QCOMPARE(on("m_LoadPreCodeIt"), row.load);
            QCOMPARE(on("m_AddDeviceIt"), row.addDevice);
            e->SoftKeyMenu()->hide();
        }
        // Hidden items stay hidden; the page items are named after their page.
        QVERIFY(!tv->MenuItem(QStringLiteral("m_SequenceIt"))->isVisible());
        QVERIFY(!tv->MenuItem(QStringLiteral("m_GotoIt"))->isVisible());
        QVERIFY(!tv->MenuItem(QStringLiteral("m_GridLineIt"))->isVisible());
        QCOMPARE(tv->MenuItem(QStringLiteral("m_Page8It"))->text(), QStringLiteral("Page 8"));
    }

    void addButtonUntilEverySoftKeyNumberIsUsed() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        e->ShowPage(7);
        int added = 0;
        while (SoftKeyCount(*e) < 58) {
            e->m_AddButtonItClick();
            const int key = e->Layout().Selected();
            QVERIFY(key >= kFirstSoftKey && key <= kLastSoftKey);
            QCOMPARE(int(e->Layout().FindKey(key)->info.page), 7);
            QVERIFY(e->KeyPicture(key)->isVisible());
            QCOMPARE(e->KeyState(key), kStateSelected);
            ++added;
        }
        QVERIFY(added > 0);
        const std::vector<int> before = e->Layout().KeyNumbers();
        QList<QTreeWidgetItem*> news =
            e->KeyTree()->findItems(QStringLiteral(" \u2014 New key"), Qt::MatchEndsWith | Qt::MatchRecursive);
        QCOMPARE(news.size(), added);

        // All 58 in use: Add Button, Paste and Add device do nothing but say why.
        e->m_AddButtonItClick();
        QCOMPARE(e->Layout().KeyNumbers(), before);
        QVERIFY(e->StatusText().contains(QStringLiteral("58")));
        e->m_CopyItClick();
        QVERIFY(f.host.filled);
        e->m_PasteItClick();
        QCOMPARE(e->Layout().KeyNumbers(), before);
        QVERIFY(e->StatusText().contains(QStringLiteral("58")));
        e->m_AddDeviceItClick();
        QCOMPARE(f.picker.calls, 0);
        QCOMPARE(e->Layout().KeyNumbers(), before);
        QVERIFY(e->StatusText().contains(QStringLiteral("58")));
        QVERIFY(f.ui.Messages().empty());
    }

    void cutCopyPasteAndDeleteOfDeviceKeysAreRefused() {
        Fixture f;
        auto home = f.Open(kHomeSlot, ModeHomeDevice);
        int device = -1;
        for (int n : home->Layout().KeyNumbers())
            if (home->Layout().FindKey(n)->IsLinkedDeviceKey()) device = n;
        QVERIFY(home->SelectKeyOnPage(device, kStateSelected));
        const std::vector<int> keys = home->Layout().KeyNumbers();
        home->m_CutItClick();
        home->m_CopyItClick();
        home->m_DeleteItClick();
        QCOMPARE(Texts(f.ui), (QStringList{QStringLiteral("You can't cut this device key !"),
                                           QStringLiteral("You can't copy device key !"),
                                           QStringLiteral("You can't delete this device key in there ! \n You can delete device in the Main TreeView ! ")}));
        for (const MessageRequest& m : f.ui.Messages()) QCOMPARE(int(m.buttons), int(MsgButtons::Yes));
        QCOMPARE(home->Layout().KeyNumbers(), keys);
        QVERIFY(!f.host.filled);

        // A device key that reaches the clipboard another way is pasted
        // with a device number of its own; a link above 64 becomes none.
        auto tv = f.Open(kTv, ModeNormal);
        f.host.SetKeyClipboard(orvalink::testing::DeviceKey("Box", 2));
        tv->m_PasteItClick();
        const KeyInfo& pasted = tv->Layout().SelectedKey()->info;
        QCOMPARE(int(pasted.link), f.host.FreeDeviceNumbers().front());
        f.host.SetKeyClipboard(orvalink::testing::DeviceKey("Far", 70));
        tv->m_PasteItClick();
        QCOMPARE(int(tv->Layout().SelectedKey()->info.link), 0xFF);
    }

    void cutCopyPasteAndDeleteOfAnOrdinaryKey() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 2, 0);
        QVERIFY(e->SelectKeyOnPage(key, kStateSelected));
        e->m_CopyItClick();
        QVERIFY(f.host.filled);
        QCOMPARE(int(f.host.held.keyNumber), key);

        // Paste on another page: the lowest free number, that page, selected.
        e->ShowPage(5);
        const int expected = e->Layout().LowestFreeKeyNumber();
        e->m_PasteItClick();
        const int pasted = e->Layout().Selected();
        QCOMPARE(pasted, expected);
        const KeyInfo& k = e->Layout().FindKey(pasted)->info;
        QCOMPARE(int(k.page), 5);
        QCOMPARE(int(k.ownerDevice), kTv);
        QCOMPARE(k.label, e->Layout().FindKey(key)->info.label);
        QVERIFY(e->KeyPicture(pasted)->isVisible());

        // Cut takes it off the LCD and the tree and onto the clipboard.
        const int treeBefore = e->KeyTree()->topLevelItem(0)->childCount();
        e->m_CutItClick();
        QVERIFY(!e->Layout().FindKey(pasted));
        QTRY_VERIFY(!e->KeyPicture(pasted));
        QCOMPARE(e->KeyTree()->topLevelItem(0)->childCount(), treeBefore - 1);
        QCOMPARE(int(f.host.held.keyNumber), pasted);

        // Delete of the original; a hard key (0) is never deleted.
        QVERIFY(e->SelectKeyOnPage(key, kStateSelected));
        e->m_DeleteItClick();
        QVERIFY(!e->Layout().FindKey(key));
        QVERIFY(e->SelectKeyOnPage(0, kStateSelected));
        e->m_DeleteItClick();
        QVERIFY(e->Layout().FindKey(0));
        QVERIFY(f.ui.Messages().empty());
    }

    void theKeyboardCutsCopiesPastesDeletesAndMoves() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        QTest::mouseClick(e->KeyPicture(key), Qt::LeftButton, {}, QPoint(30, 30));
        QApplication::setActiveWindow(e.get());
        e->SoftImage()->setFocus();
        QTRY_VERIFY(e->SoftImage()->hasFocus());
        QTest::keyClick(e->SoftImage(), Qt::Key_Right);
        QTest::keyClick(e->SoftImage(), Qt::Key_Down);
        QCOMPARE(CellsOf(*e, key), (KeyCells{1, 1, 2, 2}));
        QTest::keyClick(e->SoftImage(), Qt::Key_Left);
        QTest::keyClick(e->SoftImage(), Qt::Key_Left);  // clamped at column 0
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 1, 2, 2}));
        for (int i = 0; i < 10; ++i) QTest::keyClick(e->SoftImage(), Qt::Key_Down);
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 6, 2, 2}));
        QTest::keyClick(e->SoftImage(), Qt::Key_C, Qt::ControlModifier);
        QVERIFY(f.host.filled);
        QTest::keyClick(e->SoftImage(), Qt::Key_V, Qt::ControlModifier);
        const int pasted = e->Layout().Selected();
        QVERIFY(pasted != key && e->Layout().FindKey(pasted));
        QTest::keyClick(e->SoftImage(), Qt::Key_Delete);
        QVERIFY(!e->Layout().FindKey(pasted));
        QVERIFY(e->SelectKeyOnPage(key, kStateSelected));
        QTest::keyClick(e->SoftImage(), Qt::Key_X, Qt::ControlModifier);
        QVERIFY(!e->Layout().FindKey(key));
        QTest::keyClick(e->SoftImage(), Qt::Key_PageDown);
        QCOMPARE(e->Layout().Page(), 1);
        QTest::keyClick(e->SoftImage(), Qt::Key_PageUp);
        QTest::keyClick(e->SoftImage(), Qt::Key_PageUp);
        QCOMPARE(e->Layout().Page(), 7);
    }

    void moveToPageShowsThatPageWithTheKeySelected() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 4, 6);
        QVERIFY(e->SelectKeyOnPage(key, kStateSelected));
        e->MenuItem(QStringLiteral("m_Page3It"))->trigger();
        QCOMPARE(int(e->Layout().FindKey(key)->info.page), 2);
        QCOMPARE(e->Layout().Page(), 2);
        QCOMPARE(e->Layout().Selected(), key);
        QVERIFY(e->KeyPicture(key)->isVisible());
        QCOMPARE(e->KeyState(key), kStateSelected);
        e->ShowPage(0);
        QVERIFY(!e->KeyPicture(key)->isVisible());
    }

    void backgroundAndForegroundRestack() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 2, 2);
        QVERIFY(e->SelectKeyOnPage(key, kStateSelected));
        e->m_BackgroundItClick();
        QCOMPARE(e->Layout().KeyAt(0).Number(), key);
        e->m_ForegroundItClick();
        QCOMPARE(e->Layout().KeyAt(e->Layout().KeyCount() - 1).Number(), key);
        QCOMPARE(TopPicture(*e), key);
    }

    void propertiesHandTheKeyToTheKeyEditor() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 2);
        f.keyEditor.newLabel = "Zap";
        QTest::mouseDClick(e->KeyPicture(key), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(f.keyEditor.calls, 1);
        QCOMPARE(f.keyEditor.lastKey, key);
        QCOMPARE(f.keyEditor.last.editorMode, int(kEditSoftKey));
        QCOMPARE(f.keyEditor.last.freeKeyNumbers, e->Layout().FreeKeyNumbers());
        QCOMPARE(f.keyEditor.last.freeDevices, f.host.FreeDeviceNumbers());
        QCOMPARE(e->KeyPicture(key)->accessibleName(), QStringLiteral("Key %1 Zap").arg(key));
        QCOMPARE(e->ModifiedMark(), uint8_t(16));
        // A hard key opens in editor mode 200.
        QTest::mousePress(e->HardKeyButton(2), Qt::RightButton);
        QTest::mouseRelease(e->HardKeyButton(2), Qt::RightButton);
        QVERIFY(e->HardKeyMenu()->isVisible());
        e->HardKeyMenu()->hide();
        e->MenuItem(QStringLiteral("m_HardPropertiesIt"))->trigger();
        QCOMPARE(f.keyEditor.last.editorMode, int(kEditHardKey));
        QCOMPARE(f.keyEditor.lastKey, 2);

    }

    void hardKeysTakeTheirStateColours() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        QPushButton* power = e->HardKeyButton(0);
        QCOMPARE(e->HardKeyState(0), kStateNormal);
        QVERIFY(power->styleSheet().contains(QStringLiteral("rgb(192,192,192)")));
        QTest::mousePress(power, Qt::LeftButton);
        QCOMPARE(e->HardKeyState(0), kStatePressed);
        QVERIFY(power->styleSheet().contains(QStringLiteral("background-color: rgb(0,0,255); color: rgb(255,255,0)")));
        QTest::mouseRelease(power, Qt::LeftButton);
        QCOMPARE(e->HardKeyState(0), kStateSelected);
        QVERIFY(power->styleSheet().contains(QStringLiteral("background-color: rgb(255,0,0); color: rgb(255,255,255)")));
        QCOMPARE(e->Layout().Selected(), 0);
        // Another key takes the selection; Power goes back to silver.
        QTest::mousePress(e->HardKeyButton(5), Qt::RightButton);
        QTest::mouseRelease(e->HardKeyButton(5), Qt::RightButton);
        e->HardKeyMenu()->hide();
        QCOMPARE(e->HardKeyState(5), kStateSelected);
        QCOMPARE(e->HardKeyState(0), kStateNormal);
    }

    // ---------------------------------------------------------- save and cancel
    void saveWritesWhatReadKeyReadsBack() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        Drag(e->KeyPicture(key), QPoint(34, 28), QPoint(70, 58));
        e->ShowPage(6);
        e->m_AddButtonItClick();
        const int added = e->Layout().Selected();
        e->SoftKeyMenu()->hide();
        e->m_SaveBtnClick();
        QCOMPARE(Texts(f.ui), QStringList{QStringLiteral("Device save Ok !")});
        QCOMPARE(int(f.ui.Messages()[0].icon), int(MsgIcon::Information));
        QCOMPARE(f.host.stored, std::vector<int>{kTv});
        QVERIFY(!e->isVisible());
        KeyInfo k;
        QVERIFY(ReadKey(f.flash, kTv, key, k));
        QCOMPARE((KeyCells{k.column, k.row, k.width, k.height}), (KeyCells{2, 2, 2, 2}));
        QVERIFY(ReadKey(f.flash, kTv, added, k));
        QCOMPARE(int(k.page), 6);
        QCOMPARE((KeyCells{k.column, k.row, k.width, k.height}), (KeyCells{0, 0, 3, 2}));
    }

    void aFailedSaveLeavesTheImageByteForByte() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        orvalink::testing::FillStoreLeaving(f.flash, 0);  // no free block left anywhere
        e->m_AddButtonItClick();
        const std::vector<uint8_t> before = Bytes(f.flash);
        e->m_SaveBtnClick();
        QCOMPARE(Texts(f.ui), QStringList{QStringLiteral("Device save error !")});
        QCOMPARE(int(f.ui.Messages()[0].icon), int(MsgIcon::Error));
        QVERIFY(Bytes(f.flash) == before);
        QVERIFY(f.host.stored.empty());
        QVERIFY(e->isVisible());
        QVERIFY(e->StatusText().contains(QStringLiteral("does not fit")));
        QCOMPARE(e->ModifiedMark(), uint8_t(16));
    }

    void cancelDropsEveryChange() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const std::vector<uint8_t> before = Bytes(f.flash);
        Drag(e->KeyPicture(KeyAt(*e, 0, 0, 0)), QPoint(34, 28), QPoint(70, 58));
        e->m_AddButtonItClick();
        e->m_CancelBtnClick();
        QVERIFY(!e->isVisible());
        QVERIFY(Bytes(f.flash) == before);
        QVERIFY(f.host.stored.empty());
        QVERIFY(f.ui.Messages().empty());
        QCOMPARE(e->ModifiedMark(), uint8_t(255));
        // Cancel in the Home device does nothing.
        auto home = f.Open(kHomeSlot, ModeHomeDevice);
        home->m_CancelBtnClick();
        QVERIFY(home->isVisible());
    }

    // ---------------------------------------------------------- pages
    void thePageStripWrapsBothWays() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        QWidget* lcd = e->SoftImage();
        QTest::mouseClick(lcd, Qt::LeftButton, {}, QPoint(30, 300));  // previous
        QCOMPARE(e->Layout().Page(), 7);
        for (int n : e->Layout().KeyNumbers())
            QCOMPARE(e->KeyPicture(n)->isVisible(), int(e->Layout().FindKey(n)->info.page) == 7);
        QTest::mouseClick(lcd, Qt::LeftButton, {}, QPoint(160, 300));  // next
        QCOMPARE(e->Layout().Page(), 0);
        QTest::mouseClick(lcd, Qt::LeftButton, {}, QPoint(160, 275));  // above the strip
        QCOMPARE(e->Layout().Page(), 0);
        QTest::mouseClick(lcd, Qt::LeftButton, {}, QPoint(100, 300));  // between the arrows
        QCOMPARE(e->Layout().Page(), 0);
        QTest::mouseClick(lcd, Qt::LeftButton, {}, QPoint(160, 300));
        QCOMPARE(e->Layout().Page(), 1);
    }

    void transparentModeLeavesHardKeysAlone() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        QAction* item = e->MenuItem(QStringLiteral("m_TransparentIt"));
        QCOMPARE(item->text(), QStringLiteral("Turn transparent mode ON"));
        item->trigger();
        QVERIFY(e->TransparentMode());
        QCOMPARE(item->text(), QStringLiteral("Turn transparent mode OFF"));
        for (int n : e->Layout().KeyNumbers()) QCOMPARE(e->KeyTransparent(n), n >= kFirstSoftKey);
        // The grid shows through a key's white.
        const int key = KeyAt(*e, 0, 0, 0);
        const QImage lcd = e->SoftImage()->grab().toImage();
        const QImage picture = e->KeyPicture(key)->pixmap().toImage();
        QCOMPARE(qAlpha(picture.pixel(picture.width() / 2, 2)), 0);
        QCOMPARE(lcd.pixelColor(34, 50), QColor(192, 192, 192));  // a grid line under the key's corner
        item->trigger();
        QCOMPARE(item->text(), QStringLiteral("Turn Transparent mode ON"));
        for (int n : e->Layout().KeyNumbers()) QVERIFY(!e->KeyTransparent(n));
        // The grid line item draws the grid white.
        e->MenuItem(QStringLiteral("m_GridLineIt"))->trigger();
        QVERIFY(!e->GridShown());
        const QImage plain = e->SoftImage()->grab().toImage();
        QCOMPARE(plain.pixelColor(0, 100), QColor(Qt::white));
        QCOMPARE(lcd.pixelColor(0, 100), QColor(192, 192, 192));
    }

    // ---------------------------------------------------------- macro steps
    void recordingStepsAndTheSixtyFirstStep() {
        Fixture f;
        auto e = f.Open(kTv, ModeStepEdit);
        QVERIFY(!e->StepPanel()->isHidden());
        QVERIFY(e->DelayBox()->isEnabled());
        QCOMPARE(e->RightPanel()->width(), 595);
        QVERIFY(!e->SoftKeyMenuAttached() && !e->HardKeyMenuAttached());
        QVERIFY(!e->SetStepCursor({65, 0, 0, 1, 0, kStepNew}));  // a device above 64
        QVERIFY(e->SetStepCursor({kTv, 0, 0, 3, 2, kStepNew}));
        e->DelayBox()->setCurrentText(QStringLiteral("4"));
        const int key = KeyAt(*e, 0, 2, 2);
        QTest::mouseClick(e->KeyPicture(key), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(f.steps.taken.size(), size_t(1));
        QCOMPARE(f.steps.taken[0], (MacroStepCursor{kTv, uint8_t(key), 4, 3, 2, kStepNew}));
        QCOMPARE(e->StepCursor().step, 4);
        QCOMPARE(e->StepCursor().total, 3);
        QCOMPARE(CellsOf(*e, key), (KeyCells{2, 2, 2, 2}));  // step windows never move keys
        QCOMPARE(f.steps.delays.back(), (std::pair<int, std::string>{3, "4"}));
        // A hard key records a step too.
        QTest::mouseClick(e->HardKeyButton(1), Qt::LeftButton);
        QCOMPARE(f.steps.taken.back().key, 1);

        // With 60 steps the next click says so, then saves and closes.
        QVERIFY(e->SetStepCursor({kTv, 0, 0, 61, 60, kStepNew}));
        QTest::mouseClick(e->KeyPicture(key), Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(Texts(f.ui), QStringList{QStringLiteral("Out of MACRO steps ! ( Max step is 60 step ) ")});
        QCOMPARE(f.steps.taken.size(), size_t(2));
        QCOMPARE(f.steps.shown, 1);
        QVERIFY(!e->isVisible());
        QVERIFY(f.host.stored.empty());  // a step window stores nothing
    }

    void stepViewWalksThroughTheStepsWithWrap() {
        Fixture f;
        auto e = f.Open(kTv, ModeStepView);
        QVERIFY(!e->DelayBox()->isEnabled());
        QVERIFY(!e->HardKeyPanel()->isEnabled());
        QVERIFY(!e->DeviceTree()->isHidden());
        const int tvKey = KeyAt(*e, 1, 2, 2);
        f.steps.stored[1] = {kTv, uint8_t(tvKey), 0, 1, 0, 0};
        f.steps.stored[2] = {0, 0, 2, 2, 0, 0};   // Power of Home
        QVERIFY(e->SetStepCursor({kTv, 0, 0, 1, 2, kStepSelect}));
        e->m_UpBtnClick();  // 1 wraps to 2
        QCOMPARE(e->StepCursor().step, 2);
        QCOMPARE(e->Slot(), 0);
        QCOMPARE(e->windowTitle(), QStringLiteral("Home "));
        QCOMPARE(e->Layout().Selected(), 0);
        e->m_DownBtnClick();  // 2 wraps to 1
        QCOMPARE(e->StepCursor().step, 1);
        QCOMPARE(e->Slot(), kTv);
        QCOMPARE(e->Layout().Selected(), tvKey);
        QCOMPARE(e->Layout().Page(), 1);
        // The device tree loads a device too.
        QTreeWidgetItem* home = e->DeviceTree()->topLevelItem(0);
        QCOMPARE(home->text(0), QStringLiteral("Home "));
        e->m_devTViewClick(home);
        QCOMPARE(e->Slot(), 0);
        e->m_devTViewClick(home->child(0));
        QCOMPARE(e->Slot(), int(home->child(0)->data(0, Qt::UserRole + 2).toInt()));
        e->m_CancelBtnClick();
        QCOMPARE(f.steps.shown, 1);
        QVERIFY(!e->isVisible());
    }

    // ---------------------------------------------------------- undo
    void undoAndRedoOfADragAnAddAndADelete() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        const int key = KeyAt(*e, 0, 0, 0);
        QVERIFY(!e->CanUndo());
        Drag(e->KeyPicture(key), QPoint(34, 28), QPoint(70, 58));  // many moves, one step
        QCOMPARE(CellsOf(*e, key), (KeyCells{2, 2, 2, 2}));
        e->m_AddButtonItClick();
        const int added = e->Layout().Selected();
        const int deleted = KeyAt(*e, 0, 4, 4);
        QVERIFY(e->SelectKeyOnPage(deleted, kStateSelected));
        e->m_DeleteItClick();
        QVERIFY(!e->KeyPicture(deleted) || !e->Layout().FindKey(deleted));

        QVERIFY(e->Undo());  // the delete
        QVERIFY(e->Layout().FindKey(deleted));
        QVERIFY(e->KeyPicture(deleted)->isVisible());
        QVERIFY(e->Undo());  // the add
        QVERIFY(!e->Layout().FindKey(added));
        QVERIFY(e->Undo());  // the drag
        QCOMPARE(CellsOf(*e, key), (KeyCells{0, 0, 2, 2}));
        QCOMPARE(e->KeyPicture(key)->geometry(), Rect(KeyPictureRect(0, 0, 2, 2)));
        QVERIFY(!e->Undo());
        QVERIFY(e->Redo());
        QCOMPARE(CellsOf(*e, key), (KeyCells{2, 2, 2, 2}));
        QCOMPARE(e->KeyPicture(key)->geometry(), Rect(KeyPictureRect(2, 2, 2, 2)));
        QVERIFY(e->Redo());
        QVERIFY(e->Layout().FindKey(added));
        QVERIFY(e->KeyPicture(added));
        QVERIFY(e->Redo());
        QVERIFY(!e->Layout().FindKey(deleted));
        QVERIFY(!e->Redo());
    }

    // ---------------------------------------------------------- pre-program codes
    void addingADeviceFromAPreProgramCode() {
        Fixture f;
        auto home = f.Open(kHomeSlot, ModeHomeDevice);
        const std::vector<int> free = f.host.FreeDeviceNumbers();
        QVERIFY(!free.empty());
        f.picker.answer = false;  // nothing chosen: nothing happens
        home->m_AddDeviceItClick();
        QCOMPARE(f.picker.calls, 1);
        QVERIFY(f.host.fills.empty());
        f.picker.answer = true;
        f.picker.code = 1536;
        home->m_AddDeviceItClick();
        const int key = home->Layout().Selected();
        const KeyInfo& k = home->Layout().FindKey(key)->info;
        QCOMPARE(int(k.keyType), int(kKeyDevice));
        QCOMPARE(int(k.link), free.front());
        QCOMPARE(int(k.codeNumber), 1536);
        QCOMPARE(int(k.flags), 14);
        // Saved at once, then filled from the code.
        KeyInfo stored;
        QVERIFY(ReadKey(f.flash, kHomeSlot, key, stored));
        QCOMPARE(int(stored.link), free.front());
        QCOMPARE(f.host.stored, std::vector<int>{kHomeSlot});
        QCOMPARE(f.host.fills, (std::vector<std::pair<int, uint16_t>>{{free.front(), 1536}}));
        QVERIFY(home->isVisible());
        QCOMPARE(home->ModifiedMark(), uint8_t(255));
    }

    void loadingAPreProgramCodeIntoADeviceKey() {
        Fixture f;
        auto home = f.Open(kHomeSlot, ModeHomeDevice);
        int device = -1;
        for (int n : home->Layout().KeyNumbers())
            if (home->Layout().FindKey(n)->IsLinkedDeviceKey()) device = n;
        QVERIFY(home->SelectKeyOnPage(device, kStateSelected));
        const int link = home->Layout().FindKey(device)->info.link;
        f.ui.AnswerNextMessage(MsgAnswer::Cancel);
        home->m_LoadPreCodeItClick();
        QCOMPARE(f.picker.calls, 0);
        f.ui.AnswerNextMessage(MsgAnswer::Yes);
        home->m_LoadPreCodeItClick();
        QCOMPARE(f.host.fills, (std::vector<std::pair<int, uint16_t>>{{link, 1152}}));
        QCOMPARE(Texts(f.ui).last(), QStringLiteral("Load pre-program code ok !"));
        f.host.fillResult = LayoutHost::CodeFill::Failed;
        f.ui.AnswerNextMessage(MsgAnswer::Yes);
        home->m_LoadPreCodeItClick();
        QCOMPARE(Texts(f.ui).last(), QStringLiteral("Load pre-program code error !"));
        QCOMPARE(Texts(f.ui).first(), QStringLiteral("Would you want to delete all of key and child divice ?"));
    }

    // ---------------------------------------------------------- the picture
    // The LCD of the editor against orvalink-cli render of the same device
    // and page. The editor places each key picture 2 pixels right and 1 lower
    // than the render's sheet (it sits inside the grid's double lines), and
    // draws what the sheet leaves out: the grid, the blue line under the
    // title, the page strip and the page label. Keys and title must be equal
    // pixel for pixel.
    void theLcdMatchesTheCommandLineRender() {
        Fixture f;
        auto e = f.Open(kTv, ModeNormal);
        QTemporaryDir dir;
        const QString sheetPath = dir.filePath(QStringLiteral("tv.png"));
        QProcess cli;
        cli.start(QString::fromUtf8(ORVALINK_CLI_PROGRAM),
                  {QStringLiteral("render"), QString::fromStdString(kFactoryDocument.string()), QStringLiteral("1"), sheetPath});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QImage sheet(sheetPath);
        QVERIFY(!sheet.isNull());
        const int gap = 12;
        const QImage rendered = sheet.copy(gap, gap, 208, 320).convertToFormat(QImage::Format_RGB32);
        const QImage shown = e->SoftImage()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), QSize(kLcdPictureWidth, kLcdPictureHeight));

        const QRect title(49, 3, 110, 40);
        QCOMPARE(shown.copy(title), rendered.copy(title));
        const std::vector<int> page0 = e->Layout().KeysOnPage(0);
        QVERIFY(page0.size() >= 12);
        for (int n : page0) {
            const KeyInfo& k = e->Layout().FindKey(n)->info;
            const QRect inEditor = Rect(KeyPictureRect(k));
            const QRect inSheet = Rect(KeyRect(k));
            QVERIFY2(shown.copy(inEditor) == rendered.copy(inSheet), qPrintable(QStringLiteral("key %1").arg(n)));
        }
        // What the sheet does not draw: the grid's first line and the strip.
        QCOMPARE(shown.pixelColor(0, 100), QColor(192, 192, 192));
        QCOMPARE(shown.pixelColor(100, 43), QColor(0, 0, 255));
    }

    // "Import codes…": the import table as the user leaves it decides what
    // goes in, as one undo step; Cancel changes nothing.
    void importCodesWritesTheTablesChoiceAsOneUndoStep() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tv.ir"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("Filetype: IR signals file\nVersion: 1\n");
        for (const auto& [name, command] : {std::pair{"Power", "08"}, {"Vol_up", "02"}, {"Netflix", "28"}})
            file.write(QStringLiteral("#\nname: %1\ntype: parsed\nprotocol: NEC\naddress: 04 00 00 00\n"
                                      "command: %2 00 00 00\n").arg(QLatin1String(name), QLatin1String(command))
                           .toUtf8());
        file.close();
        // The function each key's code decodes to, -1 for none.
        auto functions = [](const TSoftLCDFm& e) {
            std::map<int, int> out;
            for (int key : {0, 1, 6}) {
                IrCodeInfo code;
                const auto decoded = KeyIrCode(e.Layout().FindKey(key)->info, code)
                                         ? DecodeIr(ProntoOfCode(code).once)
                                         : std::nullopt;
                out[key] = decoded && decoded->device == 4 ? int(decoded->function) : -1;
            }
            return out;
        };
        const struct {
            const char* what;
            std::function<void(TCodeImportFm&)> user;
            bool accept;
            std::map<int, int> after;  // key -> function
        } rows[] = {
            {"cancelled", [](TCodeImportFm&) {}, false, {}},
            {"as proposed", [](TCodeImportFm&) {}, true, {{0, 8}, {1, 2}, {6, -1}}},
            // Stepping Netflix's box down to the digit 1 key passes Power's and
            // Vol_up's keys: only the key it stops at changes hands.
            {"Netflix stepped to key 6",
             [](TCodeImportFm& d) {
                 for (int item = 1; item <= 7; ++item) d.ChooseKey(2, item);
             },
             true, {{0, 8}, {1, 2}, {6, 40}}},
        };
        for (const auto& row : rows) {
            Fixture f;
            auto tv = f.Open(1, ModeNormal);
            const std::map<int, int> before = functions(*tv);
            f.ui.ChooseNext(path.toStdString());
            bool shown = false;
            QTimer::singleShot(0, [&] {
                auto* dialog = qobject_cast<TCodeImportFm*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->m_SignalTable->rowCount(), 3);
                shown = true;
                row.user(*dialog);
                row.accept ? dialog->accept() : dialog->reject();
            });
            tv->m_ImportCodesItClick();
            QVERIFY2(shown, row.what);
            QCOMPARE(functions(*tv), row.accept ? row.after : before);
            QCOMPARE(tv->Layout().CanUndo(), row.accept);
            if (!row.accept) continue;
            QVERIFY(tv->Undo());
            QCOMPARE(functions(*tv), before);
            QVERIFY(!tv->Layout().CanUndo());
        }
    }
};

QTEST_MAIN(LayoutEditorTest)
#include "LayoutEditorTest.moc"
