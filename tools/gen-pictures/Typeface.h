// Outline fonts (TrueType, read with FreeType) drawn anti-aliased on an RGB
// canvas, with the pen at fractional positions so that text set at any size
// keeps its spacing.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "tools/gen-pictures/RgbCanvas.h"

namespace orvalink::pictures {

class Typeface {
public:
    ~Typeface();
    Typeface(const Typeface&) = delete;
    Typeface& operator=(const Typeface&) = delete;

    // Nothing, with `error` set, when the file is missing or no outline font.
    static std::unique_ptr<Typeface> Open(const std::filesystem::path& path, std::string& error);

    // How far `text` at `size` pixels to the em moves the pen; `tracking`
    // pixels are added between letters.
    double Advance(std::u32string_view text, double size, double tracking = 0) const;
    // The height of the capitals above the baseline.
    double CapHeight(double size) const;
    // Draws `text` with the pen starting at x on the baseline; returns the advance.
    double Draw(RgbCanvas& canvas, double x, double baseline, std::u32string_view text, double size, Rgb colour,
                double tracking = 0, double opacity = 1) const;

private:
    Typeface() = default;
    bool SetSize(double size) const;

    struct Face;
    std::unique_ptr<Face> face_;
};

}  // namespace orvalink::pictures
