#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ui/UiFixture.h"
#include "ui/shell/MainWindow.h"

namespace tamrel {
namespace {

// An index generation replaced by a live refresh must be freed once the new one is shown: a
// whole-disk index is hundreds of megabytes and a busy disk is refreshed every few seconds, so
// anything that keeps old generations (a screen's rows, a queued result, a finished run) grows
// the process by a generation per refresh.
class GenerationsTest : public test::UiTest {};

TEST_F(GenerationsTest, ReplacedGenerationsAreFreedWithEveryScreenOpen) {
    AppModel& m = model();
    MainWindow window(m);
    window.show();
    const std::string root = tree.path() + "/data";
    scanned(root);
    m.open(id(root + "/photos"));
    m.setQuery("jpg");
    ASSERT_TRUE(searched());
    ASSERT_FALSE(m.results().empty());

    std::vector<std::weak_ptr<DiskIndex>> replaced;
    int written = 0;
    // Each tab in turn is on screen while the disk changes under it.
    for (Tab tab : allTabs()) {
        m.setTab(tab);
        QCoreApplication::processEvents();
        replaced.push_back(m.index());
        const int revision = m.revision();
        put("data/photos/new" + std::to_string(written++) + ".jpg", 4096);
        ASSERT_TRUE(waitLive([&] { return m.revision() > revision && m.sync() == Sync::live; }))
            << "tab " << static_cast<int>(tab);
        ASSERT_TRUE(searched());  // the query is searched again in the new generation
        ASSERT_TRUE(waitFor([&] { return !m.breakdown().empty(); }));
    }
    const auto gone = [&] {
        for (const auto& g : replaced)
            if (!g.expired()) return false;
        return true;
    };
    // Runs still working on an old generation finish and let go of it.
    EXPECT_TRUE(waitFor(gone));
    int alive = 0;
    for (const auto& g : replaced)
        alive += g.expired() ? 0 : 1;
    EXPECT_EQ(alive, 0) << "of " << replaced.size() << " replaced generations";
}

}  // namespace
}  // namespace tamrel
