#include "editors/Configut.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFormLayout>
#include <QGridLayout>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include "image/Tiflashut.h"
#include "image/WelcomePicture.h"
#include "image/qt/KeyDrawing.h"
#include "platform/UiServices.h"

namespace orvalink {

namespace {

constexpr int kPreviewZoom = 2;
constexpr int kDefaultThreshold = 128;
const char kServicePhrase[] = "show extras";
const char* const kBuzzerItems[] = {"Off", "Small", "Medium", "Large"};
const char* const kMotionItems[] = {"Off", "Slow", "Medium", "Fast"};
constexpr int kContrastMinimum = 14;

QString ButtonTextColour(QPushButton* b, const char* colour) {
    const QString style = QStringLiteral("color: %1;").arg(QString::fromLatin1(colour));
    b->setStyleSheet(style);
    return style;
}

}  // namespace

std::string SliderHintText(int setting, int value) {
    if (value == 0) return "Off";
    switch (setting) {
        case kSettingLcdOff:
        case kSettingLightPeriod: return std::to_string(value) + " /sec";
        default: return std::to_string(value);
    }
}

QImage ReducedPicture(const QImage& source, int threshold) {
    QImage out(kLcdWidth, kLcdHeight, QImage::Format_RGB32);
    out.fill(Qt::white);
    if (source.isNull()) return out;
    QImage fitted = source.size() == out.size()
                        ? source
                        : source.scaled(out.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    {
        // Transparent parts count as white paper.
        QPainter p(&out);
        p.drawImage((kLcdWidth - fitted.width()) / 2, (kLcdHeight - fitted.height()) / 2, fitted);
    }
    PictureBytes bytes;
    if (!ReduceWelcomePicture(FromQImage(out), threshold, bytes)) return out;
    return ToQImage(DrawPicture(bytes));
}

TConfigFm::TConfigFm(TTiFlashFm& flash, UiServices& ui, std::function<void()> showExtras, QWidget* parent)
    : QDialog(parent), flash_(flash), ui_(ui), showExtras_(std::move(showExtras)) {
    setObjectName(QStringLiteral("TConfigFm"));
    setWindowTitle(QStringLiteral("Remote Config"));
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    m_PageCtl = new QTabWidget(this);
    m_PageCtl->setObjectName(QStringLiteral("m_PageCtl"));
    m_PageCtl->setAccessibleName(QStringLiteral("Settings pages"));
    outer->addWidget(m_PageCtl);

    // ---- The settings.
    systemPage_ = new QWidget(m_PageCtl);
    systemPage_->setObjectName(QStringLiteral("m_SystemSht"));
    auto* form = new QGridLayout(systemPage_);
    m_PageCtl->addTab(systemPage_, QStringLiteral("System"));

    auto addCombo = [&](const char* name, const char* caption, const char* const* items, int row) {
        auto* box = new QComboBox(systemPage_);
        box->setObjectName(QString::fromLatin1(name));
        box->setAccessibleName(QString::fromLatin1(caption).remove(QLatin1Char(':')));
        for (int i = 0; i < 4; ++i) box->addItem(QString::fromLatin1(items[i]));
        auto* label = new QLabel(QString::fromLatin1(caption), systemPage_);
        label->setBuddy(box);
        form->addWidget(label, row, 0);
        form->addWidget(box, row, 1);
        connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { m_OkBtn->setEnabled(true); });
        return box;
    };
    m_BuzzerCBox = addCombo("m_BuzzerCBox", "Buzzer:", kBuzzerItems, 0);
    m_ContrastTkBar = AddSlider(kSettingContrast, "m_ContrastTkBar", kContrastMinimum, 42, 4);
    m_LCDTkBar = AddSlider(kSettingLcdOff, "m_LCDTkBar", 0, 600, 20);
    m_LitTkBar = AddSlider(kSettingLightSensitivity, "m_LitTkBar", 0, 100, 5);
    m_LightTkBar = AddSlider(kSettingLightPeriod, "m_LightTkBar", 0, 60, 5);
    const std::pair<QSlider*, const char*> sliders[] = {{m_ContrastTkBar, "Contrast:"},
                                                        {m_LCDTkBar, "LCD off:"},
                                                        {m_LitTkBar, "Lit Sensitivity:"},
                                                        {m_LightTkBar, "Light Period:"}};
    int row = 1;
    for (const auto& [slider, caption] : sliders) {
        auto* label = new QLabel(QString::fromLatin1(caption), systemPage_);
        label->setBuddy(slider);
        slider->setAccessibleName(QString::fromLatin1(caption).remove(QLatin1Char(':')));
        form->addWidget(label, row, 0);
        form->addWidget(slider, row, 1);
        for (int s = 0; s < kSettingCount; ++s)
            if (hintLabels_[s] && slider->property("setting").toInt() == s) form->addWidget(hintLabels_[s], row, 2);
        ++row;
    }
    m_MotionCBox = addCombo("m_MotionCBox", "Motion:", kMotionItems, row++);
    m_WelcomeCkBox = new QCheckBox(QStringLiteral("Welcome page"), systemPage_);
    m_WelcomeCkBox->setObjectName(QStringLiteral("m_WelcomeCkBox"));
    m_WelcomeCkBox->setAccessibleName(QStringLiteral("Welcome page"));
    connect(m_WelcomeCkBox, &QCheckBox::toggled, this, [this] { m_OkBtn->setEnabled(true); });
    form->addWidget(m_WelcomeCkBox, row++, 1);

    // The date and time of the remote: kept hidden, it takes no part.
    m_DateTimePal = new QWidget(systemPage_);
    m_DateTimePal->setObjectName(QStringLiteral("m_DateTimePal"));
    auto* dateForm = new QFormLayout(m_DateTimePal);
    dateForm->addRow(QStringLiteral("System Date:"), new QDateEdit(m_DateTimePal));
    dateForm->addRow(QStringLiteral("System Time:"), new QTimeEdit(m_DateTimePal));
    m_DateTimePal->hide();
    form->addWidget(m_DateTimePal, row++, 0, 1, 3);

    // ---- The welcome picture and the service phrase.
    auto* other = new QWidget(m_PageCtl);
    other->setObjectName(QStringLiteral("m_OtherSht"));
    auto* grid = new QGridLayout(other);
    m_PageCtl->addTab(other, QStringLiteral("Other"));
    auto* caption = new QLabel(QStringLiteral("104 x 160  B.W. picture"), other);
    m_wImg = new QLabel(other);
    m_wImg->setObjectName(QStringLiteral("m_wImg"));
    m_wImg->setAccessibleName(QStringLiteral("Welcome picture"));
    m_wImg->setFixedSize(kLcdWidth * kPreviewZoom + 2, kLcdHeight * kPreviewZoom + 2);
    m_wImg->setFrameShape(QFrame::Box);
    m_LoadPicBtn = new QPushButton(QStringLiteral("Load picture"), other);
    m_LoadPicBtn->setObjectName(QStringLiteral("m_LoadPicBtn"));
    m_LoadPicBtn->setAccessibleName(QStringLiteral("Load picture"));
    m_ThresholdTkBar = new QSlider(Qt::Horizontal, other);
    m_ThresholdTkBar->setObjectName(QStringLiteral("m_ThresholdTkBar"));
    m_ThresholdTkBar->setAccessibleName(QStringLiteral("Black below"));
    m_ThresholdTkBar->setRange(1, 255);
    m_ThresholdTkBar->setValue(kDefaultThreshold);
    m_ThresholdTkBar->setToolTip(QString::number(kDefaultThreshold));
    auto* thresholdLabel = new QLabel(QStringLiteral("Black below:"), other);
    thresholdLabel->setBuddy(m_ThresholdTkBar);
    m_SavePicBtn = new QPushButton(QStringLiteral("Save picture for system"), other);
    m_SavePicBtn->setObjectName(QStringLiteral("m_SavePicBtn"));
    m_SavePicBtn->setAccessibleName(QStringLiteral("Save picture for system"));
    m_SaveRealPicBtn = new QPushButton(QStringLiteral("Save picture for real system "), other);
    m_SaveRealPicBtn->setObjectName(QStringLiteral("m_SaveRealPicBtn"));
    m_SaveRealPicBtn->setAccessibleName(QStringLiteral("Save picture for real system"));
    m_SaveRealPicBtn->hide();
    m_ckEdt = new QLineEdit(other);
    m_ckEdt->setObjectName(QStringLiteral("m_ckEdt"));
    m_ckEdt->setAccessibleName(QStringLiteral("Service code"));
    m_ckEdt->setEchoMode(QLineEdit::Password);
    m_ckEdt->setFrame(false);
    m_ckEdt->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    m_ckEdt->installEventFilter(this);
    grid->addWidget(caption, 0, 0, 1, 2);
    grid->addWidget(m_wImg, 1, 0, 6, 1);
    grid->addWidget(m_LoadPicBtn, 1, 1);
    grid->addWidget(thresholdLabel, 2, 1);
    grid->addWidget(m_ThresholdTkBar, 3, 1);
    grid->addWidget(m_SavePicBtn, 4, 1);
    grid->addWidget(m_SaveRealPicBtn, 5, 1);
    grid->addWidget(m_ckEdt, 7, 0, 1, 2);
    connect(m_LoadPicBtn, &QPushButton::clicked, this, [this] { m_LoadPicBtnClick(); });
    connect(m_SavePicBtn, &QPushButton::clicked, this, [this] { m_SavePicBtnClick(); });
    connect(m_SaveRealPicBtn, &QPushButton::clicked, this, [this] { m_SaveRealPicBtnClick(); });
    connect(m_ThresholdTkBar, &QSlider::valueChanged, this, [this](int v) {
        m_ThresholdTkBar->setToolTip(QString::number(v));
        ReducePicture();
    });

    // ---- OK and Cancel.
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    m_OkBtn = new QPushButton(QStringLiteral("OK"), this);
    m_OkBtn->setObjectName(QStringLiteral("m_OkBtn"));
    m_OkBtn->setAccessibleName(QStringLiteral("OK"));
    m_OkBtn->setEnabled(false);
    m_OkBtn->setDefault(true);
    m_CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    m_CancelBtn->setObjectName(QStringLiteral("m_CancelBtn"));
    m_CancelBtn->setAccessibleName(QStringLiteral("Cancel"));
    buttons->addWidget(m_OkBtn);
    buttons->addWidget(m_CancelBtn);
    outer->addLayout(buttons);
    connect(m_OkBtn, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });
    connect(m_CancelBtn, &QPushButton::clicked, this, [this] { m_CancelBtnClick(); });

