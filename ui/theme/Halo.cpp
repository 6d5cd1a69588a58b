#include "ui/theme/Halo.h"

#include <QEvent>
#include <QPainter>
#include <cmath>

namespace tamrel {

Halo::Halo(QWidget* owner, double spill, Painter paint)
    : owner_(owner), spill_(static_cast<int>(std::ceil(spill))), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    owner_->installEventFilter(this);
    follow();
}

QRect Halo::haloRect(const QRect& owner, double spill) {
    const int s = static_cast<int>(std::ceil(spill));
    return owner.adjusted(-s, -s, s, s);
}

void Halo::follow() {
    QWidget* parent = owner_->isWindow() ? nullptr : owner_->parentWidget();
    if (parent == nullptr) {
        // Never a window of its own.
        hide();
        if (parentWidget() != nullptr) setParent(nullptr);
        return;
    }
    if (parentWidget() != parent) setParent(parent);
    setGeometry(haloRect(owner_->geometry(), spill_));
    stackUnder(owner_);
    // Shown with the parent unless the owner itself is hidden.
    const bool shown = owner_->isVisibleTo(parent);
    if (isVisibleTo(parent) != shown) setVisible(shown);
}

bool Halo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::ParentChange:
            case QEvent::ZOrderChange:
                follow();
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Halo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paint_(p, QRectF(spill_, spill_, owner_->width(), owner_->height()));
}

}  // namespace tamrel
