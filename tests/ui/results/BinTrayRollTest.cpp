#include <gtest/gtest.h>

#include "format/Fmt.h"
#include "tests/ui/Printers.h"
#include "tests/ui/UiFixture.h"
#include "ui/results/BinTray.h"
#include "ui/theme/SpringAnimator.h"

namespace tamrel {
namespace {

class BinTrayRollTest : public test::UiTest {};

// The picked size rolls its digits when a pick changes it while the tray shows, and shows the
// first size at once as the tray comes in.
TEST_F(BinTrayRollTest, APickWhileTheTrayShowsRollsTheSize) {
    scanned(tree.path() + "/data");
    QWidget host;
    host.resize(900, 600);
    BinTray tray(model(), &host);
    host.show();
    model().toggleBasket(id(tree.path() + "/data/photos/a.jpg"));
    ASSERT_TRUE(tray.isVisible());
    EXPECT_EQ(tray.sizeMotion().number(), Fmt::split(model().basketSize()).number);
    EXPECT_FALSE(tray.sizeMotion().rolling());

    SpringAnimator::setInstant(false);
    const QString before = tray.sizeMotion().number();
    model().toggleBasket(id(tree.path() + "/data/photos/b.jpg"));
    EXPECT_EQ(tray.sizeMotion().number(), Fmt::split(model().basketSize()).number);
    EXPECT_EQ(tray.sizeMotion().from(), before);
    EXPECT_TRUE(tray.sizeMotion().rolling());
    EXPECT_FALSE(tray.grab().isNull());  // drawn mid-roll
    SpringAnimator::setInstant(true);
}

}  // namespace
}  // namespace tamrel
