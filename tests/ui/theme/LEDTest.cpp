#include "ui/theme/LED.h"

#include <QHBoxLayout>
#include <QImage>
#include <QPointer>

#include <gtest/gtest.h>

#include "ui/theme/Colors.h"

namespace tamrel {
namespace {

TEST(LED, SteadyStaysOffButOpaquePulsingBreathes) {
    const LedLook steady = ledLook(false, 0);
    EXPECT_EQ(steady.opacity, 1);
    EXPECT_DOUBLE_EQ(steady.glowOpacity, 0.4);
    EXPECT_DOUBLE_EQ(steady.glowRadius, 1.5);
    EXPECT_DOUBLE_EQ(ledLook(true, 0).opacity, 0.45);
    const LedLook on = ledLook(true, 1);
    EXPECT_EQ(on.opacity, 1);
    EXPECT_DOUBLE_EQ(on.glowOpacity, 0.9);
    EXPECT_DOUBLE_EQ(on.glowRadius, 4);
}

TEST(LED, TheLitDiscHasItsColour) {
    LED led(Color::led, false);
    const QImage image = led.grab().toImage();
    EXPECT_EQ(QColor(image.pixel(3, 3)).rgb(), Color::led.rgb());
}

// A white box holding an LED between two labels' worth of space, laid out as a screen would.
struct LedBox {
    QWidget box;
    LED* led;
    LedBox() {
        QPalette white = box.palette();
        white.setColor(QPalette::Window, Qt::white);
        box.setPalette(white);
        box.setAutoFillBackground(true);
        auto* row = new QHBoxLayout(&box);
        row->setContentsMargins(20, 20, 20, 20);
        row->setSpacing(7);
        led = new LED(Color::danger, false, &box);
        row->addWidget(led);
        row->addStretch(1);
        box.resize(100, 47);
        box.show();
    }
};

TEST(LED, TakesItsSevenPointsInALayoutWhileItsGlowSpillsAround) {
    LedBox b;
    EXPECT_EQ(b.led->size(), QSize(7, 7));
    EXPECT_EQ(b.led->geometry().topLeft(), QPoint(20, 20));
    Halo* halo = b.led->halo();
    ASSERT_NE(halo, nullptr);
    EXPECT_EQ(halo->parentWidget(), &b.box);
    EXPECT_EQ(halo->geometry(), QRect(16, 16, 15, 15));
    EXPECT_TRUE(halo->isVisible());
    // Under the disc, so the disc stays whole on top of its glow.
    const QObjectList& children = b.box.children();
    EXPECT_LT(children.indexOf(halo), children.indexOf(b.led));
    // The glow (1.5 points for a steady light) tints the white box just beside the disc,
    // outside the LED's own rectangle.
    const QImage image = b.box.grab().toImage();
    const QColor beside(image.pixel(19, 23));
    EXPECT_LT(beside.green(), 250);
    EXPECT_EQ(QColor(image.pixel(23, 23)).rgb(), Color::danger.rgb());
    EXPECT_EQ(QColor(image.pixel(40, 23)).rgb(), QColor(Qt::white).rgb());
}

TEST(LED, TheGlowFollowsTheLightAndGoesWithIt) {
    LedBox b;
    QPointer<Halo> halo = b.led->halo();
    b.led->move(40, 10);
    EXPECT_EQ(halo->geometry(), QRect(36, 6, 15, 15));
    b.led->hide();
    EXPECT_FALSE(halo->isVisible());
    b.led->show();
    EXPECT_TRUE(halo->isVisible());
    delete b.led;
    EXPECT_TRUE(halo.isNull());
}

TEST(LED, ALightThatIsAWindowOfItsOwnHasNoGlowWindow) {
    LED led(Color::led, true);
    led.show();
    ASSERT_NE(led.halo(), nullptr);
    EXPECT_EQ(led.halo()->parentWidget(), nullptr);
    EXPECT_FALSE(led.halo()->isVisible());
}

}  // namespace
}  // namespace tamrel
