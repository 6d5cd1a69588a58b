#include <QAction>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <QStyle>
#include "core/saved/SavedIndex.h"
#include "tests/support/IndexBuilder.h"
#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "ui/home/ScanningView.h"
#include "ui/home/WelcomeView.h"
#include "ui/shell/DesktopServices.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/shell/TamrelApp.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

TEST(MenuRules, ScanCommandsWaitWhileAScanRuns) {
    EXPECT_EQ(menuRules(Phase::home, false).scanFolder, true);
    EXPECT_EQ(menuRules(Phase::home, false).rescan, false);  // no target yet
    EXPECT_EQ(menuRules(Phase::results, true).rescan, true);
    EXPECT_EQ(menuRules(Phase::home, true).rescan, true);  // a cancelled scan's target remains
    EXPECT_EQ(menuRules(Phase::scanning, true).rescan, false);
    EXPECT_EQ(menuRules(Phase::scanning, true).scanFolder, false);
    EXPECT_EQ(menuRules(Phase::results, true).checkForUpdates, false);  // no updater here
}

TEST(ScreenLook, FadeScaleAndRise) {
    EXPECT_EQ(screenLook(Phase::home, 0.5).scale, 1);
    EXPECT_DOUBLE_EQ(screenLook(Phase::scanning, 0).scale, 0.97);
    EXPECT_DOUBLE_EQ(screenLook(Phase::scanning, 1).scale, 1);
    EXPECT_DOUBLE_EQ(screenLook(Phase::results, 0).dy, 12);  // sinks 12 points as it goes
    EXPECT_DOUBLE_EQ(screenLook(Phase::results, 1).dy, 0);
    EXPECT_EQ(screenLook(Phase::results, 1.08).opacity, 1);  // overshoot keeps opacity at 1
}

TEST(DesktopServicesPaths, FileUrisCarryTheExactBytes) {
    EXPECT_EQ(DesktopServices::fileUri("/home/ann/My Files"), "file:///home/ann/My%20Files");
    EXPECT_EQ(DesktopServices::fileUri(std::string("/tmp/caf\xE9")), "file:///tmp/caf%E9");
    EXPECT_EQ(DesktopServices::fileUri("/a/b#c?d"), "file:///a/b%23c%3Fd");
    EXPECT_EQ(DesktopServices::parentOf("/home/ann/file"), "/home/ann");
    EXPECT_EQ(DesktopServices::parentOf("/file"), "/");
    EXPECT_EQ(DesktopServices::parentOf("/"), "/");
    EXPECT_EQ(DesktopServices::parentOf("/home/ann/"), "/home");
}

TEST(LightAppearance, StaysLightWhateverTheDesktopScheme) {
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    applyLightAppearance(*qApp);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), Color::putty);
    EXPECT_EQ(QApplication::palette().color(QPalette::WindowText), Color::ink);
    EXPECT_EQ(QApplication::style()->name(), "fusion");
}

class ShellTest : public test::UiTest {};

TEST_F(ShellTest, FirstLaunchShowsWelcomeAtTheDefaultSize) {
    AppModel& m = model();
    m.startUp();
    MainWindow window(m);
    window.show();
    EXPECT_EQ(window.size(), QSize(1320, 840));
    EXPECT_EQ(window.minimumSize(), QSize(1120, 680));
    EXPECT_EQ(window.windowTitle(), "Tamrel");
    EXPECT_NE(qobject_cast<WelcomeView*>(window.rootView()->screen()), nullptr);
    EXPECT_FALSE(window.rescanAction()->isEnabled());
    EXPECT_TRUE(window.scanFolderAction()->isEnabled());
    EXPECT_FALSE(window.checkForUpdatesAction()->isEnabled());
    // No updater on Linux: the command is not shown.
    EXPECT_FALSE(window.checkForUpdatesAction()->isVisible());
    EXPECT_EQ(window.scanFolderAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(window.rescanAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    EXPECT_TRUE(QApplication::quitOnLastWindowClosed());
}

TEST_F(ShellTest, ControlOOpensTheFolderChooserAndScansWhatItGives) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(test::exposed(window, true));
    desktop.picked = tree.path() + "/data";
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(desktop.pickers.size(), 1u);
    EXPECT_EQ(desktop.pickers[0].first, "Scan");
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    EXPECT_EQ(window.rootView()->shownPhase(), Phase::results);
    EXPECT_TRUE(window.rescanAction()->isEnabled());
}

TEST_F(ShellTest, PhasesSwitchScreensAndRescanPassesThroughScanning) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    std::vector<Phase> shown;
    QObject::connect(&m.phase, &PropertyNotifier::changed, [&] {
        shown.push_back(window.rootView()->shownPhase());
        if (m.phase() == Phase::scanning) {
            EXPECT_NE(qobject_cast<ScanningView*>(window.rootView()->screen()), nullptr);
            // While a scan runs the scan commands wait.
            EXPECT_FALSE(window.rescanAction()->isEnabled());
            EXPECT_FALSE(window.scanFolderAction()->isEnabled());
        }
    });
    scanned(tree.path() + "/data");
    EXPECT_EQ(shown, (std::vector<Phase>{Phase::scanning, Phase::results}));
    QWidget* results = window.rootView()->screen();
    EXPECT_EQ(qobject_cast<WelcomeView*>(results), nullptr);
    EXPECT_EQ(qobject_cast<ScanningView*>(results), nullptr);

    shown.clear();
    window.rescanAction()->trigger();
    ASSERT_TRUE(waitFor([&] { return shown.size() == 2; }));
    EXPECT_EQ(shown, (std::vector<Phase>{Phase::scanning, Phase::results}));
}

