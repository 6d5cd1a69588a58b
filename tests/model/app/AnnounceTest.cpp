#include <algorithm>
#include <vector>

#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ModelFixture.h"

namespace tamrel::test {
namespace {

class AnnounceTest : public ModelTest {};

TEST_F(AnnounceTest, EqualWritesAreSilent) {
    AppModel& m = model();
    QSignalSpy tab(&m.tab, &PropertyNotifier::changed);
    m.setTab(Tab::explore);
    EXPECT_EQ(tab.count(), 0);
    m.setTab(Tab::biggest);
    EXPECT_EQ(tab.count(), 1);
    EXPECT_EQ(m.tab(), Tab::biggest);
    EXPECT_FALSE(m.animation());
    QSignalSpy toast(&m.toast, &PropertyNotifier::changed);
    m.setToast(std::nullopt);
    EXPECT_EQ(toast.count(), 0);
}

TEST_F(AnnounceTest, ARecomputationAnnouncesOnlyWhatCanChangeUnseen) {
    put("root/a.bin", 40'000);
    put("root/b.bin", 20'000);
    scanned(tree / "root");
    AppModel& m = model();
    QSignalSpy biggest(&m.biggest, &PropertyNotifier::changed);
    QSignalSpy trash(&m.trashSize, &PropertyNotifier::changed);
    QSignalSpy breakdown(&m.breakdown, &PropertyNotifier::changed);
    QSignalSpy tips(&m.tips, &PropertyNotifier::changed);
    QSignalSpy report(&m.systemReport, &PropertyNotifier::changed);
    QSignalSpy plan(&m.cleanPlan, &PropertyNotifier::changed);
    m.refreshDerived();
    ASSERT_TRUE(waitFor([&] { return breakdown.count() == 1; }));
    EXPECT_EQ(biggest.count(), 0);
    EXPECT_EQ(trash.count(), 0);
    EXPECT_EQ(tips.count(), 1);
    EXPECT_EQ(report.count(), 1);
    EXPECT_EQ(plan.count(), 1);
}

TEST_F(AnnounceTest, OneStepAnnouncesInTheOrderOfTheModelsProperties) {
    put("root/a/x.bin", 40'000);
    put("root/b.bin", 20'000);
    scanned(tree / "root");
    AppModel& m = model();
    m.open(id(tree / "root/a"));
    m.toggleBasket(id(tree / "root/a/x.bin"));
    m.setTab(Tab::biggest);
    m.setQuery("x");
    ASSERT_TRUE(searched());
    // Every property, in the order the model declares them.
    const std::vector<const PropertyNotifier*> order = {&m.phase,
                                                        &m.volumes,
                                                        &m.places,
                                                        &m.indexed,
                                                        &m.hasFullDiskAccess,
                                                        &m.scanTarget,
                                                        &m.progress,
                                                        &m.index,
                                                        &m.current,
                                                        &m.tab,
                                                        &m.hovered,
                                                        &m.revision,
                                                        &m.query,
                                                        &m.results,
                                                        &m.resultTotal,
                                                        &m.resultTime,
                                                        &m.searching,
                                                        &m.basket,
                                                        &m.trashing,
                                                        &m.confirmTrash,
                                                        &m.toast,
                                                        &m.breakdown,
                                                        &m.biggest,
                                                        &m.tips,
                                                        &m.systemReport,
                                                        &m.trashSize,
                                                        &m.sync,
                                                        &m.cleanPlan,
                                                        &m.cleanPicked,
                                                        &m.confirmClean,
                                                        &m.apps,
                                                        &m.appsLoading,
                                                        &m.selectedApp,
                                                        &m.leftoverPicked,
                                                        &m.appSort,
                                                        &m.appFilter,
                                                        &m.confirmUninstall,
                                                        &m.uninstalling,
                                                        &m.preparingClean,
                                                        &m.removalBusy};
    std::vector<std::size_t> sent;
    for (std::size_t i = 0; i < order.size(); ++i)
        QObject::connect(order[i], &PropertyNotifier::changed, [&sent, i] { sent.push_back(i); });
    // Another index shown: the followers of the shown index write in the same step.
    ActionsProbe::show(m, test::scanTree(tree / "root"));
    EXPECT_GE(sent.size(), 8u);
    EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end())) << ::testing::PrintToString(sent);
    EXPECT_EQ(std::adjacent_find(sent.begin(), sent.end()), sent.end());
}

TEST_F(AnnounceTest, WithoutAnIndexNothingIsComputedOrStored) {
    AppModel& m = model();
    QSignalSpy breakdown(&m.breakdown, &PropertyNotifier::changed);
    QSignalSpy plan(&m.cleanPlan, &PropertyNotifier::changed);
    m.refreshDerived();
    m.applyCleanPlan(
        {CleanGroup{"caches", "t", "b", "s", CleanGroup::Risk::safe, {{0, true, std::nullopt}}}});
    m.setClean({0}, true);
    ActionsProbe::finishWork(m);
    EXPECT_EQ(breakdown.count(), 0);
    EXPECT_EQ(plan.count(), 0);
    EXPECT_TRUE(m.cleanPicked().empty());
    EXPECT_EQ(m.cleanSize(), 0u);
    EXPECT_TRUE(m.children(0).empty());
}

}  // namespace
}  // namespace tamrel::test
