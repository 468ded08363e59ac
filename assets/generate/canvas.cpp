// Distance-function shapes, paints and the compositing canvas.
#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace artwork {
namespace {

double Clamp01(double t) {
    return std::min(1.0, std::max(0.0, t));
}

// Distance from p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? Clamp01(((px - ax) * dx + (py - ay) * dy) / len2) : 0.0;
    return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

}  // namespace

Colour Mix(Colour a, Colour b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Paint Solid(Colour c) {
    return [c](double, double) { return c; };
}

Paint Linear(double x0, double y0, Colour a, double x1, double y1, Colour b) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len2 = std::max(1e-9, dx * dx + dy * dy);
    return [=](double x, double y) {
        return Mix(a, b, Clamp01(((x - x0) * dx + (y - y0) * dy) / len2));
    };
}

Paint Radial(double cx, double cy, double r, Colour a, Colour b) {
    return [=](double x, double y) { return Mix(a, b, Clamp01(std::hypot(x - cx, y - cy) / r)); };
}

Shape Circle(double cx, double cy, double r) {
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - r; };
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
    // Scaled circle distance: close to the true distance for the mild ellipses drawn here.
    return [=](double x, double y) {
        return (std::hypot((x - cx) / rx, (y - cy) / ry) - 1.0) * std::min(rx, ry);
    };
}

Shape RoundedBox(double x0, double y0, double x1, double y1, double radius) {
    const double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const double hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return [=](double x, double y) {
        const double qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
        return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
               radius;
    };
}

Shape Capsule(double ax, double ay, double bx, double by, double width) {
    return [=](double x, double y) { return SegmentDistance(x, y, ax, ay, bx, by) - width / 2; };
}

Shape Convex(std::vector<std::pair<double, double>> corners) {
    // Orient the corners counter-clockwise (in y-down pixels) so that every edge's
    // outward normal points the same way.
    double area = 0;
    for (size_t i = 0; i < corners.size(); ++i) {
        const auto& a = corners[i];
        const auto& b = corners[(i + 1) % corners.size()];
        area += a.first * b.second - b.first * a.second;
    }
    if (area < 0) std::reverse(corners.begin(), corners.end());
    return [corners](double x, double y) {
        double nearest = 1e9;
        bool inside = true;
        for (size_t i = 0; i < corners.size(); ++i) {
            const auto& a = corners[i];
            const auto& b = corners[(i + 1) % corners.size()];
            nearest =
                std::min(nearest, SegmentDistance(x, y, a.first, a.second, b.first, b.second));
            const double cross =
                (b.first - a.first) * (y - a.second) - (b.second - a.second) * (x - a.first);
            if (cross < 0) inside = false;
        }
        return inside ? -nearest : nearest;
    };
}

Shape Leaf(double bx, double by, double tx, double ty, double width, double bend) {
    const double length = std::hypot(tx - bx, ty - by);
    const double ux = (tx - bx) / length, uy = (ty - by) / length;
    // The leaf is the lens where two equal circles overlap; their centres sit on the
    // leaf's cross axis, far enough apart that the lens is `width` wide.
    const double half = length / 2, w = width / 2;
    const double radius = (half * half + w * w) / (2 * w);
    const double offset = radius - w;
    return [=](double x, double y) {
        const double px = x - bx, py = y - by;
        const double u = px * ux + py * uy;
        const double t = u / length;
        const double v = -px * uy + py * ux - bend * 4 * t * (1 - t);
        const double a = u - half;
        return std::max(std::hypot(a, v + offset), std::hypot(a, v - offset)) - radius;
    };
}

Shape Drop(double cx, double cy, double r, double tx, double ty) {
    const double d = std::hypot(tx - cx, ty - cy);
    const double ux = (tx - cx) / d, uy = (ty - cy) / d;
    // The points where the lines from the tip touch the round part.
    const double c = r / d, s = std::sqrt(std::max(0.0, 1 - c * c));
    const double p1x = cx + r * (ux * c - uy * s), p1y = cy + r * (uy * c + ux * s);
    const double p2x = cx + r * (ux * c + uy * s), p2y = cy + r * (uy * c - ux * s);
    return Unite(Circle(cx, cy, r), Convex({{tx, ty}, {p1x, p1y}, {p2x, p2y}}));
}

Shape Unite(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) {
        return std::min(a(x, y), b(x, y));
    };
}

Shape Intersect(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) {
        return std::max(a(x, y), b(x, y));
    };
}

Shape Subtract(Shape a, Shape b) {
    return [a = std::move(a), b = std::move(b)](double x, double y) {
        return std::max(a(x, y), -b(x, y));
    };
}

Shape Outline(Shape s, double width) {
    return [s = std::move(s), width](double x, double y) { return std::abs(s(x, y)) - width / 2; };
}

Shape Grow(Shape s, double amount) {
    return [s = std::move(s), amount](double x, double y) { return s(x, y) - amount; };
}

Shape Move(Shape s, double dx, double dy) {
    return [s = std::move(s), dx, dy](double x, double y) { return s(x - dx, y - dy); };
}

Canvas::Canvas(int width, int height, Colour background, double alpha, double scale)
    : width_(width),
      height_(height),
      scale_(scale),
      background_(background),
      pixels_(size_t(width) * size_t(height), background),
      alpha_(size_t(width) * size_t(height), alpha) {}

void Canvas::Fill(const Shape& shape, const Paint& paint, double opacity, double softness) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            // Sample at the pixel's centre; a distance of half a pixel either side of
            // the edge ramps the coverage from full to none.
            const double px = (x + 0.5) / scale_, py = (y + 0.5) / scale_;
            const double cover = Clamp01(0.5 - shape(px, py) * scale_ / softness) * opacity;
            if (cover <= 0) continue;
            const size_t i = index(x, y);
            pixels_[i] = Mix(pixels_[i], paint(px, py), cover);
            alpha_[i] += (1 - alpha_[i]) * cover;
        }
    }
}

Colour Canvas::painted(int x, int y) const {
    // Each fill mixed its paint into the colour and its coverage into alpha alike, so the
    // colour is background * (1 - alpha) + painted * alpha.
    const size_t i = index(x, y);
    const double a = alpha_[i];
    if (a <= 0) return background_;
    const Colour c = pixels_[i];
    return {(c.r - background_.r * (1 - a)) / a, (c.g - background_.g * (1 - a)) / a,
            (c.b - background_.b * (1 - a)) / a};
}

void Canvas::Fill(const Paint& paint, double opacity) {
    Fill([](double, double) { return -1e9; }, paint, opacity);
}

}  // namespace artwork
