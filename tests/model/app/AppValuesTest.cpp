#include "model/app/AppValues.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(AppValues, RawValuesAreExactTitles) {
    EXPECT_EQ(tabFromRaw("System Data"), Tab::system);
    EXPECT_EQ(tabFromRaw("system data"), std::nullopt);
    EXPECT_EQ(tabFromRaw("System"), std::nullopt);
    EXPECT_EQ(appSortFromRaw("Last used"), AppSort::lastUsed);
    EXPECT_EQ(appSortFromRaw("last used"), std::nullopt);
    for (Tab tab : allTabs())
        EXPECT_EQ(tabFromRaw(rawValue(tab)), tab);
}

TEST(AppValues, IdentityAndEquality) {
    const Volume a{"/mnt/d", "d", 100, 10, true};
    Volume b = a;
    b.free = 20;
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    EXPECT_NE(Toast::make("t", "d", true), Toast::make("t", "d", true));
}

}  // namespace
}  // namespace tamrel
