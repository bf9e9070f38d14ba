// The upgrade page driven as the user drives it, with a runner that records
// what would have gone to the remote and a clock of its own.
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/ModelCatalogue.h"
#include "formats/FileIo.h"
#include "formats/VFiles.h"
#include "formats/XFiles.h"
#include "image/Tiflashut.h"
#include "link/OlderFlashTransfers.h"
#include "link/qt/UpgradePage.h"
#include "platform/HttpClient.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"
#include "platform/doubles/ScriptedUiServices.h"

using namespace orvalink;
namespace fs = std::filesystem;

namespace {

// What reached the remote, with the time it happened.
struct Call {
    std::string what;
    UpgradeButton button{};
    int kind = 0;
    uint32_t at = 0;
};

class RecordingRunner final : public UpgradeRunner {
public:
    TransferOutcome RunButton(UpgradeButton button, int kind) override {
        calls.push_back({"button", button, kind, now});
        kindsSeen.push_back(buffers.kind);
        if (!results.empty()) {
            TransferOutcome r = results.front();
            results.erase(results.begin());
            return r;
        }
        return TransferOutcome{TransferResult::Ok, {}, MsgIcon::None};
    }
    void Pause(uint32_t ms) override { now += ms; }
    BackupResult Backup(uint16_t modelCode) override {
        calls.push_back({"backup", {}, modelCode, now});
        BackupResult r;
        r.outcome = TransferOutcome{backupOk ? TransferResult::Ok : TransferResult::Failed, {}, MsgIcon::None};
        r.bytes = backupBytes;
        return r;
    }
    TransferOutcome WriteWholeFlash(std::span<const uint8_t> file) override {
        calls.push_back({"whole", {}, 0, now});
        written.assign(file.begin(), file.end());
        return TransferOutcome{TransferResult::Ok, "Upgrade Flash Memory Sucess !", MsgIcon::Information};
    }
    TransferOutcome WritePreProgramCode(std::span<const uint8_t> file) override {
        calls.push_back({"precode", {}, 0, now});
        written.assign(file.begin(), file.end());
        return TransferOutcome{TransferResult::Ok, "Pre-Program Code Upgrade Sucess!", MsgIcon::Information};
    }
    void Cancel() override { calls.push_back({"cancel", {}, 0, now}); }
    UpgradeBuffers& Buffers() override { return buffers; }

    std::vector<Call> calls;
    std::vector<int> kindsSeen;  // the buffers' kind when each button ran
    std::vector<TransferOutcome> results;
    std::vector<uint8_t> written;
    UpgradeBuffers buffers;
    uint32_t now = 0;
    bool backupOk = true;
    std::vector<uint8_t> backupBytes = std::vector<uint8_t>(kOlderFlashSize, 0x5A);
};

// The page never goes on line in these tests. With `stall` set it meets a
// server that never answers: the GET waits, the window's events running,
// until the user's Cancel (or gives up after a few seconds).
class NoHttp final : public HttpClient {
public:
    bool CheckConnection(const std::string&, uint32_t, const HttpCancelled&) override { return stall; }
    HttpResponse Get(const std::string&, const HttpLimits&, const std::function<void(uint64_t)>&,
                     const HttpCancelled& cancelled) override {
        if (!stall) return HttpResponse{HttpFailure::Connect, 0, {}, "off line"};
        if (whileWaiting) QTimer::singleShot(0, whileWaiting);
        QTimer tick;  // wakes the wait now and then; nothing spins
        tick.start(20);
        QDeadlineTimer giveUp(5000);
        while (!giveUp.hasExpired()) {
            if (cancelled && cancelled()) {
                sawCancel = true;
                return HttpResponse{HttpFailure::Cancelled, 0, {}, "cancelled"};
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        }
        return HttpResponse{HttpFailure::Timeout, 0, {}, "timed out"};
    }
    bool stall = false;
    bool sawCancel = false;
    std::function<void()> whileWaiting;
};

}  // namespace

class UpgradePageTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    FixedClock clock_;
    ScriptedUiServices ui_;
    TTiFlashFm flash_;
    NoHttp http_;
    RecordingRunner runner_;
    std::unique_ptr<UpgradePage> page_;

