// The pre-program code picker ("Please following these step to set
// pre-programmed code"): a device type, then a brand, then one of the brand's
// code numbers from the code table of dev_model.dll, with an Auto Test that
// sends each of the brand's codes through the remote.
#pragma once

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "editors/core/CodeNumberPicker.h"
#include "editors/core/PreCodeTable.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace orvalink {

class LinkEngine;
class TTiFlashFm;
class UiServices;

class TPreCodeFm : public QDialog, public CodeNumberPicker {
    Q_OBJECT
public:
    // The table is read from dev_model.dll in programFolder; Auto Test
    // sends the memory image's library codes over `link` (none: Auto Test
    // finds no cable).
    TPreCodeFm(std::filesystem::path programFolder, UiServices& ui, const TTiFlashFm& flash, LinkEngine* link,
               QWidget* parent = nullptr);

    // Reads the table and fills the device type box. False when the table
    // was already loaded or the library cannot be read (the warning is
    // shown then, and the dialog is not to be shown).
    bool Load();
    // Load, run modally, free the table: the chosen code or false.
    bool PickCodeNumber(uint16_t& codeNumber) override;

    // The choice of the last run: a code number below 4000 or kNoPreCode.
    int ChosenCode() const { return chosen_; }
    // 0 nothing read, 10 list created, 20 records read.
    int LoadedState() const { return loaded_; }
    bool AutoTestRunning() const { return running_; }

    // User events.
    void m_DevCBoxChange();
    void m_BrandCBoxChange();
    void m_PreLBoxClick();
    void m_AutoBtnClick();
    void m_cancelPBtnClick();
    void m_OkBtnClick();
    void m_CancelBtnClick();

    // Controls, for the tests.
    QComboBox* m_DevCBox = nullptr;
    QComboBox* m_BrandCBox = nullptr;
    QListWidget* m_PreLBox = nullptr;
    QGroupBox* m_AutoGBox = nullptr;
    QPushButton* m_AutoBtn = nullptr;
    QPushButton* m_cancelPBtn = nullptr;
    QLineEdit* m_preCodeNoEdt = nullptr;
    QPushButton* m_OkBtn = nullptr;
    QPushButton* m_CancelBtn = nullptr;

public Q_SLOTS:
    void reject() override;

private:
    void FreeRecords();
    void ShowCode(const QString& text);
    void SetChoosing(bool enabled);

    std::filesystem::path programFolder_;
    UiServices& ui_;
    const TTiFlashFm& flash_;
    LinkEngine* link_;
    std::vector<BrandRecord> records_;
    int loaded_ = 0;
    bool running_ = false;
    int chosen_ = kNoPreCode;
};

}  // namespace orvalink
