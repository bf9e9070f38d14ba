// The communication window's upgrade page worked through its own controls
// against the virtual remote on a pseudo-terminal: an "All" upgrade of a
// 5100-family remote from files, and a backup of the remote to a document.
#include <QCheckBox>
#include <QComboBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/RemoteSimProcess.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "formats/VFileHeader.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"
#include "link/Transfers.h"
#include "link/qt/Comtestut.h"
#include "link/qt/UpgradePage.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"
#include "platform/linux/SysfsRegistry.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

constexpr size_t kFlashBytes = 4096 * 264;
constexpr size_t kProgramBytes = 58880;
// The settings bytes the remote keeps through a flash write.
constexpr size_t kKeptStart = size_t(kSettingsBlock) * 264 + kPreservedOffset;
constexpr size_t kKeptEnd = kKeptStart + kPreservedBytes;

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> f(size);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 37 + seed + i / 264);
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

bool WriteVFile(const fs::path& path, uint16_t kind, const std::vector<uint8_t>& payload) {
    VFileHeader header;
    if (!FillVFileHeader(kind, 2000, 0x0105, header)) return false;
    SetSingleName(header, FieldText(header.modelName) + "_");
    FixedClock clock;
    Pcg32Random random(11);
    return SaveVFile(path, payload, header, clock, random);
}

}  // namespace

class UpgradePageLinkTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess sim_;
    QString pty_;
    fs::path folder_;

    fs::path Temp() const { return fs::path(dir_.path().toStdString()); }
    fs::path FlashFile() const { return Temp() / "remote.flash"; }
    fs::path FirmwareFile() const { return Temp() / "remote.flash.mcu"; }

    bool StartSim() {
        return testing::StartRemoteSim(sim_, ORVALINK_REMOTE_SIM, QString::fromStdString(FlashFile().string()), {},
                                       pty_);
    }

    // The window as the program builds it, its port the simulator's terminal.
    struct Rig {
        ScriptedUiServices ui;
        FixedClock clock;
        TTiFlashFm flash;
        SysfsRegistry registry;
        TComTestFm window;
        Rig(const fs::path& folder, const QString& port) : window(folder, ui, clock, flash, registry) {
            registry.AddPortEntry(port.toStdString() + "=COM3");
        }
        UpgradePage& Page() { return *window.Upgrade(); }
        // The model, chosen from the list as the user does.
        bool ChooseModel(const QString& name) {
            QComboBox* box = Page().SelectModelCBox;
            const int at = box->findText(name);
            if (at < 0 || !box->isEnabled()) return false;
            box->setCurrentIndex(at);
            emit box->activated(at);
            return true;
        }
        std::vector<std::string> Texts() const { return ui.MessageTexts(); }
    };

