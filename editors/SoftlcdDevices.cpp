// The layout editor's device-tree panel of the step windows: the devices
// as a tree and as a box; choosing one loads it into the window, so that a
// macro step can take a key of any device.
#include "editors/Softlcdut.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QTreeWidget>

#include "editors/SoftlcdShared.h"
#include "editors/core/MacroSteps.h"
#include "image/DeviceTree.h"
#include "image/Tiflashut.h"

namespace orvalink {

using namespace softlcd;

void TSoftLCDFm::BuildDevicePanel() {
    m_DevPal = new QWidget(m_RightPal);
    m_DevPal->setObjectName(QStringLiteral("m_DevPal"));
    auto* column = new QVBoxLayout(m_DevPal);
    column->setContentsMargins(0, 0, 0, 0);
    m_TreeCbox = new QComboBox(m_DevPal);
    m_TreeCbox->setObjectName(QStringLiteral("m_TreeCbox"));
    m_TreeCbox->setAccessibleName(QStringLiteral("Device"));
    m_devTView = new QTreeWidget(m_DevPal);
    m_devTView->setObjectName(QStringLiteral("m_devTView"));
    m_devTView->setAccessibleName(QStringLiteral("Devices"));
    m_devTView->setHeaderHidden(true);
    m_devTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    column->addWidget(m_TreeCbox);
    column->addWidget(m_devTView, 1);

    const QIcon device(TreePictureAt(kTreeDevice));
    auto* root = new QTreeWidgetItem(m_devTView, QStringList(QStringLiteral("Home ")));
    root->setIcon(0, device);
    root->setData(0, kSlotRole, kHomeSlot);
    m_TreeCbox->addItem(device, QStringLiteral("Home "), kHomeSlot);
    std::vector<QTreeWidgetItem*> parents{root};
    for (const DeviceTreeNode& node : BuildDeviceTree(services_.flash)) {
        parents.resize(size_t(node.depth));
        auto* item = new QTreeWidgetItem(parents.back(), QStringList(QString::fromStdString(node.text)));
        item->setIcon(0, device);
        item->setData(0, kSlotRole, int(node.key.link));
        parents.push_back(item);
        m_TreeCbox->addItem(device, QString(node.depth * 2, QLatin1Char(' ')) + QString::fromStdString(node.text),
                            int(node.key.link));
    }
    m_devTView->expandAll();
    connect(m_devTView, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* node) { m_devTViewClick(node); });
    connect(m_TreeCbox, qOverload<int>(&QComboBox::activated), this, [this](int index) { m_TreeCboxChange(index); });
}

bool TSoftLCDFm::RecordForSlot(int device, KeyInfo& record, QString& name) const {
    if (device == kHomeSlot || device == kMacroSlot) {
        KeyInfo k;
        k.size = 2;
        k.page = kHardKeyPage;
        k.flags = 11;
        k.keyType = kKeyDevice;
        k.width = 2;
        k.height = 2;
        k.link = uint8_t(device);
        k.SetLabel(std::string(device == kHomeSlot ? "Home " : "Macro"));
        record = k;
        name = device == kHomeSlot ? QStringLiteral("Home ") : QStringLiteral("Macro");
        return true;
    }
    for (const DeviceTreeNode& node : BuildDeviceTree(services_.flash))
        if (node.key.link == device) {
            record = node.key;
            name = QString::fromStdString(DeviceNameText(node.key.label));
            return true;
        }
    return false;
}

bool TSoftLCDFm::LoadDeviceAndSelect(int device, int keyNumber) {
    if (device < 0 || device > kMacroSlot || keyNumber < 0 || keyNumber >= kKeysPerDevice) return false;
    if (device != slot_) {
        KeyInfo record;
        QString name;
        if (!RecordForSlot(device, record, name) || !LoadSlot(device, record, name)) return false;
    }
    return SelectKeyOnPage(keyNumber, kStateSelected);
}

void TSoftLCDFm::m_devTViewClick(QTreeWidgetItem* node) {
    if (!node) return;
    const QVariant v = node->data(0, kSlotRole);
    if (v.isValid()) OpenStepDevice(v.toInt());
}

void TSoftLCDFm::m_TreeCboxChange(int index) {
    if (index >= 0) OpenStepDevice(m_TreeCbox->itemData(index).toInt());
}

void TSoftLCDFm::OpenStepDevice(int device) {
    if (!StepWindowOpensDevice(device, slot_)) return;
    KeyInfo record;
    QString name;
    if (RecordForSlot(device, record, name)) LoadSlot(device, record, name);
}

}  // namespace orvalink
