// A canvas as a JPEG file, through libjpeg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/gen-pictures/RgbCanvas.h"

namespace orvalink::pictures {

// A baseline JFIF file of the canvas at `quality` (1..100), colour kept at
// full resolution so that small coloured text stays sharp. The same canvas
// always gives the same bytes. False, with `error` set, when libjpeg refuses.
bool EncodeJpeg(const RgbCanvas& canvas, int quality, std::vector<uint8_t>& out, std::string& error);

}  // namespace orvalink::pictures
