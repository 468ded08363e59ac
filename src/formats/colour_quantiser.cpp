// Median cut over weighted Oklab points, then Lloyd's k-means, then the DS's 5-bit grid.
#include "formats/colour_quantiser.h"

#include <algorithm>
#include <array>
#include <map>
#include <numeric>
#include <tuple>

namespace pellix::formats {
namespace {

// A distinct colour of the picture and how many pixels have it.
struct Point {
    Oklab lab;
    double weight = 0;
};

float Axis(const Oklab& c, int axis) {
    return axis == 0 ? c.L : axis == 1 ? c.a : c.b;
}

// A box of the median cut: a range of `points`, its best split and what the split saves.
struct Box {
    size_t begin = 0, end = 0;
    int axis = 0;
    size_t split = 0;  // first point of the upper half after sorting along `axis`
    double gain = 0;   // squared error removed by splitting there
};

// Sorts the box's points along each axis in turn and keeps the cut that removes the
// most squared error (the weighted variance split), leaving the points sorted along it.
void PlanSplit(std::vector<Point>& points, Box& box) {
    box.gain = 0;
    if (box.end - box.begin < 2) return;
    int bestAxis = -1;
    for (int axis = 0; axis < 3; ++axis) {
        std::sort(points.begin() + static_cast<long>(box.begin),
                  points.begin() + static_cast<long>(box.end),
                  [axis](const Point& l, const Point& r) {
                      return Axis(l.lab, axis) < Axis(r.lab, axis);
                  });
        // Total error of a part = sum w|x|^2 - |sum w x|^2 / sum w; the terms in |x|^2 are
        // the same for every cut, so the best cut maximises the sum of |S|^2 / W.
        std::array<double, 3> all{};
        double allWeight = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int k = 0; k < 3; ++k) all[k] += points[i].weight * Axis(points[i].lab, k);
            allWeight += points[i].weight;
        }
        const auto norm = [](const std::array<double, 3>& s, double w) {
            return (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w;
        };
        const double whole = norm(all, allWeight);
        std::array<double, 3> low{};
        double lowWeight = 0;
        for (size_t i = box.begin; i + 1 < box.end; ++i) {
            for (int k = 0; k < 3; ++k) low[k] += points[i].weight * Axis(points[i].lab, k);
            lowWeight += points[i].weight;
            if (Axis(points[i].lab, axis) == Axis(points[i + 1].lab, axis)) continue;
            const std::array<double, 3> high = {all[0] - low[0], all[1] - low[1], all[2] - low[2]};
            const double gain = norm(low, lowWeight) + norm(high, allWeight - lowWeight) - whole;
            if (gain > box.gain) {
                box.gain = gain;
                box.split = i + 1;
                bestAxis = axis;
            }
        }
    }
    if (bestAxis < 0) return;
    box.axis = bestAxis;
    std::sort(points.begin() + static_cast<long>(box.begin),
              points.begin() + static_cast<long>(box.end),
              [bestAxis](const Point& l, const Point& r) {
                  return Axis(l.lab, bestAxis) < Axis(r.lab, bestAxis);
              });
}

Oklab Centroid(const std::vector<Point>& points, size_t begin, size_t end) {
    double L = 0, a = 0, b = 0, w = 0;
    for (size_t i = begin; i < end; ++i) {
        L += points[i].weight * points[i].lab.L;
        a += points[i].weight * points[i].lab.a;
        b += points[i].weight * points[i].lab.b;
        w += points[i].weight;
    }
    return {static_cast<float>(L / w), static_cast<float>(a / w), static_cast<float>(b / w)};
}

std::vector<Oklab> MedianCut(std::vector<Point>& points, size_t count) {
    std::vector<Box> boxes(1);
    boxes[0].end = points.size();
    PlanSplit(points, boxes[0]);
    while (boxes.size() < count) {
        const auto best = std::max_element(
            boxes.begin(), boxes.end(), [](const Box& l, const Box& r) { return l.gain < r.gain; });
        if (best->gain <= 0) break;
        Box upper = *best;
        upper.begin = best->split;
        best->end = best->split;
        PlanSplit(points, *best);
        PlanSplit(points, upper);
        boxes.push_back(upper);
    }
    std::vector<Oklab> centres;
    for (const Box& b : boxes) centres.push_back(Centroid(points, b.begin, b.end));
    return centres;
}

// Moves each centre to the mean of the points nearest to it until nothing moves.
void KMeans(const std::vector<Point>& points, std::vector<Oklab>& centres) {
    constexpr int kRounds = 32;
    std::vector<size_t> owner(points.size(), SIZE_MAX);
    for (int round = 0; round < kRounds; ++round) {
        bool moved = false;
        for (size_t i = 0; i < points.size(); ++i) {
            const size_t nearest = NearestColour(centres, points[i].lab);
            moved = moved || nearest != owner[i];
            owner[i] = nearest;
        }
        if (!moved) break;
        std::vector<std::array<double, 4>> sums(centres.size(), std::array<double, 4>{});
        for (size_t i = 0; i < points.size(); ++i) {
            auto& s = sums[owner[i]];
            s[0] += points[i].weight * points[i].lab.L;
            s[1] += points[i].weight * points[i].lab.a;
            s[2] += points[i].weight * points[i].lab.b;
            s[3] += points[i].weight;
        }
        for (size_t c = 0; c < centres.size(); ++c)
            if (sums[c][3] > 0)  // a centre that lost every point stays where it was
                centres[c] = {static_cast<float>(sums[c][0] / sums[c][3]),
                              static_cast<float>(sums[c][1] / sums[c][3]),
                              static_cast<float>(sums[c][2] / sums[c][3])};
    }
}

using Key = std::tuple<uint8_t, uint8_t, uint8_t>;

Key KeyOf(Rgb8 c) {
    return {c.r, c.g, c.b};
}

std::vector<Rgb8> SortedByLightness(std::vector<Rgb8> palette) {
    std::sort(palette.begin(), palette.end(), [](Rgb8 l, Rgb8 r) {
        const float ll = ToOklab(l).L, rl = ToOklab(r).L;
        return ll != rl ? ll < rl : KeyOf(l) < KeyOf(r);
    });
    return palette;
}

}  // namespace

