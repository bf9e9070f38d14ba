#include "editors/Precodeut.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "editors/core/PreCodeAutoTest.h"
#include "link/LinkEngine.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

TPreCodeFm::TPreCodeFm(std::filesystem::path programFolder, UiServices& ui, const TTiFlashFm& flash,
                       LinkEngine* link, QWidget* parent)
    : QDialog(parent), programFolder_(std::move(programFolder)), ui_(ui), flash_(flash), link_(link) {
    setWindowTitle(QStringLiteral("Please following these step to set pre-programmed code"));
    setAccessibleName(windowTitle());
    setModal(true);
    setMinimumWidth(520);  // room for the whole caption

    m_DevCBox = new QComboBox(this);
    m_DevCBox->setAccessibleName(QStringLiteral("Device type"));
    m_BrandCBox = new QComboBox(this);
    m_BrandCBox->setAccessibleName(QStringLiteral("Brand name"));
    m_PreLBox = new QListWidget(this);
    m_PreLBox->setAccessibleName(QStringLiteral("Pre-programmed code number"));
    m_PreLBox->setMinimumHeight(140);

    m_AutoGBox = new QGroupBox(QStringLiteral("4. Pre-program code auto test "), this);
    m_AutoGBox->setAccessibleName(QStringLiteral("Pre-program code auto test"));
    m_AutoBtn = new QPushButton(QStringLiteral("Auto Test"), m_AutoGBox);
    m_AutoBtn->setAccessibleName(QStringLiteral("Auto Test"));
    m_cancelPBtn = new QPushButton(QStringLiteral("Cancel"), m_AutoGBox);
    m_cancelPBtn->setAccessibleName(QStringLiteral("Cancel auto test"));
    m_preCodeNoEdt = new QLineEdit(m_AutoGBox);
    m_preCodeNoEdt->setReadOnly(true);
    m_preCodeNoEdt->setAccessibleName(QStringLiteral("Pre-programmed code no"));
    m_AutoBtn->setEnabled(false);
    m_cancelPBtn->setEnabled(false);
    auto* autoGrid = new QGridLayout(m_AutoGBox);
    autoGrid->addWidget(m_AutoBtn, 0, 0);
    autoGrid->addWidget(m_cancelPBtn, 0, 1);
    autoGrid->addWidget(Caption(QStringLiteral("Pre-programmed code no:"), m_preCodeNoEdt, m_AutoGBox), 1, 0);
    autoGrid->addWidget(m_preCodeNoEdt, 1, 1);

    m_OkBtn = new QPushButton(QStringLiteral("OK"), this);
    m_OkBtn->setAccessibleName(QStringLiteral("OK"));
    m_OkBtn->setEnabled(false);
    m_OkBtn->setDefault(true);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    m_CancelBtn->setAccessibleName(QStringLiteral("Cancel"));

    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Caption(QStringLiteral("1. Please select device type:"), m_DevCBox, this));
    outer->addWidget(m_DevCBox);
    outer->addWidget(Caption(QStringLiteral("2. Please select brand name:"), m_BrandCBox, this));
    outer->addWidget(m_BrandCBox);
    outer->addWidget(Caption(QStringLiteral("3. Please select Pre-programmed code number:"), m_PreLBox, this));
    outer->addWidget(m_PreLBox);
    outer->addWidget(m_AutoGBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    outer->addLayout(buttons);

    connect(m_DevCBox, &QComboBox::activated, this, [this] { m_DevCBoxChange(); });
    connect(m_BrandCBox, &QComboBox::activated, this, [this] { m_BrandCBoxChange(); });
    connect(m_PreLBox, &QListWidget::itemClicked, this, [this] { m_PreLBoxClick(); });
    connect(m_AutoBtn, &QPushButton::clicked, this, [this] { m_AutoBtnClick(); });
    connect(m_cancelPBtn, &QPushButton::clicked, this, [this] { m_cancelPBtnClick(); });
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
}

