// The small files of the program folder from arbitrary bytes. The first byte
// picks the reader: a model choice file (modelinfo.dat), the remembered
// choice from modelinfo.dat and t5minfo.dat (the second byte splits the rest
// between them, an empty part is no file), or the model list type.ini.
// Whatever the files hold, a reader answers without reading outside them and
// what it returns keeps its promises.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/SideFiles.h"
#include "fuzz/FuzzFolder.h"

using namespace orvalink;

namespace {

// What ReadModelSettings must make of a file's bytes.
bool Expected(std::span<const uint8_t> bytes, ModelSettings& out) {
    if (bytes.empty() || bytes.size() > 8) return false;
    uint8_t b[8] = {};
    for (size_t i = 0; i < bytes.size(); ++i) b[i] = bytes[i];
    out.startMode = uint16_t(b[0] | b[1] << 8);
    out.modelWord = uint16_t(b[2] | b[3] << 8);
    out.familyCode = uint16_t(b[4] | b[5] << 8);
    out.language = uint16_t(b[6] | b[7] << 8);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const fuzz::FuzzFolder folder("orvalink-fuzz-side-files");
    if (size == 0) return 0;
    const std::span<const uint8_t> rest(data + 1, size - 1);
    switch (data[0] % 3) {
        case 0: {
            const auto file = folder.Write(kModelInfoFile, rest);
            ModelSettings read{}, expected{};
            const bool ok = ReadModelSettings(file, read);
            if (ok != Expected(rest, expected) || (ok && !(read == expected))) std::abort();
            if (ok && IsValidChoice(read) && !IsStoredModelWord(read.modelWord)) std::abort();
            break;
        }
        case 1: {
            const size_t cut = rest.empty() ? 0 : rest[0] % (rest.size() + 1);
            const auto first = rest.first(cut);
            const auto second = rest.subspan(cut);
            if (first.empty()) folder.Remove(kModelInfoFile); else folder.Write(kModelInfoFile, first);
            if (second.empty()) folder.Remove(kT5mInfoFile); else folder.Write(kT5mInfoFile, second);
            ModelSettings read{}, a{}, b{};
            const bool ok = ReadRememberedChoice(folder.Path(), read);
            const bool fromFirst = Expected(first, a);
            const bool fromSecond = !fromFirst && Expected(second, b);
            if (ok != (fromFirst || fromSecond)) std::abort();
            if (ok && !(read == (fromFirst ? a : b))) std::abort();
            break;
        }
        default: {
            const auto file = folder.Write(kTypeIniFile, rest);
            std::vector<std::string> names;
            if (!ReadTypeIni(file, names)) std::abort();
            for (const std::string& name : names) {
                if (name.empty() || name.find('\n') != std::string::npos) std::abort();
                for (char edge : {name.front(), name.back()})
                    if (edge == ' ' || edge == '\t' || edge == '\r') std::abort();
            }
            break;
        }
    }
    return 0;
}
