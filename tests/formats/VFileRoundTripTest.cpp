#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFileTestSupport.h"
#include "image/Tiflashut.h"  // kDocumentImageBytes

namespace orvalink {
namespace {

using namespace orvalink::testing;

struct RoundTripCase {
    uint16_t kind;
    uint16_t model;
    uint16_t version;
    size_t size;
    const char* label;
};

TEST(VFileRoundTrip, EveryKindAndPayloadComesBackUnchanged) {
    TempDir dir;
    const std::vector<RoundTripCase> cases = {
        {kKindVmcf, 2000, 0x0105, kDocumentImageBytes, "full image"},
        {kKindVmcf, 1000, 0x0109, 540672, "2300 flash"},
        {kKindVmcf, 100, 0x0000, 262144, "older flash"},
        {kKindVmcu, 2000, 0x010A, 65536, "MCU 5100"},
        {kKindVmcu, 1085, 0x0203, 32768, "MCU PRM"},
        {kKindVmod, 2000, 0x0000, kMaxModulePayload, "largest module"},
        {kKindVmod, 2000, 0x0000, 1, "one byte"},
        {kKindVirc, 2010, 0xFFFF, 0, "empty"},
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<uint8_t> payload = ImageLikePayload(c.size, c.size);
        VFileHeader header;
        ASSERT_TRUE(FillVFileHeader(c.kind, c.model, c.version, header));
        std::string name;
        ASSERT_TRUE(ModelName(c.model, name));
        SetSingleName(header, name + "_");

        const auto path = dir / (std::string("f") + std::to_string(c.kind) + "." + std::string(KindExtension(c.kind)));
        FixedClock clock;
        Pcg32Random random;
        ASSERT_TRUE(SaveVFile(path, payload, header, clock, random));

        const std::vector<uint8_t> file = ReadBytes(path);
        ASSERT_GT(file.size(), kVWrittenHeaderLength + 22);
        EXPECT_EQ(GetU32(file, kAtFileLength), file.size());
        EXPECT_EQ(GetU32(file, kAtPayloadLength), c.size);
        // The archive starts right after the 157 header bytes.
        EXPECT_EQ(std::string(file.begin() + 157, file.begin() + 161), std::string("PK\x03\x04", 4));
        // The saved header is what was written.
        EXPECT_EQ(header.fileLength, file.size());
        EXPECT_EQ(header.checksum, GetU32(file, kAtChecksum));

        std::vector<uint8_t> back;
        VFileHeader loaded;
        ASSERT_TRUE(LoadVFile(path, back, loaded));
        EXPECT_EQ(back, payload);
        EXPECT_EQ(loaded.kindCode, c.kind);
        EXPECT_EQ(loaded.modelCode, c.model);
        EXPECT_EQ(loaded.versionWord, c.version);
        EXPECT_EQ(FieldText(loaded.modelName), name);
        EXPECT_EQ(FieldText(loaded.extensionText), KindExtension(c.kind));
        EXPECT_EQ(EntryNameOf(loaded), name + "_");
        EXPECT_EQ(loaded.nameForm, 1);
        EXPECT_EQ(loaded.nameCount, 1);
        EXPECT_EQ(loaded.payloadLength, c.size);
    }
}

TEST(VFileRoundTrip, PasswordIsCode4AndThirtyOneCharacters) {
    const auto file = BuildFile(ImageLikePayload(5000), Qm5100Header());
    const std::string password = PasswordOfFile(file);
    ASSERT_EQ(password.size(), 32u);
    EXPECT_EQ(password[0], '\x04');
    for (size_t i = 1; i < 32; ++i) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(password[i]))) << i;
    // The block holds 4 units and nothing after them.
    EXPECT_EQ(file[kAtPassword], 4);
    for (size_t i = 32; i < 64; ++i) EXPECT_EQ(file[kAtPassword + i], 0) << i;
    // Stored scrambled, not in the clear.
    EXPECT_NE(std::string(file.begin() + kAtPassword, file.begin() + kAtPassword + 32), password);
}