TEST_F(ShellTest, StopReturnsToWelcomeAndSavesNoPartialIndex) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    // A tree big enough that Stop comes while the scan still reads.
    const std::string big = "/usr";
    m.scan(big, true);
    ASSERT_EQ(m.phase(), Phase::scanning);
    auto* scanning = qobject_cast<ScanningView*>(window.rootView()->screen());
    ASSERT_NE(scanning, nullptr);
    QTest::mouseClick(scanning->stopKey(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return m.phase() != Phase::scanning; }));
    ASSERT_EQ(m.phase(), Phase::home);
    EXPECT_NE(qobject_cast<WelcomeView*>(window.rootView()->screen()), nullptr);
    EXPECT_FALSE(SavedIndex::cachedDate(big));
    EXPECT_FALSE(m.indexed().contains(big));
    // The remembered target keeps Rescan available.
    EXPECT_TRUE(window.rescanAction()->isEnabled());
}

TEST_F(ShellTest, ASavedWholeDiskIndexOpensAtLaunchWithoutScanning) {
    test::IndexBuilder b;
    b.file("/srv/data/a.bin", 4096, 1'700'000'000);
    b.file("/srv/b.bin", 8192, 1'700'000'000);
    SavedIndex::save(*b.build());
    ASSERT_TRUE(SavedIndex::cachedDate("/"));
    options.startUp = true;
    std::vector<Phase> phases;
    AppModel& m = model();
    QObject::connect(&m.phase, &PropertyNotifier::changed, [&] { phases.push_back(m.phase()); });
    MainWindow window(m);
    window.show();
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    EXPECT_EQ(window.rootView()->shownPhase(), Phase::results);
    EXPECT_TRUE(std::find(phases.begin(), phases.end(), Phase::scanning) == phases.end());
}

// A target with a saved index opens at once, inside the Welcome key's own click: the Welcome
// screen must outlive the click that replaces it.
TEST_F(ShellTest, AKeyOfTheOutgoingScreenCanSwitchThePhaseAtOnce) {
    test::IndexBuilder b(home());
    b.file(home() + "/Downloads/big.iso", 1 << 20, 1'700'000'000);
    SavedIndex::save(*b.build());
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    auto* welcome = qobject_cast<WelcomeView*>(window.rootView()->screen());
    ASSERT_NE(welcome, nullptr);
    QTest::mouseClick(welcome->homeKey(), Qt::LeftButton);
    EXPECT_EQ(m.phase(), Phase::results);  // loaded from its saved index, no scan
    EXPECT_EQ(window.rootView()->shownPhase(), Phase::results);
    // The old screen goes once the event loop runs.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(ShellTest, APhaseChangePlaysUnderTheModelsSpringThenShowsTheLiveScreen) {
    SpringAnimator::setInstant(false);
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    bool sawSpring = false;
    bool playing = false;
    QObject::connect(&m.phase, &PropertyNotifier::changed, [&] {
        if (m.phase() != Phase::scanning) return;
        sawSpring = m.animation().has_value();
        playing = window.rootView()->transitioning();
        // The fresh screen is live from the start of the change: its own clock already runs.
        auto* scanning = qobject_cast<ScanningView*>(window.rootView()->screen());
        ASSERT_NE(scanning, nullptr);
        EXPECT_TRUE(scanning->isVisible());
        EXPECT_TRUE(scanning->ticking());
    });
    m.scan(tree.path() + "/data", true);
    EXPECT_TRUE(sawSpring);
    EXPECT_TRUE(playing);
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    clock.advance(std::chrono::seconds(2));
    EXPECT_FALSE(window.rootView()->transitioning());
    EXPECT_TRUE(window.rootView()->screen()->isVisible());
    SpringAnimator::setInstant(true);
}

}  // namespace
}  // namespace tamrel
