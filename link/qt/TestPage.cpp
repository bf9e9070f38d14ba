#include "link/qt/TestPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "formats/FileIo.h"
#include "formats/FileKinds.h"
#include "formats/PlainFiles.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

QPushButton* Button(const char* caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setAccessibleName(QString::fromUtf8(name));
    return b;
}

QComboBox* Combo(std::initializer_list<const char*> items, const char* current, const char* name, QWidget* parent) {
    auto* c = new QComboBox(parent);
    for (const char* item : items) c->addItem(QString::fromLatin1(item));
    c->setCurrentText(QString::fromLatin1(current));
    c->setAccessibleName(QString::fromUtf8(name));
    return c;
}

QPlainTextEdit* Memo(const char* name, bool readOnly, QWidget* parent) {
    auto* m = new QPlainTextEdit(parent);
    m->setReadOnly(readOnly);
    m->setAccessibleName(QString::fromUtf8(name));
    m->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return m;
}

// The largest loader and program the boot mode panel takes.
constexpr size_t kLoaderMaxBytes = 2048;
constexpr size_t kProgramMaxBytes = 32768;

}  // namespace

TSerialTestPage::TSerialTestPage(LinkEngine& link, UiServices& ui, Clock& clock,
                                 const std::filesystem::path& programFolder, QtSerialPort::Resolver portPath,
                                 QWidget* parent)
    : QWidget(parent),
      link_(link),
      ui_(ui),
      clock_(clock),
      programFolder_(programFolder),
      loop_(link, random_, clock),
      older_(link),
      aPort2(std::move(portPath)) {
    setObjectName(QStringLiteral("SerialPortTest"));
    aPort2.SetBaudRate(115200);
    aPort2Receiver_.SetMode(ReceiveMode::PacketNumber);
    aPort2.SetDataAvailableHandler([this](size_t count) {
        std::vector<uint8_t> bytes(count);
        bytes.resize(aPort2.Read(bytes));
        aPort2Receiver_.Assemble(bytes);
    });
    BuildTestPage();
    BuildLoopPage();
}

TSerialTestPage::~TSerialTestPage() {
    aPort2.SetDataAvailableHandler({});
    if (loopPage_ && !loopPage_->parent()) delete loopPage_;  // never placed in a window
}

