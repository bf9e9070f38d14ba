// The conversions between plain and security files that the file page's
// "UnSec", "SetSMcf" and "SetSMod" commands and orvalink-cli share.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "formats/PlainFiles.h"
#include "formats/SecurityFiles.h"

namespace orvalink {

inline constexpr char kNotOlderFlashText[] =
    "The data are longer than an older remote's flash image.\nNothing was written.";

// Writes the plain form of a security file's data beside `path` (the name
// with the plain extension): kind 0 through the older flash image and
// WriteMcf, 1 through ParseMod and WriteMod, 2 as the image's code region
// (from its start offset) and WriteSdc. `flash` receives the data; it is
// untouched when the data do not fit it or the module does not parse.
PlainFileOutcome WritePlainForm(const std::filesystem::path& path, std::span<const uint8_t> data, uint8_t kind,
                                OlderFlash& flash);

// The security kind of a plain kind (3 mcf, 4 mod, 5 sdc in dialog order):
// 0, 1 or 2; false for any other.
bool SecurityKindOfPlain(int plainKind, uint8_t& securityKind);

}  // namespace orvalink
