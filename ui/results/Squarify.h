#pragma once

#include <QRectF>

#include <span>
#include <vector>

namespace tamrel::Squarify {

// Divides `rect` into one rectangle per entry of `sizes`, each with an area proportional to its
// size, as close to square as the squarified treemap allows. Sizes are laid out in the order
// given (callers pass them largest first); entry k of the result belongs to sizes[k].
//
// Rows are closed greedily by the worst aspect ratio along the free rectangle's shorter side; a
// row is a column at the left edge when the free rectangle is not taller than wide, otherwise a
// band at its top. Returns the empty list for no sizes or a total that is not above 0. A size
// that is 0, negative or not a number counts as 0 and gets an empty rectangle (width or height 0)
// inside `rect`; every rectangle returned is finite.
//
// Pure; safe from any thread. Linear in the number of sizes.
std::vector<QRectF> layout(std::span<const double> sizes, const QRectF& rect);

}  // namespace tamrel::Squarify
