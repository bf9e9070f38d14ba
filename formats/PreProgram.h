// Loading a pre-programmed device: the layout template of the code number's
// device type from dev_model.dll, with the IR codes of the code set from the
// image's code library.
#pragma once

#include <cstdint>
#include <filesystem>

#include "image/DeviceBundle.h"
#include "image/Tiflashut.h"

namespace orvalink {

enum class PreProgramResult { Ok, NoLibrary, NoTemplate, NoCodeSet };

// The template resource of a code number's range.
int TemplateForCodeNumber(uint16_t codeNumber);

// Builds the device into `bundle`; nothing changes on failure.
PreProgramResult BuildPreProgramBundle(const std::filesystem::path& programFolder, const TTiFlashFm& flash,
                                       uint16_t codeNumber, DeviceBundle& bundle);

}  // namespace orvalink
