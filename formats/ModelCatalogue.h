// The model catalogue: the remote models and variants the program knows, by
// model code, by the short file-name form that goes into file headers and
// made file names, and by the longer display names the user picks from.
//
// Names are compared without regard to ASCII letter case, in the order of
// the tables; the first match wins. Nothing is trimmed: a name with an extra
// blank is a different name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/Clock.h"

namespace orvalink {

enum class ModelFamily {
    Older,       // below 1000: 262144-byte flash images
    Family2300,  // 1000 to 1199: 540672-byte TI flash images
    Family5100,  // 1200 and above
};

// The family follows from the code alone.
ModelFamily FamilyOf(uint16_t modelCode);
inline bool IsOlderModel(uint16_t modelCode) { return modelCode < 1000; }
inline bool Is2300Family(uint16_t modelCode) { return modelCode >= 1000 && modelCode < 1200; }
inline bool Is5100Family(uint16_t modelCode) { return modelCode >= 1200; }

// Model codes the program itself relies on.
inline constexpr uint16_t kModelQm5100 = 2000;
inline constexpr uint16_t kModelSlimline = 2010;
inline constexpr uint16_t kModelPrm = 1085;  // its upgrade needs only an MCU file

// Model code -> file-name form; false (name untouched) for an unknown code.
bool ModelName(uint16_t modelCode, std::string& name);
// File-name form -> model code; false (code untouched) for an unknown form.
// "QM-8100_8300" is accepted as a second form of 100.
bool ModelCodeOf(std::string_view fileNameForm, uint16_t& modelCode);
// Display name -> model code and file-name form; false (both untouched) for
// an unknown display name.
bool ModelCodeOfDisplayName(std::string_view displayName, uint16_t& modelCode, std::string& fileNameForm);

// The 26 file-name forms that fill the flash and MCU model lists of the
// upgrade page, in list order.
std::span<const std::string_view> ModelListForms();
// The display names the upgrade page offers until type.ini replaces them.
std::span<const std::string_view> DefaultUpgradeModelList();

// The two QM-3400 display names make the upgrade page show a note first.
bool NeedsQm3400Note(std::string_view displayName);
// The text of that note (shown with the warning icon).
std::string Qm3400Note();

// Today's date as made file names carry it: "%04d%02d%02d".
std::string DateStamp(const LocalDate& date);
// The name of a made file: folder + file-name form + version suffix + "__" +
// date stamp + extension (extension with its dot, folder with its separator).
std::string MadeFileName(std::string_view folder, std::string_view fileNameForm, uint16_t versionWord,
                         const LocalDate& date, std::string_view extension);

// ASCII case-insensitive equality, as every catalogue lookup compares.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

}  // namespace orvalink