TEST(VFileRoundTrip, SameSecondSamePasswordNextSecondNewPasswordAndBytes) {
    const std::vector<uint8_t> payload = ImageLikePayload(kDocumentImageBytes, 3);
    const auto first = BuildFile(payload, Qm5100Header(), 1780000000);
    const auto sameSecond = BuildFile(payload, Qm5100Header(), 1780000000);
    const auto nextSecond = BuildFile(payload, Qm5100Header(), 1780000001);

    EXPECT_EQ(PasswordOfFile(first), PasswordOfFile(sameSecond));
    EXPECT_NE(PasswordOfFile(first), PasswordOfFile(nextSecond));
    EXPECT_NE(ArchiveOf(first), ArchiveOf(nextSecond));

    for (const auto* file : {&first, &sameSecond, &nextSecond}) {
        std::vector<uint8_t> back;
        VFileHeader h;
        ASSERT_TRUE(LoadVFileFromBytes(*file, back, h));
        EXPECT_EQ(back, payload);
    }
}

TEST(SaveVFile, RefusesHeadersWithoutOneNameOfForm1) {
    TempDir dir;
    FixedClock clock;
    Pcg32Random random;
    const std::vector<uint8_t> payload = {1, 2, 3};
    struct Case { uint8_t form; uint16_t count; const char* name; };
    for (Case c : {Case{2, 1, "QM-5100_"}, Case{1, 2, "QM-5100_"}, Case{3, 3, "QM-5100_"}, Case{0, 1, "QM-5100_"},
                   Case{1, 0, "QM-5100_"}, Case{1, 1, ""}, Case{1, 1, "    "}}) {
        VFileHeader header = Qm5100Header();
        header.nameForm = c.form;
        header.nameCount = c.count;
        header.names.resize(std::max<size_t>(c.count, 1));
        SetFieldText(header.names[0], c.name);
        const VFileHeader before = header;
        EXPECT_FALSE(SaveVFile(dir / "x.vmcf", payload, header, clock, random)) << int(c.form) << "/" << c.count;
        EXPECT_EQ(header.passwordBlock, before.passwordBlock);
        EXPECT_EQ(header.fileLength, before.fileLength);
    }
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(SaveVFile, ReplacesTheTargetWholeAndLeavesNothingBeside) {
    TempDir dir;
    const auto path = dir / "doc.vmcf";
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    WriteBytes(path, old);

    FixedClock clock;
    Pcg32Random random;
    VFileHeader header = Qm5100Header();
    const auto payload = ImageLikePayload(70000);
    ASSERT_TRUE(SaveVFile(path, payload, header, clock, random));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"doc.vmcf"});
    std::vector<uint8_t> back;
    VFileHeader loaded;
    ASSERT_TRUE(LoadVFile(path, back, loaded));
    EXPECT_EQ(back, payload);
}

TEST(SaveVFile, AFailedSaveKeepsTheOldDocument) {
    TempDir dir;
    const auto path = dir / "doc.vmcf";
    const std::vector<uint8_t> old = BuildFile(ImageLikePayload(3000, 1), Qm5100Header());
    WriteBytes(path, old);
    FixedClock clock;
    Pcg32Random random;

    // Bad header: nothing is written at all.
    VFileHeader bad = Qm5100Header();
    bad.nameForm = 2;
    EXPECT_FALSE(SaveVFile(path, std::vector<uint8_t>(10, 1), bad, clock, random));
    EXPECT_EQ(ReadBytes(path), old);

    // The target cannot be replaced (a folder stands there): the new file
    // written beside it is removed again.
    const auto folderTarget = dir / "folder.vmcf";
    std::filesystem::create_directory(folderTarget);
    std::filesystem::create_directory(folderTarget / "inside");
    VFileHeader header = Qm5100Header();
    EXPECT_FALSE(SaveVFile(folderTarget, std::vector<uint8_t>(10, 1), header, clock, random));
    EXPECT_TRUE(std::filesystem::is_directory(folderTarget / "inside"));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"doc.vmcf", "folder.vmcf"}));

    // A folder that does not exist.
    EXPECT_FALSE(SaveVFile(dir / "missing" / "doc.vmcf", std::vector<uint8_t>(10, 1), header, clock, random));
    EXPECT_EQ(ReadBytes(path), old);
}

TEST(LoadVFile, MissingFileOrFolderFails) {
    TempDir dir;
    std::vector<uint8_t> payload = {7};
    VFileHeader h;
    EXPECT_FALSE(LoadVFile(dir / "none.vmcf", payload, h));
    EXPECT_FALSE(LoadVFile(dir.path(), payload, h));
    EXPECT_EQ(payload, std::vector<uint8_t>{7});
}

}  // namespace
}  // namespace orvalink
