#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Flashut.h"
#include "formats/VFileTestSupport.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

TEST(VersionWord, DisplayAndFileNameForms) {
    struct Case { uint16_t word; const char* text; const char* suffix; };
    for (Case c : {Case{0x0105, "1.05", "_v1_05"}, Case{0x0109, "1.09", "_v1_09"}, Case{0x010A, "1.10", "_v1_10"},
                   Case{0x010C, "1.12", "_v1_12"}, Case{0x0000, "0.00", "_v0_00"}, Case{0x0200, "2.00", "_v2_00"},
                   Case{0x0C63, "12.99", "_v12_99"}, Case{0xFFFF, "255.255", "_v255_255"}}) {
        EXPECT_EQ(VersionText(c.word), c.text) << std::hex << c.word;
        EXPECT_EQ(VersionSuffix(c.word), c.suffix) << std::hex << c.word;
    }
}

TEST(VersionWord, TypedVersions) {
    struct Case { const char* text; TypedVersion result; uint16_t word; };
    const uint16_t untouched = 0xBEEF;
    for (Case c : {
             Case{"1.05", TypedVersion::Ok, 0x0105},
             Case{" 1.05 ", TypedVersion::Ok, 0x0105},
             Case{"12.34", TypedVersion::Ok, 0x0C22},
             Case{"0.00", TypedVersion::Ok, 0x0000},
             Case{"1.5", TypedVersion::Ok, 0x0105},
             Case{"105", TypedVersion::NotAVersion, untouched},
             Case{"", TypedVersion::NotAVersion, untouched},
             Case{"1.", TypedVersion::NotAVersion, untouched},
             Case{" 1. ", TypedVersion::NotAVersion, untouched},
             Case{".05", TypedVersion::NotANumber, untouched},
             Case{"1.2.3", TypedVersion::NotANumber, untouched},  // split at the last point: "1.2" and "3"
             Case{"a.05", TypedVersion::NotANumber, untouched},
             Case{"1.0x", TypedVersion::NotANumber, untouched},
             Case{"-1.05", TypedVersion::NotANumber, untouched},
             Case{"256.00", TypedVersion::NotANumber, untouched},
             Case{"1.256", TypedVersion::NotANumber, untouched},
         }) {
        uint16_t word = untouched;
        EXPECT_EQ(ParseTypedVersion(c.text, word), c.result) << '"' << c.text << '"';
        EXPECT_EQ(word, c.word) << '"' << c.text << '"';
    }
}

