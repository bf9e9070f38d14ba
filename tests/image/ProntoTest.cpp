// Pronto Hex in and out, and codes between Pronto Hex and the learned form.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "image/IrDecoder.h"
#include "image/Pronto.h"

namespace orvalink {
namespace {

// NEC device 4 command 8 with its repeat frame, at 38 kHz.
ProntoCode NecCode() {
    ProntoCode c;
    c.carrierHz = 38000;
    c.once.push_back({9000, 4500});
    const uint32_t bits = 0x04u | 0xFBu << 8 | 0x08u << 16 | 0xF7u << 24;
    for (int i = 0; i < 32; ++i) c.once.push_back({560, ((bits >> i) & 1) ? 1690u : 560u});
    c.once.push_back({560, 40000});
    c.repeat = {{9000, 2250}, {560, 60000}};
    return c;
}

// Durations within half a carrier period of each other.
void ExpectClose(const std::vector<IrPulse>& a, const std::vector<IrPulse>& b, double periodUs) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_LE(std::abs(double(a[i].mark) - double(b[i].mark)), periodUs / 2 + 1) << i;
        EXPECT_LE(std::abs(double(a[i].space) - double(b[i].space)), periodUs / 2 + 1) << i;
    }
}

TEST(Pronto, WritesTheLearnedFormInCarrierPeriods) {
    std::string text, error;
    ASSERT_TRUE(ProntoText(NecCode(), text, error)) << error;
    // 38 kHz is word 006D; the leader is 342 and 171 periods of 26.3 us.
    EXPECT_EQ(text.substr(0, 30), "0000 006D 0022 0002 0156 00AB ");
    EXPECT_EQ(text.size(), 4 * 5 + 2 * 36 * 5 - 1);
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF "), std::string::npos);
}

TEST(Pronto, ReadsWhatItWritesAndTheCodeStillDecodes) {
    std::string text, error;
    ASSERT_TRUE(ProntoText(NecCode(), text, error)) << error;
    ProntoCode back;
    ASSERT_TRUE(ParsePronto(text, back, error)) << error;
    EXPECT_NEAR(back.carrierHz, 38000, 100);
    ExpectClose(back.once, NecCode().once, 26.3);
    ExpectClose(back.repeat, NecCode().repeat, 26.3);
    EXPECT_EQ(DecodeIr(back.once), DecodeIr(NecCode().once));

    // Lower case, tabs and line breaks between words are read too; a code
    // may be all repeat frame.
    ASSERT_TRUE(ParsePronto("0000\t0067 0000 0001\r\n00ab 0015\n", back, error)) << error;
    EXPECT_TRUE(back.once.empty());
    ASSERT_EQ(back.repeat.size(), 1u);
    EXPECT_NEAR(back.repeat[0].mark, 171 * 103 * kProntoClockUs, 1);
    EXPECT_NEAR(back.carrierHz, 40244, 1);
}

TEST(Pronto, RefusesOtherFormsAndBrokenTextWithAReason) {
    const ProntoCode untouched{1, {{7, 7}}, {}};
    const std::vector<std::pair<std::string, std::string>> broken{
        {"", "four words"},
        {"0000 006D 0001", "four words"},
        {"5000 0073 0000 0001 0000 0001", "type 5000"},
        {"0100 006D 0001 0000 0156 00AB", "type 0100"},
        {"0000 0000 0001 0000 0156 00AB", "frequency"},
        {"0000 006D 0000 0000", "no bursts"},
        {"0000 006D 0002 0000 0156 00AB", "announces 4"},
        {"0000 006D 0001 0000 0156 00AB 0001 0001", "announces 2"},
        {"0000 006D FFFF FFFF 0156 00AB", "announces 262140"},  // nothing allocated for the counts
        {"0000 006D 0001 0000 0156 00G0", "'00G0'"},
        {"0000 006D 0001 0000 00156 00AB", "'00156'"},
        {"0000,006D,0001,0000,0156,00AB", "four-digit"},
    };
    for (const auto& [text, reason] : broken) {
        ProntoCode code = untouched;
        std::string error;
        EXPECT_FALSE(ParsePronto(text, code, error)) << text;
        EXPECT_NE(error.find(reason), std::string::npos) << text << ": " << error;
        EXPECT_EQ(code, untouched) << text;
    }
    std::string text = "kept", error;
    EXPECT_FALSE(ProntoText(ProntoCode{0, {{560, 560}}, {}}, text, error));
    EXPECT_FALSE(ProntoText(ProntoCode{38000, {}, {}}, text, error));
    EXPECT_FALSE(ProntoText(ProntoCode{38000, {{560, 3000000}}, {}}, text, error));
    EXPECT_FALSE(ProntoText(ProntoCode{10, {{560, 560}}, {}}, text, error));  // frequency word above FFFF
    EXPECT_EQ(text, "kept");
}

