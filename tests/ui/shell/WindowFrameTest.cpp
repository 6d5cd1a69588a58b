#include "ui/shell/WindowFrame.h"

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "ui/home/Sidebar.h"
#include "ui/home/WelcomeView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/theme/Keys.h"

namespace tamrel {
namespace {

TEST(ResizeEdges, SixPointsAlongEveryEdgeAndBothAtTheCorners) {
    const QSize size(1320, 840);
    EXPECT_EQ(resizeEdges(size, QPoint(600, 400)), Qt::Edges());
    EXPECT_EQ(resizeEdges(size, QPoint(0, 400)), Qt::LeftEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(5, 400)), Qt::LeftEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(6, 400)), Qt::Edges());
    EXPECT_EQ(resizeEdges(size, QPoint(1314, 400)), Qt::RightEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(1313, 400)), Qt::Edges());
    EXPECT_EQ(resizeEdges(size, QPoint(600, 839)), Qt::BottomEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(600, 2)), Qt::TopEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(1, 1)), Qt::TopEdge | Qt::LeftEdge);
    EXPECT_EQ(resizeEdges(size, QPoint(1319, 839)), Qt::BottomEdge | Qt::RightEdge);
    // Outside the window is no edge of it.
    EXPECT_EQ(resizeEdges(size, QPoint(-1, 400)), Qt::Edges());
    EXPECT_EQ(resizeEdges(size, QPoint(600, 840)), Qt::Edges());
}

TEST(ResizeEdges, ArrowsMatchTheEdges) {
    EXPECT_EQ(resizeCursor(Qt::LeftEdge), Qt::SizeHorCursor);
    EXPECT_EQ(resizeCursor(Qt::RightEdge), Qt::SizeHorCursor);
    EXPECT_EQ(resizeCursor(Qt::TopEdge), Qt::SizeVerCursor);
    EXPECT_EQ(resizeCursor(Qt::TopEdge | Qt::LeftEdge), Qt::SizeFDiagCursor);
    EXPECT_EQ(resizeCursor(Qt::BottomEdge | Qt::RightEdge), Qt::SizeFDiagCursor);
    EXPECT_EQ(resizeCursor(Qt::TopEdge | Qt::RightEdge), Qt::SizeBDiagCursor);
    EXPECT_EQ(resizeCursor(Qt::BottomEdge | Qt::LeftEdge), Qt::SizeBDiagCursor);
    EXPECT_EQ(resizeCursor({}), Qt::ArrowCursor);
}

TEST(DragStarted, OnceThePointerHasGoneTheDragDistance) {
    EXPECT_FALSE(dragStarted(QPoint(10, 10), QPoint(10, 10), 10));
    EXPECT_FALSE(dragStarted(QPoint(10, 10), QPoint(14, 15), 10));
    EXPECT_TRUE(dragStarted(QPoint(10, 10), QPoint(15, 15), 10));
    EXPECT_TRUE(dragStarted(QPoint(10, 10), QPoint(0, 10), 10));
}

class WindowFrameTest : public test::UiTest {};

TEST_F(WindowFrameTest, TheWindowHasNoTitleBarNorMenuBarButKeepsItsCommands) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    // No global menu here (offscreen): no menu bar stands where the title bar was.
    EXPECT_FALSE(window.menuBar()->isVisible());
    EXPECT_EQ(window.rootView()->geometry().top(), 0);
    ASSERT_EQ(window.menus().size(), 2);
    EXPECT_TRUE(window.menus()[1]->actions().contains(window.scanFolderAction()));
    EXPECT_TRUE(window.actions().contains(window.rescanAction()));
    // The keys sit in the corner the sidebar leaves free above its mark.
    WindowKeys* keys = window.windowKeys();
    EXPECT_TRUE(keys->isVisible());
    // The first key's face at 18, 18; the room for its focus ring around it.
    EXPECT_EQ(keys->pos() + QPoint(WindowKey::kPad, WindowKey::kPad), QPoint(18, 18));
    // The faces stay 8 points apart.
    EXPECT_EQ(keys->minimiseKey()->x() - keys->closeKey()->x(), WindowKey::kSide + 8);
    EXPECT_LT(keys->geometry().bottom(), 50);
    EXPECT_EQ(keys->closeKey()->toolTip(), "Close");
}