void TSerialTestPage::BuildTestPage() {
    auto* top = new QHBoxLayout(this);
    auto* left = new QVBoxLayout;
    top->addLayout(left);

    auto* basic = new QGroupBox(QStringLiteral("Basic"), this);
    basic->setAccessibleName(QStringLiteral("Basic"));
    auto* g = new QGridLayout(basic);
    m_ComPortCBox = new QComboBox(basic);
    m_ComPortCBox->addItem(QStringLiteral("Auto"));
    for (int n = 1; n <= 32; ++n) m_ComPortCBox->addItem(QStringLiteral("COM%1").arg(n));
    m_ComPortCBox->setAccessibleName(QStringLiteral("Port"));
    m_BaudRateCBox = Combo({"300", "600", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"},
                           "38400", "Bit rate", basic);
    m_ParityCBox = Combo({"None", "Mark", "Odd", "Space", "Even"}, "None", "Parity", basic);
    m_DataBitCBox = Combo({"5", "6", "7", "8"}, "8", "Data bits", basic);
    m_StopBitCBox = Combo({"1", "2"}, "1", "Stop bits", basic);
    m_InBufferCBox = Combo({"2048", "4096", "8192", "16384"}, "4096", "Input buffer", basic);
    m_OutBufferCBox = Combo({"2048", "4096", "8192", "16384"}, "4096", "Output buffer", basic);
    int row = 0;
    for (auto [label, combo] : {std::pair{"Port", m_ComPortCBox}, std::pair{"BaudRate", m_BaudRateCBox},
                                std::pair{"Parity", m_ParityCBox}, std::pair{"DataBit", m_DataBitCBox},
                                std::pair{"StopBit", m_StopBitCBox}, std::pair{"InBuffer", m_InBufferCBox},
                                std::pair{"OutBuffer", m_OutBufferCBox}}) {
        g->addWidget(new QLabel(QString::fromLatin1(label), basic), row, 0);
        g->addWidget(combo, row++, 1);
    }
    m_ClearBufBtn = Button("Clear Buffer", "Clear Buffer", basic);
    g->addWidget(m_ClearBufBtn, row, 0, 1, 2);
    left->addWidget(basic);

    auto* user = new QGroupBox(QStringLiteral("256k Flash User Mode"), this);
    user->setAccessibleName(QStringLiteral("256k Flash User Mode"));
    auto* u = new QGridLayout(user);
    m_LoopTBtn = Button("Loop", "Loop", user);
    m_NSendTBtn = Button("Send256", "Send256", user);
    m_NRecvTBtn = Button("Recv256", "Recv256", user);
    m_SaveFTBtn = Button("Save", "Save", user);
    m_SendPreTBtn = Button("Send Pre", "Send Pre", user);
    m_CancleTBtn = Button("Cancle", "Cancle user mode", user);
    u->addWidget(m_LoopTBtn, 0, 0);
    u->addWidget(m_NSendTBtn, 0, 1);
    u->addWidget(m_NRecvTBtn, 1, 0);
    u->addWidget(m_SaveFTBtn, 1, 1);
    u->addWidget(m_SendPreTBtn, 2, 0);
    u->addWidget(m_CancleTBtn, 2, 1);
    m_CGue = new QProgressBar(user);
    m_CGue->setAccessibleName(QStringLiteral("Progress"));
    m_CGue->setRange(0, int(kOlderFlashSize));
    m_CGue->setValue(0);
    u->addWidget(m_CGue, 3, 0, 1, 2);
    gaugeTimer_ = new QTimer(this);
    gaugeTimer_->setInterval(100);
    connect(gaugeTimer_, &QTimer::timeout, this, [this] { m_CGue->setValue(std::clamp(link_.Progress(), 0, m_CGue->maximum())); });
    left->addWidget(user);

    auto* boot = new QGroupBox(QStringLiteral("32k Boot Mode"), this);
    boot->setAccessibleName(QStringLiteral("32k Boot Mode"));
    auto* b = new QGridLayout(boot);
    m_Load2kBtn = Button("Load 2k Prg", "Load 2k Prg", boot);
    m_Load32kBtn = Button("Load 32k Prg", "Load 32k Prg", boot);
    m_BootWriteBtn = Button("Write", "Write", boot);
    m_BootCancleBtn = Button("Cancle", "Cancle boot mode", boot);
    m_BootWriteBtn->setEnabled(false);
    b->addWidget(m_Load2kBtn, 0, 0);
    b->addWidget(m_Load32kBtn, 0, 1);
    b->addWidget(m_BootWriteBtn, 1, 0);
    b->addWidget(m_BootCancleBtn, 1, 1);
    left->addWidget(boot);
    left->addStretch();

    auto* right = new QVBoxLayout;
    top->addLayout(right, 1);
    Receive1Mo = Memo("Monitor", true, this);
    Memo1 = Memo("Notes", false, this);
    right->addWidget(Receive1Mo, 3);
    right->addWidget(Memo1, 1);
    auto* line = new QHBoxLayout;
    Edit1 = new QLineEdit(this);
    Edit1->setAccessibleName(QStringLiteral("Send text"));
    m_Send1Btn = Button("Send", "Send", this);
    m_ClearViewBtn = Button("Clear View", "Clear View", this);
    m_SaveTraceBtn = Button("Save trace\u2026", "Save trace", this);
    line->addWidget(Edit1, 1);
    line->addWidget(m_Send1Btn);
    line->addWidget(m_ClearViewBtn);
    line->addWidget(m_SaveTraceBtn);
    right->addLayout(line);

    connect(m_ClearViewBtn, &QPushButton::clicked, this, [this] { ClearViewBtnClick(); });
    connect(m_SaveTraceBtn, &QPushButton::clicked, this, [this] { SaveTraceBtnClick(); });
    connect(m_Send1Btn, &QPushButton::clicked, this, [this] { Send1BtnClick(); });
    connect(m_ClearBufBtn, &QPushButton::clicked, this, [this] { ClearBufBtnClick(); });
    connect(m_ParityCBox, &QComboBox::textActivated, this, [this](const QString& t) { ParityCBoxChange(t); });
    connect(m_DataBitCBox, &QComboBox::textActivated, this, [this](const QString& t) { DataBitCBoxChange(t); });
    connect(m_StopBitCBox, &QComboBox::textActivated, this, [this](const QString& t) { StopBitCBoxChange(t); });
    connect(m_InBufferCBox, &QComboBox::textActivated, this, [this](const QString& t) { InBufferCBoxChange(t); });
    connect(m_OutBufferCBox, &QComboBox::textActivated, this, [this](const QString& t) { OutBufferCBoxChange(t); });
    connect(m_LoopTBtn, &QPushButton::clicked, this, [this] { ActBtnClick(); });
    connect(m_NSendTBtn, &QPushButton::clicked, this, [this] { NSendTBtnClick(); });
    connect(m_NRecvTBtn, &QPushButton::clicked, this, [this] { NRecvTBtnClick(); });
    connect(m_SaveFTBtn, &QPushButton::clicked, this, [this] { SaveFTBtnClick(); });
    connect(m_SendPreTBtn, &QPushButton::clicked, this, [this] { SendPreTBtnClick(); });
    connect(m_CancleTBtn, &QPushButton::clicked, this, [this] { CancleTBtnClick(); });
    connect(m_Load2kBtn, &QPushButton::clicked, this, [this] { Load2kBtnClick(); });
    connect(m_Load32kBtn, &QPushButton::clicked, this, [this] { Load32kBtnClick(); });
    connect(m_BootWriteBtn, &QPushButton::clicked, this, [this] { BootWriteBtnClick(); });
    connect(m_BootCancleBtn, &QPushButton::clicked, this, [this] { BootCancleBtnClick(); });
}

void TSerialTestPage::BuildLoopPage() {
    loopPage_ = new QWidget;
    loopPage_->setObjectName(QStringLiteral("MX-1090"));
    auto* v = new QVBoxLayout(loopPage_);
    auto* title = new QLabel(QStringLiteral("MX-1090 Tools"), loopPage_);
    QFont f = title->font();
    f.setPointSize(f.pointSize() + 6);
    f.setBold(true);
    title->setFont(f);
    v->addWidget(title);
    auto* views = new QHBoxLayout;
    auto* sendBox = new QVBoxLayout;
    sendBox->addWidget(new QLabel(QStringLiteral("Send Data View"), loopPage_));
    SendMo = Memo("Send Data View", true, loopPage_);
    sendBox->addWidget(SendMo);
    auto* receiveBox = new QVBoxLayout;
    receiveBox->addWidget(new QLabel(QStringLiteral("Receive Data View"), loopPage_));
    ReceiveMo = Memo("Receive Data View", true, loopPage_);
    receiveBox->addWidget(ReceiveMo);
    views->addLayout(sendBox);
    views->addLayout(receiveBox);
    v->addLayout(views, 1);
    auto* buttons = new QHBoxLayout;
    ActBtn = Button("ACTION", "ACTION", loopPage_);
    m_LoopClearBtn = Button("Clear View", "Clear loop view", loopPage_);
    buttons->addWidget(ActBtn);
    buttons->addWidget(m_LoopClearBtn);
    buttons->addStretch();
    v->addLayout(buttons);
    Timer1 = new QTimer(this);
    Timer1->setInterval(int(kLoopTickMs));
    connect(ActBtn, &QPushButton::clicked, this, [this] { ActBtnClick(); });
    connect(m_LoopClearBtn, &QPushButton::clicked, this, [this] { LoopClearBtnClick(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TSerialTestPage::SetBootWriter(BootWriter writer) {
    bootWriter_ = std::move(writer);
    m_BootWriteBtn->setEnabled(bool(bootWriter_));
}

// ---- The monitor and the port settings

// The window system's own show and hide (a minimised window) leave the
// monitor as it is.
void TSerialTestPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous() && monitorRunning_) monitorRunning_(true);
}

void TSerialTestPage::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous() && monitorRunning_) monitorRunning_(false);
}

void TSerialTestPage::ClearViewBtnClick() {
    Receive1Mo->clear();
    Memo1->clear();
    if (monitorTrace_) monitorTrace_->Clear();
}

void TSerialTestPage::SaveTraceBtnClick() {
    if (!monitorTrace_ || monitorTrace_->Empty()) {
        ui_.Inform("The monitor shows no link conversation to save.", MsgIcon::Information);
        return;
    }
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.initialFolder = programFolder_.string();
    request.proposedName = "link.trace";
    request.filter = "Link traces (*.trace)|*.trace|All Files (*.*)|*.*";
    request.defaultExtension = "trace";
    request.confirmOverwrite = true;
    const auto chosen = ui_.ChooseFile(request);
    if (!chosen) return;
    const std::string& text = monitorTrace_->Text();
    std::string why;
    if (!ReplaceFileBytes(PathFromUtf8(*chosen), {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, &why))
        ui_.Inform("Write file error ! \n\nPath: " + *chosen + (why.empty() ? "" : "\n" + why), MsgIcon::Error);
}

void TSerialTestPage::Send1BtnClick() {
    if (!link_.EnsureLinkPort()) return;
    link_.OpenLinkPortAt(38400);
}

void TSerialTestPage::ClearBufBtnClick() { link_.Discovery().ClearBuffers(); }
void TSerialTestPage::ParityCBoxChange(const QString& text) {
    link_.Discovery().SetParity(ParityFromText(text.toStdString()));
}
void TSerialTestPage::DataBitCBoxChange(const QString& text) {
    link_.Discovery().SetDataBits(LeadingNumber(text.toStdString()));
}
void TSerialTestPage::StopBitCBoxChange(const QString& text) {
    link_.Discovery().SetStopBits(LeadingNumber(text.toStdString()));
}
void TSerialTestPage::InBufferCBoxChange(const QString& text) {
    link_.Discovery().SetInBufferSize(LeadingNumber(text.toStdString()));
}
void TSerialTestPage::OutBufferCBoxChange(const QString& text) {
    link_.Discovery().SetOutBufferSize(LeadingNumber(text.toStdString()));
}

// ---- 256k Flash User Mode

void TSerialTestPage::ShowOutcome(const TransferOutcome& outcome) {
    if (!outcome.message.empty()) ui_.Inform(outcome.message, outcome.icon);
}

void TSerialTestPage::GaugeStart(int maximum) {
    m_CGue->setRange(0, maximum);
    m_CGue->setValue(0);
    gaugeTimer_->start();
}

void TSerialTestPage::GaugeStop() {
    gaugeTimer_->stop();
    m_CGue->setValue(0);
}

void TSerialTestPage::NRecvTBtnClick() {
    m_NRecvTBtn->setEnabled(false);
    link_.SetUserAbort(false);
    GaugeStart(int(kOlderFlashSize));
    const TransferOutcome outcome = older_.Recv256(transfer_);
    GaugeStop();
    // Only a whole flash becomes the file holder's.
    if (outcome.Ok()) *flashFileData_ = transfer_;
    ShowOutcome(outcome);
    m_NRecvTBtn->setEnabled(true);
}

void TSerialTestPage::SaveFTBtnClick() {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Save;
    request.initialFolder = (programFolder_ / "Mcf").string();
    request.proposedName = "Flash256Mem.mcf";
    request.filter = "MCF files (*.mcf)|*.mcf|All Files (*.*)|*.*";
    request.defaultExtension = "mcf";
    const auto chosen = ui_.ChooseFile(request);
    if (!chosen) return;
    const std::filesystem::path path = *chosen;
    const PlainFileOutcome outcome = WriteWithBackup(path, path, transfer_, kCantWritePlainText);
    if (!outcome.Ok()) {
        MessageRequest box{outcome.message, kFileErrorCaption, MsgIcon::Error, MsgButtons::OkCancel};
        ui_.ShowMessage(box);
    }
}

void TSerialTestPage::NSendTBtnClick() {
    m_NSendTBtn->setEnabled(false);
    ClearViewBtnClick();
    link_.SetUserAbort(false);
    GaugeStart(int(kOlderFlashSize));
    const TransferOutcome outcome = older_.Send256(*flashFileData_, transfer_);
    GaugeStop();
    ShowOutcome(outcome);
    m_NSendTBtn->setEnabled(true);
}

void TSerialTestPage::SendPreTBtnClick() {
    m_SendPreTBtn->setEnabled(false);
    ClearViewBtnClick();
    link_.SetUserAbort(false);
    GaugeStart(int(kPreCodeLastPacket - kPreCodeFirstPacket + 1) * int(kPacketBytes));
    const TransferOutcome outcome = older_.SendPre(transfer_);
    GaugeStop();
    ShowOutcome(outcome);
    m_SendPreTBtn->setEnabled(true);
}

void TSerialTestPage::CancleTBtnClick() { link_.SetUserAbort(true); }

// ---- 32k Boot Mode

void TSerialTestPage::LoadBuffer(const char* filter, const char* extension, size_t maxBytes,
                                 std::vector<uint8_t>& into) {
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.initialFolder = programFolder_.string();
    request.filter = filter;
    request.defaultExtension = extension;
    request.mustExist = true;
    const auto chosen = ui_.ChooseFile(request);
    if (!chosen) return;
    std::vector<uint8_t> bytes;
    const PlainFileOutcome outcome = ReadWholeFile(*chosen, bytes, maxBytes + 1);
    if (!outcome.Ok()) {
        if (!outcome.message.empty()) ui_.ShowMessage({outcome.message, outcome.caption, MsgIcon::Error, MsgButtons::OkCancel});
        return;
    }
    if (bytes.empty() || bytes.size() > maxBytes) {
        ui_.Inform("The file holds " + std::to_string(bytes.size()) + " bytes; this buffer takes 1 to " +
                       std::to_string(maxBytes) + ".\nNothing was loaded.",
                   MsgIcon::Error);
        return;
    }
    into = std::move(bytes);
    Memo1->appendPlainText(QString::fromStdString(*chosen) + QStringLiteral(" : %1 bytes").arg(into.size()));
}

void TSerialTestPage::Load2kBtnClick() {
    LoadBuffer("2k Loader (*.2k)|*.2k|All Files (*.*)|*.*", "2k", kLoaderMaxBytes, loader_);
}

void TSerialTestPage::Load32kBtnClick() {
    LoadBuffer("32k Program (*.bin)|*.bin|All Files (*.*)|*.*", "bin", kProgramMaxBytes, program_);
}

void TSerialTestPage::BootWriteBtnClick() {
    if (!bootWriter_) return;
    m_BootWriteBtn->setEnabled(false);
    link_.SetLinkStatus(kLinkGood);
    bootWriter_(loader_, program_);
    m_BootWriteBtn->setEnabled(true);
}

void TSerialTestPage::BootCancleBtnClick() { link_.SetLinkStatus(kLinkFailed); }

// ---- The loop-back test

void TSerialTestPage::ActBtnClick() {
    if (loop_.Running()) return;
    ActBtn->setEnabled(false);
    m_LoopTBtn->setEnabled(false);
    SendMo->clear();
    ReceiveMo->clear();
    std::string sent;
    if (!loop_.Start(sent)) {
        ActBtn->setEnabled(true);
        m_LoopTBtn->setEnabled(true);
        return;
    }
    SendMo->setPlainText(QString::fromStdString(sent));
    Timer1->start();
}

void TSerialTestPage::Timer1Timer() {
    const LoopState state = loop_.Tick();
    if (state == LoopState::Waiting) return;
    Timer1->stop();
    if (state != LoopState::Idle) {
        if (state != LoopState::NoLoop)
            ReceiveMo->setPlainText(QString::fromLatin1(kLoopReceiveLog) + QString::fromStdString(loop_.EchoHex()));
        const LoopVerdict verdict = VerdictOf(state);
        ui_.Inform(verdict.text, verdict.icon);
    }
    ActBtn->setEnabled(true);
    m_LoopTBtn->setEnabled(true);
}

void TSerialTestPage::LoopClearBtnClick() {
    SendMo->clear();
    ReceiveMo->clear();
}

}  // namespace orvalink
