#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
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

// The white card exactly as paintPanel draws it, for a card whose edges lie on whole pixels.
// Filling a large antialiased rounded shape costs about 1.5 ms a card, most of it in handing
// its scan lines to worker threads and waiting for them, which on a busy machine can take far
// longer. Every pixel the card covers whole is opaque whatever lies beneath, so those are copied
// from a picture of the card drawn once per size, radius and pixel ratio (kept in
// QPixmapCache; a card taller than 400 points repeats the picture's straight middle). Only the
// four corners and the shadow below the card, which blend with what lies beneath, are drawn
// each time, clipped to small squares. Falls back to paintPanel where the pixels could not be
// the same: a rectangle off whole points, a painter that scales or rotates, a fractional pixel
// ratio, or a card too small to have a straight middle.
void paintPanelFast(QPainter& painter, const QRectF& rect, double radius);

// `text` broken into at most `lines` lines of `width` (at word boundaries where it can, inside a
// word where it must), the last one elided at its end.
QString elideLines(const QString& text, const QFont& font, double width, int lines);

}  // namespace tamrel
