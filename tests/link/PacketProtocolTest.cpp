// The older packet protocol of the 256 KB models at 38400 bit/s.
#include <gtest/gtest.h>

#include <vector>

#include "base/ByteIo.h"
#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class PacketProtocolTest : public LinkFixture {
protected:
    PacketProtocolTest() : old(256 * 1024) {
        // The old remote answers on the same cable.
        remoteOnCable = std::make_unique<RemoteOnCable>(old, port);
        for (size_t i = 0; i < old.Flash().size(); ++i) old.Flash()[i] = uint8_t(i * 13 + i / 128);
    }
    void SetUp() override {
        ASSERT_TRUE(link.EnsureLinkPort());
        ASSERT_TRUE(link.OpenLinkPortAt(38400));
    }
    // Wake-up, start and rate command of a write, with the upgrade page's pauses.
    bool StartWrite() {
        if (!link.Packets().PacketWakeUpWrite()) return false;
        link.WaitTicks(50);
        if (!link.Packets().PacketWriteStart()) return false;
        link.WaitTicks(100);
        return link.Packets().PacketRateWriter();
    }

    VirtualRemote old;
    std::unique_ptr<RemoteOnCable> remoteOnCable;
};

TEST_F(PacketProtocolTest, ReadAllPackets) {
    std::vector<uint8_t> buffer(262144, 0);
    ASSERT_TRUE(link.Packets().ReadPackets(0, 2047, buffer));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), old.Flash().begin()));
    EXPECT_EQ(view.status, "Seg = 2047");
    EXPECT_EQ(view.gauge, 262144);
    EXPECT_NE(view.monitor.find("Receive Packet Ok! \n"), std::string::npos);
    EXPECT_EQ(old.PacketsSent(), 2048);
}

TEST_F(PacketProtocolTest, ReadSomePacketsStoresThemAtTheirPlace) {
    std::vector<uint8_t> buffer(262144, 0);
    ASSERT_TRUE(link.Packets().ReadPackets(100, 102, buffer));
    EXPECT_TRUE(std::equal(buffer.begin() + 100 * 128, buffer.begin() + 103 * 128, old.Flash().begin() + 100 * 128));
    EXPECT_EQ(buffer[99 * 128], 0);
    EXPECT_EQ(buffer[103 * 128], 0);
}

TEST_F(PacketProtocolTest, ReadRangeIsChecked) {
    std::vector<uint8_t> buffer(262144, 0);
    port.ClearWritten();
    EXPECT_FALSE(link.Packets().PacketReadStart(5, 4));
    EXPECT_FALSE(link.Packets().PacketReadStart(0, 2048));
    EXPECT_TRUE(port.Written().empty());
}

TEST_F(PacketProtocolTest, ReadWithoutRemoteLogsTheWakeUpError) {
    old.Faults().hangUpAfter = 0;
    old.Receive(std::vector<uint8_t>{0x08}, 38400, pump.NowMicros());  // strikes at once
    std::vector<uint8_t> buffer(262144, 0);
    EXPECT_FALSE(link.Packets().ReadPackets(0, 10, buffer));
    EXPECT_NE(view.monitor.find("Weak Up Error! \n"), std::string::npos);
}

TEST_F(PacketProtocolTest, ReadEndsWhenTheRemoteFallsSilent) {
    old.Faults().silentAfter = 3;
    std::vector<uint8_t> buffer(262144, 0);
    EXPECT_FALSE(link.Packets().ReadPackets(0, 10, buffer));
    EXPECT_TRUE(Shown("Packet ABC Time Out! Over 500 ms! "));
    EXPECT_NE(view.monitor.find("Receive Packet Error! \n"), std::string::npos);
}

TEST_F(PacketProtocolTest, ReadStopsAtCancel) {
    std::vector<uint8_t> buffer(262144, 0);
    int seen = 0;
    EXPECT_FALSE(link.Packets().ReadPackets(0, 100, buffer, [&](int) {
        if (++seen == 10) link.SetUserAbort(true);
    }));
    EXPECT_EQ(seen, 10);
}

TEST_F(PacketProtocolTest, LateEchoesDoNotConfuseTheWakeUp) {
    // The adapter adds 6 ms each way: the PC sends a second wake byte before
    // the first echo is back.
    port.SetLatencyMicros(6000);
    std::vector<uint8_t> buffer(262144, 0);
    ASSERT_TRUE(link.Packets().ReadPackets(0, 3, buffer));
    EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + 4 * 128, old.Flash().begin()));
}

TEST_F(PacketProtocolTest, WritePackets) {
    ASSERT_TRUE(StartWrite());
    std::vector<uint8_t> packet(128);
    for (size_t i = 0; i < packet.size(); ++i) packet[i] = uint8_t(0xF0 ^ i);
    ASSERT_TRUE(link.Packets().PacketSend(7, packet));
    ASSERT_TRUE(link.Packets().PacketSend(2047, packet));
    EXPECT_TRUE(std::equal(packet.begin(), packet.end(), old.Flash().begin() + 7 * 128));
    EXPECT_TRUE(std::equal(packet.begin(), packet.end(), old.Flash().begin() + 2047 * 128));
    EXPECT_EQ(old.PacketsWritten(), 2);
    EXPECT_TRUE(ui.Messages().empty());
}

TEST_F(PacketProtocolTest, APacketNumberTheRemoteRefusesShowsItsWarning) {
    old.Faults().refuseBlock = 7;
    old.Faults().refuseTimes = 1;
    ASSERT_TRUE(StartWrite());
    std::vector<uint8_t> packet(128, 1);
    EXPECT_FALSE(link.Packets().PacketSend(7, packet));
    EXPECT_TRUE(Shown("Segment Time Out! ( 0x09 )"));
    EXPECT_EQ(ui.Messages().back().icon, MsgIcon::Warning);
    // Sent again, it goes through.
    EXPECT_TRUE(link.Packets().PacketSend(7, packet));
}

