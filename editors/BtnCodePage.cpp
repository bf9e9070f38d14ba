#include "editors/BtnCodePage.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QVBoxLayout>

#include <filesystem>

#include "editors/BtnCodeSources.h"
#include "editors/BtnIrSession.h"
#include "editors/BtnWaveform.h"
#include "editors/core/KeyCodeSources.h"
#include "editors/core/KeyEditing.h"
#include "formats/FileIo.h"
#include "image/IrDecoder.h"
#include "image/IrWaveform.h"
#include "image/Pronto.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;

namespace {

const char* const kSbinFilter = "S Binary  Files (*.sbin)|*.sbin|All Files (*.*)|*.*";
const char* const kLoadErrorText = "Load IR code error !";
const char* const kIrFileFilter =
    "IR Signal Files (*.ir;*.conf;*.lircd;*.txt)|*.ir;*.conf;*.lircd;*.txt|All Files (*.*)|*.*";
const char* const kExportFilter =
    "Flipper IR Files (*.ir)|*.ir|LIRC Files (*.conf)|*.conf|Pronto Hex Files (*.txt)|*.txt";

// A value label: its text, and for a screen reader its caption with the value
// ("Code type: Normal"); the caption is kept in the label's "caption" property.
void ShowValue(QLabel* label, const QString& value) {
    label->setText(value);
    const QString caption = label->property("caption").toString();
    label->setAccessibleName(value.isEmpty() ? caption : caption + QStringLiteral(": ") + value);
}

QString ProtocolTextOf(const IrCodeInfo& code) {
    const auto decoded = DecodeIr(MarksAndSpaces(code));
    return decoded ? QString::fromStdString(DecodedText(*decoded)) : QString();
}

}  // namespace

TBtnCodePage::TBtnCodePage(BtnOpenKey& open, BtnIrSession& session, const BtnServices& services,
                           QStatusBar& status, QWidget* parent)
    : QWidget(parent), open_(open), session_(session), ui_(services.ui), random_(services.random), status_(status),
      deviceName_(services.deviceName) {
    setObjectName(QStringLiteral("m_CodeSht"));
    Build();
}

