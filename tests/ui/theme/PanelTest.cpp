#include "ui/theme/Panel.h"

#include <QImage>

#include <gtest/gtest.h>

#include "ui/theme/Colors.h"

namespace tamrel {
namespace {

TEST(Panel, CardIsWhiteWithAHairlineBorder) {
    Panel panel;
    panel.resize(100, 60);
    const QImage image = panel.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(50, 30)).rgb(), Color::panel.rgb());
    // The border darkens the edge a little: ink at 0.08 over white.
    const QColor edge(image.pixel(50, 0));
    EXPECT_LT(edge.red(), 250);
    EXPECT_GT(edge.red(), 225);
}

}  // namespace
}  // namespace tamrel
