// The upgrade page of the communication window ("Upgrade  Flash Memory"):
// choose the model, choose where the upgrade data comes from (the Internet,
// a file, or a backup of the remote), then the upgrade button the model
// family calls for. The routines run through an UpgradeRunner; the fetch
// through an HttpClient; every box through UiServices.
#pragma once

#include <QWidget>

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/FileKinds.h"
#include "formats/VFileHeader.h"
#include "link/UpgradePageModel.h"
#include "link/UpgradeRunner.h"
#include "net/UpgradeFetch.h"
#include "platform/Random.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace orvalink {

class Clock;
class HttpClient;
class TTiFlashFm;
class UiServices;
class VFileCommands;

// The side file that remembers the "back up first" choice ("1" or "0").
inline constexpr const char* kBackupFirstFile = "upgrade_backup.dat";

class UpgradePage final : public QWidget, private UpgradeFetchView {
    Q_OBJECT
public:
    UpgradePage(const std::filesystem::path& programFolder, UiServices& ui, Clock& clock, TTiFlashFm& flash,
                HttpClient& http, UpgradeRunner& runner, QWidget* parent = nullptr);
    ~UpgradePage() override;

    // The gauge, as the link tells it.
    void SetGaugeMaximum(int maximum);
    void SetGauge(int position);

    // The model names (from type.ini).
    void SetModelNames(const std::vector<std::string>& names);

    // User events.
    void SelectModelCBoxChange();
    void DsGBoxClick();
    void GetDataBtnClick();
    void OpenVmcfBtnClick();
    void OpenVmcuBtnClick();
    void BackupBtnClick();
    void UpmfBtnClick();
    void UmcuBtnClick();
    void UflashBtnClick();
    void PreCancleBtnClick();
    void BackupFirstCBoxClick();

    // Loads an upgrade file chosen from the "From File" panel by its
    // extension: .vmcf and .vmcu here; .xmcf and .xmcu go to
    // LoadOtherUpgradeFile; any other is refused (false).
    bool LoadUpgradeFile(const std::string& path);

    UpgradePageState State() const { return state_; }
    uint16_t ModelCode() const { return modelCode_; }
    bool McuLoaded() const { return mcuLoaded_; }
    bool FlashLoaded() const { return flashLoaded_; }
    const std::vector<uint8_t>& OlderFlash() const { return *olderFlash_; }
    // The window's one older flash holder, shared with the file and test
    // pages (the page keeps a buffer of its own until it is given one).
    void UseOlderFlash(std::vector<uint8_t>& shared) { olderFlash_ = &shared; }

    // The controls, for the window and the tests.
    QComboBox* SelectModelCBox = nullptr;
    QGroupBox* ModelGBox = nullptr;
    QGroupBox* DsGBox = nullptr;
    QRadioButton* InetRBtn = nullptr;
    QRadioButton* FileRBtn = nullptr;
    QRadioButton* BackupRBtn = nullptr;
    QFrame* InetPal = nullptr;
    QFrame* FilePal = nullptr;
    QFrame* BackupPal = nullptr;
    QPushButton* GetDataBtn = nullptr;
    QLabel* DownloadLbe = nullptr;   // the byte counter
    QLabel* InetStatusLbe = nullptr;
    QPushButton* OpenVmcfBtn = nullptr;
    QPushButton* OpenVmcuBtn = nullptr;
    QLabel* FlashOnlyLbe = nullptr;  // "( Flash memory only )"
    QPushButton* BackupBtn = nullptr;
    QGroupBox* G3Box = nullptr;
    QLabel* McuNLbe = nullptr;
    QLabel* McuLbe = nullptr;
    QLabel* FlashNLbe = nullptr;
    QLabel* FlashLbe = nullptr;
    QLabel* mcuPal = nullptr;
    QLabel* flashPal = nullptr;
    QLabel* userDatPal = nullptr;
    QGroupBox* UpGBox = nullptr;
    QRadioButton* UpAllRBtn = nullptr;
    QRadioButton* UpCodeRBtn = nullptr;
    QCheckBox* BackupFirstCBox = nullptr;
    QPushButton* UpmfBtn = nullptr;
    QPushButton* UmcuBtn = nullptr;
    QPushButton* UflashBtn = nullptr;
    QPushButton* Up256kCancleBtn = nullptr;
    QProgressBar* CGue2 = nullptr;

private:
    void BuildControls();
    void SetPageState(UpgradePageState state);
    void ShowView(const UpgradePageView& view);
    UpgradeSource ChosenSource() const;
    void SetSourceState();
    void SetReadyState();
    void Colour(QLabel* panel, bool blue);
    int UpgradeKind() const;
    std::string SelectedName() const;
    // The backup; true only when the file was saved.
    bool RunBackup();
    // The loaded files as the page keeps them; false (nothing kept) for a
    // program the MCU buffer does not take.
    // The labels show `modelName` and the version; the flash image goes
    // where `modelCode`'s family puts it (TakeUpgradeFlash).
    bool TakeMcu(std::span<const uint8_t> payload, uint16_t versionWord, const std::string& modelName);
    bool TakeFlash(std::span<const uint8_t> payload, uint16_t modelCode, uint16_t versionWord,
                   const std::string& modelName);
    // The ".xmcu" and ".xmcf" loader; false for a file it cannot load and
    // for every other extension.
    bool LoadOtherUpgradeFile(const std::string& path);
    bool OpenVFileInto(FileKind kind, const std::string& path);

    // UpgradeFetchView
    void FetchStatus(const std::string& text) override;
    void BytesReceived(uint64_t total) override;
    void CommandFailed(const std::string& text, const std::string& why) override;
    bool Cancelled() override { return fetchCancelled_; }
    void TakeMcuFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                     const VFileHeader& header) override;
    bool TakeFlashFile(const std::filesystem::path& path, std::vector<uint8_t> payload,
                       const VFileHeader& header) override;

    std::filesystem::path programFolder_;
    UiServices& ui_;
    Clock& clock_;
    TTiFlashFm& flash_;
    HttpClient& http_;
    UpgradeRunner& runner_;
    Pcg32Random random_;
    std::unique_ptr<VFileCommands> files_;

    UpgradePageState state_ = UpgradePageState::Start;
    uint16_t modelCode_ = 0;
    bool mcuLoaded_ = false;
    bool flashLoaded_ = false;
    // "Get data" is running; CANCEL ends it.
    bool fetching_ = false;
    bool fetchCancelled_ = false;
    // The flash file of an older remote (262144 bytes).
    std::vector<uint8_t> ownOlderFlash_;
    std::vector<uint8_t>* olderFlash_ = &ownOlderFlash_;
};

}  // namespace orvalink
