// orvalink-cli upload --verify / --no-verify, run as a program against
// orvalink-remote-sim on a pseudo-terminal whose flash acknowledges a block
// but keeps other bytes (all of them, or one bit): the verify names the block
// and fails the command; without it the fault goes unnoticed; a sound remote
// passes.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/RemoteSimProcess.h"

#include <memory>
#include <vector>

#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

using namespace orvalink;

namespace {

bool WriteDocument(const QString& path, const std::vector<uint8_t>& payload) {
    VFileHeader header;
    if (!FillDocumentHeader(0x0105, header)) return false;
    FixedClock clock;
    Pcg32Random random(7);
    return SaveVFile(path.toStdString(), payload, header, clock, random);
}

}  // namespace

class CliVerifyTest : public QObject {
    Q_OBJECT

private slots:
    void uploadVerifiesUnlessToldNot() {
        struct Case {
            const char* name;
            QStringList fault;  // the remote's fault
            QStringList verify; // the command's option
            int exitCode;
            QStringList said;     // lines on stderr
            QStringList notSaid;
        };
        const QString verified = QStringLiteral("Upload verified: 1013 blocks as sent.");
        const QString failed = QStringLiteral("Verify failed:");
        const Case cases[] = {
            {"sound, default", {}, {}, 0, {"Verifying", "Upload Flash Data Ok !", verified}, {failed}},
            {"sound, --verify", {}, {"--verify"}, 0, {verified}, {failed}},
            {"sound, --no-verify", {}, {"--no-verify"}, 0, {"Upload Flash Data Ok !"}, {verified, "Verifying"}},
            {"other bytes at 500", {"--store-other", "500"}, {}, 1,
             {"Verifying", "Verify failed: 1 block differs \u2014 ", "  page 500: "}, {verified}},
            {"other bytes at 500, --no-verify", {"--store-other", "500"}, {"--no-verify"}, 0,
             {"Upload Flash Data Ok !"}, {failed, "Verifying"}},
            {"one bit at 7", {"--flip-bit", "7"}, {"--verify"}, 1,
             {"Verify failed: 1 block differs \u2014 ", "  page 7: "}, {verified}},
            {"one bit at 7, --no-verify", {"--flip-bit", "7"}, {"--no-verify"}, 0, {}, {failed}},
        };
        for (const Case& c : cases) {
            QTemporaryDir dir;
            QVERIFY(dir.isValid());
            std::vector<uint8_t> document(kDocumentImageBytes);
            for (size_t i = 0; i < document.size(); ++i) document[i] = uint8_t(i * 11 + i / 264);
            QVERIFY(WriteDocument(dir.filePath("in.vmcf"), document));
            QProcess sim;
            QString pty;
            QVERIFY2(testing::StartRemoteSim(sim, ORVALINK_REMOTE_SIM, dir.filePath("remote.flash"), c.fault, pty),
                     c.name);

            QProcess cli;
            cli.setWorkingDirectory(dir.path());
            cli.start(ORVALINK_CLI_PROGRAM, QStringList{"upload", "--port", pty} + c.verify + QStringList{"in.vmcf"});
            QVERIFY(cli.waitForStarted(5000));
            QVERIFY2(cli.waitForFinished(120000), c.name);
            const QString err = QString::fromUtf8(cli.readAllStandardError());
            testing::StopRemoteSim(sim);

            QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == c.exitCode,
                     qPrintable(QString::fromUtf8(c.name) + ": exit " + QString::number(cli.exitCode()) + "\n" + err));
            for (const QString& s : c.said) QVERIFY2(err.contains(s), qPrintable(QString::fromUtf8(c.name) + ": " + err));
            for (const QString& s : c.notSaid)
                QVERIFY2(!err.contains(s), qPrintable(QString::fromUtf8(c.name) + ": " + err));
        }
    }

    void verifyIsNoOptionOfDownload() {
        QProcess cli;
        cli.start(ORVALINK_CLI_PROGRAM, {"download", "--port", "/dev/null", "--no-verify", "out.vmcf"});
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 2);
        QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains("unknown option --no-verify"));
    }
};

QTEST_GUILESS_MAIN(CliVerifyTest)
#include "CliVerifyTest.moc"
