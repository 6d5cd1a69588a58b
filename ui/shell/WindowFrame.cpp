#include "ui/shell/WindowFrame.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Symbols.h"

namespace tamrel {

Qt::Edges resizeEdges(QSize size, QPoint pos, int border) {
    Qt::Edges edges;
    if (pos.x() < 0 || pos.y() < 0 || pos.x() >= size.width() || pos.y() >= size.height())
        return edges;
    if (pos.x() < border) edges |= Qt::LeftEdge;
    if (pos.x() >= size.width() - border) edges |= Qt::RightEdge;
    if (pos.y() < border) edges |= Qt::TopEdge;
    if (pos.y() >= size.height() - border) edges |= Qt::BottomEdge;
    return edges;
}

Qt::CursorShape resizeCursor(Qt::Edges edges) {
    const bool left = edges & Qt::LeftEdge;
    const bool right = edges & Qt::RightEdge;
    const bool top = edges & Qt::TopEdge;
    const bool bottom = edges & Qt::BottomEdge;
    if ((left && top) || (right && bottom)) return Qt::SizeFDiagCursor;
    if ((right && top) || (left && bottom)) return Qt::SizeBDiagCursor;
    if (left || right) return Qt::SizeHorCursor;
    if (top || bottom) return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

bool dragStarted(QPoint pressed, QPoint now, int distance) {
    return (now - pressed).manhattanLength() >= distance;
}

// ---- EdgeResizer

EdgeResizer::EdgeResizer(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
    watchNativeWindow();
}

EdgeResizer::~EdgeResizer() {
    setArrows({});
}

void EdgeResizer::watchNativeWindow() {
    QWindow* handle = window_->windowHandle();
    if (handle == nullptr || handle == watched_) return;
    if (watched_ != nullptr) watched_->removeEventFilter(this);
    watched_ = handle;
    watched_->installEventFilter(this);
}

Qt::Edges EdgeResizer::edgesAt(QPoint pos) const {
    if (window_->isMaximized() || window_->isFullScreen()) return {};
    return resizeEdges(window_->size(), pos);
}

void EdgeResizer::setArrows(Qt::Edges edges) {
    if (edges == shown_) return;
    if (shown_ == Qt::Edges()) {
        QGuiApplication::setOverrideCursor(resizeCursor(edges));
    } else if (edges == Qt::Edges()) {
        QGuiApplication::restoreOverrideCursor();
    } else {
        QGuiApplication::changeOverrideCursor(resizeCursor(edges));
    }
    shown_ = edges;
}

bool EdgeResizer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::WinIdChange || event->type() == QEvent::Show)
            watchNativeWindow();
        return false;
    }
    if (watched != watched_) return false;
    switch (event->type()) {
        case QEvent::MouseMove: {
            auto* e = static_cast<QMouseEvent*>(event);
            // A drag that started inside keeps its own pointer.
            if (e->buttons() == Qt::NoButton) setArrows(edgesAt(e->position().toPoint()));
            break;
        }
        case QEvent::MouseButtonPress: {
            auto* e = static_cast<QMouseEvent*>(event);
            if (e->button() != Qt::LeftButton) break;
            const Qt::Edges edges = edgesAt(e->position().toPoint());
            if (edges == Qt::Edges()) break;
            watched_->startSystemResize(edges);
            emit resizeAsked(edges);
            setArrows({});
            return true;  // the press belongs to the frame, not to what lies under it
        }
        case QEvent::Leave:
            setArrows({});
            break;
        default:
            break;
    }
    return false;
}

// ---- WindowKey

WindowKey::WindowKey(const QString& symbol, const QString& help, QWidget* parent)
    : KeyControl(parent), symbol_(symbol) {
    setToolTip(help);
    setAccessibleName(help);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void WindowKey::enterEvent(QEnterEvent*) {
    hover_ = true;
    update();
}

void WindowKey::leaveEvent(QEvent*) {
    hover_ = false;
    update();
}

void WindowKey::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (hasFocus()) {
        QPainterPath around;
        around.addEllipse(QRectF(0, isDown() ? 1 : 0, kSide + 2 * kPad, kSide + 2 * kPad));
        paintFocusRing(p, around);
    }
    p.translate(kPad, kPad);
    const double depth = 1;
    QPainterPath circle;
    circle.addEllipse(QRectF(0, 0, kSide, kSide));
    paintKeycap(p, circle, Color::keyFace, Color::keyEdge, depth, isDown() ? depth : 0);
    // The symbol darkens while the pointer is over the key.
    p.setFont(Fonts::symbol(kSymbolPoints));
    p.setPen(hover_ || isDown() ? Color::ink : Color::ink2);
    p.drawText(QRectF(0, isDown() ? depth : 0, kSide, kSide), Qt::AlignCenter,
               Symbols::glyph(symbol_));
}

// ---- WindowKeys

WindowKeys::WindowKeys(QWidget* window) : QWidget(window) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(WindowKey::kGap - 2 * WindowKey::kPad);
    close_ = new WindowKey(QStringLiteral("xmark"), QStringLiteral("Close"), this);
    minimise_ = new WindowKey(QStringLiteral("minus"), QStringLiteral("Minimise"), this);
    zoom_ = new WindowKey(QStringLiteral("plus"), QStringLiteral("Zoom"), this);
    row->addWidget(close_);
    row->addWidget(minimise_);
    row->addWidget(zoom_);
    connect(close_, &QAbstractButton::clicked, window, &QWidget::close);
    connect(minimise_, &QAbstractButton::clicked, window, &QWidget::showMinimized);
    connect(zoom_, &QAbstractButton::clicked, window, [window] {
        if (window->isMaximized()) {
            window->showNormal();
        } else {
            window->showMaximized();
        }
    });
    setFixedSize(sizeHint());
    move(kOrigin - QPoint(WindowKey::kPad, WindowKey::kPad));
}

}  // namespace tamrel
