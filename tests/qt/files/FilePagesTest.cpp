// The file page's controls drive the commands: buttons by their captions,
// the model lists and typed versions as the user leaves them, dialogs and
// boxes answered by the scripted UiServices.
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "formats/ServiceFileCommands.h"
#include "formats/XFiles.h"
#include "image/Tiflashut.h"
#include "link/qt/FilePages.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

struct Page {
    QTemporaryDir dir;
    ScriptedUiServices ui;
    FixedClock clock{1780000123, LocalDate{2026, 6, 7}};
    TTiFlashFm image;
    TFlashFm older;
    FilePages page{fs::path(dir.path().toStdString()), ui, clock, image, older};

    fs::path Folder() const { return fs::path(dir.path().toStdString()); }
    QPushButton* ButtonOf(const QString& caption, int which = 0) {
        int seen = 0;
        for (QPushButton* b : page.findChildren<QPushButton*>())
            if (b->text() == caption && seen++ == which) return b;
        return nullptr;
    }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(Folder() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<uint8_t> Get(const std::string& name) {
        std::ifstream in(Folder() / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void SelectModel(QListWidget* list, const QString& form) {
        const auto items = list->findItems(form, Qt::MatchExactly);
        QVERIFY(!items.isEmpty());
        list->setCurrentItem(items.first());
    }
};

}  // namespace

class FilePagesTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlIsNamedAndTheListsHoldTheModels() {
        Page p;
        for (QWidget* w : p.page.findChildren<QWidget*>()) {
            if (qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w) || qobject_cast<QListWidget*>(w))
                QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->metaObject()->className()));
        }
        QCOMPARE(p.page.FlashModelList()->count(), 26);
        QCOMPARE(p.page.McuModelList()->item(0)->text(), QStringLiteral("QM-1400"));
        for (const char* caption : {"UnSec", "SetSMcf", "SetSMod", "Load *.BIN file", "Load *.MCF file", "Make XMCF",
                                    "Make XMCU", "Load VC SBin", "Make VC Sbin", "KDT 2 Txt", "Write"})
            QVERIFY2(p.ButtonOf(QString::fromLatin1(caption)), caption);
        QVERIFY(p.ButtonOf(QStringLiteral("Make VC Sbin"), 1));

        // A picture of the page, for a person to look at.
        const QByteArray shots = qgetenv("ORVALINK_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            p.page.resize(640, 460);
            p.page.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/file-page.png"));
        }
    }

    void setSModButtonWritesTheSecurityModule() {
        Page p;
        std::vector<uint8_t> mod(200, 0);
        for (int i = 0; i < 128; ++i) mod[size_t(i)] = 0xFF;
        mod[0] = mod[1] = 0;
        mod[192] = 1;
        p.Put("m.mod", mod);
        p.ui.ChooseNext((p.Folder() / "m.mod").string());
        p.ButtonOf(QStringLiteral("SetSMod"))->click();
        QVERIFY(fs::exists(p.Folder() / "m.smod"));
        p.ui.ChooseNext((p.Folder() / "m.smod").string());
        fs::remove(p.Folder() / "m.mod");
        p.ButtonOf(QStringLiteral("UnSec"))->click();
        QVERIFY(p.Get("m.mod") == mod);
    }

    void versionDoubleClickShowsBothBytes() {
        Page p;
        p.page.McuVersionEdit()->setText(QStringLiteral("2.17"));
        QTest::mouseDClick(p.page.McuVersionEdit(), Qt::LeftButton);
        QVERIFY(!p.ui.Messages().empty());
        QCOMPARE(p.ui.MessageTexts().back(), std::string("Ver Hi = [2]    Lo = [17]"));
    }

    void makeXmcuTakesTheListedModelAndVersion() {
        Page p;
        p.Put("fw.bin", std::vector<uint8_t>(40000, 0x5A));
        p.ui.ChooseNext((p.Folder() / "fw.bin").string());
        p.ButtonOf(QStringLiteral("Load *.BIN file"))->click();
        p.SelectModel(p.page.McuModelList(), QStringLiteral("QM-2300_A"));
        p.page.McuVersionEdit()->setText(QStringLiteral("1.09"));
        const std::string made = (p.Folder() / "QM-2300_A_v1_09__0607.xmcu").string();
        p.ui.ChooseNext(made);
        p.ButtonOf(QStringLiteral("Make XMCU"))->click();
        QCOMPARE(p.ui.MessageTexts().back(), "Make XFile Ok ! \n  Path: " + made);
        std::vector<uint8_t> back;
        XFileHeader header;
        uint8_t kind = 0;
        QVERIFY(ReadXFile(made, back, header, kind).Ok());
        QCOMPARE(back.size(), size_t(32768));  // below model code 1200
        // QM-2300_A is row 4 of the list: X model 4, "Pallas".
        QCOMPARE(header.ModelText(), std::string("Pallas"));
    }

    void writeWithoutAModelAsksForOne() {
        Page p;
        p.page.FlashModelList()->setCurrentRow(-1);
        p.ButtonOf(QStringLiteral("Write"))->click();
        QCOMPARE(p.ui.MessageTexts().back(), std::string("Please Select Model first !"));
        QCOMPARE(p.ui.Messages().back().icon, MsgIcon::Information);
    }
};

QTEST_MAIN(FilePagesTest)
#include "FilePagesTest.moc"
