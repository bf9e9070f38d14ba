#include "app/Brand.h"

#include <system_error>

namespace orvalink {

Brand DetectBrand(const std::filesystem::path& programFolder) {
    std::error_code ec;
    if (std::filesystem::exists(programFolder / "tavero", ec)) return Brand::Tavero;
    if (std::filesystem::exists(programFolder / "arvell", ec)) return Brand::Arvell;
    return Brand::Plain;
}

const BrandTexts& TextsOf(Brand brand) {
    static const BrandTexts kTavero{11000, 1702, "TAVERO", "QM-5100", "TAVERO Orvalink QM-5100 ",
                                    "Tavero on the Web", "https://www.tavero.example/"};
    static const BrandTexts kArvell{12000, 1701, "Arvell", "Relaydeck N55", "ARVELL Relaydeck N55 ",
                                    "ARVELL on the Web", "https://www.arvell.example/"};
    static const BrandTexts kPlain{11000, 1700, "TAVERO", "QM-5100", "Orvalink ", "Product on the Web",
                                   "https://www.tavero.example/"};
    switch (brand) {
        case Brand::Tavero: return kTavero;
        case Brand::Arvell: return kArvell;
        case Brand::Plain: break;
    }
    return kPlain;
}

}  // namespace orvalink
