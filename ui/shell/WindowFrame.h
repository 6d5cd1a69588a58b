#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QPoint>
#include <QSize>
#include <QWidget>
#include "ui/theme/Keys.h"

class QWindow;

namespace tamrel {

// The window has no title bar of the desktop's: the sidebar and the putty ground run up to its
// top edge. It is a frameless top-level window (Qt::FramelessWindowHint) that asks the desktop
// itself to move and resize it, through QWindow::startSystemMove and startSystemResize. Both
// are carried out by the window manager (X11: _NET_WM_MOVERESIZE) or the compositor (Wayland:
// xdg_toplevel move and resize), so the window snaps, tiles and crosses screens as a decorated
// one does on either; a client that moved its own geometry could not work under Wayland at all,
// and keeping the desktop's decorations would keep the title bar. What the frame gave is put
// back here:
// - moving: a drag that starts on any part of the background (a press that no control takes)
//   moves the window, once the pointer has gone the platform's drag distance;
// - resizing: a press within kResizeBorder points of an edge or corner resizes from there
//   (the pointer shows the matching arrows); not while maximised or full screen;
// - close, minimise and zoom: three small keys in the top-left corner, above the sidebar's
//   mark (the room the sidebar leaves at its top).
// The desktop's own window commands (keyboard, task bar, overview) keep working as for any
// window.

// How close to an edge a press resizes.
inline constexpr int kResizeBorder = 6;

// The edges a point of a window of `size` lies on: those within `border` points of it.
Qt::Edges resizeEdges(QSize size, QPoint pos, int border = kResizeBorder);
// The pointer shape over those edges (Qt::ArrowCursor over none).
Qt::CursorShape resizeCursor(Qt::Edges edges);
// Whether a press at `pressed` has become a drag at `now`: moved at least `distance` points
// (Manhattan length, as the platform's drag distance is measured).
bool dragStarted(QPoint pressed, QPoint now, int distance);

// Resizes a frameless window from its edges: watches the window's mouse events before any
// widget sees them (a filter on its QWindow, installed once the native window exists), shows
// the resize arrows over an edge and hands a press on one to the desktop. A child object of
// the window it watches. Main thread only.
class EdgeResizer : public QObject {
    Q_OBJECT
public:
    explicit EdgeResizer(QWidget* window);
    ~EdgeResizer() override;

    // Whether a press there would resize (never while maximised or full screen).
    Qt::Edges edgesAt(QPoint pos) const;

signals:
    // A resize was asked of the desktop from `edges` (whether or not it could start one).
    void resizeAsked(Qt::Edges edges);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchNativeWindow();
    void setArrows(Qt::Edges edges);

    QWidget* window_;
    QWindow* watched_ = nullptr;
    Qt::Edges shown_;
};

// One of the three window keys: a 12-point round key with its symbol (9 points), and kPad
// points of room around it for the focus ring (drawn around the key: inside it would cover the
// symbol). The keys stand kGap apart.
class WindowKey : public KeyControl {
    Q_OBJECT
public:
    WindowKey(const QString& symbol, const QString& help, QWidget* parent);
    QSize sizeHint() const override { return QSize(kSide + 2 * kPad, kSide + 1 + 2 * kPad); }

    static constexpr int kSide = 12;
    static constexpr int kPad = 3;
    static constexpr double kSymbolPoints = 9;
    static constexpr int kGap = 8;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    QString symbol_;
    bool hover_ = false;
};

// Close, minimise and zoom (maximise or restore), left to right, 8 points apart.
class WindowKeys : public QWidget {
    Q_OBJECT
public:
    explicit WindowKeys(QWidget* window);

    QAbstractButton* closeKey() const { return close_; }
    QAbstractButton* minimiseKey() const { return minimise_; }
    QAbstractButton* zoomKey() const { return zoom_; }

    // Where the first key's face sits in the window.
    static constexpr QPoint kOrigin{18, 18};

private:
    WindowKey* close_;
    WindowKey* minimise_;
    WindowKey* zoom_;
};

}  // namespace tamrel
