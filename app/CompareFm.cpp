#include "app/CompareFm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvalink {

namespace {

constexpr int kSlotRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;

QTreeWidgetItem* AddRow(QTreeWidgetItem* parent, QTreeWidget* tree, const std::string& text, int slot = -1,
                        int key = -1) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    const QString t = QString::fromStdString(text);
    item->setText(0, t);
    item->setToolTip(0, t);
    item->setData(0, kSlotRole, slot);
    item->setData(0, kKeyRole, key);
    return item;
}

}  // namespace

TCompareFm::TCompareFm(const ImageComparison& comparison, const QString& fileName, OpenKey openKey, QWidget* parent)
    : QDialog(parent), openKey_(std::move(openKey)) {
    setObjectName(QStringLiteral("TCompareFm"));
    setWindowTitle(QStringLiteral("Compare with %1").arg(fileName));
    setAccessibleName(windowTitle());

    const size_t count = comparison.Count();
    m_SummaryLbe = new QLabel(this);
    m_SummaryLbe->setObjectName(QStringLiteral("m_SummaryLbe"));
    m_SummaryLbe->setWordWrap(true);
    m_SummaryLbe->setText(
        count == 0 ? QStringLiteral("No differences: %1 holds the same configuration as this one.").arg(fileName)
                   : QStringLiteral("%1 %2 from %3 to this configuration. Double-click a key to open it.")
                         .arg(count)
                         .arg(count == 1 ? QStringLiteral("difference") : QStringLiteral("differences"))
                         .arg(fileName));
    m_SummaryLbe->setAccessibleName(m_SummaryLbe->text());

    m_DiffTView = new QTreeWidget(this);
    m_DiffTView->setObjectName(QStringLiteral("m_DiffTView"));
    m_DiffTView->setAccessibleName(QStringLiteral("Differences"));
    m_DiffTView->setHeaderHidden(true);
    m_DiffTView->setColumnCount(1);
    m_DiffTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_DiffTView->setExpandsOnDoubleClick(false);  // a double click opens the key
    m_DiffTView->header()->setStretchLastSection(true);

    for (const DeviceDifferences& d : comparison.devices) {
        QTreeWidgetItem* device = AddRow(nullptr, m_DiffTView, d.name, d.slot);
        for (const Difference& x : d.changes) AddRow(device, m_DiffTView, x.text, d.slot);
        for (const KeyDifferences& k : d.keys) {
            QTreeWidgetItem* key = AddRow(device, m_DiffTView, k.name, d.slot, k.key);
            for (const Difference& x : k.changes) AddRow(key, m_DiffTView, x.text, d.slot, k.key);
        }
    }
    const auto group = [&](const char* title, const std::vector<Difference>& list) {
        if (list.empty()) return;
        QTreeWidgetItem* top = AddRow(nullptr, m_DiffTView, title);
        for (const Difference& x : list) AddRow(top, m_DiffTView, x.text);
    };
    group("Settings", comparison.settings);
    group("Welcome pictures", comparison.pictures);
    group("Other bytes", comparison.regions);
    m_DiffTView->expandAll();
    if (m_DiffTView->topLevelItemCount() > 0) m_DiffTView->setCurrentItem(m_DiffTView->topLevelItem(0));
    // A double click (and Return) activates a row.
    connect(m_DiffTView, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* item, int) { m_DiffTViewDblClick(item); });

    m_CloseBtn = new QPushButton(QStringLiteral("Close"), this);
    m_CloseBtn->setObjectName(QStringLiteral("m_CloseBtn"));
    m_CloseBtn->setAccessibleName(QStringLiteral("Close"));
    m_CloseBtn->setAutoDefault(false);
    connect(m_CloseBtn, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_CloseBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_SummaryLbe);
    layout->addWidget(m_DiffTView, 1);
    layout->addLayout(buttons);
    resize(560, 420);
}

bool TCompareFm::KeyOfItem(const QTreeWidgetItem* item, int& slot, int& key) {
    if (!item) return false;
    slot = item->data(0, kSlotRole).toInt();
    key = item->data(0, kKeyRole).toInt();
    return slot >= 0 && key >= 0;
}

void TCompareFm::m_DiffTViewDblClick(QTreeWidgetItem* item) {
    int slot = -1, key = -1;
    if (KeyOfItem(item, slot, key) && openKey_) openKey_(slot, key);
}

}  // namespace orvalink
