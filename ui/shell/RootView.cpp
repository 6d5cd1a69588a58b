#include "ui/shell/RootView.h"

#include <QApplication>
#include <QLayout>
#include <QPainter>
#include <algorithm>

#include "ui/home/ScanningView.h"
#include "ui/home/Sidebar.h"
#include "ui/home/WelcomeView.h"
#include "ui/theme/Colors.h"
#include "ui/theme/ReadingOrder.h"

namespace tamrel {

ScreenLook screenLook(Phase phase, double shown) {
    const double opacity = std::clamp(shown, 0.0, 1.0);
    switch (phase) {
        case Phase::home:
            return {opacity, 1.0, 0.0};
        case Phase::scanning:
            return {opacity, 0.97 + 0.03 * shown, 0.0};
        case Phase::results:
            return {opacity, 1.0, 12.0 * (1.0 - shown)};
    }
    return {opacity, 1.0, 0.0};
}

// Draws both snapshots over the putty ground while a phase change plays.
class RootView::Overlay : public QWidget {
public:
    explicit Overlay(RootView* root) : QWidget(root), root_(root) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        hide();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Color::putty);
        const double t = root_->progress_.value();
        draw(p, root_->outgoing_, screenLook(root_->outgoingPhase_, 1.0 - t));
        draw(p, root_->incoming_, screenLook(root_->shown_, t));
    }

private:
    void draw(QPainter& p, const QPixmap& pixmap, const ScreenLook& look) {
        if (pixmap.isNull() || look.opacity <= 0) return;
        p.save();
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.setOpacity(look.opacity);
        const QPointF c(width() / 2.0, height() / 2.0);
        p.translate(c.x(), c.y() + look.dy);
        p.scale(look.scale, look.scale);
        p.translate(-c.x(), -c.y());
        p.drawPixmap(QRectF(rect()), pixmap, QRectF(pixmap.rect()));
        p.restore();
    }

    RootView* root_;
};

RootView::RootView(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), shown_(model.phase()), progress_(1, this) {
    sidebar_ = new Sidebar(model, this);
    screen_ = makeScreen(shown_);
    overlay_ = new Overlay(this);
    connect(&model_.phase, &PropertyNotifier::changed, this, [this] { showPhase(model_.phase()); });
    connect(&progress_, &SpringAnimator::valueChanged, overlay_, [this] {
        // The incoming screen is live under the overlay: each frame shows it as it is now, so
        // its own entrance plays along with the change.
        if (screen_ != nullptr && overlay_->isVisible()) incoming_ = screen_->grab();
        overlay_->update();
    });
    connect(&progress_, &SpringAnimator::settled, this, &RootView::finishTransition);
}

QWidget* RootView::makeScreen(Phase phase) {
    QWidget* screen = nullptr;
    switch (phase) {
        case Phase::home:
            screen = new WelcomeView(model_, this);
            break;
        case Phase::scanning:
            screen = new ScanningView(model_, this);
            break;
        case Phase::results:
            screen = createResultsScreen(model_, this);
            break;
    }
    screen->setGeometry(screenRect());
    return screen;
}

QRect RootView::screenRect() const {
    const int left = sidebar_->width();
    return QRect(left, 0, std::max(0, width() - left), height());
}

void RootView::showPhase(Phase phase) {
    if (phase == shown_ && screen_ != nullptr) return;
    const std::optional<Spring> spring = model_.animation();
    const bool animate =
        spring.has_value() && spring->response > 0 && !SpringAnimator::instant() && isVisible();
    if (animate) outgoing_ = screen_->grab();
    outgoingPhase_ = shown_;
    QWidget* outgoing = screen_;
    QWidget* focused = QApplication::focusWidget();
    const bool focusLeaves = focused && outgoing->isAncestorOf(focused);
    shown_ = phase;
    screen_ = makeScreen(phase);
    // The live screen comes on at once (under the overlay while the change plays), so that its
    // own entrance (a card springing in, a meter filling, the scan's clock) starts with the
    // change, not after it.
    screen_->show();
    if (screen_->layout() != nullptr) screen_->layout()->activate();
    // The focus was on the screen that goes: it starts on the new one, never left to fall on
    // whatever control comes first in the window.
    if (focusLeaves) focusEntry(screen_);
    // The change may come from inside the outgoing screen (a key's click, a drop): it goes once
    // control has left it.
    outgoing->hide();
    outgoing->deleteLater();
    if (!animate) {
        outgoing_ = QPixmap();
        overlay_->hide();
        return;
    }
    incoming_ = screen_->grab();
    overlay_->setGeometry(screenRect());
    overlay_->raise();
    overlay_->show();
    progress_.setValue(0);
    progress_.animateTo(1, *spring);
}

void RootView::finishTransition() {
    overlay_->hide();
    outgoing_ = QPixmap();
    incoming_ = QPixmap();
}

void RootView::resizeEvent(QResizeEvent*) {
    sidebar_->setGeometry(0, 0, sidebar_->width(), height());
    if (screen_ != nullptr) screen_->setGeometry(screenRect());
    overlay_->setGeometry(screenRect());
}

void RootView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(screenRect(), Color::putty);
}

}  // namespace tamrel
