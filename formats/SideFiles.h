// Small files in the program folder: the remembered model choice
// (modelinfo.dat, t5minfo.dat), the model list of the upgrade page
// (type.ini) and the communication window's presence marker (Signal.dat).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvalink {

inline constexpr uint16_t kStartShowPicker = 100;
inline constexpr uint16_t kStartSkipPicker = 200;
inline constexpr uint16_t kDefaultLanguage = 1033;
inline constexpr uint16_t kMainModelWord = 5100;
inline constexpr uint16_t kMainFamilyCode = 2000;

inline constexpr char kModelInfoFile[] = "modelinfo.dat";
inline constexpr char kT5mInfoFile[] = "t5minfo.dat";
inline constexpr char kTypeIniFile[] = "type.ini";
inline constexpr char kSignalFile[] = "Signal.dat";

// Four 16-bit little-endian values, 8 bytes.
struct ModelSettings {
    uint16_t startMode = 0;
    uint16_t modelWord = 0;
    uint16_t familyCode = 0;
    uint16_t language = 0;
    bool operator==(const ModelSettings&) const = default;
};

// Reads a model settings file of 1 to 8 bytes (missing values are 0);
// fails on any error, an empty file or one longer than 8 bytes.
bool ReadModelSettings(const std::filesystem::path& path, ModelSettings& settings);
// Writes the 8 bytes (beside the file, then renamed over it).
bool WriteModelSettings(const std::filesystem::path& path, const ModelSettings& settings);

// Whether the model word is one a remembered choice may carry: 100..2000,
// or the main model's 5100, which the picker itself writes.
bool IsStoredModelWord(uint16_t modelWord);
// A remembered choice that skips the picker: start mode 200 and a model
// word as above.
bool IsValidChoice(const ModelSettings& settings);

// The picker's remembered choice: the file it writes (modelinfo.dat) when
// it can be read, else t5minfo.dat. False when neither can be read.
bool ReadRememberedChoice(const std::filesystem::path& programFolder, ModelSettings& settings);

// The display names of type.ini, one per line, blanks and empty lines dropped.
bool ReadTypeIni(const std::filesystem::path& path, std::vector<std::string>& names);

// verify.dat: the main window's "Verify after upload" choice, one byte, 1 on
// and 0 off. On unless the file says off: a missing, unreadable or strange
// file leaves it on, the safe side.
inline constexpr char kVerifyFile[] = "verify.dat";
bool ReadVerifyAfterUpload(const std::filesystem::path& programFolder);
// Writes the byte (beside the file, then renamed over it).
bool WriteVerifyAfterUpload(const std::filesystem::path& programFolder, bool on);

// Signal.dat: one 0 byte while the communication window exists.
bool CreateSignalFile(const std::filesystem::path& programFolder);
void DeleteSignalFile(const std::filesystem::path& programFolder);

}  // namespace orvalink
