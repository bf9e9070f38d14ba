// orvalink-cli render: the command line's side. The picture is drawn by
// liborvalink_render (the Qt drawing library), loaded only here, from the
// folder of the executable.
#include <dlfcn.h>

#include <cstdlib>
#include <iostream>
#include <span>
#include <string>

#include "formats/FileIo.h"
#include "formats/Flashut.h"
#include "image/Tiflashut.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/RenderPlugin.h"

namespace orvalink {

namespace {

// The drawing library's entry point; null with the loader's reason.
OrvalinkRenderPng LoadRenderer(std::string& why) {
    const std::string path = ExecutableFolder() + "/" ORVALINK_RENDER_LIBRARY;
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char* e = ::dlerror();
        why = e ? e : path;
        return nullptr;
    }
    auto entry = reinterpret_cast<OrvalinkRenderPng>(::dlsym(library, ORVALINK_RENDER_SYMBOL));
    if (!entry) why = path + ": no " ORVALINK_RENDER_SYMBOL;
    return entry;  // the library stays loaded until the program ends
}

}  // namespace

int RenderCommand(const std::string& path, const std::string& slotText, const std::string& out) {
    char* end = nullptr;
    long slot = std::strtol(slotText.c_str(), &end, 10);
    if (slotText.empty() || *end != '\0' || slot < 0 || slot > kMacroSlot) {
        std::cerr << "orvalink-cli: SLOT is a device slot, 0 to 65\n";
        return 2;
    }
    if (IsSameFile(PathFromUtf8(path), PathFromUtf8(out))) {
        std::cerr << "orvalink-cli: " << SameFileText(path, out) << "\n";
        return 2;
    }
    TTiFlashFm flash;
    if (!LoadDocumentImage(path, flash)) return 1;
    std::string why;
    OrvalinkRenderPng render = LoadRenderer(why);
    if (!render) {
        std::cerr << "orvalink-cli: this build has no drawing library (render needs Qt): " << why << "\n";
        return 1;
    }
    const auto image = std::as_const(flash).Image();
    uint8_t* png = nullptr;
    size_t pngSize = 0;
    if (render(image.data(), image.size(), int(slot), &png, &pngSize) != 0 || !png)
        return WriteError(out, "the picture cannot be encoded");
    const bool saved = ReplaceFileBytes(PathFromUtf8(out), std::span<const uint8_t>(png, pngSize), &why);
    std::free(png);
    // Saved as every file is: complete or not at all.
    if (!saved) return WriteError(out, why);
    std::cout << "picture: " << out << "\n";
    return 0;
}

}  // namespace orvalink
