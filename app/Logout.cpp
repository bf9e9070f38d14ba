#include "app/Logout.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/ResourceLibrary.h"
#include "platform/UiServices.h"

namespace orvalink {

const char kModelDllMissing[] = "File Not Found ! ---> model.dll \n Please Check the file ! ";

bool LoadModelPicture(const std::filesystem::path& programFolder, int number, QPixmap& picture) {
    ResourceLibrary library;
    if (!library.Open((programFolder / "model.dll").string())) return false;
    std::vector<uint8_t> bytes;
    if (!library.ReadRcData(uint16_t(number), bytes)) return false;
    QPixmap pm;
    if (!pm.loadFromData(bytes.data(), uint(bytes.size()), "JPEG")) return false;
    picture = pm;
    return true;
}

TLogoFm::TLogoFm(const std::filesystem::path& programFolder, UiServices& ui, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::SplashScreen), brand_(DetectBrand(programFolder)) {
    setObjectName(QStringLiteral("TLogoFm"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    picture_ = new QLabel(this);
    layout->addWidget(picture_);

    QPixmap pm;
    if (!LoadModelPicture(programFolder, TextsOf(brand_).splashResource, pm)) {
        ui.Inform(kModelDllMissing, MsgIcon::Warning);
        return;
    }
    pictureLoaded_ = true;
    picture_->setPixmap(pm);
    resize(pm.size());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { reacting_ = false; });
    timer_->start(3000);
}

void TLogoFm::mousePressEvent(QMouseEvent* event) {
    if (!reacting_) return;
    if (event->button() == Qt::LeftButton) {
        dragging_ = true;
        moved_ = false;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    emit GoRequested();
}

void TLogoFm::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) return;
    moved_ = true;
    move(event->globalPosition().toPoint() - dragOffset_);
}

void TLogoFm::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    if (!moved_ && reacting_) emit GoRequested();
}

}  // namespace orvalink
