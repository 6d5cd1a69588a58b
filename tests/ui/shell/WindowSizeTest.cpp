#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/home/ScanningView.h"
#include "ui/results/ResultsView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/theme/KeyboardFocus.h"
#include "ui/theme/Keys.h"
#include "ui/tools/CleanView.h"

// Failed checks name the geometry.
inline std::ostream& operator<<(std::ostream& os, const QRect& r) {
    return os << r.x() << "," << r.y() << " " << r.width() << "x" << r.height();
}
inline std::ostream& operator<<(std::ostream& os, const QSize& s) {
    return os << s.width() << "x" << s.height();
}
inline std::ostream& operator<<(std::ostream& os, const QString& s) {
    return os << s.toStdString();
}

namespace tamrel {
namespace {

TEST(WindowSizes, TheDefaultAndTheMinimumFitTheScreensFreeAreaAndTheWindowOpensInIt) {
    struct Case {
        QRect available;
        QSize initial, minimum;
        QPoint at;  // where the window opens
    };
    const Case cases[] = {
        {{0, 0, 1920, 1080}, {1320, 840}, {1120, 680}, {300, 120}},
        {{0, 0, 1366, 768}, {1320, 768}, {1120, 680}, {23, 0}},
        {{0, 28, 1366, 740}, {1320, 740}, {1120, 680}, {23, 28}},     // less a panel at the top
        {{48, 0, 1318, 768}, {1318, 768}, {1120, 680}, {48, 0}},      // and one at the left
        {{1920, 0, 1366, 768}, {1320, 768}, {1120, 680}, {1943, 0}},  // a second screen
        {{0, 0, 1280, 660}, {1280, 660}, {1120, 660}, {0, 0}},
        {{0, 0, 960, 540}, {960, 540}, {960, 540}, {0, 0}},
        // 1920 × 1080 at 150 % and 200 %: the logical area is what counts.
        {{0, 0, 1280, 720}, {1280, 720}, {1120, 680}, {0, 0}},
        {{0, 0, 960, 540}, {960, 540}, {960, 540}, {0, 0}},
    };
    for (const Case& c : cases) {
        const WindowSizes sizes = windowSizes(c.available.size());
        EXPECT_EQ(sizes.initial, c.initial) << c.available;
        EXPECT_EQ(sizes.minimum, c.minimum) << c.available;
        EXPECT_EQ(initialGeometry(c.available), QRect(c.at, c.initial)) << c.available;
    }
    // A border the window manager adds fits in the area too.
    EXPECT_EQ(initialGeometry({0, 0, 1366, 768}, {1, 20, 1, 1}), QRect(23, 20, 1320, 747));
}

// The window on the screen the test runs on (TAMREL_TEST_SCREEN; ctest runs these cases on
// 1920 × 1200, 1366 × 768 and 960 × 540): it opens inside the screen's free area, and at the
// smallest size it allows there every control of every screen lies inside it, whole and apart
// from the others (those of a scrolling page once scrolled to).
class WindowOnTheScreen : public test::UiTest {
protected:
    // Every control Tab reaches, and every shown key, as laid out now.
    void expectInside(MainWindow& window, const char* screen) {
        SCOPED_TRACE(screen);
        QApplication::processEvents();
        std::vector<QWidget*> controls = window.focusOrder();
        for (QAbstractButton* key : window.findChildren<QAbstractButton*>()) {
            if (key->isVisibleTo(&window) && !key->isWindow() &&
                std::find(controls.begin(), controls.end(), key) == controls.end())
                controls.push_back(key);
        }
        ASSERT_FALSE(controls.empty());
        const auto nameOf = [](QWidget* w) {
            auto* key = qobject_cast<QAbstractButton*>(w);
            return QString::fromLatin1(w->metaObject()->className()) + " " +
                   (key ? key->text() : QString());
        };
        // Keys side by side never overlap (a tray over the page is another matter).
        for (QWidget* a : controls) {
            for (QWidget* b : controls) {
                if (a >= b || a->parentWidget() != b->parentWidget() ||
                    !qobject_cast<KeyButton*>(a) || !qobject_cast<KeyButton*>(b))
                    continue;
                EXPECT_FALSE(a->geometry().intersects(b->geometry()))
                    << nameOf(a) << " and " << nameOf(b) << " at " << a->geometry() << " and "
                    << b->geometry();
            }
        }
        for (QWidget* w : controls) {
            // A page that scrolls shows the control once scrolled to; a scrolled list itself
            // needs only to show in its area.
            QScrollArea* pageOf = nullptr;
            for (QWidget* up = w->parentWidget(); up; up = up->parentWidget()) {
                if (auto* area = qobject_cast<QScrollArea*>(up); area && area->widget()) {
                    if (area->widget() == w) pageOf = area;
                    area->ensureWidgetVisible(w, 0, 0);
                }
            }
            // A control drawn with room around it (a shadow) is where its focus part is.
            const auto* part = dynamic_cast<const FocusPart*>(w);
            const QRect own = part ? part->focusPart() : w->rect();
            QRect r(w->mapTo(&window, own.topLeft()), own.size());
            if (pageOf) {
                const QRect seen(pageOf->viewport()->mapTo(&window, QPoint(0, 0)),
                                 pageOf->viewport()->size());
                EXPECT_TRUE(seen.intersects(r)) << nameOf(w);
                r = r.intersected(seen);
            }
            EXPECT_TRUE(window.rect().contains(r))
                << nameOf(w) << " at " << r << " in " << window.size();
            for (QWidget* up = w->parentWidget(); up && up != &window; up = up->parentWidget()) {
                if (up == pageOf) break;
                const QRect clip(up->mapTo(&window, QPoint(0, 0)), up->size());
                EXPECT_TRUE(clip.contains(r)) << nameOf(w) << " at " << r << " cut by "
                                              << up->metaObject()->className() << " " << clip;
            }
            if (auto* key = qobject_cast<KeyButton*>(w)) {
                EXPECT_GE(key->width(), key->sizeHint().width()) << nameOf(w);
            }
        }
    }
};

TEST_F(WindowOnTheScreen, OpensInsideAndEveryScreenLaysOutAtItsSmallestSize) {
    test::makeToolsTree(tree);
    AppModel& m = model();
    m.refreshVolumes();
    MainWindow window(m);
    window.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const WindowSizes sizes = windowSizes(area.size());
    EXPECT_EQ(window.size(), sizes.initial);
    EXPECT_EQ(window.minimumSize(), sizes.minimum);
    EXPECT_EQ(window.geometry(), initialGeometry(area));
    EXPECT_TRUE(area.contains(window.frameGeometry())) << window.frameGeometry() << " on " << area;

    window.resize(window.minimumSize());
    expectInside(window, "Welcome");
    {
        QWidget* welcome = window.rootView()->screen();
        ScanningView scanning(m, window.rootView());
        scanning.setGeometry(welcome->geometry());
        welcome->hide();
        scanning.show();
        expectInside(window, "Scanning");
        welcome->show();
    }

    scanned(home());
    ASSERT_TRUE(waitFor([&] { return !m.cleanPlan().empty() && m.systemReport(); }));
    auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
    ASSERT_TRUE(results);
    m.toggleBasket(m.children(0).front());  // the tray comes up over each screen
    for (Tab tab : allTabs()) {
        m.setTab(tab);
        if (tab == Tab::tidy) {
            // A group opened, with its rows.
            auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
            ASSERT_TRUE(clean && !clean->cards().empty());
            clean->cards().front()->expandKey()->click();
        }
        if (tab == Tab::apps) {
            ASSERT_TRUE(waitFor([&] { return !m.apps().empty(); }));
        }
        expectInside(window, qPrintable(rawValue(tab)));
    }
    m.setQuery(QStringLiteral("cache"));
    expectInside(window, "search");
}

}  // namespace
}  // namespace tamrel
