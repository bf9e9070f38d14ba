// Fills a region with an input repeated, in a few large copies: the input
// once, then the filled part doubled until the region is full. Copying the
// input by itself over and over takes one copy per repetition, 160,000 of
// them for a one-byte input over the block store.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

namespace orvalink::fuzz {

inline void FillRepeated(std::span<uint8_t> region, std::span<const uint8_t> input) {
    if (region.empty() || input.empty()) return;
    size_t filled = std::min(input.size(), region.size());
    std::memcpy(region.data(), input.data(), filled);
    while (filled < region.size()) {
        const size_t n = std::min(filled, region.size() - filled);
        std::memcpy(region.data() + filled, region.data(), n);
        filled += n;
    }
}

}  // namespace orvalink::fuzz
