#include "ui/home/WelcomeView.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "ui/results/BinTray.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Keys.h"
#include "ui/theme/SegmentMeter.h"

namespace tamrel {
namespace {

TEST(WelcomeRules, TheDiskAtRootWinsWhereverItIsListed) {
    const Volume usb{"/media/usb", "USB", 100, 10, false};
    const Volume root{"/", "Computer", 200, 50, true};
    EXPECT_EQ(shownDisk({usb, root})->url, "/");
    EXPECT_EQ(shownDisk({usb})->url, "/media/usb");
    EXPECT_FALSE(shownDisk({}));
}

TEST(WelcomeRules, CardTexts) {
    const WelcomeCard c = welcomeCard({"/", "Main disk", 500'000'000'000, 123'400'000'000, true});
    EXPECT_EQ(c.name, "MAIN DISK");
    EXPECT_EQ(c.number, "123.4");
    EXPECT_EQ(c.unitFree, "GB FREE");
    EXPECT_EQ(c.usedLine, "376.6 GB USED OF 500 GB");
    EXPECT_DOUBLE_EQ(c.fraction, 376.6 / 500);
    EXPECT_EQ(welcomeCard({"/", "x", 0, 0, true}).fraction, 0);
    const WelcomeCard over = welcomeCard({"/", "x", 100, 900, true});
    EXPECT_EQ(over.fraction, 0);
    EXPECT_EQ(over.usedLine, "0 BYTES USED OF 100 BYTES");
}

class WelcomeTest : public test::UiTest {
protected:
    // Drops `urls` on the view as the file manager would.
    static bool drop(WelcomeView& view, const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&view, &enter);
        const bool highlighted = view.dropping();
        QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
        QApplication::sendEvent(&view, &dropped);
        EXPECT_FALSE(view.dropping());
        return highlighted;
    }
};

TEST_F(WelcomeTest, DropTargetIsTheFirstItemOnlyAndOnlyALocalFolder) {
    tree.write("file.txt", 10);
    const QUrl folder = QUrl::fromLocalFile(QString::fromStdString(tree.path() + "/data"));
    const QUrl file = QUrl::fromLocalFile(QString::fromStdString(tree.path() + "/file.txt"));
    EXPECT_EQ(dropTarget({folder}), tree.path() + "/data");
    EXPECT_EQ(dropTarget({folder, file}), tree.path() + "/data");
    EXPECT_FALSE(dropTarget({file, folder}));  // the first item decides
    EXPECT_FALSE(dropTarget({QUrl("https://example.com/data")}));
    EXPECT_FALSE(dropTarget({QUrl("file://server/share/data")}));
    EXPECT_FALSE(dropTarget({QUrl::fromLocalFile(QString::fromStdString(tree.path() + "/gone"))}));
    EXPECT_FALSE(dropTarget({}));
}

TEST_F(WelcomeTest, AFolderWhoseNameIsNotUtf8ArrivesByteExact) {
    const std::string odd = tree.path() + "/caf\xE9";
    tree.mkdirs("caf\xE9");
    const QUrl url = QUrl::fromEncoded(QByteArray("file://") +
                                       QByteArray::fromStdString(odd).toPercentEncoding("/"));
    EXPECT_EQ(dropTarget({url}), odd);
}

TEST_F(WelcomeTest, DroppingThreeFoldersOpensTheFirst) {
    AppModel& m = model();
    tree.mkdirs("second");
    tree.mkdirs("third");
    WelcomeView view(m);
    view.resize(1000, 800);
    view.show();
    EXPECT_EQ(view.hintText(), "or drop any folder here");
    const QString base = QString::fromStdString(tree.path());
    EXPECT_TRUE(
        drop(view, {QUrl::fromLocalFile(base + "/data"), QUrl::fromLocalFile(base + "/second"),
                    QUrl::fromLocalFile(base + "/third")}));
    ASSERT_TRUE(m.scanTarget());
    EXPECT_EQ(*m.scanTarget(), tree.path() + "/data");
    waitFor([&] { return m.phase() == Phase::results; });
}

TEST_F(WelcomeTest, ADroppedFileOrRemoteUrlChangesNothing) {
    AppModel& m = model();
    tree.write("file.txt", 10);
    WelcomeView view(m);
    view.show();
    drop(view, {QUrl::fromLocalFile(QString::fromStdString(tree.path() + "/file.txt"))});
    drop(view, {QUrl("https://example.com/")});
    EXPECT_FALSE(m.scanTarget());
    EXPECT_EQ(m.phase(), Phase::home);
}

TEST_F(WelcomeTest, DragHighlightAndHint) {
    WelcomeView view(model());
    view.resize(900, 700);
    view.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(home()))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(&view, &enter);
    EXPECT_TRUE(view.dropping());
    EXPECT_EQ(view.hintText(), "Drop to look inside");
    // The dashed frame is drawn 16 points in from the edge.
    const QImage image = view.grab().toImage();
    bool frame = false;
    for (int y = 100; y < 600 && !frame; ++y) {
        frame = QColor(image.pixel(17, y)).rgb() == Color::tangerine.rgb();
    }
    EXPECT_TRUE(frame);
    QDragLeaveEvent leave;
    QApplication::sendEvent(&view, &leave);
    EXPECT_FALSE(view.dropping());
    EXPECT_EQ(view.hintText(), "or drop any folder here");

