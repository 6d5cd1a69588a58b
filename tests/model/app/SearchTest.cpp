#include "tests/model/app/ActionsFixture.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/model/app/ModelFixture.h"

namespace tamrel::test {
namespace {

class SearchTest : public ModelTest {
protected:
    SearchTest() {
        put("root/apple.bin", 30'000);
        put("root/apricot.bin", 20'000);
        put("root/abc.bin", 10'000);
        put("root/sub/abc2.bin", 5'000);
        root = tree / "root";
    }
    std::string root;
};

TEST_F(SearchTest, FastTypingSearchesOnlyTheLastText) {
    scanned(root);
    AppModel& m = model();
    QSignalSpy results(&m.results, &PropertyNotifier::changed);
    const int waits = clock.pending();  // the live synchronisation's, if any
    m.setQuery("a");
    EXPECT_TRUE(m.searching());
    m.setQuery("ab");
    m.setQuery("abc");
    ASSERT_TRUE(searched());
    EXPECT_EQ(clock.pending(), waits);  // no other search is left to start
    EXPECT_EQ(results.count(), 1);
    ASSERT_EQ(m.results().size(), 2u);
    EXPECT_EQ(m.index()->name(m.results()[0]), "abc.bin");
    EXPECT_EQ(m.resultTotal(), 2);
}

TEST_F(SearchTest, BlankQueriesClearAtOnceAndKeepTheCounts) {
    AppModel& m = model();
    m.setQuery("abc");  // no index shown: the same as an empty query
    EXPECT_FALSE(m.searching());
    scanned(root);
    m.setQuery("abc");
    ASSERT_TRUE(searched());
    const double took = m.resultTime();
    // Both timed on the model's clock, which stands still here.
    EXPECT_EQ(took, 0.0);
    EXPECT_EQ(m.index()->scanTime(), 0.0);
    m.setQuery(" \t ");
    EXPECT_TRUE(m.results().empty());
    EXPECT_FALSE(m.searching());
    EXPECT_EQ(m.resultTotal(), 2);
    EXPECT_EQ(m.resultTime(), took);
}

TEST_F(SearchTest, TheSameTextSearchesAgainAndSearchesBelowTheCurrentFolder) {
    scanned(root);
    AppModel& m = model();
    m.open(id(root + "/sub"));
    m.setQuery(" abc ");  // searched as typed
    ASSERT_TRUE(searched());
    ASSERT_EQ(m.results().size(), 1u);
    EXPECT_EQ(m.index()->name(m.results()[0]), "abc2.bin");
    QSignalSpy searching(&m.searching, &PropertyNotifier::changed);
    QSignalSpy query(&m.query, &PropertyNotifier::changed);
    m.setQuery(" abc ");
    EXPECT_EQ(query.count(), 0);
    EXPECT_TRUE(m.searching());
    ASSERT_TRUE(searched());
    EXPECT_EQ(searching.count(), 2);
    // Opening a folder clears the query, which clears the results.
    m.open(0);
    EXPECT_EQ(m.query(), "");
    EXPECT_TRUE(m.results().empty());
}

TEST_F(SearchTest, AResultOfAnotherIndexNeverLands) {
    scanned(root);
    AppModel& m = model();
    put("other/abc-other.bin", 4096);
    m.setQuery("abc");
    clock.advance(options.searchDelay);  // the search runs
    // Before its result comes back, another target replaces the index (and the query).
    m.scan(tree / "other", true);
    m.setQuery("abc");
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    ASSERT_TRUE(searched());
    EXPECT_EQ(m.results().size(), 1u);
    for (NodeId n : m.results()) {
        ASSERT_LT(n, m.index()->count());
        EXPECT_EQ(m.index()->name(n), "abc-other.bin");
    }
}

// A query typed while a fresh scan runs is searched in the index the scan brings. Its search of
// the index shown meanwhile is dropped when it comes back; nothing else may be left to search.
// The new index is installed as the scan's end installs it (a live refresh of a tree this young
// would search again by itself and hide a lost search).
TEST_F(SearchTest, AQueryPendingWhenANewTargetIsShownIsSearchedThere) {
    scanned(root);
    AppModel& m = model();
    put("other/abc-other.bin", 4096);
    put("other/sub/abc-deeper.bin", 8192);
    m.setQuery("abc");
    clock.advance(options.searchDelay);  // the search of the index shown runs
    ASSERT_TRUE(m.searching());
    ActionsProbe::show(m, scanTree(tree / "other"));
    ASSERT_TRUE(searched());
    ASSERT_EQ(m.results().size(), 2u);
    EXPECT_EQ(m.index()->name(m.results()[0]), "abc-deeper.bin");
    EXPECT_EQ(m.index()->name(m.results()[1]), "abc-other.bin");
    EXPECT_EQ(m.resultTotal(), 2);
}

}  // namespace
}  // namespace tamrel::test
