#include "link/qt/UpgradePage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "formats/Documents.h"
#include "formats/FileIo.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFileCommands.h"
#include "formats/VFiles.h"
#include "formats/XFiles.h"
#include "image/Tiflashut.h"
#include "link/OlderFlashTransfers.h"
#include "platform/Clock.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

const char kAllReminder[] =
    "Reminder !!! \n\nThis action will upgrade program and Pre-programmed code. \nAll user's setup data will be "
    "erased and resetting the remote \n to factory defaults.  \n";
const char kUsbReminder[] =
    "Reminder !!! \n\nThe USB cable is not connect now ! \n\nBefore upgrade program, please be sure to \n    1. "
    "Take off the two middle batteries off. \n    2. Move the switch to \"PROG\" position. (In the battery "
    "compartment) \n    3. Insert the batteries. \n    4. Connect remote control and PC by USB cable now. \n    "
    "5. Start to upgrade.";
const char kFlashReminder[] =
    "Reminder !!! \n\nThis action will upgrade Pre-programmed code and erase all of user's setup data! \n";

void Show(UiServices& ui, const std::vector<LinkReport>& reports) {
    for (const LinkReport& r : reports) ui.Inform(r.text, r.icon);
}

std::string CatalogueName(uint16_t modelCode) {
    std::string name;
    ModelName(modelCode, name);
    return name;
}

// A label that chooses "Backup Remote" when clicked.
class ClickLabel final : public QLabel {
public:
    ClickLabel(const QString& text, QWidget* parent, std::function<void()> onClick)
        : QLabel(text, parent), onClick_(std::move(onClick)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) onClick_();
        QLabel::mousePressEvent(event);
    }

private:
    std::function<void()> onClick_;
};

}  // namespace

UpgradePage::UpgradePage(const std::filesystem::path& programFolder, UiServices& ui, Clock& clock, TTiFlashFm& flash,
                         HttpClient& http, UpgradeRunner& runner, QWidget* parent)
    : QWidget(parent),
      programFolder_(programFolder),
      ui_(ui),
      clock_(clock),
      flash_(flash),
      http_(http),
      runner_(runner),
      random_(uint64_t(clock.NowSeconds())),
      files_(std::make_unique<VFileCommands>(ui, clock, random_, programFolder, flash)) {
    BuildControls();
    // The "back up first" choice as it was left; on when never chosen.
    std::vector<uint8_t> remembered;
    if (ReadFileBytes(programFolder_ / kBackupFirstFile, remembered, 16) && !remembered.empty())
        BackupFirstCBox->setChecked(remembered[0] != '0');
    SetPageState(UpgradePageState::Start);
}

UpgradePage::~UpgradePage() = default;

