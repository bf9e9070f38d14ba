#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "formats/ModelCatalogue.h"

namespace orvalink {
namespace {

struct FormCase {
    uint16_t code;
    const char* form;
    ModelFamily family;
};

const std::vector<FormCase>& AllForms() {
    static const std::vector<FormCase> forms = {
        {100, "QM-8100", ModelFamily::Older},         {105, "QM-8200", ModelFamily::Older},
        {110, "RV-15_16", ModelFamily::Older},        {115, "H4420", ModelFamily::Older},
        {200, "QM-3400_A", ModelFamily::Older},       {210, "RV-19", ModelFamily::Older},
        {220, "QM-3400_B", ModelFamily::Older},       {230, "QM-3500", ModelFamily::Older},
        {300, "TL-2_T90", ModelFamily::Older},        {400, "LX-90", ModelFamily::Older},
        {1000, "QM-2300_A", ModelFamily::Family2300}, {1010, "QM-2300_B", ModelFamily::Family2300},
        {1020, "QM-2300_Kirei", ModelFamily::Family2300}, {1030, "RV-12", ModelFamily::Family2300},
        {1040, "QM-8000_A", ModelFamily::Family2300}, {1050, "QM-2300_B_CH", ModelFamily::Family2300},
        {1060, "ONDA_CH", ModelFamily::Family2300},   {1070, "ONDA_EN", ModelFamily::Family2300},
        {1080, "PR-60", ModelFamily::Family2300},     {1085, "PRM", ModelFamily::Family2300},
        {1090, "QM-3600", ModelFamily::Family2300},   {1095, "QM-1400", ModelFamily::Family2300},
        {1200, "QM-4600", ModelFamily::Family5100},   {2000, "QM-5100", ModelFamily::Family5100},
        {2010, "Slimline", ModelFamily::Family5100},
    };
    return forms;
}

TEST(ModelCatalogue, EveryCodeHasItsFileNameFormAndBack) {
    for (const FormCase& c : AllForms()) {
        std::string name;
        ASSERT_TRUE(ModelName(c.code, name)) << c.code;
        EXPECT_EQ(name, c.form) << c.code;
        uint16_t code = 0;
        ASSERT_TRUE(ModelCodeOf(c.form, code)) << c.form;
        EXPECT_EQ(code, c.code) << c.form;
        EXPECT_EQ(FamilyOf(c.code), c.family) << c.code;
    }
}

TEST(ModelCatalogue, Qm8100HasASecondFormThatOnlyMatches) {
    uint16_t code = 0;
    ASSERT_TRUE(ModelCodeOf("QM-8100_8300", code));
    EXPECT_EQ(code, 100);
    std::string name;
    ASSERT_TRUE(ModelName(100, name));
    EXPECT_EQ(name, "QM-8100");
}

TEST(ModelCatalogue, UnknownCodesAndFormsLeaveTheOutputAlone) {
    for (uint16_t unknown : {0, 99, 101, 999, 1001, 1199, 1999, 2001, 65535}) {
        std::string name = "keep";
        EXPECT_FALSE(ModelName(unknown, name)) << unknown;
        EXPECT_EQ(name, "keep");
    }
    for (const char* unknown : {"", "QM-5100 ", " QM-5100", "QM-5100_", "QM5100", "QM-8100/8200", "QM-8100_"}) {
        uint16_t code = 77;
        EXPECT_FALSE(ModelCodeOf(unknown, code)) << '"' << unknown << '"';
        EXPECT_EQ(code, 77);
    }
}

TEST(ModelCatalogue, FileNameFormsIgnoreLetterCase) {
    uint16_t code = 0;
    ASSERT_TRUE(ModelCodeOf("qm-5100", code));
    EXPECT_EQ(code, 2000);
    ASSERT_TRUE(ModelCodeOf("SLIMLINE", code));
    EXPECT_EQ(code, 2010);
    ASSERT_TRUE(ModelCodeOf("qm-2300_kIREI", code));
    EXPECT_EQ(code, 1020);
}

TEST(ModelCatalogue, FamiliesFollowFromTheCodeRanges) {
    EXPECT_EQ(FamilyOf(0), ModelFamily::Older);
    EXPECT_EQ(FamilyOf(999), ModelFamily::Older);
    EXPECT_EQ(FamilyOf(1000), ModelFamily::Family2300);
    EXPECT_EQ(FamilyOf(1199), ModelFamily::Family2300);
    EXPECT_EQ(FamilyOf(1200), ModelFamily::Family5100);
    EXPECT_EQ(FamilyOf(65535), ModelFamily::Family5100);
    EXPECT_TRUE(IsOlderModel(999) && !IsOlderModel(1000));
    EXPECT_TRUE(Is2300Family(1000) && Is2300Family(1199) && !Is2300Family(999) && !Is2300Family(1200));
    EXPECT_TRUE(Is5100Family(1200) && !Is5100Family(1199));
}

struct DisplayCase {
    const char* name;
    uint16_t code;
    const char* form;
};

TEST(ModelCatalogue, DisplayNamesSelectTheirCodeAndForm) {
    const std::vector<DisplayCase> cases = {
        {"QM-8100", 100, "QM-8100"},
        {"QM-8200", 105, "QM-8200"},
        {"QM-8100/8200", 100, "QM-8100"},
        {"RV-15/16", 110, "RV-15_16"},
        {"H4420", 115, "H4420"},
        {"QM-3400 (before v1.50)", 200, "QM-3400_A"},
        {"RV-19", 210, "RV-19"},
        {"QM-3400 (after v1.50)", 220, "QM-3400_B"},
        {"QM-3500", 230, "QM-3500"},
        {"TL-2/T90", 300, "TL-2_T90"},
        {"LX-90", 400, "LX-90"},
        {"QM-2300 America", 1000, "QM-2300_A"},
        {"QM-2300 Europe", 1000, "QM-2300_A"},
        {"QM-2300 Asia", 1000, "QM-2300_A"},
        {"QM-2300B America", 1010, "QM-2300_B"},
        {"QM-2300B Europe", 1010, "QM-2300_B"},
        {"QM-2300B Asia", 1010, "QM-2300_B"},
        {"QM-2300B Japan (Kirei)", 1020, "QM-2300_Kirei"},
        {"QM-8000A", 1040, "QM-8000_A"},
        {"QM-2300B CH", 1050, "QM-2300_B_CH"},
        {"ONDA CH", 1060, "ONDA_CH"},
        {"ONDA EN Europe", 1070, "ONDA_EN"},
        {"ONDA EN America", 1070, "ONDA_EN"},
        {"PR-60", 1080, "PR-60"},
        {"PRM", 1085, "PRM"},
        {"QM_3600", 1090, "QM-3600"},
        {"QM_1400", 1095, "QM-1400"},
        {"QM-5100 America +", 2000, "QM-5100"},
        {"QM-5100 Europe +", 2000, "QM-5100"},
        {"QM-5100 America", 2000, "QM-5100"},
        {"QM-5100 Europe", 2000, "QM-5100"},
        {"QM-5100", 2000, "QM-5100"},
        {"Slimline", 2010, "Slimline"},
    };
    for (const DisplayCase& c : cases) {
        uint16_t code = 0;
        std::string form;
        ASSERT_TRUE(ModelCodeOfDisplayName(c.name, code, form)) << c.name;
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(form, c.form) << c.name;
    }
}

TEST(ModelCatalogue, DisplayNamesIgnoreCaseButNotBlanks) {
    uint16_t code = 0;
    std::string form;
    ASSERT_TRUE(ModelCodeOfDisplayName("qm-5100", code, form));
    EXPECT_EQ(code, 2000);
    EXPECT_EQ(form, "QM-5100");
    ASSERT_TRUE(ModelCodeOfDisplayName("onda en AMERICA", code, form));
    EXPECT_EQ(code, 1070);

    for (const char* name : {"QM-5100 ", " QM-5100", "QM-5100  America", "QM-5100 America+", ""}) {
        code = 55;
        form = "keep";
        EXPECT_FALSE(ModelCodeOfDisplayName(name, code, form)) << '"' << name << '"';
        EXPECT_EQ(code, 55);
        EXPECT_EQ(form, "keep");
    }
}

TEST(ModelCatalogue, SomeCodesHaveNoDisplayName) {
    uint16_t code = 0;
    std::string form;
    // 1200 has a file-name form but no display name; RV-12 (1030) has none.
    EXPECT_FALSE(ModelCodeOfDisplayName("QM-4600", code, form));
    EXPECT_FALSE(ModelCodeOfDisplayName("RV-12", code, form));
    // Display names are not file-name forms.
    EXPECT_FALSE(ModelCodeOfDisplayName("QM-2300_A", code, form));
    EXPECT_FALSE(ModelCodeOfDisplayName("QM-3600", code, form));
}

TEST(ModelCatalogue, ModelListsHoldThe26FormsInOrder) {
    const std::vector<std::string> expected = {
        "QM-1400", "QM-3600", "QM-5100", "H4420", "QM-2300_A", "QM-2300_B", "QM-2300_Kirei",
        "RV-12", "QM-8000_A", "QM-2300_B_CH", "ONDA_CH", "ONDA_EN", "PR-60", "PRM",
        "QM-8100", "QM-8200", "QM-8100_8300", "RV-15_16", "QM-3400_A", "QM-3400_B", "RV-19",
        "QM-3500", "TL-2_T90", "LX-90", "QM-4600", "Slimline"};
    const auto forms = ModelListForms();
    ASSERT_EQ(forms.size(), 26u);
    std::set<uint16_t> codes;
    for (size_t i = 0; i < forms.size(); ++i) {
        EXPECT_EQ(forms[i], expected[i]) << i;
        uint16_t code = 0;
        EXPECT_TRUE(ModelCodeOf(forms[i], code)) << forms[i];
        codes.insert(code);
    }
    // Every model of the catalogue can be picked from the lists.
    EXPECT_EQ(codes.size(), AllForms().size());
}

TEST(ModelCatalogue, DefaultUpgradeListAndWhatItSelects) {
    const std::vector<std::string> expected = {
        "QM-5100", "Slimline", "QM-2300B CH", "QM-2300B America", "QM-2300B Europe", "QM-2300B Asia",
        "QM-2300 America", "QM-2300 Europe", "QM-2300 Asia", "QM-2300 Japan (Kirei)", "RV-19", "QM-8100/8200",
        "QM-3400 (before v1.50)", "QM-3400 (after v1.50)", "QM-3500", "RV-15/16", "TL-2/T90", "LX-90"};
    const auto list = DefaultUpgradeModelList();
    ASSERT_EQ(list.size(), expected.size());
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i], expected[i]) << i;
        uint16_t code = 0;
        std::string form;
        // Only the Kirei entry of the default list names no model.
        EXPECT_EQ(ModelCodeOfDisplayName(list[i], code, form), list[i] != "QM-2300 Japan (Kirei)") << list[i];
    }
}

