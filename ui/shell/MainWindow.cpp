#include "ui/shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QWindow>

#include <algorithm>
#include <iterator>

#include "platform/XdgDirs.h"
#include "ui/shell/RootView.h"
#include "ui/theme/ReadingOrder.h"

namespace tamrel {

WindowSizes windowSizes(QSize available) {
    const QSize minimum = QSize(1120, 680).boundedTo(available);
    const QSize initial = QSize(1320, 840).boundedTo(available).expandedTo(minimum);
    return {initial, minimum};
}

namespace {

// The screen `w` lies on: a page of a stack of screens (the results' tabs), or a part of the
// window's content (the phase's screen, the sidebar).
QWidget* screenAround(QWidget* w) {
    for (; w; w = w->parentWidget()) {
        QWidget* holder = w->parentWidget();
        if (qobject_cast<QStackedWidget*>(holder) || qobject_cast<RootView*>(holder)) return w;
    }
    return nullptr;
}

}  // namespace

QRect initialGeometry(const QRect& available, const QMargins& frame) {
    const QSize size = windowSizes(available.marginsRemoved(frame).size()).initial;
    const QSize outer = size.grownBy(frame);
    // Centred by halving the room left over: QRect::center() rounds an even side's middle down,
    // which put a window as tall as the area one pixel above it.
    const QPoint corner(available.left() + std::max((available.width() - outer.width()) / 2, 0),
                        available.top() + std::max((available.height() - outer.height()) / 2, 0));
    return QRect(corner + QPoint(frame.left(), frame.top()), size);
}

MenuRules menuRules(Phase phase, bool hasScanTarget) {
    const bool idle = phase != Phase::scanning;
    return {idle, idle && hasScanTarget, false};
}

MainWindow::MainWindow(AppModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
    setWindowTitle(QStringLiteral("Tamrel"));
    setWindowFlag(Qt::FramelessWindowHint);
    root_ = new RootView(model, this);
    setCentralWidget(root_);

    appMenu_ = menuBar()->addMenu(QStringLiteral("&Tamrel"));
    QAction* about = appMenu_->addAction(QStringLiteral("About Tamrel"));
    connect(about, &QAction::triggered, this, [this] {
        // Plain text: a folder's name could otherwise be read as markup.
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("About Tamrel"),
                        aboutText(build_, QString::fromStdString(appDataDirectory())),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.setIconPixmap(QApplication::windowIcon().pixmap(64));
        box.exec();
    });
    checkForUpdates_ = appMenu_->addAction(QStringLiteral("Check for Updates…"));
    checkForUpdates_->setEnabled(false);
    // Updates come with the system's packages or a new build: on Linux the command could never
    // work, so it is not shown at all.
    checkForUpdates_->setVisible(AppModel::ruleSet() != RuleSet::linuxDesktop);
    appMenu_->addSeparator();
    QAction* quit = appMenu_->addAction(QStringLiteral("Quit Tamrel"));
    // Ctrl+Q whatever the platform theme binds to "quit" (some bind nothing).
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QApplication::quit);

    fileMenu_ = menuBar()->addMenu(QStringLiteral("&File"));
    scanFolder_ = fileMenu_->addAction(QStringLiteral("Scan Folder…"));
    scanFolder_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(scanFolder_, &QAction::triggered, this, [this] { model_.chooseFolder(); });
    rescan_ = fileMenu_->addAction(QStringLiteral("Rescan"));
    rescan_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(rescan_, &QAction::triggered, this, [this] { model_.rescan(); });
    // The shortcuts belong to the window itself, so they work with no menu bar on screen.
    addActions({quit, scanFolder_, rescan_});
    // A global menu bar takes the menus; otherwise none stands where the title bar was.
    if (!menuBar()->isNativeMenuBar()) menuBar()->hide();

    keys_ = new WindowKeys(this);
    keys_->raise();
    resizer_ = new EdgeResizer(this);

