// The splash window: the brand's picture from model.dll, the version, and a
// click that lets start-up go on.
#pragma once

#include <QWidget>

#include <filesystem>

#include "app/Brand.h"

class QLabel;
class QTimer;

namespace orvalink {

class UiServices;

// Reads a JPEG picture from model.dll in the program folder; false when the
// library or the picture cannot be read.
bool LoadModelPicture(const std::filesystem::path& programFolder, int number, QPixmap& picture);
extern const char kModelDllMissing[];

class TLogoFm : public QWidget {
    Q_OBJECT
public:
    TLogoFm(const std::filesystem::path& programFolder, UiServices& ui, QWidget* parent = nullptr);

    Brand BrandOf() const { return brand_; }
    bool PictureLoaded() const { return pictureLoaded_; }
    bool Reacting() const { return reacting_; }

signals:
    // A click (or any button press but a left-button drag) on the splash.
    void GoRequested();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Brand brand_;
    bool pictureLoaded_ = false;
    bool reacting_ = true;
    bool dragging_ = false;
    bool moved_ = false;
    QPoint dragOffset_;
    QLabel* picture_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace orvalink
