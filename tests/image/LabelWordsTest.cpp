// Key labels as a person reads them: each icon of the remote's icon set by
// its words, and a label read as far as the LCD draws it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "image/LabelWords.h"
#include "image/LcdBitmaps.h"

namespace orvalink {
namespace {

// The icon set's names in table order, read from its source.
std::map<std::string, int> IconIndexes() {
    std::ifstream in(std::filesystem::path(ORVALINK_ASSETS_DIR) / "icons.txt");
    std::map<std::string, int> names;
    std::string line;
    int index = 0;
    while (std::getline(in, line))
        if (line.rfind("icon ", 0) == 0) names[line.substr(5, line.find(' ', 5) - 5)] = index++;
    return names;
}

TEST(LabelWords, EveryIconReadsAsItsWordsOrItsName) {
    const std::map<std::string, int> icons = IconIndexes();
    ASSERT_EQ(icons.size(), size_t(kIconCount));
    const std::map<std::string, std::string> table = {
        {"d1", "1"},     {"d0", "0"},          {"prev-ch", "PRE CH"}, {"red", "RED"},      {"menu", "MENU"},
        {"aspect", "16:9"}, {"bass-up", "BASS +"}, {"power", "power"},  {"vol-up", "vol up"}, {"timer", "TIMER"},
    };
    for (const auto& [name, words] : table) EXPECT_EQ(IconWords(icons.at(name)), words) << name;
    for (int i = 0; i < kIconCount; ++i) EXPECT_FALSE(IconWords(i).empty()) << i;
    EXPECT_EQ(IconWords(-1), "");
    EXPECT_EQ(IconWords(kIconCount), "");
}

TEST(LabelWords, ALabelReadsAsFarAsTheLcdDrawsIt) {
    const std::map<std::string, int> icons = IconIndexes();
    auto icon = [&](const char* name) { return std::vector<uint8_t>{240, uint8_t(icons.at(name) + 1)}; };
    auto text = [](const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); };
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> out;
        for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
        return out;
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> label;
        std::string reads;
    };
    const Case cases[] = {
        {"empty", {}, ""},
        {"characters", text("Menu"), "Menu"},
        {"a digit icon", icon("d1"), "1"},
        {"a break between", join({text("TV"), {13}, icon("power")}), "TV power"},
        {"icons apart from characters", join({text("Vol"), icon("vol-up"), text("x")}), "Vol vol up x"},
        {"a blank inside stays", text("A B"), "A B"},
        {"blanks at the ends go", text("  A  "), "A"},
        {"0 ends it", join({text("AB"), {0}, text("CD")}), "AB"},
        {"codes without a glyph are skipped", join({text("A"), {176, 182}, text("B")}), "AB"},
        {"another icon code takes room, draws nothing", join({text("A"), {241, 5}, text("B")}), "A B"},
        {"any other code ends it", join({text("A"), {5}, text("B")}), "A"},
        {"an icon code at the end", join({text("A"), {240}}), "A"},
        {"an icon code before the end zero", join({text("A"), {240, 0}, text("B")}), "A"},
        {"the last icon a label reaches", {240, 143}, IconWords(142)},
        {"an icon beyond: the LCD draws nothing", join({text("A"), {240, 144}}), ""},
        {"the remote's own characters", {160, 164}, "\xC5\x93\xE2\x96\xB2"},  // U+0153, U+25B2
        {"read as far as the LCD scans", std::vector<uint8_t>(300, 'x'), std::string(256, 'x')},
    };
    for (const Case& c : cases) EXPECT_EQ(LabelWords(c.label), c.reads) << c.what;
}

}  // namespace
}  // namespace orvalink