    // A focused control deleted by a refresh leaves no control with the focus (Qt moves it on
    // only for one that is hidden or turned off, see focusNextPrevChild): once the refresh is
    // over, and unless it gave the focus to the control that took its place, the control nearest
    // to where it stood takes it.
    focusFollow_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            if (now && now != this && isAncestorOf(now)) {
                place_ = placeOf(now);
                unpark();
            }
            if (now || !old || old == this || !isAncestorOf(old)) return;
            const QRect place = placeOf(old);
            place_ = place;
            QMetaObject::invokeMethod(
                this,
                [this, place] {
                    QWidget* focused = QApplication::focusWidget();
                    if (isActiveWindow() && (!focused || focused == this)) keepFocusNear(place);
                },
                Qt::QueuedConnection);
        });
    connect(&model_.phase, &PropertyNotifier::changed, this, &MainWindow::updateCommands);
    connect(&model_.scanTarget, &PropertyNotifier::changed, this, &MainWindow::updateCommands);
    updateCommands();
    fitScreen(true);
}

MainWindow::~MainWindow() {
    disconnect(focusFollow_);
    unpark();
}

void MainWindow::fitScreen(bool initial) {
    const QScreen* on = screen();
    if (on == nullptr) on = QGuiApplication::primaryScreen();
    if (on == nullptr) return;
    const QRect area = on->availableGeometry();
    const WindowSizes sizes = windowSizes(area.size());
    setMinimumSize(sizes.minimum);
    if (initial) {
        // The frame the window manager added, when the window is already on the screen.
        const QRect outer = frameGeometry(), inner = geometry();
        const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(),
                             outer.right() - inner.right(), outer.bottom() - inner.bottom());
        const QRect placed = initialGeometry(area, frame);
        resize(placed.size());
        move(placed.topLeft() - QPoint(frame.left(), frame.top()));  // the frame's position
    } else if (!isMaximized() && !isFullScreen() &&
               (width() > area.width() || height() > area.height())) {
        resize(size().boundedTo(area.size()));
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The window itself holds the focus until Tab or a click gives it to a control, so that no
    // control shows the focus ring before the keyboard is used (the window's activation would
    // hand it to the first control made otherwise).
    if (focusWidget() == nullptr) setFocus(Qt::OtherFocusReason);
    // The native window exists from here: follow the screen it is on, and that screen's area.
    QWindow* handle = windowHandle();
    if (handle == nullptr || handle == followed_) return;
    followed_ = handle;
    const auto followScreen = [this](QScreen* screen) {
        disconnect(areaFollow_);
        if (screen == nullptr) return;
        areaFollow_ =
            connect(screen, &QScreen::availableGeometryChanged, this, [this] { fitScreen(false); });
        fitScreen(false);
    };
    connect(handle, &QWindow::screenChanged, this, followScreen);
    followScreen(handle->screen());
    // A window manager that placed the frame above or left of the screen's free area (under a
    // panel, or with a border of its own) moves it in, where the window keys can be reached.
    if (handle->screen() != nullptr) {
        const QRect area = handle->screen()->availableGeometry();
        const QRect outer = frameGeometry();
        if (outer.top() < area.top() || outer.left() < area.left())
            move(std::max(outer.left(), area.left()), std::max(outer.top(), area.top()));
    }
}

std::vector<QWidget*> MainWindow::focusOrder() const {
    // The window keys sit over the sidebar's top-left corner: they are read first.
    std::vector<QWidget*> order = readingOrder(keys_);
    const std::vector<QWidget*> rest = readingOrder(root_);
    order.insert(order.end(), rest.begin(), rest.end());
    return order;
}

bool MainWindow::focusNextPrevChild(bool next) {
    const std::vector<QWidget*> order = focusOrder();
    // The window's own focused control, also while a dialog of it is the active window.
    QWidget* focused = focusWidget();
    if (parked_ && focused == this) {
        // Held on a screen that has no control: Tab goes to the nearest one around it.
        const QRect place = parked_->place;
        unpark();
        keepFocusNear(place, root_, false);
        return true;
    }
    if (!focused || focused == this) {
        // From no control: round the sidebar and the screen, never starting at a window key.
        return moveFocusAlong(readingOrder(root_), next, focused);
    }
    bool listed = false;
    for (QWidget* w = focused; w && w != this && !listed; w = w->parentWidget())
        listed = std::find(order.begin(), order.end(), w) != order.end();
    if (!listed) {
        // Not a Tab: Qt asks where the focus goes as the focused control is hidden or turned off.
        keepFocusNear(placeOf(focused), focused->parentWidget());
        return true;
    }
    return moveFocusAlong(order, next, focused);
}

