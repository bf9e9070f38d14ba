#include <gtest/gtest.h>

#include <vector>

#include "formats/Flashut.h"
#include "formats/ModelCatalogue.h"

namespace orvalink {
namespace {

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

}  // namespace
}  // namespace orvalink
