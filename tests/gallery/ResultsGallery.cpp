// The results screens for the gallery: Explore at a root and in a folder, picked items with the
// tray and its list, Biggest (also while it waits for its files), search results (found and
// nothing), the Trash confirmation, the toasts (one too long for one line), a deep path bar and
// long folder names in a narrow window, from a tree of files of every kind.

#include "tests/gallery/ResultsGallery.h"

#include <QMessageBox>
#include <QTest>

#include <string>

#include "model/removal/TrashToast.h"
#include "tests/gallery/FixedPaths.h"
#include "tests/gallery/Settle.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"
#include "ui/results/BinList.h"
#include "ui/results/BinTray.h"
#include "ui/results/ExploreView.h"
#include "ui/results/ResultsView.h"
#include "ui/results/TreemapView.h"
#include "ui/shell/RootView.h"

namespace tamrel {
namespace {

using test::waitFor;

void makeTree(const test::TempDir& tree) {
    auto put = [&](const std::string& relative, std::size_t kb) {
        const std::size_t slash = relative.rfind('/');
        if (slash != std::string::npos) tree.mkdirs(relative.substr(0, slash));
        tree.write(relative, kb * 1000);
    };
    put("Movies/Holiday 2023.mov", 2400);
    put("Movies/Wedding.mp4", 1600);
    put("Movies/clips/skate.mkv", 700);
    put("Movies/clips/dog.mp4", 300);
    for (int k = 0; k < 36; ++k)
        put("Photos/IMG_" + std::to_string(4100 + k) + ".jpg", 40 + (k * 37) % 160);
    put("Photos/Edits/panorama.tiff", 900);
    for (int k = 0; k < 14; ++k)
        put("Music/Track " + std::to_string(k + 1) + ".mp3", 120 + (k * 53) % 200);
    put("Projects/site/node_modules/lib.js", 400);
    put("Projects/site/index.html", 20);
    put("Projects/app/build/app.o", 800);
    put("Projects/app/src/main.cpp", 30);
    put("Archives/backup-2022.zip", 1300);
    put("Archives/logs.tar.gz", 350);
    put("Installer.iso", 1900);
    put("Report.pdf", 260);
    put("budget.xlsx", 90);
    put("data.sqlite", 500);
    put("notes.txt", 8);
    put("deep/a/b/c/d/e/f/leaf.bin", 50);
    put("Long/" + std::string(120, 'L') + "/" + std::string(100, 'M') + "/" + std::string(140, 'N') +
            "/leaf.bin",
        40);
}

}  // namespace

void saveResultsGallery(MainWindow& window, AppModel& model,
                        const std::function<void(QWidget&, const QString&)>& save) {
    const test::TempDir tree(fixedName("Files"));
    makeTree(tree);
    const std::string root = tree.path();
    model.scan(root, true);
    if (!waitFor([&] {
            return model.phase() == Phase::results && model.index() &&
                   model.index()->rootPath() == root && !model.breakdown().empty() &&
                   !model.biggest().empty();
        })) {
        return;
    }
    auto* results = qobject_cast<ResultsView*>(window.rootView()->screen());
    if (!results) return;
    settle(model);
    save(window, QStringLiteral("results-explore"));

    // The live watcher may adopt a refreshed index at any wait, so every id is looked up in the
    // index shown at the moment it is used.
    auto id = [&](const char* relative) { return *model.index()->lookup(root + "/" + relative); };
    model.toggleBasket(id("Installer.iso"));
    model.toggleBasket(id("Archives"));
    model.toggleBasket(id("Movies/Wedding.mp4"));
    settle(model);
    // The pointer over the Music tile, which rises.
    TreemapView& map = results->explore().treemap();
    for (const TreemapTile& t : map.tiles()) {
        if (!t.isOthers() && t.node() == id("Music"))
            QTest::mouseMove(&map, t.rect.center().toPoint());
    }
    settle(model);
    save(window, QStringLiteral("results-explore-picked"));
    results->tray().toggleList();
    settle(model);
    if (results->tray().list()) save(*results->tray().list(), QStringLiteral("results-bin-list"));
    results->tray().toggleList();

    model.open(id("Movies"));
    settle(model);
    save(window, QStringLiteral("results-explore-movies"));
    model.open(id("Photos"));
    waitFor([&] { return !model.biggest().empty(); });
    settle(model);
    save(window, QStringLiteral("results-explore-photos"));

    model.open(0);
    model.setTab(Tab::biggest);
    // Taken before the root's heaviest files come back: the list of the folder before (Photos)
    // stays until they do.
    save(window, QStringLiteral("results-biggest-kept"));
    waitFor([&] { return model.biggest().size() > 10; });
    settle(model);
    save(window, QStringLiteral("results-biggest"));

    model.setQuery(QStringLiteral("ext:mp4 ext:mov ext:mkv"));
    searched(model);
    save(window, QStringLiteral("results-search"));
    model.setQuery(QStringLiteral("zzzz-nothing"));
    searched(model);
    save(window, QStringLiteral("results-search-nothing"));
    model.setQuery(QString());
    model.setTab(Tab::explore);

    model.setConfirmTrash(true);
    settle(model);
    if (results->confirmation()) save(*results->confirmation(), QStringLiteral("results-confirm"));
    model.setConfirmTrash(false);

    model.setToast(Toast::make(trashToastTitle(5'600'000, AppModel::ruleSet()),
                               QStringLiteral("3 items moved to the Trash"), true));
    settle(model);
    save(window, QStringLiteral("results-toast"));
    model.setToast(
        Toast::make(QStringLiteral("Couldn't open it"), QStringLiteral("Report.pdf"), false));
    settle(model);
    save(window, QStringLiteral("results-toast-failure"));
    model.setToast(Toast::make(
        QStringLiteral("Couldn't move that"),
        QStringLiteral("Skipped ") + QString(160, QLatin1Char('z')) +
            QStringLiteral(", a folder with a long name, another one with an even longer name +4"),
        false));
    settle(model);
    save(window, QStringLiteral("results-toast-long"));
    model.setToast(std::nullopt);

    model.open(id("deep/a/b/c/d/e/f"));
    settle(model);
    save(window, QStringLiteral("results-deep-path"));

    // Long folder names at the window's smallest size: they share the path bar.
    const QSize size = window.size();
    window.resize(window.minimumSize());
    model.open(id(("Long/" + std::string(120, 'L') + "/" + std::string(100, 'M') + "/" +
                   std::string(140, 'N'))
                      .c_str()));
    settle(model);
    save(window, QStringLiteral("results-long-names-narrow"));
    window.resize(size);
}

}  // namespace tamrel