void UpgradePage::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("Upgrade Tools    Ver 1.68"), this);
    title->setAccessibleName(QStringLiteral("Upgrade Tools"));
    layout->addWidget(title);

    ModelGBox = new QGroupBox(QStringLiteral("Model "), this);
    auto* m = new QHBoxLayout(ModelGBox);
    SelectModelCBox = new QComboBox(ModelGBox);
    SelectModelCBox->setToolTip(QStringLiteral("Please select model type first !"));
    SelectModelCBox->setAccessibleName(QStringLiteral("Model"));
    m->addWidget(SelectModelCBox, 1);
    layout->addWidget(ModelGBox);

    auto* middle = new QHBoxLayout;
    DsGBox = new QGroupBox(QStringLiteral("Data Source "), this);
    auto* ds = new QVBoxLayout(DsGBox);
    InetRBtn = new QRadioButton(QStringLiteral("From Internet"), DsGBox);
    FileRBtn = new QRadioButton(QStringLiteral("From File"), DsGBox);
    BackupRBtn = new QRadioButton(QStringLiteral("Backup Remote"), DsGBox);
    InetRBtn->setChecked(true);
    for (QRadioButton* b : {InetRBtn, FileRBtn, BackupRBtn}) {
        b->setAccessibleName(b->text());
        ds->addWidget(b);
        connect(b, &QRadioButton::clicked, this, [this] { DsGBoxClick(); });
    }
    // The three panels share one place; one is shown at a time.
    auto* panels = new QGridLayout;
    InetPal = new QFrame(DsGBox);
    auto* ip = new QGridLayout(InetPal);
    GetDataBtn = new QPushButton(QStringLiteral("Get data  "), InetPal);
    GetDataBtn->setToolTip(
        QStringLiteral("Please check your internet is ok !    To get upgrade data from internet !"));
    GetDataBtn->setAccessibleName(QStringLiteral("Get data"));
    DownloadLbe = new QLabel(InetPal);
    DownloadLbe->setAccessibleName(QStringLiteral("Downloaded bytes"));
    InetStatusLbe = new QLabel(InetPal);
    InetStatusLbe->setAccessibleName(QStringLiteral("Download status"));
    ip->addWidget(GetDataBtn, 0, 0, 1, 2);
    ip->addWidget(new QLabel(QStringLiteral("Download:"), InetPal), 1, 0);
    ip->addWidget(DownloadLbe, 1, 1);
    ip->addWidget(InetStatusLbe, 2, 0, 1, 2);
    FilePal = new QFrame(DsGBox);
    auto* fp = new QGridLayout(FilePal);
    OpenVmcfBtn = new QPushButton(QStringLiteral("Open"), FilePal);
    OpenVmcfBtn->setAccessibleName(QStringLiteral("Open Flash files"));
    OpenVmcuBtn = new QPushButton(QStringLiteral("Open"), FilePal);
    OpenVmcuBtn->setAccessibleName(QStringLiteral("Open MCU files"));
    fp->addWidget(new QLabel(QStringLiteral("Open Flash files (*.vmcf):"), FilePal), 0, 0);
    fp->addWidget(OpenVmcfBtn, 0, 1);
    fp->addWidget(new QLabel(QStringLiteral("Open MCU files (*.vmcu):"), FilePal), 1, 0);
    fp->addWidget(OpenVmcuBtn, 1, 1);
    BackupPal = new QFrame(DsGBox);
    auto* bp = new QVBoxLayout(BackupPal);
    bp->addWidget(new QLabel(QStringLiteral("Backup from  Remote"), BackupPal));
    FlashOnlyLbe = new ClickLabel(QStringLiteral("( Flash memory only )"), BackupPal, [this] {
        BackupRBtn->setChecked(true);
        DsGBoxClick();
    });
    FlashOnlyLbe->setAccessibleName(QStringLiteral("Flash memory only"));
    BackupBtn = new QPushButton(QStringLiteral("Backup"), BackupPal);
    BackupBtn->setAccessibleName(QStringLiteral("Backup"));
    bp->addWidget(FlashOnlyLbe);
    bp->addWidget(BackupBtn);
    for (QFrame* p : {InetPal, FilePal, BackupPal}) {
        p->setFrameShape(QFrame::StyledPanel);
        panels->addWidget(p, 0, 0);
    }
    ds->addLayout(panels);
    middle->addWidget(DsGBox, 1);

    G3Box = new QGroupBox(this);
    G3Box->setAccessibleName(QStringLiteral("Upgrade data"));
    auto* g3 = new QGridLayout(G3Box);
    McuNLbe = new QLabel(G3Box);
    McuNLbe->setAccessibleName(QStringLiteral("MCU model"));
    McuLbe = new QLabel(G3Box);
    McuLbe->setAccessibleName(QStringLiteral("MCU version"));
    FlashNLbe = new QLabel(G3Box);
    FlashNLbe->setAccessibleName(QStringLiteral("Flash model"));
    FlashLbe = new QLabel(G3Box);
    FlashLbe->setAccessibleName(QStringLiteral("Flash version"));
    g3->addWidget(new QLabel(QStringLiteral("MCU:"), G3Box), 0, 0);
    g3->addWidget(McuNLbe, 0, 1);
    g3->addWidget(McuLbe, 0, 2);
    g3->addWidget(new QLabel(QStringLiteral("Flash Memory:"), G3Box), 1, 0);
    g3->addWidget(FlashNLbe, 1, 1);
    g3->addWidget(FlashLbe, 1, 2);
    mcuPal = new QLabel(QStringLiteral("Program"), G3Box);
    flashPal = new QLabel(QStringLiteral("Pre-programmed Code"), G3Box);
    userDatPal = new QLabel(QStringLiteral("User Data   "), G3Box);
    int column = 0;
    for (QLabel* p : {mcuPal, flashPal, userDatPal}) {
        p->setAccessibleName(p->text().trimmed());
        p->setAlignment(Qt::AlignCenter);
        p->setAutoFillBackground(true);
        p->setFrameShape(QFrame::Panel);
        g3->addWidget(p, 2, column++);
    }
    middle->addWidget(G3Box, 1);
    layout->addLayout(middle);

    auto* bottom = new QHBoxLayout;
    UpGBox = new QGroupBox(QStringLiteral("Upgrade type "), this);
    auto* up = new QVBoxLayout(UpGBox);
    UpAllRBtn = new QRadioButton(QStringLiteral("All ( Reset to factory default )"), UpGBox);
    UpCodeRBtn = new QRadioButton(QStringLiteral("Pre-programmed code"), UpGBox);
    UpAllRBtn->setChecked(true);
    UpAllRBtn->setAccessibleName(QStringLiteral("All"));
    UpCodeRBtn->setAccessibleName(UpCodeRBtn->text());
    up->addWidget(UpAllRBtn);
    up->addWidget(UpCodeRBtn);
    BackupFirstCBox = new QCheckBox(QStringLiteral("Back up the remote before \"All\""), UpGBox);
    BackupFirstCBox->setAccessibleName(QStringLiteral("Back up first"));
    BackupFirstCBox->setChecked(true);
    up->addWidget(BackupFirstCBox);
    bottom->addWidget(UpGBox, 1);
    auto* buttons = new QVBoxLayout;
    UpmfBtn = new QPushButton(QStringLiteral("Upgrade"), this);
    UmcuBtn = new QPushButton(QStringLiteral("Upgrade MCU"), this);
    UflashBtn = new QPushButton(QStringLiteral("Upgrade Flash"), this);
    Up256kCancleBtn = new QPushButton(QStringLiteral("CANCEL"), this);
    for (QPushButton* b : {UpmfBtn, UmcuBtn, UflashBtn, Up256kCancleBtn}) {
        b->setAccessibleName(b->text());
        buttons->addWidget(b);
    }
    Up256kCancleBtn->setEnabled(false);
    bottom->addLayout(buttons);
    layout->addLayout(bottom);

    auto* gauge = new QHBoxLayout;
    gauge->addWidget(new QLabel(QStringLiteral("Progress:"), this));
    CGue2 = new QProgressBar(this);
    CGue2->setAccessibleName(QStringLiteral("Progress"));
    CGue2->setRange(0, 100);
    CGue2->setValue(0);
    gauge->addWidget(CGue2, 1);
    layout->addLayout(gauge);

    connect(SelectModelCBox, &QComboBox::activated, this, [this] { SelectModelCBoxChange(); });
    connect(GetDataBtn, &QPushButton::clicked, this, [this] { GetDataBtnClick(); });
    connect(OpenVmcfBtn, &QPushButton::clicked, this, [this] { OpenVmcfBtnClick(); });
    connect(OpenVmcuBtn, &QPushButton::clicked, this, [this] { OpenVmcuBtnClick(); });
    connect(BackupBtn, &QPushButton::clicked, this, [this] { BackupBtnClick(); });
    connect(UpmfBtn, &QPushButton::clicked, this, [this] { UpmfBtnClick(); });
    connect(UmcuBtn, &QPushButton::clicked, this, [this] { UmcuBtnClick(); });
    connect(UflashBtn, &QPushButton::clicked, this, [this] { UflashBtnClick(); });
    connect(Up256kCancleBtn, &QPushButton::clicked, this, [this] { PreCancleBtnClick(); });
    connect(BackupFirstCBox, &QCheckBox::clicked, this, [this] { BackupFirstCBoxClick(); });
}

