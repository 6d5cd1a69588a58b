#include "ui/results/Squarify.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tamrel {
namespace {

void expectRect(const QRectF& r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.x(), x, 1e-9);
    EXPECT_NEAR(r.y(), y, 1e-9);
    EXPECT_NEAR(r.width(), w, 1e-9);
    EXPECT_NEAR(r.height(), h, 1e-9);
}

// Area sums to the rectangle, nothing overlaps and everything stays inside.
void expectTiling(const std::vector<QRectF>& rects, const QRectF& in, double tolerance) {
    double area = 0;
    for (const QRectF& r : rects) {
        ASSERT_TRUE(std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) &&
                    std::isfinite(r.height()));
        EXPECT_GE(r.width(), 0);
        EXPECT_GE(r.height(), 0);
        EXPECT_GE(r.left(), in.left() - tolerance);
        EXPECT_GE(r.top(), in.top() - tolerance);
        EXPECT_LE(r.right(), in.right() + tolerance);
        EXPECT_LE(r.bottom(), in.bottom() + tolerance);
        area += r.width() * r.height();
    }
    EXPECT_NEAR(area, in.width() * in.height(), tolerance * in.width() * in.height());
}

TEST(Squarify, WorkedExample) {
    const std::vector<double> sizes = {6, 6, 4, 3, 2, 2, 1};
    const auto rects = Squarify::layout(sizes, QRectF(0, 0, 6, 4));
    ASSERT_EQ(rects.size(), 7u);
    // A column of the two 6s, a band of 4 and 3 on top of the remaining 3 x 4, then 2, 2, 1.
    expectRect(rects[0], 0, 0, 3, 2);
    expectRect(rects[1], 0, 2, 3, 2);
    expectRect(rects[2], 3, 0, 12.0 / 7, 7.0 / 3);
    expectRect(rects[3], 3 + 12.0 / 7, 0, 9.0 / 7, 7.0 / 3);
    expectRect(rects[4], 3, 7.0 / 3, 1.2, 5.0 / 3);
    expectRect(rects[5], 4.2, 7.0 / 3, 1.2, 5.0 / 3);
    expectRect(rects[6], 5.4, 7.0 / 3, 0.6, 5.0 / 3);
    expectTiling(rects, QRectF(0, 0, 6, 4), 1e-12);
}

TEST(Squarify, SmallCases) {
    // One size fills the rectangle, wherever it lies.
    auto one = Squarify::layout(std::vector<double>{42}, QRectF(10, 20, 300, 200));
    ASSERT_EQ(one.size(), 1u);
    expectRect(one[0], 10, 20, 300, 200);

    // Two equal sizes in a 2:1 rectangle: left and right halves.
    auto two = Squarify::layout(std::vector<double>{5, 5}, QRectF(0, 0, 8, 4));
    ASSERT_EQ(two.size(), 2u);
    expectRect(two[0], 0, 0, 4, 4);
    expectRect(two[1], 4, 0, 4, 4);

    // A square starts with a column at the left edge; a tall one with a band at the top.
    auto square = Squarify::layout(std::vector<double>{3, 1}, QRectF(0, 0, 4, 4));
    expectRect(square[0], 0, 0, 3, 4);
    auto tall = Squarify::layout(std::vector<double>{3, 1}, QRectF(0, 0, 4, 8));
    expectRect(tall[0], 0, 0, 4, 6);
    expectRect(tall[1], 0, 6, 4, 2);
}

TEST(Squarify, DegenerateInput) {
    EXPECT_TRUE(Squarify::layout({}, QRectF(0, 0, 10, 10)).empty());
    EXPECT_TRUE(Squarify::layout(std::vector<double>{0, 0, 0}, QRectF(0, 0, 10, 10)).empty());
    EXPECT_TRUE(Squarify::layout(std::vector<double>{-3, NAN}, QRectF(0, 0, 10, 10)).empty());

    // Zeros among real sizes get empty, finite rectangles; the rest still tile the rectangle.
    const std::vector<double> withZeros = {5, 3, 0, 2, 0};
    auto rects = Squarify::layout(withZeros, QRectF(0, 0, 10, 6));
    ASSERT_EQ(rects.size(), 5u);
    EXPECT_EQ(rects[2].width() * rects[2].height(), 0);
    EXPECT_EQ(rects[4].width() * rects[4].height(), 0);
    expectTiling(rects, QRectF(0, 0, 10, 6), 1e-9);

    // A rectangle without area: every entry gets an empty rectangle, nothing infinite.
    auto flat = Squarify::layout(std::vector<double>{4, 2, 1}, QRectF(0, 0, 10, 0));
    ASSERT_EQ(flat.size(), 3u);
    expectTiling(flat, QRectF(0, 0, 10, 0), 1e-9);
}

TEST(Squarify, TenThousandSizes) {
    std::vector<double> sizes;
    for (int k = 0; k < 10'000; ++k)
        sizes.push_back(1e9 / (k + 1) + (k % 7));
    const QRectF in(9, 9, 900, 600);
    auto rects = Squarify::layout(sizes, in);
    ASSERT_EQ(rects.size(), sizes.size());
    expectTiling(rects, in, 1e-6);
    // Each rectangle's area is its share of the whole.
    double total = 0;
    for (double s : sizes)
        total += s;
    for (std::size_t k = 0; k < sizes.size(); k += 997) {
        EXPECT_NEAR(rects[k].width() * rects[k].height(),
                    sizes[k] / total * in.width() * in.height(), 1e-6);
    }
    // No two overlap: sample neighbours in the result and a few far pairs.
    for (std::size_t k = 0; k + 1 < rects.size(); k += 13) {
        const QRectF both = rects[k].intersected(rects[k + 1]);
        EXPECT_LT(both.width() * both.height(), 1e-6);
    }
}

}  // namespace
}  // namespace tamrel