    preview_ = QImage(kLcdWidth, kLcdHeight, QImage::Format_RGB32);
    preview_.fill(Qt::white);
    ShowPreview();
}

QSlider* TConfigFm::AddSlider(int setting, const char* name, int minimum, int maximum, int tick) {
    auto* slider = new QSlider(Qt::Horizontal, systemPage_);
    slider->setObjectName(QString::fromLatin1(name));
    slider->setRange(minimum, maximum);
    slider->setTickInterval(tick);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setPageStep(tick);
    slider->setProperty("setting", setting);
    hintLabels_[setting] = new QLabel(systemPage_);
    hintLabels_[setting]->setMinimumWidth(60);
    connect(slider, &QSlider::valueChanged, this, [this, setting, slider] {
        SliderChanged(setting, slider);
        m_OkBtn->setEnabled(true);
    });
    return slider;
}

void TConfigFm::SliderChanged(int setting, QSlider* slider) {
    const QString hint = QString::fromStdString(SliderHintText(setting, slider->value()));
    slider->setToolTip(hint);
    hintLabels_[setting]->setText(hint);
}

void TConfigFm::Load(const RemoteSettings& values) {
    const QSignalBlocker blocks[] = {QSignalBlocker(m_BuzzerCBox), QSignalBlocker(m_MotionCBox),
                                     QSignalBlocker(m_ContrastTkBar), QSignalBlocker(m_LCDTkBar),
                                     QSignalBlocker(m_LitTkBar), QSignalBlocker(m_LightTkBar),
                                     QSignalBlocker(m_WelcomeCkBox)};
    m_BuzzerCBox->setCurrentIndex(values[kSettingBuzzer]);
    m_ContrastTkBar->setValue(values[kSettingContrast]);
    m_LCDTkBar->setValue(values[kSettingLcdOff]);
    m_LitTkBar->setValue(values[kSettingLightSensitivity]);
    m_LightTkBar->setValue(values[kSettingLightPeriod]);
    m_MotionCBox->setCurrentIndex(values[kSettingMotion]);
    m_WelcomeCkBox->setChecked(values[kSettingWelcomePage] != 0);
    SliderChanged(kSettingContrast, m_ContrastTkBar);
    SliderChanged(kSettingLcdOff, m_LCDTkBar);
    SliderChanged(kSettingLightSensitivity, m_LitTkBar);
    SliderChanged(kSettingLightPeriod, m_LightTkBar);
    PictureBytes stored;
    if (ReadPicture(flash_, kWelcomeSystem, stored)) preview_ = ToQImage(DrawPicture(stored));
    source_ = QImage();
    ShowPreview();
}

