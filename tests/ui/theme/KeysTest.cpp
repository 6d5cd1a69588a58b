#include "ui/theme/Keys.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

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
    SpringAnimator::setInstant(false);
    KeyButton key(QStringLiteral("Stop"), KeyKind::plain, false);
    key.resize(key.sizeHint());
    key.show();
    QTest::mousePress(&key, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(QTest::qWaitFor([&] { return key.pressAmount() > 0.99; }, 10000));
    QSignalSpy clicked(&key, &QAbstractButton::clicked);
    QTest::mouseRelease(&key, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicked.count(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return key.pressAmount() == 0; }, 10000));
    SpringAnimator::setInstant(true);
}

TEST(RoundKey, SizeIsTheCirclePlusItsEdge) {
    RoundKey key(QStringLiteral("arrow.clockwise"), 28);
    EXPECT_EQ(key.sizeHint(), QSize(28, 31));  // 28 + 2.5, rounded up
}

// A round key reached with Tab shows that it has the focus; a click does not take it.
TEST(RoundKey, TabFocusDrawsTheRing) {
    QWidget window;
    auto* before = new KeyButton(QStringLiteral("Before"), KeyKind::plain, false, &window);
    auto* key = new RoundKey(QStringLiteral("arrow.clockwise"), 28, &window);
    key->move(0, 40);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(key->focusPolicy(), Qt::TabFocus);
    const QImage plain = key->grab().toImage();
    before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(before, Qt::Key_Tab);
    ASSERT_TRUE(key->hasFocus());
    const QColor ring = key->grab().toImage().pixelColor(1, 14);  // the circle's left edge
    EXPECT_NE(ring, plain.pixelColor(1, 14));
    EXPECT_GT(ring.red(), ring.blue());  // tangerine, not the key's grey
}

}  // namespace
}  // namespace tamrel
