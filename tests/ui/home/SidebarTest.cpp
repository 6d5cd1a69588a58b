#include "ui/home/Sidebar.h"

#include <QLabel>
#include <QTest>

#include <memory>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "ui/theme/LED.h"

namespace tamrel {
namespace {

TEST(SidebarRules, SelectionNeedsTheExactPathAndAScreenOtherThanWelcome) {
    const OptionalPath target = std::string("/data");
    EXPECT_TRUE(rowSelected(target, "/data", Phase::scanning));
    EXPECT_TRUE(rowSelected(target, "/data", Phase::results));
    EXPECT_FALSE(rowSelected(target, "/data", Phase::home));  // even with a remembered target
    EXPECT_FALSE(rowSelected(target, "/data/", Phase::results));
    EXPECT_FALSE(rowSelected(std::nullopt, "/data", Phase::results));
}

TEST(SidebarRules, VolumeRowsShowFreeSpaceAndTheUsedShare) {
    const SidebarRowData d = volumeRow({"/", "Computer", 1'000'000'000, 250'000'000, true});
    EXPECT_EQ(d.title, "Computer");
    EXPECT_EQ(d.symbol, "internaldrive.fill");
    EXPECT_EQ(d.hex, 0xFF6A2Bu);
    EXPECT_EQ(*d.detail, "250 MB free");
    EXPECT_DOUBLE_EQ(*d.fill, 0.75);
    EXPECT_EQ(volumeRow({"/mnt/x", "X", 0, 0, false}).fill, 0.0);      // total 0
    EXPECT_EQ(volumeRow({"/mnt/x", "X", 100, 500, false}).fill, 0.0);  // more free than total
    EXPECT_EQ(volumeRow({"/mnt/x", "X", 100, 500, false}).symbol, "externaldrive.fill");
    const SidebarRowData place =
        placeRow({"Downloads", "arrow.down.circle.fill", "/h/Downloads", 0x4FA8F7});
    EXPECT_FALSE(place.detail);
    EXPECT_FALSE(place.fill);
}

TEST(SidebarRules, UsedBarNeverNarrowerThanFourPoints) {
    EXPECT_EQ(fillBarWidth(0, 150), 4);
    EXPECT_EQ(fillBarWidth(0.01, 150), 4);
    EXPECT_EQ(fillBarWidth(0.5, 150), 75);
    EXPECT_EQ(fillBarWidth(1, 150), 150);
}

TEST(SidebarRules, IndexedHelpNamesTheDateRelativeToNow) {
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    EXPECT_EQ(indexedHelp(now.addSecs(-20), now), "Indexed now. Opens instantly.");
    EXPECT_EQ(indexedHelp(now.addSecs(-300), now), "Indexed 5 minutes ago. Opens instantly.");
    EXPECT_EQ(relativeDate(now.addSecs(-60), now), "1 minute ago");
    EXPECT_EQ(relativeDate(now.addDays(-1), now), "yesterday");
    EXPECT_EQ(relativeDate(now.addDays(-3), now), "3 days ago");
    EXPECT_EQ(relativeDate(now.addDays(-9), now), "last week");
    EXPECT_EQ(relativeDate(now.addDays(-100), now), "3 months ago");
    EXPECT_EQ(relativeDate(now.addDays(-800), now), "2 years ago");
}

TEST(SidebarRules, AccessBox) {
    const RuleSet designed = RuleSet::designed, onLinux = RuleSet::linuxDesktop;
    EXPECT_EQ(accessLook(true, designed).heading, "Full Disk Access");
    EXPECT_TRUE(accessLook(true, designed).hint.isEmpty());
    EXPECT_EQ(accessLook(false, designed).heading, "Limited access");
    EXPECT_EQ(accessLook(false, designed).hint, "Some folders stay hidden until you allow it.");
    EXPECT_EQ(accessLook(false, designed).led, QColor(255, 176, 32));
    // Nothing grants access on Linux: the box says what the process may read.
    EXPECT_EQ(accessLook(true, onLinux).heading, "Access to every folder");
    EXPECT_TRUE(accessLook(true, onLinux).hint.isEmpty());
    EXPECT_EQ(accessLook(false, onLinux).heading, "Limited access");
    EXPECT_EQ(accessLook(false, onLinux).hint, "Root-only and other users' folders stay hidden.");
}

class SidebarTest : public test::UiTest {
protected:
    // A sidebar of the model's volumes and places, shown at the window's sidebar size.
    std::unique_ptr<Sidebar> shownSidebar() {
        model().refreshVolumes();
        auto sidebar = std::make_unique<Sidebar>(model());
        sidebar->resize(228, 800);
        sidebar->show();
        return sidebar;
    }
};

TEST_F(SidebarTest, RowsFollowTheModelAndAClickOpensTheirPath) {
    AppModel& m = model();
    const auto shown = shownSidebar();
    Sidebar& sidebar = *shown;
    ASSERT_EQ(sidebar.placeRows().size(), static_cast<qsizetype>(m.places().size()));
    SidebarRow* homeRow = nullptr;
    for (SidebarRow* r : sidebar.placeRows()) {
        if (r->data().path == home()) homeRow = r;
    }
    ASSERT_NE(homeRow, nullptr);
    EXPECT_FALSE(homeRow->selected());
    EXPECT_FALSE(homeRow->indexed());
    EXPECT_TRUE(homeRow->boltRect().isEmpty());

    QTest::mouseClick(homeRow, Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    EXPECT_EQ(*m.scanTarget(), home());
    EXPECT_TRUE(homeRow->selected());
    // The finished scan is saved: the row now carries the bolt.
    ASSERT_TRUE(waitFor([&] { return homeRow->indexed(); }));
    EXPECT_FALSE(homeRow->boltRect().isEmpty());
    for (SidebarRow* r : sidebar.placeRows()) {
        if (r != homeRow) {
            EXPECT_FALSE(r->selected()) << r->data().path;
        }
    }
    // A refresh of the lists keeps the row.
    m.refreshVolumes();
    EXPECT_TRUE(sidebar.placeRows().contains(homeRow));
}

TEST_F(SidebarTest, ATargetThatIsNeitherDiskNorPlaceSelectsNoRow) {
    AppModel& m = model();
    m.refreshVolumes();
    Sidebar sidebar(m);
    scanned(tree.path() + "/data");
    for (SidebarRow* r : sidebar.volumeRows() + sidebar.placeRows())
        EXPECT_FALSE(r->selected());
}

TEST_F(SidebarTest, OpenFolderAsksForAFolderWithTheScanPrompt) {
    AppModel& m = model();
    Sidebar sidebar(m);
    desktop.picked = std::nullopt;  // the picker is cancelled: nothing changes
    QTest::mouseClick(sidebar.openFolderRow(), Qt::LeftButton);
    ASSERT_EQ(desktop.pickers.size(), 1u);
    EXPECT_EQ(desktop.pickers[0].first, "Scan");
    EXPECT_EQ(desktop.pickers[0].second, "Pick a folder to look inside");
    EXPECT_EQ(m.phase(), Phase::home);
    EXPECT_FALSE(m.scanTarget());
}

TEST_F(SidebarTest, HoverTintsOnlyRowsThatAreNotSelected) {
    const auto shown = shownSidebar();
    Sidebar& sidebar = *shown;
    ASSERT_FALSE(sidebar.placeRows().isEmpty());
    SidebarRow* row = sidebar.placeRows().first();
    const QImage before = row->grab().toImage();
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(row, &enter);
    EXPECT_TRUE(row->hovered());
    const QImage after = row->grab().toImage();
    // The ground at the row's right end turns a faint tangerine.
    const QColor tinted(after.pixel(after.width() - 4, after.height() / 2));
    EXPECT_NE(before.pixel(before.width() - 4, before.height() / 2),
              after.pixel(after.width() - 4, after.height() / 2));
    EXPECT_GT(tinted.red(), tinted.blue());
}

// A row reached with Tab shows the keys' focus ring along its left side; a click takes no focus.
TEST_F(SidebarTest, ARowWithTheFocusShowsTheRing) {
    const auto shown = shownSidebar();
    Sidebar& sidebar = *shown;
    ASSERT_TRUE(test::exposed(sidebar));
    ASSERT_FALSE(sidebar.placeRows().isEmpty());
    SidebarRow* row = sidebar.placeRows().first();
    EXPECT_EQ(row->focusPolicy(), Qt::TabFocus);
    const QImage before = row->grab().toImage();
    row->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(row->hasFocus());
    const QImage after = row->grab().toImage();
    const int y = after.height() / 2;
    EXPECT_NE(before.pixel(1, y), after.pixel(1, y));
    EXPECT_GT(QColor(after.pixel(1, y)).red(), QColor(after.pixel(1, y)).blue());
}

// Holding the button down sinks the selected row's key; a row that is not selected shows no
// pressed look.
TEST_F(SidebarTest, OnlyTheSelectedRowSinksWhileHeld) {
    AppModel& m = model();
    const auto shown = shownSidebar();
    Sidebar& sidebar = *shown;
    m.scan(home(), true);
    ASSERT_TRUE(waitFor([&] { return m.phase() == Phase::results; }));
    SidebarRow* selected = nullptr;
    SidebarRow* other = nullptr;
    for (SidebarRow* r : sidebar.placeRows()) {
        (r->selected() ? selected : other) = r;
    }
    ASSERT_NE(selected, nullptr);
    ASSERT_NE(other, nullptr);
    for (SidebarRow* row : {selected, other}) {
        const QImage rest = row->grab().toImage();
        QTest::mousePress(row, Qt::LeftButton, {}, QPoint(20, 10));
        const QImage held = row->grab().toImage();
        QTest::mouseRelease(row, Qt::LeftButton, {}, QPoint(-50, -50));  // outside: no click
        EXPECT_EQ(rest == held, row == other) << row->data().path;
        // The face sinks under the content, which keeps its place: the glyph tile is unmoved.
        const int top = (row->height() - 2 - 26) / 2 + 1;
        const QRect tile(11, top, 22, 22);
        EXPECT_EQ(rest.copy(tile), held.copy(tile)) << row->data().path;
    }
}

// The box is padded 12: the LED's 7-point disc starts 12 points in, the heading 7 points after
// the disc, and the hint line 12 points in.
TEST_F(SidebarTest, AccessBoxPutsTheLedAndTextsTwelvePointsIn) {
    AccessStatus box(model());
    box.resize(200, box.sizeHint().height());
    box.show();
    QCoreApplication::processEvents();
    const LED* led = box.findChild<LED*>();
    ASSERT_NE(led, nullptr);
    EXPECT_DOUBLE_EQ(QRectF(led->geometry()).center().x(), 12 + 3.5);
    QLabel* heading = nullptr;
    QLabel* hint = nullptr;
    for (QLabel* l : box.findChildren<QLabel*>())
        (l->text() == box.heading() ? heading : hint) = l;
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->x(), 12 + 7 + 7);
    ASSERT_NE(hint, nullptr);
    if (!box.hint().isEmpty()) {
        EXPECT_EQ(hint->x() + hint->contentsMargins().left(), 12);
    }
}

}  // namespace
}  // namespace tamrel
