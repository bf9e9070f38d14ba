#include "link/sim/OlderRemote.h"

#include "formats/FileIo.h"

namespace orvalink {

std::vector<uint8_t> OlderRemote::Echo(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out;
    out.reserve(bytes.size());
    for (uint8_t b : bytes) {
        const int at = int(seen_++ % kJigRun);
        if (at == faults_.dropByte) continue;
        out.push_back(at == faults_.changeByte ? uint8_t(b ^ 0x10) : b);
    }
    return out;
}

bool OlderRemote::LoadFlash(const std::string& path, std::string& error) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadFileBytes(path, bytes, kFlashBytes + 1, &why)) {
        error = "cannot read " + path + ": " + why;
        return false;
    }
    if (bytes.size() != kFlashBytes) {
        error = path + " holds " + std::to_string(bytes.size()) + " bytes, the older flash " +
                std::to_string(kFlashBytes);
        return false;
    }
    flash_ = std::move(bytes);
    return true;
}

bool OlderRemote::SaveFlash(const std::string& path, std::string& error) const {
    std::string why;
    if (ReplaceFileBytes(path, flash_, &why)) return true;
    error = "cannot write " + path + ": " + why;
    return false;
}

}  // namespace orvalink
