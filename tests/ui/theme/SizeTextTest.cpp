#include "ui/theme/SizeText.h"

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

TEST(NumberRoll, ChangedCharactersRiseOutAndInWhileTheSameOnesStayStill) {
    const QFont f = Fonts::system(20, Fonts::Weight::bold);
    const double rise = 10;
    // Start: the old "5" in place and fully there, the new "6" one rise below, unseen.
    std::vector<RollPiece> start =
        numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"), 0, rise);
    ASSERT_EQ(start.size(), 4u);
    EXPECT_EQ(start[0].ch, QChar('1'));
    EXPECT_EQ(start[0].dy, 0);
    EXPECT_EQ(start[0].opacity, 1);
    EXPECT_EQ(start[1].ch, QChar('.'));
    EXPECT_EQ(start[1].dy, 0);
    EXPECT_EQ(start[2].ch, QChar('6'));
    EXPECT_TRUE(start[2].incoming);
    EXPECT_EQ(start[2].dy, rise);
    EXPECT_EQ(start[2].opacity, 0);
    EXPECT_EQ(start[3].ch, QChar('5'));
    EXPECT_FALSE(start[3].incoming);
    EXPECT_EQ(start[3].dy, 0);
    EXPECT_EQ(start[3].opacity, 1);
    // The old and the new digit share one place: digits keep one width.
    EXPECT_DOUBLE_EQ(start[2].x, start[3].x);

    // Half way: both half seen, the old half a rise up, the new half a rise below.
    std::vector<RollPiece> half =
        numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"), 0.5, rise);
    EXPECT_DOUBLE_EQ(half[2].dy, 5);
    EXPECT_DOUBLE_EQ(half[2].opacity, 0.5);
    EXPECT_DOUBLE_EQ(half[3].dy, -5);
    EXPECT_DOUBLE_EQ(half[3].opacity, 0.5);

    // Done: only the new text, in place.
    std::vector<RollPiece> done =
        numberRoll(f, QStringLiteral("1.5"), QStringLiteral("1.6"), 1, rise);
    ASSERT_EQ(done.size(), 3u);
    for (const RollPiece& piece : done) {
        EXPECT_TRUE(piece.incoming);
        EXPECT_EQ(piece.dy, 0);
        EXPECT_EQ(piece.opacity, 1);
    }
}

TEST(NumberRoll, ALongerNumberRollsInItsNewCharactersAndOnlyThose) {
    const QFont f = Fonts::system(20, Fonts::Weight::bold);
    std::vector<RollPiece> p = numberRoll(f, QStringLiteral("12"), QStringLiteral("123"), 0.25, 8);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].dy, 0);
    EXPECT_EQ(p[1].dy, 0);
    EXPECT_EQ(p[2].ch, QChar('3'));
    EXPECT_DOUBLE_EQ(p[2].dy, 6);
    // A shorter one lets its last character go.
    std::vector<RollPiece> q = numberRoll(f, QStringLiteral("123"), QStringLiteral("12"), 0.25, 8);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(q[2].ch, QChar('3'));
    EXPECT_FALSE(q[2].incoming);
    EXPECT_DOUBLE_EQ(q[2].dy, -2);
    EXPECT_DOUBLE_EQ(q[2].opacity, 0.75);
}

TEST(SizeTextMotion, AnAnimatedChangeRollsWithTheSpringAndAPlainOneJumps) {
    SpringAnimator::setInstant(false);
    SizeTextMotion motion(1'500'000);
    EXPECT_EQ(motion.number(), "1.5");
    EXPECT_EQ(motion.progress(), 1);
    motion.setBytes(1'600'000, true);
    EXPECT_EQ(motion.number(), "1.6");
    EXPECT_EQ(motion.from(), "1.5");
    EXPECT_EQ(motion.progress(), 0);
    motion.spring().advance(0.1);
    EXPECT_GT(motion.progress(), 0);
    EXPECT_LT(motion.progress(), 1);
    // Cut short: the next roll starts from the number the last one was rolling to.
    motion.setBytes(2'000'000, true);
    EXPECT_EQ(motion.from(), "1.6");
    EXPECT_EQ(motion.number(), "2");
    for (int i = 0; i < 100 && motion.rolling(); ++i)
        motion.spring().advance(0.05);
    EXPECT_FALSE(motion.rolling());
    EXPECT_EQ(motion.progress(), 1);
    motion.setBytes(3'000'000, false);
    EXPECT_EQ(motion.number(), "3");
    EXPECT_EQ(motion.progress(), 1);
    EXPECT_FALSE(motion.rolling());
    SpringAnimator::setInstant(true);
}

TEST(SizeText, RollsOnlyWhileShown) {
    SpringAnimator::setInstant(false);
    SizeText hidden(1'000, 20, Color::ink2);
    hidden.setBytes(2'000);
    EXPECT_FALSE(hidden.motion().rolling());
    SizeText shown(1'000, 20, Color::ink2);
    shown.show();
    shown.setBytes(2'000);
    EXPECT_TRUE(shown.motion().rolling());
    EXPECT_EQ(shown.number(), "2");
    // Drawn mid-roll without trouble.
    shown.motion().spring().advance(0.05);
    EXPECT_FALSE(shown.grab().isNull());
    SpringAnimator::setInstant(true);
}

TEST(SizeText, SplitsNumberAndUnit) {
    SizeText zero(0, 20, Color::ink2);
    EXPECT_EQ(zero.number(), "0");
    EXPECT_EQ(zero.unit(), "bytes");
    SizeText big(1'500'000, 20, Color::ink2);
    EXPECT_EQ(big.number(), "1.5");
    EXPECT_EQ(big.unit(), "MB");
}

}  // namespace
}  // namespace tamrel
