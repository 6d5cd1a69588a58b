#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "core/scan/Scanner.h"
#include "core/space/CleanPlan.h"
#include "tests/core/space/LinuxDesktop.h"
#include "tests/model/app/ActionsProbe.h"
#include "tests/support/IndexBuilder.h"
#include "tests/ui/UiFixture.h"
#include "tests/ui/tools/ToolsTree.h"
#include "ui/results/ResultsHeader.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/tools/SystemDataView.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {
namespace {

SystemDataReport reportOf(std::vector<std::pair<std::string, std::uint64_t>> buckets,
                          std::uint64_t purgeable, std::uint64_t unseen) {
    SystemDataReport r;
    for (auto& [id, bytes] : buckets) {
        SpaceBucket b;
        b.id = id;
        b.title = id;
        b.bytes = bytes;
        r.buckets.push_back(b);
    }
    r.purgeable = purgeable;
    r.unseen = unseen;
    return r;
}

TEST(SystemDataText, TheBarKeepsReportOrderPutsHiddenSpaceLastAndNeverDrawsASliver) {
    const RuleSet designed = RuleSet::designed;
    const auto segs =
        barSegments(reportOf({{"dev", 9'000'000'000}, {"logs", 1}}, 500, 0), designed);
    ASSERT_EQ(segs.size(), 3u);  // no unseen segment at 0
    EXPECT_EQ(segs[0].id, "dev");
    EXPECT_EQ(segs[1].id, "logs");
    EXPECT_EQ(segs[2].id, "purgeable");
    EXPECT_EQ(segs[2].hex, 0xD9D4CBu);
    const auto widths = barWidths(segs, 600);
    EXPECT_DOUBLE_EQ(widths[1], 4);  // the 1-byte bucket is still 4 wide
    EXPECT_NEAR(widths[0], 594.0 * 9e9 / (9e9 + 501), 1e-6);
    EXPECT_EQ(segmentTip(segs[0]), QStringLiteral("dev \u00B7 9 GB"));
    // An empty report still divides by 1.
    EXPECT_EQ(barTotal(barSegments(SystemDataReport{}, designed)), 1u);
    const auto all = barSegments(reportOf({}, 3, 4), designed);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].title, QStringLiteral("Not visible to apps"));
    EXPECT_EQ(barSegments(reportOf({}, 0, 4), RuleSet::linuxDesktop)[0].title,
              QStringLiteral("Not in a readable folder"));
}

TEST(SystemDataText, NotesColumnsAndBadges) {
    EXPECT_FALSE(folderNote("/"));
    EXPECT_EQ(folderNote("/home/me/Projects/"),
              QStringLiteral("You're looking inside Projects. Open Computer in the sidebar for the "
                             "whole picture."));
    // "/" goes by the name the sidebar gives it.
    std::vector<Volume> volumes{{"/media/usb", "Stick", 1, 1, false}, {"/", "", 1, 1, true}};
    EXPECT_EQ(rootVolumeName(volumes), QStringLiteral("Computer"));
    volumes[1].name = QStringLiteral("fedora");
    EXPECT_EQ(rootVolumeName(volumes), QStringLiteral("fedora"));
    EXPECT_EQ(folderNote("/srv", rootVolumeName(volumes)),
              QStringLiteral("You're looking inside srv. Open fedora in the sidebar for the "
                             "whole picture."));
    EXPECT_EQ(gridColumns(733, 360, 14), 1);
    EXPECT_EQ(gridColumns(734, 360, 14), 2);
    EXPECT_EQ(gridColumns(1108, 360, 14), 3);
    EXPECT_EQ(gridColumns(100, 360, 14), 1);
    EXPECT_EQ(adviceLook(SpaceBucket::Advice::system).label,
              QStringLiteral("Managed by the system"));
    EXPECT_EQ(adviceLook(SpaceBucket::Advice::review).fill, QColor(252, 239, 210));
    EXPECT_EQ(bucketHex("macos"), 0x6E6A63u);
    EXPECT_EQ(bucketHex("Caches"), 0xBDB8AEu);  // ids match exactly
}

TEST(SystemDataText, FriendlyNamesExplainOnlyExactMatches) {
    test::IndexBuilder b("/");
    b.dir("/private/var/folders/zz");
    b.dir("/private/var/folders/zzz");
    b.dir("/System/Volumes/Preboot/0A1B2C3D-4E5F-6789-ABCD-EF0123456789");
    b.dir("/Users/t/Library/Caches/0a1b2c3d-4e5f-6789-abcd-ef0123456789");
    b.dir("/System/Cryptexes");
    b.dir("/System/cryptexes");
    b.file("/private/var/vm/sleepimage", 10);
    b.file("/private/var/vm/kernelcore", 10);
    b.dir("/x/0A1B2C3D-4E5F-6789-ABCD-EF012345678");  // one digit short
    const auto index = b.build();
    const auto name = [&](const char* path) {
        return friendlyName(*index, *index->lookup(path), RuleSet::designed);
    };
    EXPECT_EQ(name("/private/var/folders/zz"), QStringLiteral("Temporary files for your account"));
    EXPECT_EQ(name("/private/var/folders/zzz"), QStringLiteral("zzz"));
    EXPECT_EQ(name("/System/Volumes/Preboot/0A1B2C3D-4E5F-6789-ABCD-EF0123456789"),
              QStringLiteral("Startup files for the system"));
    EXPECT_EQ(name("/Users/t/Library/Caches/0a1b2c3d-4e5f-6789-abcd-ef0123456789"),
              QStringLiteral("Data for Caches (0a1b2c3d)"));
    EXPECT_EQ(name("/System/Cryptexes"), QStringLiteral("Cryptexes (Safari & system extensions)"));
    EXPECT_EQ(name("/System/cryptexes"), QStringLiteral("cryptexes"));
    EXPECT_EQ(name("/private/var/vm/sleepimage"),
              QStringLiteral("sleepimage (saved memory for sleep)"));
    EXPECT_EQ(name("/private/var/vm/kernelcore"), QStringLiteral("kernelcore (memory dump)"));
    EXPECT_EQ(name("/x/0A1B2C3D-4E5F-6789-ABCD-EF012345678"),
              QStringLiteral("0A1B2C3D-4E5F-6789-ABCD-EF012345678"));
}

TEST(SystemDataText, HiddenSpaceRows) {
    SystemDataReport r;
    r.purgeable = 0;
    auto rows = hiddenRows(r, RuleSet::designed);
    ASSERT_EQ(rows.size(), 2u);  // purgeable and snapshots always; nothing unseen or unreadable
    EXPECT_EQ(rows[0].value, QStringLiteral("0 bytes"));
    EXPECT_EQ(rows[1].value, QStringLiteral("None"));
    EXPECT_TRUE(rows[1].text.startsWith(QStringLiteral("No local Time Machine")));
    r.snapshots = 1234;
    r.unseen = 5'000'000;
    r.unreadable = 12345;
    rows = hiddenRows(r, RuleSet::designed);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].value, QStringLiteral("1234"));  // plain digits
    EXPECT_EQ(rows[2].title, QStringLiteral("Not visible to apps"));
    EXPECT_EQ(rows[3].value, QStringLiteral("12,345"));  // the locale's grouping

    // Linux has neither purgeable space nor local snapshots: their rows are never drawn, and
    // a report with nothing unseen and nothing unreadable leaves no row (the card goes).
    rows = hiddenRows(r, RuleSet::linuxDesktop);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].title, QStringLiteral("Not in a readable folder"));
    EXPECT_EQ(rows[1].title, QStringLiteral("Folders Tamrel can't read"));
    EXPECT_EQ(rows[1].text, QStringLiteral("Your account isn't allowed to open them, so their "
                                           "size counts as zero here."));
    EXPECT_TRUE(hiddenRows(SystemDataReport{}, RuleSet::linuxDesktop).empty());
    EXPECT_EQ(hiddenCardTitle(RuleSet::linuxDesktop), QStringLiteral("Space Tamrel can't see"));
}

