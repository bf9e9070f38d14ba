// The whole-flash and pre-programmed code writes of the 256 KB remotes,
// against the virtual remote on the older packet protocol.
#include <gtest/gtest.h>

#include <vector>

#include "link/OlderFlashWrites.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class OlderFlashWritesTest : public LinkFixture {
protected:
    OlderFlashWritesTest() : old(kOlderFlashBytes), file(kOlderFlashBytes) {
        remoteOnCable = std::make_unique<RemoteOnCable>(old, port);
        for (size_t i = 0; i < old.Flash().size(); ++i) old.Flash()[i] = uint8_t(i * 13 + i / 128);
        for (size_t i = 0; i < file.size(); ++i) file[i] = uint8_t(i * 7 + 3);
    }
    VirtualRemote old;
    std::unique_ptr<RemoteOnCable> remoteOnCable;
    std::vector<uint8_t> file;
    std::vector<uint8_t> transfer;
};

TEST_F(OlderFlashWritesTest, WholeFlashSendsEveryPacketOfTheFile) {
    TransferOutcome outcome = WriteWholeFlash256k(link, file, transfer);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_EQ(outcome.message, "Upgrade Flash Memory Sucess !");
    EXPECT_TRUE(std::equal(file.begin(), file.end(), old.Flash().begin()));
    EXPECT_EQ(old.PacketsWritten(), 2048);
    EXPECT_NE(view.monitor.find("Send 2048 Packet Ok! \n"), std::string::npos);
    EXPECT_EQ(view.status, "Seg = 2047");
    EXPECT_EQ(view.gauge, 0);  // reset at the end
}

TEST_F(OlderFlashWritesTest, PreProgramCodeKeepsTheRemotesPacketZeroButItsMark) {
    std::vector<uint8_t> remoteBefore(old.Flash().begin(), old.Flash().end());
    transfer = file;
    TransferOutcome outcome = WritePreProgramCode(link, transfer);
    ASSERT_TRUE(outcome.Ok()) << outcome.message;
    EXPECT_EQ(outcome.message, "Pre-Program Code Upgrade Sucess!");
    auto f = old.Flash();
    // "8100" and a zero at the start, bytes 14 and 15 the file's, the rest of
    // packet 0 the remote's own.
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "8100");
    EXPECT_EQ(f[4], 0);
    EXPECT_EQ(f[14], file[14]);
    EXPECT_EQ(f[15], file[15]);
    EXPECT_TRUE(std::equal(f.begin() + 5, f.begin() + 14, remoteBefore.begin() + 5));
    EXPECT_TRUE(std::equal(f.begin() + 16, f.begin() + 128, remoteBefore.begin() + 16));
    // The code packets are the file's; what lies between and after is untouched.
    EXPECT_TRUE(std::equal(f.begin() + 548 * 128, f.begin() + 1902 * 128, file.begin() + 548 * 128));
    EXPECT_TRUE(std::equal(f.begin() + 128, f.begin() + 548 * 128, remoteBefore.begin() + 128));
    EXPECT_TRUE(std::equal(f.begin() + 1902 * 128, f.end(), remoteBefore.begin() + 1902 * 128));
    EXPECT_EQ(old.PacketsWritten(), 1 + 1354);
    EXPECT_EQ(view.status, "Seg = 1353");
    EXPECT_NE(view.monitor.find("Send PreProgram Code Ok! \n"), std::string::npos);
}

TEST_F(OlderFlashWritesTest, SilentRemoteWritesNothing) {
    remoteOnCable.reset();  // nobody on the cable
    transfer = file;
    TransferOutcome outcome = WritePreProgramCode(link, transfer);
    EXPECT_FALSE(outcome.Ok());
    // The file's bytes 14 and 15 are back where they were.
    EXPECT_EQ(transfer[14], file[14]);
    EXPECT_EQ(transfer[15], file[15]);
    EXPECT_EQ(old.PacketsWritten(), 0);
}

}  // namespace
}  // namespace orvalink::testing
