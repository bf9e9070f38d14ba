#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "image/LearnedCodes.h"

namespace orvalink {
namespace {

// A learned code as the link delivers it: a Normal code (type in bits 3..5 of
// the flags, other flag bits set too) with two timing entries and 12 one-bit
// symbols, then bytes that are not part of the code.
LearnedCode SampleLearned() {
    LearnedCode l{};
    std::fill(l.begin(), l.end(), uint8_t(0xEE));
    l[0] = 3;                 // size as the remote counted it
    l[1] = (kCodePulse << 3) | 0x83;
    l[2] = 0x5A;
    l[3] = 0x77;
    l[4] = 190;               // carrier: 0.2 us units
    l[5] = 12;                // first frame
    l[6] = 0xFF;              // no repeat frame
    l[7] = 2;                 // timing entries
    const uint8_t body[] = {0x10, 0x01, 0x20, 0x02, 0x30, 0x03, 0x40, 0x04, 0xA5, 0x0C};
    std::copy(std::begin(body), std::end(body), l.begin() + 8);
    return l;
}

TEST(LearnedCodes, CarrierRoundingBothWays) {
    struct Row { uint8_t byte; uint16_t period; };
    // 16 x b / 10 with +1 from a remainder of 5.
    for (Row r : {Row{190, 304}, Row{0, 0}, Row{1, 2}, Row{2, 3}, Row{3, 5}, Row{5, 8}, Row{7, 11}, Row{255, 408}})
        EXPECT_EQ(CarrierPeriodFromByte(r.byte), r.period) << int(r.byte);
    // period x 5 / 8 with +1 from a remainder of 4.
    struct Back { uint16_t period; int byte; };
    for (Back b : {Back{304, 190}, Back{3, 2}, Back{4, 3}, Back{5, 3}, Back{6, 4}, Back{408, 255}, Back{409, -1},
                   Back{410, -1}, Back{65535, -1}}) {
        uint8_t v = 0;
        EXPECT_EQ(CarrierByteFromPeriod(b.period, v), b.byte >= 0) << b.period;
        if (b.byte >= 0) {
            EXPECT_EQ(v, b.byte) << b.period;
        }
    }
    for (int b = 0; b < 256; ++b) {
        uint8_t v = 0;
        ASSERT_TRUE(CarrierByteFromPeriod(CarrierPeriodFromByte(uint8_t(b)), v));
        EXPECT_EQ(v, b);
    }
}

TEST(LearnedCodes, LearnedToStoredFollowsThePartsRules) {
    IrCodeInfo c;
    ASSERT_TRUE(LearnedToStored(SampleLearned(), 1, c));
    // s = 12 bits: ((12 - 1) / 8 + 4 x 2) / 8 + 2 = 3 blocks; (11 / 8) + 1 + 8 = 10 bytes copied.
    EXPECT_EQ(c.size, 3);
    EXPECT_EQ(c.codeType, kCodePulse);
    EXPECT_EQ(c.reserved2, 0x5A);
    EXPECT_EQ(c.timingCount, 2);
    EXPECT_EQ(c.carrier, 304);
    EXPECT_EQ(c.firstCount, 12);
    EXPECT_EQ(c.repeatCount, 0xFF);
    EXPECT_EQ(c.symbolWidth, 1);
    EXPECT_EQ(c.timingBytes, 8);
    const uint8_t body[] = {0x10, 0x01, 0x20, 0x02, 0x30, 0x03, 0x40, 0x04, 0xA5, 0x0C};
    EXPECT_TRUE(std::equal(std::begin(body), std::end(body), c.data.begin()));
    EXPECT_TRUE(std::all_of(c.data.begin() + 10, c.data.end(), [](uint8_t b) { return b == 0; }));
    // The record packs into its 3 blocks.
    std::array<uint8_t, 24> rec{};
    ASSERT_TRUE(PackIrCode(c, rec));
    EXPECT_EQ(rec[0], 3);
    EXPECT_EQ(rec[4], 304 & 0xFF);
    EXPECT_EQ(rec[5], 304 >> 8);

    // The implied width of two timing entries is 1 bit.
    IrCodeInfo implied;
    ASSERT_TRUE(LearnedToStored(SampleLearned(), implied));
    EXPECT_EQ(implied.size, 3);
    EXPECT_EQ(implied.data, c.data);
}

TEST(LearnedCodes, RepeatFrameAndWidthCountInTheSize) {
    LearnedCode l = SampleLearned();
    l[6] = 20;  // 12 + 20 symbols of 3 bits = 96 bits
    IrCodeInfo c;
    ASSERT_TRUE(LearnedToStored(l, 3, c));
    // ((96 - 1) / 8 + 8) / 8 + 2 = (11 + 8) / 8 + 2 = 4 blocks; 11 + 1 + 8 = 20 bytes.
    EXPECT_EQ(c.size, 4);
    EXPECT_EQ(c.symbolWidth, 3);
    EXPECT_TRUE(std::equal(l.begin() + 8, l.begin() + 28, c.data.begin()));
    EXPECT_EQ(c.data[20], 0);
}

TEST(LearnedCodes, RcCodesImplyOneBitSymbols) {
    LearnedCode l = SampleLearned();
    l[1] = kCodeRc5 << 3;
    l[7] = 3;  // three entries would mean 2-bit symbols for a Normal code
    IrCodeInfo c;
    ASSERT_TRUE(LearnedToStored(l, c));
    EXPECT_EQ(c.codeType, kCodeRc5);
    EXPECT_EQ(c.symbolWidth, 1);
    // ((12 - 1) / 8 + 12) / 8 + 2 = 3 blocks.
    EXPECT_EQ(c.size, 3);
}

TEST(LearnedCodes, LearnedCodesThatCannotBeStoredAreRefused) {
    IrCodeInfo c;
    c.size = 77;
    LearnedCode l = SampleLearned();
    l[5] = 0;
    EXPECT_FALSE(LearnedToStored(l, 1, c));
    EXPECT_FALSE(LearnedToStored(SampleLearned(), 0, c));
    EXPECT_FALSE(LearnedToStored(SampleLearned(), 16, c));
    EXPECT_TRUE(LearnedToStored(SampleLearned(), 15, c));
    l = SampleLearned();
    l[7] = 16;  // the store holds at most 15 timing entries
    EXPECT_FALSE(LearnedToStored(l, 1, c));
    l = SampleLearned();
    l[5] = 200;
    EXPECT_FALSE(LearnedToStored(l, 1, c));
    // 32 blocks is the largest record: first 199 and repeat 49 symbols of 8 bits
    // give ((1984 - 1) / 8) / 8 + 2 = 32, one more repeat symbol 33.
    l = SampleLearned();
    l[5] = 199;
    l[6] = 49;
    l[7] = 0;
    ASSERT_TRUE(LearnedToStored(l, 8, c));
    EXPECT_EQ(c.size, 32);
    l[6] = 50;
    EXPECT_FALSE(LearnedToStored(l, 8, c));
    // Table and symbols that would reach past the 512 bytes.
    l[5] = 199;
    l[6] = 254;
    l[7] = 15;
    EXPECT_FALSE(LearnedToStored(l, 15, c));
    EXPECT_EQ(c.size, 32);  // untouched by the failures
}

TEST(LearnedCodes, StoredToSendIsTheInverse) {
    IrCodeInfo c;
    ASSERT_TRUE(LearnedToStored(SampleLearned(), c));
    LearnedCode send;
    send.fill(0x99);
    ASSERT_TRUE(StoredToSend(c, send));
    LearnedCode expected{};
    expected[0] = 3;
    expected[1] = kCodePulse * 8;
    expected[2] = 0;
    expected[4] = 190;
    expected[5] = 12;
    expected[6] = 0xFF;
    expected[7] = 2;
    const uint8_t body[] = {0x10, 0x01, 0x20, 0x02, 0x30, 0x03, 0x40, 0x04, 0xA5, 0x0C};
    std::copy(std::begin(body), std::end(body), expected.begin() + 8);
    EXPECT_EQ(send, expected);

    // Types up to 15 go into the flags whole.
    c.codeType = 9;
    ASSERT_TRUE(StoredToSend(c, send));
    EXPECT_EQ(send[1], 72);
}

TEST(LearnedCodes, StoredToSendChecksTheRecord) {
    IrCodeInfo c;
    ASSERT_TRUE(LearnedToStored(SampleLearned(), c));
    LearnedCode send{};
    IrCodeInfo bad = c;
    bad.firstCount = 0;
    EXPECT_FALSE(StoredToSend(bad, send));
    bad = c;
    bad.carrier = 410;  // carrier byte 256
    EXPECT_FALSE(StoredToSend(bad, send));
    bad = c;
    bad.size = 2;  // 8 data bytes cannot hold 10
    EXPECT_FALSE(StoredToSend(bad, send));
    bad = c;
    bad.size = 0;
    EXPECT_FALSE(StoredToSend(bad, send));
    // A record larger than the 512-byte form (a decoded library code can be).
    bad = c;
    bad.size = 76;
    bad.timingCount = 52;
    bad.firstCount = 230;
    bad.repeatCount = 254;
    EXPECT_FALSE(StoredToSend(bad, send));
    EXPECT_TRUE(std::all_of(send.begin(), send.end(), [](uint8_t b) { return b == 0; }));
}

// "Load": a file's bytes are one learned code only within its bounds: the
// 8-byte head, 1..40 blocks that lie inside the bytes, at most 16 timing
// entries, at most 512 bytes.
TEST(LearnedCodes, AFileHoldsOneLearnedCodeWithinItsBounds) {
    struct Case {
        const char* what;
        size_t size;
        uint8_t blocks, timings;
        bool accepted;
    };
    const Case cases[] = {
        {"a code of 3 blocks", 24, 3, 2, true},
        {"more bytes after its blocks", 100, 3, 2, true},
        {"40 blocks", 320, 40, 2, true},
        {"16 timing entries", 24, 3, 16, true},
        {"the whole 512 bytes", 512, 3, 2, true},
        {"no blocks", 24, 0, 2, false},
        {"41 blocks", 512, 41, 2, false},
        {"17 timing entries", 24, 3, 17, false},
        {"blocks past the bytes", 23, 3, 2, false},
        {"shorter than the head", 7, 0, 0, false},
        {"empty", 0, 0, 0, false},
        {"longer than a learned code", 513, 3, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> bytes(c.size, 0x5A);
        if (c.size >= 8) {
            bytes[0] = c.blocks;
            bytes[7] = c.timings;
        }
        LearnedCode code;
        code.fill(0xEE);
        ASSERT_EQ(LearnedCodeOfFile(bytes, code), c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(std::all_of(code.begin(), code.end(), [](uint8_t b) { return b == 0xEE; }));
            continue;
        }
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), code.begin()));
        EXPECT_TRUE(std::all_of(code.begin() + long(c.size), code.end(), [](uint8_t b) { return b == 0; }));
    }
}

}  // namespace
}  // namespace orvalink