RemoteSettings TConfigFm::Collect() const {
    RemoteSettings v{};
    v[kSettingBuzzer] = m_BuzzerCBox->currentIndex();
    v[kSettingContrast] = m_ContrastTkBar->value();
    v[kSettingLcdOff] = m_LCDTkBar->value();
    v[kSettingLightSensitivity] = m_LitTkBar->value();
    v[kSettingLightPeriod] = m_LightTkBar->value();
    v[kSettingMotion] = m_MotionCBox->currentIndex();
    v[kSettingWelcomePage] = m_WelcomeCkBox->isChecked() ? 1 : 0;
    return v;
}

void TConfigFm::m_OkBtnClick() {
    if (!WriteSettings(flash_, Collect())) {
        ui_.Inform("\n These settings are out of range and have not been written ! ", MsgIcon::Error);
        return;
    }
    settingsWritten_ = true;
    accept();
}

void TConfigFm::m_CancelBtnClick() { reject(); }

void TConfigFm::ShowPreview() {
    QImage zoomed;
    Zoom(preview_, kPreviewZoom, zoomed);
    m_wImg->setPixmap(QPixmap::fromImage(zoomed));
}

void TConfigFm::ReducePicture() {
    if (source_.isNull()) return;
    preview_ = ReducedPicture(source_, m_ThresholdTkBar->value());
    ShowPreview();
}