// Every "Clean these up" key leads to a plan group that holds the card's items; where the plan
// leaves a shown item out (apt's cache, the system's logs, the Trash), the card says which and
// why. On a Linux desktop whose Spotify cache lies inside its Flatpak home in the app data.
TEST(SystemDataText, EveryCleanKeyLeadsToAGroupHoldingTheCardsItems) {
    test::LinuxDesktop d;
    test::makeLinuxHome(d.dir, "home/u");
    d.rootFile("var/cache/apt/archives/tool_1.0_amd64.deb", 3'000'000);
    d.rootFile("var/log/journal/abc/system.journal", 2'000'000);
    d.scan();
    const RuleProfile profile = d.profile();
    const SystemDataReport report = systemData(*d.index, d.home, VolumeFacts{}, profile);
    CleanContext context;
    context.home = d.home;
    context.profile = profile;
    const std::vector<CleanGroup> plan = cleanPlan(*d.index, context, 0);
    // The group that offers the node, a folder around it or something inside it.
    const auto groupOf = [&](NodeId n) -> std::string {
        for (const CleanGroup& g : plan) {
            for (const CleanItem& item : g.items) {
                if (item.node == n || d.index->isAncestor(item.node, n) ||
                    d.index->isAncestor(n, item.node))
                    return g.id;
            }
        }
        return "";
    };
    std::map<std::string, CleanKeyLook> looks;
    for (const SpaceBucket& b : report.buckets) {
        const CleanKeyLook look = cleanKeyLook(*d.index, b, plan, d.home, RuleSet::linuxDesktop);
        looks[b.id] = look;
        bool anyHeld = false;
        for (std::size_t i = 0; i < std::min(kBucketItemLines, b.top.size()); ++i) {
            const std::string group = groupOf(b.top[i]);
            anyHeld |= !group.empty();
            if (group.empty() && b.advice == SpaceBucket::Advice::safe) {
                EXPECT_FALSE(look.note.isEmpty())
                    << b.id << ": the card says the plan leaves out " << d.index->path(b.top[i]);
            }
        }
        EXPECT_EQ(look.key, anyHeld && b.advice == SpaceBucket::Advice::safe) << b.id;
    }
    ASSERT_TRUE(looks.contains("caches") && looks.contains("trash") && looks.contains("logs"));
    EXPECT_TRUE(looks["caches"].key);
    EXPECT_EQ(looks["caches"].note,
              QString::fromStdString("Clean up leaves " + d.root +
                                     "/var/cache alone: the package manager clears it (apt "
                                     "clean, dnf clean all), with administrator rights."));
    EXPECT_TRUE(looks["logs"].key) << "the X session logs are in the plan";
    EXPECT_EQ(looks["logs"].note, QString::fromStdString("Clean up leaves " + d.root +
                                                         "/var/log alone: it belongs to the "
                                                         "system."));
    EXPECT_FALSE(looks["trash"].key);
    EXPECT_EQ(looks["trash"].note, QStringLiteral("Clean up leaves the Trash alone: empty it in "
                                                  "the file manager to get this space back."));
    EXPECT_FALSE(looks["appdata"].key) << "a bucket to look at first has no key";
}

