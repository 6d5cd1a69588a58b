#include "ui/results/ResultsPaint.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include "ui/theme/Panel.h"

namespace tamrel {
namespace {

// A ground that shows any difference in blending: a gradient from clear to a strong colour
// under opaque and half-clear stripes.
QImage ground(QSize size, double ratio) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, QColor(0, 0, 0, 0));
    g.setColorAt(0.5, QColor(40, 120, 200, 140));
    g.setColorAt(1, QColor(250, 60, 10, 255));
    p.fillRect(QRect(QPoint(0, 0), size), g);
    for (int y = 0; y < size.height(); y += 7)
        p.fillRect(QRect(0, y, size.width(), 2), QColor(20, 200, 90, y % 2 ? 255 : 90));
    return image;
}

struct Case {
    QRectF card;
    double radius;
    double ratio;
    QPoint shift;  // the painter's translation
    QRect clip;    // a repaint region, or empty
    const char* what;
};

QImage drawn(const Case& c, bool fast) {
    QImage image = ground(QSize(1400, 1100), c.ratio);
    QPainter p(&image);
    p.translate(c.shift);
    if (!c.clip.isEmpty()) p.setClipRect(c.clip);
    if (fast)
        paintPanelFast(p, c.card, c.radius);
    else
        paintPanel(p, c.card, c.radius);
    return image;
}

TEST(PanelFast, DrawsTheSamePixelsAsThePanelOverAnyGround) {
    const Case cases[] = {
        {QRectF(20, 30, 400, 500), 18, 1, {}, {}, "a list card"},
        {QRectF(20, 30, 400, 170), 18, 1, {}, {}, "a summary card"},
        {QRectF(10, 10, 1276, 1050), 18, 1, {}, {}, "taller than the picture: its middle repeats"},
        {QRectF(5, 7, 400, 401), 18, 1, {}, {}, "one point taller than the picture"},
        {QRectF(20, 30, 400, 500), 18, 2, {}, {}, "at pixel ratio 2"},
        {QRectF(20, 30, 300, 900), 11, 2, {}, {}, "tall at pixel ratio 2, another radius"},
        {QRectF(0, 0, 400, 500), 18, 1, {250, 140}, {}, "through a translated painter"},
        {QRectF(20, 30, 400, 500), 18, 1, {}, QRect(0, 300, 300, 260), "clipped to a repaint"},
        {QRectF(20.5, 30, 400, 500), 18, 1, {}, {}, "off whole points: drawn as it is"},
        {QRectF(20, 30, 400, 500), 18, 1.5, {}, {}, "at a fractional ratio: drawn as it is"},
        {QRectF(20, 30, 30, 30), 18, 1, {}, {}, "too small for a straight middle"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage expected = drawn(c, false);
        EXPECT_TRUE(drawn(c, true) == expected);
        // The second time from the pixmap cache.
        EXPECT_TRUE(drawn(c, true) == expected);
    }
}

TEST(PanelFast, KeepsWithinTheCardAndItsShadow) {
    // Nothing is drawn beyond the card and the point of shadow under it.
    QImage image(QSize(500, 600), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        paintPanelFast(p, QRectF(50, 40, 400, 500), 18);
    }
    const QRect reach(50, 40, 400, 502);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!reach.contains(x, y)) {
                ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(qAlpha(image.pixel(250, 300)), 255);
}

}  // namespace
}  // namespace tamrel
