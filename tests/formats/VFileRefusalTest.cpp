#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/BrokenVFiles.h"
#include "formats/Flashut.h"
#include "formats/VFileTestSupport.h"
#include "image/DeviceBundle.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

const fs::path kBrokenFolder = fs::path(ORVALINK_TEST_DATA_DIR) / "vfile-broken";
const fs::path kGoodFolder = fs::path(ORVALINK_TEST_DATA_DIR) / "vfile-good";

// A load that must fail and leave both outputs as they were.
void ExpectRefused(std::span<const uint8_t> file, const std::string& label) {
    std::vector<uint8_t> payload = {0xAB, 0xCD};
    VFileHeader header;
    header.modelCode = 4242;
    EXPECT_FALSE(LoadVFileFromBytes(file, payload, header)) << label;
    EXPECT_EQ(payload, (std::vector<uint8_t>{0xAB, 0xCD})) << label;
    EXPECT_EQ(header.modelCode, 4242) << label;
    EXPECT_TRUE(header.names.empty()) << label;
}

TEST(LoadVFileRefuses, EveryBrokenFileOfTheList) {
    const auto broken = MakeBrokenVFiles();
    ASSERT_GE(broken.size(), 30u);
    for (const BrokenVFile& b : broken) ExpectRefused(b.bytes, b.name);
}

TEST(LoadVFileRefuses, AnyChangedByteFromOffset4On) {
    const auto payload = ImageLikePayload(600, 5);
    const auto good = BuildFile(payload, Qm5100Header());
    std::vector<uint8_t> back;
    VFileHeader h;
    ASSERT_TRUE(LoadVFileFromBytes(good, back, h));
    for (size_t at = 4; at < good.size(); ++at) {
        auto changed = good;
        changed[at] ^= 0x01;
        ExpectRefused(changed, "offset " + std::to_string(at));
    }
    // The checksum field alone.
    for (size_t at = 0; at < 4; ++at) {
        auto changed = good;
        changed[at] ^= 0x80;
        ExpectRefused(changed, "checksum byte " + std::to_string(at));
    }
}

TEST(LoadVFileRefuses, FileLengthFieldOneOff) {
    // The file itself is sound; the length field is one off, the checksum right.
    const auto good = BuildFile(ImageLikePayload(2000, 8), Qm5100Header());
    for (int delta : {-1, 1}) {
        auto told = good;
        PutU32(told, kAtFileLength, uint32_t(int64_t(good.size()) + delta));
        PutU32(told, kAtChecksum, Sum32(std::span<const uint8_t>(told).subspan(4)));
        ExpectRefused(told, "length field " + std::to_string(delta));
    }
}

TEST(LoadVFileRefuses, PasswordOneCharacterOff) {
    const auto payload = ImageLikePayload(1500, 9);
    const auto good = BuildFile(payload, Qm5100Header());
    const auto archive = ArchiveOf(good);
    const std::string password = PasswordOfFile(good);

    // The right archive wrapped again with the right password loads...
    std::vector<uint8_t> back;
    VFileHeader h;
    ASSERT_TRUE(LoadVFileFromBytes(WrapArchive(Qm5100Header(), password, uint32_t(payload.size()), archive), back, h));
    EXPECT_EQ(back, payload);
    // ...with a password one character off it does not.
    for (size_t at : {size_t(0), size_t(1), size_t(31)}) {
        std::string other = password;
        other[at] = other[at] == 'A' ? 'B' : 'A';
        ExpectRefused(WrapArchive(Qm5100Header(), other, uint32_t(payload.size()), archive),
                      "password char " + std::to_string(at));
    }
}

TEST(LoadVFileRefuses, NeverInflatesMoreThanThePayloadLengthSays) {
    // The largest image's 2 MB of zeros compress to a few kilobytes; a
    // header saying 10 bytes must not make the loader inflate them.
    const std::string password = "\x04secretsecretsecretsecretsecret1";
    const std::vector<uint8_t> zeros(kMaxImagePayload, 0);
    const auto archive = ZipWithEntries({{"QM-5100_", zeros}}, password);
    ASSERT_LT(archive.size(), 100000u);
    ExpectRefused(WrapArchive(Qm5100Header(), password, 10, archive), "zip bomb");
    // The same archive loads when the header tells the truth.
    std::vector<uint8_t> back;
    VFileHeader h;
    ASSERT_TRUE(LoadVFileFromBytes(WrapArchive(Qm5100Header(), password, uint32_t(zeros.size()), archive), back, h));
    EXPECT_EQ(back.size(), zeros.size());
}

