#include "tools/gen-pictures/RgbCanvas.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvalink::pictures {

namespace {

uint8_t Channel(double v) { return uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

double Length(double x, double y) { return std::sqrt(x * x + y * y); }

double SegmentDistance(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return Length(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Negative inside, positive outside, zero on the outline.
double RoundRectDistance(Point p, const Box& box, double radius) {
    radius = std::clamp(radius, 0.0, std::min(box.w, box.h) / 2);
    const double qx = std::abs(p.x - (box.x + box.w / 2)) - (box.w / 2 - radius);
    const double qy = std::abs(p.y - (box.y + box.h / 2)) - (box.h / 2 - radius);
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
}

}  // namespace

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {Channel(a.r + (b.r - a.r) * t), Channel(a.g + (b.g - a.g) * t), Channel(a.b + (b.b - a.b) * t)};
}

Rgb Paint::At(double y) const {
    if (y1 <= y0) return top;
    return Mix(top, bottom, (y - y0) / (y1 - y0));
}

RgbCanvas::RgbCanvas(int width, int height, Rgb background)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), rgb_(size_t(width_) * size_t(height_) * 3) {
    for (size_t i = 0; i < rgb_.size(); i += 3) {
        rgb_[i] = background.r;
        rgb_[i + 1] = background.g;
        rgb_[i + 2] = background.b;
    }
}

Rgb RgbCanvas::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return {};
    const uint8_t* p = &rgb_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
    return {p[0], p[1], p[2]};
}

void RgbCanvas::Blend(int x, int y, Rgb colour, double alpha) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || !(alpha > 0)) return;
    alpha = std::min(alpha, 1.0);
    uint8_t* p = &rgb_[(size_t(y) * size_t(width_) + size_t(x)) * 3];
    p[0] = Channel(p[0] + (colour.r - p[0]) * alpha);
    p[1] = Channel(p[1] + (colour.g - p[1]) * alpha);
    p[2] = Channel(p[2] + (colour.b - p[2]) * alpha);
}

template <typename Distance>
void RgbCanvas::Cover(double x0, double y0, double x1, double y1, const Paint& paint, double soft, Distance distance) {
    soft = std::max(soft, 0.25);
    const int left = std::max(0, int(std::floor(x0 - soft)));
    const int top = std::max(0, int(std::floor(y0 - soft)));
    const int right = std::min(width_ - 1, int(std::ceil(x1 + soft)));
    const int bottom = std::min(height_ - 1, int(std::ceil(y1 + soft)));
    for (int y = top; y <= bottom; ++y) {
        const double cy = y + 0.5;
        const Rgb colour = paint.At(cy);
        for (int x = left; x <= right; ++x) {
            const double d = distance(Point{x + 0.5, cy});
            Blend(x, y, colour, std::clamp(0.5 - d / soft, 0.0, 1.0) * paint.opacity);
        }
    }
}

void RgbCanvas::FillRoundRect(const Box& box, double radius, const Paint& paint, double soft) {
    Cover(box.x, box.y, box.x + box.w, box.y + box.h, paint, soft,
          [&](Point p) { return RoundRectDistance(p, box, radius); });
}

void RgbCanvas::StrokeRoundRect(const Box& box, double radius, double width, const Paint& paint) {
    Cover(box.x - width, box.y - width, box.x + box.w + width, box.y + box.h + width, paint, 1,
          [&](Point p) { return std::abs(RoundRectDistance(p, box, radius)) - width / 2; });
}

void RgbCanvas::FillEllipse(Point c, double rx, double ry, const Paint& paint, double soft) {
    if (rx <= 0 || ry <= 0) return;
    // Scaled distance from a circle: exact for circles, close enough for the
    // nearly round keys drawn here.
    const double scale = std::min(rx, ry);
    Cover(c.x - rx, c.y - ry, c.x + rx, c.y + ry, paint, soft,
          [&](Point p) { return (Length((p.x - c.x) / rx, (p.y - c.y) / ry) - 1) * scale; });
}

void RgbCanvas::FillConvex(const std::vector<Point>& corners, const Paint& paint) {
    if (corners.size() < 3) return;
    double area = 0, x0 = corners[0].x, y0 = corners[0].y, x1 = x0, y1 = y0;
    for (size_t i = 0; i < corners.size(); ++i) {
        const Point a = corners[i], b = corners[(i + 1) % corners.size()];
        area += a.x * b.y - b.x * a.y;
        x0 = std::min(x0, a.x), y0 = std::min(y0, a.y), x1 = std::max(x1, a.x), y1 = std::max(y1, a.y);
    }
    if (area == 0) return;
    const double winding = area > 0 ? 1 : -1;
    // The largest signed distance from the edges' lines: exact along the
    // edges, a little sharp beyond the corners.
    Cover(x0, y0, x1, y1, paint, 1, [&](Point p) {
        double d = -1e9;
        for (size_t i = 0; i < corners.size(); ++i) {
            const Point a = corners[i], b = corners[(i + 1) % corners.size()];
            const double length = Length(b.x - a.x, b.y - a.y);
            if (length == 0) continue;
            d = std::max(d, winding * ((p.x - a.x) * (b.y - a.y) - (p.y - a.y) * (b.x - a.x)) / length);
        }
        return d;
    });
}

void RgbCanvas::StrokeLine(Point a, Point b, double width, const Paint& paint) {
    Cover(std::min(a.x, b.x) - width, std::min(a.y, b.y) - width, std::max(a.x, b.x) + width,
          std::max(a.y, b.y) + width, paint, 1, [&](Point p) { return SegmentDistance(p, a, b) - width / 2; });
}

void RgbCanvas::StrokeArc(Point c, double radius, double from, double to, double width, const Paint& paint) {
    constexpr double kDegree = std::numbers::pi / 180;
    while (to < from) to += 360;
    const Point start{c.x + radius * std::cos(from * kDegree), c.y - radius * std::sin(from * kDegree)};
    const Point end{c.x + radius * std::cos(to * kDegree), c.y - radius * std::sin(to * kDegree)};
    Cover(c.x - radius - width, c.y - radius - width, c.x + radius + width, c.y + radius + width, paint, 1,
          [&](Point p) {
              double angle = std::atan2(c.y - p.y, p.x - c.x) / kDegree;
              while (angle < from) angle += 360;
              if (angle <= to) return std::abs(Length(p.x - c.x, p.y - c.y) - radius) - width / 2;
              return std::min(Length(p.x - start.x, p.y - start.y), Length(p.x - end.x, p.y - end.y)) - width / 2;
          });
}

}  // namespace orvalink::pictures
