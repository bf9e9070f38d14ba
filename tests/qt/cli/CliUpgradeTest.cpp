// orvalink-cli upgrade and backup, run as a program against
// orvalink-remote-sim on a pseudo-terminal: the program and flash that land
// in the virtual remote, the backup document, the messages and exit codes.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Process.h"
#include "support/RemoteSimProcess.h"

#include <QRegularExpression>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "formats/Documents.h"
#include "formats/VFileHeader.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

using namespace orvalink;

using testing::Pattern;
using testing::ReadFile;
using testing::WriteFile;

namespace {

constexpr size_t kFlashBytes = 4096 * 264;
constexpr size_t kProgramBytes = 58880;
// Block 103 bytes 112..131: the remote keeps its own on a flash write.
constexpr size_t kPreservedStart = 103 * 264 + 112;
constexpr size_t kPreservedEnd = kPreservedStart + 20;

bool WriteVFile(const QString& path, uint16_t kind, const std::vector<uint8_t>& payload) {
    VFileHeader header;
    if (!FillVFileHeader(kind, 2000, 0x0105, header)) return false;
    SetSingleName(header, FieldText(header.modelName) + "_");
    FixedClock clock;
    Pcg32Random random(7);
    return SaveVFile(path.toStdString(), payload, header, clock, random);
}

using Run = testing::CliRun;

// What is wrong with the gauges of a run ("" when nothing): every
// "progress N/M" line has N within M, and each gauge's last line is M/M.
QString GaugeFault(const QString& err) {
    static const QRegularExpression line(QStringLiteral("^progress (\\d+)/(\\d+)$"));
    int maximum = -1, last = -1;
    auto close = [&]() -> QString {
        if (maximum >= 0 && last != maximum)
            return QStringLiteral("a gauge of %1 ended at %2").arg(maximum).arg(last);
        maximum = last = -1;
        return {};
    };
    for (const QString& l : err.split(QLatin1Char('\n'))) {
        const auto m = line.match(l);
        if (!m.hasMatch()) {
            if (const QString f = close(); !f.isEmpty()) return f;
            continue;
        }
        const int n = m.captured(1).toInt(), max = m.captured(2).toInt();
        if (max != maximum)
            if (const QString f = close(); !f.isEmpty()) return f;
        if (n > max) return QStringLiteral("progress %1 past its maximum %2").arg(n).arg(max);
        maximum = max;
        last = n;
    }
    return close();
}

}  // namespace

class CliUpgradeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    QProcess sim_;
    QString pty_;

    QString Path(const char* name) const { return folder_->filePath(name); }
    QString FlashFile() const { return folder_->filePath("remote.flash"); }
    bool StartSim(const QStringList& extra) {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, FlashFile(), extra, pty_);
    }
    void StopSim() { testing::StopRemoteSim(sim_); }

    Run Cli(const QStringList& args) {
        return testing::RunCli(ORVALINK_CLI_PROGRAM, args, folder_->path(), 180000);
    }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
    }
    void cleanup() {
        StopSim();
        folder_.reset();
    }

    // A boot loader that never answers is tried again and again: Ctrl+C or
    // SIGTERM is the command line's CANCEL. So is either during a backup,
    // whose old output stays. No temporary folder is left.
    void aSignalIsTheCancelOfUpgradeAndBackup() {
        WriteFile(FlashFile(), Pattern(kFlashBytes, 3));
        QVERIFY(WriteVFile(Path("new.vmcu"), 101, Pattern(kProgramBytes, 4)));
        const QString tmp = Path("tmp");
        QVERIFY(QDir().mkpath(tmp));
        struct Case {
            QStringList sim;
            std::vector<std::string> args;
            const char* waitFor;
            int number;
            const char* said;
        };
        const Case cases[] = {
            {{"--cable-only"}, {"upgrade", "--model", "2000", "--mcu", "new.vmcu"}, "program:", SIGINT, "Transfer broken !"},
            {{"--cable-only"}, {"upgrade", "--model", "2000", "--mcu", "new.vmcu"}, "program:", SIGTERM, "Transfer broken !"},
            {{"--wire"}, {"backup", "--model", "2000", "out.vmcf"}, "progress ", SIGINT, "Download transfer broken !"},
        };
        for (const Case& c : cases) {
            QVERIFY(StartSim(c.sim));
            WriteFile(Path("out.vmcf"), {7, 7});
            std::vector<std::string> argv = {ORVALINK_CLI_PROGRAM, c.args[0], "--port", pty_.toStdString()};
            argv.insert(argv.end(), c.args.begin() + 1, c.args.end());
            testing::ProcessOptions options;
            options.workingDirectory = folder_->path().toStdString();
            options.timeout = std::chrono::seconds(60);
            options.environment = {"TMPDIR=" + tmp.toStdString()};
            QFile::remove(Path("process.err"));  // no word of the run before
            options.whileRunning =
                testing::SignalWhen(Path("process.err").toStdString(), c.waitFor, c.number, 700);
            const auto run = testing::RunProcess(argv, folder_->path().toStdString(), options);
            const QString err = QString::fromStdString(run.err);
            QVERIFY2(run.exitCode == 128 + c.number, qPrintable(err));
            QVERIFY2(err.contains(c.said), qPrintable(err));
            QVERIFY2(err.contains(c.number == SIGINT ? "orvalink-cli: cancelled (SIGINT)" : "orvalink-cli: cancelled (SIGTERM)"),
                     qPrintable(err));
            QCOMPARE(ReadFile(Path("out.vmcf")), (std::vector<uint8_t>{7, 7}));
            QCOMPARE(QDir(tmp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
            StopSim();
        }
    }

    void upgradeWritesTheProgramThenTheFlash() {
        const auto remote = Pattern(kFlashBytes, 1);
        WriteFile(FlashFile(), remote);
        const auto program = Pattern(kProgramBytes, 9);
        QVERIFY(WriteVFile(Path("new.vmcu"), 101, program));
        const auto document = Pattern(kDocumentImageBytes, 42);
        QVERIFY(WriteVFile(Path("new.vmcf"), kKindVmcf, document));
        QVERIFY(StartSim({}));

        const Run run =
            Cli({"upgrade", "--port", pty_, "--model", "2000", "--mcu", "new.vmcu", "--flash", "new.vmcf"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const int programOk = run.err.indexOf("Write 5k MCU Flash Data Ok !");
        const int flashOk = run.err.indexOf("Write 5100 Flash Data Ok !");
        QVERIFY2(programOk >= 0 && flashOk > programOk, qPrintable(run.err));
        QVERIFY(run.err.contains("progress 114/114"));
        QVERIFY2(run.err.contains("progress 4095/4095"), qPrintable(run.err));
        QVERIFY2(GaugeFault(run.err).isEmpty(), qPrintable(GaugeFault(run.err)));
        StopSim();

        QCOMPARE(ReadFile(FlashFile() + ".mcu"), program);
        const auto after = ReadFile(FlashFile());
        QCOMPARE(after.size(), kFlashBytes);
        QVERIFY(std::equal(after.begin(), after.begin() + long(kPreservedStart), document.begin()));
        QVERIFY(std::equal(after.begin() + long(kPreservedStart), after.begin() + long(kPreservedEnd),
                           remote.begin() + long(kPreservedStart)));
        QVERIFY(std::equal(after.begin() + long(kPreservedEnd), after.begin() + long(kDocumentImageBytes),
                           document.begin() + long(kPreservedEnd)));
    }

    void upgradeOf2300FamilyTalksToTheTextLoaderThenTheTiFlash() {
        const auto remote = Pattern(kFlashBytes, 6);
        WriteFile(FlashFile(), remote);
        const auto program = Pattern(60 * 512, 11);
        QVERIFY(WriteVFile(Path("new.vmcu"), 101, program));
        const auto document = Pattern(2048 * 264, 12);
        QVERIFY(WriteVFile(Path("new.vmcf"), kKindVmcf, document));
        QVERIFY(StartSim({}));

        const Run run = Cli({"upgrade", "--port", pty_, "--model", "QM-2300_A", "--mcu", "new.vmcu", "--flash",
                             "new.vmcf", "--kind", "all"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains("Write 4k MCU Flash Data Ok !"), qPrintable(run.err));
        QVERIFY2(run.err.contains("Write 2300 Flash Data Ok !"), qPrintable(run.err));
        QVERIFY2(GaugeFault(run.err).isEmpty(), qPrintable(GaugeFault(run.err)));
        StopSim();
        const auto firmware = ReadFile(FlashFile() + ".mcu");
        QVERIFY(firmware.size() >= program.size());
        QVERIFY(std::equal(program.begin(), program.end(), firmware.begin()));
        const auto after = ReadFile(FlashFile());
        QVERIFY(std::equal(document.begin(), document.end(), after.begin()));
        QVERIFY(std::equal(after.begin() + long(document.size()), after.end(), remote.begin() + long(document.size())));
    }

    void upgradeOfTheCodeWritesTheCodeRegionAndKeepsTheRest() {
        const auto remote = Pattern(kFlashBytes, 3);
        WriteFile(FlashFile(), remote);
        const auto document = Pattern(kDocumentImageBytes, 77);
        QVERIFY(WriteVFile(Path("new.vmcf"), kKindVmcf, document));
        QVERIFY(StartSim({}));

        const Run run = Cli({"upgrade", "--port", pty_, "--model", "QM-5100", "--flash", "new.vmcf", "--kind", "code"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains("Write 5100 Flash Data Ok !"), qPrintable(run.err));
        QVERIFY2(run.err.contains("progress 2363/2363"), qPrintable(run.err));
        QVERIFY2(GaugeFault(run.err).isEmpty(), qPrintable(GaugeFault(run.err)));
        StopSim();

        // Pages 1018..3381 are the document's; of the rest, only bytes 32-33
        // of blocks 103 and 111 are taken from it.
        const auto after = ReadFile(FlashFile());
        QCOMPARE(after.size(), kFlashBytes);
        const size_t from = size_t(kCodeRegionFirstPage) * 264, to = (size_t(kCodeRegionLastPage) + 1) * 264;
        for (size_t i = 0; i < after.size(); ++i) {
            const bool taken = (i >= from && i < to) || i == 103 * 264 + 32 || i == 103 * 264 + 33 ||
                               i == 111 * 264 + 32 || i == 111 * 264 + 33;
            if (after[i] != (taken ? document[i] : remote[i])) QFAIL(qPrintable(QStringLiteral("byte %1").arg(i)));
        }
    }

    // The flash write of an upgrade is read back (--verify, the default): a
    // page the remote stores otherwise than sent fails the command and is
    // named with what it holds; --no-verify leaves it unnoticed.
    void upgradeVerifiesTheFlashItWrote_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<int>("imageBytes");
        QTest::addColumn<QStringList>("fault");
        QTest::addColumn<QStringList>("verify");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("unsaid");
        const QString ok5100 = QStringLiteral("Write 5100 Flash Data Ok !");
        const QString failed = QStringLiteral("Verify failed: ");
        QTest::newRow("5100, as sent") << "QM-5100" << int(kDocumentImageBytes) << QStringList{} << QStringList{} << 0
                                       << QStringList{"Verifying", ok5100} << QStringList{failed};
        QTest::newRow("5100, one bit at 2000") << "QM-5100" << int(kDocumentImageBytes) << QStringList{"--flip-bit", "2000"}
                                               << QStringList{} << 1
                                               << QStringList{"Verify failed: 1 block differs \u2014 ", "\n  page 2000: ",
                                                              "Write 5100 Flash Data Error !"}
                                               << QStringList{ok5100};
        QTest::newRow("5100, one bit at 2000, --verify")
            << "QM-5100" << int(kDocumentImageBytes) << QStringList{"--flip-bit", "2000"} << QStringList{"--verify"} << 1
            << QStringList{"Verify failed: 1 block differs \u2014 ", "\n  page 2000: "} << QStringList{ok5100};
        QTest::newRow("5100, one bit at 2000, --no-verify")
            << "QM-5100" << int(kDocumentImageBytes) << QStringList{"--flip-bit", "2000"} << QStringList{"--no-verify"}
            << 0 << QStringList{ok5100} << QStringList{failed, "Verifying"};
        QTest::newRow("2300, one bit at 1500") << "QM-2300_A" << 2048 * 264 << QStringList{"--flip-bit", "1500"}
                                               << QStringList{} << 1
                                               << QStringList{"Verify failed: 1 block differs \u2014 ", "\n  page 1500: "}
                                               << QStringList{"Write 2300 Flash Data Ok !"};
    }
    void upgradeVerifiesTheFlashItWrote() {
        QFETCH(QString, model);
        QFETCH(int, imageBytes);
        QFETCH(QStringList, fault);
        QFETCH(QStringList, verify);
        QFETCH(int, exitCode);
        QFETCH(QStringList, said);
        QFETCH(QStringList, unsaid);
        WriteFile(FlashFile(), Pattern(kFlashBytes, 2));
        QVERIFY(WriteVFile(Path("new.vmcf"), kKindVmcf, Pattern(size_t(imageBytes), 31)));
        QVERIFY(StartSim(fault));
        const Run run = Cli(QStringList{"upgrade", "--port", pty_, "--model", model, "--flash", "new.vmcf", "--kind",
                                        "code"} + verify);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        for (const QString& s : said) QVERIFY2(run.err.contains(s), qPrintable(s + QStringLiteral("\n") + run.err));
        for (const QString& s : unsaid) QVERIFY2(!run.err.contains(s), qPrintable(s + QStringLiteral("\n") + run.err));
        // The read-back's gauge counts its own pages, up to its end.
        QVERIFY2(GaugeFault(run.err).isEmpty(), qPrintable(GaugeFault(run.err)));
    }

    void upgradeTakesTheLargestProgramFileAndWritesItsPages() {
        // "Make VMCU" of a 5100-family model makes 65536 bytes; the boot
        // loader writes its first 115 pages.
        const auto program = Pattern(65536, 21);
        QVERIFY(WriteVFile(Path("big.vmcu"), 101, program));
        WriteFile(FlashFile(), Pattern(kFlashBytes, 4));
        QVERIFY(StartSim({}));
        const Run run = Cli({"upgrade", "--port", pty_, "--model", "2000", "--mcu", "big.vmcu"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains("Write 5k MCU Flash Data Ok !"), qPrintable(run.err));
        StopSim();
        QCOMPARE(ReadFile(FlashFile() + ".mcu"), std::vector<uint8_t>(program.begin(), program.begin() + long(kProgramBytes)));
    }

    // The text loader's ERASE (3 tries) and COMPLETE (5 tries) failing on
    // the virtual remote as its options ask.
    void textLoaderFaultsOfTheVirtualRemote_data() {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("ok");
        QTest::newRow("erase fails twice") << QStringList{"--fail-erase", "2"} << true;
        QTest::newRow("erase fails three times") << QStringList{"--fail-erase", "3"} << false;
        QTest::newRow("complete fails four times") << QStringList{"--fail-complete", "4"} << true;
        QTest::newRow("complete fails five times") << QStringList{"--fail-complete", "5"} << false;
    }
    void textLoaderFaultsOfTheVirtualRemote() {
        QFETCH(QStringList, faults);
        QFETCH(bool, ok);
        const auto program = Pattern(60 * 512, 13);
        QVERIFY(WriteVFile(Path("new.vmcu"), 101, program));
        QVERIFY(StartSim(faults));
        const Run run = Cli({"upgrade", "--port", pty_, "--model", "QM-2300_A", "--mcu", "new.vmcu"});
        QCOMPARE(run.exitCode, ok ? 0 : 1);
        QVERIFY2(run.err.contains(ok ? "Write 4k MCU Flash Data Ok !" : "Write 4 MCU Flash Data Error !"),
                 qPrintable(run.err));
        StopSim();
        // The remote keeps a program only once it is complete.
        QCOMPARE(QFile::exists(FlashFile() + ".mcu"), ok);
    }

    void remoteSimTellsItsTextLoaderFaults() {
        QProcess help;
        help.start(ORVALINK_REMOTE_SIM, {"--help"});
        QVERIFY(help.waitForFinished(10000));
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        QVERIFY2(text.contains("--fail-erase K") && text.contains("--fail-complete K"), qPrintable(text));
    }

    void upgradeOfAnotherModelErasesNothing() {
        const auto remote = Pattern(kFlashBytes, 2);
        WriteFile(FlashFile(), remote);
        QVERIFY(WriteVFile(Path("new.vmcu"), 101, Pattern(kProgramBytes, 3)));
        QVERIFY(StartSim({"--identify", "QM-1400"}));
        const Run run = Cli({"upgrade", "--port", pty_, "--model", "QM-5100", "--mcu", "new.vmcu"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains("Write 5k MCU Flash Data Error !"), qPrintable(run.err));
        StopSim();
        QVERIFY(!QFile::exists(FlashFile() + ".mcu"));
        QVERIFY(ReadFile(FlashFile()) == remote);
    }

    void upgradeRefusesBadArguments() {
        QCOMPARE(Cli({"upgrade", "--port", "/dev/null", "--model", "2000"}).exitCode, 2);
        QCOMPARE(Cli({"upgrade", "--port", "/dev/null", "--model", "no-such-model", "--mcu", "x"}).exitCode, 2);
        QCOMPARE(Cli({"upgrade", "--port", "/dev/null", "--model", "2000", "--mcu", "x", "--kind", "some"}).exitCode,
                 2);
    }

    void backupSavesTheRemotesFlashAsADocument() {
        const auto remote = Pattern(kFlashBytes, 5);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        const Run run = Cli({"backup", "--port", pty_, "--model", "2000", "saved.vmcf"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.err.contains("Download 5100 Flash Data Ok !"));
        QVERIFY(run.err.contains("Backup VMCF file Ok !"));

        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(Path("saved.vmcf").toStdString(), payload, header));
        QCOMPARE(header.kindCode, kKindVmcf);
        QCOMPARE(int(header.modelCode), 2000);
        QCOMPARE(payload.size(), kDocumentImageBytes);
        QVERIFY(std::equal(payload.begin(), payload.end(), remote.begin()));
        // Nothing was left beside it.
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files).size(), 2);
    }

    void backupOf2300FamilyReadsTheTiFlash() {
        const auto remote = Pattern(kFlashBytes, 8);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        const Run run = Cli({"backup", "--port", pty_, "--model", "1000", "saved.vmcf"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.err.contains("Download Flash Data Ok !"));
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(Path("saved.vmcf").toStdString(), payload, header));
        QCOMPARE(int(header.modelCode), 1000);
        // The version of a 2300-family image: its bytes 15 (major) and 14 (minor).
        QCOMPARE(int(header.versionWord), remote[15] << 8 | remote[14]);
        QVERIFY(header.versionWord != 0);
        QCOMPARE(payload.size(), size_t(2048 * 264));
        QVERIFY(std::equal(payload.begin(), payload.end(), remote.begin()));

        // A spoilt block ends the read: nothing is written.
        StopSim();
        QVERIFY(StartSim({"--bad-sum-block", "7"}));
        const Run bad = Cli({"backup", "--port", pty_, "--model", "1000", "second.vmcf"});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.contains("Download Flash Data Error !"));
        QVERIFY(!QFile::exists(Path("second.vmcf")));
    }
};

QTEST_GUILESS_MAIN(CliUpgradeTest)
#include "CliUpgradeTest.moc"
