#include "editors/BtnCodeSources.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "editors/BtnShared.h"
#include "editors/BtnWaveform.h"
#include "editors/core/IrLink.h"
#include "platform/UiServices.h"

namespace orvalink {

using btnui::Button;
using btnui::Named;

namespace {

QString ResultOf(const KeyCodeOutcome& outcome, const KeyCodeCandidate& c) {
    if (outcome.refusal == KeyCodeRefusal::NoCode) return QString::fromStdString(outcome.reason);
    if (!outcome.Ok())
        return QStringLiteral("The remote cannot hold this code: %1").arg(QString::fromStdString(outcome.reason));
    QString text = QStringLiteral("Decoded: %1").arg(c.decoded ? QString::fromStdString(DecodedText(*c.decoded))
                                                                : QStringLiteral("no known protocol"));
    uint8_t carrier = 0;
    if (CarrierByteFromPeriod(c.stored.carrier, carrier))
        text += QStringLiteral(", carrier %1 kHz").arg(QString::fromStdString(CarrierText(carrier)).trimmed());
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// What both dialogs share

BtnCodeChoice::BtnCodeChoice(UiServices& ui, Random& random, const KeyInfo& key, const QString& title,
                             QWidget* parent)
    : QDialog(parent), key_(key), ui_(ui), random_(random) {
    setWindowTitle(title);
    setAccessibleName(title);
}

void BtnCodeChoice::Finish(QLayout* choice) {
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choice);
    m_resultLbe = Named(new QLabel(this), QStringLiteral("m_resultLbe"), QString());
    m_resultLbe->setWordWrap(true);
    layout->addWidget(m_resultLbe);
    m_Cht = new BtnWaveform(random_, QStringLiteral("m_Cht"), QStringLiteral("Waveform"), this);
    m_Cht->setMinimumSize(560, 200);
    layout->addWidget(m_Cht, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_OkBtn = Button(this, QStringLiteral("m_OkBtn"), QStringLiteral("OK"));
    m_CancelBtn = Button(this, QStringLiteral("m_CancelBtn"), QStringLiteral("Cancel"));
    m_OkBtn->setDefault(true);
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    layout->addLayout(buttons);
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
}

void BtnCodeChoice::ShowOutcome(const KeyCodeOutcome& outcome, const KeyCodeCandidate& candidate) {
    outcome_ = outcome;
    candidate_ = outcome.Ok() ? candidate : KeyCodeCandidate{};
    const QString text = ResultOf(outcome, candidate);
    m_resultLbe->setText(text);
    m_resultLbe->setAccessibleName(text);
    if (outcome.Ok())
        m_Cht->Show(candidate.stored);
    else
        m_Cht->Clear();
}

void BtnCodeChoice::m_OkBtnClick() {
    if (outcome_.refusal == KeyCodeRefusal::NoCode) return ui_.Inform(outcome_.reason, MsgIcon::Error);
    if (!outcome_.Ok()) {
        ui_.Inform("The remote cannot hold this code:\n" + outcome_.reason + "\nThe key keeps its code.",
                   MsgIcon::Error);
        return;
    }
    accept();
}

// ---------------------------------------------------------------------------
// Make code

TMakeCodeFm::TMakeCodeFm(UiServices& ui, Random& random, const KeyInfo& key, QWidget* parent)
    : BtnCodeChoice(ui, random, key, QStringLiteral("Make code"), parent), protocols_(MakeableProtocols()) {
    setObjectName(QStringLiteral("TMakeCodeFm"));
    auto* form = new QFormLayout;
    m_protocolCBox = Named(new QComboBox(this), QStringLiteral("m_protocolCBox"), QStringLiteral("Protocol"));
    for (const IrDecoded& p : protocols_) m_protocolCBox->addItem(QString::fromStdString(IrProtocolName(p)));
    m_deviceEdt = Named(new QSpinBox(this), QStringLiteral("m_deviceEdt"), QStringLiteral("Device"));
    m_subDeviceEdt = Named(new QSpinBox(this), QStringLiteral("m_subDeviceEdt"), QStringLiteral("Sub-device"));
    m_functionEdt = Named(new QSpinBox(this), QStringLiteral("m_functionEdt"), QStringLiteral("Function"));
    m_toggleChk = Named(new QCheckBox(QStringLiteral("Toggle"), this), QStringLiteral("m_toggleChk"),
                        QStringLiteral("Toggle"));
    form->addRow(QStringLiteral("Protocol:"), m_protocolCBox);
    form->addRow(QStringLiteral("Device:"), m_deviceEdt);
    form->addRow(QStringLiteral("Sub-device:"), m_subDeviceEdt);
    form->addRow(QStringLiteral("Function:"), m_functionEdt);
    form->addRow(QString(), m_toggleChk);
    Finish(form);
    m_protocolCBoxChange();
    connect(m_protocolCBox, &QComboBox::currentIndexChanged, this, [this] { m_protocolCBoxChange(); });
    for (QSpinBox* box : {m_deviceEdt, m_subDeviceEdt, m_functionEdt})
        connect(box, &QSpinBox::valueChanged, this, [this] { m_NumberChange(); });
    connect(m_toggleChk, &QCheckBox::toggled, this, [this] { m_NumberChange(); });
}

void TMakeCodeFm::m_protocolCBoxChange() {
    const int at = m_protocolCBox->currentIndex();
    if (at < 0 || size_t(at) >= protocols_.size()) return;
    const IrNumberRanges r = IrRangesOf(protocols_[size_t(at)].kind);
    // The boxes keep their numbers where the new protocol carries them.
    for (QSpinBox* box : {m_deviceEdt, m_subDeviceEdt, m_functionEdt}) box->blockSignals(true);
    m_deviceEdt->setRange(0, int(r.maxDevice));
    m_subDeviceEdt->setRange(0, int(r.maxSubDevice));
    m_functionEdt->setRange(0, int(r.maxFunction));
    for (QSpinBox* box : {m_deviceEdt, m_subDeviceEdt, m_functionEdt}) box->blockSignals(false);
    m_subDeviceEdt->setEnabled(r.hasSubDevice);
    m_toggleChk->setEnabled(r.hasToggle);
    m_NumberChange();
}

void TMakeCodeFm::m_NumberChange() {
    const int at = m_protocolCBox->currentIndex();
    if (at < 0 || size_t(at) >= protocols_.size()) return;
    const IrEncodeRequest request =
        MakeRequest(protocols_[size_t(at)], unsigned(m_deviceEdt->value()), unsigned(m_subDeviceEdt->value()),
                    unsigned(m_functionEdt->value()), m_toggleChk->isChecked());
    KeyCodeCandidate candidate;
    const KeyCodeOutcome outcome = CodeFromNumbers(request, key_, candidate);
    ShowOutcome(outcome, candidate);
}

// ---------------------------------------------------------------------------
// Import code

TImportCodeFm::TImportCodeFm(UiServices& ui, Random& random, const KeyInfo& key, const QString& fileName,
                             std::vector<IrSignal> found, QWidget* parent)
    : BtnCodeChoice(ui, random, key, QStringLiteral("Import code"), parent), signals_(std::move(found)) {
    setObjectName(QStringLiteral("TImportCodeFm"));
    auto* top = new QVBoxLayout;
    auto* file = Named(new QLabel(QStringLiteral("Signals of %1:").arg(fileName), this), QStringLiteral("m_fileLbe"),
                       QStringLiteral("Signals of %1").arg(fileName));
    top->addWidget(file);
    m_signalGrid = Named(new QTableWidget(int(signals_.size()), 2, this), QStringLiteral("m_signalGrid"),
                         QStringLiteral("Signals"));
    m_signalGrid->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Protocol")});
    m_signalGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_signalGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_signalGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_signalGrid->verticalHeader()->hide();
    m_signalGrid->horizontalHeader()->setStretchLastSection(true);
    for (size_t i = 0; i < signals_.size(); ++i) {
        const auto protocol = SignalProtocol(signals_[i]);
        m_signalGrid->setItem(int(i), 0, new QTableWidgetItem(QString::fromStdString(signals_[i].name)));
        m_signalGrid->setItem(int(i), 1, new QTableWidgetItem(protocol ? QString::fromStdString(DecodedText(*protocol))
                                                                       : QStringLiteral("unknown")));
    }
    m_signalGrid->resizeColumnToContents(0);
    m_signalGrid->setMinimumHeight(160);
    top->addWidget(m_signalGrid);
    Finish(top);
    connect(m_signalGrid, &QTableWidget::currentCellChanged, this, [this](int row) { m_signalGridSelect(row); });
    if (!signals_.empty()) m_signalGrid->selectRow(0);
    m_signalGridSelect(signals_.empty() ? -1 : 0);
}

void TImportCodeFm::m_signalGridSelect(int row) {
    KeyCodeCandidate candidate;
    if (row < 0 || size_t(row) >= signals_.size())
        return ShowOutcome({KeyCodeRefusal::NoCode, "No signal is chosen."}, candidate);
    const KeyCodeOutcome outcome = CodeFromSignal(signals_[size_t(row)], key_, candidate);
    ShowOutcome(outcome, candidate);
}

}  // namespace orvalink
