// The layout editor's key list: the device's keys as a tree, named by
// number and label, and the presses on it that select a key.
#include "editors/Softlcdut.h"

#include <QTreeWidget>

#include "editors/SoftlcdShared.h"
#include "image/LabelWords.h"
#include "image/qt/TreePictures.h"

namespace orvalink {

using namespace softlcd;

QPixmap softlcd::TreePictureAt(int index) {
    return TreePixmap(index == kTreeDevice  ? TreePicture::Device
                      : index == kTreeMacro ? TreePicture::Macro
                                            : TreePicture::Key);
}

namespace {

// The tree picture of a key of style (key type) `type`.
int TreePictureOf(int type, bool macroDevice) {
    if (macroDevice) return kTreeKey;
    switch (type) {
        case kKeyDevice: return kTreeDevice;
        case kKeyMacro: return kTreeMacro;
        default: return kTreeKey;
    }
}

// The key list names a key by its number and by what its label shows on the
// LCD, icons read as their words, so that a person can match the list with
// the LCD: "Key 6 — 1". A key without a label is a new one.
QString KeyListText(const KeyInfo& key) {
    QString shown = QString::fromStdString(LabelWords(key.label));
    if (shown.isEmpty() && key.label[0] == 0) shown = QStringLiteral("New key");
    const QString number = QString::number(key.keyNumber);
    return shown.isEmpty() ? QStringLiteral("Key %1").arg(number)
                           : QStringLiteral("Key %1 \u2014 %2").arg(number, shown);
}

}  // namespace

void TSoftLCDFm::BuildKeyList() {
    m_keyTView = new QTreeWidget(this);
    m_keyTView->setObjectName(QStringLiteral("m_keyTView"));
    m_keyTView->setAccessibleName(QStringLiteral("Keys"));
    m_keyTView->setHeaderHidden(true);
    m_keyTView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_keyTView->setMinimumWidth(120);
    m_keyTView->setMaximumWidth(180);
    m_keyTView->viewport()->installEventFilter(this);
    connect(m_keyTView, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem* node) { m_keyTViewMouseDown(node, Qt::LeftButton); });
}

void TSoftLCDFm::RebuildKeyTree() {
    const QSignalBlocker block(m_keyTView);
    m_keyTView->clear();
    auto* root = new QTreeWidgetItem(m_keyTView, QStringList(name_));
    root->setIcon(0, QIcon(TreePictureAt(kTreeDevice)));
    root->setData(0, kKeyRole, kNoKey);
    const int selected = layout_->Selected();
    for (size_t i = 0; i < layout_->KeyCount(); ++i) {
        const KeyInfo& k = layout_->KeyAt(i).info;
        auto* node = new QTreeWidgetItem(root, QStringList(KeyListText(k)));
        node->setIcon(0, QIcon(TreePictureAt(TreePictureOf(k.keyType, layout_->IsMacroDevice()))));
        node->setData(0, kKeyRole, int(k.keyNumber));
        node->setToolTip(0, QStringLiteral("Key %1, %2").arg(k.keyNumber).arg(TypeName(k.keyType)));
        if (k.keyNumber == selected) m_keyTView->setCurrentItem(node);
    }
    m_keyTView->expandAll();
}

void TSoftLCDFm::m_keyTViewMouseDown(QTreeWidgetItem* node, Qt::MouseButton button) {
    if (!node || (button != Qt::LeftButton && button != Qt::RightButton)) return;
    const QVariant v = node->data(0, kKeyRole);
    if (!v.isValid() || v.toInt() < 0) return;
    const int number = v.toInt();
    const LayoutKey* key = layout_->FindKey(number);
    if (!key) return;
    SelectKey(number);
    if (mode_ == ModeStepEdit) {
        RecordStepFor(number);
        if (closing_) return;
    }
    if (key->info.page < kLcdPages) layout_->ShowPage(key->info.page);
    SyncFromLayout();
}

}  // namespace orvalink
