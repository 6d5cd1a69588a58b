#include "ui/theme/Keys.h"

#include <QKeyEvent>
#include <QPainter>
#include <QtMath>

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Symbols.h"

namespace tamrel {

double keycapFaceOffset(double depth, bool pressed, bool lifted) {
    if (pressed) return depth - 1;
    if (lifted) return -1;
    return 0;
}

QPainterPath roundedShape(const QRectF& rect, double radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

FocusRingLook focusRingLook() {
    return {Color::ink, Qt::white, 2, 1.5};
}

void paintFocusRing(QPainter& painter, const QPainterPath& shape) {
    const FocusRingLook look = focusRingLook();
    // A band of width w inside the edge: the shape's outline widened to 2w, cut to the shape.
    const auto band = [&shape](double width) {
        QPainterPathStroker stroker;
        stroker.setWidth(2 * width);
        stroker.setJoinStyle(Qt::RoundJoin);
        return stroker.createStroke(shape).intersected(shape);
    };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(band(look.outerWidth + look.innerWidth), look.inner);
    painter.fillPath(band(look.outerWidth), look.outer);
    painter.restore();
}

void paintKeycap(QPainter& painter, const QPainterPath& shape, const QColor& face,
                 const QColor& edge, double depth, double faceOffset) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.fillPath(shape.translated(0, depth), edge);
    painter.fillPath(shape.translated(0, faceOffset), face);
    painter.restore();
}

KeyColors keyColors(KeyKind kind) {
    switch (kind) {
        case KeyKind::plain:
            return {Color::keyFace, Color::keyEdge, Color::ink};
        case KeyKind::accent:
            return {Color::tangerine, Color::tangerineEdge, Qt::white};
        case KeyKind::dark:
            return {QColor(0x2B, 0x29, 0x27), Qt::black, Qt::white};
    }
    return {};
}

KeyMetrics keyMetrics(bool large) {
    return large ? kLargeKeyMetrics : kKeyMetrics;
}

KeyGeometry keyGeometry(QSizeF label, bool large, double press) {
    const KeyMetrics m = keyMetrics(large);
    const double w = label.width() + 2 * m.hPad;
    const double h = label.height() + 2 * m.vPad;
    const double faceDrop = (m.depth - 1) * press;
    KeyGeometry g;
    g.size = QSizeF(w, h + m.depth);
    g.edgeRect = QRectF(0, 0, w, h);
    g.faceRect = QRectF(0, faceDrop, w, h);
    g.labelRect = QRectF(m.hPad, m.vPad + m.pressDrop * press, label.width(), label.height());
    return g;
}

double keyHeight(bool large) {
    const QFont label = Fonts::system(keyMetrics(large).fontSize, Fonts::Weight::bold);
    return keyGeometry(QSizeF(0, Fonts::lineHeight(label)), large, 0).size.height();
}

void bindPress(QAbstractButton* button, SpringAnimator* press) {
    QObject::connect(button, &QAbstractButton::pressed, press,
                     [press] { press->animateTo(1, kPressSpring); });
    QObject::connect(button, &QAbstractButton::released, press,
                     [press] { press->animateTo(0, kPressSpring); });
    QObject::connect(press, &SpringAnimator::valueChanged, button, [button] { button->update(); });
}

namespace {

constexpr double kSymbolGap = 6;

}  // namespace

void KeyControl::keyPressEvent(QKeyEvent* event) {
    if (opensEntry(*event) && !event->isAutoRepeat()) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

KeyButton::KeyButton(const QString& title, KeyKind kind, bool large, QWidget* parent)
    : KeyControl(parent), kind_(kind), large_(large), press_(0, this) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    bindPress(this, &press_);
}

void KeyButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    updateGeometry();
    update();
}

void KeyButton::setDisabledOpacity(double opacity) {
    if (opacity == disabledOpacity_) return;
    disabledOpacity_ = opacity;
    update();
}

