#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "image/BlockStore.h"
#include "image/DeviceTree.h"
#include "support/ImageHelpers.h"

namespace orvalink {
namespace {

using testing::DeviceKey;
using testing::SoftKey;

TEST(DeviceTree, FreshImageHasNoDeviceNodes) {
    TTiFlashFm flash;
    EXPECT_TRUE(BuildDeviceTree(flash).empty());
}

TEST(DeviceTree, NestedDevicesInKeyOrderAndEmptyLabels) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 12, DeviceKey("DVD", 2)));
    ASSERT_TRUE(WriteKey(flash, 0, 7, DeviceKey("TV", 1)));
    ASSERT_TRUE(WriteKey(flash, 0, 8, SoftKey("not a device")));
    ASSERT_TRUE(WriteKey(flash, 1, 20, DeviceKey("", 3)));
    ASSERT_TRUE(WriteKey(flash, 3, 6, DeviceKey("Deep", 4)));
    auto nodes = BuildDeviceTree(flash);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].text, "TV");
    EXPECT_EQ(nodes[0].depth, 1);
    EXPECT_EQ(nodes[0].key.link, 1);
    EXPECT_EQ(nodes[1].text, "");
    EXPECT_EQ(nodes[1].depth, 2);
    EXPECT_EQ(nodes[2].text, "Deep");
    EXPECT_EQ(nodes[2].depth, 3);
    EXPECT_EQ(nodes[3].text, "DVD");
    EXPECT_EQ(nodes[3].depth, 1);
}

TEST(DeviceTree, LoopStopsAt64LevelsAndAgainOnTheNextBuild) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("Three", 3)));
    ASSERT_TRUE(WriteKey(flash, 3, 6, DeviceKey("Four", 4)));
    ASSERT_TRUE(WriteKey(flash, 4, 6, DeviceKey("Back", 3)));
    for (int pass = 0; pass < 2; ++pass) {
        auto nodes = BuildDeviceTree(flash);
        ASSERT_EQ(nodes.size(), 65u) << pass;  // the Home node's child plus 64 levels below it
        EXPECT_EQ(nodes.back().depth, 65);
        EXPECT_EQ(nodes[1].text, "Four");
        EXPECT_EQ(nodes[2].text, "Back");
    }
}

// Two devices that link to each other twice would give 2^64 nodes; the tree
// stops at its node limit, keeps the first nodes in tree order, and a plain
// loop beside it is not affected.
TEST(DeviceTree, DoubledLoopsStopAtTheNodeLimit) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 6, DeviceKey("Three", 3)));
    for (int k : {6, 7}) {
        ASSERT_TRUE(WriteKey(flash, 3, k, DeviceKey("Four", 4)));
        ASSERT_TRUE(WriteKey(flash, 4, k, DeviceKey("Back", 3)));
    }
    auto nodes = BuildDeviceTree(flash);
    ASSERT_EQ(nodes.size(), kMaxTreeNodes);
    EXPECT_EQ(nodes[0].text, "Three");
    EXPECT_EQ(nodes[1].depth, 2);
    EXPECT_EQ(nodes[2].depth, 3);
}

TEST(DeviceTree, DeviceNameText) {
    const uint8_t label[] = {'S', 'a', 't', 163, 170, 'x', 13, 'y'};
    EXPECT_EQ(DeviceNameText(label), "Sat\xC3\x9Fx");
    std::vector<uint8_t> longLabel(50, 'n');
    EXPECT_EQ(DeviceNameText(longLabel).size(), 39u);
}

