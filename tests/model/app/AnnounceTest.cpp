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
