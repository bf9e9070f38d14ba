#include "link/qt/FilePages.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "formats/ModelCatalogue.h"
#include "formats/XFiles.h"

namespace orvalink {

namespace {

std::string TextOf(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item ? item->text().toStdString() : std::string();
}

QListWidget* ModelList(QWidget* parent, const QString& name) {
    auto* list = new QListWidget(parent);
    list->setAccessibleName(name);
    for (std::string_view form : ModelListForms()) list->addItem(QString::fromUtf8(form.data(), int(form.size())));
    list->setMinimumHeight(90);
    return list;
}

QLineEdit* VersionEdit(QWidget* parent, const QString& name) {
    auto* edit = new QLineEdit(parent);
    edit->setAccessibleName(name);
    edit->setText(QStringLiteral("1.00"));
    edit->setMaximumWidth(70);
    return edit;
}

}  // namespace

FilePages::FilePages(const std::filesystem::path& programFolder, UiServices& ui, const Clock& clock,
                     TTiFlashFm& image, TFlashFm& older, QWidget* parent)
    : QWidget(parent),
      ui_(ui),
      dialogs_(std::make_unique<VFileCommands>(ui, clock, random_, programFolder, image)),
      commands_(std::make_unique<ServiceFileCommands>(ui, clock, random_, programFolder, *dialogs_, image, older)) {
    setAccessibleName(QStringLiteral("File tools"));
    auto* layout = new QVBoxLayout(this);

    // Plain and security files.
    auto* sec = new QGroupBox(QStringLiteral("Security Files"), this);
    auto* s = new QHBoxLayout(sec);
    s->addWidget(Button(QStringLiteral("UnSec"), sec, &FilePages::m_UnSecBtnClick));
    s->addWidget(Button(QStringLiteral("SetSMcf"), sec, &FilePages::m_SetSMcfBtnClick));
    s->addWidget(Button(QStringLiteral("SetSMod"), sec, &FilePages::m_SetSModBtnClick));
    s->addStretch();
    layout->addWidget(sec);

    auto* row = new QHBoxLayout;
    // Flash files: the model, the code version, X files and the image's S binaries.
    auto* flash = new QGroupBox(QStringLiteral("Flash"), this);
    auto* f = new QGridLayout(flash);
    m_FlashModelLBox = ModelList(flash, QStringLiteral("Flash model"));
    m_FlashVerEdt = VersionEdit(flash, QStringLiteral("Flash code version"));
    f->addWidget(m_FlashModelLBox, 0, 0, 1, 2);
    f->addWidget(new QLabel(QStringLiteral("Version:"), flash), 1, 0);
    f->addWidget(m_FlashVerEdt, 1, 1);
    f->addWidget(Button(QStringLiteral("Load *.MCF file"), flash, &FilePages::m_LoadMcfBtnClick), 2, 0);
    f->addWidget(Button(QStringLiteral("Make XMCF"), flash, &FilePages::m_MakeXmcfBtnClick), 2, 1);
    f->addWidget(Button(QStringLiteral("Load VC SBin"), flash, &FilePages::m_LoadSBin2BtnClick), 3, 0);
    f->addWidget(Button(QStringLiteral("Make VC Sbin"), flash, &FilePages::m_MakeSBin2BtnClick), 3, 1);
    f->addWidget(Button(QStringLiteral("KDT 2 Txt"), flash, &FilePages::m_KdtBtnClick), 4, 0);
    row->addWidget(flash);

    // MCU files.
    auto* mcu = new QGroupBox(QStringLiteral("MCU"), this);
    auto* m = new QGridLayout(mcu);
    m_McuModelLBox = ModelList(mcu, QStringLiteral("MCU model"));
    m_McuVerEdt = VersionEdit(mcu, QStringLiteral("MCU version"));
    m_VcEdt = new QLineEdit(mcu);
    m_VcEdt->setAccessibleName(QStringLiteral("VC number"));
    m_VcEdt->setMaximumWidth(70);
    m_SBinLbe = new QLabel(mcu);
    m_SBinLbe->setAccessibleName(QStringLiteral("Loaded S binary"));
    m->addWidget(m_McuModelLBox, 0, 0, 1, 2);
    m->addWidget(new QLabel(QStringLiteral("Version:"), mcu), 1, 0);
    m->addWidget(m_McuVerEdt, 1, 1);
    m->addWidget(Button(QStringLiteral("Load *.BIN file"), mcu, &FilePages::m_LoadBinBtnClick), 2, 0);
    m->addWidget(Button(QStringLiteral("Make XMCU"), mcu, &FilePages::m_MakeXmcuBtnClick), 2, 1);
    m->addWidget(new QLabel(QStringLiteral("VC:"), mcu), 3, 0);
    m->addWidget(m_VcEdt, 3, 1);
    m->addWidget(Button(QStringLiteral("Load VC SBin"), mcu, &FilePages::m_LoadSBinBtnClick), 4, 0);
    m->addWidget(Button(QStringLiteral("Make VC Sbin"), mcu, &FilePages::m_MakeSBinBtnClick), 4, 1);
    m->addWidget(m_SBinLbe, 5, 0, 1, 2);
    row->addWidget(mcu);
    layout->addLayout(row);

    // Stamping versions into the loaded flash file.
    auto* stamp = new QGroupBox(QStringLiteral("Make   *.MCF to *.VMCF"), this);
    auto* w = new QHBoxLayout(stamp);
    m_CodeVerEdt = VersionEdit(stamp, QStringLiteral("Code version"));
    m_DataVerEdt = VersionEdit(stamp, QStringLiteral("Flash data version"));
    w->addWidget(new QLabel(QStringLiteral("Code Ver:"), stamp));
    w->addWidget(m_CodeVerEdt);
    w->addWidget(new QLabel(QStringLiteral("Data Ver:"), stamp));
    w->addWidget(m_DataVerEdt);
    w->addWidget(Button(QStringLiteral("Write"), stamp, &FilePages::m_WriteBtnClick));
    w->addStretch();
    layout->addWidget(stamp);

    m_FlashVerEdt->installEventFilter(this);
    m_McuVerEdt->installEventFilter(this);
}

FilePages::~FilePages() = default;

QPushButton* FilePages::Button(const QString& caption, QWidget* parent, void (FilePages::*click)()) {
    auto* button = new QPushButton(caption, parent);
    button->setAccessibleName(caption);
    connect(button, &QPushButton::clicked, this, [this, click] { (this->*click)(); });
    return button;
}

bool FilePages::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_FlashVerEdt) m_FlashVerEdtDblClick();
        if (watched == m_McuVerEdt) m_McuVerEdtDblClick();
    }
    return QWidget::eventFilter(watched, event);
}