QSizeF KeyButton::labelSize() const {
    const KeyMetrics m = keyMetrics(large_);
    const QFontMetricsF fm(Fonts::system(m.fontSize, Fonts::Weight::bold));
    double w = fm.horizontalAdvance(text());
    if (!symbol_.isEmpty()) {
        w += QFontMetricsF(Fonts::symbol(m.fontSize)).horizontalAdvance(Symbols::glyph(symbol_)) +
             kSymbolGap;
    }
    return QSizeF(w, fm.ascent() + fm.descent());
}

QSize KeyButton::sizeHint() const {
    const QSizeF s = keyGeometry(labelSize(), large_, 0).size;
    return QSize(static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height())));
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setOpacity(drawnOpacity());
    const KeyMetrics m = keyMetrics(large_);
    const KeyColors colors = keyColors(kind_);
    const QSizeF label = labelSize();
    KeyGeometry g = keyGeometry(label, large_, press_.value());
    // Centre the key in whatever width the layout gives.
    const double dx = (width() - g.size.width()) / 2;
    const QPainterPath shape = roundedShape(g.edgeRect.translated(dx, 0), m.radius);
    paintKeycap(p, shape, colors.face, colors.edge, m.depth, g.faceRect.top());

    const QRectF lr = g.labelRect.translated(dx, 0);
    const QFont font = Fonts::system(m.fontSize, Fonts::Weight::bold);
    const QFontMetricsF fm(font);
    const double baseline = lr.top() + fm.ascent();
    double x = lr.left();
    p.setPen(colors.label);
    if (!symbol_.isEmpty()) {
        const QFont sf = Fonts::symbol(m.fontSize);
        const QFontMetricsF sfm(sf);
        const QString g1 = Symbols::glyph(symbol_);
        p.setFont(sf);
        // Symbols sit centred on the text's x-height band.
        const double mid = baseline - fm.xHeight() / 2;
        p.drawText(QPointF(x, mid + (sfm.ascent() - sfm.descent()) / 2), g1);
        x += sfm.horizontalAdvance(g1) + kSymbolGap;
    }
    p.setFont(font);
    p.drawText(QPointF(x, baseline), text());
    if (hasFocus()) paintFocusRing(p, roundedShape(g.faceRect.translated(dx, 0), m.radius));
}

RoundKey::RoundKey(const QString& symbol, double size, QWidget* parent)
    : KeyControl(parent), symbol_(symbol), size_(size), press_(0, this) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    bindPress(this, &press_);
    // Like every key: reached with Tab, not taken by a click.
    setFocusPolicy(Qt::TabFocus);
}

QSize RoundKey::sizeHint() const {
    return QSize(static_cast<int>(std::ceil(size_)),
                 static_cast<int>(std::ceil(size_ + kRoundKeyDepth)));
}

void RoundKey::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) p.setOpacity(disabledOpacity_);
    const double depth = kRoundKeyDepth;
    const double press = press_.value();
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, size_, size_));
    paintKeycap(p, circle, Color::keyFace, Color::keyEdge, depth, (depth - 1) * press);
    const QFont font = Fonts::symbol(size_ * kRoundKeySymbol);
    p.setFont(font);
    p.setPen(Color::ink);
    // Turned about the centre of the (pressed) label.
    p.translate(size_ / 2, size_ / 2 + kRoundKeyDrop * press);
    if (turn_ != 0) p.rotate(qRadiansToDegrees(turn_));
    p.drawText(QRectF(-size_ / 2, -size_ / 2, size_, size_), Qt::AlignCenter,
               Symbols::glyph(symbol_));
    if (hasFocus()) {
        p.resetTransform();
        QPainterPath face;
        face.addEllipse(QRectF(0, (depth - 1) * press, size_, size_));
        paintFocusRing(p, face);
    }
}

void RoundKey::setTurn(double radians) {
    if (radians == turn_) return;
    turn_ = radians;
    update();
}

}  // namespace tamrel
