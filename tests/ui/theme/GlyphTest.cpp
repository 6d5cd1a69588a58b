#include "ui/theme/Glyph.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(Glyph, TileIsItsSizePlusTwoPointsOfEdge) {
    Glyph glyph(QStringLiteral("house.fill"), 0x8E7CF8, 24);
    EXPECT_EQ(glyph.sizeHint(), QSize(24, 26));
}

}  // namespace
}  // namespace tamrel