TEST(Pronto, GoesThroughTheLearnedFormAndBack) {
    const ProntoCode nec = NecCode();
    LearnedCode learned;
    std::string error;
    ASSERT_TRUE(LearnedOfPronto(nec, learned, error)) << error;
    IrCodeInfo stored;
    ASSERT_TRUE(LearnedToStored(learned, stored));
    EXPECT_EQ(stored.codeType, kCodeNormal);
    EXPECT_EQ(stored.firstCount, 34);
    EXPECT_EQ(stored.repeatCount, 2);
    EXPECT_EQ(stored.timingCount, 6);  // two bit spaces, leader, stop, repeat leader, repeat stop
    // The learned form keeps microseconds; only the carrier is rounded.
    const ProntoCode back = ProntoOfCode(stored);
    EXPECT_EQ(back.once, nec.once);
    EXPECT_EQ(back.repeat, nec.repeat);
    EXPECT_NEAR(back.carrierHz, 38000, 400);
    // The send form of the stored code is the learned form made.
    LearnedCode send;
    ASSERT_TRUE(StoredToSend(stored, send));
    EXPECT_EQ(send, learned);

    // Pronto Hex -> learned -> Pronto Hex gives the same text.
    std::string text, again;
    ASSERT_TRUE(ProntoText(nec, text, error));
    ProntoCode parsed;
    ASSERT_TRUE(ParsePronto(text, parsed, error));
    ASSERT_TRUE(LearnedOfPronto(parsed, learned, error)) << error;
    ASSERT_TRUE(LearnedToStored(learned, stored));
    ProntoCode throughLearned = ProntoOfCode(stored);
    throughLearned.carrierHz = parsed.carrierHz;  // the learned carrier byte is coarser than Pronto's word
    ASSERT_TRUE(ProntoText(throughLearned, again, error));
    EXPECT_EQ(again, text);

    // Without a first frame the repeat frame is sent first as well.
    ASSERT_TRUE(LearnedOfPronto(ProntoCode{38000, {}, nec.repeat}, learned, error)) << error;
    ASSERT_TRUE(LearnedToStored(learned, stored));
    EXPECT_EQ(ProntoOfCode(stored).once, nec.repeat);
    EXPECT_EQ(ProntoOfCode(stored).repeat, nec.repeat);
}

TEST(Pronto, RefusesCodesTheLearnedFormCannotHold) {
    LearnedCode learned;
    learned.fill(0xEE);
    const LearnedCode before = learned;
    std::string error;
    ProntoCode many{38000, {}, {}};
    for (uint32_t i = 0; i < 16; ++i) many.once.push_back({500 + 10 * i, 500});
    EXPECT_FALSE(LearnedOfPronto(many, learned, error));
    EXPECT_NE(error.find("15"), std::string::npos) << error;
    many.once.pop_back();
    LearnedCode fifteen;
    EXPECT_TRUE(LearnedOfPronto(many, fifteen, error)) << error;

    ProntoCode longFrame{38000, std::vector<IrPulse>(200, {560, 560}), {}};
    EXPECT_FALSE(LearnedOfPronto(longFrame, learned, error));
    EXPECT_FALSE(LearnedOfPronto(ProntoCode{38000, {{70000, 500}}, {}}, learned, error));
    EXPECT_FALSE(LearnedOfPronto(ProntoCode{10000, {{560, 500}}, {}}, learned, error));  // carrier too low
    EXPECT_FALSE(LearnedOfPronto(ProntoCode{0, {{560, 500}}, {}}, learned, error));
    EXPECT_FALSE(LearnedOfPronto(ProntoCode{38000, {}, {}}, learned, error));
    EXPECT_EQ(learned, before);

    // A gap beyond what a timing entry holds is cut to the longest one.
    ASSERT_TRUE(LearnedOfPronto(ProntoCode{38000, {{560, 500}, {560, 200000}}, {}}, learned, error)) << error;
    IrCodeInfo stored;
    ASSERT_TRUE(LearnedToStored(learned, stored));
    EXPECT_EQ(ProntoOfCode(stored).once, (std::vector<IrPulse>{{560, 500}, {560, 0xFFFF}}));
}

// The learned form counts the first frame's bursts in a byte below 200 and
// the repeat frame's below 255 (255 means "no repeat").
TEST(Pronto, BurstCountsUpToWhatTheLearnedFormHolds) {
    const struct {
        size_t once, repeat;
        bool fits;
    } cases[] = {
        {199, 0, true},   {200, 0, false}, {1, 254, true}, {1, 255, false},
        {199, 254, true}, {0, 199, true},  {0, 200, false},  // a repeat frame alone is sent first as well
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.once) + " + " + std::to_string(c.repeat));
        // Two bursts that alternate, so the table has more than one entry.
        ProntoCode code{38000, {}, {}};
        for (size_t i = 0; i < c.once; ++i) code.once.push_back(i % 2 ? IrPulse{560, 1690} : IrPulse{560, 560});
        for (size_t i = 0; i < c.repeat; ++i) code.repeat.push_back(i % 2 ? IrPulse{560, 560} : IrPulse{9000, 2250});
        LearnedCode learned;
        learned.fill(0xEE);
        std::string error;
        ASSERT_EQ(LearnedOfPronto(code, learned, error), c.fits) << error;
        if (!c.fits) {
            EXPECT_NE(error.find("more bursts"), std::string::npos) << error;
            EXPECT_EQ(learned[0], 0xEE);
            continue;
        }
        IrCodeInfo stored;
        ASSERT_TRUE(LearnedToStored(learned, stored));
        const ProntoCode back = ProntoOfCode(stored);
        EXPECT_EQ(back.once, c.once ? code.once : code.repeat);
        EXPECT_EQ(back.repeat, code.repeat);
    }
}

}  // namespace
}  // namespace orvalink
