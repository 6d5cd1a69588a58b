#include "ui/results/ResultsPaint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPixmapCache>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

#include "ui/results/TreemapMetrics.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Panel.h"
#include "ui/theme/Symbols.h"

namespace tamrel {

void paintSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, double points,
                 const QColor& colour) {
    painter.save();
    painter.setFont(Fonts::symbol(points));
    painter.setPen(colour);
    painter.drawText(rect, Qt::AlignCenter, Symbols::glyph(symbol));
    painter.restore();
}

void paintEmptyState(QPainter& painter, const QRectF& rect, const QString& symbol,
                     double symbolPoints, const QString& text, double textPoints, double spacing) {
    const QFont symbolFont = Fonts::symbol(symbolPoints);
    const QFont textFont = Fonts::system(textPoints, Fonts::Weight::bold);
    const double symbolH = QFontMetricsF(symbolFont).height();
    const double textH = QFontMetricsF(textFont).height();
    const double top = rect.center().y() - (symbolH + spacing + textH) / 2;
    painter.save();
    painter.setPen(Color::ink3);
    painter.setFont(symbolFont);
    painter.drawText(QRectF(rect.left(), top, rect.width(), symbolH), Qt::AlignCenter,
                     Symbols::glyph(symbol));
    painter.setFont(textFont);
    painter.drawText(QRectF(rect.left(), top + symbolH + spacing, rect.width(), textH),
                     Qt::AlignCenter, text);
    painter.restore();
}

void paintWell(QPainter& painter, const QRectF& rect) {
    QPainterPath well;
    well.addRoundedRect(rect, kWellRadius, kWellRadius);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillPath(well, Color::puttyDeep);
    // The inner shadow: a dark stroke 1.5 pt down, softened over a few widths, inside the well.
    painter.setClipPath(well);
    painter.setBrush(Qt::NoBrush);
    for (int k = 0; k < 3; ++k) {
        painter.setPen(QPen(QColor(0, 0, 0, 10 - 3 * k), 3 + 2 * k));
        painter.drawRoundedRect(rect.translated(0, 1.5), kWellRadius, kWellRadius);
    }
    painter.setClipping(false);
    painter.setPen(QPen(Color::line, 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), kWellRadius - 0.5,
                            kWellRadius - 0.5);
    painter.restore();
}

namespace {

// A picture of the card `width` x `height` device-independent points at `ratio`, from the pixmap
// cache.
QPixmap panelPicture(int width, int height, double radius, int ratio) {
    const QString key = QStringLiteral("tamrel-panel-%1x%2-%3-%4")
                            .arg(width)
                            .arg(height)
                            .arg(radius)
                            .arg(ratio);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(width * ratio, height * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        paintPanel(p, QRectF(0, 0, width, height), radius);
        p.end();
        // Only the opaque parts are ever copied: without an alpha channel a copy is a plain
        // copy of each line rather than a blend of each pixel.
        picture = QPixmap::fromImage(picture.toImage().convertToFormat(QImage::Format_RGB32));
        QPixmapCache::insert(key, picture);
    }
    return picture;
}

bool whole(double v) {
    return v == std::floor(v) && std::abs(v) < 1e6;
}

}  // namespace

void paintPanelFast(QPainter& painter, const QRectF& rect, double radius) {
    const QTransform& t = painter.worldTransform();
    const double ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    // The corners: every pixel of the rounded part and its antialiasing lies inside them.
    const int c = int(std::ceil(radius)) + 1;
    constexpr int maxPicture = 400;
    if (t.type() > QTransform::TxTranslate || !whole(t.dx()) || !whole(t.dy()) || !whole(ratio) ||
        !whole(rect.x()) || !whole(rect.y()) || !whole(rect.width()) || !whole(rect.height()) ||
        rect.width() < 2 * c + 1 || rect.height() < 2 * c + 1) {
        paintPanel(painter, rect, radius);
        return;
    }
    const int x = int(rect.x()), y = int(rect.y());
    const int w = int(rect.width()), h = int(rect.height());
    const int r = x + w, b = y + h;
    const int pictureH = std::min(h, maxPicture);
    const QPixmap picture = panelPicture(w, pictureH, radius, int(ratio));
    const auto copy = [&](const QRect& to, int fromX, int fromY) {
        painter.drawPixmap(QRectF(to), picture,
                           QRectF(fromX * ratio, fromY * ratio, to.width() * ratio,
                                  to.height() * ratio));
    };
    // The straight parts: the top and bottom edges between the corners, and the middle in
    // strips as high as the picture's own middle.
    copy(QRect(x + c, y, w - 2 * c, c), c, 0);
    copy(QRect(x + c, b - c, w - 2 * c, c), c, pictureH - c);
    const int middle = pictureH - 2 * c;
    for (int top = y + c; top < b - c; top += middle)
        copy(QRect(x, top, w, std::min(middle, b - c - top)), 0, c);
    // The corners and the shadow one point below the card, over what lies beneath. Each is
    // drawn as a small card that shares its corner with this one (the same curves at the same
    // place, so the same coverage in the square), clipped to the square: rasterizing the whole
    // card for each would cost more than the copies save.
    const int s = 2 * c + 2;
    const struct {
        QRect clip;
        QRectF card;
    } blended[] = {
        {QRect(x, y, c, c), QRectF(x, y, s, s)},
        {QRect(r - c, y, c, c), QRectF(r - s, y, s, s)},
        {QRect(x, b - c, c, c + 2), QRectF(x, b - s, s, s)},
        {QRect(r - c, b - c, c, c + 2), QRectF(r - s, b - s, s, s)},
        {QRect(x + c, b, w - 2 * c, 2), QRectF(x, b - s, w, s)},
    };
    for (const auto& part : blended) {
        painter.save();
        painter.setClipRect(part.clip, Qt::IntersectClip);
        paintPanel(painter, part.card, radius);
        painter.restore();
    }
}

QString elideLines(const QString& text, const QFont& font, double width, int lines) {
    const QFontMetricsF fm(font);
    QTextLayout layout(text, font);
    layout.setTextOption(QTextOption(Qt::AlignLeft));
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList out;
    for (int k = 0; k < lines; ++k) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        const QString part = text.mid(line.textStart(), line.textLength());
        if (k == lines - 1 && line.textStart() + line.textLength() < text.size()) {
            out << fm.elidedText(text.mid(line.textStart()), Qt::ElideRight, width);
        } else {
            out << part.trimmed();
        }
    }
    layout.endLayout();
    return out.join(QLatin1Char('\n'));
}

}  // namespace tamrel