TEST(ModelCatalogue, Qm3400NamesShowTheVersionNote) {
    EXPECT_TRUE(NeedsQm3400Note("QM-3400 (before v1.50)"));
    EXPECT_TRUE(NeedsQm3400Note("QM-3400 (after v1.50)"));
    EXPECT_FALSE(NeedsQm3400Note("QM-3500"));
    EXPECT_FALSE(NeedsQm3400Note("QM-3400"));
    EXPECT_EQ(Qm3400Note(),
              "NOTE: \n\n     Please confirm QM-3400 program version before download. \n"
              "     Program version would be shown on screen after reinsert \n     all batteries. \n"
              "     If QM-3400 version number is less than 1-50, \n     please download "
              "\"QM-3400 (before v1.50)\" \n     If not, please download \"QM-3400 (after v1.50)\"  \n");
}

TEST(ModelCatalogue, MadeFileNames) {
    EXPECT_EQ(DateStamp({2026, 6, 7}), "20260607");
    EXPECT_EQ(DateStamp({1999, 12, 31}), "19991231");
    EXPECT_EQ(MadeFileName("/up/", "QM-5100", 0x0105, {2026, 6, 7}, ".vmcf"), "/up/QM-5100_v1_05__20260607.vmcf");
    EXPECT_EQ(MadeFileName("", "PRM", 0x020C, {2026, 1, 2}, ".vmcu"), "PRM_v2_12__20260102.vmcu");
}

}  // namespace
}  // namespace orvalink