bool TConfigFm::LoadPictureFile(const std::string& path) {
    QImageReader reader(QString::fromStdString(path));
    reader.setAutoTransform(true);
    QImage picture = reader.read();
    if (picture.isNull()) {
        ui_.Inform("\n This picture cannot be loaded : \"" + path + "\" \n " + reader.errorString().toStdString(),
                   MsgIcon::Error);
        return false;
    }
    source_ = picture;
    ReducePicture();
    // Both saves are waiting for the new picture.
    ButtonTextColour(m_SavePicBtn, "red");
    ButtonTextColour(m_SaveRealPicBtn, "red");
    return true;
}

void TConfigFm::m_LoadPicBtnClick() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    FileDialogRequest request;
    request.mode = FileDialogRequest::Mode::Open;
    request.filter = "Pictures (" + patterns.join(QLatin1Char(';')).toStdString() + ")|" +
                     patterns.join(QLatin1Char(';')).toStdString() + "|All Files (*.*)|*.*";
    request.mustExist = true;
    const std::optional<std::string> path = ui_.ChooseFile(request);
    if (path) LoadPictureFile(*path);
}

bool TConfigFm::SavePicture(int which, QPushButton* button) {
    Bitmap bitmap = FromQImage(preview_);
    PictureBytes bytes;
    if (!PictureFromBitmap(bitmap, bytes) || !WritePicture(flash_, which, bytes)) {
        ui_.Inform("Save Customs picture Error!", MsgIcon::Error);
        return false;
    }
    pictureWritten_ = true;
    ui_.Inform("Save Customs picture Ok!", MsgIcon::Information);
    ButtonTextColour(button, "blue");
    m_OkBtn->setEnabled(true);
    return true;
}

void TConfigFm::m_SavePicBtnClick() { SavePicture(kWelcomeSystem, m_SavePicBtn); }
void TConfigFm::m_SaveRealPicBtnClick() { SavePicture(kWelcomeReal, m_SaveRealPicBtn); }

bool TConfigFm::eventFilter(QObject* watched, QEvent* event) {
    // The phrase counts as typed on the key press that follows it: the text
    // so far, without the key being pressed.
    if (watched == m_ckEdt && event->type() == QEvent::KeyPress && m_ckEdt->text() == QLatin1String(kServicePhrase)) {
        if (showExtras_) showExtras_();
        m_SaveRealPicBtn->show();
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace orvalink
