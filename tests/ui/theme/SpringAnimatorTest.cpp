#include "ui/theme/SpringAnimator.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

namespace tamrel {
namespace {

class SpringTest : public ::testing::Test {
protected:
    void SetUp() override { SpringAnimator::setInstant(false); }
    void TearDown() override { SpringAnimator::setInstant(true); }
};

TEST_F(SpringTest, ReachesItsTargetAndSettles) {
    SpringAnimator s(0);
    QSignalSpy settled(&s, &SpringAnimator::settled);
    s.animateTo(1, {0.5, 1.0});
    for (int i = 0; i < 200 && s.moving(); ++i)
        s.advance(1.0 / 60);
    EXPECT_EQ(s.value(), 1);
    EXPECT_FALSE(s.moving());
    EXPECT_EQ(settled.count(), 1);
}

TEST_F(SpringTest, UnderdampedOvershootsCriticalDoesNot) {
    SpringAnimator bouncy(0);
    bouncy.animateTo(1, {0.16, 0.6});
    double peak = 0;
    for (int i = 0; i < 120; ++i) {
        bouncy.advance(1.0 / 240);
        peak = std::max(peak, bouncy.value());
    }
    // Damping 0.6 overshoots by e^(−πζ/√(1−ζ²)) ≈ 9.5 %.
    EXPECT_NEAR(peak, 1.095, 0.01);

    SpringAnimator critical(0);
    critical.animateTo(1, {0.5, 1.0});
    double top = 0;
    for (int i = 0; i < 600; ++i) {
        critical.advance(1.0 / 240);
        top = std::max(top, critical.value());
    }
    EXPECT_LE(top, 1.0 + 1e-6);
}

TEST_F(SpringTest, NewTargetStartsFromTheCurrentValueAndVelocity) {
    SpringAnimator s(0);
    s.animateTo(1, {0.5, 0.8});
    s.advance(0.1);
    const double value = s.value();
    const double velocity = s.velocity();
    ASSERT_GT(velocity, 0);
    s.animateTo(-1, {0.5, 0.8});
    EXPECT_EQ(s.value(), value);
    EXPECT_EQ(s.velocity(), velocity);
    s.advance(0.001);
    EXPECT_GT(s.value(), value);  // still carried forwards for a moment
}

TEST_F(SpringTest, InstantJumps) {
    SpringAnimator::setInstant(true);
    SpringAnimator s(0);
    s.animateTo(5, {0.5, 0.8});
    EXPECT_EQ(s.value(), 5);
    EXPECT_FALSE(s.moving());
}

}  // namespace
}  // namespace tamrel
