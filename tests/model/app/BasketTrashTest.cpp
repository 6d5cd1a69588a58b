#include <QSignalSpy>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "format/Fmt.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"
#include "tests/support/Child.h"

namespace tamrel {
namespace {

using test::exists;
using test::waitFor;

AppModel::Options quiet(TrashCan* can = nullptr) {
    AppModel::Options options;
    options.startUp = false;
    options.trashCan = can;
    return options;
}

// A tree with two folders of files, scanned and shown in a model.
class BasketTrash : public ::testing::Test {
protected:
    void SetUp() override {
        tree.mkdirs("a/deep");
        tree.mkdirs("b");
        tree.write("a/one", 5000);
        tree.write("a/two", 9000);
        tree.write("a/deep/three", 3000);
        tree.write("b/four", 20000);
        index = test::scanTree(tree.path());
        ActionsProbe::show(model, index);
    }
    NodeId id(const std::string& relative) const { return *index->lookup(tree / relative); }
    // Runs a trash call to its end.
    void trashAndWait(const NodeIds& nodes, const std::vector<std::string>& skipped = {}) {
        const int before = model.revision();
        model.trash(nodes, skipped);
        ASSERT_TRUE(waitFor([&] { return model.revision() != before; }));
    }

    test::ScopedDataHome data;
    test::TempDir tree;
    test::FakeDesktop desktop;
    AppModel model{desktop, quiet()};
    IndexRef index;
};

TEST_F(BasketTrash, TogglingFollowsTheBasketRules) {
    const NodeId a = id("a"), one = id("a/one"), deep = id("a/deep"), three = id("a/deep/three");
    const NodeId four = id("b/four");
    QSignalSpy changed(&model.basket, &PropertyNotifier::changed);
    model.toggleBasket(one);
    model.toggleBasket(three);
    model.toggleBasket(four);
    EXPECT_EQ(model.basket(), (NodeIds{one, three, four}));
    EXPECT_EQ(model.basketSize(), index->size(one) + index->size(three) + index->size(four));
    // A picked entry again: it leaves, the others keep their order.
    model.toggleBasket(three);
    EXPECT_EQ(model.basket(), (NodeIds{one, four}));
    model.toggleBasket(three);
    // A folder with picked descendants replaces them, at the end.
    model.toggleBasket(a);
    EXPECT_EQ(model.basket(), (NodeIds{four, a}));
    EXPECT_TRUE(model.inBasket(three));
    EXPECT_TRUE(model.inBasket(deep));
    EXPECT_FALSE(model.inBasket(0));
    // Below a picked folder, and the root: nothing changes.
    const auto seen = changed.count();
    model.toggleBasket(deep);
    model.toggleBasket(0);
    EXPECT_EQ(model.basket(), (NodeIds{four, a}));
    EXPECT_EQ(changed.count(), seen);
    // An id no node of the shown generation has.
    model.toggleBasket(index->count());
    EXPECT_FALSE(model.inBasket(index->count()));
    EXPECT_EQ(model.basket(), (NodeIds{four, a}));
}

TEST_F(BasketTrash, SettingTheWholeBasketIsOneChangeAndKeepsTheRules) {
    const NodeId a = id("a"), one = id("a/one"), three = id("a/deep/three");
    const NodeId four = id("b/four");
    for (NodeId node : {one, three, four})
        model.toggleBasket(node);
    QSignalSpy changed(&model.basket, &PropertyNotifier::changed);
    model.setBasket({});
    EXPECT_TRUE(model.basket().empty());
    EXPECT_EQ(model.basketSize(), 0u);
    EXPECT_EQ(changed.count(), 1);
    model.setBasket({});
    EXPECT_EQ(changed.count(), 1);  // unchanged: not announced

    // The root, foreign ids, repeats and entries inside another entry are left out; the rest
    // keep their order, whichever of a folder and its contents comes first.
    model.setBasket({three, 0, four, index->count(), a, four, one});
    EXPECT_EQ(model.basket(), (NodeIds{four, a}));
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(model.inBasket(three));
    // The toggle rules go on from there.
    model.toggleBasket(a);
    EXPECT_EQ(model.basket(), NodeIds{four});
}

// What the rules refuse is not picked: the menu's reason and the toast's say why, in the same
// words.
TEST_F(BasketTrash, APickTheRulesRefuseSaysWhy) {
    struct Case {
        const char* item;
        std::function<void()> change;  // after the scan
        const char* why;
        bool needsRoot = false;
    };
    const std::vector<Case> cases = {
        {"a/one", [&] { ASSERT_EQ(::lchown((tree / "a/one").c_str(), test::nobody, test::nobody), 0); },
         "belongs to another user", true},
        {"a/two",
         [&] {
             test::moveAway(tree / "a/two", tree / "b");
             tree.mkdirs("a/two");
         },
         "changed since it was listed"},
        {"a/deep/three", [&] { test::moveAway(tree / "a/deep/three", tree / "b"); },
         "no longer there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        if (c.needsRoot && ::geteuid() != 0) continue;
        c.change();
        const NodeId node = id(c.item);
        EXPECT_EQ(model.pickRefusal(node), c.why);
        model.toggleBasket(node);
        EXPECT_TRUE(model.basket().empty());
        ASSERT_TRUE(model.toast());
        EXPECT_EQ(model.toast()->title, "Can't pick that");
        EXPECT_EQ(model.toast()->detail,
                  QString::fromStdString(index->name(node)) + QStringLiteral(u" \u2014 ") + c.why);
    }
    EXPECT_EQ(model.pickRefusal(id("b/four")), "");
}

TEST(BasketWithoutIndex, DoesNothing) {
    test::FakeDesktop desktop;
    AppModel model(desktop, quiet());
    model.setBasket({3, 4});
    EXPECT_TRUE(model.basket().empty());
    model.toggleBasket(3);
    EXPECT_TRUE(model.basket().empty());
    EXPECT_FALSE(model.inBasket(3));
    EXPECT_EQ(model.basketSize(), 0u);
    model.trash({3}, {"x"});
    EXPECT_FALSE(model.trashing());
    EXPECT_FALSE(model.toast());
}

TEST_F(BasketTrash, TwoFilesGoToTheRealTrashWithTheirRecordedSizes) {
    const NodeId one = id("a/one"), two = id("a/two"), four = id("b/four");
    model.toggleBasket(one);
    model.toggleBasket(two);
    model.toggleBasket(four);
    const std::uint64_t sizes = index->size(one) + index->size(two);
    const std::uint64_t folderBefore = index->size(id("a"));
    model.trash({one, two}, {});
    EXPECT_TRUE(model.trashing());
    ASSERT_TRUE(waitFor([&] { return !model.trashing(); }));
    ASSERT_TRUE(model.toast());
    EXPECT_EQ(model.toast()->title, "Moved " + Fmt::bytes(sizes) + " to the Trash");
    EXPECT_EQ(model.toast()->detail, "2 items moved to the Trash");
    EXPECT_TRUE(model.toast()->good);
    EXPECT_EQ(model.revision(), 1);
    EXPECT_EQ(model.basket(), (NodeIds{four}));
    EXPECT_FALSE(exists(tree / "a/one"));
    EXPECT_TRUE(exists(homeTrashDirectory() + "/files/one"));
    EXPECT_TRUE(exists(homeTrashDirectory() + "/files/two"));
    EXPECT_TRUE(index->isRemoved(one));
    EXPECT_EQ(index->size(id("a")), folderBefore - sizes);

    trashAndWait({four});
    EXPECT_EQ(model.toast()->detail, "1 item moved to the Trash");
    EXPECT_TRUE(model.basket().empty());
}

TEST_F(BasketTrash, ToastsOfFailures) {
    // Protected: this application's own data folder.
    const std::string own = appDataDirectory();
    ::mkdir(own.c_str(), 0700);
    for (const char* name : {"p1", "p2", "p3", "p4", "p5"}) {
        ::mkdir((own + "/" + name).c_str(), 0700);
    }
    const IndexRef data = test::scanTree(dataHome());
    ActionsProbe::show(model, data);
    NodeIds five;
    for (const char* name : {"p1", "p2", "p3", "p4", "p5"}) {
        five.push_back(*data->lookup(own + "/" + name));
    }
    trashAndWait(five);
    EXPECT_EQ(model.toast()->title, "Couldn't move that");
    EXPECT_EQ(model.toast()->detail, "Skipped p1, p2, p3 +2 \u2014 a protected place");
    EXPECT_FALSE(model.toast()->good);
    EXPECT_EQ(model.revision(), 1);
    EXPECT_TRUE(exists(own + "/p1"));

    // Exactly three: no tail; names skipped by the caller come first, and the reason names the
    // item it is about when the others stayed for another.
    trashAndWait({five[0]}, {"held", "back"});
    EXPECT_EQ(model.toast()->detail, "Skipped held, back, p1 \u2014 p1: a protected place");

    // Some moved, some not: still a success, naming what stayed.
    ActionsProbe::show(model, index);
    const std::uint64_t size = index->size(id("a/one"));
    trashAndWait({id("a/one")}, {"cache"});
    EXPECT_EQ(model.toast()->title, "Moved " + Fmt::bytes(size) + " to the Trash");
    EXPECT_EQ(model.toast()->detail, "Skipped cache");
    EXPECT_TRUE(model.toast()->good);

    // Skipped names alone are never reported.
    const auto toast = model.toast();
    model.trash({}, {"x"});
    EXPECT_FALSE(model.trashing());
    // Nor ids that no node of the shown generation has.
    model.trash({index->count(), index->count() + 7}, {"x"});
    EXPECT_FALSE(model.trashing());
    EXPECT_EQ(model.toast(), toast);
}

TEST_F(BasketTrash, TheExploredFolderGoneMeansTheRoot) {
    ActionsProbe::setCurrent(model, id("a/deep"));
    trashAndWait({id("a")});
    EXPECT_EQ(model.current(), 0u);
    ActionsProbe::setCurrent(model, id("b"));
    trashAndWait({id("b/four")});
    EXPECT_EQ(model.current(), id("b"));
}

TEST_F(BasketTrash, ASearchRunsAgainOnlyWhenThereIsAQuery) {
    QSignalSpy searching(&model.searching, &PropertyNotifier::changed);
    trashAndWait({id("a/deep/three")});
    EXPECT_EQ(searching.count(), 0);

    const NodeId one = id("a/one"), two = id("a/two");
    model.setQuery("one");
    ASSERT_TRUE(waitFor([&] { return !model.searching() && !model.results().empty(); }));
    ASSERT_EQ(model.results(), (NodeIds{one}));
    model.trash({one, two}, {});
    ASSERT_TRUE(waitFor([&] { return !model.trashing() && !model.searching(); }));
    ASSERT_TRUE(waitFor([&] { return model.results().empty(); }));
}

TEST_F(BasketTrash, ANodeAlreadyGoneIsReportedNotMoved) {
    test::TempDir holding;
    test::RecordingTrashCan can(holding.path());
    AppModel recorded(desktop, quiet(&can));
    ActionsProbe::show(recorded, index);
    const NodeId a = id("a"), one = id("a/one");
    const int before = recorded.revision();
    recorded.trash({a, one}, {});
    ASSERT_TRUE(waitFor([&] { return recorded.revision() != before; }));
    EXPECT_EQ(can.asked(), (std::vector<std::string>{tree / "a"}));
    EXPECT_EQ(recorded.toast()->detail, "Skipped one \u2014 no longer there");
    // A refused move leaves the node as it was.
    can.refuse(tree / "b/four");
    recorded.trash({id("b/four")}, {});
    ASSERT_TRUE(waitFor([&] { return recorded.revision() == before + 2; }));
    EXPECT_FALSE(index->isRemoved(id("b/four")));
    EXPECT_EQ(recorded.toast()->title, "Couldn't move that");
    EXPECT_EQ(recorded.toast()->detail, "Skipped four");
}

TEST_F(BasketTrash, AnOutcomeMeetsANewerGenerationByPath) {
    test::TempDir holding;
    test::RecordingTrashCan can(holding.path());
    AppModel recorded(desktop, quiet(&can));
    ActionsProbe::show(recorded, index);
    recorded.toggleBasket(id("a/one"));
    recorded.toggleBasket(id("b/four"));
    ActionsProbe::setCleanPicked(recorded, {id("a/two"), id("a/one")});
    ActionsProbe::setCurrent(recorded, id("a/deep"));
    // A new file shifts the ids of the next generation.
    tree.write("a/new", 50000);
    const IndexRef next = test::scanTree(tree.path());
    recorded.trash({id("a/one"), id("a/deep")}, {});
    ActionsProbe::adopt(recorded, next);
    // The adoption also starts a run of the derived data, whose plan sets the ticks anew when it
    // lands first; only the outcome's own mapping is checked here.
    QSignalSpy replanned(&recorded.cleanPlan, &PropertyNotifier::changed);
    const NodeId four = *next->lookup(tree / "b/four");
    const NodeId two = *next->lookup(tree / "a/two");
    ASSERT_TRUE(waitFor([&] { return !recorded.trashing(); }));
    EXPECT_EQ(recorded.basket(), (NodeIds{four}));
    if (replanned.isEmpty()) {
        EXPECT_EQ(recorded.cleanPicked(), (NodeSet{two}));
    }
    EXPECT_EQ(recorded.current(), 0u);
    // The old generation has them marked; the new one leaves them to its own refresh.
    EXPECT_TRUE(index->isRemoved(id("a/one")));
    EXPECT_FALSE(next->isRemoved(*next->lookup(tree / "a/one")));
}

TEST(Protected, ThePartsListAndThisSystemsFolders) {
    test::ScopedEnv homeVar("HOME", "/home/tester");
    test::ScopedEnv dataVar("XDG_DATA_HOME", std::nullopt);
    const std::string home = homeDirectory();
    ASSERT_EQ(home, "/home/tester");
    for (const std::string& p :
         {std::string("/"), home, home + "/Library", home + "/Desktop", home + "/Documents",
          home + "/Downloads", std::string("/Applications"), std::string("/Users"),
          std::string("/Library"), std::string("/Volumes"), std::string("/usr"),
          std::string("/System/Volumes/Data/x"), std::string("/private/tmp/x"),
          std::string("/opt/tool"), std::string("/etc/passwd"), std::string("/var/log"),
          std::string("/home"), std::string("/tmp"), homeTrashDirectory(),
          homeTrashDirectory() + "/files/x", dataHome(), appDataDirectory(),
          appDataDirectory() + "/abc.idx", std::string("relative/path"), std::string("")}) {
        EXPECT_TRUE(AppModel::isProtected(p)) << p;
    }
    for (const std::string& p :
         {std::string("/Volumes/Disk/x"), std::string("/Volumes/Disk"), std::string("/privateer"),
          std::string("/Library/Caches"), std::string("/Users/other"), std::string("/tmp/x"),
          std::string("/home/other"), home + "/Library/Caches", home + "/Trashy",
          dataHome() + "/other"}) {
        EXPECT_FALSE(AppModel::isProtected(p)) << p;
    }
}

}  // namespace
}  // namespace tamrel
