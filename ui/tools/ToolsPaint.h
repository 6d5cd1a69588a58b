#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

#include "model/apps/InstalledApp.h"
#include "model/system/Clock.h"

class QPainter;
class QScrollArea;

namespace tamrel {

class SizeTextMotion;

// Drawing steps and small widgets shared by the System Data, Clean up and Apps screens.

// A capsule badge: `text` in `font` and `ink`, padded `hPad` left and right and `vPad` above and
// below, on a capsule of `fill`, with its top-left corner at `topLeft`; an optional symbol goes
// before the text. Returns the badge's size.
QSizeF badgeSize(const QString& text, const QFont& font, double hPad, double vPad,
                 const QString& symbol = {});
QSizeF paintBadge(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font,
                  const QColor& ink, const QColor& fill, double hPad, double vPad,
                  const QString& symbol = {});

// An application's icon in a square of `size` at `topLeft`: a bundle's comes with its folder, an
// AppImage's is the one its desktop entry names.
void paintInstalledAppIcon(QPainter& painter, QPointF topLeft, double size, const InstalledApp& app);

// The white card (paintPanel) of `rect`, mostly copied from a kept picture (paintPanelFast).
void paintCard(QPainter& painter, const QRectF& rect, double radius);

// The read-out of bytes on a header card ("3 TICKED" over the ticked bytes, the bytes to
// remove over "TO REMOVE"): a dark display panel, corner radius 11, padded 12 across and 8 down,
// holding the caption (Fonts::displayCaption in Color::screenCaption) and the bytes (a size
// read-out at `size` points glowing, its unit dimmed), 1 apart, both at its right.
enum class ReadoutCaption { above, below };
QSizeF readoutSize(const QString& caption, std::uint64_t bytes, double size, ReadoutCaption at);
void paintReadout(QPainter& painter, const QRectF& rect, const QString& caption,
                  const SizeTextMotion& bytes, double size, ReadoutCaption at);

// One line of `text` in `rect` (left and vertically centred unless `align` says otherwise),
// elided by `mode` when it does not fit.
void paintLine(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
               const QColor& ink, Qt::TextElideMode mode = Qt::ElideRight,
               Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
// Text with digits of one width, right-aligned in `rect` and vertically centred.
void paintDigitsRight(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font,
                      const QColor& ink);
// The height `text` takes wrapped at `width`.
double wrappedHeight(const QString& text, const QFont& font, double width);

// Makes `area` a bare scroll area over the card ground holding `content`: no frame, no scroll
// bars shown (it still scrolls), nothing filled behind the content, and no keyboard focus of its
// own (the controls inside take it).
void setBareContent(QScrollArea& area, QWidget* content, bool resizable);

// A small indeterminate spinner, turning while shown.
class BusySpinner : public QWidget {
    Q_OBJECT
public:
    explicit BusySpinner(QWidget* parent = nullptr);
    // An arc of 270° (a line 2.2 wide, 2 in from the edge) turning 6° a frame.
    static constexpr int kSide = 18;
    static constexpr double kInset = 2;
    static constexpr double kLine = 2.2;
    static constexpr int kArcDegrees = 270;
    static constexpr int kStepDegrees = 6;
    QSize sizeHint() const override { return QSize(kSide, kSide); }

protected:
    void paintEvent(QPaintEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

private:
    Timer timer_;  // a frame, on screenClock()
    int angle_ = 0;
};

// A spinner over a line of text, centred in its width, `top` points from its top: the loading
// state of the space tools. A text wider than the widget less 24 points each side wraps, in
// lines of at most 440 points.
class LoadingState : public QWidget {
    Q_OBJECT
public:
    LoadingState(const QString& text, double top, QWidget* parent = nullptr);
    void setText(const QString& text);
    void setSpinning(bool on);
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QString text_;
    double top_;
    BusySpinner* spinner_;
};

// Where `count` cards of height `heights[i]` go in a grid `width` wide: columns of at least
// `minWidth`, `spacing` apart both ways, rows as tall as their tallest card, cards at the top of
// their cell. Returns the rectangles; `height` receives the grid's height.
std::vector<QRectF> gridCells(const std::vector<double>& heights, double width, double minWidth,
                              double spacing, double* height);

}  // namespace tamrel
