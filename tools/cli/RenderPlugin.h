// The entry point of liborvalink_render, the drawing library orvalink-cli
// loads when render runs.
#pragma once

#include <cstddef>
#include <cstdint>

#define ORVALINK_RENDER_EXPORT __attribute__((visibility("default")))

// The library's file name, looked for beside the executable.
#define ORVALINK_RENDER_LIBRARY "liborvalink_render.so"
#define ORVALINK_RENDER_SYMBOL "orvalink_render_png"

extern "C" {
// Draws the sheet of device `slot` of a memory image (imageSize bytes) as
// PNG bytes, which *png receives (freed with free()). 0 on success.
using OrvalinkRenderPng = int (*)(const uint8_t* image, size_t imageSize, int slot, uint8_t** png, size_t* pngSize);
ORVALINK_RENDER_EXPORT int orvalink_render_png(const uint8_t* image, size_t imageSize, int slot, uint8_t** png,
                                               size_t* pngSize);
}
