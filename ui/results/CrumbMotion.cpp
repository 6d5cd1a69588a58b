#include "ui/results/CrumbMotion.h"

#include <algorithm>

namespace tamrel {

std::vector<CrumbDraw> crumbsInMotion(const std::vector<CrumbLook>& from,
                                      const std::vector<CrumbLook>& to, double amount) {
    const double in = std::clamp(amount, 0.0, 1.0);
    const double out = 1 - in;
    const auto lerp = [amount](double a, double b) { return a + (b - a) * amount; };
    std::vector<CrumbDraw> draws;
    draws.reserve(from.size() + to.size());
    const std::size_t both = std::min(from.size(), to.size());
    for (std::size_t k = 0; k < both; ++k) {
        const double x = lerp(from[k].x, to[k].x);
        const double separator = k == 0 ? 0 : 1;
        CrumbLook next = to[k];
        next.x = x;
        if (from[k].text == to[k].text && from[k].current == to[k].current &&
            from[k].ellipsis == to[k].ellipsis) {
            next.width = lerp(from[k].width, to[k].width);
            draws.push_back({next, 1, separator});
            continue;
        }
        CrumbLook old = from[k];
        old.x = x;
        // The separator stays whole: it goes with whichever of the two is drawn last.
        if (out > 0) draws.push_back({old, out, in > 0 ? 0 : separator});
        if (in > 0) draws.push_back({next, in, separator});
    }
    for (std::size_t k = both; k < to.size(); ++k) {
        if (in > 0) draws.push_back({to[k], in, k == 0 ? 0 : in});
    }
    for (std::size_t k = both; k < from.size(); ++k) {
        if (out > 0) draws.push_back({from[k], out, k == 0 ? 0 : out});
    }
    return draws;
}

std::vector<double> fitCrumbWidths(const std::vector<double>& widths, double room, double least) {
    double total = 0;
    for (double w : widths)
        total += w;
    if (total <= room || widths.empty()) return widths;
    // The largest limit L with sum(min(w, L)) <= room: walk the widths from the narrowest,
    // those below the limit keep their width and the rest share what is left equally.
    std::vector<double> sorted = widths;
    std::sort(sorted.begin(), sorted.end());
    double below = 0;
    double limit = least;
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const double share = (room - below) / double(sorted.size() - k);
        if (share <= sorted[k]) {
            limit = share;
            break;
        }
        below += sorted[k];
    }
    limit = std::max(limit, least);
    std::vector<double> fitted = widths;
    for (double& w : fitted)
        w = std::min(w, limit);
    return fitted;
}

}  // namespace tamrel
