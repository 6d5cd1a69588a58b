#include "ui/results/Squarify.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tamrel::Squarify {
namespace {

constexpr double inf = std::numeric_limits<double>::infinity();

// A row's running figures. Sums are taken in the row's order, so they equal a sum from scratch.
struct Row {
    double sum = 0;
    double largest = 0;
    double smallest = inf;
};

// The worst aspect ratio of a row laid along a side of length s.
double worst(const Row& row, double s) {
    if (row.smallest <= 0 || s <= 0) return inf;
    const double s2 = s * s;
    const double sum2 = row.sum * row.sum;
    return std::max(s2 * row.largest / sum2, sum2 / (s2 * row.smallest));
}

Row plus(Row row, double a) {
    row.sum += a;
    row.largest = std::max(row.largest, a);
    row.smallest = std::min(row.smallest, a);
    return row;
}

double usable(double size) {
    return std::isfinite(size) && size > 0 ? size : 0;
}

}  // namespace

std::vector<QRectF> layout(std::span<const double> sizes, const QRectF& rect) {
    const std::size_t n = sizes.size();
    if (n == 0) return {};
    double total = 0;
    for (double s : sizes)
        total += usable(s);
    if (!(total > 0)) return {};

    const double scale = rect.width() * rect.height() / total;
    std::vector<double> areas(n);
    for (std::size_t k = 0; k < n; ++k)
        areas[k] = usable(sizes[k]) * scale;

    std::vector<QRectF> out;
    out.reserve(n);
    double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    std::size_t i = 0;
    while (i < n) {
        const double s = std::min(w, h);
        const std::size_t first = i;
        Row row = plus(Row{}, areas[i++]);
        while (i < n) {
            const Row candidate = plus(row, areas[i]);
            // A ratio that is not a number compares false: the row closes.
            if (!(worst(candidate, s) <= worst(row, s))) break;
            row = candidate;
            ++i;
        }

        if (!(row.sum > 0) || !(s > 0)) {
            // Nothing to spread, or no room left to spread it in: empty rectangles at the corner.
            for (std::size_t k = first; k < i; ++k)
                out.emplace_back(x, y, 0, 0);
            continue;
        }
        if (h <= w) {
            const double colW = row.sum / h;
            double top = y;
            for (std::size_t k = first; k < i; ++k) {
                const double cellH = areas[k] / colW;
                out.emplace_back(x, top, colW, cellH);
                top += cellH;
            }
            x += colW;
            w = std::max(w - colW, 0.0);
        } else {
            const double rowH = row.sum / w;
            double left = x;
            for (std::size_t k = first; k < i; ++k) {
                const double cellW = areas[k] / rowH;
                out.emplace_back(left, y, cellW, rowH);
                left += cellW;
            }
            y += rowH;
            h = std::max(h - rowH, 0.0);
        }
    }
    return out;
}

}  // namespace tamrel::Squarify
