// What the pages of a memory image hold, in the words a user knows: "device
// TV keys 12-14", "settings", "welcome picture", "code library". A failed
// verify names its pages this way, and a comparison names the bytes it
// cannot place otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink {

// One named region of the image and the pages of `pages` that fall in it.
struct PageRegion {
    std::string what;            // "device TV keys 12-14", "code library", ...
    std::vector<uint32_t> pages; // ascending
};

// The pages (page = one block of the link, kPageSize bytes) grouped by what
// they hold in `flash`'s layout and contents, in page order; a page no region
// claims is named "pages N-M".
std::vector<PageRegion> DescribePages(const TTiFlashFm& flash, std::span<const uint32_t> pages);

// The regions joined for a message: "device TV keys 12-14, code library".
std::string DescribePagesText(const TTiFlashFm& flash, std::span<const uint32_t> pages);

// A device slot as the regions name it: "Home", "Macro", "device TV" (the
// label of the Device key that links to it), or "device 7" when no key
// links to the slot or its label cannot be shown.
std::string DeviceDisplayName(const TTiFlashFm& flash, int slot);

}  // namespace orvalink
