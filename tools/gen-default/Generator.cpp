#include "tools/gen-default/Generator.h"

#include <algorithm>

#include "tools/gen-default/AssetText.h"
#include "tools/gen-default/Bitmaps.h"
#include "tools/gen-default/CharacterSets.h"
#include "tools/gen-default/FactoryImage.h"
#include "tools/gen-default/LayoutTemplates.h"
#include "tools/gen-default/Pictures.h"

namespace orvalink::gen {

namespace {

struct Fonts {
    std::unique_ptr<BitmapFont> glyphs, small, medium, big, title;
};

bool OpenFonts(const std::filesystem::path& folder, Fonts& fonts, std::string& error) {
    struct Want {
        std::unique_ptr<BitmapFont>* font;
        const char* file;
    };
    for (auto [font, file] : {Want{&fonts.glyphs, "6x10.pcf.gz"}, Want{&fonts.small, "4x6.pcf.gz"},
                              Want{&fonts.medium, "5x7.pcf.gz"}, Want{&fonts.big, "8x13.pcf.gz"},
                              Want{&fonts.title, "10x20.pcf.gz"}}) {
        *font = BitmapFont::Open(folder / file, error);
        if (!*font) return false;
    }
    return true;
}

// type.ini as the program reads it: one display name a line, CR LF.
bool ReadTypeIni(const std::filesystem::path& path, std::string& text, std::string& error) {
    std::string source;
    if (!ReadTextFile(path, source)) {
        error = "cannot read " + path.string();
        return false;
    }
    std::vector<AssetLine> lines;
    if (!SplitAssetLines(path, source, lines, error)) return false;
    std::string out;
    for (const auto& l : lines) {
        if (l.words.empty()) continue;
        out += l.text + "\r\n";
    }
    if (out.empty()) {
        error = path.filename().string() + " names no model";
        return false;
    }
    text = std::move(out);
    return true;
}

}  // namespace

bool GenerateFactory(const GeneratorInputs& inputs, TTiFlashFm& flash, FactoryFiles& files, std::string& error) {
    Fonts fonts;
    if (!OpenFonts(inputs.fonts, fonts, error)) return false;

    FactoryContent content;
    if (!BuildGlyphTable(*fonts.glyphs, inputs.assets / "glyphs.txt", content.glyphs, error)) return false;
    std::map<std::string, int> icons;
    IconFonts iconFonts{fonts.small.get(), fonts.medium.get(), fonts.big.get()};
    if (!BuildIconTable(iconFonts, inputs.assets / "icons.txt", content.icons, icons, error)) return false;
    PictureFonts pictureFonts{fonts.title.get(), fonts.glyphs.get()};
    content.welcome10 = EncodeWelcomePicture(WelcomePicture(10, pictureFonts));
    content.welcome20 = EncodeWelcomePicture(WelcomePicture(20, pictureFonts));

    std::vector<LayoutTemplate> templates;
    if (!ReadTemplates(inputs.assets / "templates.txt", icons, templates, error)) return false;
    FactoryFiles out;
    for (int n = kFirstTemplate; n <= kLastTemplate; ++n) {
        auto it = std::find_if(templates.begin(), templates.end(), [&](const auto& t) { return t.number == n; });
        if (it == templates.end()) {
            error = "templates.txt has no template " + std::to_string(n);
            return false;
        }
        if (!PackTemplate(*it, out.templates[n], error)) return false;
    }
    content.templates = out.templates;

    if (!ReadFactoryCodes(inputs.assets / "ircodes.txt", templates, out.codes, error)) return false;
    for (const auto& code : out.codes.codes) {
        const int layoutNumber = TemplateOfCode(code.number);
        auto layout = std::find_if(templates.begin(), templates.end(),
                                   [&](const auto& t) { return t.number == layoutNumber; });
        CodeSetSource set;
        if (!MakeCodeSet(code, *layout, set, error) || !MakeLibraryCodeSet(set, content.codeSets[code.number], error)) {
            error = AssetError(inputs.assets / "ircodes.txt", code.line, error);
            return false;
        }
    }
    if (!CodeTableText(out.codes, out.codeTable, error)) return false;

    if (!ReadStarterDevices(inputs.assets / "home.txt", icons, content.starters, error)) return false;
    for (const auto& d : content.starters)
        if (!content.codeSets.count(d.code)) {
            error = "home.txt: code " + std::to_string(d.code) + " is not in the library";
            return false;
        }
    if (!BuildFactoryImage(content, flash, error)) return false;

    out.pageStrip = PageStripBmp();
    if (!ReadTypeIni(inputs.assets / "type.ini", out.typeIni, error)) return false;
    files = std::move(out);
    return true;
}

}  // namespace orvalink::gen