TEST(LoadVFileRefuses, APayloadLengthBeyondWhatItsKindHolds) {
    const std::string password = "\x04secretsecretsecretsecretsecret1";
    struct Case {
        uint16_t kind;
        size_t most;
        const char* label;
    };
    const Case cases[] = {
        {kKindVmcf, 8192 * 264, "the largest memory image"},
        {kKindVmcu, 65536, "the larger MCU program"},
        {kKindVmod, kMaxFlatBundleBytes, "a full device bundle"},
        {kKindVirc, 8192 * 264, "a kind no command reads"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(MaxPayloadOfKind(c.kind), c.most);
        // Zeros pack into a few kilobytes whatever the length.
        for (size_t length : {c.most, c.most + 1}) {
            const std::vector<uint8_t> zeros(length, 0);
            const auto file = WrapArchive(Qm5100Header(c.kind), password, uint32_t(length),
                                          ZipWithEntries({{"QM-5100_", zeros}}, password));
            ASSERT_LT(file.size(), 20000u);
            std::vector<uint8_t> back;
            VFileHeader h;
            std::string why;
            EXPECT_EQ(LoadVFileFromBytes(file, back, h, &why), length == c.most) << length;
            if (length == c.most) EXPECT_EQ(back.size(), length);
            else EXPECT_EQ(why, "payload length " + std::to_string(length) + " is more than a kind " +
                                    std::to_string(c.kind) + " file holds (" + std::to_string(c.most) + " bytes)");
        }
        // Refused before the archive is looked at: garbage behind a header
        // that claims 4 GiB gets the same answer.
        const auto claim = WrapArchive(Qm5100Header(c.kind), password, 0xFFFFFFFF, std::vector<uint8_t>(300, 0x5A));
        std::string why;
        std::vector<uint8_t> back;
        VFileHeader h;
        EXPECT_FALSE(LoadVFileFromBytes(claim, back, h, &why));
        EXPECT_NE(why.find("payload length 4294967295 is more than"), std::string::npos) << why;
        ExpectRefused(claim, c.label);

        // What cannot be read back is not written either.
        TempDir dir;
        VFileHeader header = Qm5100Header(c.kind);
        FixedClock clock;
        Pcg32Random random;
        EXPECT_FALSE(SaveVFile(dir / "too-long", std::vector<uint8_t>(c.most + 1, 0), header, clock, random));
        EXPECT_TRUE(dir.Entries().empty());
    }
}

TEST(LoadVFileRefuses, EveryFileOfTheBrokenFolder) {
    ASSERT_TRUE(fs::is_directory(kBrokenFolder)) << kBrokenFolder;
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(kBrokenFolder)) {
        if (!entry.is_regular_file()) continue;
        ++count;
        const std::string name = entry.path().filename().string();
        std::vector<uint8_t> payload = {1};
        VFileHeader header;
        EXPECT_FALSE(LoadVFile(entry.path(), payload, header)) << name;
        EXPECT_EQ(payload, std::vector<uint8_t>{1}) << name;
        ExpectRefused(ReadBytes(entry.path()), name);
    }
    // As many files as the list that made them.
    EXPECT_EQ(count, MakeBrokenVFiles().size());
}

TEST(LoadVFile, EveryFileOfTheGoodFolderGivesItsPayload) {
    ASSERT_TRUE(fs::is_directory(kGoodFolder)) << kGoodFolder;
    size_t count = 0;
    for (const auto& entry : fs::directory_iterator(kGoodFolder)) {
        if (entry.path().extension() == ".payload") continue;
        ++count;
        const std::string name = entry.path().filename().string();
        auto expectedPath = entry.path();
        expectedPath.replace_extension(".payload");
        ASSERT_TRUE(fs::exists(expectedPath)) << name;
        std::vector<uint8_t> payload;
        VFileHeader header;
        ASSERT_TRUE(LoadVFile(entry.path(), payload, header)) << name;
        EXPECT_EQ(payload, ReadBytes(expectedPath)) << name;
        EXPECT_EQ(FieldText(header.extensionText), entry.path().extension().string().substr(1)) << name;
    }
    EXPECT_GE(count, 3u);
}

// Writes the sample folders once; the files are kept in the tree:
//   orvalink_core_tests --gtest_also_run_disabled_tests --gtest_filter='VFileSamples.*'
// Needs Info-ZIP for the sample made by another tool.
TEST(VFileSamples, DISABLED_WriteSampleFolders) {
    fs::create_directories(kBrokenFolder);
    fs::create_directories(kGoodFolder);
    for (const BrokenVFile& b : MakeBrokenVFiles()) WriteBytes(kBrokenFolder / b.name, b.bytes);

    {
        const auto payload = ImageLikePayload(4096, 12);
        WriteBytes(kGoodFolder / "qm5100-kind100-v1_05.vmcf", BuildFile(payload, Qm5100Header(kKindVmcf, 0x0105)));
        WriteBytes(kGoodFolder / "qm5100-kind100-v1_05.payload", payload);
    }
    {
        const auto payload = ImageLikePayload(700, 12);
        WriteBytes(kGoodFolder / "qm5100-kind102-module.vmod", BuildFile(payload, Qm5100Header(kKindVmod, 0)));
        WriteBytes(kGoodFolder / "qm5100-kind102-module.payload", payload);
    }
    {
        // An archive made by Info-ZIP zip, in a header of ours.
        TempDir dir;
        const auto payload = ImageLikePayload(5000, 13);
        WriteBytes(dir / "QM-5100_", payload);
        const std::string password = "\x04" "InfoZipMadeThisArchive000000000";
        ASSERT_EQ(RunProgram({ORVALINK_ZIP_PROGRAM, "-q", "-j", "-P", password, (dir / "a.zip").string(),
                              (dir / "QM-5100_").string()},
                             dir / "log"),
                  0);
        WriteBytes(kGoodFolder / "infozip-archive-kind101.vmcu",
                   WrapArchive(Qm5100Header(kKindVmcu, 0x0102), password, uint32_t(payload.size()),
                               ReadBytes(dir / "a.zip")));
        WriteBytes(kGoodFolder / "infozip-archive-kind101.payload", payload);
    }
}

}  // namespace
}  // namespace orvalink
