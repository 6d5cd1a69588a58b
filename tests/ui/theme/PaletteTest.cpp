#include "ui/theme/Palette.h"

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

#include "ui/theme/Colors.h"

namespace tamrel {
namespace {

TEST(Palette, FolderColourIsFnv1aOfTheUtf8BytesIntoTheEightCandies) {
    EXPECT_EQ(Palette::folderHex(""), 0x8E7CF8u);
    EXPECT_EQ(Palette::folderHex("abc"), 0x4CC9A6u);  // hash 0x1A47E90B, index 3
    // The bytes decide: case and normalisation change the colour, a process restart does not.
    const QString composed = QString::fromUtf8("caf\xC3\xA9");
    const QString decomposed = QString::fromUtf8("cafe\xCC\x81");
    EXPECT_EQ(Palette::folderHex(composed), Palette::folderHexOfBytes("caf\xC3\xA9", 5));
    EXPECT_EQ(Palette::folderHex(decomposed), Palette::folderHexOfBytes("cafe\xCC\x81", 6));
    // Every result is one of the eight.
    for (const char* name : {"Documents", "node_modules", "a", "Library", "\xF0\x9F\x93\x81"}) {
        const std::uint32_t hex = Palette::folderHex(QString::fromUtf8(name));
        EXPECT_NE(std::find(Palette::candy.begin(), Palette::candy.end(), hex),
                  Palette::candy.end());
    }
}

TEST(Palette, TintAndShadeMixTowardsWhiteAndBlack) {
    const std::uint32_t hex = 0xFF6A2B;
    EXPECT_EQ(Palette::tint(hex, 0), Palette::color(hex));
    EXPECT_EQ(Palette::shade(hex, 0), Palette::color(hex));
    EXPECT_EQ(Palette::tint(hex, 1), QColor(255, 255, 255));
    EXPECT_EQ(Palette::shade(hex, 1), QColor(0, 0, 0));
    // Halfway: c + 0.5 (1 − c) and 0.5 c, per channel.
    const QColor t = Palette::tint(0x204060, 0.5);
    EXPECT_NEAR(t.redF(), (0x20 / 255.0 + 1) / 2, 1e-3);
    EXPECT_NEAR(t.blueF(), (0x60 / 255.0 + 1) / 2, 1e-3);
    const QColor s = Palette::shade(0x204060, 0.5);
    EXPECT_NEAR(s.greenF(), 0x40 / 255.0 / 2, 1e-3);
    // The top byte is ignored.
    EXPECT_EQ(Palette::color(0xAB112233), QColor(0x11, 0x22, 0x33));
}

TEST(Palette, InkShadesAreTheInkAtReducedOpacity) {
    for (const QColor& c : {Color::ink2, Color::ink3, Color::line}) {
        EXPECT_EQ(c.rgb() & 0xFFFFFF, Color::ink.rgb() & 0xFFFFFF);
    }
    EXPECT_NEAR(Color::ink2.alphaF(), 0.58, 0.003);
    EXPECT_NEAR(Color::ink3.alphaF(), 0.34, 0.003);
    EXPECT_NEAR(Color::line.alphaF(), 0.08, 0.003);
}

}  // namespace
}  // namespace tamrel
