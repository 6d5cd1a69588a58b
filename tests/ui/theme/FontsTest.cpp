#include "ui/theme/Fonts.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QRawFont>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

#include "ui/theme/Symbols.h"

namespace tamrel {
namespace {

TEST(Fonts, TheThreeFamiliesAreInstalled) {
    EXPECT_TRUE(Fonts::missingFamilies().isEmpty()) << Fonts::missingMessage().toStdString();
    EXPECT_EQ(QFontInfo(Fonts::system(13, Fonts::Weight::bold)).family(), "Inter");
    EXPECT_EQ(QFontInfo(Fonts::mono(11, Fonts::Weight::medium)).family(), "JetBrains Mono");
}

TEST(Fonts, SizesArePointsOfTheScreens) {
    const QFontMetricsF fm(Fonts::system(100, Fonts::Weight::regular));
    // Inter's em is 100 logical pixels at size 100: its cap height is about 73 % of the em.
    EXPECT_NEAR(fm.capHeight(), 72.7, 3);
}

// Numbers that change as they count must not move their digits: every digit takes one width.
TEST(Fonts, TabularDigitsKeepOneWidth) {
    const QFont font = Fonts::system(56, Fonts::Weight::bold, -2);
    const double ones = Fonts::tabularWidth(font, QStringLiteral("1,111,111"));
    const double eights = Fonts::tabularWidth(font, QStringLiteral("8,888,888"));
    EXPECT_DOUBLE_EQ(ones, eights);
    // Without the cells Inter's digits differ.
    const QFontMetricsF fm(Fonts::system(56, Fonts::Weight::bold));
    EXPECT_NE(fm.horizontalAdvance(QStringLiteral("1111111")),
              fm.horizontalAdvance(QStringLiteral("8888888")));
    // Text too wide for its room is cut at its end with "…" and then fits; text that fits stays.
    const QString fact = QStringLiteral("1.2 MB in 4 places");
    const double whole = Fonts::tabularWidth(font, fact);
    EXPECT_EQ(Fonts::elidedTabular(font, fact, whole), fact);
    const QString cut = Fonts::elidedTabular(font, fact, whole / 2);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
    EXPECT_TRUE(fact.startsWith(cut.chopped(1)));
    EXPECT_LE(Fonts::tabularWidth(font, cut), whole / 2);
}

// A role's font is made once, as system() or mono() makes it from the role's numbers.
TEST(Fonts, ARoleIsItsFaceSizeWeightAndTrackingMadeOnce) {
    const QFont& title = Fonts::screenTitle.font();
    EXPECT_EQ(&title, &Fonts::screenTitle.font());
    EXPECT_EQ(title, Fonts::system(20, Fonts::Weight::bold, -0.5));
    EXPECT_EQ(Fonts::diskName.font(), Fonts::mono(11, Fonts::Weight::semibold, 1.2));
    // Two roles of the same numbers share one font; another weight is another font.
    EXPECT_EQ(&Fonts::caption.font(), &Fonts::label.font());
    EXPECT_NE(Fonts::crumb.font(), Fonts::currentCrumb.font());
    EXPECT_DOUBLE_EQ(Fonts::body.lineHeight(), Fonts::lineHeight(Fonts::body.font()));
}

TEST(Symbols, EveryGlyphIsInTheSymbolFont) {
    const QRawFont raw = QRawFont::fromFont(Fonts::symbol(24));
    ASSERT_TRUE(raw.isValid());
    for (const QString& name : Symbols::names()) {
        EXPECT_TRUE(raw.supportsCharacter(static_cast<uint>(Symbols::codepoint(name))))
            << name.toStdString();
    }
    EXPECT_FALSE(Symbols::has("no.such.symbol"));
    EXPECT_FALSE(Symbols::glyph("no.such.symbol").isEmpty());  // a neutral stand-in
}

}  // namespace
}  // namespace tamrel
