// A failed verify on the command line: after the message, a line for each
// region of the differing pages and what those pages hold in the image
// that was sent ("  pages 12 13: device TV keys 12-14").
#pragma once

#include <ostream>
#include <string>

#include "image/ImageRegions.h"
#include "image/Tiflashut.h"
#include "link/Transfers.h"

namespace orvalink {

inline void PrintDifferingPages(std::ostream& out, const TTiFlashFm& flash, const VerifyOutcome& verify) {
    for (const PageRegion& region : DescribePages(flash, verify.differing)) {
        std::string pages;
        for (uint32_t p : region.pages) pages += (pages.empty() ? "" : " ") + std::to_string(p);
        out << "  " << (region.pages.size() == 1 ? "page " : "pages ") << pages << ": " << region.what << "\n";
    }
}

}  // namespace orvalink