    fs::path Folder() const { return fs::path(dir_.path().toStdString()); }

    std::string MakeFile(const std::string& name, uint16_t kind, uint16_t model, uint16_t version,
                         std::vector<uint8_t> payload) {
        VFileHeader header;
        if (!FillVFileHeader(kind, model, version, header)) return {};
        std::string form;
        ModelName(model, form);
        SetSingleName(header, form + "_");
        Pcg32Random random(3);
        const fs::path path = Folder() / name;
        if (!SaveVFile(path, payload, header, clock_, random)) return {};
        return path.string();
    }
    void Choose(const char* name) {
        page_->SelectModelCBox->setCurrentText(QString::fromUtf8(name));
        QCOMPARE(page_->SelectModelCBox->currentText(), QString::fromUtf8(name));
        page_->SelectModelCBoxChange();
    }
    bool Shown(const std::string& text) const {
        const auto texts = ui_.MessageTexts();
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    std::vector<UpgradeButton> ButtonsRun() const {
        std::vector<UpgradeButton> b;
        for (const Call& c : runner_.calls)
            if (c.what == "button") b.push_back(c.button);
        return b;
    }
    void LoadNewModelFiles(uint16_t model) {
        QVERIFY(page_->LoadUpgradeFile(MakeFile("p.vmcu", kKindVmcu, model, 0x0107, std::vector<uint8_t>(30720, 0x11))));
        QVERIFY(page_->LoadUpgradeFile(MakeFile("f.vmcf", kKindVmcf, model, 0x0203, std::vector<uint8_t>(5000, 0x22))));
    }

private slots:
    void init() {
        ui_.Clear();
        runner_ = RecordingRunner();
        http_.stall = false;
        http_.sawCancel = false;
        http_.whileWaiting = {};
        fs::remove(Folder() / kBackupFirstFile);
        page_ = std::make_unique<UpgradePage>(Folder(), ui_, clock_, flash_, http_, runner_);
        std::vector<std::string> names;
        for (std::string_view n : DefaultUpgradeModelList()) names.emplace_back(n);
        names.emplace_back("PRM");
        page_->SetModelNames(names);
        page_->BackupFirstCBox->setChecked(false);
    }
    void cleanup() { page_.reset(); }

    void startsWithOnlyTheModelChoice() {
        QCOMPARE(int(page_->State()), int(UpgradePageState::Start));
        QVERIFY(!page_->DsGBox->isVisibleTo(page_.get()));
        QVERIFY(!page_->G3Box->isVisibleTo(page_.get()));
        QVERIFY(!page_->Up256kCancleBtn->isEnabled());
    }

    void modelAndSourceChooseWhatIsShown() {
        Choose("QM-5100");
        QVERIFY(page_->DsGBox->isVisibleTo(page_.get()));
        QVERIFY(page_->UpmfBtn->isVisibleTo(page_.get()));
        QVERIFY(!page_->UpmfBtn->isEnabled());
        QVERIFY(!page_->UmcuBtn->isVisibleTo(page_.get()));
        QVERIFY(page_->InetPal->isVisibleTo(page_.get()));
        QVERIFY(!page_->FilePal->isVisibleTo(page_.get()));
        page_->FileRBtn->click();
        QCOMPARE(int(page_->State()), int(UpgradePageState::SourceFile));
        QVERIFY(page_->FilePal->isVisibleTo(page_.get()));
        QVERIFY(!page_->InetPal->isVisibleTo(page_.get()));

        // A program alone marks "Program"; both files make the page ready.
        QVERIFY(page_->LoadUpgradeFile(MakeFile("p.vmcu", kKindVmcu, 2000, 0x0107, std::vector<uint8_t>(100, 1))));
        QCOMPARE(int(page_->State()), int(UpgradePageState::ProgramOnly));
        QVERIFY(!page_->UpmfBtn->isEnabled());
        QCOMPARE(page_->McuLbe->text(), QStringLiteral("1.07"));
        QVERIFY(page_->LoadUpgradeFile(MakeFile("f.vmcf", kKindVmcf, 2000, 0x0203, std::vector<uint8_t>(100, 2))));
        QCOMPARE(int(page_->State()), int(UpgradePageState::ReadyNewModel));
        QVERIFY(page_->UpmfBtn->isEnabled());
        QVERIFY(page_->flashPal->property("marked").toBool());
        QCOMPARE(flash_.Image()[0], uint8_t(2));

        // An older model shows the two old buttons instead.
        Choose("QM-8100/8200");
        QCOMPARE(int(page_->State()), int(UpgradePageState::SourceFile));
        QVERIFY(page_->UmcuBtn->isVisibleTo(page_.get()));
        QVERIFY(page_->UflashBtn->isVisibleTo(page_.get()));
        QVERIFY(!page_->UpmfBtn->isVisibleTo(page_.get()));
        QVERIFY(!page_->McuLoaded());
        QVERIFY(ui_.Messages().empty());

        // The label "( Flash memory only )" chooses the backup source.
        QTest::mouseClick(page_->FlashOnlyLbe, Qt::LeftButton);
        QVERIFY(page_->BackupRBtn->isChecked());
        QVERIFY(page_->BackupPal->isVisibleTo(page_.get()));
    }

    // X files load like V files: an ".xmcu" into the MCU buffer, an ".xmcf"
    // into the image of the chosen model's family; the labels show the
    // header's model text and version. A file that does not read, or whose
    // stored kind is not its extension's, is refused with the load error;
    // other extensions are refused silently.
    void xFilesLoadIntoTheBuffers_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("name");      // the file as the user opens it
        QTest::addColumn<int>("kind");          // kind written; -1 an S binary
        QTest::addColumn<bool>("broken");       // one scrambled byte changed
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("message");   // "" none; else the text before the path
        const QString vmcf = QStringLiteral("Load VMCF file Error ! \n\nPath: ");
        const QString vmcu = QStringLiteral("Load VMCU file Error ! \n\nPath: ");
        QTest::newRow("good xmcu") << "QM-5100" << "p.xmcu" << int(kXmcu) << false << true << "";
        QTest::newRow("good xmcf") << "QM-5100" << "f.xmcf" << int(kXmcf) << false << true << "";
        QTest::newRow("good xmcf, older model") << "QM-8100/8200" << "f.XMCF" << int(kXmcf) << false << true << "";
        QTest::newRow("broken xmcf") << "QM-5100" << "f.xmcf" << int(kXmcf) << true << false << vmcf;
        QTest::newRow("broken xmcu") << "QM-5100" << "p.xmcu" << int(kXmcu) << true << false << vmcu;
        QTest::newRow("program as xmcf") << "QM-5100" << "f.xmcf" << int(kXmcu) << false << false << vmcf;
        QTest::newRow("sbin refused") << "QM-5100" << "v.sbin" << -1 << false << false << "";
    }
    void xFilesLoadIntoTheBuffers() {
        QFETCH(QString, model);
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(bool, broken);
        QFETCH(bool, loaded);
        QFETCH(QString, message);
        Choose(model.toUtf8().constData());
        page_->FileRBtn->click();
        const UpgradePageState before = page_->State();
        std::vector<uint8_t> data(5000);
        for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 7 + 3);
        const fs::path path = Folder() / name.toStdString();
        if (kind < 0) {
            QVERIFY(ReplaceFileBytes(path, BuildSBinBytes(data, kSBinFromMcu, 30, LocalDate{2026, 6, 7})));
        } else {
            XFileHeader header;
            QVERIFY(XHeaderForModel(8, 0x0203, header));  // "QM-2300"
            Pcg32Random random(5);
            const fs::path written = fs::path(path).replace_extension(XExtension(uint8_t(kind)));
            QVERIFY(WriteXFile(written, data, header, uint8_t(kind), clock_, random).Ok());
            std::vector<uint8_t> bytes;
            QVERIFY(ReadFileBytes(written, bytes, kXFileLimit));
            if (broken) bytes[kXHeaderBytes + 10] ^= 0x40;
            fs::remove(written);
            QVERIFY(ReplaceFileBytes(path, bytes));
        }
        const std::vector<uint8_t> mcuBefore = runner_.buffers.mcu;