void UpgradePage::SetModelNames(const std::vector<std::string>& names) {
    SelectModelCBox->clear();
    for (const auto& n : names) SelectModelCBox->addItem(QString::fromStdString(n));
    SelectModelCBox->setCurrentIndex(-1);
}

void UpgradePage::SetGaugeMaximum(int maximum) { CGue2->setRange(0, std::max(1, maximum)); }
void UpgradePage::SetGauge(int position) { CGue2->setValue(std::clamp(position, 0, CGue2->maximum())); }

void UpgradePage::Colour(QLabel* panel, bool blue) {
    QPalette p = panel->palette();
    p.setColor(QPalette::Window, blue ? QColor(0, 0, 255) : palette().color(QPalette::Button));
    p.setColor(QPalette::WindowText, blue ? Qt::white : palette().color(QPalette::ButtonText));
    panel->setPalette(p);
    panel->setProperty("marked", blue);
}

void UpgradePage::SetPageState(UpgradePageState state) { ShowView(UpgradePageViewOf(state, ChosenSource())); }

void UpgradePage::ShowView(const UpgradePageView& view) {
    state_ = view.state;
    const std::pair<QWidget*, const ControlShows*> controls[] = {
        {ModelGBox, &view.ModelGBox}, {DsGBox, &view.DsGBox},       {InetPal, &view.InetPal},
        {FilePal, &view.FilePal},     {BackupPal, &view.BackupPal}, {G3Box, &view.G3Box},
        {UpmfBtn, &view.UpmfBtn},     {UmcuBtn, &view.UmcuBtn},     {UflashBtn, &view.UflashBtn},
        {Up256kCancleBtn, &view.Up256kCancleBtn}};
    for (const auto& [control, shows] : controls) {
        if (shows->enabled) control->setEnabled(*shows->enabled);
        if (shows->visible) control->setVisible(*shows->visible);
    }
    if (view.UpGBoxPlacedRight) UpGBox->setProperty("placedRight", *view.UpGBoxPlacedRight);
    const std::pair<QLabel*, std::optional<bool>> panels[] = {
        {mcuPal, view.mcuPalMarked}, {flashPal, view.flashPalMarked}, {userDatPal, view.userDatPalMarked}};
    for (const auto& [panel, marked] : panels)
        if (marked) Colour(panel, *marked);
}

