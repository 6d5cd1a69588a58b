// The space tools for the gallery: System Data with its buckets and hidden space, Clean up with
// a group open and its confirmation, Apps with the detail of the largest application and its
// confirmation, over the tools' test tree; Apps over a home of AppImages, and with no
// application to list.

#include "tests/gallery/ToolsGallery.h"

#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "tests/gallery/FixedPaths.h"
#include "tests/gallery/Settle.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/support/AppImageHome.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"
#include "tests/ui/Headless.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/home/Sidebar.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ItemList.h"
#include "ui/results/ResultsView.h"
#include "ui/results/TreemapView.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/RootView.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/tools/AppsView.h"
#include "ui/tools/CleanView.h"
#include "ui/tools/SystemDataView.h"

namespace tamrel {
namespace {

// The program's saved indexes go, through a link, to a folder beside the scanned home, not into
// it: the save that follows a scan may land before or after the watcher's first walk, and a
// picture of the home must not show which.
// `tree` holds the home as "home", with its data home in "home/.local/share".
void keepSavesOutside(const test::TempDir& tree) {
    tree.mkdirs("saved");
    tree.mkdirs("home/.local/share");
    tree.symlink(tree.path() + "/saved", "home/.local/share/Tamrel");
}

using test::waitFor;

// The icon an AppImage's desktop entry installs: a violet rounded square with a white gem.
void drawIcon(const std::string& file, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x7C, 0x3A, 0xED));
    const double s = side;
    p.drawRoundedRect(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), s * 0.22, s * 0.22);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawPolygon(QPolygonF({QPointF(s * 0.5, s * 0.18), QPointF(s * 0.76, s * 0.46),
                             QPointF(s * 0.5, s * 0.84), QPointF(s * 0.24, s * 0.46)}));
    p.setBrush(QColor(0x7C, 0x3A, 0xED, 110));
    p.drawPolygon(QPolygonF({QPointF(s * 0.5, s * 0.18), QPointF(s * 0.76, s * 0.46),
                             QPointF(s * 0.5, s * 0.52)}));
    p.end();
    image.save(QString::fromStdString(file));
}

// The Apps screen over a home of AppImages (its XDG folders in it), then over a folder without
// any application: the empty state.
void saveAppImagesGallery(MainWindow& window, AppModel& model,
                          const std::function<void(QWidget&, const QString&)>& save) {
    const test::TempDir tree(fixedName("appimages"));
    const std::string home = test::makeAppImageHome(tree, 3'000'000);
    const std::string icons = home + "/.local/share/icons/hicolor/";
    drawIcon(icons + "64x64/apps/appimagekit-obsidian.png", 64);
    drawIcon(icons + "32x32/apps/appimagekit-obsidian.png", 32);
    test::setAccessed(home + "/Applications/Obsidian-1.5.3.AppImage", std::chrono::hours(1));
    test::ScopedEnv homeVar("HOME", home);
    test::ScopedEnv data("XDG_DATA_HOME", home + "/.local/share");
    test::ScopedEnv config("XDG_CONFIG_HOME", home + "/.config");
    test::ScopedEnv cache("XDG_CACHE_HOME", home + "/.cache");
    test::ScopedEnv state("XDG_STATE_HOME", home + "/.local/state");
    model.scan(home, true);
    const bool shown = waitFor([&] {
        return model.phase() == Phase::results && model.index() &&
               model.index()->rootPath() == home;
    });
    if (!shown) return;
    model.setTab(Tab::apps);
    waitFor([&] { return !model.appsLoading() && !model.apps().empty() && model.selectedApp(); });
    settle(model);
    save(window, QStringLiteral("window-apps-appimages"));

    tree.mkdirs("empty/Documents");
    tree.write("empty/Documents/notes.txt", 20'000);
    const std::string empty = tree / "empty";
    model.scan(empty, true);
    waitFor([&] {
        return model.phase() == Phase::results && model.index() &&
               model.index()->rootPath() == empty;
    });
    model.setTab(Tab::apps);
    waitFor([&] { return !model.appsLoading(); });
    settle(model);
    save(window, QStringLiteral("window-apps-empty"));
}
// The screen scrolled to its end under `name`, then back to its top.
void saveEnd(AppModel& model, QScrollArea& view, QWidget& window, const QString& name,
             const std::function<void(QWidget&, const QString&)>& save) {
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    settle(model);
    save(window, name);
    view.verticalScrollBar()->setValue(0);
}

// Every tab in a window of 1366 × 768 (a common laptop screen) and of 960 × 540 (the smallest
// the window goes on a screen that size), and the keyboard's ring on a file row, a treemap tile,
// a clean-up row and the Apps filter.
void saveSmallScreens(MainWindow& window, AppModel& model,
                      const std::function<void(QWidget&, const QString&)>& save) {
    auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
    if (!results) return;
    const QSize size = window.size();
    const QSize minimum = window.minimumSize();
    for (const QSize screen : {QSize(1366, 768), QSize(960, 540)}) {
        window.setMinimumSize(windowSizes(screen).minimum);
        window.resize(screen);
        const QString at = QStringLiteral("-%1x%2").arg(screen.width()).arg(screen.height());
        for (Tab tab : allTabs()) {
            model.setTab(tab);
            settle(model);
            save(window, QStringLiteral("small") + at + QLatin1Char('-') +
                             rawValue(tab).toLower().replace(QLatin1Char(' '), QLatin1Char('-')));
        }
    }
    window.resize(QSize(1366, 768));
    window.activateWindow();
    if (!test::exposed(window, true)) return;
    model.setTab(Tab::explore);
    settle(model);
    const auto keyed = [&](QWidget& control, std::initializer_list<Qt::Key> keys,
                           const QString& name) {
        control.setFocus(Qt::TabFocusReason);
        for (Qt::Key key : keys)
            QTest::keyClick(&control, key);
        settle(model);
        save(window, name);
    };
    keyed(results->explore().list().view(), {Qt::Key_Down}, QStringLiteral("keyboard-list"));
    keyed(*results->explore().findChild<TreemapView*>(), {Qt::Key_Right, Qt::Key_Down},
          QStringLiteral("keyboard-treemap"));
    model.setTab(Tab::tidy);
    settle(model);
    if (auto* clean = qobject_cast<CleanView*>(results->tabScreen(Tab::tidy));
        clean && !clean->cards().empty()) {
        CleanGroupCard* card = clean->cards().front();
        if (!card->isOpen()) card->expandKey()->click();
        settle(model);
        keyed(*card, {Qt::Key_Down}, QStringLiteral("keyboard-clean-up"));
    }
    model.setTab(Tab::apps);
    settle(model);
    if (auto* apps = qobject_cast<AppsView*>(results->tabScreen(Tab::apps)))
        keyed(apps->list().filter(), {}, QStringLiteral("keyboard-apps-filter"));
    // The shots after these show no ring: the window holds the focus, as before Tab is pressed.
    window.setFocus(Qt::OtherFocusReason);
    window.setMinimumSize(minimum);
    window.resize(size);
}

}  // namespace

