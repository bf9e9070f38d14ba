// The code table of dev_model.dll: which lines count, what they give, and the
// lists the code picker fills from them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editors/core/PreCodeTable.h"

namespace orvalink::testing {
namespace {

std::string Padded(std::string s, size_t width) {
    s.resize(width, ' ');
    return s;
}

// A line in the table's columns, without its CR LF.
std::string Line(const std::string& type, const std::string& brand, const std::string& codePart) {
    return Padded(type, 16) + Padded(brand, 30) + codePart;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A table of the given lines, each ended by CR LF.
std::vector<uint8_t> Table(const std::vector<std::string>& lines) {
    std::string t;
    for (const auto& l : lines) t += l + "\r\n";
    return Bytes(t);
}

const std::string kFiller = Line("Filler", "Nobody", "0001, 0002, 0003");

TEST(CodeTableLine, CodePartLengthRules) {
    struct Case {
        std::string codePart;
        bool accepted;
        std::vector<uint16_t> codes;
    };
    const std::vector<Case> cases = {
        {"1152", false, {}},                  // line of 50 characters: too short
        {"1152, 1153", true, {1152, 1153}},   // 10 + 2 = 12: two fields
        {"1152, 1153,", false, {}},           // 11 characters
        {"1152, 11", false, {}},              // 8 + 2 is no multiple of 6
        {"0012, 0345, 6789", true, {12, 345, 6789}},
    };
    for (const auto& c : cases) {
        BrandRecord r;
        r.brand = "untouched";
        const bool ok = ParseCodeTableLine(Line("TV", "Sony", c.codePart), r);
        EXPECT_EQ(ok, c.accepted) << "'" << c.codePart << "'";
        if (ok) {
            EXPECT_EQ(r.codes, c.codes) << c.codePart;
        } else {
            EXPECT_EQ(r.brand, "untouched") << c.codePart;
        }
    }
    // 51 characters: a code part of 5 is still not enough.
    BrandRecord r;
    EXPECT_FALSE(ParseCodeTableLine(Line("TV", "Sony", "12345"), r));
}

TEST(CodeTableLine, FieldsKeepOnlyTheirDigitsAndNeedOne) {
    BrandRecord r;
    ASSERT_TRUE(ParseCodeTableLine(Line("  VCR ", " Aiwa  ", "1a2b, #77 , 0400"), r));
    EXPECT_EQ(r.deviceType, "VCR");
    EXPECT_EQ(r.brand, "Aiwa");
    EXPECT_EQ(r.codes, (std::vector<uint16_t>{12, 77, 400}));
    EXPECT_FALSE(ParseCodeTableLine(Line("VCR", "Aiwa", "0001,     , 0003"), r));
    EXPECT_FALSE(ParseCodeTableLine(Line("VCR", "Aiwa", "0001, abcd, 0003"), r));
}

TEST(CodeTableLine, LongestCodePartHolds83Codes) {
    std::string part;
    for (int i = 0; i < 83; ++i) part += std::to_string(1000 + i) + ", ";
    part.resize(part.size() - 2);
    ASSERT_EQ(part.size(), 496u);
    BrandRecord r;
    ASSERT_TRUE(ParseCodeTableLine(Line("TV", "Big", part), r));
    ASSERT_EQ(r.codes.size(), 83u);
    EXPECT_EQ(r.codes.back(), 1082);
    // One more field makes 502 characters: past the limit.
    EXPECT_FALSE(ParseCodeTableLine(Line("TV", "Big", part + ", 1083"), r));

    const auto packed = PackBrandRecord(r);
    ASSERT_EQ(packed.size(), 2u + 20 + 30 + 1 + 2 * 83);
    EXPECT_EQ(packed[0], 0);
    EXPECT_EQ(packed[1], 255);
    EXPECT_EQ(std::string(packed.begin() + 2, packed.begin() + 4), "TV");
    EXPECT_EQ(packed[4], 0);
    EXPECT_EQ(std::string(packed.begin() + 22, packed.begin() + 25), "Big");
    EXPECT_EQ(packed[52], 83);
    EXPECT_EQ(packed[53], uint8_t(1000));
    EXPECT_EQ(packed[54], uint8_t(1000 >> 8));
}

TEST(CodeTable, OnlyLinesEndedByCrLfCount) {
    const std::string a = Line("TV", "Sony", "1176, 1177");
    const std::string b = Line("TV", "LG", "1160, 1161");
    const std::string c = Line("TV", "JVC", "1200, 1201");
    // b is ended by a line feed alone, so it runs on into c as one line
    // that breaks the rules; the last line has no end at all.
    auto records = ParseCodeTable(Bytes(a + "\r\n" + b + "\n" + c + "\r\n" + kFiller));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].brand, "Sony");
    int skipped = -1;
    records = ParseCodeTable(Table({a, "", "short line", b, c}), &skipped);
    EXPECT_EQ(records.size(), 3u);
    EXPECT_EQ(skipped, 2);
}

TEST(CodeTable, WholeSizeLimits) {
    const std::string line = Line("TV", "Sony", "1176, 1177") + "\r\n";  // 58 bytes
    // A second line of padding that breaks the rules brings the table to size.
    auto sized = [&](size_t total) { return Bytes(line + std::string(total - line.size() - 2, 'x') + "\r\n"); };
    EXPECT_TRUE(ParseCodeTable(Bytes(line)).empty());
    EXPECT_TRUE(ParseCodeTable(sized(100)).empty());
    EXPECT_EQ(ParseCodeTable(sized(101)).size(), 1u);
    EXPECT_EQ(ParseCodeTable(sized(199999)).size(), 1u);
    EXPECT_TRUE(ParseCodeTable(sized(200000)).empty());
}

TEST(CodeTableLists, TypesInFileOrderBrandsSortedOnceIgnoringCase) {
    const auto records = ParseCodeTable(Table({
        Line("TV", "Sony", "1176, 1177"),
        Line("VCR", "Sony", "2001, 2002"),
        Line("tv", "SONY", "1190, 1191"),
        Line("TV", "akai", "1100, 1101"),
        Line("TV", "LG", "1160, 1161"),
        Line("Cable", "Zenith", "3001, 3002"),
    }));
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(DeviceTypesOf(records), (std::vector<std::string>{"TV", "VCR", "Cable"}));
    EXPECT_EQ(BrandsOf(records, "Tv"), (std::vector<std::string>{"akai", "LG", "Sony"}));
    EXPECT_EQ(BrandsOf(records, "VCR"), (std::vector<std::string>{"Sony"}));
    EXPECT_TRUE(BrandsOf(records, "Amp").empty());
    // The first record of the pair decides the codes.
    EXPECT_EQ(CodeTextsOf(records, "TV", "sony"), (std::vector<std::string>{"1176", "1177"}));
    EXPECT_EQ(CodeTextsOf(records, "VCR", "SONY"), (std::vector<std::string>{"2001", "2002"}));
    EXPECT_TRUE(CodeTextsOf(records, "Cable", "Sony").empty());
}

TEST(CodeTableLists, CodeTextsAndTheChosenNumber) {
    EXPECT_EQ(CodeText(7), "0007");
    EXPECT_EQ(CodeText(3999), "3999");
    EXPECT_EQ(CodeText(12345), "1234");  // cut to 4 characters
    EXPECT_EQ(ChosenPreCode("      0123"), 123);
    EXPECT_EQ(ChosenPreCode("      3999"), 3999);
    EXPECT_EQ(ChosenPreCode("      4000"), kNoPreCode);
    EXPECT_EQ(ChosenPreCode(""), kNoPreCode);
    EXPECT_EQ(ChosenPreCode("12a"), kNoPreCode);
}

}  // namespace
}  // namespace orvalink::testing