UpgradeSource UpgradePage::ChosenSource() const {
    if (FileRBtn->isChecked()) return UpgradeSource::File;
    if (BackupRBtn->isChecked()) return UpgradeSource::Backup;
    return UpgradeSource::Internet;
}

void UpgradePage::SetSourceState() { SetPageState(SourceStateOf(ChosenSource())); }

// The ready state that the files loaded so far allow.
void UpgradePage::SetReadyState() {
    if (IsOlderModel(modelCode_)) {
        if (mcuLoaded_ && flashLoaded_) {
            SetPageState(UpgradePageState::ReadyOldModel);
            return;
        }
        UmcuBtn->setEnabled(mcuLoaded_);
        UflashBtn->setEnabled(flashLoaded_);
    } else if (mcuLoaded_ && (flashLoaded_ || modelCode_ == kModelPrm)) {
        SetPageState(UpgradePageState::ReadyNewModel);
        return;
    }
    if (flashLoaded_) SetPageState(UpgradePageState::FlashOnly);
    if (mcuLoaded_) SetPageState(UpgradePageState::ProgramOnly);
}

std::string UpgradePage::SelectedName() const {
    return SelectModelCBox->currentIndex() < 0 ? std::string() : SelectModelCBox->currentText().toStdString();
}

int UpgradePage::UpgradeKind() const { return UpAllRBtn->isChecked() ? kKindWhole : kKindPartial; }

void UpgradePage::SelectModelCBoxChange() {
    const std::string name = SelectedName();
    uint16_t code = 0;
    std::string form;
    if (!ModelCodeOfDisplayName(name, code, form)) {
        SetPageState(UpgradePageState::Start);
        return;
    }
    if (code != modelCode_) {
        // Files loaded for another model do not carry over.
        mcuLoaded_ = flashLoaded_ = false;
        for (QLabel* l : {McuNLbe, McuLbe, FlashNLbe, FlashLbe}) l->clear();
        for (QLabel* p : {mcuPal, flashPal, userDatPal}) Colour(p, false);
    }
    modelCode_ = code;
    if (!IsOlderModel(code)) {
        SetPageState(UpgradePageState::NewModelChosen);
        return;
    }
    if (NeedsQm3400Note(name)) ui_.Inform(Qm3400Note(), MsgIcon::Information);
    SetPageState(UpgradePageState::OldModelChosen);
}

void UpgradePage::DsGBoxClick() { SetSourceState(); }

