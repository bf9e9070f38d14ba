// The factory document bk/default_.vmcf as the build made it: it loads as a
// QM-5100 document whose image shows Home, the starter devices and Macro.
#include <gtest/gtest.h>

#include <filesystem>

#include "formats/Flashut.h"
#include "image/DeviceTree.h"
#include "tests/tools/FactoryTestSupport.h"
#include "tools/gen-default/FactoryDocument.h"

namespace orvalink::testing {
namespace {

const std::filesystem::path kDocument = std::filesystem::path(ORVALINK_PROGRAM_DIR) / "bk" / "default_.vmcf";

TEST(FactoryDocument, LoadsAsAQm5100DocumentHoldingTheFactoryImage) {
    ASSERT_TRUE(TheFactory().ok) << TheFactory().error;
    std::vector<uint8_t> payload;
    VFileHeader header;
    ASSERT_TRUE(LoadVFile(kDocument, payload, header));
    EXPECT_EQ(header.kindCode, kKindVmcf);
    EXPECT_EQ(header.modelCode, 2000);
    EXPECT_EQ(header.versionWord, 0x0100);
    EXPECT_EQ(FieldText(header.modelName), "QM-5100");
    EXPECT_EQ(EntryNameOf(header), "QM-5100_");
    ASSERT_EQ(payload.size(), kDocumentImageBytes);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), TheFactory().flash.Image().begin()));
}

TEST(FactoryDocument, ItsTreeIsHomeTheStarterDevicesAndMacro) {
    std::vector<uint8_t> payload;
    VFileHeader header;
    ASSERT_TRUE(LoadVFile(kDocument, payload, header));
    // As New does: the payload copied over a fresh QM-5100 image.
    TTiFlashFm flash;
    ASSERT_TRUE(flash.SelectModel(kSelector5100));
    std::copy(payload.begin(), payload.end(), flash.Image().begin());
    std::vector<std::string> names;
    for (const auto& node : BuildDeviceTree(flash)) {
        EXPECT_EQ(node.depth, 1);
        names.push_back(node.text);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"TV", "DVD", "SAT", "Audio", "CD", "AUX"}));
    KeyInfo macroKey;
    for (int k = 0; k < kKeysPerDevice; ++k) EXPECT_FALSE(ReadKey(flash, kMacroSlot, k, macroKey));
}

TEST(FactoryDocument, SameImageGivesTheSameHeaderAndPassword) {
    std::vector<uint8_t> again;
    std::string error;
    ASSERT_TRUE(gen::FactoryDocumentBytes(TheFactory().flash, again, error)) << error;
    std::vector<uint8_t> built;
    std::vector<uint8_t> payload;
    VFileHeader first, second;
    ASSERT_TRUE(LoadVFile(kDocument, payload, first));
    ASSERT_TRUE(LoadVFileFromBytes(again, payload, second));
    EXPECT_EQ(first.passwordBlock, second.passwordBlock);
    EXPECT_EQ(first.payloadLength, second.payloadLength);
}

}  // namespace
}  // namespace orvalink::testing
