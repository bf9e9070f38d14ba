#include "app/Shells.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace orvalink {

TTiModelFm::TTiModelFm(QWidget* parent) : QWidget(parent) {}

TPreCodeFm::TPreCodeFm(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Pre-program code"));
    auto* form = new QFormLayout(this);
    code_ = new QSpinBox(this);
    code_->setRange(0, 3999);
    form->addRow(QStringLiteral("Code number:"), code_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool TPreCodeFm::PickCodeNumber(uint16_t& codeNumber) {
    if (exec() != QDialog::Accepted) return false;
    codeNumber = uint16_t(code_->value());
    return true;
}

}  // namespace orvalink
