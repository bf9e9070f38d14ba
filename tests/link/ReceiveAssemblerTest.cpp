// The assembler and frame handler: what each receive mode accepts, when it
// hands a frame over and when the assembly starts over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/LinkFixture.h"

namespace orvalink::testing {
namespace {

class ReceiveAssemblerTest : public LinkFixture {
protected:
    void Feed(std::vector<uint8_t> bytes) { link.Receiver().Assemble(bytes); }
};

// One-byte modes: which bytes complete the wait, and whether the assembly
// starts over after an accepted byte.
struct OneByteCase {
    ReceiveMode mode;
    std::vector<uint8_t> accepted;
    bool resets;
};

TEST_F(ReceiveAssemblerTest, OneByteModesAcceptOnlyTheirBytes) {
    const OneByteCase cases[] = {
        {ReceiveMode::AckOrTimeout, {0x06, 0x09}, true},
        {ReceiveMode::WakeEcho, {0x08}, true},
        {ReceiveMode::BootAB, {0xAB}, true},
        {ReceiveMode::BootZero, {0x00}, false},
        {ReceiveMode::BootAA, {0xAA}, false},
        {ReceiveMode::RateHL, {'H', 'L'}, true},
        {ReceiveMode::BootW, {'W'}, false},
    };
    for (const auto& c : cases) {
        for (int b = 0; b < 256; ++b) {
            link.Expect(c.mode);
            Feed({uint8_t(b)});
            const bool accepted = std::find(c.accepted.begin(), c.accepted.end(), b) != c.accepted.end();
            ASSERT_EQ(link.Receiver().FrameReady(), accepted) << "mode " << int(c.mode) << " byte " << b;
            if (accepted) {
                EXPECT_EQ(link.Receiver().Frame()[0], b);
                EXPECT_EQ(link.Receiver().AssemblyLength(), c.resets ? 0u : 1u) << "mode " << int(c.mode);
            } else {
                // A refused byte stays in the assembly.
                EXPECT_EQ(link.Receiver().AssemblyLength(), 1u);
            }
        }
    }
}

TEST_F(ReceiveAssemblerTest, AnyByteTakesEveryByte) {
    link.Expect(ReceiveMode::AnyByte);
    Feed({0x41, 0x42});
    EXPECT_TRUE(link.Receiver().FrameReady());
    EXPECT_EQ(link.Receiver().Frame()[0], 0x42);
    EXPECT_EQ(link.Receiver().AssemblyLength(), 0u);
}

TEST_F(ReceiveAssemblerTest, SegmentAckSwitchesToWakeEcho) {
    link.Expect(ReceiveMode::SegmentAck);
    Feed({0x41, 0x06});
    EXPECT_TRUE(link.Receiver().FrameReady());
    EXPECT_EQ(link.CurrentReceiveMode(), ReceiveMode::WakeEcho);
    link.Receiver().ClearFrameReady();
    Feed({0x06, 0x41});
    EXPECT_FALSE(link.Receiver().FrameReady());
    Feed({0x08});
    EXPECT_TRUE(link.Receiver().FrameReady());
}

TEST_F(ReceiveAssemblerTest, WakeEchoIgnoresAckAndWakeBytes) {
    link.Expect(ReceiveMode::WakeEcho);
    Feed({0x06, 0x41, 0x06});
    EXPECT_FALSE(link.Receiver().FrameReady());
    Feed({0x08});
    EXPECT_TRUE(link.Receiver().FrameReady());
    EXPECT_EQ(link.Receiver().Frame()[0], 0x08);
}

// Multi-byte modes: the frame is handed over when its length is reached.
struct LengthCase {
    ReceiveMode mode;
    size_t length;
    bool resets;
};

TEST_F(ReceiveAssemblerTest, FramesAreHandedOverAtTheirLength) {
    const LengthCase cases[] = {
        {ReceiveMode::Word2, 2, true},          {ReceiveMode::Dword4, 4, true},
        {ReceiveMode::PacketNumber, 2, false},  {ReceiveMode::Packet128, 128, true},
        {ReceiveMode::Checksum2, 2, true},      {ReceiveMode::Reply16, 16, false},
        {ReceiveMode::Reply14, 14, false},      {ReceiveMode::Reply268, 268, false},
        {ReceiveMode::Block266, 266, false},    {ReceiveMode::IrCode514, 514, false},
    };
    for (const auto& c : cases) {
        link.Expect(c.mode);
        std::vector<uint8_t> bytes(c.length);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i + 1);
        // Split across two deliveries, as the port hands them over.
        Feed({bytes.begin(), bytes.end() - 1});
        ASSERT_FALSE(link.Receiver().FrameReady()) << "mode " << int(c.mode);
        Feed({bytes.back()});
        ASSERT_TRUE(link.Receiver().FrameReady()) << "mode " << int(c.mode);
        ASSERT_EQ(link.Receiver().Frame().size(), c.length);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), link.Receiver().Frame().begin()));
        EXPECT_EQ(link.Receiver().AssemblyLength(), c.resets ? 0u : c.length) << "mode " << int(c.mode);
    }
}

