#include "formats/FileConversions.h"

#include <algorithm>

namespace orvalink {

PlainFileOutcome WritePlainForm(const std::filesystem::path& path, std::span<const uint8_t> data, uint8_t kind,
                                OlderFlash& flash) {
    PlainFileOutcome refused;
    refused.path = path;
    if (kind == kSecuritySmod) {
        ModuleRecord module;
        const PlainFileOutcome parsed = ParseMod(data, module);
        if (!parsed.Ok()) return parsed;
        return WriteMod(path, module);
    }
    if (kind == kSecuritySmcf) {
        if (data.size() > kOlderFlashBytes) {
            refused.kind = PlainFileResult::TooLarge;
            refused.message = kNotOlderFlashText;
            return refused;
        }
        std::copy(data.begin(), data.end(), flash.bytes.begin());
        return WriteMcf(path, flash);
    }
    if (kind == kSecuritySsdc) {
        if (flash.codeStart > kOlderFlashBytes || data.size() > kOlderFlashBytes - flash.codeStart) {
            refused.kind = PlainFileResult::BadCodeRegion;
            refused.message = kCodeRegionText;
            return refused;
        }
        std::copy(data.begin(), data.end(), flash.bytes.begin() + flash.codeStart);
        flash.codeEnd = uint32_t(flash.codeStart + data.size());
        return WriteSdc(path, flash);
    }
    refused.kind = PlainFileResult::BadSecurityFile;
    return refused;
}

bool SecurityKindOfPlain(int plainKind, uint8_t& securityKind) {
    if (plainKind < 3 || plainKind > 5) return false;
    securityKind = uint8_t(plainKind - 3);
    return true;
}

}  // namespace orvalink
