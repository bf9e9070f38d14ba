// Download and Upload as the user starts them, from the main window and the
// start dialog, through the communication window and its transfer dialog,
// against the virtual remote on a pseudo-terminal.
#include <QPushButton>
#include <QProcess>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QApplication>
#include <QTimer>
#include <QtTest>

#include "support/RemoteSimProcess.h"
#include "WindowsRig.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/Doyouknowut.h"
#include "app/MainFm.h"
#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "link/qt/Comtestut.h"
#include "link/qt/Transtatus.h"
#include "platform/Random.h"
#include <QComboBox>
#include <QPlainTextEdit>

#include "platform/doubles/FixedClock.h"
#include "platform/doubles/MemoryRegistry.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

constexpr size_t kFlashBytes = 4096 * 264;

std::vector<uint8_t> Pattern(uint8_t seed) {
    std::vector<uint8_t> f(kFlashBytes);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 31 + seed + i / 264);
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

// Answers the transfer dialog as a user would: OK once every block went
// through, or Cancel once the gauge passes `cancelAt`.
class DialogAnswerer : public QObject {
public:
    int cancelAt = -1;
    explicit DialogAnswerer(TComTestFm& owner) : owner_(owner) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* d = qobject_cast<TTranStaFm*>(window);
                if (!d) continue;
                if (!d->isVisible()) continue;
                // A broken transfer leaves the dialog to the user, who cancels
                // it once the gauge has stood still for a while.
                if (d->Position() != lastPosition_) {
                    lastPosition_ = d->Position();
                    still_ = 0;
                }
                const bool broken = owner_.Link().LinkStatus() == kLinkFailed || ++still_ > 200;
                if (((cancelAt >= 0 && d->Position() >= cancelAt) || broken) && d->CancelButton()->isEnabled())
                    d->CancelButton()->click();
                else if (d->OkButton()->isEnabled())
                    d->OkButton()->click();
            }
        });
        timer_.start(20);
    }

private:
    TComTestFm& owner_;
    QTimer timer_;
    int lastPosition_ = -1;
    int still_ = 0;
};

}  // namespace

class WindowLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess sim_;
    QString path_;
    fs::path folder_;

    fs::path FlashFile() const { return fs::path(dir_.path().toStdString()) / "remote.flash"; }

    bool StartSim(const QStringList& extra = {}) {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, QString::fromStdString(FlashFile().string()), extra, path_);
    }

    // Everything the windows need, pointed at the virtual remote.
    struct Rig : testing::WindowsRig {
        DialogAnswerer answerer;
        Rig(const fs::path& folder, const QString& port) : WindowsRig(folder, port), answerer(comTest) {}
        QStringList Texts() const {
            QStringList out;
            for (const auto& t : ui.MessageTexts()) out << QString::fromStdString(t);
            return out;
        }
    };

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = fs::path(dir_.path().toStdString()) / "program";
        fs::create_directories(folder_ / "bk");
        fs::create_directories(folder_ / "mcf");
        for (const char* f : {"type.ini", "bk/default_.vmcf"}) fs::copy_file(fs::path(ORVALINK_PROGRAM_DIR) / f, folder_ / f);
    }
    void cleanup() {
        testing::StopRemoteSim(sim_);
        fs::remove_all(folder_);
    }

    void mainWindowDownloadThenUpload() {
        const auto remote = Pattern(3);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim());
        Rig rig(folder_, path_);
        QVERIFY(rig.main.DownloadAction()->isEnabled());
        rig.ui.AnswerNextMessage(MsgAnswer::No);  // "Save Changes to ..."
        rig.main.m_cDownloadItClick();
        QCOMPARE(rig.Texts().first(), QStringLiteral("\n Save Changes to NoneName.vmcf ?"));
        QCOMPARE(rig.Texts().last(), QStringLiteral("Download Flash Data Ok !"));
        auto img = rig.flash.Image();
        QVERIFY(std::equal(img.begin(), img.begin() + long(kTransferBytes), remote.begin()));
        QCOMPARE(rig.main.ModifiedMark(), kMarkChanged);
        QVERIFY(rig.main.DownloadAction()->isEnabled());

        for (size_t i = 0; i < 264; ++i) img[i] = uint8_t(0x5A ^ i);  // an edit of page 0
        rig.main.m_cUploadItClick();
        // "Verify after upload" is on by default: the blocks were read back.
        QCOMPARE(rig.Texts().last(), QStringLiteral("Upload Flash Data Ok !\nUpload verified: 1013 blocks as sent."));
        rig.comTest.CloseLinkPort();
        sim_.terminate();
        sim_.waitForFinished(5000);
        const auto after = ReadFile(FlashFile());
        QVERIFY(after.size() >= 264);
        QCOMPARE(after[7], uint8_t(0x5A ^ 7));
    }

    void startDialogDownloadKeepsTheTemplateBeyondTheTransfer() {
        const auto remote = Pattern(4);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim());
        Rig rig(folder_, path_);
        TDoYouKnowFm start(rig.services, rig.main, 2000);
        start.DownloadButton()->setChecked(true);
        QVERIFY(start.DownloadButton()->isEnabled());
        start.m_YesBtnClick();
        QCOMPARE(rig.Texts().last(), QStringLiteral("Download Flash Data Ok !"));
        QCOMPARE(rig.main.CurrentPath(), (folder_ / "mcf" / "noname.vmcf").string());
        QCOMPARE(rig.main.ModifiedMark(), kMarkChanged);
        std::vector<uint8_t> factory;
        VFileHeader header;
        QVERIFY(LoadVFile(folder_ / "bk" / "default_.vmcf", factory, header));
        auto img = rig.flash.Image();
        QVERIFY(std::equal(img.begin(), img.begin() + long(kTransferBytes), remote.begin()));
        QVERIFY(std::equal(img.begin() + long(kTransferBytes), img.begin() + long(factory.size()),
                           factory.begin() + long(kTransferBytes)));
    }

    void cancelledAndBrokenDownloadsLeaveTheImage() {
        WriteFile(FlashFile(), Pattern(5));
        QVERIFY(StartSim());
        {
            Rig rig(folder_, path_);
            rig.answerer.cancelAt = 300;
            TDoYouKnowFm start(rig.services, rig.main, 2000);
            start.DownloadButton()->setChecked(true);
            start.m_YesBtnClick();
            QCOMPARE(rig.Texts().last(), QStringLiteral("Download transfer broken !"));
            QVERIFY(rig.ui.Messages().back().icon == MsgIcon::Information);
            QVERIFY(start.isVisible());  // the dialog stays for another choice
            rig.comTest.CloseLinkPort();
        }
        sim_.terminate();
        sim_.waitForFinished(5000);
        QVERIFY(StartSim({"--hang-up-after", "100"}));
        Rig rig(folder_, path_);
        std::vector<uint8_t> before(rig.flash.Image().begin(), rig.flash.Image().end());
        rig.ui.AnswerNextMessage(MsgAnswer::No);
        rig.main.m_cDownloadItClick();
        QCOMPARE(rig.Texts().last(), QStringLiteral("Download Flash Data Error !"));
        QVERIFY(std::equal(before.begin(), before.end(), rig.flash.Image().begin()));
    }

    // The discovery page's buttons and the test page's combos, as the user
    // works them, on the real port.
    void testAndDiscoveryPageControls() {
        WriteFile(FlashFile(), Pattern(6));
        QVERIFY(StartSim());
        Rig rig(folder_, path_);
        rig.comTest.m_ClearBtnClick();
        QVERIFY(rig.comTest.ComMemo()->toPlainText().isEmpty());
        rig.comTest.m_ActionBtnClick();
        QVERIFY(rig.comTest.ComMemo()->toPlainText().contains(QStringLiteral("Finding Visual ComPort ..... COM3")));
        QCOMPARE(rig.comTest.PortCombo()->currentText(), QStringLiteral("COM3"));
        QCOMPARE(rig.comTest.TrayHint(), QStringLiteral("Visual ComPort is COM3"));
        rig.comTest.m_ClearBtnClick();
        QVERIFY(rig.comTest.ComMemo()->toPlainText().isEmpty());

        rig.comTest.ComPortCBoxChange(QStringLiteral("Auto"));
        QVERIFY(rig.comTest.Link().Port().IsOpen());
        QCOMPARE(rig.comTest.Monitor()->toPlainText().trimmed(), QStringLiteral("3"));
        rig.comTest.ComPortCBoxChange(QStringLiteral("COM2"));  // open: the next open takes it
        QCOMPARE(rig.comTest.Link().Discovery().PortNumber(), 2);
        QVERIFY(rig.comTest.Link().Port().IsOpen());
        rig.comTest.BaudRateCBoxChange(QStringLiteral("57600"));
        QCOMPARE(rig.comTest.Link().Port().BaudRate(), 57600);
        rig.comTest.CloseLinkPort();

        // The cable pulled: the combo goes back to Auto.
        rig.comTest.Link().Discovery().OnDeviceChange({DeviceChangeEvent::Kind::RemoveComplete, true, "COM3"});
        QCOMPARE(rig.comTest.PortCombo()->currentText(), QStringLiteral("Auto"));
        QCOMPARE(rig.comTest.TrayHint(), QStringLiteral("Visual ComPort is Remove !"));
    }

    // A port discovery finds beyond the combo's COM32 is not opened, and said so.
    void aPortBeyondTheComboIsRefused() {
        ScriptedUiServices ui;
        FixedClock clock;
        TTiFlashFm flash;
        MemoryRegistry registry;
        const std::string key = std::string(kNtAdapterKey) + "\\a";
        registry.SetValue(key + "\\Control", "ActiveService", "Ser2pl");
        registry.SetValue(key + "\\Control", "DeviceReference", "1");
        registry.SetValue(key + "\\Device Parameters", "PortName", "COM40");
        TComTestFm comTest(folder_, ui, clock, flash, registry);
        comTest.ComPortCBoxChange(QStringLiteral("Auto"));
        QVERIFY(!comTest.Link().Port().IsOpen());
        const auto texts = ui.MessageTexts();
        QVERIFY(std::find(texts.begin(), texts.end(), "Visual ComPort Not Found ! Please Checking again!") != texts.end());
        QVERIFY(comTest.Monitor()->toPlainText().isEmpty());
    }
};

QTEST_MAIN(WindowLinkTest)
#include "WindowLinkTest.moc"
