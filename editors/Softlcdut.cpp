#include "editors/Softlcdut.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orvalink {

TSoftLCDFm::TSoftLCDFm(int slot, EditorMode mode, const QString& name, const KeyInfo& record, QWidget* parent)
    : QWidget(parent), slot_(slot), mode_(mode), record_(CopyKeyInfo(record)) {
    setWindowTitle(name);
    auto* layout = new QVBoxLayout(this);
    label_ = new QLabel(QStringLiteral("%1\n(slot %2)").arg(name).arg(slot), this);
    label_->setAlignment(Qt::AlignCenter);
    layout->addWidget(label_);
    setMinimumSize(208 + 40, 320);
}

void TSoftLCDFm::m_SaveBtnClick() {
    if (StoreIntoImage()) modifiedMark_ = kMarkUnchanged;
    close();
}

void TSoftLCDFm::m_CancelBtnClick() {
    modifiedMark_ = kMarkUnchanged;
    close();
}

}  // namespace orvalink