TEST(DeviceRecordForSlot, HomeAndMacroGetAMadeUpHardPageDeviceKey) {
    for (auto [slot, label] : {std::pair{kHomeSlot, std::string("Home ")}, std::pair{kMacroSlot, std::string("Macro")}}) {
        KeyInfo record;
        ASSERT_TRUE(DeviceRecordForSlot(slot, {}, record)) << slot;
        EXPECT_EQ(record.keyType, kKeyDevice);
        EXPECT_EQ(record.page, kHardKeyPage);
        EXPECT_EQ(record.size, 2);
        EXPECT_EQ(record.flags, kFlagAlignRight | kFlagHasCode | kFlagWhite);
        EXPECT_EQ(record.width, 2);
        EXPECT_EQ(record.height, 2);
        EXPECT_EQ(record.link, slot);
        EXPECT_EQ(DeviceNameText(record.label), label);
    }
}

TEST(DeviceRecordForSlot, OtherSlotsTakeTheFirstTreeKeyLinkingThereOrNone) {
    TTiFlashFm flash;
    ASSERT_TRUE(WriteKey(flash, 0, 7, DeviceKey("TV", 3)));
    ASSERT_TRUE(WriteKey(flash, 0, 9, DeviceKey("DVD", 4)));
    ASSERT_TRUE(WriteKey(flash, 4, 6, DeviceKey("Again", 3)));
    std::vector<KeyInfo> keys;
    for (const auto& node : BuildDeviceTree(flash)) keys.push_back(node.key);

    KeyInfo record;
    ASSERT_TRUE(DeviceRecordForSlot(3, keys, record));
    EXPECT_EQ(DeviceNameText(record.label), "TV");
    ASSERT_TRUE(DeviceRecordForSlot(4, keys, record));
    EXPECT_EQ(DeviceNameText(record.label), "DVD");
    EXPECT_EQ(record.link, 4);

    KeyInfo untouched = DefaultKey();
    untouched.column = 17;
    EXPECT_FALSE(DeviceRecordForSlot(9, keys, untouched));
    EXPECT_EQ(untouched.column, 17);
    EXPECT_FALSE(DeviceRecordForSlot(3, {}, untouched));
}

}  // namespace
}  // namespace orvalink

namespace orvalink {
namespace {

// A device number is free only when its link trailer says so (0xFF): a
// linked device (0) and any other state are in use, and Home and Macro are
// never device numbers.
struct FreeNumbersCase {
    const char* name;
    std::vector<std::pair<int, uint8_t>> linkStates;  // device, link state written
    std::vector<int> taken;                           // expected to be missing from 1..64
};

void PrintTo(const FreeNumbersCase& c, std::ostream* os) { *os << c.name; }

class UnlinkedDevices : public ::testing::TestWithParam<FreeNumbersCase> {};

TEST_P(UnlinkedDevices, OnlyTrailersMarkedFreeCount) {
    TTiFlashFm flash;
    for (auto [device, state] : GetParam().linkStates) {
        LinkTrailer trailer;
        ASSERT_TRUE(ReadLinkTrailer(flash, device, trailer));
        trailer.linkState = state;
        ASSERT_TRUE(WriteLinkTrailer(flash, device, trailer));
    }
    std::vector<int> expected;
    for (int d = 1; d <= kLastDeviceSlot; ++d)
        if (std::find(GetParam().taken.begin(), GetParam().taken.end(), d) == GetParam().taken.end())
            expected.push_back(d);
    EXPECT_EQ(UnlinkedDeviceNumbers(flash), expected);
}

INSTANTIATE_TEST_SUITE_P(
    LinkStates, UnlinkedDevices,
    ::testing::Values(FreeNumbersCase{"FreshImage", {}, {}},
                      FreeNumbersCase{"LinkedEdges", {{1, 0}, {64, 0}}, {1, 64}},
                      FreeNumbersCase{"OtherStatesAreInUse", {{2, 1}, {3, 0xFE}, {5, 0xFF}}, {2, 3}},
                      FreeNumbersCase{"HomeAndMacroAreNoDevices", {{0, 0xFF}, {65, 0xFF}, {7, 0}}, {7}}),
    [](const ::testing::TestParamInfo<FreeNumbersCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalink
