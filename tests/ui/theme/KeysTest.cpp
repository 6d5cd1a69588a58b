#include "ui/theme/Keys.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/TestClock.h"
#include "tests/ui/Headless.h"
#include "tests/ui/Printers.h"

#include "ui/theme/Colors.h"

namespace tamrel {
namespace {

TEST(Keycap, FaceOffsetPressedWinsOverLifted) {
    EXPECT_EQ(keycapFaceOffset(3, false, false), 0);
    EXPECT_EQ(keycapFaceOffset(3, true, false), 2);
    EXPECT_EQ(keycapFaceOffset(3, false, true), -1);  // depth + 1 of edge shows
    EXPECT_EQ(keycapFaceOffset(3, true, true), 2);
    EXPECT_EQ(keycapFaceOffset(2.5, true, false), 1.5);
}

TEST(KeyGeometry, RegularKeyIsLabelPlusPaddingWithRoomForItsEdge) {
    const KeyGeometry rest = keyGeometry(QSizeF(40, 16), false, 0);
    EXPECT_EQ(rest.size, QSizeF(40 + 26, 16 + 14 + 3));
    EXPECT_EQ(rest.faceRect, QRectF(0, 0, 66, 30));
    EXPECT_EQ(rest.labelRect, QRectF(13, 7, 40, 16));
    // Pressed: the face and label sink 2 points; one point of edge is left below the face.
    const KeyGeometry down = keyGeometry(QSizeF(40, 16), false, 1);
    EXPECT_EQ(down.faceRect.top(), 2);
    EXPECT_EQ(down.labelRect.top(), 9);
    EXPECT_EQ(down.edgeRect.bottom() + keyMetrics(false).depth - down.faceRect.bottom(), 1);
    const KeyGeometry large = keyGeometry(QSizeF(40, 18), true, 0);
    EXPECT_EQ(large.size, QSizeF(80, 18 + 22 + 3));
    EXPECT_EQ(keyMetrics(true).radius, 13);
    EXPECT_EQ(keyMetrics(false).radius, 10);
}

TEST(KeyColors, PerKind) {
    EXPECT_EQ(keyColors(KeyKind::plain).face, Color::keyFace);
    EXPECT_EQ(keyColors(KeyKind::plain).edge, Color::keyEdge);
    EXPECT_EQ(keyColors(KeyKind::accent).edge, Color::tangerineEdge);
    EXPECT_EQ(keyColors(KeyKind::dark).face, QColor(0x2B, 0x29, 0x27));
    EXPECT_EQ(keyColors(KeyKind::dark).label, QColor(Qt::white));
}

// The band below a plain key's face is keyEdge, 3 points at rest.
TEST(KeyButton, EdgeBandBelowTheFaceHasTheEdgeColour) {
    KeyButton key(QStringLiteral("Stop"), KeyKind::plain, false);
    key.resize(key.sizeHint());
    const QImage image = key.grab().toImage();
    const int x = image.width() / 2;
    // The face ends 3 points above the bottom (less a fraction of the text's line height).
    EXPECT_EQ(QColor(image.pixel(x, image.height() - 6)).rgb(), Color::keyFace.rgb());
    EXPECT_EQ(QColor(image.pixel(x, image.height() - 2)).rgb(), Color::keyEdge.rgb());
}

// A disabled key is dimmed to 0.45 unless its screen sets another strength; an enabled key is
// drawn at full strength whatever is set.
TEST(KeyButton, DisabledKeyIsDrawnAtItsDisabledOpacity) {
    KeyButton key(QStringLiteral("Clean"), KeyKind::accent, true);
    key.resize(key.sizeHint());
    const int x = key.width() / 2;
    const int y = key.height() - 2;  // the edge band, no label there
    key.setEnabled(false);
    EXPECT_DOUBLE_EQ(key.drawnOpacity(), 0.45);
    const QColor dimmed = key.grab().toImage().pixelColor(x, y);
    key.setDisabledOpacity(1);
    EXPECT_DOUBLE_EQ(key.drawnOpacity(), 1.0);
    const QColor full = key.grab().toImage().pixelColor(x, y);
    EXPECT_EQ(full.rgb(), Color::tangerineEdge.rgb());
    EXPECT_NE(dimmed.rgba(), full.rgba());
    key.setDisabledOpacity(0.5);
    key.setEnabled(true);
    EXPECT_DOUBLE_EQ(key.drawnOpacity(), 1.0);
}

TEST(KeyButton, PressSinksAndReleaseSpringsBack) {
    test::TestClock clock;
    test::ScopedScreenClock screenClock(clock);
    SpringAnimator::setInstant(false);
    KeyButton key(QStringLiteral("Stop"), KeyKind::plain, false);
    key.resize(key.sizeHint());
    key.show();
    QTest::mousePress(&key, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_LT(key.pressAmount(), 0.5);  // it sinks on the press spring
    clock.advance(std::chrono::seconds(1));
    EXPECT_GT(key.pressAmount(), 0.99);
    QSignalSpy clicked(&key, &QAbstractButton::clicked);
    QTest::mouseRelease(&key, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    clock.advance(std::chrono::seconds(1));
    EXPECT_EQ(key.pressAmount(), 0);
    SpringAnimator::setInstant(true);
}

TEST(RoundKey, SizeIsTheCirclePlusItsEdge) {
    RoundKey key(QStringLiteral("arrow.clockwise"), 28);
    EXPECT_EQ(key.sizeHint(), QSize(28, 31));  // 28 + 2.5, rounded up
}

// The contrast ratio of two opaque colours by their relative luminance (WCAG 2): 1 to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// On every face and ground a control stands on, one band of the focus ring stands out from it
// at 3:1 at least (the least for a control's outline), and the two bands from each other; a
// tangerine ring could not on a tangerine key.
TEST(FocusRing, OneBandStandsOutOnEveryFaceAndGround) {
    const FocusRingLook look = focusRingLook();
    EXPECT_GE(contrast(look.outer, look.inner), 3);
    const QColor grounds[] = {
        Color::keyFace,      Color::tangerine,         QColor(0x2B, 0x29, 0x27),  // key faces
        QColor(0xF3, 0xF0, 0xEA),                     // a selected tab
        Color::putty,        Color::panel,            Color::puttyDeep,  // grounds and cards
        Color::screen,                                // the dark display of the tray
        QColor(251, 248, 243),                        // the sidebar
        QColor(0xFF, 0xF1, 0xE4),                     // the selected application's row
        QColor(0xFF, 0xA9, 0x86),                     // a picked tile (tangerine tinted)
        QColor(0xA7, 0xD3, 0xFB),                     // a tinted file tile
    };
    for (const QColor& ground : grounds) {
        EXPECT_GE(std::max(contrast(look.outer, ground), contrast(look.inner, ground)), 3)
            << ground.name().toStdString();
    }
    EXPECT_LT(contrast(Color::tangerine, Color::tangerine), 3);  // what a one-colour ring meets
}

// Each style of key reached with Tab draws the ring on its face, standing out from what was
// there; a click does not take the focus.
TEST(FocusRing, EveryKeyStyleDrawsItWhenReachedWithTab) {
    QWidget window;
    auto* before = new KeyButton(QStringLiteral("Before"), KeyKind::plain, false, &window);
    std::vector<QAbstractButton*> keys;
    for (bool large : {false, true}) {
        for (KeyKind kind : {KeyKind::plain, KeyKind::accent, KeyKind::dark})
            keys.push_back(new KeyButton(QStringLiteral("Key"), kind, large, &window));
    }
    keys.push_back(new RoundKey(QStringLiteral("arrow.clockwise"), 28, &window));
    int y = 40;
    for (QAbstractButton* key : keys) {
        key->resize(key->sizeHint());
        key->move(0, y);
        y += key->height() + 10;
    }
    window.show();
    ASSERT_TRUE(test::exposed(window));
    before->setFocus(Qt::TabFocusReason);
    for (QAbstractButton* key : keys) {
        EXPECT_EQ(key->focusPolicy(), Qt::TabFocus);
        const QImage plain = key->grab().toImage();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(key->hasFocus());
        const QImage focused = key->grab().toImage();
        int standsOut = 0;
        for (int py = 0; py < plain.height(); ++py) {
            for (int px = 0; px < plain.width(); ++px) {
                if (contrast(plain.pixelColor(px, py), focused.pixelColor(px, py)) >= 3)
                    ++standsOut;
            }
        }
        // At least a band of one point all round the face.
        EXPECT_GE(standsOut, key->width() + key->height()) << key->metaObject()->className();
    }
    QTest::mouseClick(keys.front(), Qt::LeftButton);
    EXPECT_FALSE(keys.front()->hasFocus());
}

}  // namespace
}  // namespace tamrel
