#include "editors/KeyStandIn.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>

#include <span>
#include <string>

namespace orvalink {

namespace {

const char* const kTypeNames[] = {"IR code", "Device", "Macro", "Cycle", "Label"};

QLabel* Field(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setAccessibleName(name);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

}  // namespace

TKeyStandInFm::TKeyStandInFm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TKeyStandInFm"));
    setWindowTitle(QStringLiteral("Key Property"));
    setModal(true);
    auto* form = new QFormLayout(this);
    number_ = Field(this, QStringLiteral("Key number"));
    type_ = Field(this, QStringLiteral("Key type"));
    label_ = Field(this, QStringLiteral("Label"));
    mode_ = Field(this, QStringLiteral("Editor mode"));
    form->addRow(QStringLiteral("Key number:"), number_);
    form->addRow(QStringLiteral("Key type:"), type_);
    form->addRow(QStringLiteral("Label:"), label_);
    form->addRow(QStringLiteral("Editor mode:"), mode_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TKeyStandInFm::ShowKey(const LayoutKey& key, const KeyEditContext& context) {
    const KeyInfo& k = key.info;
    number_->setText(QString::number(k.keyNumber));
    type_->setText(k.keyType <= kKeyLabel ? QString::fromLatin1(kTypeNames[k.keyType])
                                          : QStringLiteral("type %1").arg(k.keyType));
    std::string text;
    int length = 0;
    label_->setText(LabelToText(std::span<const uint8_t>(k.label), text, length) ? QString::fromStdString(text)
                                                                                 : QString());
    mode_->setText(QString::number(context.editorMode));
}

bool TKeyStandInFm::EditKey(LayoutKey& key, const KeyEditContext& context) {
    ShowKey(key, context);
    return exec() == QDialog::Accepted;
}

QString TKeyStandInFm::NumberText() const { return number_->text(); }
QString TKeyStandInFm::TypeText() const { return type_->text(); }
QString TKeyStandInFm::LabelText() const { return label_->text(); }
QString TKeyStandInFm::ModeText() const { return mode_->text(); }

}  // namespace orvalink
