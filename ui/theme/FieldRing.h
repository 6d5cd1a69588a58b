#pragma once

#include <QObject>
#include <QRectF>

#include "ui/theme/EasedValue.h"

class QPainter;
class QWidget;

namespace tamrel {

// The focus ring of a text field (the search field, the Apps filter): an orange line just inside
// the field's rounded box, faded in over 0.15 s while the edit inside it has the focus and out
// again when it loses it. The widget that draws the field calls paint() over its box; it is
// repainted as the ring fades. Both widgets must outlive the ring (make it their child). Main
// thread only.
class FieldRing : public QObject {
    Q_OBJECT
public:
    FieldRing(QWidget* edit, QWidget* field);
    // How far the ring has faded in: 0 without focus, 1 with.
    double opacity() const { return ring_.value(); }
    // Draws the ring inside `box`, whose corners have `radius`; nothing while faded out.
    void paint(QPainter& painter, QRectF box, double radius) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* edit_;
    EasedValue ring_;
};

}  // namespace tamrel
