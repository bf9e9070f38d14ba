#include "editors/CodeImportDialog.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>

namespace orvalink {

namespace {

const QString kNoKeyText = QStringLiteral("(no key)");

QString KeyText(const ImportKey& key) { return QString::fromStdString(ImportKeyName(key)); }

}  // namespace

TCodeImportFm::TCodeImportFm(const std::vector<IrSignal>& irSignals, ImportProposal proposal, const QString& deviceName,
                             QWidget* parent)
    : QDialog(parent), irSignals_(irSignals), proposal_(std::move(proposal)) {
    setObjectName(QStringLiteral("TCodeImportFm"));
    setWindowTitle(QStringLiteral("Import codes"));
    setAccessibleName(QStringLiteral("Import codes"));
    auto* outer = new QVBoxLayout(this);

    auto* intro = new QLabel(QStringLiteral("Choose the key of %1 each signal goes to.").arg(deviceName), this);
    intro->setAccessibleName(intro->text());
    outer->addWidget(intro);

    m_SignalTable = new QTableWidget(int(irSignals_.size()), 3, this);
    m_SignalTable->setObjectName(QStringLiteral("m_SignalTable"));
    m_SignalTable->setAccessibleName(QStringLiteral("Signals and keys"));
    m_SignalTable->setHorizontalHeaderLabels({QStringLiteral("Signal"), QStringLiteral("Protocol"), QStringLiteral("Key")});
    m_SignalTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_SignalTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_SignalTable->verticalHeader()->hide();
    m_SignalTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_SignalTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_SignalTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    for (int row = 0; row < int(irSignals_.size()); ++row) {
        const IrSignal& s = irSignals_[size_t(row)];
        const QString name = QString::fromStdString(s.name);
        const QString decoded = QString::fromStdString(SignalProtocolText(s));
        m_SignalTable->setItem(row, 0, new QTableWidgetItem(name));
        m_SignalTable->setItem(row, 1, new QTableWidgetItem(decoded.isEmpty() ? QStringLiteral("unknown") : decoded));
        auto* box = new QComboBox(m_SignalTable);
        box->setAccessibleName(QStringLiteral("Key for %1").arg(name));
        box->addItem(kNoKeyText, kNoTargetKey);
        for (const ImportKey& k : proposal_.Keys()) box->addItem(KeyText(k), k.keyNumber);
        connect(box, qOverload<int>(&QComboBox::activated), this, [this, row](int item) { ChooseKey(row, item); });
        m_SignalTable->setCellWidget(row, 2, box);
        // The cell under the box holds its choice as text: what a screen
        // reader reads of the row.
        m_SignalTable->setItem(row, 2, new QTableWidgetItem);
    }
    m_SignalTable->setMinimumWidth(520);
    outer->addWidget(m_SignalTable, 1);

    auto* lone = new QHBoxLayout;
    auto list = [&](const QString& caption, const char* objectName) {
        auto* column = new QVBoxLayout;
        auto* label = new QLabel(caption, this);
        label->setAccessibleName(caption);
        auto* box = new QListWidget(this);
        box->setObjectName(QString::fromLatin1(objectName));
        box->setAccessibleName(caption);
        box->setMaximumHeight(110);
        label->setBuddy(box);
        column->addWidget(label);
        column->addWidget(box);
        lone->addLayout(column);
        return box;
    };
    m_LoneSignalLBox = list(QStringLiteral("Signals without a key"), "m_LoneSignalLBox");
    m_LoneKeyLBox = list(QStringLiteral("Keys without a signal"), "m_LoneKeyLBox");
    outer->addLayout(lone);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setAccessibleName(QStringLiteral("Cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);

    ShowProposal();
    resize(640, 480);
}

QComboBox* TCodeImportFm::KeyBox(int row) const {
    return qobject_cast<QComboBox*>(m_SignalTable->cellWidget(row, 2));
}

void TCodeImportFm::ChooseKey(int row, int item) {
    QComboBox* box = KeyBox(row);
    if (!box || item < 0 || item >= box->count()) return;
    // Stepping through a box's keys (the arrow keys choose each on the way)
    // takes only the key it stops at: each choice starts again from the
    // pairs as they stood before this box was first changed.
    if (row != editingRow_) {
        before_ = proposal_;
        editingRow_ = row;
    }
    proposal_ = before_;
    proposal_.Assign(size_t(row), box->itemData(item).toInt());
    ShowProposal();
}

void TCodeImportFm::ShowProposal() {
    for (int row = 0; row < m_SignalTable->rowCount(); ++row) {
        QComboBox* box = KeyBox(row);
        const QSignalBlocker block(box);
        box->setCurrentIndex(std::max(0, box->findData(proposal_.KeyOf(size_t(row)))));
        m_SignalTable->item(row, 2)->setText(box->currentText());
    }
    m_LoneSignalLBox->clear();
    for (size_t s : proposal_.UnmatchedSignals()) m_LoneSignalLBox->addItem(QString::fromStdString(irSignals_[s].name));
    m_LoneKeyLBox->clear();
    for (int k : proposal_.UnmatchedKeys())
        for (const ImportKey& key : proposal_.Keys())
            if (key.keyNumber == k) m_LoneKeyLBox->addItem(KeyText(key));
}

}  // namespace orvalink
