#include <QSignalSpy>

#include <gtest/gtest.h>

#include "model/app/AppModel.h"
#include "tests/model/app/FakeDesktop.h"

namespace tamrel {
namespace {

AppModel::Options quiet() {
    AppModel::Options options;
    options.startUp = false;
    return options;
}

TEST(AppModelAnnounce, EqualWritesAreSilent) {
    test::FakeDesktop desktop;
    AppModel model(desktop, quiet());
    QSignalSpy tab(&model, &AppModel::tabChanged);
    model.setTab(Tab::explore);
    EXPECT_EQ(tab.count(), 0);
    model.setTab(Tab::biggest);
    EXPECT_EQ(tab.count(), 1);
    EXPECT_EQ(model.tab(), Tab::biggest);
    EXPECT_FALSE(model.animation());
}

}  // namespace
}  // namespace tamrel
