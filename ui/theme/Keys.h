#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>

#include "ui/theme/SpringAnimator.h"

class QPainter;

namespace tamrel {

// Every control looks like a key: a face resting on a darker edge that shows below it as the
// key's side and sinks when pressed.

// How far the face sits below its rest position: depth − 1 pressed (pressed wins), −1 lifted,
// else 0. The edge band that shows below the face is depth − offset.
double keycapFaceOffset(double depth, bool pressed, bool lifted);

// Draws a key: `shape` filled with `edge` moved down by `depth`, then with `face` moved down by
// `faceOffset` (see keycapFaceOffset; animated callers pass values in between).
void paintKeycap(QPainter& painter, const QPainterPath& shape, const QColor& face,
                 const QColor& edge, double depth, double faceOffset);

// A rounded rectangle with the given corner radius.
QPainterPath roundedShape(const QRectF& rect, double radius);

// The ring every control that takes the keyboard focus draws while it has it: a 2-point ink
// band along the inside of the edge of what has the focus (a key's face, a row, a tile) and a
// 1.5-point white band inside that. On every face and ground the screens draw controls on
// (plain and tangerine keys, the dark keys and display panels, cards, tinted tiles) one of the
// two bands stands out from both the face and the other band; a ring of one colour cannot, as a
// tangerine ring vanishes on a tangerine key.
struct FocusRingLook {
    QColor outer;
    QColor inner;
    double outerWidth;
    double innerWidth;
};
FocusRingLook focusRingLook();
// Draws the ring inside `shape`'s edge (the painter's own pen and brush are left alone).
void paintFocusRing(QPainter& painter, const QPainterPath& shape);

enum class KeyKind { plain, accent, dark };

struct KeyColors {
    QColor face;
    QColor edge;
    QColor label;
};
// plain: keyFace / keyEdge / ink; accent: tangerine / tangerineEdge / white; dark: 2B2927 /
// black / white.
KeyColors keyColors(KeyKind kind);

// The numbers of a text key, regular or large.
struct KeyMetrics {
    double fontSize;   // bold: 13, large 15
    double hPad;       // 13, large 20
    double vPad;       // 7, large 11
    double radius;     // 10, large 13
    double depth;      // 3: the edge band at rest, also the room reserved below the key
    double pressDrop;  // 2: the face and the label sink this far while pressed
};
KeyMetrics keyMetrics(bool large);
inline constexpr KeyMetrics kKeyMetrics{13, 13, 7, 10, 3, 2};
inline constexpr KeyMetrics kLargeKeyMetrics{15, 20, 11, 13, 3, 2};

// Where the parts of a text key lie for a label of `label` size and a press amount from 0 (at
// rest) to 1 (pressed): the key is label + padding, plus `depth` of room below.
struct KeyGeometry {
    QSizeF size;       // the whole control
    QRectF faceRect;   // the face, moved by the press
    QRectF edgeRect;   // the edge shape
    QRectF labelRect;  // the label, moved with the face
};
KeyGeometry keyGeometry(QSizeF label, bool large, double press);
// The height of a text key, whatever its label: the label's line, the padding and the edge.
double keyHeight(bool large);

// A control pressed like a key: with the mouse, with Space (as every button, on release), and
// with Enter or Return, which click it at once. It never hands Enter on to the control it lies
// in (a card's rows), as a button that ignores the key would.
class KeyControl : public QAbstractButton {
    Q_OBJECT
public:
    using QAbstractButton::QAbstractButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A text key (the key button style): an optional symbol before the title, kind and size as
// given. Its face and label sink 2 points while held and spring back (response 0.16 s, damping
// 0.6) on release. Disabled keys take no clicks and are drawn at 0.45 opacity, or at what the
// screen sets with setDisabledOpacity().
class KeyButton : public KeyControl {
    Q_OBJECT
public:
    KeyButton(const QString& title, KeyKind kind, bool large, QWidget* parent = nullptr);

    void setSymbol(const QString& symbol);
    KeyKind kind() const { return kind_; }
    bool large() const { return large_; }
    // 0 at rest, 1 fully pressed; follows the press spring.
    double pressAmount() const { return press_.value(); }

    // The opacity the key is drawn at while disabled (1 keeps a disabled key at full strength).
    void setDisabledOpacity(double opacity);
    double disabledOpacity() const { return disabledOpacity_; }
    // The opacity the key is drawn at now.
    double drawnOpacity() const { return isEnabled() ? 1.0 : disabledOpacity_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QSizeF labelSize() const;

    KeyKind kind_;
    bool large_;
    QString symbol_;
    double disabledOpacity_ = 0.45;
    SpringAnimator press_;
};

// A round icon key of diameter `size`: the symbol at size × 0.4 in ink on a keyFace circle with
// 2.5 points of keyEdge below; the face sinks 1.5 and the symbol 2 points while held. The
// symbol may be drawn turned about its centre (an expand chevron turning over).
inline constexpr double kRoundKeyDepth = 2.5;
inline constexpr double kRoundKeySymbol = 0.4;
inline constexpr double kRoundKeyDrop = 2;
class RoundKey : public KeyControl {
    Q_OBJECT
public:
    RoundKey(const QString& symbol, double size, QWidget* parent = nullptr);

    double pressAmount() const { return press_.value(); }
    QSize sizeHint() const override;

    // The angle the symbol is drawn turned by, in radians, clockwise on screen (0 upright).
    void setTurn(double radians);
    double turn() const { return turn_; }

    // The opacity the key is drawn at while disabled (0.45 unless a screen asks otherwise).
    void setDisabledOpacity(double opacity) { disabledOpacity_ = opacity; update(); }
    double disabledOpacity() const { return disabledOpacity_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QString symbol_;
    double size_;
    double disabledOpacity_ = 0.45;
    double turn_ = 0;
    SpringAnimator press_;
};

// The spring of every key press.
inline constexpr Spring kPressSpring{0.16, 0.6};

// Follows a button's pressed state with the press spring: `press` goes to 1 while the button
// is down and back to 0 when released; the button is repainted as it moves. Rows and tiles that
// draw their own key use it as the key buttons do.
void bindPress(QAbstractButton* button, SpringAnimator* press);

}  // namespace tamrel
