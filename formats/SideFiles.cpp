#include "formats/SideFiles.h"

#include <array>
#include <system_error>

#include "base/ByteIo.h"
#include "formats/FileIo.h"

namespace orvalink {

namespace fs = std::filesystem;

bool ReadModelSettings(const fs::path& path, ModelSettings& settings) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, 8) || bytes.empty() || bytes.size() > 8) return false;
    bytes.resize(8, 0);  // a shorter file leaves the missing values 0
    ByteReader r(bytes);
    ModelSettings s;
    s.startMode = r.U16();
    s.modelWord = r.U16();
    s.familyCode = r.U16();
    s.language = r.U16();
    if (!r.ok()) return false;
    settings = s;
    return true;
}

bool WriteModelSettings(const fs::path& path, const ModelSettings& settings) {
    std::array<uint8_t, 8> bytes{};
    ByteWriter w(bytes);
    w.U16(settings.startMode);
    w.U16(settings.modelWord);
    w.U16(settings.familyCode);
    w.U16(settings.language);
    return w.ok() && ReplaceFileBytes(path, bytes);
}

bool IsStoredModelWord(uint16_t modelWord) {
    return (modelWord >= 100 && modelWord <= 2000) || modelWord == kMainModelWord;
}

bool IsValidChoice(const ModelSettings& settings) {
    return settings.startMode == kStartSkipPicker && IsStoredModelWord(settings.modelWord);
}

bool ReadRememberedChoice(const fs::path& programFolder, ModelSettings& settings) {
    return ReadModelSettings(programFolder / kModelInfoFile, settings) ||
           ReadModelSettings(programFolder / kT5mInfoFile, settings);
}

bool ReadTypeIni(const fs::path& path, std::vector<std::string>& names) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, 1 << 20)) return false;
    std::vector<std::string> out;
    std::string line;
    auto flush = [&] {
        size_t a = line.find_first_not_of(" \t\r");
        size_t b = line.find_last_not_of(" \t\r");
        if (a != std::string::npos) out.push_back(line.substr(a, b - a + 1));
        line.clear();
    };
    for (uint8_t c : bytes) {
        if (c == '\n')
            flush();
        else
            line += char(c);
    }
    flush();
    names = std::move(out);
    return true;
}

bool ReadVerifyAfterUpload(const fs::path& programFolder) {
    std::vector<uint8_t> bytes;
    if (!ReadFileBytes(programFolder / kVerifyFile, bytes, 1)) return true;
    return !(bytes.size() == 1 && bytes[0] == 0);
}

bool WriteVerifyAfterUpload(const fs::path& programFolder, bool on) {
    const uint8_t value = on ? 1 : 0;
    return ReplaceFileBytes(programFolder / kVerifyFile, std::span<const uint8_t>(&value, 1));
}

bool CreateSignalFile(const fs::path& programFolder) {
    const uint8_t zero = 0;
    return ReplaceFileBytes(programFolder / kSignalFile, std::span<const uint8_t>(&zero, 1));
}

void DeleteSignalFile(const fs::path& programFolder) {
    std::error_code ec;
    fs::remove(programFolder / kSignalFile, ec);
}

}  // namespace orvalink