private slots:
    void init() {
        QVERIFY(dir_.isValid());
        folder_ = Temp() / "program";
        fs::create_directories(folder_);
        fs::copy_file(fs::path(ORVALINK_SOURCE_DIR) / "assets" / "type.ini", folder_ / "type.ini");
    }
    void cleanup() {
        testing::StopRemoteSim(sim_);
        fs::remove_all(folder_);
        for (const fs::path& f : {FlashFile(), FirmwareFile()}) fs::remove(f);
    }

    void upgradeAllFromFilesWritesProgramAndFlash() {
        const auto remote = Pattern(kFlashBytes, 1);
        WriteFile(FlashFile(), remote);
        const auto program = Pattern(kProgramBytes, 9);
        const auto document = Pattern(kDocumentImageBytes, 42);
        const fs::path vmcu = Temp() / "new.vmcu";
        const fs::path vmcf = Temp() / "new.vmcf";
        QVERIFY(WriteVFile(vmcu, kKindVmcu, program));
        QVERIFY(WriteVFile(vmcf, kKindVmcf, document));
        QVERIFY(StartSim());

        Rig rig(folder_, pty_);
        UpgradePage& page = rig.Page();
        rig.window.show();
        QVERIFY(rig.ChooseModel(QStringLiteral("QM-5100")));
        page.FileRBtn->click();
        QCOMPARE(int(page.State()), int(UpgradePageState::SourceFile));
        rig.ui.ChooseNext(vmcu.string());
        page.OpenVmcuBtn->click();
        rig.ui.ChooseNext(vmcf.string());
        page.OpenVmcfBtn->click();
        QCOMPARE(rig.ui.Dialogs().size(), size_t(2));
        QCOMPARE(int(page.State()), int(UpgradePageState::ReadyNewModel));
        QVERIFY(page.UpmfBtn->isEnabled());
        QVERIFY(rig.Texts().empty());

        if (page.BackupFirstCBox->isChecked()) page.BackupFirstCBox->click();
        QVERIFY(!page.BackupFirstCBox->isChecked());
        page.UpAllRBtn->click();
        QVERIFY(page.UpAllRBtn->isChecked());
        rig.ui.AnswerNextMessage(MsgAnswer::Yes);  // the reminder that the user's setup goes
        page.UpmfBtn->click();

        const auto texts = rig.Texts();
        QVERIFY(!texts.empty());
        QVERIFY(texts.front().rfind("Reminder !!! \n\nThis action will upgrade program", 0) == 0);
        QCOMPARE(texts.back(), std::string("Write 5100 Flash Data Ok !"));
        QCOMPARE(texts.size(), size_t(2));
        QCOMPARE(rig.ui.Dialogs().size(), size_t(2));  // no backup was asked for
        QCOMPARE(int(page.State()), int(UpgradePageState::UpgradeDone));
        QVERIFY(page.UpmfBtn->isEnabled());
        QCOMPARE(page.CGue2->value(), 0);

        rig.window.CloseLinkPort();
        testing::StopRemoteSim(sim_);
        QCOMPARE(ReadFile(FirmwareFile()), program);
        const auto after = ReadFile(FlashFile());
        QCOMPARE(after.size(), kFlashBytes);
        QVERIFY(std::equal(after.begin(), after.begin() + long(kKeptStart), document.begin()));
        QVERIFY(std::equal(after.begin() + long(kKeptStart), after.begin() + long(kKeptEnd),
                           remote.begin() + long(kKeptStart)));
        QVERIFY(std::equal(after.begin() + long(kKeptEnd), after.begin() + long(kDocumentImageBytes),
                           document.begin() + long(kKeptEnd)));
    }

    void backupRemoteSavesItsFlash() {
        const auto remote = Pattern(kFlashBytes, 5);
        WriteFile(FlashFile(), remote);
        QVERIFY(StartSim());

        Rig rig(folder_, pty_);
        UpgradePage& page = rig.Page();
        rig.window.show();
        QVERIFY(rig.ChooseModel(QStringLiteral("QM-5100")));
        page.BackupRBtn->click();
        QCOMPARE(int(page.State()), int(UpgradePageState::SourceBackup));
        const fs::path saved = Temp() / "saved.vmcf";
        rig.ui.ChooseNext(saved.string());
        page.BackupBtn->click();

        QCOMPARE(rig.Texts(), (std::vector<std::string>{"Download 5100 Flash Data Ok !", "Backup VMCF file Ok !"}));
        QCOMPARE(int(page.State()), int(UpgradePageState::BackupDone));
        QVERIFY(page.BackupBtn->isEnabled());
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(saved, payload, header));
        QCOMPARE(header.kindCode, kKindVmcf);
        QCOMPARE(int(header.modelCode), 2000);
        QCOMPARE(payload.size(), kDocumentImageBytes);
        QVERIFY(std::equal(payload.begin(), payload.end(), remote.begin()));

        // The read changed nothing on the remote.
        rig.window.CloseLinkPort();
        testing::StopRemoteSim(sim_);
        QVERIFY(ReadFile(FlashFile()) == remote);
        QVERIFY(!fs::exists(FirmwareFile()));
    }
};

QTEST_MAIN(UpgradePageLinkTest)
#include "UpgradePageLinkTest.moc"
