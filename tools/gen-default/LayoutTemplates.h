// The key layout templates of the device types: which key sits where on
// which LCD page, its label, and which function of a device it sends. Read
// from templates.txt; each becomes a flat device bundle in dev_model.dll.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/KeyRecords.h"

namespace orvalink::gen {

inline constexpr int kFirstTemplate = 1001;
inline constexpr int kLastTemplate = 1010;

struct LayoutTemplate {
    int number = 0;
    std::string deviceType;                 // "TV", "VCR", ...
    KeyInfo deviceKey;                      // the Device key that stands for the device
    std::array<KeyInfo, 64> keys;           // soft keys 6..63 (size 0xFF where there is none)
    std::array<std::string, 64> functions;  // function of each key ("" = none); 0..5 the hard keys
};

// The template the code library loads a code number with.
int TemplateOfCode(int codeNumber);

// Remote character codes of a label written as text: characters 32..126
// stand for themselves, "|" is a line break, "{name}" an icon of the icon
// table and "{#NNN}" the character code NNN.
bool EncodeLabel(const std::string& text, const std::map<std::string, int>& icons, std::vector<uint8_t>& codes,
                 std::string& error);

// Reads every template. Format:
//   template NUMBER TYPE "TITLE"
//   hard F0 F1 F2 F3 F4 F5            functions of the six hard keys
//   page N                            the page of the keys that follow
//   key COL ROW WIDTH HEIGHT rect|oval "LABEL" FUNCTION
// Soft keys are numbered from 6 in the order they come.
bool ReadTemplates(const std::filesystem::path& path, const std::map<std::string, int>& icons,
                   std::vector<LayoutTemplate>& templates, std::string& error);

// The template as the flat device bundle that "Load pre-program code" unpacks.
bool PackTemplate(const LayoutTemplate& layout, std::vector<uint8_t>& flat, std::string& error);

}  // namespace orvalink::gen