void UpgradePage::GetDataBtnClick() {
    GetDataBtn->setEnabled(false);
    OpenVmcfBtn->setEnabled(false);
    OpenVmcuBtn->setEnabled(false);
    SelectModelCBox->setEnabled(false);
    const std::string name = SelectedName();
    if (name.empty()) {
        ui_.Inform("Please select model type first !", MsgIcon::Information);
    } else {
        uint16_t code = 0;
        std::string form;
        ModelCodeOfDisplayName(name, code, form);
        modelCode_ = code;
        UpgradeFetchSettings settings;
        settings.base = UpgradeBaseLocation(programFolder_, std::getenv("ORVALINK_UPGRADE_URL"));
        settings.programFolder = programFolder_;
        settings.displayName = name;
        // While the files come, the page takes no other command; CANCEL
        // ends the fetch (the user's events run while it waits).
        const bool cancelWas = Up256kCancleBtn->isEnabled();
        std::vector<std::pair<QWidget*, bool>> held;
        for (QWidget* w : std::initializer_list<QWidget*>{DsGBox, G3Box, UpGBox, UpmfBtn, UmcuBtn, UflashBtn}) {
            held.emplace_back(w, w->isEnabled());
            w->setEnabled(false);
        }
        fetching_ = true;
        fetchCancelled_ = false;
        Up256kCancleBtn->setEnabled(true);
        const bool ok = FetchUpgrade(http_, ui_, *this, settings) && !fetchCancelled_;
        fetching_ = false;
        Up256kCancleBtn->setEnabled(cancelWas);
        for (auto [w, enabled] : held) w->setEnabled(enabled);
        ui_.Inform(ok ? "Download upgrade files OK !" : "Download upgrade files ERROR !", MsgIcon::Information);
        SetReadyState();
    }
    DownloadLbe->clear();
    GetDataBtn->setEnabled(true);
    OpenVmcfBtn->setEnabled(true);
    OpenVmcuBtn->setEnabled(true);
    SelectModelCBox->setEnabled(true);
}

void UpgradePage::FetchStatus(const std::string& text) { InetStatusLbe->setText(QString::fromStdString(text)); }
void UpgradePage::BytesReceived(uint64_t total) { DownloadLbe->setText(QString::number(total) + QStringLiteral(" bytes ")); }
void UpgradePage::CommandFailed(const std::string& text, const std::string& why) {
    // The system's failure text, and why after it.
    if (window()) window()->setWindowTitle(QString::fromStdString(why.empty() ? text : text + " (" + why + ")"));
}
void UpgradePage::TakeMcuFile(const std::filesystem::path&, std::vector<uint8_t> payload, const VFileHeader& header) {
    TakeMcu(payload, header.versionWord, CatalogueName(header.modelCode));
}
bool UpgradePage::TakeFlashFile(const std::filesystem::path&, std::vector<uint8_t> payload, const VFileHeader& header) {
    return TakeFlash(payload, header.modelCode, header.versionWord, CatalogueName(header.modelCode));
}

bool UpgradePage::TakeMcu(std::span<const uint8_t> payload, uint16_t versionWord, const std::string& modelName) {
    // The buffers' rule decides which programs are taken (the boot loaders
    // write their pages of it).
    if (!runner_.Buffers().SetProgram(payload)) return false;
    McuLbe->setText(QString::fromStdString(VersionText(versionWord)));
    McuNLbe->setText(QString::fromStdString(modelName));
    mcuLoaded_ = true;
    return true;
}

bool UpgradePage::TakeFlash(std::span<const uint8_t> payload, uint16_t modelCode, uint16_t versionWord,
                            const std::string& modelName) {
    if (!TakeUpgradeFlash(modelCode, payload, flash_, *olderFlash_)) return false;
    FlashLbe->setText(QString::fromStdString(VersionText(versionWord)));
    FlashNLbe->setText(QString::fromStdString(modelName));
    flashLoaded_ = true;
    return true;
}

