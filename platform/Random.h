// The pseudo-random generator that V-file passwords, the scrambling of
// security and X files and the loop-back test draw from. It is seeded with the
// time in seconds, so it must give the same numbers for the same seed on every
// platform and compiler: we use our own generator, not std::rand or the
// standard distributions.
//
// The generator is PCG32 (O'Neill, "PCG: A Family of Simple Fast
// Space-Efficient Statistically Good Algorithms for Random Number Generation",
// 2014): a 64-bit linear congruential state
//     state = state * 6364136223846793005 + increment
// with the fixed odd increment 1442695040888963407, and each output is the
// 32-bit "xorshift high, random rotate" of the previous state. Seed(s) sets
// state = 0, advances once, adds s, advances again (the reference pcg32_srandom).
#pragma once

#include <cstdint>

namespace orvalink {

class Random {
public:
    virtual ~Random() = default;
    virtual void Seed(uint64_t seed) = 0;
    virtual uint32_t Next() = 0;
};

class Pcg32Random final : public Random {
public:
    Pcg32Random() { Seed(0); }
    explicit Pcg32Random(uint64_t seed) { Seed(seed); }
    void Seed(uint64_t seed) override {
        state_ = 0;
        Next();
        state_ += seed;
        Next();
    }
    uint32_t Next() override {
        uint64_t old = state_;
        state_ = old * 6364136223846793005ULL + kIncrement;
        uint32_t xorshifted = uint32_t(((old >> 18u) ^ old) >> 27u);
        uint32_t rot = uint32_t(old >> 59u);
        return (xorshifted >> rot) | (xorshifted << ((32u - rot) & 31u));
    }

private:
    static constexpr uint64_t kIncrement = 1442695040888963407ULL;
    uint64_t state_ = 0;
};

}  // namespace orvalink