TEST(VFileHeader, FieldsSitAtTheirOffsets) {
    VFileHeader h = Qm5100Header(kKindVmod, 0x010C);
    h.checksum = 0x11223344;
    h.fileLength = 0x55667788;
    h.payloadLength = 0x99AABBCC;
    for (size_t i = 0; i < 64; ++i) h.passwordBlock[i] = uint8_t(i + 1);
    std::vector<uint8_t> b;
    ASSERT_TRUE(VFileHeaderToBytes(h, b));
    ASSERT_EQ(b.size(), 157u);

    EXPECT_EQ(GetU32(b, 0), 0x11223344u);
    EXPECT_EQ(GetU32(b, 4), 0x55667788u);
    EXPECT_EQ(GetU32(b, 8), 0x99AABBCCu);
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[13], 0);
    EXPECT_EQ(std::string(b.begin() + 14, b.begin() + 21), "QM-5100");
    for (size_t i = 21; i < 44; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(std::string(b.begin() + 44, b.begin() + 48), "vmod");
    for (size_t i = 48; i < 52; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(b[52], 102);  // kind, little-endian
    EXPECT_EQ(b[53], 0);
    EXPECT_EQ(b[54], 0xD0);  // 2000
    EXPECT_EQ(b[55], 0x07);
    EXPECT_EQ(b[56], 0x0C);  // minor first
    EXPECT_EQ(b[57], 0x01);
    EXPECT_EQ(b[58], 0);
    EXPECT_EQ(b[59], 0);
    EXPECT_EQ(b[60], 1);
    EXPECT_EQ(b[123], 64);
    EXPECT_EQ(b[124], 1);  // name form
    EXPECT_EQ(b[125], 1);  // name count
    EXPECT_EQ(b[126], 0);
    EXPECT_EQ(std::string(b.begin() + 127, b.begin() + 135), "QM-5100_");
    for (size_t i = 135; i < 157; ++i) EXPECT_EQ(b[i], 0) << i;

    VFileHeader back;
    ASSERT_TRUE(VFileHeaderFromBytes(b, back));
    std::vector<uint8_t> again;
    ASSERT_TRUE(VFileHeaderToBytes(back, again));
    EXPECT_EQ(again, b);
    EXPECT_EQ(back.kindCode, 102);
    EXPECT_EQ(back.modelCode, 2000);
    EXPECT_EQ(back.versionWord, 0x010C);
    EXPECT_EQ(FieldText(back.modelName), "QM-5100");
    EXPECT_EQ(EntryNameOf(back), "QM-5100_");
}

TEST(VFileHeader, NameRangesAreCheckedBothWays) {
    struct Case { uint8_t form; uint16_t count; bool ok; };
    for (Case c : {Case{1, 1, true}, Case{1, 2, true}, Case{2, 2, true}, Case{3, 3, true}, Case{3, 1024, true},
                   Case{1, 0, false}, Case{3, 1025, false}, Case{1, 3, false}, Case{2, 3, false},
                   Case{0, 1, false}, Case{4, 1, false}, Case{255, 1, false}}) {
        EXPECT_EQ(VFileHeaderRangesOk(c.form, c.count), c.ok) << int(c.form) << "/" << c.count;

        VFileHeader h = Qm5100Header();
        h.nameForm = c.form;
        h.nameCount = c.count;
        h.names.resize(c.count);
        std::vector<uint8_t> b;
        ASSERT_EQ(VFileHeaderToBytes(h, b), c.ok) << int(c.form) << "/" << c.count;
        if (!c.ok) continue;
        EXPECT_EQ(b.size(), 127u + 30u * c.count);
        VFileHeader back;
        EXPECT_TRUE(VFileHeaderFromBytes(b, back));
        EXPECT_EQ(back.names.size(), c.count);
        // One byte short of the last name.
        b.pop_back();
        EXPECT_FALSE(VFileHeaderFromBytes(b, back));
    }
}

TEST(VFileHeader, ToBytesNeedsAllItsNames) {
    VFileHeader h = Qm5100Header();
    h.nameForm = 2;
    h.nameCount = 2;  // but only one name held
    std::vector<uint8_t> b = {9};
    EXPECT_FALSE(VFileHeaderToBytes(h, b));
    EXPECT_EQ(b, std::vector<uint8_t>{9});
}

TEST(VFileHeader, EntryNameIsNameZeroTrimmed) {
    VFileHeader h = Qm5100Header();
    SetFieldText(h.names[0], "  QM-5100_  ");
    EXPECT_EQ(EntryNameOf(h), "QM-5100_");
    SetFieldText(h.names[0], "");
    EXPECT_EQ(EntryNameOf(h), "");
    // A name filling all 30 bytes, no zero at all.
    SetFieldText(h.names[0], std::string(40, 'N'));
    EXPECT_EQ(EntryNameOf(h), std::string(30, 'N'));
}

TEST(FillVFileHeader, FillsKindModelVersionAndTexts) {
    struct Case { uint16_t kind; const char* ext; };
    for (Case c : {Case{100, "vmcf"}, Case{101, "vmcu"}, Case{102, "vmod"}, Case{103, "virc"}}) {
        VFileHeader h;
        h.checksum = 1234;
        h.nameForm = 7;
        h.modelName.fill('X');
        h.extensionText.fill('Y');
        ASSERT_TRUE(FillVFileHeader(c.kind, 1085, 0x0203, h)) << c.kind;
        EXPECT_EQ(h.kindCode, c.kind);
        EXPECT_EQ(h.modelCode, 1085);
        EXPECT_EQ(h.versionWord, 0x0203);
        EXPECT_EQ(FieldText(h.extensionText), c.ext);
        EXPECT_EQ(FieldText(h.modelName), "PRM");
        // Zero-filled behind the texts.
        for (size_t i = 3; i < h.modelName.size(); ++i) EXPECT_EQ(h.modelName[i], 0);
        for (size_t i = 4; i < h.extensionText.size(); ++i) EXPECT_EQ(h.extensionText[i], 0);
        // The rest stays as it was.
        EXPECT_EQ(h.checksum, 1234u);
        EXPECT_EQ(h.nameForm, 7);
    }
}

TEST(FillVFileHeader, RefusesUnknownKindsAndModels) {
    VFileHeader h = Qm5100Header(kKindVmcu, 0x0101);
    std::vector<uint8_t> before;
    ASSERT_TRUE(VFileHeaderToBytes(h, before));
    EXPECT_FALSE(FillVFileHeader(99, 2000, 0, h));
    EXPECT_FALSE(FillVFileHeader(104, 2000, 0, h));
    EXPECT_FALSE(FillVFileHeader(100, 1999, 0, h));
    EXPECT_FALSE(FillVFileHeader(100, 999, 0, h));
    std::vector<uint8_t> after;
    ASSERT_TRUE(VFileHeaderToBytes(h, after));
    EXPECT_EQ(after, before);
    EXPECT_EQ(KindExtension(99), "");
}

}  // namespace
}  // namespace orvalink