void saveToolsGallery(MainWindow& window, AppModel& model,
                      const std::function<void(QWidget&, const QString&)>& save) {
    const test::TempDir tree(fixedName("tools"));
    const char* oldHome = std::getenv("HOME");
    const std::optional<std::string> home =
        oldHome ? std::optional<std::string>(oldHome) : std::nullopt;
    const char* oldData = std::getenv("XDG_DATA_HOME");
    const std::optional<std::string> data =
        oldData ? std::optional<std::string>(oldData) : std::nullopt;
    const std::string root = tree.path() + "/home";
    ::setenv("HOME", root.c_str(), 1);
    // The Trash inside the scanned home, so the screens see it fill: the Clean up screen's note
    // and the System Data Trash bucket.
    const std::string dataHome = root + "/.local/share";
    ::setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    keepSavesOutside(tree);
    test::makeToolsTree(tree, true);
    model.scan(root, true);
    const bool shown = waitFor([&] {
        return model.phase() == Phase::results && model.index() &&
               model.index()->rootPath() == root && model.systemReport() &&
               !model.cleanPlan().empty();
    });
    if (shown) {
        model.setTab(Tab::system);
        settle(model);
        save(window, QStringLiteral("window-system-data"));
        auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
        if (auto* view = results ? qobject_cast<SystemDataView*>(results->tabScreen(Tab::system))
                                 : nullptr) {
            saveEnd(model, *view, window, QStringLiteral("window-system-data-end"), save);
        }
        model.setTab(Tab::tidy);
        settle(model);
        save(window, QStringLiteral("window-clean-up"));
        if (auto* clean =
                results ? qobject_cast<CleanView*>(results->tabScreen(Tab::tidy)) : nullptr) {
            // The largest group open, one of its items unticked.
            const auto several =
                std::find_if(clean->cards().begin(), clean->cards().end(),
                             [](CleanGroupCard* c) { return c->group().items.size() > 1; });
            if (several != clean->cards().end()) {
                // The ids are read before the wait: a plan arriving meanwhile rebuilds the cards.
                CleanGroupCard* card = *several;
                std::vector<NodeId> all;
                for (const CleanItem& item : card->group().items)
                    all.push_back(item.node);
                card->expandKey()->click();
                settle(model);
                model.setClean(all, true);
                model.setClean({all.front()}, false);
                settle(model);
                save(window, QStringLiteral("window-clean-up-open"));
                // Closing, caught mid-way: the chevron half turned back, the list half faded.
                // Nothing ticked, so the Clean key is dimmed.
                std::vector<NodeId> planned;
                for (const CleanGroup& g : model.cleanPlan())
                    for (const CleanItem& item : g.items)
                        planned.push_back(item.node);
                const NodeSet ticked = model.cleanPicked();
                model.setClean(planned, false);
                SpringAnimator::setInstant(false);
                card->expandKey()->click();
                card->openness().advance(0.09);
                save(window, QStringLiteral("window-clean-up-closing"));
                card->openness().advance(3);
                SpringAnimator::setInstant(true);
                model.setClean(std::vector<NodeId>(ticked.begin(), ticked.end()), true);
                settle(model);
            }
            model.setConfirmClean(true);
            settle(model);
            if (clean->confirmation())
                save(*clean->confirmation(), QStringLiteral("clean-up-confirm"));
            model.setConfirmClean(false);
        }
    }
    if (shown) {
        model.setTab(Tab::apps);
        waitFor(
            [&] { return !model.appsLoading() && !model.apps().empty() && model.selectedApp(); });
        settle(model);
        save(window, QStringLiteral("window-apps"));
        auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
        if (auto* apps =
                results ? qobject_cast<AppsView*>(results->tabScreen(Tab::apps)) : nullptr) {
            // One leftover unticked, so its kind shows a partial tick.
            if (apps->detail() && apps->detail()->app().leftovers.size() > 1) {
                NodeSet picked = model.leftoverPicked();
                picked.erase(apps->detail()->app().leftovers.front().node);
                model.setLeftoverPicked(picked);
            }
            model.setAppFilter(QStringLiteral("no"));
            settle(model);
            save(window, QStringLiteral("window-apps-filtered"));
            model.setAppFilter(QString());
            model.setConfirmUninstall(true);
            settle(model);
            if (apps->confirmation()) save(*apps->confirmation(), QStringLiteral("apps-confirm"));
            model.setConfirmUninstall(false);
        }
    }
    if (shown) saveSmallScreens(window, model, save);
    if (shown) saveAppImagesGallery(window, model, save);
    model.setTab(Tab::explore);
    if (home) ::setenv("HOME", home->c_str(), 1);
    if (data) {
        ::setenv("XDG_DATA_HOME", data->c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

void saveLinuxGallery(MainWindow& window, AppModel& model,
                      const std::function<void(QWidget&, const QString&)>& save) {
    const test::TempDir tree(fixedName("linux"));
    const std::string root = tree.path() + "/home";
    const test::ScopedEnv home("HOME", root);
    const test::ScopedEnv dataHome("XDG_DATA_HOME", root + "/.local/share");
    keepSavesOutside(tree);
    test::makeLinuxHome(tree);
    model.scan(root, true);
    const bool shown = waitFor([&] {
        return model.phase() == Phase::results && model.index() &&
               model.index()->rootPath() == root && model.systemReport() &&
               !model.cleanPlan().empty() && !model.breakdown().empty();
    });
    if (shown) {
        model.setTab(Tab::explore);
        settle(model);
        save(window, QStringLiteral("window-linux-explore"));
        save(*window.rootView()->sidebar(), QStringLiteral("sidebar-linux"));
        // As a user's process finds it: root-only and other users' folders stay closed.
        const bool access = model.hasFullDiskAccess();
        ActionsProbe::setHasFullDiskAccess(model, false);
        settle(model);
        save(*window.rootView()->sidebar(), QStringLiteral("sidebar-linux-limited"));
        ActionsProbe::setHasFullDiskAccess(model, access);
        model.setQuery(QStringLiteral("ext:deb"));
        searched(model);
        save(window, QStringLiteral("window-linux-search"));
        model.setQuery(QString());
        model.setTab(Tab::system);
        settle(model);
        save(window, QStringLiteral("window-linux-system-data"));
        auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
        if (auto* view = results ? qobject_cast<SystemDataView*>(results->tabScreen(Tab::system))
                                 : nullptr) {
            // The Trash card says the plan leaves the Trash alone, in place of its key.
            for (BucketCard* card : view->cards()) {
                if (card->bucket().id != "trash") continue;
                view->verticalScrollBar()->setValue(card->y());
                settle(model);
                save(window, QStringLiteral("window-linux-system-data-trash"));
            }
            saveEnd(model, *view, window, QStringLiteral("window-linux-system-data-end"), save);
        }
        model.setTab(Tab::tidy);
        settle(model);
        save(window, QStringLiteral("window-linux-clean-up"));
        if (auto* clean =
                results ? qobject_cast<CleanView*>(results->tabScreen(Tab::tidy)) : nullptr) {
            const auto dev = std::find_if(clean->cards().begin(), clean->cards().end(),
                                          [](CleanGroupCard* c) { return c->group().id == "dev"; });
            if (dev != clean->cards().end()) {
                (*dev)->expandKey()->click();
                settle(model);
                save(window, QStringLiteral("window-linux-clean-up-open"));
                (*dev)->expandKey()->click();
                settle(model);
            }
        }
    }
    // The card of a whole-disk scan: space no folder Tamrel may read holds, and unreadable
    // folders; no purgeable space or snapshots on Linux.
    SystemDataReport report;
    report.unseen = 18'400'000'000;
    report.unreadable = 1'284;
    HiddenSpaceCard card(report, AppModel::ruleSet());
    card.resize(760, int(std::ceil(card.heightFor(760))));
    card.show();
    settle(model);
    save(card, QStringLiteral("hidden-space-card-linux"));
    model.setTab(Tab::explore);
}

}  // namespace tamrel