TEST_F(PacketProtocolTest, AWrongChecksumShowsItsWarning) {
    old.Faults().corruptBlock = 9;
    ASSERT_TRUE(StartWrite());
    std::vector<uint8_t> packet(128, 2);
    EXPECT_FALSE(link.Packets().PacketSend(9, packet));
    EXPECT_TRUE(Shown("Packet Check Sum Error !!!"));
}

TEST_F(PacketProtocolTest, ASilentRemoteAfterTheDataShowsNoAnswer) {
    ASSERT_TRUE(StartWrite());
    std::vector<uint8_t> packet(128, 3);
    ASSERT_TRUE(link.Packets().PacketSend(0, packet));
    old.Faults().silentAfter = 1;
    EXPECT_FALSE(link.Packets().PacketSend(1, packet));
    EXPECT_TRUE(Shown("Packet Time Out! Over 500 ms! "));
}

TEST_F(PacketProtocolTest, WriteWakeUpGivesUpOnCancel) {
    old.Faults().hangUpAfter = 0;
    old.Receive(std::vector<uint8_t>{0x08}, 38400, pump.NowMicros());
    pump.Schedule(100, [this] { link.SetUserAbort(true); });
    EXPECT_FALSE(link.Packets().PacketWakeUpWrite());
    EXPECT_TRUE(Shown("Transfer Broke!"));
}

TEST_F(PacketProtocolTest, BackupOfAnOldRemote) {
    std::vector<uint8_t> transfer;
    EXPECT_EQ(transfers.BackupDownloadPackets(transfer).kind, TransferResult::Ok);
    ASSERT_EQ(transfer.size(), 262144u);
    EXPECT_TRUE(std::equal(transfer.begin(), transfer.end(), old.Flash().begin()));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(PacketProtocolTest, FailedBackupLeavesTheTransferBufferAlone) {
    old.Faults().silentAfter = 1000;
    std::vector<uint8_t> transfer(262144, 0x5A);
    EXPECT_EQ(transfers.BackupDownloadPackets(transfer).kind, TransferResult::Failed);
    EXPECT_TRUE(std::all_of(transfer.begin(), transfer.end(), [](uint8_t b) { return b == 0x5A; }));
}

}  // namespace
}  // namespace orvalink::testing

namespace orvalink::testing {
namespace {

// A far end that answers each thing the PC sends with the next scripted
// bytes (an empty answer is silence).
class ScriptedPeer final : public CablePeer {
public:
    ScriptedPeer(LoopbackSerialPort& port, std::vector<std::vector<uint8_t>> answers)
        : port_(port), answers_(std::move(answers)) {
        port_.SetPeer(this);
    }
    ~ScriptedPeer() override { port_.SetPeer(nullptr); }
    void OnReceive(std::span<const uint8_t> bytes, int baud, uint64_t) override {
        received.insert(received.end(), bytes.begin(), bytes.end());
        if (next_ < answers_.size()) {
            const auto& a = answers_[next_++];
            if (!a.empty()) port_.SendFromPeer(a, baud);
        }
    }
    std::vector<uint8_t> received;

private:
    LoopbackSerialPort& port_;
    std::vector<std::vector<uint8_t>> answers_;
    size_t next_ = 0;
};

struct ReadStartCase {
    const char* name;
    std::vector<std::vector<uint8_t>> answers;  // to: wake 0x08, 0x04, the range, 0x06, 0x09
    const char* log;                            // nullptr: the start succeeds
};

class PacketReadStart : public LinkFixture, public ::testing::WithParamInterface<ReadStartCase> {};

TEST_P(PacketReadStart, EachStepHasItsLogLine) {
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(link.OpenLinkPortAt(38400));
    ScriptedPeer peer(port, GetParam().answers);
    const bool ok = link.Packets().PacketReadStart(0, 3);
    if (GetParam().log) {
        EXPECT_FALSE(ok);
        EXPECT_NE(view.monitor.find(GetParam().log), std::string::npos) << view.monitor;
    } else {
        EXPECT_TRUE(ok);
        pump.Advance(5);  // the last byte crosses the wire
        // The range went out high byte first, and the rate answer was acknowledged with 0x09.
        const std::vector<uint8_t> range = {0, 0, 0, 3};
        EXPECT_NE(std::search(peer.received.begin(), peer.received.end(), range.begin(), range.end()),
                  peer.received.end());
        EXPECT_EQ(peer.received.back(), 0x09);
    }
}

const ReadStartCase kReadStarts[] = {
    {"NoEcho", {{}}, "Weak Up Error! \n"},
    {"NoStartAck", {{0x08}, {}}, "Trans Action Error! \n"},
    {"NoSegmentAck", {{0x08}, {0x06}, {}}, "Trans SegMent Error! \n"},
    {"SegmentTimedOut", {{0x08}, {0x06}, {0x09}}, "Trans SegMent Error! \n"},
    {"NoEchoAfterTheSegment", {{0x08}, {0x06}, {0x06}}, "Trans Recv Strat Error! \n"},
    {"NoRateAnswer", {{0x08}, {0x06}, {0x06, 0x08}, {}}, "Change BitRate Error! \n"},
    {"AckAndEchoTogether", {{0x08}, {0x06}, {0x06, 0x08}, {'L'}, {}}, nullptr},
    {"RateHigh", {{0x08}, {0x06}, {0x06, 0x08}, {'H'}, {}}, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Steps, PacketReadStart, ::testing::ValuesIn(kReadStarts),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace orvalink::testing
