// The text boot loader's members: what each one sends, waits and tries.
#include <gtest/gtest.h>

#include <string>

#include "link/Upgrade.h"

namespace orvalink::testing {
namespace {

struct TextMember {
    TextLoader member;
    const char* name;
    TextLoaderSpec expected;
};

TEST(TextLoaderSpec, EveryMemberHasItsOwnValues) {
    const std::string fourKWake{'\xA0', 'P', 'B'};
    const TextMember members[] = {
        {TextLoader::Vc, "VC", {60, "PB", 100, 4, 3, 0, 5, TextPageAck::SumWord}},
        {TextLoader::FourK, "4k", {60, fourKWake, 180, 10, 3, 0, 5, TextPageAck::Finish}},
        {TextLoader::Model2100, "2100", {60, "PB", 180, 4, 3, 0, 5, TextPageAck::Finish}},
        {TextLoader::Slimline, "Slimline", {115, "PB", 180, 10, 3, 50, 5, TextPageAck::Finish}},
    };
    for (const auto& m : members) {
        SCOPED_TRACE(m.name);
        const TextLoaderSpec got = TextLoaderSpecOf(m.member);
        const TextLoaderSpec& want = m.expected;
        EXPECT_EQ(got.pages, want.pages);
        EXPECT_EQ(TextLoaderPages(m.member), want.pages);
        EXPECT_EQ(std::string(got.wake), std::string(want.wake));
        EXPECT_EQ(got.settleMs, want.settleMs);
        EXPECT_EQ(got.restartAttempts, want.restartAttempts);
        EXPECT_EQ(got.eraseTries, want.eraseTries);
        EXPECT_EQ(got.eraseGapMs, want.eraseGapMs);
        EXPECT_EQ(got.completeTries, want.completeTries);
        EXPECT_EQ(got.ack, want.ack);
    }
}

}  // namespace
}  // namespace orvalink::testing
