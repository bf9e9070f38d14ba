#include "image/ImageRegions.h"

namespace orvalink {

std::vector<PageRegion> DescribePages(const TTiFlashFm&, std::span<const uint32_t> pages) {
    // Runs of consecutive pages, each named by its numbers.
    std::vector<PageRegion> regions;
    for (size_t i = 0; i < pages.size();) {
        size_t j = i + 1;
        while (j < pages.size() && pages[j] == pages[j - 1] + 1) ++j;
        PageRegion r;
        r.what = j - i == 1 ? "page " + std::to_string(pages[i])
                            : "pages " + std::to_string(pages[i]) + "-" + std::to_string(pages[j - 1]);
        r.pages.assign(pages.begin() + long(i), pages.begin() + long(j));
        regions.push_back(std::move(r));
        i = j;
    }
    return regions;
}

std::string DescribePagesText(const TTiFlashFm& flash, std::span<const uint32_t> pages) {
    std::string text;
    for (const PageRegion& r : DescribePages(flash, pages)) text += (text.empty() ? "" : ", ") + r.what;
    return text;
}

}  // namespace orvalink