size_t NearestColour(const std::vector<Oklab>& palette, const Oklab& colour) {
    size_t best = 0;
    float bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        const float d = DistanceSquared(palette[i], colour);
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<Rgb8> ChoosePalette(const std::vector<Rgb8>& colours, size_t count) {
    if (count == 0 || colours.empty()) return {};
    // Distinct DS colours and their pixel counts; few enough are kept exactly.
    std::map<Key, double> histogram;
    for (const Rgb8& c : colours) histogram[KeyOf(NearestDsColour(c))] += 1;
    if (histogram.size() <= count) {
        std::vector<Rgb8> exact;
        for (const auto& [key, weight] : histogram)
            exact.push_back({std::get<0>(key), std::get<1>(key), std::get<2>(key)});
        return SortedByLightness(exact);
    }

    // The fine colours of the picture, weighted; the cut and the refinement work on them.
    std::map<Key, double> fine;
    for (const Rgb8& c : colours) fine[KeyOf(c)] += 1;
    std::vector<Point> points;
    points.reserve(fine.size());
    for (const auto& [key, weight] : fine)
        points.push_back({ToOklab({std::get<0>(key), std::get<1>(key), std::get<2>(key)}), weight});
    std::vector<Oklab> centres = MedianCut(points, count);
    KMeans(points, centres);

    // Onto the DS's grid, without repeating a colour.
    std::vector<Rgb8> palette;
    std::map<Key, bool> seen;
    for (const Oklab& centre : centres) {
        const Rgb8 c = NearestDsColour(ToRgb8(centre));
        if (seen.emplace(KeyOf(c), true).second) palette.push_back(c);
    }
    return SortedByLightness(palette);
}

}  // namespace pellix::formats
