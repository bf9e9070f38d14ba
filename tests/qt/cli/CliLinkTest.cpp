// orvalink-cli download and upload, run as a program against
// orvalink-remote-sim on a pseudo-terminal: what lands in the document and
// in the remote's flash, the messages and exit codes, and that a failed
// download writes nothing.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/Process.h"
#include "support/RemoteSimProcess.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <vector>

#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

using namespace orvalink;

using testing::Pattern;
using testing::ReadFile;
using testing::WriteFile;

namespace {

constexpr size_t kFlashBytes = 4096 * 264;
// Block 103 bytes 112..131: the remote keeps its own on an upload.
constexpr size_t kPreservedStart = 103 * 264 + 112;
constexpr size_t kPreservedEnd = kPreservedStart + 20;

bool WriteDocument(const QString& path, const std::vector<uint8_t>& payload) {
    VFileHeader header;
    if (!FillDocumentHeader(0x0105, header)) return false;
    FixedClock clock;
    Pcg32Random random(7);
    return SaveVFile(path.toStdString(), payload, header, clock, random);
}

// The names in a folder.
QStringList Entries(const QString& folder) { return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

using Run = testing::CliRun;

}  // namespace

class CliLinkTest : public QObject {
    Q_OBJECT

private:
    // A fresh folder for every test: no file of an earlier one is seen.
    std::unique_ptr<QTemporaryDir> folder_;
    QProcess sim_;
    QString pty_;

    QTemporaryDir& dir() { return *folder_; }
    QString FlashFile() const { return folder_->filePath("remote.flash"); }

    bool StartSim(const QStringList& extra) {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, FlashFile(), extra, pty_);
    }
    void StopSim() { testing::StopRemoteSim(sim_); }

    // The CLI in the test's folder (or `folder`), with its output.
    Run Cli(const QStringList& args, const QString& folder = {}) {
        return testing::RunCli(ORVALINK_CLI_PROGRAM, args, folder.isEmpty() ? dir().path() : folder);
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

    void downloadWritesTheRemotesPagesOverTheFactoryDocument() {
        auto remote = Pattern(kFlashBytes, 1);
        remote[27224] = 0x02;
        remote[27225] = 0x11;
        WriteFile(FlashFile(), remote);
        // A factory document of its own in the current folder comes first.
        QVERIFY(QDir(dir().path()).mkpath("bk"));
        const auto factory = Pattern(kDocumentImageBytes, 77);
        QVERIFY(WriteDocument(dir().filePath("bk/default_.vmcf"), factory));
        QVERIFY(StartSim({}));

        const Run run = Cli({"download", "--port", pty_, "out.vmcf"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.err.contains("Download Flash Data Ok !"), qPrintable(run.err));
        QVERIFY(run.err.contains("block 1013/1013"));

        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(dir().filePath("out.vmcf").toStdString(), payload, header));
        QCOMPARE(header.kindCode, kKindVmcf);
        QCOMPARE(int(header.modelCode), 2000);
        QCOMPARE(int(header.versionWord), 0x0211);
        QCOMPARE(EntryNameOf(header), std::string("QM-5100_"));
        QCOMPARE(payload.size(), kDocumentImageBytes);
        QVERIFY(std::equal(payload.begin(), payload.begin() + long(kTransferBytes), remote.begin()));
        QVERIFY(std::equal(payload.begin() + long(kTransferBytes), payload.end(),
                           factory.begin() + long(kTransferBytes)));
    }

    void downloadFindsTheProgramFoldersFactoryDocument() {
        const QString staged = QString::fromUtf8(ORVALINK_PROGRAM_DIR) + QStringLiteral("/bk/default_.vmcf");
        std::vector<uint8_t> factory;
        VFileHeader factoryHeader;
        // The build always stages the factory document beside the program.
        QVERIFY2(LoadVFile(staged.toStdString(), factory, factoryHeader), qPrintable(staged));
        const auto remote = Pattern(kFlashBytes, 2);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));