bool UpgradePage::OpenVFileInto(FileKind kind, const std::string& path) {
    std::vector<uint8_t> payload;
    VFileHeader header;
    if (!LoadVFile(PathFromUtf8(path), payload, header)) {
        ui_.Inform(std::string(kind == FileKind::vmcf ? "Load VMCF file Error ! \n\nPath: "
                                                      : "Load VMCU file Error ! \n\nPath: ") + path,
                   MsgIcon::Error);
        return false;
    }
    if (kind == FileKind::vmcu) {
        if (!TakeMcu(payload, header.versionWord, CatalogueName(header.modelCode))) {
            ui_.Inform("Load VMCU file Error ! \n\nPath: " + path, MsgIcon::Error);
            return false;
        }
    } else if (!TakeFlash(payload, header.modelCode, header.versionWord, CatalogueName(header.modelCode))) {
        return false;  // no image to take it: nothing is said
    }
    SetReadyState();
    return true;
}

bool UpgradePage::LoadUpgradeFile(const std::string& path) {
    const std::string ext = std::filesystem::path(path).extension().string();
    if (SameNameIgnoringCase(ext, ".vmcf")) return OpenVFileInto(FileKind::vmcf, path);
    if (SameNameIgnoringCase(ext, ".vmcu")) return OpenVFileInto(FileKind::vmcu, path);
    return LoadOtherUpgradeFile(path);
}

bool UpgradePage::LoadOtherUpgradeFile(const std::string& path) {
    // X files: an ".xmcu" carries a program, an ".xmcf" a flash image. Their
    // header names no model code, so the flash image goes where the chosen
    // model's family puts it; the labels show the header's model text and
    // version. A file whose stored kind is not its extension's is refused.
    const std::string ext = std::filesystem::path(path).extension().string();
    const bool mcu = SameNameIgnoringCase(ext, ".xmcu");
    if (!mcu && !SameNameIgnoringCase(ext, ".xmcf")) return false;  // .sbin and the rest are not loaded here
    const std::string failText =
        std::string(mcu ? "Load VMCU file Error ! \n\nPath: " : "Load VMCF file Error ! \n\nPath: ") + path;
    std::vector<uint8_t> data;
    XFileHeader header;
    uint8_t kind = 0;
    if (!ReadXFile(PathFromUtf8(path), data, header, kind).Ok() || kind != (mcu ? kXmcu : kXmcf)) {
        ui_.Inform(failText, MsgIcon::Error);
        return false;
    }
    const bool taken = mcu ? TakeMcu(data, header.versionWord, header.ModelText())
                           : TakeFlash(data, modelCode_, header.versionWord, header.ModelText());
    if (!taken) {
        if (mcu) ui_.Inform(failText, MsgIcon::Error);
        return false;  // a flash image with no memory image to take it: nothing is said, as for ".vmcf"
    }
    SetReadyState();
    return true;
}

void UpgradePage::OpenVmcfBtnClick() {
    std::string chosen;
    if (files_->PickOpenFile(files_->ProgramFolderText(), "", FileKind::vmcf, chosen)) LoadUpgradeFile(chosen);
}

void UpgradePage::OpenVmcuBtnClick() {
    std::string chosen;
    if (files_->PickOpenFile(files_->ProgramFolderText(), "", FileKind::vmcu, chosen)) LoadUpgradeFile(chosen);
}

bool UpgradePage::RunBackup() {
    const uint16_t code = modelCode_;
    BackupResult result = runner_.Backup(code);
    Show(ui_, result.reports);
    if (!result.outcome.Ok()) return false;
    DocumentOutcome saved;
    if (!Is5100Family(code)) {
        // A 2300-family TI flash or an older remote's 256 KB are kept whole
        // as the remote's own model's flash file (as the command line keeps
        // them), so "Open VMCF Files" takes them back for "Upgrade Flash".
        std::string chosen;
        const std::string proposed = "noname_" + DateStamp(clock_.Today());
        if (files_->PickSaveFile(files_->ProgramFolderText(), proposed, FileKind::vmcf, chosen))
            saved = SaveBackupDocument(code, result.bytes, chosen, clock_, random_);
        else
            saved.kind = DocumentResult::Cancelled;
    } else {
        saved = files_->SaveImageVFile("", code, true);
    }
    if (saved.Ok()) {
        ui_.Inform("Backup VMCF file Ok !", MsgIcon::Information);
        return true;
    }
    ui_.Inform("Backup VMCF file Error !", MsgIcon::Error);
    return false;
}