bool MainWindow::event(QEvent* event) {
    // Coming back to a window whose focused control went meanwhile, Qt would hand the focus to
    // the first control it made: the control nearest to where the last one stood takes it.
    if (event->type() == QEvent::WindowActivate && place_ && !focusWidget()) keepFocusNear(*place_);
    return QMainWindow::event(event);
}

QRect MainWindow::placeOf(const QWidget* control) const {
    return QRect(control->mapTo(this, QPoint(0, 0)), control->size());
}

void MainWindow::keepFocusNear(QRect place, QWidget* from, bool keepOnScreen) {
    const std::vector<QWidget*> controls = readingOrder(root_);  // never the window keys
    if (!from) from = root_->childAt(root_->mapFrom(this, place.center()));
    if (!from) from = root_;
    QWidget* const screen = keepOnScreen ? screenAround(from) : nullptr;
    // Among the controls of the innermost part around the place that still has any: the card or
    // screen it stood on, and where the screen has none left, no other.
    for (QWidget* around = from; around && around != this; around = around->parentWidget()) {
        std::vector<QWidget*> inside;
        std::copy_if(controls.begin(), controls.end(), std::back_inserter(inside),
                     [around](QWidget* w) { return around->isAncestorOf(w); });
        const auto at = [this](QWidget* w) { return placeOf(w); };
        if (QWidget* to = nearestControl(inside, place, at)) {
            to->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (around == screen && screen->isVisible()) {
            park(screen, place);
            return;
        }
    }
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::park(QWidget* screen, QRect place) {
    // The window holds the focus meanwhile: no control shows a ring, and keys reach none.
    if (!parked_) qApp->installEventFilter(this);
    parked_ = Parked{screen, place};
    setFocus(Qt::OtherFocusReason);
}

void MainWindow::unpark() {
    if (!parked_) return;
    parked_.reset();
    qApp->removeEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // While held on a screen: a control that shows or turns on there takes the focus, once the
    // step that showed it is over and it stands where it goes.
    // A rebuild shows many widgets at once: one look after it is enough.
    if (parked_ && !parked_->looking &&
        (event->type() == QEvent::Show || event->type() == QEvent::EnabledChange)) {
        auto* w = qobject_cast<QWidget*>(watched);
        if (w && parked_->screen && parked_->screen->isAncestorOf(w)) {
            parked_->looking = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (!parked_) return;
                    parked_->looking = false;
                    if (focusWidget() != this) return;
                    const Parked held = *parked_;
                    if (!held.screen || !held.screen->isVisible()) {
                        unpark();
                        return;
                    }
                    keepFocusNear(held.place, held.screen);
                },
                Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    keys_->raise();
}

// Presses that no control takes arrive here: they are on the background.
void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QMainWindow::mousePressEvent(event);
        return;
    }
    pressedAt_ = event->globalPosition().toPoint();
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) {
        QMainWindow::mouseMoveEvent(event);
        return;
    }
    if (!dragStarted(*pressedAt_, event->globalPosition().toPoint(),
                     QApplication::startDragDistance()))
        return;
    // The desktop moves the window from here and keeps the pointer until the button is up.
    pressedAt_.reset();
    if (QWindow* handle = windowHandle()) handle->startSystemMove();
    emit backgroundDragged();
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    pressedAt_.reset();
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    for (QMenu* sub : menus())
        menu.addMenu(sub);
    menu.exec(event->globalPos());
}

void MainWindow::updateCommands() {
    const MenuRules rules = menuRules(model_.phase(), model_.scanTarget().has_value());
    scanFolder_->setEnabled(rules.scanFolder);
    rescan_->setEnabled(rules.rescan);
    checkForUpdates_->setEnabled(rules.checkForUpdates);
}

}  // namespace tamrel
