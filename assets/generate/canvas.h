// A small anti-aliased painter: shapes are signed distance functions filled with paints.
#pragma once

#include <functional>
#include <vector>

namespace artwork {

// A colour with channels from 0 to 255, kept fractional until the picture is stored.
struct Colour {
    double r = 0, g = 0, b = 0;
};

// Mixes two colours: t = 0 gives a, t = 1 gives b.
Colour Mix(Colour a, Colour b, double t);

// Signed distance in pixels from a point to a shape's edge: negative inside.
using Shape = std::function<double(double x, double y)>;
// The colour a fill lays down at a point.
using Paint = std::function<Colour(double x, double y)>;

Paint Solid(Colour c);
// A linear gradient from `a` at (x0, y0) to `b` at (x1, y1), clamped beyond both ends.
Paint Linear(double x0, double y0, Colour a, double x1, double y1, Colour b);
// A radial gradient from `a` at the centre to `b` at radius r and beyond.
Paint Radial(double cx, double cy, double r, Colour a, Colour b);

Shape Circle(double cx, double cy, double r);
Shape Ellipse(double cx, double cy, double rx, double ry);
// An axis-aligned box from (x0, y0) to (x1, y1) with corners rounded by `radius`.
Shape RoundedBox(double x0, double y0, double x1, double y1, double radius);
// A line from a to b, `width` thick, with round ends; a == b gives a dot.
Shape Capsule(double ax, double ay, double bx, double by, double width);
// A convex polygon, corners listed in either winding order.
Shape Convex(std::vector<std::pair<double, double>> corners);
// A pointed leaf from base to tip, `width` at its widest, bent sideways by `bend` pixels.
Shape Leaf(double bx, double by, double tx, double ty, double width, double bend = 0);
// A falling drop: round at (cx, cy) with radius r, pointed towards (tx, ty).
Shape Drop(double cx, double cy, double r, double tx, double ty);

Shape Unite(Shape a, Shape b);
Shape Intersect(Shape a, Shape b);
Shape Subtract(Shape a, Shape b);
// The band `width` wide centred on a shape's edge.
Shape Outline(Shape s, double width);
// The shape grown outwards by `amount` pixels (shrunk when negative).
Shape Grow(Shape s, double amount);
Shape Move(Shape s, double dx, double dy);

// An RGB picture with a coverage channel, painted back to front.
class Canvas {
  public:
    // Shapes and paints are given in drawing units; `scale` pixels make one unit, so the
    // same drawing comes out at any size.
    Canvas(int width, int height, Colour background, double alpha = 1.0, double scale = 1.0);

    int width() const { return width_; }
    int height() const { return height_; }

    // Paints `paint` where `shape` lies, with `opacity`; the edge is blurred over
    // `softness` pixels (1 gives a plain anti-aliased edge, more gives a soft shadow).
    void Fill(const Shape& shape, const Paint& paint, double opacity = 1.0, double softness = 1.0);
    // Paints every pixel with the paint chosen by `paint`.
    void Fill(const Paint& paint, double opacity = 1.0);

    Colour at(int x, int y) const { return pixels_[index(x, y)]; }
    // How much of the pixel has been painted over a transparent background (0 to 1).
    double coverage(int x, int y) const { return alpha_[index(x, y)]; }
    // The colour painted on the pixel without the background's share, for pictures with
    // alpha; the background where nothing was painted.
    Colour painted(int x, int y) const;

  private:
    size_t index(int x, int y) const { return size_t(y) * size_t(width_) + size_t(x); }

    int width_, height_;
    double scale_;
    Colour background_;
    std::vector<Colour> pixels_;
    std::vector<double> alpha_;
};

}  // namespace artwork