void TBtnCodePage::Build() {
    auto* layout = new QVBoxLayout(this);
    auto* info = new QGridLayout;
    m_codeTypeTxt = Named(new QLabel(this), QStringLiteral("m_codeTypeTxt"), QStringLiteral("Code type"));
    m_codeCarryTxt = Named(new QLabel(this), QStringLiteral("m_codeCarryTxt"), QStringLiteral("Carrier"));
    m_protocolTxt = Named(new QLabel(this), QStringLiteral("m_protocolTxt"), QStringLiteral("Protocol"));
    for (QLabel* value : {m_codeTypeTxt, m_codeCarryTxt, m_protocolTxt}) value->setProperty("caption", value->accessibleName());
    info->addWidget(new QLabel(QStringLiteral("Code type:"), this), 0, 0);
    info->addWidget(m_codeTypeTxt, 0, 1);
    info->addWidget(new QLabel(QStringLiteral("Carrier (kHz):"), this), 0, 2);
    info->addWidget(m_codeCarryTxt, 0, 3);
    info->addWidget(new QLabel(QStringLiteral("Protocol:"), this), 1, 0);
    info->addWidget(m_protocolTxt, 1, 1, 1, 3);
    layout->addLayout(info);
    auto* row = new QHBoxLayout;
    m_LearnBtn = Button(this, QStringLiteral("m_LearnBtn"), QStringLiteral("Learn IR code mode"));
    m_LeaveBtn = Button(this, QStringLiteral("m_LeaveBtn"), QStringLiteral("Leave learning mode"));
    m_ShootBtn = Button(this, QStringLiteral("m_ShootBtn"), QStringLiteral("Shoot IR code"));
    m_LoadIRBtn = Button(this, QStringLiteral("m_LoadIRBtn"), QStringLiteral("Load"));
    for (QPushButton* b : {m_LearnBtn, m_LeaveBtn, m_ShootBtn, m_LoadIRBtn}) row->addWidget(b);
    layout->addLayout(row);
    auto* row2 = new QHBoxLayout;
    m_ProntoCopyBtn = Button(this, QStringLiteral("m_ProntoCopyBtn"), QStringLiteral("Copy as Pronto"));
    m_ProntoPasteBtn = Button(this, QStringLiteral("m_ProntoPasteBtn"), QStringLiteral("Paste Pronto"));
    m_MakeCodeBtn = Button(this, QStringLiteral("m_MakeCodeBtn"), QStringLiteral("Make code\u2026"));
    m_ImportCodeBtn = Button(this, QStringLiteral("m_ImportCodeBtn"), QStringLiteral("Import code\u2026"));
    m_ExportCodeBtn = Button(this, QStringLiteral("m_ExportCodeBtn"), QStringLiteral("Export code\u2026"));
    for (QPushButton* b : {m_ProntoCopyBtn, m_ProntoPasteBtn, m_MakeCodeBtn, m_ImportCodeBtn, m_ExportCodeBtn})
        row2->addWidget(b);
    row2->addStretch(1);
    layout->addLayout(row2);
    m_Cht = new BtnWaveform(random_, QStringLiteral("m_Cht"), QStringLiteral("Waveform"), this);
    layout->addWidget(m_Cht, 1);
    m_LeaveBtn->setEnabled(false);
    connect(m_LearnBtn, &QPushButton::clicked, this, [this] { m_LearnBtnClick(); });
    connect(m_LeaveBtn, &QPushButton::clicked, this, [this] { m_LeaveBtnClick(); });
    connect(m_ShootBtn, &QPushButton::pressed, this, [this] { m_ShootBtnDown(); });
    connect(m_ShootBtn, &QPushButton::released, this, [this] { m_ShootBtnUp(); });
    connect(m_LoadIRBtn, &QPushButton::clicked, this, [this] { m_LoadIRBtnClick(); });
    connect(m_ProntoCopyBtn, &QPushButton::clicked, this, [this] { m_ProntoCopyBtnClick(); });
    connect(m_ProntoPasteBtn, &QPushButton::clicked, this, [this] { m_ProntoPasteBtnClick(); });
    connect(m_MakeCodeBtn, &QPushButton::clicked, this, [this] { m_MakeCodeBtnClick(); });
    connect(m_ImportCodeBtn, &QPushButton::clicked, this, [this] { m_ImportCodeBtnClick(); });
    connect(m_ExportCodeBtn, &QPushButton::clicked, this, [this] { m_ExportCodeBtnClick(); });
}

void TBtnCodePage::Say(const QString& text) { status_.showMessage(text); }

// ---------------------------------------------------------------------------
// Showing

void TBtnCodePage::ShowCodeValues(const IrCodeInfo& code) {
    ShowValue(m_codeTypeTxt, QString::fromStdString(orvalink::CodeTypeText(code.codeType)));
    uint8_t carrier = 0;
    ShowValue(m_codeCarryTxt, CarrierByteFromPeriod(code.carrier, carrier)
                                  ? QString::fromStdString(orvalink::CarrierText(carrier))
                                  : QString());
    ShowValue(m_protocolTxt, ProtocolTextOf(code));
}

void TBtnCodePage::ShowCode(const IrCodeInfo& code) {
    ShowCodeValues(code);
    m_Cht->Show(code);
}

void TBtnCodePage::ShowKeyCode() {
    IrCodeInfo code;
    if (KeyIrCode(open_.key.info, code)) ShowCode(code);
}

void TBtnCodePage::ClearCode() {
    ShowValue(m_codeTypeTxt, {});
    ShowValue(m_codeCarryTxt, {});
    ShowValue(m_protocolTxt, {});
    m_Cht->Clear();
}

