// The communication window's file-making page: the conversions between
// plain and security files, the upgrade files (X files, S binaries) made from
// loaded binaries, and the stamping of versions into a loaded flash file.
// The work is ServiceFileCommands'; the page holds the controls, passes on
// what the user typed and picked, and shows the boxes each command's outcome
// carries.
#pragma once

#include <QWidget>

#include <filesystem>
#include <memory>

#include "formats/ServiceFileCommands.h"
#include "formats/VFileCommands.h"
#include "platform/Random.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvalink {

class Clock;
class TTiFlashFm;
class UiServices;

class FilePages final : public QWidget {
    Q_OBJECT
public:
    FilePages(const std::filesystem::path& programFolder, UiServices& ui, const Clock& clock, TTiFlashFm& image,
              TFlashFm& older, QWidget* parent = nullptr);
    ~FilePages() override;

    ServiceFileCommands& Commands() { return *commands_; }
    QListWidget* FlashModelList() const { return m_FlashModelLBox; }
    QListWidget* McuModelList() const { return m_McuModelLBox; }
    QLineEdit* FlashVersionEdit() const { return m_FlashVerEdt; }
    QLineEdit* McuVersionEdit() const { return m_McuVerEdt; }
    QLineEdit* CodeVersionEdit() const { return m_CodeVerEdt; }
    QLineEdit* DataVersionEdit() const { return m_DataVerEdt; }
    QLineEdit* VcEdit() const { return m_VcEdt; }
    QLabel* SBinLabel() const { return m_SBinLbe; }

    // User events.
    void m_UnSecBtnClick() { Show(commands_->UnSecClick()); }
    void m_SetSMcfBtnClick() { Show(commands_->SetSMcfClick()); }
    void m_SetSModBtnClick() { Show(commands_->SetSModClick()); }
    void m_LoadBinBtnClick() { Show(commands_->LoadBinClick()); }
    void m_LoadMcfBtnClick();
    void m_MakeXmcfBtnClick();
    void m_MakeXmcuBtnClick();
    void m_FlashVerEdtDblClick();
    void m_McuVerEdtDblClick();
    void m_LoadSBinBtnClick();
    void m_MakeSBinBtnClick();
    void m_LoadSBin2BtnClick();
    void m_MakeSBin2BtnClick();
    void m_KdtBtnClick() { Show(commands_->KdtToTxtClick()); }
    void m_WriteBtnClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* Button(const QString& caption, QWidget* parent, void (FilePages::*click)());
    void ShowSBin();
    // The boxes of a command's outcome, in their order.
    void Show(const ServiceOutcome& outcome);

    UiServices& ui_;
    Pcg32Random random_;
    std::unique_ptr<VFileCommands> dialogs_;
    std::unique_ptr<ServiceFileCommands> commands_;

    QListWidget* m_FlashModelLBox = nullptr;
    QListWidget* m_McuModelLBox = nullptr;
    QLineEdit* m_FlashVerEdt = nullptr;
    QLineEdit* m_McuVerEdt = nullptr;
    QLineEdit* m_CodeVerEdt = nullptr;
    QLineEdit* m_DataVerEdt = nullptr;
    QLineEdit* m_VcEdt = nullptr;
    QLabel* m_SBinLbe = nullptr;
};

}  // namespace orvalink