void FilePages::Show(const ServiceOutcome& outcome) {
    for (const MessageRequest& notice : outcome.notices) ui_.ShowMessage(notice);
}

void FilePages::m_LoadMcfBtnClick() { Show(commands_->LoadMcfClick(TextOf(m_FlashModelLBox))); }

void FilePages::m_MakeXmcfBtnClick() {
    Show(commands_->MakeXmcfClick(TextOf(m_FlashModelLBox), m_FlashModelLBox->currentRow(),
                                  m_FlashVerEdt->text().toStdString()));
}

void FilePages::m_MakeXmcuBtnClick() {
    Show(commands_->MakeXmcuClick(TextOf(m_McuModelLBox), m_McuModelLBox->currentRow(),
                                  m_McuVerEdt->text().toStdString()));
}

void FilePages::m_FlashVerEdtDblClick() { Show(commands_->VersionDoubleClick(m_FlashVerEdt->text().toStdString())); }
void FilePages::m_McuVerEdtDblClick() { Show(commands_->VersionDoubleClick(m_McuVerEdt->text().toStdString())); }

void FilePages::ShowSBin() {
    const SBinHeader& h = commands_->LoadedSBin();
    m_VcEdt->setText(QString::number(h.vcNumber));
    m_SBinLbe->setText(QString::fromStdString(SBinDateText(h.date)));
}

void FilePages::m_LoadSBinBtnClick() {
    const ServiceOutcome outcome = commands_->LoadVcSBinClick(false);
    Show(outcome);
    if (outcome.Ok()) ShowSBin();
}

void FilePages::m_MakeSBinBtnClick() { Show(commands_->MakeVcSBinClick(false, m_VcEdt->text().toStdString())); }

void FilePages::m_LoadSBin2BtnClick() {
    const ServiceOutcome outcome = commands_->LoadVcSBinClick(true);
    Show(outcome);
    if (outcome.Ok()) ShowSBin();
}

void FilePages::m_MakeSBin2BtnClick() { Show(commands_->MakeVcSBinClick(true, m_VcEdt->text().toStdString())); }

void FilePages::m_WriteBtnClick() {
    Show(commands_->WriteClick(TextOf(m_FlashModelLBox), m_CodeVerEdt->text().toStdString(),
                               m_DataVerEdt->text().toStdString()));
}

}  // namespace orvalink
