#include "ui/results/ResultsPaint.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
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
    well.addRoundedRect(rect, 20, 20);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.fillPath(well, Color::puttyDeep);
    // The inner shadow: a dark stroke 1.5 pt down, softened over a few widths, inside the well.
    painter.setClipPath(well);
    painter.setBrush(Qt::NoBrush);
    for (int k = 0; k < 3; ++k) {
        painter.setPen(QPen(QColor(0, 0, 0, 10 - 3 * k), 3 + 2 * k));
        painter.drawRoundedRect(rect.translated(0, 1.5), 20, 20);
    }
    painter.setClipping(false);
    painter.setPen(QPen(Color::line, 1));
    painter.drawRoundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), 19.5, 19.5);
    painter.restore();
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