void TBtnCodePage::SetLearningControls(bool learning, bool own) {
    for (QPushButton* b : {m_LearnBtn, m_ShootBtn, m_LoadIRBtn, m_ProntoPasteBtn, m_MakeCodeBtn, m_ImportCodeBtn})
        b->setEnabled(!learning);
    m_LeaveBtn->setEnabled(learning && own);
}

bool TBtnCodePage::StoreLearned(const LearnedCode& learned, const QString& source) {
    IrCodeInfo stored;
    if (!StoreLearnedCode(learned, open_.key.info, stored)) {
        Say(QStringLiteral("%1 could not be converted into a stored IR code; the key keeps its code.").arg(source));
        return false;
    }
    open_.touched = true;
    ShowCode(stored);
    Say(QStringLiteral("%1 stored as the key's code.").arg(source));
    return true;
}

// ---------------------------------------------------------------------------
// Learning and shooting

void TBtnCodePage::m_LearnBtnClick() {
    session_.Start(false, [this](const LearnedCode& code) { StoreLearned(code, QStringLiteral("The learned code")); });
}

void TBtnCodePage::m_LeaveBtnClick() { session_.Leave(); }

void TBtnCodePage::m_ShootBtnDown() {
    IrCodeInfo code;
    LearnedCode send{};
    if (!KeyIrCode(open_.key.info, code) || !StoredToSend(code, send))
        return Say(QStringLiteral("The key has no IR code to shoot."));
    session_.Shoot(send);
}

void TBtnCodePage::m_ShootBtnUp() { session_.Release(); }

// ---------------------------------------------------------------------------
// Load and Pronto

void TBtnCodePage::m_LoadIRBtnClick() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = kSbinFilter;
    request.mustExist = true;
    const auto path = ui_.ChooseFile(request);
    if (!path) return;
    // A file longer than a learned code, or no regular file at all (a FIFO
    // would keep the window waiting), is refused unread.
    std::vector<uint8_t> bytes;
    LearnedCode learned{};
    if (!ReadFileBytes(*path, bytes, kLearnedCodeBytes) || !LearnedCodeOfFile(bytes, learned)) {
        ui_.Inform(kLoadErrorText, MsgIcon::Error);
        Say(QStringLiteral("The file is not a learned IR code within its bounds; the key keeps its code."));
        return;
    }
    if (!StoreLearned(learned, QStringLiteral("The loaded code"))) ui_.Inform(kLoadErrorText, MsgIcon::Error);
}

void TBtnCodePage::m_ProntoCopyBtnClick() {
    IrCodeInfo code;
    if (!KeyIrCode(open_.key.info, code)) return Say(QStringLiteral("The key has no IR code to copy."));
    std::string text, error;
    if (!ProntoText(ProntoOfCode(code), text, error)) return Say(QString::fromStdString(error));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    Say(QStringLiteral("The code is on the clipboard as Pronto Hex."));
}

void TBtnCodePage::m_ProntoPasteBtnClick() {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    ProntoCode pronto;
    LearnedCode learned{};
    std::string error;
    if (!ParsePronto(text, pronto, error) || !LearnedOfPronto(pronto, learned, error))
        return Say(QStringLiteral("The clipboard holds no usable Pronto Hex code: %1; the key keeps its code.")
                       .arg(QString::fromStdString(error)));
    StoreLearned(learned, QStringLiteral("The Pronto Hex code"));
}

// ---------------------------------------------------------------------------
// Codes made, imported and exported

// A dialog of this page stands over the page's waveform, so Button
// Properties' caption, the key's code and its buttons stay in sight.
void TBtnCodePage::OpenBesideTheKey(QDialog* dialog) {
    dialog->adjustSize();
    dialog->move(m_Cht->mapToGlobal(QPoint(m_Cht->width() / 4, 0)));
    dialog->open();
}

