#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>

class QPainter;

namespace tamrel {

// Small drawing steps shared by the results screens.

// A symbol (by its symbol name) centred in `rect`, sized for text of `points`.
void paintSymbol(QPainter& painter, const QRectF& rect, const QString& symbol, double points,
                 const QColor& colour);

// An empty state centred in `rect`: a bold symbol over a bold line of text, `spacing` apart,
// both in Color::ink3.
void paintEmptyState(QPainter& painter, const QRectF& rect, const QString& symbol,
                     double symbolPoints, const QString& text, double textPoints, double spacing);

// The treemap's recessed well filling `rect`: puttyDeep with a soft inner shadow at the top and
// a hairline border, corner radius 20.
void paintWell(QPainter& painter, const QRectF& rect);

// `text` broken into at most `lines` lines of `width` (at word boundaries where it can, inside a
// word where it must), the last one elided at its end.
QString elideLines(const QString& text, const QFont& font, double width, int lines);

}  // namespace tamrel
