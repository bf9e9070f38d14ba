// What more than one of the upgrade routines' files uses (the boot loaders,
// the ROM boot mode, the TI flash frames and the button table): the page
// counts behind the gauges, the byte helpers and the one page writer of the
// two boot loaders with its retry budget. Not for use outside link/.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "link/Upgrade.h"

namespace orvalink {

class LinkChannel;

namespace upgrade_parts {

constexpr size_t BlockOffset(size_t block) { return block * kBlockBytes; }

// Pages the loaders write.
inline constexpr int kPages5100 = int(kMcuMostPages);  // 115
inline constexpr int kPages1400 = 59;
inline constexpr int kPagesNamed = 60;
inline constexpr int kPagesText = 60;

// The TI flash's partial writes: the 2300 from block 639 to its end, the
// Slimline the pre-programmed code region.
inline constexpr uint16_t kTi2300PartialFirst = 639;
inline constexpr uint16_t kTiSlimPartialFirst = kCodeRegionFirstPage;
inline constexpr uint16_t kTiSlimPartialCount = kCodeRegionPages;

inline std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

inline bool StartsWith(std::span<const uint8_t> text, std::string_view word) {
    return text.size() >= word.size() && std::equal(word.begin(), word.end(), text.begin(),
                                                    [](char w, uint8_t t) { return uint8_t(w) == t; });
}

// ---- One program page of a boot loader

// A page of the MCU buffer as the boot loaders send it: its 512 bytes, then
// their Sum16, low byte first.
struct ProgramPage {
    std::array<uint8_t, kMcuPageBytes + 2> data{};
    uint16_t sum = 0;
};
ProgramPage MakeProgramPage(std::span<const uint8_t> mcu, int index);

// The loader's answer to a page's announcement or to the page itself.
enum class PageAnswer {
    None,     // no answer in time: a miss
    Taken,
    Refused,  // any other answer
};

// A page is given up at its third miss or its tenth refusal, counted over the
// announcements and the sends of that page together.
inline constexpr int kPageMisses = 3;
inline constexpr int kPageRefusals = 10;

// Announces a page until the loader takes the announcement, then sends it
// until the loader takes it, within the one retry budget above; the user's
// Cancel is looked at before every try. True when the page was taken.
bool WriteProgramPage(LinkChannel& ch, const std::function<PageAnswer()>& announce,
                      const std::function<PageAnswer()>& send);

}  // namespace upgrade_parts
}  // namespace orvalink
