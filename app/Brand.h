// The program's branding, chosen by marker files in the program folder
// ("tavero" wins over "arvell"; their contents are not read).
#pragma once

#include <filesystem>
#include <string>

namespace orvalink {

enum class Brand { Plain, Tavero, Arvell };

Brand DetectBrand(const std::filesystem::path& programFolder);

struct BrandTexts {
    int pickerBrandCode;        // 11000 or 12000
    int splashResource;         // picture number in model.dll
    const char* pickerTab;      // the picker's tab caption
    const char* pickerEntry;    // the picker's one model entry
    const char* windowTitle;    // the main window's caption
    const char* webCaption;     // the Help menu's web item
    const char* webAddress;
};

const BrandTexts& TextsOf(Brand brand);

}  // namespace orvalink
