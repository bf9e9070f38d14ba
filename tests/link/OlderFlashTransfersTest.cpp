// The older 256 KB flash moved by hand over the packet protocol, against
// the virtual remote's older flash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/OlderFlashTransfers.h"
#include "link/sim/OlderRemote.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

std::vector<uint8_t> OlderPattern(uint8_t seed) {
    std::vector<uint8_t> f(kOlderFlashSize);
    for (size_t i = 0; i < f.size(); ++i) f[i] = uint8_t(i * 13 + seed + i / 128);
    return f;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class OlderFlashTransfersTest : public LinkFixture {
protected:
    OlderFlashTransfersTest() : older256(link) {
        remote.SetOlderRemote(&older);
        const auto p = OlderPattern(1);
        std::copy(p.begin(), p.end(), older.Flash().begin());
    }
    bool OlderFlashIs(const std::vector<uint8_t>& bytes) const {
        return std::equal(bytes.begin(), bytes.end(), older.Flash().begin());
    }

    OlderRemote older;
    OlderFlashTransfers older256;
};

TEST_F(OlderFlashTransfersTest, Recv256ReadsTheWholeOlderFlash) {
    std::vector<uint8_t> transfer;
    const auto outcome = older256.Recv256(transfer);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_TRUE(outcome.message.empty());
    ASSERT_EQ(transfer.size(), kOlderFlashSize);
    EXPECT_TRUE(OlderFlashIs(transfer));
    EXPECT_TRUE(Contains(view.monitor, "Receive Packet Ok! \n"));
    EXPECT_FALSE(port.IsOpen());
    // The main flash is not what the packets came from.
    EXPECT_TRUE(std::all_of(remote.Flash().begin(), remote.Flash().end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(OlderFlashTransfersTest, Send256WritesEveryPacket) {
    const auto data = OlderPattern(9);
    std::vector<uint8_t> transfer;
    const auto outcome = older256.Send256(data, transfer);
    ASSERT_TRUE(outcome.Ok());
    EXPECT_EQ(outcome.message, kSend256OkText);
    EXPECT_TRUE(OlderFlashIs(data));
    EXPECT_EQ(transfer, data);
    // The monitor starts over every 2048 bytes: only the last line is left.
    EXPECT_TRUE(Contains(view.monitor, "Send 2048 Packet Ok! \n"));
    EXPECT_GT(view.monitorClears, 100);
    EXPECT_EQ(view.status, "Seg = 2047");
    EXPECT_EQ(link.Progress(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(older.Changes(), 2048u);
}

TEST_F(OlderFlashTransfersTest, Send256RefusesDataOfAnotherLength) {
    std::vector<uint8_t> transfer(kOlderFlashSize, 0x11);
    const std::vector<uint8_t> shortData(kOlderFlashSize - 1, 0);
    EXPECT_FALSE(older256.Send256(shortData, transfer).Ok());
    EXPECT_TRUE(port.Written().empty());
    EXPECT_EQ(transfer[0], 0x11);
    EXPECT_TRUE(OlderFlashIs(OlderPattern(1)));
}

TEST_F(OlderFlashTransfersTest, Send256StopsAtARefusedPacket) {
    remote.Faults().refuseBlock = 5;
    std::vector<uint8_t> transfer;
    const auto outcome = older256.Send256(OlderPattern(9), transfer);
    EXPECT_EQ(outcome.kind, TransferResult::Failed);
    EXPECT_TRUE(outcome.message.empty());
    EXPECT_TRUE(Contains(view.monitor, "Send Packet Error! \n"));
    EXPECT_TRUE(Shown("Segment Time Out! ( 0x09 )"));
    EXPECT_EQ(older.Changes(), 5u);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(OlderFlashTransfersTest, Send256StopsAtCancel) {
    pump.Schedule(5000, [this] { link.SetUserAbort(true); });
    std::vector<uint8_t> transfer;
    const auto outcome = older256.Send256(OlderPattern(9), transfer);
    EXPECT_EQ(outcome.kind, TransferResult::Broken);
    EXPECT_EQ(outcome.message, kTransferBrokeText);
    EXPECT_GT(older.Changes(), 0u);
    EXPECT_LT(older.Changes(), 2048u);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(OlderFlashTransfersTest, SendPreWritesTheMarkAndTheCodeRegionOnly) {
    const auto remoteBefore = OlderPattern(1);
    auto transfer = OlderPattern(40);
    transfer[14] = 0xAB;
    transfer[15] = 0xCD;
    const auto file = transfer;
    const auto outcome = older256.SendPre(transfer);
    ASSERT_TRUE(outcome.Ok()) << view.monitor;
    EXPECT_EQ(outcome.message, kSendPreOkText);
    const auto f = older.Flash();
    // Packet 0: the remote's own, "8100" at its start, bytes 14 and 15 the file's.
    EXPECT_EQ(std::memcmp(f.data(), "8100", 5), 0);
    EXPECT_EQ(f[14], 0xAB);
    EXPECT_EQ(f[15], 0xCD);
    EXPECT_TRUE(std::equal(f.begin() + 5, f.begin() + 14, remoteBefore.begin() + 5));
    EXPECT_TRUE(std::equal(f.begin() + 16, f.begin() + 128, remoteBefore.begin() + 16));
    // The code region is the file's; everything else stays the remote's.
    const size_t from = size_t(kPreCodeFirstPacket) * 128, to = size_t(kPreCodeLastPacket + 1) * 128;
    EXPECT_TRUE(std::equal(f.begin() + long(from), f.begin() + long(to), file.begin() + long(from)));
    EXPECT_TRUE(std::equal(f.begin() + 128, f.begin() + long(from), remoteBefore.begin() + 128));
    EXPECT_TRUE(std::equal(f.begin() + long(to), f.end(), remoteBefore.begin() + long(to)));
    EXPECT_TRUE(Contains(view.monitor, "Send PreProgram Code Ok! \n"));
    EXPECT_EQ(view.status, "Seg = 1353");
}

TEST_F(OlderFlashTransfersTest, TheWritesGaugesCountBytesUpToTheirMaximum) {
    struct Case {
        const char* name;
        int maximum;
        bool code;  // the pre-programmed code write, else the whole flash
    };
    for (const Case c : {Case{"Send256", kSend256GaugeMaximum, false}, Case{"SendPre", kSendPreGaugeMaximum, true}}) {
        SCOPED_TRACE(c.name);
        pump.Advance(3000);
        view.gauges.clear();
        std::vector<uint8_t> transfer = OlderPattern(3);
        ASSERT_TRUE((c.code ? older256.SendPre(transfer) : older256.Send256(OlderPattern(3), transfer)).Ok());
        const auto& g = view.gauges;
        ASSERT_GE(g.size(), 2u);
        EXPECT_EQ(g.back(), 0);
        EXPECT_EQ(g[g.size() - 2], c.maximum);
        EXPECT_LE(*std::max_element(g.begin(), g.end()), c.maximum);
    }
}

TEST_F(OlderFlashTransfersTest, SendPreKeepsTheBufferWhenPacketZeroDoesNotCome) {
    older.SetEnd(FarEnd::Nothing);
    auto transfer = OlderPattern(40);
    const auto before = transfer;
    const auto outcome = older256.SendPre(transfer);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(transfer, before);
    EXPECT_TRUE(Contains(view.monitor, "Weak Up Error! \n"));
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace orvalink::testing
