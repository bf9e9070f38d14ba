// The factory code library: per brand and device type, the IR commands of
// each key function (command maps) and the code numbers made of a protocol,
// a device address and maps. Read from ircodes.txt; gives every code set of
// the library and the code table text of dev_model.dll.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/gen-default/CodeSetPacking.h"
#include "tools/gen-default/LayoutTemplates.h"

namespace orvalink::gen {

struct FactoryCode {
    int number = 0;
    int line = 0;
    std::string deviceType;
    std::string brand;
    std::string protocol;
    std::string address;
    std::map<std::string, unsigned> commands;  // function -> command
};

struct CodeListing {
    std::string deviceType;
    std::string brand;
    std::vector<int> codes;
};

struct FactoryCodes {
    std::vector<FactoryCode> codes;      // in file order
    std::vector<CodeListing> listings;   // one per device type and brand, in file order
};

// Format:
//   map NAME                      a command map, ended by "end"
//     FUNCTION=COMMAND ...        any number per line
//   end
//   code NUMBER TYPE "BRAND" PROTOCOL ADDRESS MAP [MAP ...]   later maps win
//   brand TYPE "BRAND" NUMBER ...  more brands listed with existing codes
// Every function a map names must be a function of some template, and the
// template that loads a code number must be the one of its device type.
bool ReadFactoryCodes(const std::filesystem::path& path, const std::vector<LayoutTemplate>& templates,
                      FactoryCodes& codes, std::string& error);

// The template number a device type's codes are loaded with (0 when unknown).
int TemplateOfDeviceType(const std::vector<LayoutTemplate>& templates, const std::string& type);

// The code set of one code number: each key carries the command of its
// template key's function, where the code's maps have one.
bool MakeCodeSet(const FactoryCode& code, const LayoutTemplate& layout, CodeSetSource& set, std::string& error);

// The code table: a line per device type and brand, device type in 16
// columns, brand in 30, then the code numbers as "NNNN, " fields with the
// last one cut to 4 characters; lines end with CR LF.
bool CodeTableText(const FactoryCodes& codes, std::string& text, std::string& error);

}  // namespace orvalink::gen
