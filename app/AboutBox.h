// The About box: the version, and whether the model picker shows at start-up.
#pragma once

#include <QDialog>

#include <filesystem>

#include "app/AppServices.h"

class QCheckBox;
class QLabel;

namespace orvalink {

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    TAboutBox(const std::filesystem::path& programFolder, ShellOpener* shell, const std::string& webAddress,
              QWidget* parent = nullptr);

    QCheckBox* CheckBox() const { return CkBox; }
    QLabel* UrlLabel() const { return m_URLLbe; }

    void CkBoxClick();
    void m_URLLbeClick();
    void m_URLLbeMouseMove();
    void m_OkBtnClick();

private:
    std::filesystem::path programFolder_;
    ShellOpener* shell_;
    std::string webAddress_;
    QCheckBox* CkBox = nullptr;
    QLabel* m_URLLbe = nullptr;
    bool urlRed_ = false;
};

}  // namespace orvalink
