// orvalink-gen-default: writes the factory files of the program folder and
// the data files of dev_model.dll.
//
//   orvalink-gen-default --assets DIR --fonts DIR --program DIR --dev-model DIR [--raw-image FILE]
//
// program:   bk/default_.vmcf, type.ini, gird_RL_2.bmp
// dev-model: templates/template-1001.bin .. template-1010.bin, codetable.txt
// raw-image: the memory image itself, for looking at it with other tools
//
// Nothing is written unless everything could be made; each file is saved
// as the program saves its documents: complete or not at all.
#include <cstdio>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "formats/FileIo.h"
#include "tools/gen-default/Generator.h"
#include "tools/gen-default/FactoryDocument.h"

namespace {

using orvalink::gen::FactoryFiles;
namespace fs = std::filesystem;

bool WriteBeside(const fs::path& path, const void* data, size_t size, std::string& error) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        error = "cannot make the folder " + path.parent_path().string();
        return false;
    }
    std::string why;
    if (!orvalink::ReplaceFileBytes(path, std::span<const uint8_t>(static_cast<const uint8_t*>(data), size), &why)) {
        error = "cannot write " + path.string() + ": " + why;
        return false;
    }
    return true;
}

template <typename Bytes>
bool Write(const fs::path& path, const Bytes& bytes, std::string& error) {
    return WriteBeside(path, bytes.data(), bytes.size(), error);
}

int Usage() {
    std::fprintf(stderr, "usage: orvalink-gen-default --assets DIR --fonts DIR --program DIR --dev-model DIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    orvalink::gen::GeneratorInputs inputs;
    fs::path program, devModel, rawImage;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--assets") inputs.assets = argv[i + 1];
        else if (option == "--fonts") inputs.fonts = argv[i + 1];
        else if (option == "--program") program = argv[i + 1];
        else if (option == "--dev-model") devModel = argv[i + 1];
        else if (option == "--raw-image") rawImage = argv[i + 1];
        else return Usage();
    }
    if (argc % 2 == 0 || inputs.assets.empty() || inputs.fonts.empty() || program.empty() || devModel.empty())
        return Usage();

    orvalink::TTiFlashFm flash;
    FactoryFiles files;
    std::string error;
    if (!orvalink::gen::GenerateFactory(inputs, flash, files, error)) {
        std::fprintf(stderr, "orvalink-gen-default: %s\n", error.c_str());
        return 1;
    }
    bool ok = true;
    std::vector<uint8_t> document;
    if (!orvalink::gen::FactoryDocumentBytes(flash, document, error)) {
        std::fprintf(stderr, "orvalink-gen-default: %s\n", error.c_str());
        return 1;
    }
    ok = Write(program / "bk" / "default_.vmcf", document, error);
    ok = ok && Write(program / "type.ini", files.typeIni, error) &&
              Write(program / "gird_RL_2.bmp", files.pageStrip, error) &&
              Write(devModel / "codetable.txt", files.codeTable, error);
    if (!rawImage.empty()) ok = ok && Write(rawImage, flash.Image(), error);
    for (const auto& [number, bytes] : files.templates)
        ok = ok && Write(devModel / "templates" / ("template-" + std::to_string(number) + ".bin"), bytes, error);
    if (!ok) {
        std::fprintf(stderr, "orvalink-gen-default: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