TEST(SystemDataSummary, HoveringASegmentFadesTheOthersAndLeavingBringsThemBack) {
    test::TestClock clock;
    test::ScopedScreenClock screenClock(clock);
    SpringAnimator::setInstant(false);
    SystemSummary summary(RuleSet::designed);
    summary.setReport(reportOf({{"dev", 600}, {"logs", 300}, {"caches", 100}}, 0, 0));
    summary.resize(700, int(SystemSummary::cardHeight()));
    const std::vector<QRectF> rects = summary.segmentRects();
    ASSERT_EQ(rects.size(), 3u);
    const auto moveTo = [&](QPointF pos) {
        QMouseEvent move(QEvent::MouseMove, pos, summary.mapToGlobal(pos), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&summary, &move);
    };
    // Once the fade's 0.15 s have passed.
    const auto settled = [&](std::vector<double> want) {
        clock.advance(std::chrono::milliseconds(200));
        for (std::size_t i = 0; i < want.size(); ++i)
            if (summary.segmentOpacity(i) != want[i]) return false;
        return true;
    };
    moveTo(rects[1].center());
    // The fade starts where the segments were.
    EXPECT_EQ(summary.segmentOpacity(0), 1.0);
    EXPECT_TRUE(settled({0.35, 1.0, 0.35}));
    moveTo(rects[2].center());
    EXPECT_TRUE(settled({0.35, 0.35, 1.0}));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&summary, &leave);
    EXPECT_TRUE(settled({1.0, 1.0, 1.0}));
    SpringAnimator::setInstant(true);
}

// The screen over a real model and a home folder that fills many buckets.
class SystemDataScreen : public test::UiTest {
protected:
    void SetUp() override {
        test::makeToolsTree(tree);
        scanned(home());
        ASSERT_TRUE(waitFor([&] { return model().systemReport().has_value(); }));
    }
};

