#include "formats/ModelCatalogue.h"

#include <array>
#include <cstdio>

#include "formats/Flashut.h"

namespace orvalink {

namespace {

struct FormRow {
    uint16_t code;
    std::string_view form;
};

// In lookup order. The first row of a code is its file-name form; the
// second QM-8100 form comes right after QM-8200 and is only ever matched.
constexpr std::array<FormRow, 26> kForms = {{
    {100, "QM-8100"},
    {105, "QM-8200"},
    {100, "QM-8100_8300"},
    {110, "RV-15_16"},
    {115, "H4420"},
    {200, "QM-3400_A"},
    {210, "RV-19"},
    {220, "QM-3400_B"},
    {230, "QM-3500"},
    {300, "TL-2_T90"},
    {400, "LX-90"},
    {1000, "QM-2300_A"},
    {1010, "QM-2300_B"},
    {1020, "QM-2300_Kirei"},
    {1030, "RV-12"},
    {1040, "QM-8000_A"},
    {1050, "QM-2300_B_CH"},
    {1060, "ONDA_CH"},
    {1070, "ONDA_EN"},
    {1080, "PR-60"},
    {1085, "PRM"},
    {1090, "QM-3600"},
    {1095, "QM-1400"},
    {1200, "QM-4600"},
    {2000, "QM-5100"},
    {2010, "Slimline"},
}};

struct DisplayRow {
    std::string_view name;
    uint16_t code;
};

// In lookup order. RV-12 (1030) has no display name of its own, and
// QM-4600 (1200) has none at all.
constexpr std::array<DisplayRow, 33> kDisplayNames = {{
    {"QM-8100", 100},
    {"QM-8200", 105},
    {"QM-8100/8200", 100},
    {"RV-15/16", 110},
    {"H4420", 115},
    {"QM-3400 (before v1.50)", 200},
    {"RV-19", 210},
    {"QM-3400 (after v1.50)", 220},
    {"QM-3500", 230},
    {"TL-2/T90", 300},
    {"LX-90", 400},
    {"QM-2300 America", 1000},
    {"QM-2300 Europe", 1000},
    {"QM-2300 Asia", 1000},
    {"QM-2300B America", 1010},
    {"QM-2300B Europe", 1010},
    {"QM-2300B Asia", 1010},
    {"QM-2300B Japan (Kirei)", 1020},
    {"QM-8000A", 1040},
    {"QM-2300B CH", 1050},
    {"ONDA CH", 1060},
    {"ONDA EN Europe", 1070},
    {"ONDA EN America", 1070},
    {"PR-60", 1080},
    {"PRM", 1085},
    {"QM_3600", 1090},
    {"QM_1400", 1095},
    {"QM-5100 America +", 2000},
    {"QM-5100 Europe +", 2000},
    {"QM-5100 America", 2000},
    {"QM-5100 Europe", 2000},
    {"QM-5100", 2000},
    {"Slimline", 2010},
}};

constexpr std::array<std::string_view, 26> kListForms = {
    "QM-1400",   "QM-3600",      "QM-5100",      "H4420",   "QM-2300_A",    "QM-2300_B",    "QM-2300_Kirei",
    "RV-12",     "QM-8000_A",    "QM-2300_B_CH", "ONDA_CH", "ONDA_EN",      "PR-60",        "PRM",
    "QM-8100",   "QM-8200",      "QM-8100_8300", "RV-15_16", "QM-3400_A",   "QM-3400_B",    "RV-19",
    "QM-3500",   "TL-2_T90",     "LX-90",        "QM-4600", "Slimline",
};

constexpr std::array<std::string_view, 18> kDefaultUpgradeList = {
    "QM-5100",         "Slimline",
    "QM-2300B CH",     "QM-2300B America",
    "QM-2300B Europe", "QM-2300B Asia",
    "QM-2300 America", "QM-2300 Europe",
    "QM-2300 Asia",    "QM-2300 Japan (Kirei)",
    "RV-19",           "QM-8100/8200",
    "QM-3400 (before v1.50)", "QM-3400 (after v1.50)",
    "QM-3500",         "RV-15/16",
    "TL-2/T90",        "LX-90",
};

constexpr std::string_view kQm3400Before = "QM-3400 (before v1.50)";
constexpr std::string_view kQm3400After = "QM-3400 (after v1.50)";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

ModelFamily FamilyOf(uint16_t modelCode) {
    if (IsOlderModel(modelCode)) return ModelFamily::Older;
    if (Is2300Family(modelCode)) return ModelFamily::Family2300;
    return ModelFamily::Family5100;
}

bool ModelName(uint16_t modelCode, std::string& name) {
    for (const FormRow& row : kForms) {
        if (row.code == modelCode) {
            name.assign(row.form);
            return true;
        }
    }
    return false;
}

bool ModelCodeOf(std::string_view fileNameForm, uint16_t& modelCode) {
    for (const FormRow& row : kForms) {
        if (SameNameIgnoringCase(row.form, fileNameForm)) {
            modelCode = row.code;
            return true;
        }
    }
    return false;
}

bool ModelCodeOfDisplayName(std::string_view displayName, uint16_t& modelCode, std::string& fileNameForm) {
    for (const DisplayRow& row : kDisplayNames) {
        if (!SameNameIgnoringCase(row.name, displayName)) continue;
        std::string form;
        if (!ModelName(row.code, form)) return false;
        modelCode = row.code;
        fileNameForm = std::move(form);
        return true;
    }
    return false;
}

std::span<const std::string_view> ModelListForms() { return kListForms; }

std::span<const std::string_view> DefaultUpgradeModelList() { return kDefaultUpgradeList; }

bool NeedsQm3400Note(std::string_view displayName) {
    return SameNameIgnoringCase(displayName, kQm3400Before) || SameNameIgnoringCase(displayName, kQm3400After);
}

std::string Qm3400Note() {
    std::string text =
        "NOTE: \n\n"
        "     Please confirm QM-3400 program version before download. \n"
        "     Program version would be shown on screen after reinsert \n"
        "     all batteries. \n"
        "     If QM-3400 version number is less than 1-50, \n"
        "     please download ";
    text += '"';
    text += kQm3400Before;
    text += '"';
    text += " \n     If not, please download ";
    text += '"';
    text += kQm3400After;
    text += '"';
    text += "  \n";
    return text;
}

std::string DateStamp(const LocalDate& date) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", date.year, date.month, date.day);
    return buf;
}

std::string MadeFileName(std::string_view folder, std::string_view fileNameForm, uint16_t versionWord,
                         const LocalDate& date, std::string_view extension) {
    std::string name(folder);
    name += fileNameForm;
    name += VersionSuffix(versionWord);
    name += "__";
    name += DateStamp(date);
    name += extension;
    return name;
}

}  // namespace orvalink
