// Glyphs as strokes in em units (baseline 0, x-height 0.6, ascender 1, y up).
#include "lettering.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace artwork {
namespace {

struct Point {
    double x, y;
};
using Stroke = std::vector<Point>;

struct Glyph {
    double advance;
    std::vector<Stroke> strokes;
};

constexpr double kPi = 3.14159265358979323846;

// Points along an elliptic arc from angle a0 to a1 in degrees, counter-clockwise positive.
Stroke Arc(double cx, double cy, double rx, double ry, double a0, double a1, int steps = 16) {
    Stroke s;
    for (int i = 0; i <= steps; ++i) {
        const double a = (a0 + (a1 - a0) * i / steps) * kPi / 180;
        s.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return s;
}

Stroke Join(Stroke a, const Stroke& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Glyph GlyphFor(char c) {
    switch (c) {
        case 'Q':
            return {0.9, {Arc(0.42, 0.5, 0.4, 0.5, 0, 360, 40), {{0.5, 0.2}, {0.88, -0.1}}}};
        case 'u':
            return {0.5,
                    {Join({{0, 0.6}}, Arc(0.22, 0.22, 0.22, 0.22, 180, 360)),
                     {{0.44, 0.6}, {0.44, 0}}}};
        case 'i':
            return {0.0, {{{0, 0}, {0, 0.6}}, {{0, 0.86}, {0, 0.86}}}};
        case 'l':
            return {0.0, {{{0, 0}, {0, 1.0}}}};
        case 'm':
            return {0.76,
                    {{{0, 0}, {0, 0.6}},
                     Join(Arc(0.19, 0.36, 0.19, 0.24, 180, 0), {{0.38, 0}}),
                     Join(Arc(0.57, 0.36, 0.19, 0.24, 180, 0), {{0.76, 0}})}};
        case 'e':
            return {0.52, {Join({{0.0, 0.3}}, Arc(0.26, 0.3, 0.26, 0.3, 0, 320, 24))}};
        case 'r':
            return {0.27, {{{0, 0}, {0, 0.6}}, Arc(0.32, 0.3, 0.32, 0.3, 180, 95)}};
        default:
            return {0.4, {}};
    }
}

}  // namespace

double LetteringWidth(const std::string& text, const TextPlacement& where) {
    double width = 0;
    for (char c : text) width += (GlyphFor(c).advance + where.spacing + where.stroke);
    return (width - where.spacing) * where.size;
}

Shape Lettering(const std::string& text, const TextPlacement& where) {
    // Every stroke becomes a run of capsules in pixel space; the lettering is their union.
    struct Segment {
        double ax, ay, bx, by;
    };
    std::vector<Segment> segments;
    const double half = where.stroke / 2;
    double pen = half;
    for (char c : text) {
        const Glyph g = GlyphFor(c);
        for (const Stroke& s : g.strokes) {
            auto toPixel = [&](Point p) {
                return Point{where.left + (pen + p.x + where.slant * p.y) * where.size,
                             where.baseline - p.y * where.size};
            };
            for (size_t i = 0; i + 1 < s.size(); ++i) {
                const Point a = toPixel(s[i]), b = toPixel(s[i + 1]);
                segments.push_back({a.x, a.y, b.x, b.y});
            }
        }
        pen += g.advance + where.spacing + where.stroke;
    }
    const double radius = half * where.size;
    return [segments, radius](double x, double y) {
        double best = 1e9;
        for (const Segment& s : segments) {
            const double dx = s.bx - s.ax, dy = s.by - s.ay;
            const double len2 = dx * dx + dy * dy;
            double t = len2 > 0 ? ((x - s.ax) * dx + (y - s.ay) * dy) / len2 : 0;
            t = std::min(1.0, std::max(0.0, t));
            best = std::min(best, std::hypot(x - s.ax - t * dx, y - s.ay - t * dy));
        }
        return best - radius;
    };
}

}  // namespace artwork
