// orvalink-cli download/upload --trace FILE and then trace FILE, run as
// programs against orvalink-remote-sim on a pseudo-terminal with the
// remote's faults: the file is there whether the transfer worked or not,
// and the printed trace shows the fault and the retry at their block.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/RemoteSimProcess.h"

#include <fstream>
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

using Run = testing::CliRun;

}  // namespace

class CliTraceTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> folder_;
    QProcess sim_;
    QString pty_;

    Run Cli(const QStringList& args) {
        return testing::RunCli(ORVALINK_CLI_PROGRAM, args, folder_->path());
    }

private slots:
    void init() {
        folder_ = std::make_unique<QTemporaryDir>();
        QVERIFY(folder_->isValid());
    }
    void cleanup() {
        testing::StopRemoteSim(sim_);
        folder_.reset();
    }

    void transferTraceShowsTheFaultAtItsBlock_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<int>("exitCode");
        // A line of the printed trace and the line that must follow it.
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("next");
        QTest::addColumn<QStringList>("summary");

        QTest::newRow("download") << "download" << QStringList{} << 0
                                  << "<REM  block 1012, sum" << "PC>   ack 'B' accepted  (1 byte)"
                                  << QStringList{"blocks received: 1013", "checksum faults: 0", "retries: 0",
                                                 "refusals: 0", "time-outs: 0"};
        QTest::newRow("download, bad checksum at block 9")
            << "download" << QStringList{"--corrupt-block", "9"} << 1 << "<REM  block 9, sum"
            << "PC>   ack 'C' refused  (1 byte)  ** REFUSED **"
            << QStringList{"blocks received: 9", "checksum faults: 1", "refusals: 1"};
        QTest::newRow("upload, block 4 refused once")
            << "upload" << QStringList{"--refuse-block", "4", "--refuse-times", "1"} << 0
            << "<REM  ack 'C' refused  (1 byte)" << "PC>   block 4, sum"
            << QStringList{"retries: 1", "refusals: 1", "checksum faults: 0", "blocks sent: 1015"};
        // The upgrade page's commands take it too: the whole flash read.
        QTest::newRow("backup") << "backup" << QStringList{} << 0 << "<REM  block 4095, sum"
                                << "PC>   ack 'B' accepted  (1 byte)"
                                << QStringList{"blocks received: 4096", "checksum faults: 0", "time-outs: 0"};
    }

    void transferTraceShowsTheFaultAtItsBlock() {
        QFETCH(QString, command);
        QFETCH(QStringList, faults);
        QFETCH(int, exitCode);
        QFETCH(QString, line);
        QFETCH(QString, next);
        QFETCH(QStringList, summary);

        WriteFile(folder_->filePath("remote.flash"), Pattern(kFlashBytes, 3));
        QVERIFY(testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, folder_->filePath("remote.flash"), faults, pty_));
        QString document = "out.vmcf";
        if (command == "upload") {
            document = "in.vmcf";
            VFileHeader header;
            QVERIFY(FillDocumentHeader(0x0105, header));
            FixedClock clock;
            Pcg32Random random(7);
            QVERIFY(SaveVFile(folder_->filePath(document).toStdString(), Pattern(kDocumentImageBytes, 9), header,
                              clock, random));
        }
        QStringList args{command, "--port", pty_, "--trace", "link.trace", document};
        if (command == "backup") args << "--model" << "QM-5100";
        const Run run = Cli(args);
        QVERIFY2(run.exitCode == exitCode, qPrintable(run.err));
        QVERIFY2(run.out.contains("trace: link.trace"), qPrintable(run.out));
        // Only the trace (and the document where the download worked) came.
        QStringList expected{"link.trace", "remote.flash"};
        if (command == "upload") expected << "in.vmcf";
        if (command != "upload" && exitCode == 0) expected << "out.vmcf";
        expected.sort();
        QCOMPARE(QDir(folder_->path()).entryList(QDir::Files | QDir::Hidden), expected);

        const Run printed = Cli({"trace", "link.trace"});
        QVERIFY2(printed.exitCode == 0, qPrintable(printed.err));
        const QStringList lines = printed.out.split('\n');
        qsizetype at = -1;
        for (qsizetype i = 0; i + 1 < lines.size() && at < 0; ++i)
            if (lines[i].contains(line) && lines[i + 1].contains(next)) at = i;
        QVERIFY2(at >= 0, qPrintable("no \"" + line + "\" followed by \"" + next + "\" in\n" + printed.out.right(3000)));
        if (command == "download" && exitCode != 0) QVERIFY(lines[at].contains("** CHECKSUM FAULT **"));
        if (command == "upload") QVERIFY2(lines[at + 1].contains(", attempt 2  (266 bytes)  ** RETRY **"),
                                          qPrintable(lines[at + 1]));
        for (const QString& s : summary) QVERIFY2(lines.contains(s), qPrintable(s + " missing in\n" + printed.out.right(600)));
    }
};

QTEST_GUILESS_MAIN(CliTraceTest)
#include "CliTraceTest.moc"
