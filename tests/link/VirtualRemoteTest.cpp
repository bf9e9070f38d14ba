// The virtual remote's own rules: its flash file, and what it does with
// commands the program should never send.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/LinkFixture.h"

namespace fs = std::filesystem;

namespace orvalink::testing {
namespace {

class VirtualRemoteTest : public LinkFixture {
protected:
    fs::path dir = fs::temp_directory_path() / ("orvalink-remote-" + std::to_string(::getpid()) + "-" +
                                                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
};

TEST_F(VirtualRemoteTest, FlashFileRoundTrip) {
    FillRemote(11);
    std::string error;
    const auto file = (dir / "flash.bin").string();
    ASSERT_TRUE(remote.SaveFlash(file, error)) << error;
    EXPECT_FALSE(fs::exists(file + ".part"));
    VirtualRemote other;
    ASSERT_TRUE(other.LoadFlash(file, error)) << error;
    EXPECT_TRUE(std::equal(other.Flash().begin(), other.Flash().end(), remote.Flash().begin()));
}

TEST_F(VirtualRemoteTest, AFlashFileOfTheWrongSizeChangesNothing) {
    const auto file = (dir / "short.bin").string();
    std::ofstream(file, std::ios::binary) << "too short";
    FillRemote(12);
    std::vector<uint8_t> before(remote.Flash().begin(), remote.Flash().end());
    std::string error;
    EXPECT_FALSE(remote.LoadFlash(file, error));
    EXPECT_NE(error.find("9 bytes"), std::string::npos);
    EXPECT_FALSE(remote.LoadFlash((dir / "missing.bin").string(), error));
    EXPECT_TRUE(std::equal(before.begin(), before.end(), remote.Flash().begin()));
}

TEST_F(VirtualRemoteTest, SavingIntoAMissingFolderFailsCleanly) {
    std::string error;
    EXPECT_FALSE(remote.SaveFlash((dir / "no" / "such" / "flash.bin").string(), error));
    EXPECT_FALSE(error.empty());
}

TEST_F(VirtualRemoteTest, ReadsBeyondTheFlashAreRefused) {
    ASSERT_TRUE(link.EnsureLinkPort());
    link.Expect(ReceiveMode::Word2);
    ASSERT_TRUE(link.Blocks().WakeForTransfer());
    std::vector<uint8_t> out(2 * kBlockBytes);
    port.ClearWritten();
    EXPECT_FALSE(link.Blocks().ReadBlocks(4095, 2, out));
    EXPECT_EQ(remote.BlocksSent(), 0);
    EXPECT_EQ(port.Written().back(), 'C');
}

TEST_F(VirtualRemoteTest, ItSleepsAgainAfterASilence) {
    ASSERT_TRUE(link.EnsureLinkPort());
    link.Expect(ReceiveMode::Word2);
    ASSERT_TRUE(link.Blocks().WakeForTransfer());
    EXPECT_EQ(remote.StateName(), "Command");
    pump.Advance(3000);
    EXPECT_EQ(remote.StateName(), "Asleep");
}

}  // namespace
}  // namespace orvalink::testing
