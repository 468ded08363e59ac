// The seven pictures: leaves, water drops and lettering in the windows' greens and teals.
#include "pictures.h"

#include <cmath>
#include <vector>

#include "lettering.h"

namespace artwork {
namespace {

// The windows' own colours, which every picture picks up.
constexpr Colour kWindowBackground{195, 246, 246};
constexpr Colour kPanel{0, 224, 224};
constexpr Colour kOutline{0, 128, 128};

constexpr Colour kWhite{255, 255, 255};
constexpr Colour kDeepTeal{0, 72, 76};
constexpr Colour kShade{0, 40, 38};
constexpr Colour kLeafLight{150, 220, 90};
constexpr Colour kLeafMid{60, 170, 70};
constexpr Colour kLeafDark{18, 108, 58};
constexpr Colour kVein{200, 245, 160};
constexpr Colour kStem{52, 104, 40};
constexpr Colour kWater{215, 255, 250};

constexpr double kPi = 3.14159265358979323846;

// A point on a leaf's (bent) middle line, `t` from 0 at the base to 1 at the tip,
// moved `side` pixels across it.
struct LeafFrame {
    double bx, by, ux, uy, length, bend;
    void at(double t, double side, double* x, double* y) const {
        const double v = bend * 4 * t * (1 - t) + side;
        *x = bx + ux * t * length - uy * v;
        *y = by + uy * t * length + ux * v;
    }
};

struct LeafStyle {
    Colour light = kLeafLight, dark = kLeafDark;
    double veins = 0.55;   // vein opacity
    double shadow = 0.35;  // drop shadow opacity
    double opacity = 1.0;
};

// Draws a leaf with its shadow, a two-tone body folded along the midrib, side veins,
// a darker rim and a short stem.
void DrawLeaf(Canvas& c, double bx, double by, double tx, double ty, double width, double bend = 0,
              const LeafStyle& style = {}) {
    const Shape leaf = Leaf(bx, by, tx, ty, width, bend);
    const double length = std::hypot(tx - bx, ty - by);
    const LeafFrame f{bx, by, (tx - bx) / length, (ty - by) / length, length, bend};
    const double o = style.opacity;

    if (style.shadow > 0) {
        c.Fill(Move(leaf, 2, 3), Solid(kShade), style.shadow * o, 5);
    }
    double sx, sy, ex, ey;
    f.at(0, 0, &sx, &sy);
    f.at(-0.1, 0, &ex, &ey);
    c.Fill(Capsule(ex, ey, sx, sy, std::max(1.6, width * 0.08)), Solid(kStem), o);

    // The two halves catch the light differently, as if the leaf were folded.
    double ax, ay, cx, cy;
    f.at(0.5, width / 2, &ax, &ay);
    f.at(0.5, -width / 2, &cx, &cy);
    c.Fill(leaf, Linear(cx, cy, style.light, ax, ay, style.dark), o);
    const Shape upperHalf = [f, leaf](double x, double y) {
        // Positive on the far side of the midrib: the darker half gets a further shade.
        const double px = x - f.bx, py = y - f.by;
        const double u = px * f.ux + py * f.uy, t = u / f.length;
        const double v = -px * f.uy + py * f.ux - f.bend * 4 * t * (1 - t);
        return std::max(leaf(x, y), -v);
    };
    c.Fill(upperHalf, Solid(kLeafDark), 0.25 * o);
    // A long soft highlight near the lit edge.
    double hx0, hy0, hx1, hy1;
    f.at(0.2, -width * 0.22, &hx0, &hy0);
    f.at(0.7, -width * 0.2, &hx1, &hy1);
    c.Fill(Intersect(Capsule(hx0, hy0, hx1, hy1, width * 0.18), leaf), Solid(kWhite), 0.12 * o, 3);

    const Shape inner = Grow(leaf, -1.2);
    for (int i = 0; i <= 12; ++i) {
        double x0, y0, x1, y1;
        f.at(i / 12.0, 0, &x0, &y0);
        f.at((i + 1) / 12.0, 0, &x1, &y1);
        if (i < 12) {
            c.Fill(Intersect(Capsule(x0, y0, x1, y1, std::max(1.0, width * 0.07) * (1 - i / 14.0)),
                             inner),
                   Solid(kVein), style.veins * o);
        }
    }
    // Side veins sweep towards the tip, spaced by the leaf's width rather than its length.
    const int pairs = std::max(3, int(length / (width * 0.75)));
    for (int i = 1; i <= pairs; ++i) {
        const double t = 0.08 + 0.8 * i / (pairs + 1);
        const double reach = width * 0.5 * std::sin(kPi * std::min(1.0, t + 0.1));
        for (double side : {-1.0, 1.0}) {
            double x0, y0, x1, y1;
            f.at(t, 0, &x0, &y0);
            f.at(t + 0.6 * width / length, side * reach * 0.85, &x1, &y1);
            c.Fill(Intersect(Capsule(x0, y0, x1, y1, std::max(0.8, width * 0.035)), inner),
                   Solid(kVein), style.veins * 0.6 * o);
        }
    }
    c.Fill(Outline(leaf, 1.0), Solid(kLeafDark), 0.6 * o);
}

// A water bead resting on a surface: clear body, dark rim, a bright highlight and the
// light it gathers on its far side.
void DrawBead(Canvas& c, double cx, double cy, double r) {
    const Shape bead = Circle(cx, cy, r);
    c.Fill(Move(bead, r * 0.3, r * 0.45), Solid(kShade), 0.3, 1 + r * 0.4);
    c.Fill(bead, Radial(cx - r * 0.3, cy - r * 0.35, r * 1.3, kWater, Colour{40, 170, 150}), 0.5);
    c.Fill(Outline(bead, 0.9), Solid(kDeepTeal), 0.35);
    c.Fill(Intersect(Circle(cx + r * 0.2, cy + r * 0.25, r * 0.6), bead), Solid(kWhite), 0.25,
           1 + r * 0.4);
    c.Fill(Ellipse(cx - r * 0.35, cy - r * 0.4, r * 0.32, r * 0.22), Solid(kWhite), 0.95);
}

// A falling drop with its point upwards.
void DrawFallingDrop(Canvas& c, double cx, double cy, double r) {
    const Shape drop = Drop(cx, cy, r, cx - r * 0.3, cy - r * 2.4);
    c.Fill(drop, Linear(cx, cy - r * 2.4, kWater, cx, cy + r, Colour{60, 190, 190}), 0.6);
    c.Fill(Outline(drop, 0.9), Solid(kDeepTeal), 0.35);
    c.Fill(Ellipse(cx - r * 0.35, cy - r * 0.2, r * 0.25, r * 0.4), Solid(kWhite), 0.9);
}

// Soft round patches of light behind everything, for depth.
void DrawGlow(Canvas& c, double cx, double cy, double r, double opacity) {
    c.Fill(Circle(cx, cy, r), Radial(cx, cy, r, kPanel, kWindowBackground), opacity, r * 0.8);
}

Shape Box(double x0, double y0, double x1, double y1) {
    return RoundedBox(x0, y0, x1, y1, 0);
}

}  // namespace

Canvas DrawMenuIcon() {
    Canvas c(32, 32, kMenuIconKey, 0.0);
    // A cartridge seen from the front, its top right corner cut away, with a leaf on
    // its label.
    const Shape body = Intersect(RoundedBox(3, 2, 29, 30, 2.5),
                                 Convex({{0, 0}, {23, 0}, {32, 9}, {32, 32}, {0, 32}}));
    c.Fill(body, Linear(0, 2, Colour{0, 184, 178}, 0, 30, Colour{0, 100, 106}));
    for (int i = 0; i < 3; ++i) {  // grip ridges along the top
        c.Fill(Capsule(7, 4.5 + i * 2, 19 - i * 0.5, 4.5 + i * 2, 1.0), Solid(Colour{0, 86, 92}),
               0.8);
    }
    const Shape label = RoundedBox(6, 11, 26, 27, 1.5);
    c.Fill(label, Linear(0, 11, Colour{248, 255, 244}, 0, 27, Colour{206, 242, 220}));
    c.Fill(Capsule(7.5, 26, 10, 23.5, 1.3), Solid(kStem));
    const Shape leaf = Leaf(9.5, 23.8, 24.5, 12, 8.5, 2.0);
    c.Fill(leaf, Linear(14, 14, kLeafLight, 19, 22, kLeafDark));
    c.Fill(Intersect(Capsule(10.5, 22.6, 22, 14, 0.9), Grow(leaf, -0.8)), Solid(kVein), 0.8);
    c.Fill(Outline(leaf, 0.8), Solid(kLeafDark), 0.7);
    c.Fill(Outline(body, 1.2), Solid(Colour{0, 56, 60}));
    return c;
}

Canvas DrawBorder() {
    Canvas c(256, 192, kOutline);
    c.Fill(Linear(0, 0, Colour{0, 168, 160}, 0, 192, Colour{0, 96, 100}));
    DrawGlow(c, 30, 10, 60, 0.35);
    DrawGlow(c, 230, 185, 70, 0.25);
    // A faint lattice of leaf shapes, too pale to compete with the game.
    for (int i = 0; i < 9; ++i) {
        const double x = 14 + i * 29.0;
        DrawLeaf(c, x, 190, x + 18, 172, 9, 1.5, {kPanel, kOutline, 0.0, 0.0, 0.18});
        DrawLeaf(c, x + 14, 2, x + 30, 16, 9, -1.5, {kPanel, kOutline, 0.0, 0.0, 0.18});
    }

    // The bezel: a raised rim with light from the top left.
    const Shape bezel = RoundedBox(4, 12, 252, 180, 4);
    c.Fill(Move(bezel, 1, 2), Solid(kShade), 0.45, 3);
    c.Fill(bezel, Linear(0, 12, Colour{0, 110, 112}, 0, 180, Colour{0, 62, 70}));
    c.Fill(Outline(bezel, 1.0), Linear(4, 12, kWindowBackground, 252, 180, kDeepTeal), 0.8);

    // Sprigs in the corners, cut back so the screen stays clear.
    const Shape hole = Box(8, 16, 248, 176);
    auto sprig = [&](double bx, double by, double angle, double flip) {
        for (int k = 0; k < 3; ++k) {
            const double a = angle + flip * (k - 1) * 0.55;
            const double len = k == 1 ? 34 : 24;
            DrawLeaf(c, bx, by, bx + std::cos(a) * len, by + std::sin(a) * len, len * 0.42,
                     flip * 2.0);
        }
    };
    sprig(0, 0, 0.45, 1);
    sprig(256, 0, kPi - 0.45, -1);
    sprig(0, 192, -0.45, -1);
    sprig(256, 192, kPi + 0.45, 1);
    DrawBead(c, 54, 7, 3.0);
    DrawBead(c, 200, 6, 2.4);
    DrawBead(c, 42, 184, 2.6);

    // The title along the bottom band.
    TextPlacement where;
    where.size = 11;
    where.baseline = 188;
    where.stroke = 0.2;
    where.left = 128 - LetteringWidth("Quillmere", where) / 2;
    const Shape title = Lettering("Quillmere", where);
    c.Fill(Move(title, 0.8, 1), Solid(kShade), 0.6, 1.5);
    c.Fill(title, Solid(kWhite), 0.92);

    // The GBA picture covers this area; it stays one plain colour.
    c.Fill(hole, Solid(Colour{8, 24, 26}));
    return c;
}

Canvas DrawMenuEntry() {
    Canvas c(191, 47, Colour{214, 232, 232});
    const Shape panel = RoundedBox(0.5, 0.5, 190.5, 46.5, 6);
    c.Fill(panel, Linear(0, 0, kWhite, 0, 47, Colour{244, 251, 251}));
    c.Fill(Intersect(Box(0, 0, 191, 3), panel), Solid(kWindowBackground), 0.35, 2);
    c.Fill(Outline(panel, 1.3), Linear(0, 0, Colour{0, 160, 160}, 0, 47, kOutline));

    // The icon slot: the 32 x 32 icon lands with its corner at (7, 6).
    const Shape slot = RoundedBox(4, 3, 42, 41, 3.5);
    c.Fill(Move(slot, 0.8, 1.2), Solid(kShade), 0.25, 2.5);
    c.Fill(slot, Linear(0, 3, Colour{0, 188, 184}, 0, 41, Colour{0, 116, 118}));
    c.Fill(Outline(slot, 0.8), Solid(Colour{0, 86, 90}), 0.7);
    c.Fill(Box(6, 5, 40, 39), Solid(Colour{0, 92, 96}));
    c.Fill(Box(7, 6, 39, 38), Solid(kMenuIconKey));

    // A slim divider; the title area to its right stays plain.
    c.Fill(Capsule(49, 9, 49, 38, 1.2), Linear(0, 6, kWhite, 0, 24, Colour{150, 210, 210}), 0.9);
    return c;
}

// A canvas of `width` x `height` drawing units at `scale` pixels a unit.
Canvas Scaled(int width, int height, Colour background, double scale) {
    return Canvas(static_cast<int>(std::lround(width * scale)),
                  static_cast<int>(std::lround(height * scale)), background, 1.0, scale);
}

Canvas DrawTopBanner(double scale) {
    Canvas c = Scaled(569, 57, kOutline, scale);
    c.Fill(Linear(0, 0, Colour{0, 130, 118}, 0, 57, Colour{0, 82, 84}));
    c.Fill(Linear(120, 0, Colour{0, 82, 84}, 569, 0, Colour{40, 190, 170}), 0.55);
    DrawGlow(c, 420, 8, 90, 0.3);
    DrawGlow(c, 560, 50, 60, 0.25);
    DrawGlow(c, 250, 60, 50, 0.15);

    // Pale leaves far behind the lettering.
    DrawLeaf(c, -10, 60, 120, 4, 40, 6, {kPanel, kOutline, 0.0, 0.0, 0.16});
    DrawLeaf(c, 90, 70, 200, 20, 34, -5, {kPanel, kOutline, 0.0, 0.0, 0.14});

    // A vine along the right two thirds, with leaves on both sides.
    for (int i = 0; i < 38; ++i) {
        const double x0 = 215 + i * 9.5, x1 = x0 + 9.5;
        const double y0 = 40 + 6 * std::sin(x0 / 40.0), y1 = 40 + 6 * std::sin(x1 / 40.0);
        c.Fill(Capsule(x0, y0, x1, y1, 2.6 - i * 0.02), Solid(kStem));
    }
    struct Sprout {
        double x, dx, dy, width, bend;
    };
    const Sprout sprouts[] = {
        {226, 34, -30, 20, 3}, {250, 38, 24, 19, -3}, {285, 40, -34, 22, -4}, {320, 36, 22, 20, 4},
        {352, 44, -30, 24, 3}, {390, 38, 26, 20, -3}, {425, 42, -34, 23, -4}, {462, 40, 24, 21, 3},
        {495, 46, -30, 24, 4}, {530, 40, 26, 21, -3}, {556, 36, -32, 20, 3},
    };
    for (const Sprout& s : sprouts) {
        const double y = 40 + 6 * std::sin(s.x / 40.0);
        DrawLeaf(c, s.x, y, s.x + s.dx, y + s.dy, s.width, s.bend);
    }
    DrawBead(c, 372, 22, 3.2);
    DrawBead(c, 303, 17, 2.4);
    DrawBead(c, 512, 24, 2.8);
    DrawBead(c, 441, 21, 2.0);

    TextPlacement where;
    where.left = 16;
    where.baseline = 41;
    where.size = 29;
    const Shape title = Lettering("Quillmere", where);
    c.Fill(Move(title, 1.5, 2.2), Solid(kShade), 0.55, 3);
    c.Fill(Grow(title, 1.3), Solid(Colour{0, 70, 62}), 0.85);
    c.Fill(title, Linear(0, 12, kWhite, 0, 44, Colour{214, 252, 236}));

    c.Fill(Box(0, 56, 569, 57), Solid(kOutline));
    return c;
}

Canvas DrawBottomBanner(double scale) {
    Canvas c = Scaled(569, 57, kOutline, scale);
    c.Fill(Linear(0, 0, Colour{0, 92, 92}, 0, 57, Colour{0, 138, 124}));
    c.Fill(Linear(0, 0, Colour{40, 180, 160}, 569, 0, Colour{0, 80, 84}), 0.5);
    DrawGlow(c, 90, 50, 80, 0.25);
    DrawGlow(c, 480, 4, 70, 0.2);

    DrawLeaf(c, 34, 46, 548, 14, 40, -7);
    const double beads[][3] = {
        {96, 34, 4.2},  {150, 28, 2.6}, {214, 35, 5.2}, {262, 24, 2.2}, {318, 30, 3.6},
        {384, 22, 4.6}, {436, 30, 2.4}, {480, 20, 3.2}, {120, 40, 1.8}, {350, 36, 1.8},
    };
    for (const auto& b : beads) DrawBead(c, b[0], b[1], b[2]);
    DrawFallingDrop(c, 58, 18, 4.0);
    DrawFallingDrop(c, 80, 12, 2.6);
    DrawFallingDrop(c, 520, 46, 3.6);
    DrawFallingDrop(c, 545, 38, 2.4);

    c.Fill(Box(0, 0, 569, 1), Solid(kOutline));
    return c;
}

Canvas DrawWindowIcon(int size) {
    Canvas c(size, size, kWindowIconKey, 0.0, size / 32.0);
    constexpr Colour kEdge{24, 24, 28};
    // The lid, tipped back a little so it narrows towards the top.
    const Shape lid =
        Intersect(RoundedBox(3, 1, 29, 16, 2.5), Convex({{4, 0}, {28, 0}, {30, 16}, {2, 16}}));
    c.Fill(lid, Linear(0, 1, Colour{92, 94, 100}, 0, 16, Colour{56, 58, 64}));
    c.Fill(Outline(lid, 1.0), Solid(kEdge));
    const Shape screen = Convex({{7, 3.5}, {25, 3.5}, {25.6, 13.5}, {6.4, 13.5}});
    c.Fill(screen, Linear(0, 3.5, Colour{110, 180, 255}, 0, 13.5, Colour{24, 70, 200}));
    c.Fill(Intersect(Convex({{7, 3}, {15, 3}, {9, 14}, {6, 14}}), screen), Solid(kWhite), 0.3);
    c.Fill(Outline(screen, 0.8), Solid(kEdge), 0.8);

    // The hinge and the base with its controls.
    c.Fill(Capsule(6, 16.5, 26, 16.5, 2.2), Solid(Colour{38, 38, 42}));
    const Shape base = RoundedBox(2, 17, 30, 30.5, 2.5);
    c.Fill(base, Linear(0, 17, Colour{104, 106, 112}, 0, 30.5, Colour{60, 62, 68}));
    c.Fill(Outline(base, 1.0), Solid(kEdge));
    c.Fill(Box(10.5, 19, 21.5, 28), Solid(Colour{34, 40, 54}));
    c.Fill(Box(11, 19.5, 21, 27.5),
           Linear(0, 19.5, Colour{70, 100, 160}, 0, 27.5, Colour{34, 50, 100}));
    c.Fill(Capsule(4.6, 23.5, 8.6, 23.5, 1.5), Solid(Colour{24, 24, 28}));
    c.Fill(Capsule(6.6, 21.5, 6.6, 25.5, 1.5), Solid(Colour{24, 24, 28}));
    c.Fill(Circle(26.2, 22.2, 1.2), Solid(Colour{210, 210, 215}));
    c.Fill(Circle(24.2, 25.0, 1.2), Solid(Colour{210, 210, 215}));
    return c;
}

Canvas DrawPlaceholder(double scale) {
    Canvas c = Scaled(191, 47, Colour{224, 224, 224}, scale);
    c.Fill(Box(0, 0, 48, 47), Linear(0, 0, Colour{150, 150, 150}, 48, 0, Colour{224, 224, 224}));
    const Shape box = Box(150, 8, 184, 39);
    c.Fill(box, Solid(Colour{192, 192, 192}));
    c.Fill(Outline(box, 1.0), Solid(Colour{128, 128, 128}));
    c.Fill(Outline(Box(0, 0, 191, 47), 2.0), Solid(Colour{176, 176, 176}));
    return c;
}

}  // namespace artwork
