// The remote settings dialog ("Remote Config"): the seven settings of the
// memory image's settings block, and the custom welcome picture. Settings are
// written on OK only; the picture is written at once by its own buttons.
#pragma once

#include <QDialog>
#include <QImage>

#include <functional>
#include <string>

#include "image/LcdBitmaps.h"
#include "image/Settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QTabWidget;

namespace orvalink {

class TTiFlashFm;
class UiServices;

// The hint a settings slider shows for a value: contrast and lit sensitivity
// the number, LCD off and light period the number followed by " /sec"; "Off"
// at 0 for all of them.
std::string SliderHintText(int setting, int value);

// A picture reduced to the welcome picture's 104 x 160 black and white:
// scaled to fit (keeping its proportions, centred on white), transparent
// parts taken as white, then reduced by ReduceWelcomePicture (every pixel
// whose grey level is below `threshold`, 1..255, black, every other one
// white). A picture of exactly 104 x 160 is not scaled.
QImage ReducedPicture(const QImage& source, int threshold);

class TConfigFm : public QDialog {
    Q_OBJECT
public:
    // `showExtras` reveals the main window's service buttons.
    TConfigFm(TTiFlashFm& flash, UiServices& ui, std::function<void()> showExtras, QWidget* parent = nullptr);

    // Sets the controls from the record and shows the system welcome picture.
    void Load(const RemoteSettings& values);
    // The record as the controls hold it.
    RemoteSettings Collect() const;

    // Whether the settings were written (OK) or a picture was saved: the
    // document is then modified.
    bool SettingsWritten() const { return settingsWritten_; }
    bool PictureWritten() const { return pictureWritten_; }
    bool ImageChanged() const { return settingsWritten_ || pictureWritten_; }

    // User events.
    void m_OkBtnClick();
    void m_CancelBtnClick();
    void m_LoadPicBtnClick();
    void m_SavePicBtnClick();
    void m_SaveRealPicBtnClick();
    // Loads a picture file into the preview; false (with a message) when it
    // cannot be read.
    bool LoadPictureFile(const std::string& path);

    // The parts, for the tests.
    QComboBox* BuzzerBox() const { return m_BuzzerCBox; }
    QComboBox* MotionBox() const { return m_MotionCBox; }
    QSlider* ContrastBar() const { return m_ContrastTkBar; }
    QSlider* LcdOffBar() const { return m_LCDTkBar; }
    QSlider* LitBar() const { return m_LitTkBar; }
    QSlider* LightBar() const { return m_LightTkBar; }
    QSlider* ThresholdBar() const { return m_ThresholdTkBar; }
    QCheckBox* WelcomeBox() const { return m_WelcomeCkBox; }
    QPushButton* OkButton() const { return m_OkBtn; }
    QPushButton* SavePictureButton() const { return m_SavePicBtn; }
    QPushButton* SaveRealPictureButton() const { return m_SaveRealPicBtn; }
    QLineEdit* PhraseBox() const { return m_ckEdt; }
    QWidget* DateTimePanel() const { return m_DateTimePal; }
    QTabWidget* Pages() const { return m_PageCtl; }
    // The preview at the remote's size (104 x 160, black and white).
    const QImage& Preview() const { return preview_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSlider* AddSlider(int setting, const char* name, int minimum, int maximum, int tick);
    void ShowPreview();
    void ReducePicture();
    void SliderChanged(int setting, QSlider* slider);
    bool SavePicture(int which, QPushButton* button);

    TTiFlashFm& flash_;
    UiServices& ui_;
    std::function<void()> showExtras_;
    QImage source_;   // the loaded picture as read
    QImage preview_;  // 104 x 160, black and white
    bool settingsWritten_ = false;
    bool pictureWritten_ = false;

    QTabWidget* m_PageCtl = nullptr;
    QComboBox* m_BuzzerCBox = nullptr;
    QComboBox* m_MotionCBox = nullptr;
    QSlider* m_ContrastTkBar = nullptr;
    QSlider* m_LCDTkBar = nullptr;
    QSlider* m_LitTkBar = nullptr;
    QSlider* m_LightTkBar = nullptr;
    QCheckBox* m_WelcomeCkBox = nullptr;
    QWidget* m_DateTimePal = nullptr;
    QLabel* m_wImg = nullptr;
    QSlider* m_ThresholdTkBar = nullptr;
    QPushButton* m_LoadPicBtn = nullptr;
    QPushButton* m_SavePicBtn = nullptr;
    QPushButton* m_SaveRealPicBtn = nullptr;
    QLineEdit* m_ckEdt = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QLabel* hintLabels_[kSettingCount] = {};
    QWidget* systemPage_ = nullptr;
};

}  // namespace orvalink
