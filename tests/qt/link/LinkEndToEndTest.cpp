// The link engine over the real QSerialPort and Qt event loop, talking to
// orvalink-remote-sim through a pseudo-terminal: download, upload, Cancel
// half-way and the line hung up half-way. Every transfer must end, with a
// clear result, and a failed download must leave the image as it was.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "support/RemoteSimProcess.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "image/Tiflashut.h"
#include "link/LinkEngine.h"
#include "link/Transfers.h"
#include "platform/doubles/FixedClock.h"
#include "platform/linux/SysfsRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtSerialPort.h"

using namespace orvalink;

namespace {

constexpr size_t kFlashBytes = 4096 * 264;

// The dialog as a user drives it: Cancel at a block, OK as soon as it may.
class UserProgress final : public TransferProgress {
public:
    explicit UserProgress(LinkEngine& link) : link_(link) {}
    void Open(const std::string&, int) override { open_ = true; }
    void SetPosition(int position) override {
        if (cancelAt >= 0 && position >= cancelAt) link_.SetUserAbort(true);
    }
    void Succeeded() override {}
    bool Closed() const override { return true; }
    void Release() override { open_ = false; }
    int cancelAt = -1;

private:
    LinkEngine& link_;
    bool open_ = false;
};

std::vector<uint8_t> ReadFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const QString& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path.toStdString(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

class LinkEndToEndTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QProcess sim_;
    QString path_;

    QString FlashFile() const { return dir_.filePath("remote.flash"); }

    bool StartSim(const QStringList& extra) {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, FlashFile(), extra, path_);
    }
    void StopSim() { testing::StopRemoteSim(sim_); }

    struct Rig {
        // The pseudo-terminal joins the registry view as COM3, as a user's
        // ORVALINK_LINK_PORT would add it; the port opens what the view names.
        explicit Rig(const QString& path)
            : registry(sysRoot.path().toStdString()),
              port([this](int n) { return registry.PortPath(n); }),
              link(port, pump, registry, ui, clock, view), transfers(link, flash), progress(link) {
            registry.AddPortEntry(path.toStdString() + "=COM3");
        }
        QTemporaryDir sysRoot;  // an empty sysfs: no real adapter takes part
        SysfsRegistry registry;
        QtSerialPort port;
        QtEventPump pump;
        ScriptedUiServices ui;
        FixedClock clock;
        LinkView view;
        LinkEngine link;
        TTiFlashFm flash;
        Transfers transfers;
        UserProgress progress;
    };

    std::vector<uint8_t> Pattern(uint8_t seed) {
        std::vector<uint8_t> f(kFlashBytes);
        for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 29 + seed + i / 264);
        return f;
    }