void TBtnCodePage::CloseDialogs() {
    for (QDialog* dialog : {makeFm_.data(), importFm_.data()})
        if (dialog) dialog->reject();
}

TMakeCodeFm* TBtnCodePage::MakeDialog() const { return static_cast<TMakeCodeFm*>(makeFm_.data()); }
TImportCodeFm* TBtnCodePage::ImportDialog() const { return static_cast<TImportCodeFm*>(importFm_.data()); }

void TBtnCodePage::m_MakeCodeBtnClick() {
    if (makeFm_ || importFm_) return;
    auto* fm = new TMakeCodeFm(ui_, random_, open_.key.info, window());
    makeFm_ = fm;
    fm->setAttribute(Qt::WA_DeleteOnClose);
    connect(fm, &QDialog::accepted, this, [this, fm] {
        const QString what = QString::fromStdString(fm->Candidate().decoded ? DecodedText(*fm->Candidate().decoded)
                                                                             : std::string("made"));
        StoreLearned(fm->Candidate().learned, QStringLiteral("The %1 code").arg(what));
    });
    OpenBesideTheKey(fm);
}

void TBtnCodePage::m_ImportCodeBtnClick() {
    if (makeFm_ || importFm_) return;
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = kIrFileFilter;
    request.mustExist = true;
    const auto path = ui_.ChooseFile(request);
    if (!path) return;
    std::vector<IrSignal> found;
    std::string error;
    if (!ReadIrSignalFile(*path, found, error)) {
        ui_.Inform("Import IR code error !\n" + error, MsgIcon::Error);
        return Say(QStringLiteral("The file could not be read; the key keeps its code."));
    }
    if (found.empty()) {
        ui_.Inform("Import IR code error !\nThe file holds no IR signal.", MsgIcon::Error);
        return Say(QStringLiteral("The file holds no IR signal; the key keeps its code."));
    }
    const QString name = QString::fromStdString(std::filesystem::path(*path).filename().string());
    auto* fm = new TImportCodeFm(ui_, random_, open_.key.info, name, std::move(found), window());
    importFm_ = fm;
    fm->setAttribute(Qt::WA_DeleteOnClose);
    connect(fm, &QDialog::accepted, this, [this, fm, name] {
        StoreLearned(fm->Candidate().learned, QStringLiteral("The code imported from %1").arg(name));
    });
    OpenBesideTheKey(fm);
}

void TBtnCodePage::m_ExportCodeBtnClick() {
    IrSignal signal;
    const KeyCodeOutcome outcome = KeySignal(open_.key.info, SignalNameOfKey(open_.key.info), signal);
    if (!outcome.Ok()) return Say(QStringLiteral("The key has no IR code to export."));
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.filter = kExportFilter;
    request.defaultExtension = "ir";
    request.proposedName = signal.name + ".ir";
    request.confirmOverwrite = true;
    const auto path = ui_.ChooseFile(request);
    if (!path) return;
    const auto format = ExportFormatOfPath(*path);
    if (!format) {
        ui_.Inform("Export IR code error !\nName the file .ir (Flipper), .conf (LIRC) or .txt (Pronto Hex).",
                   MsgIcon::Error);
        return Say(QStringLiteral("Nothing was written."));
    }
    std::string remote = deviceName_ && open_.context.device >= 0 ? deviceName_(open_.context.device) : std::string();
    if (remote.empty()) remote = "Orvalink";
    std::string text, error;
    if (!ExportText(*format, remote, {signal}, text, error) ||
        !ReplaceFileBytes(*path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                          &error)) {
        ui_.Inform("Export IR code error !\n" + *path + "\n" + error, MsgIcon::Error);
        return Say(QStringLiteral("Nothing was written."));
    }
    Say(QStringLiteral("The key's code is written to %1.").arg(QString::fromStdString(*path)));
}

}  // namespace orvalink
