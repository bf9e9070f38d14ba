// The factory image as the document New starts from: a V file of kind
// vmcf for the QM-5100, version 1.00, whose password comes from a fixed
// clock, so that the same image always gives the same header and payload.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/Tiflashut.h"

namespace orvalink::gen {

// The clock second the factory document's password is drawn with.
inline constexpr int64_t kFactoryDocumentSeconds = 1767225600;  // 2026-01-01 00:00 UTC

bool FactoryDocumentBytes(const TTiFlashFm& flash, std::vector<uint8_t>& file, std::string& error);

}  // namespace orvalink::gen
