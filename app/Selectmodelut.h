// The model picker: which remote the user has, remembered between runs.
#pragma once

#include <QWidget>

#include <filesystem>

#include "app/Brand.h"
#include "formats/SideFiles.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTimer;

namespace orvalink {

class UiServices;

// What start-up learns from the picker.
struct StartupChoice {
    bool go = false;        // start-up may go on
    bool accepted = false;  // a model has been chosen or remembered
    uint16_t modelWord = 0;
    uint16_t familyCode = 0;
    uint16_t language = kDefaultLanguage;
};

class TSelectModelFm : public QWidget {
    Q_OBJECT
public:
    TSelectModelFm(const std::filesystem::path& programFolder, UiServices& ui, StartupChoice& choice,
                   QWidget* parent = nullptr);

    // Starts the 2000 ms timer after which a remembered choice is taken or
    // the picker is shown.
    void Start();

    QListWidget* ModelList() const { return m_ModelLBox; }
    QPushButton* OkButton() const { return m_OkBtn; }
    QCheckBox* ShowCheckBox() const { return m_ShowCkBox; }
    QTabWidget* Tabs() const { return tabs_; }
    uint16_t StartMode() const { return startMode_; }
    int BrandCode() const { return brandCode_; }
    bool Silent() const { return silent_; }

    void m_ModelLBoxClick();
    void m_OkBtnClick();
    void m_CancelBtnClick();
    void m_ShowCkBoxClick();

signals:
    void GoChanged();
    // The picker is about to come up for the user to choose.
    void Showing();

private:
    void TimerFired();
    void SetGo(bool accepted);

    std::filesystem::path programFolder_;
    UiServices& ui_;
    StartupChoice& choice_;
    Brand brand_;
    int brandCode_;
    uint16_t startMode_ = 0;
    int selectedEntry_ = 0;  // 1-based; 0 = none
    bool silent_ = false;
    QTabWidget* tabs_ = nullptr;
    QListWidget* m_ModelLBox = nullptr;
    QLabel* m_PictureImg = nullptr;
    QCheckBox* m_ShowCkBox = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;
    QPixmap pictures_[2];
    QTimer* timer_ = nullptr;
};

}  // namespace orvalink