TEST_F(WindowFrameTest, TheShortcutsWorkWithNoMenuBarOnScreen) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(test::exposed(window, true));
    QAction* quit = nullptr;
    for (QAction* a : window.actions()) {
        if (a->text() == "Quit Tamrel") quit = a;
    }
    ASSERT_NE(quit, nullptr);
    QSignalSpy quitting(quit, &QAction::triggered);
    QSignalSpy rescanning(window.rescanAction(), &QAction::triggered);
    QObject::disconnect(quit, &QAction::triggered, qApp, nullptr);  // keep the test running
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quitting.count(), 1);
    window.rescanAction()->setEnabled(true);
    QTest::keyClick(&window, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(rescanning.count(), 1);
}

TEST_F(WindowFrameTest, TheKeysMinimiseZoomAndClose) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    QTest::mouseClick(window.windowKeys()->zoomKey(), Qt::LeftButton);
    EXPECT_TRUE(window.isMaximized());
    QTest::mouseClick(window.windowKeys()->zoomKey(), Qt::LeftButton);
    EXPECT_FALSE(window.isMaximized());
    QTest::mouseClick(window.windowKeys()->minimiseKey(), Qt::LeftButton);
    EXPECT_TRUE(window.isMinimized());
    window.showNormal();
    QTest::mouseClick(window.windowKeys()->closeKey(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WindowFrameTest, ADragOnTheBackgroundMovesTheWindowAndOneOnAKeyDoesNot) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    ASSERT_TRUE(test::exposed(window));
    QSignalSpy dragged(&window, &MainWindow::backgroundDragged);
    auto* welcome = qobject_cast<WelcomeView*>(window.rootView()->screen());
    ASSERT_NE(welcome, nullptr);
    const int far = QApplication::startDragDistance() + 2;

    // The empty putty above the card.
    const QPoint empty(welcome->width() / 2, 30);
    QTest::mousePress(welcome, Qt::LeftButton, {}, empty);
    QTest::mouseMove(welcome, empty + QPoint(1, 0));
    EXPECT_EQ(dragged.count(), 0);  // not yet the drag distance
    QTest::mouseMove(welcome, empty + QPoint(far, 0));
    EXPECT_EQ(dragged.count(), 1);
    QTest::mouseRelease(welcome, Qt::LeftButton, {}, empty + QPoint(far, 0));

    // The sidebar's ground moves it too.
    QWidget* sidebar = window.rootView()->sidebar();
    const QPoint ground(sidebar->width() / 2, sidebar->height() - 140);
    QTest::mousePress(sidebar, Qt::LeftButton, {}, ground);
    QTest::mouseMove(sidebar, ground + QPoint(0, far));
    EXPECT_EQ(dragged.count(), 2);
    QTest::mouseRelease(sidebar, Qt::LeftButton, {}, ground + QPoint(0, far));

    // A key takes its own press: dragging off it is no move of the window.
    KeyButton* key = welcome->homeKey();
    const QPoint centre = key->rect().center();
    QTest::mousePress(key, Qt::LeftButton, {}, centre);
    QTest::mouseMove(key, centre + QPoint(far, far));
    QTest::mouseRelease(key, Qt::LeftButton, {}, centre + QPoint(far, far));
    EXPECT_EQ(dragged.count(), 2);
}

TEST_F(WindowFrameTest, APressAtAnEdgeResizesInsteadOfReachingTheScreen) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    ASSERT_TRUE(test::exposed(window));
    QSignalSpy asked(window.edgeResizer(), &EdgeResizer::resizeAsked);
    QSignalSpy dragged(&window, &MainWindow::backgroundDragged);
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(window.width() - 2, 400));
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).value<Qt::Edges>(), Qt::RightEdge);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {},
                        QPoint(window.width() - 2, 400));
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {},
                      QPoint(window.width() - 1, window.height() - 1));
    ASSERT_EQ(asked.count(), 2);
    EXPECT_EQ(asked.at(1).at(0).value<Qt::Edges>(), Qt::RightEdge | Qt::BottomEdge);
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {},
                        QPoint(window.width() - 1, window.height() - 1));
    // Inside, a press is the screen's.
    QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, QPoint(700, 30));
    QTest::mouseRelease(window.windowHandle(), Qt::LeftButton, {}, QPoint(700, 30));
    EXPECT_EQ(asked.count(), 2);
    // A maximised window has no edges to pull.
    window.showMaximized();
    EXPECT_EQ(window.edgeResizer()->edgesAt(QPoint(1, 400)), Qt::Edges());
    EXPECT_EQ(dragged.count(), 0);
}

}  // namespace
}  // namespace tamrel
