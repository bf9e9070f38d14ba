#include "app/AboutBox.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

#include "formats/SideFiles.h"

namespace orvalink {

namespace {

class UrlLinkLabel : public QLabel {
public:
    UrlLinkLabel(const QString& text, TAboutBox* box) : QLabel(text, box), box_(box) { setMouseTracking(true); }

protected:
    void mousePressEvent(QMouseEvent*) override { box_->m_URLLbeClick(); }
    void mouseMoveEvent(QMouseEvent*) override { box_->m_URLLbeMouseMove(); }

private:
    TAboutBox* box_;
};

QPixmap AboutPicture() {
    QPixmap pm(64, 96);
    pm.fill(Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(50, 50, 60));
    p.drawRoundedRect(12, 2, 40, 92, 10, 10);
    p.setBrush(QColor(170, 200, 150));
    p.drawRect(18, 10, 28, 40);
    p.setBrush(QColor(200, 200, 210));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p.drawEllipse(18 + 10 * c, 56 + 10 * r, 7, 7);
    return pm;
}

}  // namespace

TAboutBox::TAboutBox(const std::filesystem::path& programFolder, ShellOpener* shell, const std::string& webAddress,
                     QWidget* parent)
    : QDialog(parent), programFolder_(programFolder), shell_(shell), webAddress_(webAddress) {
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(this);
    auto* picture = new QLabel(this);
    picture->setPixmap(AboutPicture());
    grid->addWidget(picture, 0, 0, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral(" Orvalink"), this), 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Version:"), this), 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("0.9.0226"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Copyright (C) Tavero. All rights reserved."), this), 2, 1, 1, 2);
    m_URLLbe = new UrlLinkLabel(QString::fromStdString(webAddress_), this);
    m_URLLbe->setStyleSheet(QStringLiteral("color: blue"));
    grid->addWidget(m_URLLbe, 3, 1, 1, 2);
    CkBox = new QCheckBox(QStringLiteral("Show model select at start up. "), this);
    grid->addWidget(CkBox, 4, 0, 1, 3);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    grid->addWidget(ok, 5, 2);
    connect(ok, &QPushButton::clicked, this, [this] { m_OkBtnClick(); });

    ModelSettings stored;
    bool read = ReadModelSettings(programFolder_ / kModelInfoFile, stored);
    uint16_t family = read ? stored.familyCode : 0;
    m_URLLbe->setVisible(!(family == 110 || family == 210 || family == 2000));
    CkBox->setChecked(!(read && IsValidChoice(stored)));
    connect(CkBox, &QCheckBox::clicked, this, [this] { CkBoxClick(); });
}

void TAboutBox::CkBoxClick() {
    const auto path = programFolder_ / kModelInfoFile;
    ModelSettings stored;
    if (!ReadModelSettings(path, stored) || !IsStoredModelWord(stored.modelWord)) return;
    stored.startMode = CkBox->isChecked() ? kStartShowPicker : kStartSkipPicker;
    WriteModelSettings(path, stored);
}

void TAboutBox::m_URLLbeClick() {
    if (shell_) shell_->Open(webAddress_);
}

void TAboutBox::m_URLLbeMouseMove() {
    urlRed_ = !urlRed_;
    m_URLLbe->setStyleSheet(urlRed_ ? QStringLiteral("color: red") : QStringLiteral("color: blue"));
}

void TAboutBox::m_OkBtnClick() { accept(); }

}  // namespace orvalink
