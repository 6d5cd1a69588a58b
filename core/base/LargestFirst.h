#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace tamrel {

// The values of `keyed`, largest size first; equal sizes keep their order (a stable sort).
//
// Callers read each size once, while building `keyed`, and never again during the sort: a
// removal on another thread changes an index's sizes, and a comparator whose answers change
// mid-sort gives no defined order.
template <typename T>
std::vector<T> largestFirst(std::vector<std::pair<std::uint64_t, T>> keyed) {
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<T> out;
    out.reserve(keyed.size());
    for (auto& k : keyed)
        out.push_back(std::move(k.second));
    return out;
}

}  // namespace tamrel