private slots:
    void init() { QVERIFY(dir_.isValid()); }
    void cleanup() { StopSim(); }

    void download() {
        const auto remote = Pattern(1);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        Rig rig(path_);
        QVERIFY(rig.transfers.DownloadFromRemote(rig.progress));
        rig.link.CloseLinkPort();
        auto img = rig.flash.Image();
        QVERIFY(std::equal(img.begin(), img.begin() + long(kTransferBytes), remote.begin()));
        QVERIFY(rig.ui.Messages().empty());
    }

    void upload() {
        const auto remote = Pattern(2);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        Rig rig(path_);
        auto img = rig.flash.Image();
        for (size_t i = 0; i < kTransferBytes; ++i) img[i] = uint8_t(i ^ 0xA5);
        QVERIFY(rig.transfers.UploadToRemote(rig.progress, kKindWhole));
        rig.link.CloseLinkPort();
        StopSim();
        const auto after = ReadFile(FlashFile());
        QCOMPARE(after.size(), kFlashBytes);
        // The image went over but for the remote's twenty settings bytes.
        QVERIFY(std::equal(img.begin(), img.begin() + long(kTransferBytes), after.begin()));
        QVERIFY(std::equal(remote.begin() + 27304, remote.begin() + 27324, after.begin() + 27304));
        QVERIFY(std::equal(remote.begin() + long(kTransferBytes), remote.end(), after.begin() + long(kTransferBytes)));
    }

    void cancelMidWay() {
        WriteFile(FlashFile(), Pattern(3));
        QVERIFY(StartSim({}));
        Rig rig(path_);
        std::vector<uint8_t> before(rig.flash.Image().begin(), rig.flash.Image().end());
        rig.progress.cancelAt = 300;
        QVERIFY(!rig.transfers.DownloadFromRemote(rig.progress));
        QVERIFY(rig.link.UserAbort());
        QVERIFY(std::equal(before.begin(), before.end(), rig.flash.Image().begin()));
    }

    void hangUpMidWay() {
        WriteFile(FlashFile(), Pattern(4));
        QVERIFY(StartSim({"--hang-up-after", "300"}));
        Rig rig(path_);
        std::vector<uint8_t> before(rig.flash.Image().begin(), rig.flash.Image().end());
        QVERIFY(!rig.transfers.DownloadFromRemote(rig.progress));
        QVERIFY(std::equal(before.begin(), before.end(), rig.flash.Image().begin()));
        QVERIFY(sim_.state() == QProcess::NotRunning || sim_.waitForFinished(5000));
        // The line is gone: the next download cannot even open the port. (The
        // tests run side by side, and a terminal number that is free again may
        // already belong to another test's remote.)
        if (QFile::exists(path_)) QSKIP("the hung-up terminal's number went to another test's remote");
        QVERIFY(!rig.transfers.DownloadFromRemote(rig.progress));
    }

    void irLearnAndSend() {
        QVERIFY(StartSim({}));
        Rig rig(path_);
        QVERIFY(rig.link.Blocks().IrLearnStart());
        std::array<uint8_t, 512> code{};
        bool learned = false;
        for (int round = 0; round < 30 && !learned; ++round) {
            learned = rig.link.Blocks().IrLearnReceive(code);
            if (!learned) rig.link.WaitTicks(100);
        }
        QVERIFY(learned);
        QCOMPARE(int(code[0]), 4);  // the virtual remote's own code
        rig.link.Blocks().IrStop();
        QVERIFY(rig.link.Blocks().IrSendStart());
        QVERIFY(rig.link.Blocks().IrSendCode(code));
        rig.link.WaitTicks(200);
        rig.link.Blocks().IrSendRelease();
        rig.link.CloseLinkPort();
    }

    // Codes handed to the virtual remote are learned in name order, and its
    // IR log tells what it learned, took, fired and released.
    void irLearnHandedCodesAndTheIrLog() {
        QDir(dir_.path()).mkpath("learn");
        std::vector<uint8_t> a(512), b(512);
        for (size_t i = 0; i < 512; ++i) {
            a[i] = uint8_t(i * 3 + 1);
            b[i] = uint8_t(i * 7 + 2);
        }
        WriteFile(dir_.filePath("learn/2.sbin"), b);
        WriteFile(dir_.filePath("learn/1.sbin"), a);
        const QString log = dir_.filePath("ir.log");
        QVERIFY(StartSim({"--learn", dir_.filePath("learn"), "--ir-log", log}));
        Rig rig(path_);
        std::vector<std::vector<uint8_t>> learnedCodes;
        for (int session = 0; session < 2; ++session) {
            QVERIFY(rig.link.Blocks().IrLearnStart());
            std::array<uint8_t, 512> code{};
            bool learned = false;
            for (int round = 0; round < 30 && !learned; ++round) {
                learned = rig.link.Blocks().IrLearnReceive(code);
                if (!learned) rig.link.WaitTicks(100);
            }
            QVERIFY(learned);
            learnedCodes.emplace_back(code.begin(), code.end());
            rig.link.Blocks().IrStop();
            rig.link.WaitTicks(50);
        }
        QCOMPARE(learnedCodes, (std::vector<std::vector<uint8_t>>{a, b}));
        QVERIFY(rig.link.Blocks().IrSendStart());
        QVERIFY(rig.link.Blocks().IrSendCode(b));
        rig.link.WaitTicks(200);
        rig.link.Blocks().IrSendRelease();
        rig.link.CloseLinkPort();
        auto hex = [](const std::vector<uint8_t>& c) {
            return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(c.data()), int(c.size())).toHex());
        };
        const QStringList expected{"learned " + hex(a), "learned " + hex(b), "received " + hex(b), "fired", "released"};
        auto lines = [&] {
            QFile f(log);
            if (!f.open(QIODevice::ReadOnly)) return QStringList();
            return QString::fromLatin1(f.readAll()).split('\n', Qt::SkipEmptyParts);
        };
        QTRY_COMPARE_WITH_TIMEOUT(lines(), expected, 5000);

        // A file that is no learned code is refused before the line opens.
        QProcess p;
        WriteFile(dir_.filePath("short.sbin"), std::vector<uint8_t>(100, 0));
        p.start(ORVALINK_REMOTE_SIM, {"--learn", dir_.filePath("short.sbin")});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("100 bytes"));
    }

    void olderPacketProtocol() {
        const auto remote = Pattern(6);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim({}));
        Rig rig(path_);
        std::vector<uint8_t> transfer;
        QCOMPARE(int(rig.transfers.BackupDownloadPackets(transfer).kind), int(TransferResult::Ok));
        QCOMPARE(transfer.size(), size_t(262144));
        QVERIFY(std::equal(transfer.begin(), transfer.end(), remote.begin()));
    }

    void simRefusesBadOptionsAndBadFlashFiles() {
        QProcess p;
        p.start(ORVALINK_REMOTE_SIM, {"--refuse-block", "x"});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 2);
        WriteFile(FlashFile(), std::vector<uint8_t>(100, 0));
        p.start(ORVALINK_REMOTE_SIM, {"--flash", FlashFile()});
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("100 bytes"));
        // The file was left as it was.
        QCOMPARE(ReadFile(FlashFile()).size(), size_t(100));
    }

    void refusedUploadEndsWithAnError() {
        WriteFile(FlashFile(), Pattern(5));
        QVERIFY(StartSim({"--refuse-block", "500"}));
        Rig rig(path_);
        QVERIFY(!rig.transfers.UploadToRemote(rig.progress, kKindWhole));
        QCOMPARE(rig.link.LinkStatus(), kLinkFailed);
    }
};

QTEST_GUILESS_MAIN(LinkEndToEndTest)
#include "LinkEndToEndTest.moc"
