// V files against Info-ZIP's zip and unzip: the archive we write opens with
// unzip and the password recovered from the header, and an archive zip made
// loads once wrapped in a header. The password starts with the control
// character 4, so it is handed over as an argument vector element, never
// through a shell.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/Flashut.h"
#include "formats/VFileTestSupport.h"
#include "image/Tiflashut.h"

namespace orvalink {
namespace {

using namespace orvalink::testing;

class InfoZip : public ::testing::Test {
protected:
    void SetUp() override {
        zip_ = ORVALINK_ZIP_PROGRAM;
        unzip_ = ORVALINK_UNZIP_PROGRAM;
        if (zip_.empty() || unzip_.empty() || !fs::exists(zip_) || !fs::exists(unzip_))
            GTEST_SKIP() << "Info-ZIP zip and unzip are not installed";
    }
    int Unzip(const std::string& password, const fs::path& archive, const fs::path& into) {
        return RunProgram({unzip_, "-q", "-o", "-P", password, archive.string(), "-d", into.string()}, dir_ / "log");
    }
    int Zip(const std::string& password, const fs::path& archive, const fs::path& file) {
        return RunProgram({zip_, "-q", "-j", "-P", password, archive.string(), file.string()}, dir_ / "log");
    }
    std::string Log() { return ReadText(dir_ / "log"); }

    TempDir dir_;
    std::string zip_;
    std::string unzip_;
};

TEST_F(InfoZip, UnzipOpensTheArchiveWeWrite) {
    for (size_t size : {kDocumentImageBytes, size_t(700), size_t(0)}) {
        SCOPED_TRACE(size);
        const auto payload = ImageLikePayload(size, 31 + size);
        VFileHeader header = Qm5100Header();
        FixedClock clock;
        Pcg32Random random;
        const auto path = dir_ / "doc.vmcf";
        ASSERT_TRUE(SaveVFile(path, payload, header, clock, random));

        // Cut off the header; the archive starts at offset 157.
        const auto file = ReadBytes(path);
        WriteBytes(dir_ / "doc.zip", ArchiveOf(file));
        const std::string password = PasswordOfFile(file);
        ASSERT_EQ(password.size(), 32u);
        ASSERT_EQ(password[0], '\x04');

        const auto out = dir_ / ("out" + std::to_string(size));
        ASSERT_EQ(Unzip(password, dir_ / "doc.zip", out), 0) << Log();
        EXPECT_EQ(ReadBytes(out / "QM-5100_"), payload);
        EXPECT_EQ(fs::directory_iterator(out)->path().filename(), "QM-5100_");
    }
}

TEST_F(InfoZip, TheArchiveIsReallyEncrypted) {
    const auto payload = ImageLikePayload(20000, 2);
    const auto file = BuildFile(payload, Qm5100Header());
    WriteBytes(dir_ / "doc.zip", ArchiveOf(file));
    std::string wrong = PasswordOfFile(file);
    wrong[1] = wrong[1] == 'a' ? 'b' : 'a';
    EXPECT_NE(Unzip(wrong, dir_ / "doc.zip", dir_ / "out"), 0);
    EXPECT_FALSE(fs::exists(dir_ / "out" / "QM-5100_") && ReadBytes(dir_ / "out" / "QM-5100_") == payload);
}

TEST_F(InfoZip, AnArchiveMadeByZipLoadsInOurHeader) {
    // A password as we make them, control character first.
    Pcg32Random random;
    FixedClock clock(1790000000);
    const auto plain = MakePasswordBlock(clock, random);
    const std::string password = PasswordOfBlock(plain);
    ASSERT_EQ(password[0], '\x04');

    for (size_t size : {kDocumentImageBytes, size_t(10240), size_t(1)}) {
        SCOPED_TRACE(size);
        const auto payload = ImageLikePayload(size, 77 + size);
        const auto entry = dir_ / "QM-5100_";
        WriteBytes(entry, payload);
        const auto archive = dir_ / ("made" + std::to_string(size) + ".zip");
        ASSERT_EQ(Zip(password, archive, entry), 0) << Log();

        // Our header around it: entry name, scrambled password block, lengths, checksum.
        const auto file = WrapArchive(Qm5100Header(kKindVmcf, 0x0107), password, uint32_t(size), ReadBytes(archive));
        std::vector<uint8_t> back;
        VFileHeader h;
        ASSERT_TRUE(LoadVFileFromBytes(file, back, h));
        EXPECT_EQ(back, payload);
        EXPECT_EQ(h.versionWord, 0x0107);

        // The same file with the password block of another second is refused.
        FixedClock later(1790000001);
        const std::string other = PasswordOfBlock(MakePasswordBlock(later, random));
        std::vector<uint8_t> untouched = {5};
        EXPECT_FALSE(LoadVFileFromBytes(
            WrapArchive(Qm5100Header(kKindVmcf, 0x0107), other, uint32_t(size), ReadBytes(archive)), untouched, h));
        EXPECT_EQ(untouched, std::vector<uint8_t>{5});
    }
}

}  // namespace
}  // namespace orvalink
