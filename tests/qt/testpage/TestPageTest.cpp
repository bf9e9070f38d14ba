// The serial test page and the loop-back page as a technician uses them,
// against the virtual remote (or the virtual jig) on a pseudo-terminal.
#include <QComboBox>
#include <QGlyphRun>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRawFont>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextLayout>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "link/LinkTraceReport.h"
#include "link/PacketProtocol.h"
#include "link/qt/TestPage.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"
#include "support/RemoteSimProcess.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> OlderPattern(uint8_t seed) {
    std::vector<uint8_t> f(kOlderFlashSize);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 7 + seed + i / 128);
    return f;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// With ORVALINK_TESTPAGE_SHOTS set, the window's pages are saved there as
// pictures (to be looked at; nothing is compared).
void SaveShots(TComTestFm& window, const QString& name) {
    const QString folder = qEnvironmentVariable("ORVALINK_TESTPAGE_SHOTS");
    if (folder.isEmpty()) return;
    auto* pages = window.findChild<QTabWidget*>();
    if (!pages) return;
    window.resize(900, 620);
    window.show();
    for (int i = 0; i < pages->count(); ++i) {
        pages->setCurrentIndex(i);
        QTest::qWait(200);
        window.grab().save(folder + QStringLiteral("/%1-%2.png").arg(name, pages->tabText(i)));
    }
    window.hide();
}

int HexBytesIn(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("\\b[0-9A-F]{2} "));
    int n = 0;
    for (auto it = hex.globalMatch(text); it.hasNext(); it.next()) ++n;
    return n;
}

}  // namespace

class TestPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess sim_;
    QString pty_;
    fs::path folder_;

    fs::path Dir() const { return fs::path(dir_.path().toStdString()); }
    fs::path OlderFlashFile() const { return Dir() / "older.flash"; }

    bool StartSim(const QStringList& extra = {}) {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, QString::fromStdString((Dir() / "remote.flash").string()),
                                       QStringList{"--older-flash", QString::fromStdString(OlderFlashFile().string())} + extra,
                                       pty_);
    }

    struct Rig {
        ScriptedUiServices ui;
        FixedClock clock;
        TTiFlashFm flash;
        SysfsRegistry registry;
        TComTestFm comTest;
        TSerialTestPage* page = nullptr;
        Rig(const fs::path& folder, const QString& port) : comTest(folder, ui, clock, flash, registry) {
            clock.Set(1'765'000'000);
            registry.AddPortEntry(port.toStdString() + "=COM3");
            page = comTest.findChild<TSerialTestPage*>();
        }
        QString LastText() const {
            const auto t = ui.MessageTexts();
            return t.empty() ? QString() : QString::fromStdString(t.back());
        }
        // The serial test page in view (its monitor running), and out of it.
        void OpenPage() {
            comTest.findChild<QTabWidget*>()->setCurrentWidget(page);
            comTest.show();
        }
        void ClosePage() { comTest.hide(); }
        // The loop-back test as the user runs it: ACTION, then the timer decides.
        void RunLoop() {
            page->ActBtn->click();
            QTRY_VERIFY_WITH_TIMEOUT(page->ActBtn->isEnabled(), 15000);
        }
    };

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = Dir() / "program";
        fs::create_directories(folder_ / "Mcf");
        fs::copy_file(fs::path(ORVALINK_PROGRAM_DIR) / "type.ini", folder_ / "type.ini");
    }
    void cleanup() {
        testing::StopRemoteSim(sim_);
        fs::remove_all(folder_);
        fs::remove(OlderFlashFile());
    }

    void recv256ShowsItsBytesAndSaveWritesThemBesideABackup() {
        const auto remote = OlderPattern(3);
        WriteFile(OlderFlashFile(), remote);
        QVERIFY(StartSim());
        Rig rig(folder_, pty_);
        QVERIFY(rig.page);
        rig.page->Memo1->setPlainText(QStringLiteral("note"));
        rig.page->m_NRecvTBtn->click();
        QVERIFY2(rig.ui.MessageTexts().empty(), qPrintable(rig.LastText()));
        QCOMPARE(rig.page->TransferBuffer(), remote);
        QCOMPARE(rig.page->FlashFileData(), remote);
        QVERIFY(!rig.comTest.Link().Port().IsOpen());

        // The monitor echoes what was sent, and starts over every 2048 bytes
        // (the read sends far more than that).
        const QString monitor = rig.page->Receive1Mo->toPlainText();
        QVERIFY(monitor.contains(QStringLiteral("Receive Packet Ok!")));
        QVERIFY(monitor.contains(QStringLiteral("06 ")));
        QVERIFY(HexBytesIn(monitor) > 0);
        QVERIFY(HexBytesIn(monitor) <= 2048);
        rig.page->m_ClearViewBtn->click();
        QVERIFY(rig.page->Receive1Mo->toPlainText().isEmpty());
        QVERIFY(rig.page->Memo1->toPlainText().isEmpty());

        const fs::path target = folder_ / "Mcf" / "Flash256Mem.mcf";
        WriteFile(target, {1, 2, 3});
        rig.ui.ChooseNext(target.string());
        rig.page->m_SaveFTBtn->click();
        QCOMPARE(rig.ui.Dialogs().back().proposedName, std::string("Flash256Mem.mcf"));
        QCOMPARE(ReadFile(target), remote);
        QCOMPARE(ReadFile(folder_ / "Mcf" / "Flash256Mem.BAK"), (std::vector<uint8_t>{1, 2, 3}));
        QVERIFY(rig.ui.MessageTexts().empty());

        // A folder that is not there: the system's message, nothing written.
        rig.ui.ChooseNext((folder_ / "missing" / "x.mcf").string());
        rig.page->m_SaveFTBtn->click();
        QCOMPARE(rig.LastText(),
                 QStringLiteral("Can't perform one of the following file operations: Open, Create Write, Close."));
        QVERIFY(!fs::exists(folder_ / "missing"));
    }

    // "Save trace..." writes what the monitor shows as a link trace: the bytes
    // sent since it last started over, with the remote's answers between.
    void saveTraceWritesWhatTheMonitorShows() {
        WriteFile(OlderFlashFile(), OlderPattern(5));
        QVERIFY(StartSim());
        Rig rig(folder_, pty_);
        QCOMPARE(rig.page->m_SaveTraceBtn->accessibleName(), QStringLiteral("Save trace"));
        rig.OpenPage();
        rig.page->m_NRecvTBtn->click();
        QVERIFY2(rig.ui.MessageTexts().empty(), qPrintable(rig.LastText()));

        const fs::path target = folder_ / "monitor.trace";
        rig.ui.ChooseNext(target.string());
        rig.page->m_SaveTraceBtn->click();
        QCOMPARE(rig.ui.Dialogs().back().proposedName, std::string("link.trace"));
        QVERIFY2(rig.ui.MessageTexts().empty(), qPrintable(rig.LastText()));
        const auto bytes = ReadFile(target);
        const TraceReading reading = ReadLinkTrace(std::string(bytes.begin(), bytes.end()));
        QVERIFY2(reading.ok, reading.error.c_str());
        QVERIFY(reading.summary.bytesReceived > 0);
        QCOMPARE(int(reading.summary.bytesSent), HexBytesIn(rig.page->Receive1Mo->toPlainText()));

        // After Clear View there is nothing to save, and no file is asked for.
        rig.page->m_ClearViewBtn->click();
        const size_t dialogs = rig.ui.Dialogs().size();
        rig.page->m_SaveTraceBtn->click();
        QCOMPARE(rig.LastText(), QStringLiteral("The monitor shows no link conversation to save."));
        QCOMPARE(rig.ui.Dialogs().size(), dialogs);
    }

    // The monitor's memory records only while the page is in view, the file
    // only while Tools > Record link trace is on; with neither nothing is
    // recorded at all. Whenever the page is in view its monitor and its
    // trace tell the same.
    void recordingFollowsThePageAndTheMenu_data() {
        QTest::addColumn<int>("page");  // 0 never opened, 1 open, 2 opened and closed again
        QTest::addColumn<bool>("menu");
        QTest::addColumn<bool>("inMemory");
        QTest::newRow("closed") << 0 << false << false;
        QTest::newRow("closed, menu") << 0 << true << false;
        QTest::newRow("open") << 1 << false << true;
        QTest::newRow("open, menu") << 1 << true << true;
        QTest::newRow("closed again") << 2 << false << false;
        QTest::newRow("closed again, menu") << 2 << true << false;
    }
    void recordingFollowsThePageAndTheMenu() {
        QFETCH(int, page);
        QFETCH(bool, menu);
        QFETCH(bool, inMemory);
        QVERIFY(StartSim());
        Rig rig(folder_, pty_);
        if (page >= 1) rig.OpenPage();
        if (page == 2) rig.ClosePage();
        QCOMPARE(rig.comTest.MonitorRunning(), page == 1);
        const fs::path file = folder_ / "menu.trace";
        std::string why;
        if (menu) QVERIFY2(rig.comTest.StartLinkTrace(file.string(), why), why.c_str());
        QCOMPARE(rig.comTest.Link().Trace().Recording(), inMemory || menu);

        QVERIFY(rig.comTest.EnsureLinkPort());
        const std::vector<uint8_t> sent{0x5A, 0x5B, 0x5C};
        QVERIFY(rig.comTest.Link().Channel().SendBytes(sent));
        rig.comTest.CloseLinkPort();
        const std::string line = "bytes 5A 5B 5C\n";

        QCOMPARE(rig.comTest.MonitorTrace().Text().find(line) != std::string::npos, inMemory);
        if (menu) {
            QVERIFY2(rig.comTest.StopLinkTrace(why), why.c_str());
            const auto bytes = ReadFile(file);
            QVERIFY(std::string(bytes.begin(), bytes.end()).find(line) != std::string::npos);
        }
        QVERIFY(!fs::exists(file) || menu);

        // In view again, the monitor shows the exchange only where its trace holds it.
        rig.OpenPage();
        QCOMPARE(HexBytesIn(rig.page->Receive1Mo->toPlainText()), inMemory ? int(sent.size()) : 0);
        QCOMPARE(rig.comTest.MonitorTrace().Empty(), !inMemory);
        rig.ClosePage();
    }

    void send256WritesTheOlderFlash() {
        WriteFile(OlderFlashFile(), OlderPattern(3));
        QVERIFY(StartSim());
        const auto data = OlderPattern(77);
        {
            Rig rig(folder_, pty_);
            rig.page->FlashFileData() = data;
            int gaugeTop = 0;
            QObject::connect(rig.page->m_CGue, &QProgressBar::valueChanged, [&](int v) { gaugeTop = std::max(gaugeTop, v); });
            rig.page->m_NSendTBtn->click();
            // The gauge followed the packets and is back at 0.
            QVERIFY(gaugeTop > 0);
            QVERIFY(gaugeTop <= int(kOlderFlashSize));
            QCOMPARE(rig.page->m_CGue->value(), 0);
            QCOMPARE(rig.LastText(), QStringLiteral("Upgrade Flash Memory Sucess !"));
            QVERIFY(rig.page->m_NSendTBtn->isEnabled());
            QVERIFY(rig.page->Receive1Mo->toPlainText().contains(QStringLiteral("Send 2048 Packet Ok!")));
        }
        testing::StopRemoteSim(sim_);
        QCOMPARE(ReadFile(OlderFlashFile()), data);
    }

    void loopPassesWithTheJig() {
        QVERIFY(StartSim({"--jig"}));
        Rig rig(folder_, pty_);
        rig.RunLoop();
        QCOMPARE(rig.LastText(), QString::fromUtf8(u8"\u8FF4\u8DEF\u6B63\u5E38 !"));
        QCOMPARE(rig.ui.Messages().back().icon, MsgIcon::Information);
        QVERIFY(rig.page->SendMo->toPlainText().startsWith(QStringLiteral("Start Send Test Rs232...")));
        QCOMPARE(HexBytesIn(rig.page->SendMo->toPlainText()), 1024);
        QVERIFY(rig.page->ReceiveMo->toPlainText().startsWith(QStringLiteral("End Receive Test Rs232...")));
        QCOMPARE(HexBytesIn(rig.page->ReceiveMo->toPlainText()), 1024);
        QVERIFY(!rig.page->Timer1->isActive());
        QVERIFY(!rig.comTest.Link().Port().IsOpen());
        // The "Loop" button of the user mode panel runs the same test.
        rig.page->m_LoopTBtn->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.ui.MessageTexts().size() == 2, 15000);
        QCOMPARE(rig.LastText(), QString::fromUtf8(u8"\u8FF4\u8DEF\u6B63\u5E38 !"));
        SaveShots(rig.comTest, QStringLiteral("loop-passed"));
    }

    void loopFailsWithAChangedByte() {
        QVERIFY(StartSim({"--jig-change", "100"}));
        Rig rig(folder_, pty_);
        rig.RunLoop();
        QCOMPARE(rig.LastText(), QString::fromUtf8(u8"\u8CC7\u6599\u932F\u8AA4 !"));
        QCOMPARE(rig.ui.Messages().back().icon, MsgIcon::Warning);
    }

    void loopWithoutTheJigGivesUpAfterTheThirdTick() {
        QVERIFY(StartSim({"--cable-only"}));
        Rig rig(folder_, pty_);
        rig.RunLoop();
        QCOMPARE(rig.LastText(), QString::fromUtf8(u8"\u8FF4\u8DEF\u4E0D\u901A !"));
        QCOMPARE(rig.page->Loop().Ticks(), 3);
        QCOMPARE(rig.ui.MessageTexts().size(), size_t(1));
        QVERIFY(rig.page->ReceiveMo->toPlainText().isEmpty());
    }

    // The system's Chinese texts, laid out in the font of the program's
    // message boxes: every character gets a real glyph from the font Qt
    // picks for it, not the empty box of a character no installed font has.
    void chineseTextsAreDrawnWithTheirCharacters_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("loop no loop") << QString::fromStdString(VerdictOf(LoopState::NoLoop).text);
        QTest::newRow("loop passed") << QString::fromStdString(VerdictOf(LoopState::Passed).text);
        QTest::newRow("loop data error") << QString::fromStdString(VerdictOf(LoopState::DataError).text);
        QTest::newRow("no answer") << QString::fromUtf8(kPacketNoAnswerText);
    }
    void chineseTextsAreDrawnWithTheirCharacters() {
        QFETCH(QString, text);
        QMessageBox box(QMessageBox::Information, QStringLiteral("My Orvalink Program!"), text);
        auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QTextLayout layout(text, label->font());
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QChar c : text) {
            if (c.isSpace() || c.unicode() < 0x80) continue;
            bool drawn = false;
            for (const QGlyphRun& run : layout.glyphRuns()) {
                const QList<quint32> glyphs = run.rawFont().glyphIndexesForString(QString(c));
                if (run.rawFont().supportsCharacter(c) && !glyphs.isEmpty() && glyphs.first() != 0)
                    drawn = run.glyphIndexes().contains(glyphs.first());
                if (drawn) break;
            }
            QVERIFY2(drawn, qPrintable(QStringLiteral("no installed font draws %1 of \"%2\"").arg(c, text)));
        }
    }
};

QTEST_MAIN(TestPageTest)
#include "TestPageTest.moc"