TEST_F(SystemDataScreen, CardsFollowTheReportAndTheirKeysActOnTheShownGeneration) {
    AppModel& m = model();
    SystemDataView view(m);
    view.resize(1100, 800);
    view.show();
    ASSERT_FALSE(view.loading());
    const SystemDataReport& report = *m.systemReport();
    ASSERT_EQ(view.cards().size(), report.buckets.size());
    ASSERT_GE(view.cards().size(), 5u);
    for (std::size_t i = 0; i < report.buckets.size(); ++i) {
        const BucketCard* card = view.cards()[i];
        EXPECT_EQ(card->bucket().id, report.buckets[i].id);
        // The key where the plan holds the card's items, and never on a bucket to look at.
        EXPECT_EQ(card->cleanKey() != nullptr,
                  cleanKeyLook(*m.index(), report.buckets[i], m.cleanPlan(), home(),
                               AppModel::ruleSet())
                      .key)
            << report.buckets[i].id;
        if (report.buckets[i].advice != SpaceBucket::Advice::safe) {
            EXPECT_EQ(card->cleanKey(), nullptr);
        }
        EXPECT_NE(card->lookKey(), nullptr);
        EXPECT_EQ(card->height(), view.cards()[0]->height());  // four lines, filled or not
    }
    EXPECT_EQ(view.columns(), 2);
    EXPECT_EQ(view.cards()[0]->y(), view.cards()[1]->y());
    EXPECT_GT(view.cards()[2]->y(), view.cards()[0]->y());
    EXPECT_TRUE(view.note().contains(QStringLiteral("inside home.")));

    // Hovering a segment dims the others; leaving the bar restores them.
    SystemSummary* summary = view.summary();
    const std::vector<QRectF> rects = summary->segmentRects();
    ASSERT_GE(rects.size(), 2u);
    for (const QRectF& r : rects)
        EXPECT_GE(r.width(), 4.0);
    const auto moveTo = [&](QPointF pos) {
        QMouseEvent move(QEvent::MouseMove, pos, summary->mapToGlobal(pos), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(summary, &move);
    };
    moveTo(rects[1].center());
    ASSERT_TRUE(summary->hovered().has_value());
    EXPECT_EQ(*summary->hovered(), 1u);
    moveTo(QPointF(5, 5));
    EXPECT_FALSE(summary->hovered());
    moveTo(rects[0].center());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(summary, &leave);
    EXPECT_FALSE(summary->hovered());

    // "Clean these up" shows the Clean up tab, switching on its spring (0.3, damping 0.8).
    auto safe = std::find_if(view.cards().begin(), view.cards().end(),
                             [](BucketCard* c) { return c->cleanKey() != nullptr; });
    ASSERT_NE(safe, view.cards().end());
    std::optional<Spring> switchSpring;
    const auto watch = QObject::connect(&m.tab, &PropertyNotifier::changed, &view,
                                        [&] { switchSpring = tabSelectionSpring(); });
    QTest::mouseClick((*safe)->cleanKey(), Qt::LeftButton);
    QObject::disconnect(watch);
    EXPECT_EQ(m.tab(), Tab::tidy);
    ASSERT_TRUE(switchSpring.has_value());
    EXPECT_DOUBLE_EQ(switchSpring->response, 0.3);
    EXPECT_DOUBLE_EQ(switchSpring->damping, 0.8);

    // An item line opens its folder on Explore.
    BucketCard* first = view.cards()[0];
    ASSERT_FALSE(first->bucket().top.empty());
    const NodeId top = first->bucket().top[0];
    QTest::mouseClick(first, Qt::LeftButton, {}, first->itemRect(0).center().toPoint());
    EXPECT_EQ(m.tab(), Tab::explore);
    EXPECT_EQ(m.current(), top);

    // "Look inside" opens the first root.
    m.setTab(Tab::system);
    QTest::mouseClick(view.cards()[1]->lookKey(), Qt::LeftButton);
    EXPECT_EQ(m.current(), view.cards()[1]->bucket().roots.front());
}

// A move to the Trash shrinks a bucket: the report worked out again arrives in an animated step
// and the total and that bucket's size roll from what the screen showed; the others stay still.
TEST_F(SystemDataScreen, SizesRollFromWhatWasShownWhenTheReportChanges) {
    AppModel& m = model();
    SystemDataView view(m);
    view.resize(1100, 800);
    view.show();
    ASSERT_FALSE(view.loading());
    // One cache of several: its bucket stays in the report.
    const NodeId node = *m.index()->lookup(home() + "/.cache/pip/http/wheel");
    const auto holding = [&]() -> BucketCard* {
        for (BucketCard* c : view.cards())
            for (NodeId root : c->bucket().roots)
                if (root == node || m.index()->isAncestor(root, node)) return c;
        return nullptr;
    };
    BucketCard* card = holding();
    ASSERT_NE(card, nullptr);
    const std::string bucket = card->bucket().id;
    const std::uint64_t total = view.summary()->totalMotion().bytes();
    const std::uint64_t bytes = card->sizeMotion().bytes();

    SpringAnimator::setInstant(false);
    struct Seen {
        bool totalRolled = false, bucketRolled = false, otherRolled = false;
    } seen;
    // Connected after the screen's own slot: it sees the rebuilt cards.
    QObject::connect(&m.systemReport, &PropertyNotifier::changed, &view, [&] {
        if (!view.summary()) return;
        seen.totalRolled |= view.summary()->totalMotion().rolling();
        for (BucketCard* c : view.cards()) {
            if (c->bucket().id == bucket)
                seen.bucketRolled |= c->sizeMotion().rolling();
            else if (c->sizeMotion().rolling())
                seen.otherRolled = true;
        }
    });
    m.trash({node}, {});
    // The report worked out again for the pruned index.
    ASSERT_TRUE(waitFor([&] {
        return !m.trashing() && view.summary() && view.summary()->totalMotion().bytes() < total;
    }));
    EXPECT_TRUE(seen.totalRolled);
    EXPECT_TRUE(seen.bucketRolled);
    EXPECT_FALSE(seen.otherRolled);
    EXPECT_LT(view.summary()->totalMotion().bytes(), total);
    const auto after = std::find_if(view.cards().begin(), view.cards().end(),
                                    [&](BucketCard* c) { return c->bucket().id == bucket; });
    ASSERT_NE(after, view.cards().end());
    EXPECT_LT((*after)->sizeMotion().bytes(), bytes);
    SpringAnimator::setInstant(true);
}

TEST_F(SystemDataScreen, ARefreshedGenerationIsNeverReadWithTheOldIds) {
    AppModel& m = model();
    SystemDataView view(m);
    view.resize(1100, 800);
    view.show();
    const IndexRef old = m.index();
    // A file appears and a refreshed generation is adopted mid-way.
    put("home/.ollama/models/blobs/sha256-2", 50'000);
    const IndexRef next = [&] {
        ScanProgress progress;
        return IndexRef(Scanner::scan(home(), progress, 2));
    }();
    ActionsProbe::adopt(m, next);
    ASSERT_EQ(m.index(), next);
    // Whatever the screen shows now reads the shown generation: every id on a card names the
    // same path there as in the generation it was computed from.
    if (!view.loading()) {
        for (const BucketCard* card : view.cards()) {
            for (NodeId id : card->bucket().top) {
                ASSERT_LT(id, next->count());
                EXPECT_FALSE(next->path(id).empty());
            }
        }
    }
    ASSERT_TRUE(waitFor([&] { return !view.loading() && m.systemReport(); }));
    // A click on an item line opens the node of the shown generation.
    BucketCard* first = view.cards()[0];
    ASSERT_FALSE(first->bucket().top.empty());
    QTest::mouseClick(first, Qt::LeftButton, {}, first->itemRect(0).center().toPoint());
    EXPECT_EQ(m.index(), next);
    EXPECT_EQ(next->path(m.current()), next->path(first->bucket().top[0]));
    (void)old;

    // Another target shown: the report stays on screen (no waiting state) until its own comes,
    // its lines read in the new generation.
    const IndexRef other = [&] {
        ScanProgress progress;
        return IndexRef(Scanner::scan(home(), progress, 2));
    }();
    ActionsProbe::show(m, other);
    EXPECT_FALSE(view.loading());
    ASSERT_FALSE(view.cards().empty());
    for (const BucketCard* card : view.cards()) {
        for (NodeId id : card->bucket().top) {
            ASSERT_LT(id, other->count());
            EXPECT_FALSE(other->path(id).empty());
        }
    }
}

TEST_F(SystemDataScreen, WithoutAnIndexItShowsTheLoadingState) {
    test::FakeDesktop desktop2;
    AppModel::Options options2 = options;
    AppModel empty(desktop2, options2);
    SystemDataView view(empty);
    view.resize(900, 600);
    EXPECT_TRUE(view.loading());
    EXPECT_TRUE(view.cards().empty());
    EXPECT_EQ(view.summary(), nullptr);
}

}  // namespace
}  // namespace tamrel
