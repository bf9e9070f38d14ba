#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/Documents.h"
#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"
#include "platform/Random.h"
#include "platform/doubles/FixedClock.h"

namespace orvalink {
namespace {

namespace fs = std::filesystem;

TEST(DocumentHeader, VersionWordOfA5100ImageIsBytes27224And27225) {
    std::vector<uint8_t> image(30000, 0xFF);
    image[27224] = 0x01;
    image[27225] = 0x07;
    image[15] = 0x03;
    image[14] = 0x02;
    uint16_t model5100 = 0;
    ASSERT_TRUE(ModelCodeOf("QM-5100", model5100));
    EXPECT_EQ(ImageVersionWord(image, model5100), 0x0107);
}

TEST(DocumentHeader, VersionWordOfAShortImageIsZero) {
    uint16_t model5100 = 0;
    ASSERT_TRUE(ModelCodeOf("QM-5100", model5100));
    std::vector<uint8_t> image(27225, 0x11);
    EXPECT_EQ(ImageVersionWord(image, model5100), 0);
    EXPECT_EQ(ImageVersionWord({}, model5100), 0);
}

TEST(DocumentHeader, IsAQm5100DocumentWithOneEntry) {
    VFileHeader header;
    ASSERT_TRUE(FillDocumentHeader(0x0105, header));
    EXPECT_EQ(header.kindCode, kKindVmcf);
    EXPECT_EQ(header.modelCode, 2000);
    EXPECT_EQ(header.versionWord, 0x0105);
    EXPECT_EQ(EntryNameOf(header), "QM-5100_");
}

// A backup keeps what the remote's family keeps: the version word from
// where that family's image holds it, the remote's own model code below the
// 5100 family, and the bytes read.
TEST(DocumentHeader, BackupOfEachFamilyCarriesItsVersionModelAndBytes) {
    const fs::path dir = fs::temp_directory_path() / ("orvalink-backup-document-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const struct {
        uint16_t model;
        size_t flashBytes;
        uint16_t savedModel;
        uint16_t version;
        size_t payloadBytes;
        const char* entry;
    } cases[] = {
        {2000, 4096 * 264, 2000, 0x0107, kDocumentImageBytes, "QM-5100_"},
        {2010, 4096 * 264, 2000, 0x0107, kDocumentImageBytes, "QM-5100_"},  // the Slimline
        {1000, 2048 * 264, 1000, 0x0309, 2048 * 264, "QM-2300_A_"},
        {1095, 2048 * 264, 1095, 0x0309, 2048 * 264, "QM-1400_"},
        {100, 262144, 100, 0, 262144, "QM-8100_"},  // an older remote's flash keeps no version we know
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.model);
        std::vector<uint8_t> flash(c.flashBytes);
        for (size_t i = 0; i < flash.size(); ++i) flash[i] = uint8_t(i * 31 + (i >> 11));
        flash[27224] = 0x01, flash[27225] = 0x07;  // a 5100-family image's version
        flash[15] = 0x03, flash[14] = 0x09;        // a 2300-family image's version
        const std::string path = (dir / ("backup-" + std::to_string(c.model) + ".vmcf")).string();
        FixedClock clock{1780000123, LocalDate{2026, 6, 7}};
        Pcg32Random random(5);
        const DocumentOutcome saved = SaveBackupDocument(c.model, flash, path, clock, random);
        ASSERT_TRUE(saved.Ok()) << saved.message << saved.why;
        std::vector<uint8_t> payload;
        VFileHeader header;
        ASSERT_TRUE(LoadVFile(path, payload, header));
        EXPECT_EQ(header.kindCode, kKindVmcf);
        EXPECT_EQ(header.modelCode, c.savedModel);
        EXPECT_EQ(header.versionWord, c.version);
        EXPECT_EQ(EntryNameOf(header), c.entry);
        ASSERT_EQ(payload.size(), c.payloadBytes);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), flash.begin()));
    }
    // A 5100-family image too short for a document writes nothing.
    const std::string shortPath = (dir / "short.vmcf").string();
    FixedClock clock{1780000123, LocalDate{2026, 6, 7}};
    Pcg32Random random(5);
    EXPECT_EQ(SaveBackupDocument(2000, std::vector<uint8_t>(2048 * 264), shortPath, clock, random).kind,
              DocumentResult::NotReady);
    EXPECT_FALSE(fs::exists(shortPath));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace orvalink