bool TPreCodeFm::Load() {
    if (loaded_ != 0) return false;
    std::vector<BrandRecord> records;
    if (!LoadCodeTable((programFolder_ / "dev_model.dll").string(), records)) {
        ui_.Inform("File Not Found ! ---> dev_model.dll \n Please Check the file ! ", MsgIcon::Warning);
        chosen_ = kNoPreCode;
        return false;
    }
    loaded_ = 10;
    records_ = std::move(records);
    loaded_ = 20;
    m_DevCBox->clear();
    for (const std::string& type : DeviceTypesOf(records_)) m_DevCBox->addItem(QString::fromStdString(type));
    m_DevCBox->setCurrentIndex(-1);
    m_BrandCBox->clear();
    m_PreLBox->clear();
    m_preCodeNoEdt->clear();
    m_OkBtn->setEnabled(false);
    m_AutoBtn->setEnabled(false);
    m_cancelPBtn->setEnabled(false);
    SetChoosing(true);
    chosen_ = kNoPreCode;
    return true;
}

bool TPreCodeFm::PickCodeNumber(uint16_t& codeNumber) {
    chosen_ = kNoPreCode;
    if (!Load()) return false;
    exec();
    FreeRecords();
    if (chosen_ == kNoPreCode || chosen_ >= kPreCodeLimit) return false;
    codeNumber = uint16_t(chosen_);
    return true;
}

void TPreCodeFm::FreeRecords() {
    records_.clear();
    loaded_ = 0;
}

void TPreCodeFm::m_DevCBoxChange() {
    m_BrandCBox->clear();
    m_PreLBox->clear();
    m_AutoBtn->setEnabled(false);
    m_cancelPBtn->setEnabled(false);
    if (m_DevCBox->currentIndex() < 0) return;
    const std::string type = m_DevCBox->currentText().toStdString();
    for (const std::string& brand : BrandsOf(records_, type)) m_BrandCBox->addItem(QString::fromStdString(brand));
    m_BrandCBox->setCurrentIndex(-1);
}

void TPreCodeFm::m_BrandCBoxChange() {
    m_PreLBox->clear();
    if (m_DevCBox->currentIndex() < 0 || m_BrandCBox->currentIndex() < 0) return;
    const auto texts = CodeTextsOf(records_, m_DevCBox->currentText().toStdString(),
                                   m_BrandCBox->currentText().toStdString());
    for (const std::string& t : texts) m_PreLBox->addItem(QString::fromStdString(t));
    m_AutoBtn->setEnabled(true);
    m_cancelPBtn->setEnabled(true);
}

void TPreCodeFm::ShowCode(const QString& text) { m_preCodeNoEdt->setText(QStringLiteral("      ") + text); }

void TPreCodeFm::m_PreLBoxClick() {
    if (!m_PreLBox->currentItem()) return;
    ShowCode(m_PreLBox->currentItem()->text());
    m_OkBtn->setEnabled(true);
}

void TPreCodeFm::SetChoosing(bool enabled) {
    m_DevCBox->setEnabled(enabled);
    m_BrandCBox->setEnabled(enabled);
    m_PreLBox->setEnabled(enabled);
    m_AutoBtn->setEnabled(enabled && m_PreLBox->count() > 0);
}

void TPreCodeFm::m_AutoBtnClick() {
    if (running_) return;
    SetChoosing(false);
    running_ = true;
    std::vector<int> codes;
    for (int i = 0; i < m_PreLBox->count(); ++i) {
        bool ok = false;
        const int n = m_PreLBox->item(i)->text().toInt(&ok);
        if (ok) codes.push_back(n);
    }
    AutoTestOutcome outcome = AutoTestOutcome::NoCable;
    if (link_) {
        PreCodeAutoTest test(flash_, link_->Channel(), link_->Discovery(), link_->Blocks());
        AutoTestHooks hooks;
        hooks.showing = [this](int n) { ShowCode(QString::fromStdString(CodeText(uint16_t(n)))); };
        hooks.cancelled = [this] { return !running_; };
        outcome = test.Run(codes, hooks).outcome;
    }
    if (outcome == AutoTestOutcome::NoCable) {
        ui_.Inform("USB cable line not found !", MsgIcon::Error);
        running_ = false;
        SetChoosing(true);
        return;
    }
    m_OkBtn->setEnabled(true);
    running_ = false;
    SetChoosing(true);
}

void TPreCodeFm::m_cancelPBtnClick() { running_ = false; }

void TPreCodeFm::m_OkBtnClick() {
    running_ = false;
    chosen_ = ChosenPreCode(m_preCodeNoEdt->text().toStdString());
    accept();
}

void TPreCodeFm::m_CancelBtnClick() { reject(); }

void TPreCodeFm::reject() {
    // Escape and the window's close button come here too.
    running_ = false;
    chosen_ = kNoPreCode;
    QDialog::reject();
}

}  // namespace orvalink
