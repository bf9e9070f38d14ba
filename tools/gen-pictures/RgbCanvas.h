// Colour drawing for the pictures of model.dll: an RGB canvas and smooth
// shapes on it. Every shape is described by its distance from the pixel
// centre, so that edges come out anti-aliased and wider ramps give soft
// shadows.
#pragma once

#include <cstdint>
#include <vector>

namespace orvalink::pictures {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
};

// 0xRRGGBB.
constexpr Rgb Hex(uint32_t v) { return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
// a at t = 0, b at t = 1.
Rgb Mix(Rgb a, Rgb b, double t);

// What a shape is filled with: one colour, or a colour running from `top` at
// row y0 to `bottom` at row y1; `opacity` scales the shape's coverage.
struct Paint {
    Rgb top, bottom;
    double y0 = 0, y1 = 0;
    double opacity = 1;

    static Paint Solid(Rgb colour, double opacity = 1) { return {colour, colour, 0, 0, opacity}; }
    static Paint Vertical(Rgb top, double y0, Rgb bottom, double y1, double opacity = 1) {
        return {top, bottom, y0, y1, opacity};
    }
    Rgb At(double y) const;
};

struct Box {
    double x = 0, y = 0, w = 0, h = 0;
};

struct Point {
    double x = 0, y = 0;
};

class RgbCanvas {
public:
    RgbCanvas(int width, int height, Rgb background);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb At(int x, int y) const;
    // Rows top first, three bytes a pixel (red, green, blue).
    const std::vector<uint8_t>& Pixels() const { return rgb_; }

    // Lays `colour` over the pixel with the given weight (0..1); points
    // outside the canvas are ignored.
    void Blend(int x, int y, Rgb colour, double alpha);

    // `soft` is the width in pixels of the ramp across the edge: 1 for a
    // crisp anti-aliased edge, more for a blurred one.
    void FillRoundRect(const Box& box, double radius, const Paint& paint, double soft = 1);
    // A line of `width` along the outline, centred on it.
    void StrokeRoundRect(const Box& box, double radius, double width, const Paint& paint);
    void FillEllipse(Point centre, double rx, double ry, const Paint& paint, double soft = 1);
    // A convex polygon, its corners in either winding order.
    void FillConvex(const std::vector<Point>& corners, const Paint& paint);
    // A line with round ends.
    void StrokeLine(Point a, Point b, double width, const Paint& paint);
    // The part of a circle from angle `from` to `to` (degrees, counter-clockwise
    // from the positive x axis, y pointing up), with round ends.
    void StrokeArc(Point centre, double radius, double from, double to, double width, const Paint& paint);

private:
    template <typename Distance>
    void Cover(double x0, double y0, double x1, double y1, const Paint& paint, double soft, Distance distance);

    int width_;
    int height_;
    std::vector<uint8_t> rgb_;
};

}  // namespace orvalink::pictures