    // A web link is no file: the screen does not light up for it.
    QMimeData link;
    link.setUrls({QUrl("https://example.com/data")});
    QDragEnterEvent linkEnter(QPoint(50, 50), Qt::CopyAction, &link, Qt::LeftButton, {});
    QApplication::sendEvent(&view, &linkEnter);
    EXPECT_FALSE(view.dropping());
    EXPECT_FALSE(linkEnter.isAccepted());
}

TEST_F(WelcomeTest, KeysOpenTheDiskAndTheHomeFolder) {
    AppModel& m = model();
    m.refreshVolumes();
    WelcomeView view(m);
    view.show();
    const std::optional<Volume> disk = shownDisk(m.volumes());
    EXPECT_EQ(view.lookInsideKey()->isVisibleTo(&view), disk.has_value());
    if (disk) {
        EXPECT_EQ(view.lookInsideKey()->text(), "Look inside " + disk->name);
    }
    QTest::mouseClick(view.homeKey(), Qt::LeftButton);
    ASSERT_TRUE(m.scanTarget());
    EXPECT_EQ(*m.scanTarget(), home());
    waitFor([&] { return m.phase() == Phase::results; });
}

// A toast set as the model goes home (a failed scan, a disk gone) shows on the Welcome screen.
TEST_F(WelcomeTest, AToastShowsAtTheTop) {
    AppModel& m = model();
    m.setToast(Toast::make(QStringLiteral("disk is no longer there"), QString(), false));
    WelcomeView view(m);
    view.resize(1000, 700);
    view.show();
    const auto* toast = view.findChild<ToastView*>();
    ASSERT_TRUE(toast);
    EXPECT_EQ(toast->cardsDrawn(), 1);
    EXPECT_NEAR(toast->geometry().center().x(), view.width() / 2, 1);
    EXPECT_LT(toast->geometry().top(), 20);
}

// The card's meter lights as many of its 36 segments as the disk's used share reaches.
TEST_F(WelcomeTest, CardMeterLightsTheUsedShare) {
    AppModel& m = model();
    m.refreshVolumes();
    if (m.volumes().empty()) GTEST_SKIP() << "no disk volume on this machine";
    WelcomeView view(m);
    view.resize(1000, 800);
    view.show();
    const WelcomeCard card = view.cardTexts();
    EXPECT_EQ(view.cardShownFraction(), card.fraction);
    const QImage image = view.card()->grab().toImage();
    // Count the runs of lit pixels along the row through the middle of the segments.
    const int y = static_cast<int>(welcomeCardLayout().meter.center().y());
    int runs = 0;
    bool in = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool lit = QColor(image.pixel(x, y)).rgb() == Color::screenGlow.rgb();
        if (lit && !in) ++runs;
        in = lit;
    }
    EXPECT_EQ(runs, litSegments(card.fraction, 36));
}

}  // namespace
}  // namespace tamrel