void UpgradePage::BackupBtnClick() {
    if (SelectedName().empty()) {
        SetPageState(UpgradePageState::BackupDone);
        return;
    }
    BackupBtn->setEnabled(false);
    SetPageState(UpgradePageState::BackupRunning);
    RunBackup();
    SetGauge(0);
    SetPageState(UpgradePageState::BackupDone);
    BackupBtn->setEnabled(true);
}

void UpgradePage::UpmfBtnClick() {
    UpmfBtn->setEnabled(false);
    SetPageState(UpgradePageState::UpgradeRunning);
    const bool all = UpAllRBtn->isChecked();
    if (all) ui_.ShowMessage(MessageRequest{kAllReminder, {}, MsgIcon::Warning, MsgButtons::Yes});
    const UpgradeSteps steps = UpgradeStepsFor(modelCode_);
    if (!mcuLoaded_) {
        ui_.Inform("Please Open a VMCU File first !", MsgIcon::Warning);
    } else if (steps.supported && (!all || !BackupFirstCBox->isChecked() || RunBackup())) {
        const int kind = UpgradeKind();
        const TransferOutcome program = runner_.RunButton(steps.program, kind);
        if (!program.Ok()) {
            if (program.kind == TransferResult::Broken)
                ui_.Inform("Transfer broken !", MsgIcon::Information);
            else if (program.kind != TransferResult::NoPort)
                ui_.Inform(std::string(steps.programError), MsgIcon::Error);
        } else if (steps.writesFlash) {
            runner_.Pause(kProgramToFlashPauseMs);
            runner_.Buffers().kind = kind;
            const TransferOutcome written = runner_.RunButton(steps.flash, kind);
            if (written.kind != TransferResult::NoPort) Show(ui_, UpgradeButtonReports(steps.flash, written));
        }
    }
    SetGauge(0);
    SetPageState(UpgradePageState::UpgradeDone);
    UpmfBtn->setEnabled(true);
}

void UpgradePage::UmcuBtnClick() {
    UmcuBtn->setEnabled(false);
    SetPageState(UpgradePageState::UpgradeRunning);
    ui_.Inform(kUsbReminder, MsgIcon::Warning);
    if (!mcuLoaded_) {
        ui_.Inform("Please Open a XMCU File first !", MsgIcon::Warning);
    } else {
        const UpgradeButton button =
            McuNLbe->text() == QStringLiteral("QM-2300") ? UpgradeButton::Write2100Mcu : UpgradeButton::RomBootWrite;
        const TransferOutcome outcome = runner_.RunButton(button, UpgradeKind());
        if (outcome.kind != TransferResult::NoPort) Show(ui_, UpgradeButtonReports(button, outcome));
    }
    SetGauge(0);
    UmcuBtn->setEnabled(true);
    SetPageState(UpgradePageState::UpgradeDone);
}

void UpgradePage::UflashBtnClick() {
    UflashBtn->setEnabled(false);
    SetPageState(UpgradePageState::UpgradeRunning);
    const bool all = UpAllRBtn->isChecked();
    if (all) ui_.Inform(kFlashReminder, MsgIcon::Warning);
    if (!flashLoaded_) {
        ui_.Inform("Please Open a XMCF File first !", MsgIcon::Warning);
    } else {
        SetGaugeMaximum(all ? kSend256GaugeMaximum : kSendPreGaugeMaximum);
        const TransferOutcome outcome =
            all ? runner_.WriteWholeFlash(*olderFlash_) : runner_.WritePreProgramCode(*olderFlash_);
        if (!outcome.message.empty()) ui_.Inform(outcome.message, outcome.icon);
    }
    SetGauge(0);
    UflashBtn->setEnabled(true);
    SetPageState(UpgradePageState::UpgradeDone);
}

void UpgradePage::PreCancleBtnClick() {
    if (fetching_) {
        // Only the fetch is running: the link is not touched.
        fetchCancelled_ = true;
        return;
    }
    runner_.Cancel();
    SetGauge(0);
}

void UpgradePage::BackupFirstCBoxClick() {
    const uint8_t mark = BackupFirstCBox->isChecked() ? '1' : '0';
    ReplaceFileBytes(programFolder_ / kBackupFirstFile, std::span<const uint8_t>(&mark, 1));
}

}  // namespace orvalink