TEST_F(ReceiveAssemblerTest, Text8HandsOverTheTextAfterEveryByte) {
    link.Expect(ReceiveMode::Text8);
    const std::string text = "WRITE OK";
    for (size_t i = 0; i < 5; ++i) {
        link.Receiver().ClearFrameReady();
        Feed({uint8_t(text[i])});
        ASSERT_TRUE(link.Receiver().FrameReady());
        ASSERT_EQ(link.Receiver().Frame().size(), i + 1);
    }
    std::string seen(link.Receiver().Frame().begin(), link.Receiver().Frame().end());
    EXPECT_EQ(seen, "WRITE");
}

TEST_F(ReceiveAssemblerTest, ShortModesStartOverAfter128Bytes) {
    link.Expect(ReceiveMode::Reply16);
    // 17 bytes: the frame is handed over at 16, then the assembly keeps growing.
    std::vector<uint8_t> filler(129, 0x55);
    Feed(filler);
    EXPECT_EQ(link.Receiver().AssemblyLength(), 129u);
    link.Receiver().ClearFrameReady();
    // The next byte starts over at the beginning; 16 more make a frame again.
    std::vector<uint8_t> frame(16);
    for (size_t i = 0; i < 16; ++i) frame[i] = uint8_t(0xA0 + i);
    Feed(frame);
    ASSERT_TRUE(link.Receiver().FrameReady());
    EXPECT_EQ(link.Receiver().Frame()[0], 0xA0);
    EXPECT_EQ(link.Receiver().Frame()[15], 0xAF);
}

TEST_F(ReceiveAssemblerTest, LongModesKeepCollectingAndNeverOverflow) {
    link.Expect(ReceiveMode::Block266);
    std::vector<uint8_t> lots(30000, 0x77);
    Feed(lots);
    EXPECT_EQ(link.Receiver().AssemblyLength(), kAssemblySize);
    EXPECT_TRUE(link.Receiver().FrameReady());
    EXPECT_EQ(link.Receiver().Frame().size(), 266u);
}

TEST_F(ReceiveAssemblerTest, TestFramesGoToTheTestPageWithoutReady) {
    link.Expect(ReceiveMode::TestFrame994);
    std::vector<uint8_t> frame(994, 0x3C);
    Feed(frame);
    EXPECT_FALSE(link.Receiver().FrameReady());
    ASSERT_EQ(view.testFrames.size(), 1u);
    EXPECT_EQ(view.testFrames[0].size(), 994u);
}

TEST_F(ReceiveAssemblerTest, WithoutAModeNothingIsHandedOver) {
    link.Expect(ReceiveMode::None);
    std::vector<uint8_t> bytes(500, 0x06);
    Feed(bytes);
    EXPECT_FALSE(link.Receiver().FrameReady());
}

TEST_F(ReceiveAssemblerTest, DataAvailableReadsExactlyTheAnnouncedBytes) {
    // Bytes from the remote arrive through the port's event while waiting.
    ASSERT_TRUE(link.EnsureLinkPort());
    ASSERT_TRUE(link.OpenLinkPortAt(115200));
    link.Expect(ReceiveMode::Reply16);
    std::vector<uint8_t> reply(16);
    for (size_t i = 0; i < 16; ++i) reply[i] = uint8_t(i * 3);
    port.SendFromPeer(reply, 115200);
    ASSERT_TRUE(link.Channel().WaitFrame(100));
    EXPECT_TRUE(std::equal(reply.begin(), reply.end(), link.Receiver().Frame().begin()));
    EXPECT_EQ(port.InputCount(), 0u);
}

}  // namespace
}  // namespace orvalink::testing