        QCOMPARE(page_->LoadUpgradeFile(path.string()), loaded);

        const bool mcu = kind == kXmcu && name.endsWith(QStringLiteral(".xmcu"));
        QCOMPARE(page_->McuLoaded(), loaded && mcu);
        QCOMPARE(page_->FlashLoaded(), loaded && !mcu);
        if (message.isEmpty())
            QVERIFY(ui_.Messages().empty());
        else
            QCOMPARE(ui_.MessageTexts(), std::vector<std::string>{message.toStdString() + path.string()});
        if (!loaded) {
            QCOMPARE(int(page_->State()), int(before));
            QVERIFY(runner_.buffers.mcu == mcuBefore);
            QVERIFY(page_->McuLbe->text().isEmpty() && page_->FlashLbe->text().isEmpty());
            return;
        }
        QCOMPARE((mcu ? page_->McuLbe : page_->FlashLbe)->text(), QStringLiteral("2.03"));
        QCOMPARE((mcu ? page_->McuNLbe : page_->FlashNLbe)->text(), QStringLiteral("QM-2300"));
        const bool older = model == QStringLiteral("QM-8100/8200");
        std::span<const uint8_t> held = mcu ? std::span<const uint8_t>(runner_.buffers.mcu)
                                      : older ? std::span<const uint8_t>(page_->OlderFlash())
                                              : std::span<const uint8_t>(flash_.Image());
        QVERIFY(held.size() > data.size());
        QVERIFY(std::equal(data.begin(), data.end(), held.begin()));
        if (mcu || older) QCOMPARE(held[data.size()], uint8_t(0xFF));  // the rest filled
        QCOMPARE(int(page_->State()), int(mcu ? UpgradePageState::ProgramOnly : UpgradePageState::FlashOnly));
    }

    void qm3400ShowsTheVersionNote() {
        Choose("QM-3400 (after v1.50)");
        QCOMPARE(ui_.MessageTexts(), std::vector<std::string>{Qm3400Note()});
        QCOMPARE(int(page_->State()), int(UpgradePageState::SourceInternet));
        ui_.Clear();
        Choose("QM-5100");
        Choose("QM-8100/8200");
        QVERIFY(ui_.Messages().empty());
    }

    void upgradeWithoutProgramSendsNothing() {
        Choose("QM-5100");
        page_->UpmfBtnClick();
        QCOMPARE(ui_.MessageTexts().size(), size_t(2));
        QVERIFY(ui_.MessageTexts()[0].rfind("Reminder !!! \n\nThis action will upgrade program", 0) == 0);
        QCOMPARE(ui_.MessageTexts()[1], std::string("Please Open a VMCU File first !"));
        QVERIFY(runner_.calls.empty());
        QCOMPARE(int(page_->State()), int(UpgradePageState::UpgradeDone));
        QVERIFY(page_->UpmfBtn->isEnabled());
    }

    void prmWritesTheProgramOnly() {
        Choose("PRM");
        QVERIFY(page_->LoadUpgradeFile(MakeFile("p.vmcu", kKindVmcu, 1085, 0x0101, std::vector<uint8_t>(100, 1))));
        QCOMPARE(int(page_->State()), int(UpgradePageState::ReadyNewModel));  // no flash file needed
        page_->UpmfBtnClick();
        QCOMPARE(ButtonsRun(), std::vector<UpgradeButton>{UpgradeButton::WritePrmMcu});
        QCOMPARE(runner_.now, uint32_t(0));
    }

    void family5100WritesProgramThenFlash_data() {
        QTest::addColumn<bool>("all");
        QTest::addColumn<int>("kind");
        QTest::newRow("All") << true << 20;
        QTest::newRow("Pre-programmed code") << false << 10;
    }
    void family5100WritesProgramThenFlash() {
        QFETCH(bool, all);
        QFETCH(int, kind);
        Choose("QM-5100");
        LoadNewModelFiles(2000);
        (all ? page_->UpAllRBtn : page_->UpCodeRBtn)->setChecked(true);
        page_->UpmfBtnClick();
        QCOMPARE(runner_.calls.size(), size_t(2));
        QCOMPARE(int(runner_.calls[0].button), int(UpgradeButton::WriteN5kMcu));
        QCOMPARE(int(runner_.calls[1].button), int(UpgradeButton::WriteTi5Flash));
        QCOMPARE(runner_.calls[1].at - runner_.calls[0].at, uint32_t(3200));
        QCOMPARE(runner_.calls[1].kind, kind);
        QCOMPARE(runner_.kindsSeen[1], kind);
        QCOMPARE(Shown("Please Open a VMCU File first !"), false);
        // Only "All" reminds that the user's setup goes.
        QCOMPARE(ui_.MessageTexts().size() > 0 &&
                     ui_.MessageTexts()[0].rfind("Reminder !!!", 0) == 0, all);
    }

    void failedProgramStepSkipsTheFlash() {
        Choose("QM-5100");
        LoadNewModelFiles(2000);
        runner_.results = {TransferOutcome{TransferResult::Failed, {}, MsgIcon::None}};
        page_->UpmfBtnClick();
        QCOMPARE(ButtonsRun().size(), size_t(1));
        QVERIFY(Shown("Write 5k MCU Flash Data Error !"));
        ui_.Clear();
        runner_.calls.clear();
        runner_.results = {TransferOutcome{TransferResult::Broken, {}, MsgIcon::None}};
        page_->UpmfBtnClick();
        QCOMPARE(ButtonsRun().size(), size_t(1));
        QVERIFY(Shown("Transfer broken !"));
    }

    void everyProgramFileSizeIsTakenWhole() {
        // The largest program "Make VMCU" makes (model code 1200 on) and the
        // smallest: the buffer keeps each whole, the rest 0xFF.
        Choose("QM-5100");
        for (const size_t size : {size_t(65536), size_t(1)}) {
            std::vector<uint8_t> program(size);
            for (size_t i = 0; i < size; ++i) program[i] = uint8_t(i * 3 + i / 512);
            QVERIFY(page_->LoadUpgradeFile(MakeFile("p.vmcu", kKindVmcu, 2000, 0x0107, program)));
            QVERIFY(page_->McuLoaded());
            const auto& mcu = runner_.buffers.mcu;
            QVERIFY(mcu.size() >= size);
            QVERIFY(std::equal(program.begin(), program.end(), mcu.begin()));
            QVERIFY(std::all_of(mcu.begin() + long(size), mcu.end(), [](uint8_t b) { return b == 0xFF; }));
        }
        QVERIFY(ui_.Messages().empty());
    }

    void olderModelUpgradeDoesNothing() {
        Choose("QM-8100/8200");
        QVERIFY(page_->LoadUpgradeFile(MakeFile("p.vmcu", kKindVmcu, 100, 0x0101, std::vector<uint8_t>(100, 1))));
        page_->UpmfBtnClick();
        QVERIFY(runner_.calls.empty());
        QCOMPARE(int(page_->State()), int(UpgradePageState::UpgradeDone));
        QVERIFY(page_->DsGBox->isEnabled());
    }

    void olderFlashWritesTakeTheFilesBytes() {
        Choose("QM-8100/8200");
        std::vector<uint8_t> data(kOlderFlashSize);
        for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 5);
        QVERIFY(page_->LoadUpgradeFile(MakeFile("old.vmcf", kKindVmcf, 100, 0x0101, data)));
        QVERIFY(page_->UflashBtn->isEnabled());
        page_->UpCodeRBtn->setChecked(true);
        page_->UflashBtnClick();
        QCOMPARE(runner_.calls.size(), size_t(1));
        QCOMPARE(runner_.calls[0].what, std::string("precode"));
        QVERIFY(runner_.written == data);
        QCOMPARE(ui_.MessageTexts(), std::vector<std::string>{"Pre-Program Code Upgrade Sucess!"});
        QCOMPARE(page_->CGue2->maximum(), kSendPreGaugeMaximum);

        ui_.Clear();
        page_->UpAllRBtn->setChecked(true);
        page_->UflashBtnClick();
        QCOMPARE(runner_.calls.back().what, std::string("whole"));
        QCOMPARE(ui_.MessageTexts().back(), std::string("Upgrade Flash Memory Sucess !"));
        QCOMPARE(page_->CGue2->maximum(), kSend256GaugeMaximum);
    }

    void backupProposesTodaysNameAndReportsCancel() {
        Choose("QM-5100");
        ui_.CancelNextDialog();
        page_->BackupBtnClick();
        QCOMPARE(ui_.Dialogs().size(), size_t(1));
        QVERIFY(ui_.Dialogs()[0].proposedName.find("noname_" + DateStamp(clock_.Today())) != std::string::npos);
        QCOMPARE(ui_.MessageTexts().back(), std::string("Backup VMCF file Error !"));
        QCOMPARE(int(page_->State()), int(UpgradePageState::BackupDone));

        ui_.Clear();
        const std::string out = (Folder() / "backup.vmcf").string();
        ui_.ChooseNext(out);
        page_->BackupBtnClick();
        QCOMPARE(ui_.MessageTexts().back(), std::string("Backup VMCF file Ok !"));
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(out, payload, header));
        QCOMPARE(header.modelCode, uint16_t(2000));
    }

    void upgradeAllBacksUpFirstWhenAsked() {
        Choose("QM-5100");
        LoadNewModelFiles(2000);
        page_->BackupFirstCBox->setChecked(true);
        ui_.CancelNextDialog();
        page_->UpmfBtnClick();
        // The backup was not saved: no upgrade.
        QCOMPARE(runner_.calls.size(), size_t(1));
        QCOMPARE(runner_.calls[0].what, std::string("backup"));
        QVERIFY(Shown("Backup VMCF file Error !"));

        runner_.calls.clear();
        ui_.ChooseNext((Folder() / "before.vmcf").string());
        page_->UpmfBtnClick();
        QCOMPARE(runner_.calls.size(), size_t(3));
        QCOMPARE(runner_.calls[0].what, std::string("backup"));
        QCOMPARE(int(runner_.calls[1].button), int(UpgradeButton::WriteN5kMcu));
        QVERIFY(fs::exists(Folder() / "before.vmcf"));

        // "Pre-programmed code" keeps the user's setup: no backup.
        runner_.calls.clear();
        page_->UpCodeRBtn->setChecked(true);
        page_->UpmfBtnClick();
        QCOMPARE(runner_.calls.size(), size_t(2));
        QCOMPARE(runner_.calls[0].what, std::string("button"));
    }

    void backupOf2300FamilyKeepsItsFlashAndVersion() {
        Choose("QM-2300B Europe");
        runner_.backupBytes.assign(2048 * 264, 0x3C);
        runner_.backupBytes[15] = 0x02;  // version 2.11
        runner_.backupBytes[14] = 0x0B;
        const std::string out = (Folder() / "b2300.vmcf").string();
        ui_.ChooseNext(out);
        page_->BackupBtnClick();
        QCOMPARE(ui_.MessageTexts().back(), std::string("Backup VMCF file Ok !"));
        std::vector<uint8_t> payload;
        VFileHeader header;
        QVERIFY(LoadVFile(out, payload, header));
        QCOMPARE(header.modelCode, uint16_t(1010));
        QCOMPARE(header.versionWord, uint16_t(0x020B));
        QVERIFY(payload == runner_.backupBytes);
    }

    void backupFirstChoiceIsRemembered() {
        page_->BackupFirstCBox->click();  // on (init turned it off)
        page_->BackupFirstCBox->click();  // off
        UpgradePage again(Folder(), ui_, clock_, flash_, http_, runner_);
        QVERIFY(!again.BackupFirstCBox->isChecked());
        page_->BackupFirstCBox->click();
        UpgradePage third(Folder(), ui_, clock_, flash_, http_, runner_);
        QVERIFY(third.BackupFirstCBox->isChecked());
    }

    void cancelStopsTheRunner() {
        page_->Up256kCancleBtn->setEnabled(true);
        page_->SetGaugeMaximum(100);
        page_->SetGauge(50);
        page_->Up256kCancleBtn->click();
        QCOMPARE(runner_.calls.size(), size_t(1));
        QCOMPARE(runner_.calls[0].what, std::string("cancel"));
        QCOMPARE(page_->CGue2->value(), 0);
    }

    // Not a check: with ORVALINK_UPGRADE_PAGE_SHOT set, the page in its
    // ready state is saved there as a picture to look at.
    void readyPagePicture() {
        const QByteArray out = qgetenv("ORVALINK_UPGRADE_PAGE_SHOT");
        if (out.isEmpty()) QSKIP("ORVALINK_UPGRADE_PAGE_SHOT not set");
        Choose("QM-5100");
        page_->FileRBtn->click();
        LoadNewModelFiles(2000);
        page_->BackupFirstCBox->setChecked(true);
        page_->resize(640, 480);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
        QVERIFY(page_->grab().save(QString::fromLocal8Bit(out)));
    }

    // A server that never ends its answer: CANCEL is there while the files
    // come, the page takes no other command, and CANCEL ends the fetch
    // without touching the link.
    void cancelEndsGetDataAgainstAServerThatNeverAnswers() {
        Choose("QM-5100");
        http_.stall = true;
        bool cancelEnabled = false, upgradeEnabled = true, sourceEnabled = true;
        http_.whileWaiting = [&] {
            cancelEnabled = page_->Up256kCancleBtn->isEnabled();
            upgradeEnabled = page_->UpmfBtn->isEnabled();
            sourceEnabled = page_->DsGBox->isEnabled();
            page_->Up256kCancleBtn->click();
        };
        const bool cancelBefore = page_->Up256kCancleBtn->isEnabled();
        page_->GetDataBtnClick();
        QVERIFY(http_.sawCancel);
        QVERIFY(cancelEnabled);
        QVERIFY(!upgradeEnabled);
        QVERIFY(!sourceEnabled);
        QCOMPARE(ui_.MessageTexts(), std::vector<std::string>{"Download upgrade files ERROR !"});
        QVERIFY(runner_.calls.empty());
        QCOMPARE(page_->Up256kCancleBtn->isEnabled(), cancelBefore);
        QVERIFY(page_->GetDataBtn->isEnabledTo(page_->DsGBox));
        QVERIFY(page_->DsGBox->isEnabledTo(page_.get()));
    }

    void getDataWithoutModelAsksForOne() {
        page_->GetDataBtnClick();
        QCOMPARE(ui_.MessageTexts(), std::vector<std::string>{"Please select model type first !"});
        QVERIFY(page_->GetDataBtn->isEnabledTo(page_->DsGBox));
        QVERIFY(page_->SelectModelCBox->isEnabledTo(page_.get()));
    }
};

QTEST_MAIN(UpgradePageTest)
#include "UpgradePageTest.moc"
