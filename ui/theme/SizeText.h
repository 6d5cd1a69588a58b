#pragma once

#include <QColor>
#include <QFont>
#include <QObject>
#include <QPointF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "ui/theme/SpringAnimator.h"

class QPainter;

namespace tamrel {

// One of the display pieces the screens are built from, with its plain painting (or plain
// geometry); none touches the model. Main thread only.
//
// A size read-out: the number of Fmt::split in bold at `size` with digits of one width,
// then 2 points, then the unit semibold at size × 0.62 in `unitColor`, on one baseline. Never
// wraps or truncates. `tracking` is added after every character of the number.
// Its width, and the read-out drawn from `origin` (left end of the baseline) in `color`.
double sizeTextWidth(std::uint64_t bytes, double size, double tracking = 0);
// The number's font at `size` (whose ascent and line height place a read-out), and the unit's.
QFont sizeTextFont(double size, double tracking = 0);
// The height of a line of that font.
double sizeTextHeight(double size);
QFont sizeTextUnitFont(double size);
// The unit's size against the number's, and the room between them (points).
inline constexpr double kSizeTextUnitScale = 0.62;
inline constexpr double kSizeTextUnitGap = 2;
void paintSizeText(QPainter& painter, QPointF origin, std::uint64_t bytes, double size,
                   const QColor& color, const QColor& unitColor, double tracking = 0);

// The counting-up roll of a read-out's number as it changes from `from` to `to`, at `progress`
// from 0 (the change begins) to 1 (done). Both texts are laid out from the same left end with
// digits of one width; a character that is the same, at the same place, in both stays still.
// Every other old character rises out of its place by `rise` points and fades out; every other
// new one rises into its place from `rise` points below and fades in.
struct RollPiece {
    QChar ch;
    double x;        // from the left end of the number
    double dy;       // down is positive
    double opacity;  // 0…1
    bool incoming;   // a character of `to` (else of `from`)
};
std::vector<RollPiece> numberRoll(const QFont& font, const QString& from, const QString& to,
                                  double progress, double rise);
// How far a changing character rises: the height of the number's capitals.
double rollRise(const QFont& font);

// The motion of one read-out: the shown count and, while a change plays, the number it rolls
// from. A change of count while `animate` is asked rolls the number with a smooth spring
// (response 0.5 s, no bounce); a change without it, or the first count, shows at once. A change
// mid-roll starts a new roll from the number the cut-short one was rolling to. progress() is 1 at
// rest. Main thread only.
class SizeTextMotion : public QObject {
    Q_OBJECT
public:
    explicit SizeTextMotion(std::uint64_t bytes = 0, QObject* parent = nullptr);

    void setBytes(std::uint64_t bytes, bool animate);
    std::uint64_t bytes() const { return bytes_; }
    QString number() const { return number_; }
    QString unit() const { return unit_; }
    QString from() const { return from_; }
    double progress() const { return roll_.value(); }
    bool rolling() const { return roll_.moving(); }
    // The spring that drives the roll (tests step it with advance()).
    SpringAnimator& spring() { return roll_; }

    static constexpr Spring kRollSpring{0.5, 1.0};

signals:
    void changed();

private:
    std::uint64_t bytes_;
    QString number_;
    QString unit_;
    QString from_;
    SpringAnimator roll_;
};
// The read-out of `motion` as it is now: the number rolling from its old text, the unit of the
// new count. Lays out as paintSizeText of the new count.
void paintSizeText(QPainter& painter, QPointF origin, const SizeTextMotion& motion, double size,
                   const QColor& color, const QColor& unitColor, double tracking = 0);

// The read-out as a widget: a new count rolls its number in while the widget is shown.
class SizeText : public QWidget {
    Q_OBJECT
public:
    SizeText(std::uint64_t bytes, double size, const QColor& unitColor, QWidget* parent = nullptr);
    void setBytes(std::uint64_t bytes);
    void setColor(const QColor& color);
    QString number() const { return motion_.number(); }
    QString unit() const { return motion_.unit(); }
    SizeTextMotion& motion() { return motion_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    double size_;
    QColor color_;
    QColor unitColor_;
    SizeTextMotion motion_;
};

}  // namespace tamrel
