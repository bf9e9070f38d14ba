#include "app/Selectmodelut.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Logout.h"
#include "platform/UiServices.h"

namespace orvalink {

TSelectModelFm::TSelectModelFm(const std::filesystem::path& programFolder, UiServices& ui, StartupChoice& choice,
                               QWidget* parent)
    : QWidget(parent), programFolder_(programFolder), ui_(ui), choice_(choice),
      brand_(DetectBrand(programFolder)), brandCode_(TextsOf(brand_).pickerBrandCode) {
    setWindowTitle(QStringLiteral("Model Select"));
    auto* layout = new QHBoxLayout(this);
    tabs_ = new QTabWidget(this);
    auto* page = new QWidget(tabs_);
    auto* pageLayout = new QVBoxLayout(page);
    m_ModelLBox = new QListWidget(page);
    m_ModelLBox->setToolTip(QStringLiteral("Please select model type !"));
    m_ModelLBox->setAccessibleName(QStringLiteral("Models"));
    m_ModelLBox->addItem(QString::fromUtf8(TextsOf(brand_).pickerEntry));
    pageLayout->addWidget(m_ModelLBox);
    tabs_->addTab(page, QString::fromUtf8(TextsOf(brand_).pickerTab));
    layout->addWidget(tabs_);

    auto* right = new QVBoxLayout;
    m_PictureImg = new QLabel(this);
    m_PictureImg->setFixedSize(190, 250);
    m_PictureImg->setFrameShape(QFrame::Panel);
    m_PictureImg->setAccessibleName(QStringLiteral("Model picture"));
    right->addWidget(m_PictureImg);
    m_ShowCkBox = new QCheckBox(QStringLiteral("Show this at start up."), this);
    m_ShowCkBox->setChecked(true);
    right->addWidget(m_ShowCkBox);
    auto* buttons = new QHBoxLayout;
    m_OkBtn = new QPushButton(QStringLiteral("OK"), this);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    m_OkBtn->setEnabled(false);
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    right->addLayout(buttons);
    layout->addLayout(right);

    connect(m_ModelLBox, &QListWidget::itemClicked, this, [this] { m_ModelLBoxClick(); });
    // Choosing by keyboard selects too.
    connect(m_ModelLBox, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) m_ModelLBoxClick();
    });
    connect(m_ModelLBox, &QListWidget::itemDoubleClicked, this, [this] { m_OkBtnClick(); });
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });
    connect(m_ShowCkBox, &QCheckBox::clicked, this, [this] { m_ShowCkBoxClick(); });

    ModelSettings stored;
    const bool read = ReadRememberedChoice(programFolder_, stored);
    choice_.language = read ? stored.language : kDefaultLanguage;
    if (read && IsValidChoice(stored)) {
        startMode_ = kStartSkipPicker;
        silent_ = true;
        choice_.modelWord = stored.modelWord;
        choice_.familyCode = stored.familyCode;
        m_ShowCkBox->setChecked(false);
    } else {
        startMode_ = kStartShowPicker;
        if (!LoadModelPicture(programFolder_, 2000, pictures_[0]) ||
            !LoadModelPicture(programFolder_, 2001, pictures_[1])) {
            ui_.Inform(kModelDllMissing, MsgIcon::Warning);
        } else {
            m_PictureImg->setPixmap(pictures_[0]);
        }
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this] {
        m_PictureImg->setPixmap(pictures_[brandCode_ == 12000 ? 1 : 0]);
    });

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { TimerFired(); });
}

void TSelectModelFm::Start() { timer_->start(2000); }

void TSelectModelFm::TimerFired() {
    if (startMode_ == kStartSkipPicker) {
        SetGo(true);
        return;
    }
    emit Showing();
    show();
    raise();
    activateWindow();
}

void TSelectModelFm::SetGo(bool accepted) {
    choice_.accepted = choice_.accepted || accepted;
    choice_.go = true;
    emit GoChanged();
}

void TSelectModelFm::m_ModelLBoxClick() {
    int row = m_ModelLBox->currentRow();
    if (row < 0) return;
    if ((brandCode_ == 11000 || brandCode_ == 12000) && row == 0 && tabs_->currentIndex() == 0) {
        choice_.modelWord = kMainModelWord;
        choice_.familyCode = kMainFamilyCode;
        m_PictureImg->setPixmap(pictures_[0]);
    }
    selectedEntry_ = row + 1;
    m_OkBtn->setEnabled(true);
    m_ModelLBox->setToolTip(QString());
}

void TSelectModelFm::m_OkBtnClick() {
    if (selectedEntry_ == 0) {
        show();
        return;
    }
    ModelSettings record{startMode_, choice_.modelWord, choice_.familyCode, choice_.language};
    WriteModelSettings(programFolder_ / kModelInfoFile, record);
    hide();
    SetGo(true);
}

void TSelectModelFm::m_CancelBtnClick() {
    hide();
    SetGo(false);
}

void TSelectModelFm::m_ShowCkBoxClick() {
    startMode_ = m_ShowCkBox->isChecked() ? kStartShowPicker : kStartSkipPicker;
}

}  // namespace orvalink