        const Run run = Cli({"download", "out.vmcf", "--port", pty_});
        QCOMPARE(run.exitCode, 0);
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(dir().filePath("out.vmcf").toStdString(), payload, header));
        QCOMPARE(payload.size(), kDocumentImageBytes);
        QVERIFY(factory.size() >= kDocumentImageBytes);
        QVERIFY(std::equal(payload.begin(), payload.begin() + long(kTransferBytes), remote.begin()));
        QVERIFY(std::equal(payload.begin() + long(kTransferBytes), payload.end(),
                           factory.begin() + long(kTransferBytes)));
    }

    void uploadChangesTheRemoteButItsSettingsBytes() {
        const auto remote = Pattern(kFlashBytes, 3);
        WriteFile(FlashFile(), remote);
        std::vector<uint8_t> document(kDocumentImageBytes);
        for (size_t i = 0; i < document.size(); ++i) document[i] = uint8_t(i ^ 0xA5);
        QVERIFY(WriteDocument(dir().filePath("in.vmcf"), document));
        QVERIFY(StartSim({}));

        const Run run = Cli({"upload", "--port", pty_, "in.vmcf"});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains("Upload Flash Data Ok !"), qPrintable(run.err));
        StopSim();
        const auto after = ReadFile(FlashFile());
        QCOMPARE(after.size(), kFlashBytes);
        QVERIFY(std::equal(after.begin(), after.begin() + long(kPreservedStart), document.begin()));
        QVERIFY(std::equal(after.begin() + long(kPreservedStart), after.begin() + long(kPreservedEnd),
                           remote.begin() + long(kPreservedStart)));
        QVERIFY(std::equal(after.begin() + long(kPreservedEnd), after.begin() + long(kTransferBytes),
                           document.begin() + long(kPreservedEnd)));
        QVERIFY(std::equal(after.begin() + long(kTransferBytes), after.end(), remote.begin() + long(kTransferBytes)));
    }

    void uploadOfAMissingDocumentLeavesTheRemoteAlone() {
        const auto remote = Pattern(kFlashBytes, 4);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        const Run run = Cli({"upload", "--port", pty_, "absent.vmcf"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("Load V File error !"));
        StopSim();
        QVERIFY(ReadFile(FlashFile()) == remote);
    }

    void hangUpMidWayWritesNothingAndWaitsWithoutSpinning() {
        WriteFile(FlashFile(), Pattern(kFlashBytes, 5));
        QVERIFY(StartSim({"--hang-up-after", "100"}));
        // The CLI's own CPU time: a hung-up line wakes the event loop for
        // ever with nothing to read, unless the port lets go of it.
        testing::ProcessOptions options;
        options.workingDirectory = dir().path().toStdString();
        options.timeout = std::chrono::seconds(60);
        const auto run = testing::RunProcess({ORVALINK_CLI_PROGRAM, "download", "--port", pty_.toStdString(), "out.vmcf"},
                                             dir().path().toStdString(), options);
        QVERIFY(!run.timedOut);
        QCOMPARE(run.exitCode, 1);
        const QString err = QString::fromStdString(run.err);
        QVERIFY2(err.contains("block 100/1013"), qPrintable(err));
        QVERIFY2(err.contains("Download Flash Data Error !"), qPrintable(err));
        QVERIFY(!err.contains("Download Flash Data Ok !"));
        QVERIFY(!QFile::exists(dir().filePath("out.vmcf")));
        QVERIFY2(run.cpuSeconds < 0.5 * run.wallSeconds,
                 qPrintable(QString("CPU %1 s in %2 s").arg(run.cpuSeconds).arg(run.wallSeconds)));
    }

    // Ctrl+C and SIGTERM are the progress dialog's Cancel: the system's
    // words, the link closed, the old output as it was, no temporary folder
    // left, exit status 130 or 143. And the remote still answers after.
    void aSignalCancelsATransferAndLeavesNothing() {
        const auto remote = Pattern(kFlashBytes, 8);
        WriteFile(FlashFile(), remote);
        std::vector<uint8_t> document(kDocumentImageBytes, 0x3C);
        QVERIFY(WriteDocument(dir().filePath("in.vmcf"), document));
        const QString tmp = dir().filePath("tmp");
        QVERIFY(QDir().mkpath(tmp));
        QVERIFY(StartSim({"--wire"}));
        struct Case {
            const char* command;
            int number;
            const char* said;
        };
        for (const Case& c : {Case{"download", SIGINT, "Download transfer broken !"},
                              Case{"download", SIGTERM, "Download transfer broken !"},
                              Case{"upload", SIGINT, "Upload Flash Data Error !"}}) {
            const std::string label = std::string(c.command) + " " + std::to_string(c.number);
            WriteFile(dir().filePath("out.vmcf"), {1, 2, 3});
            testing::ProcessOptions options;
            options.workingDirectory = dir().path().toStdString();
            options.timeout = std::chrono::seconds(60);
            options.environment = {"TMPDIR=" + tmp.toStdString()};
            QFile::remove(dir().filePath("process.err"));  // no word of the run before
            options.whileRunning = testing::SignalWhen(dir().filePath("process.err").toStdString(), "block 100/1013", c.number);
            const std::string file = std::string(c.command) == "download" ? "out.vmcf" : "in.vmcf";
            const auto run = testing::RunProcess({ORVALINK_CLI_PROGRAM, c.command, "--port", pty_.toStdString(), file},
                                                 dir().path().toStdString(), options);
            const QString err = QString::fromStdString(run.err);
            QVERIFY2(run.exitCode == 128 + c.number, qPrintable(QString::fromStdString(label) + ": " + err));
            QVERIFY2(err.contains(c.said), qPrintable(err));
            QVERIFY2(err.contains(c.number == SIGINT ? "orvalink-cli: cancelled (SIGINT)" : "orvalink-cli: cancelled (SIGTERM)"),
                     qPrintable(err));
            QVERIFY2(!err.contains("block 1013/1013"), qPrintable(err));
            QCOMPARE(ReadFile(dir().filePath("out.vmcf")), (std::vector<uint8_t>{1, 2, 3}));
            QCOMPARE(Entries(tmp), QStringList());
        }
    }

    void downloadToAFolderThatCannotTakeTheDocumentFailsBeforeTheTransfer() {
        WriteFile(FlashFile(), Pattern(kFlashBytes, 6));
        WriteFile(dir().filePath("plain"), {1, 2, 3});
        QVERIFY(StartSim({}));
        for (const QString& out : {dir().filePath("missing/out.vmcf"), dir().filePath("plain/out.vmcf"),
                                   dir().path()}) {
            const Run run = Cli({"download", "--port", pty_, out});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.startsWith("orvalink-cli: cannot write " + out + ": "), qPrintable(run.err));
            // Nothing was asked of the remote.
            QVERIFY2(!run.err.contains("block ") && !run.err.contains("Download Flash Data"), qPrintable(run.err));
        }
        QVERIFY(!QFile::exists(dir().filePath("missing")));
        QCOMPARE(ReadFile(dir().filePath("plain")), (std::vector<uint8_t>{1, 2, 3}));
        // The remote is still there for a download that can be written.
        QCOMPARE(Cli({"download", "--port", pty_, "out.vmcf"}).exitCode, 0);
    }

    void aPortThatIsNotASerialLineIsNamed() {
        WriteFile(dir().filePath("regular"), {0x55});
        QVERIFY(WriteDocument(dir().filePath("in.vmcf"), std::vector<uint8_t>(kDocumentImageBytes, 0x11)));
        for (const QString& port : {dir().filePath("regular"), QStringLiteral("/dev/null"), dir().path()}) {
            Run run = Cli({"download", "--port", port, "out.vmcf"});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(port + ": not a serial port"), qPrintable(run.err));
            QVERIFY(!QFile::exists(dir().filePath("out.vmcf")));
            run = Cli({"upload", "--port", port, "in.vmcf"});
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(port + ": not a serial port"), qPrintable(run.err));
        }
        QCOMPARE(ReadFile(dir().filePath("regular")), std::vector<uint8_t>{0x55});
    }

    void aPortThatDoesNotExistFails() {
        const QString port = dir().filePath("no-such-tty");
        Run run = Cli({"download", "--port", port, "out.vmcf"});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains("no-such-tty"));
        QVERIFY(!QFile::exists(dir().filePath("out.vmcf")));
        QVERIFY(WriteDocument(dir().filePath("in.vmcf"), std::vector<uint8_t>(kDocumentImageBytes, 0x11)));
        run = Cli({"upload", "--port", port, "in.vmcf"});
        QCOMPARE(run.exitCode, 1);
    }

    void usageErrors() {
        for (const QStringList& args : {QStringList{"download"}, QStringList{"download", "out.vmcf"},
                                        QStringList{"download", "--port"}, QStringList{"download", "--port", "/dev/null"},
                                        QStringList{"download", "--port", "/dev/null", "a.vmcf", "b.vmcf"},
                                        QStringList{"upload", "--port", "/dev/null", "--rate", "9600", "in.vmcf"},
                                        QStringList{"upload", "--port", "a", "--port", "b", "in.vmcf"}}) {
            const Run run = Cli(args);
            QCOMPARE(run.exitCode, 2);
            QVERIFY(run.err.contains("usage:"));
        }
        QVERIFY(!QFile::exists(dir().filePath("a.vmcf")));
        QVERIFY(!QFile::exists(dir().filePath("b.vmcf")));
    }
};

QTEST_GUILESS_MAIN(CliLinkTest)
#include "CliLinkTest.moc"
