// Loading a document into the image and saving the image as a document:
// the one pair of operations the windows and the command line share, with
// the outcome each caller turns into its texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/Documents.h"
#include "formats/VFiles.h"
#include "image/Tiflashut.h"
#include "formats/VFileTestSupport.h"

namespace orvalink::testing {
namespace {

class DocumentsTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, std::span<const uint8_t> payload, uint16_t kind, uint16_t model) {
        VFileHeader header = Qm5100Header(kind);
        header.modelCode = model;
        const auto path = dir_.path() / name;
        WriteBytes(path, BuildFile(payload, header));
        return path.string();
    }
    bool ImageStartsWith(std::span<const uint8_t> bytes) {
        auto image = flash_.Image();
        return image.size() >= bytes.size() && std::equal(bytes.begin(), bytes.end(), image.begin());
    }

    TempDir dir_;
    TTiFlashFm flash_;
    FixedClock clock_;
    Pcg32Random random_{11};
};

TEST_F(DocumentsTest, ADocumentLandsAtTheStartOfTheImage) {
    const auto payload = ImageLikePayload(5000, 3);
    const std::string path = Put("a.vmcf", payload, kKindVmcf, 2000);
    for (DocumentRule rule : {DocumentRule::NewerModels, DocumentRule::FamilyDocument}) {
        std::fill(flash_.Image().begin(), flash_.Image().end(), 0xEE);
        const DocumentOutcome o = LoadDocumentIntoImage(path, flash_, rule);
        ASSERT_TRUE(o.Ok()) << o.message;
        EXPECT_TRUE(o.message.empty());
        EXPECT_EQ(o.path, path);
        EXPECT_TRUE(ImageStartsWith(payload));
        EXPECT_EQ(flash_.Image()[payload.size()], 0xEE);
    }
}

TEST_F(DocumentsTest, RefusalsLeaveTheImageAndSayWhatTheCallerShows) {
    std::fill(flash_.Image().begin(), flash_.Image().end(), 0x5A);
    const std::vector<uint8_t> before(flash_.Image().begin(), flash_.Image().end());
    const std::string missing = (dir_.path() / "missing.vmcf").string();
    const std::string older = Put("older.vmcf", ImageLikePayload(100), kKindVmcf, 999);
    const std::string model = Put("model.vmod", ImageLikePayload(100), kKindVmod, 2000);
    const std::string family2300 = Put("b2300.vmcf", ImageLikePayload(100), kKindVmcf, 1000);

    DocumentOutcome o = LoadDocumentIntoImage(missing, flash_);
    EXPECT_EQ(o.kind, DocumentResult::Unreadable);
    EXPECT_EQ(o.message, "Load V File error ! \n\nPath: " + missing);
    EXPECT_EQ(o.icon, MsgIcon::Error);
    EXPECT_FALSE(o.why.empty());

    o = LoadDocumentIntoImage(older, flash_);
    EXPECT_EQ(o.kind, DocumentResult::OlderModel);
    EXPECT_TRUE(o.message.empty());

    // The windows take any file of a newer model; the command line only a
    // kind 100 document of the 5100 family.
    o = LoadDocumentIntoImage(model, flash_, DocumentRule::FamilyDocument);
    EXPECT_EQ(o.kind, DocumentResult::NotAFamilyDocument);
    EXPECT_EQ(o.message, "Not a QM-5100 family document (kind 102, model 2000) !\n\nPath: " + model);
    o = LoadDocumentIntoImage(family2300, flash_, DocumentRule::FamilyDocument);
    EXPECT_EQ(o.kind, DocumentResult::NotAFamilyDocument);
    o = LoadDocumentIntoImage(older, flash_, DocumentRule::FamilyDocument);
    EXPECT_EQ(o.kind, DocumentResult::NotAFamilyDocument);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), flash_.Image().begin()));

    EXPECT_TRUE(LoadDocumentIntoImage(model, flash_, DocumentRule::NewerModels).Ok());
}

TEST_F(DocumentsTest, APayloadLargerThanTheImageIsRefused) {
    TTiFlashFm small;
    small.SelectModel(kSelector2300);
    const auto payload = ImageLikePayload(small.ImageSize() + 1, 5);
    const std::string path = Put("big.vmcf", payload, kKindVmcf, 2000);
    const DocumentOutcome o = LoadDocumentIntoImage(path, small);
    EXPECT_EQ(o.kind, DocumentResult::TooLarge);
    EXPECT_EQ(o.message, "Load V File error ! \n\nPath: " + path);
}

TEST_F(DocumentsTest, TheImageSavedLoadsBackWithItsVersionWord) {
    auto image = flash_.Image();
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 13 + i / 264);
    image[27224] = 0x03;
    image[27225] = 0x07;
    const std::string path = (dir_.path() / "saved.vmcf").string();
    DocumentOutcome o = SaveImageAsDocument(flash_, 2000, path, clock_, random_);
    ASSERT_TRUE(o.Ok()) << o.message;
    EXPECT_EQ(o.path, path);
    std::vector<uint8_t> payload;
    VFileHeader header;
    ASSERT_TRUE(LoadVFile(path, payload, header));
    EXPECT_EQ(header.kindCode, kKindVmcf);
    EXPECT_EQ(header.versionWord, 0x0307);
    EXPECT_EQ(EntryNameOf(header), "QM-5100_");
    ASSERT_EQ(payload.size(), kDocumentImageBytes);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), image.begin()));

    // A folder that cannot take it: the system's text and the reason.
    const std::string nowhere = (dir_.path() / "no-such-folder" / "x.vmcf").string();
    o = SaveImageAsDocument(flash_, 2000, nowhere, clock_, random_);
    EXPECT_EQ(o.kind, DocumentResult::WriteFailed);
    EXPECT_EQ(o.message, "Make V File Error ! \n\nPath: " + nowhere);
    EXPECT_EQ(o.icon, MsgIcon::Error);

    // Nothing to save for the older families, and nothing written.
    const std::string olderPath = (dir_.path() / "older.vmcf").string();
    EXPECT_EQ(SaveImageAsDocument(flash_, 999, olderPath, clock_, random_).kind, DocumentResult::OlderModel);
    EXPECT_FALSE(std::filesystem::exists(olderPath));
}

}  // namespace
}  // namespace orvalink::testing
