#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/results/ResultsView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"

namespace tamrel::test {

// The window over a home folder that every screen has something to show of (the space tools'
// tree, a large folder the Trash takes, a folder of three films), used from the keyboard only:
// keys go to the focused control, as a person's would.
class KeyboardWindow : public UiTest {
protected:
    void SetUp() override {
        makeToolsTree(tree);
        // The largest folder of the home is one the Trash takes, so the first row can be picked
        // (the home's own Library, Documents and the like cannot).
        tree.mkdirs("home/Projects/site");
        tree.write("home/Projects/site/build.bin", 8'000'000);
        for (const auto& [name, bytes] : {std::pair{"a.mkv", 300'000}, {"b.mkv", 200'000},
                                          {"c.mkv", 100'000}})
            put(std::string("home/Films/") + name, bytes);
        model().refreshVolumes();
        window = std::make_unique<MainWindow>(model());
        window->show();
        window->activateWindow();
        ASSERT_TRUE(exposed(*window, true));
    }
    void showResults() {
        scanned(home());
        ASSERT_TRUE(
            waitFor([&] { return !model().cleanPlan().empty() && model().systemReport(); }));
        ActionsProbe::finishWork(model());
        results = qobject_cast<ResultsView*>(window->rootView()->screen());
        ASSERT_TRUE(results);
    }
    static QWidget* focused() { return QApplication::focusWidget(); }
    // A key pressed on the focused control (the window while none has it), and what it set off
    // on the event loop. No key but Tab may leave the focus on a window key.
    void press(Qt::Key key, Qt::KeyboardModifiers mods = {}) {
        QTest::keyClick(focused() ? focused() : window.get(), key, mods);
        QApplication::processEvents();
        if (key != Qt::Key_Tab && key != Qt::Key_Backtab) expectOffWindowKeys();
    }
    void expectOffWindowKeys() {
        const WindowKeys& keys = *window->windowKeys();
        for (QWidget* key : {keys.closeKey(), keys.minimiseKey(), keys.zoomKey()})
            EXPECT_NE(focused(), key) << "the focus fell on a window key";
    }
    // Tab (Shift+Tab) until `target` has the focus; false when a round of the window missed it.
    bool tabTo(QWidget* target, bool forward = true) {
        for (std::size_t i = 0, n = window->focusOrder().size(); i <= n; ++i) {
            if (focused() == target) return true;
            press(forward ? Qt::Key_Tab : Qt::Key_Backtab,
                  forward ? Qt::NoModifier : Qt::ShiftModifier);
        }
        return focused() == target;
    }

    std::unique_ptr<MainWindow> window;
    ResultsView* results = nullptr;
};

}  // namespace tamrel::test
