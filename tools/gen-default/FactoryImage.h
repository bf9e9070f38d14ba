// The factory configuration of a QM-5100 memory image: character and icon
// sets, welcome pictures, settings, the code library, and Home with a
// starter set of devices loaded from their templates and library codes.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/CodeLibrary.h"
#include "image/Tiflashut.h"
#include "tools/gen-default/FactoryCodes.h"
#include "tools/gen-default/LayoutTemplates.h"

namespace orvalink::gen {

struct StarterDevice {
    std::vector<uint8_t> label;  // remote character codes
    int code = 0;                // library code number
    uint8_t column = 0, row = 0, width = 3, height = 2;
};

struct FactoryContent {
    std::vector<uint8_t> glyphs;     // 144 x 11 bytes
    std::vector<uint8_t> icons;      // 165 x 48 bytes
    std::vector<uint8_t> welcome10;  // 2080 bytes
    std::vector<uint8_t> welcome20;
    std::map<int, std::vector<uint8_t>> templates;  // template number -> flat device bundle
    std::map<int, LibraryCodeSet> codeSets;         // code number -> code set
    std::vector<StarterDevice> starters;            // Home's devices, slots 1, 2, ...
};

// The version the factory image carries (major, minor) where a saved
// document takes its version word from.
inline constexpr uint8_t kFactoryVersionMajor = 1;
inline constexpr uint8_t kFactoryVersionMinor = 0;
inline constexpr size_t kImageVersionOffset = 27224;

// Home's devices from home.txt: lines 'device "LABEL" CODE COL ROW WIDTH HEIGHT'.
bool ReadStarterDevices(const std::filesystem::path& path, const std::map<std::string, int>& icons,
                        std::vector<StarterDevice>& devices, std::string& error);

// Fills a fresh QM-5100 image (selected by the caller) with the content.
// Fails with `error` when any part does not fit.
bool BuildFactoryImage(const FactoryContent& content, TTiFlashFm& flash, std::string& error);

}  // namespace orvalink::gen
