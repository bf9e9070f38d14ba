// Makes everything the program folder and dev_model.dll are given by the
// factory: the memory image of the default document, the layout templates,
// the code table, the page strip and type.ini, from the sources in assets/
// and the X11 misc-fixed fonts.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/Tiflashut.h"
#include "tools/gen-default/FactoryCodes.h"

namespace orvalink::gen {

struct GeneratorInputs {
    std::filesystem::path assets;  // templates.txt, ircodes.txt, icons.txt, glyphs.txt, home.txt, type.ini
    std::filesystem::path fonts;   // the folder of 6x10.pcf.gz and its siblings
};

struct FactoryFiles {
    std::map<int, std::vector<uint8_t>> templates;  // template number -> flat device bundle
    std::string codeTable;
    std::vector<uint8_t> pageStrip;                  // gird_RL_2.bmp
    std::string typeIni;
    FactoryCodes codes;
};

// Fills `flash` (selected as a QM-5100 image, fresh) and `files`. The same
// inputs always give the same bytes.
bool GenerateFactory(const GeneratorInputs& inputs, TTiFlashFm& flash, FactoryFiles& files, std::string& error);

}  // namespace orvalink::gen
