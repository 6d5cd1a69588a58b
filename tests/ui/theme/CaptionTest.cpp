#include "ui/theme/Caption.h"

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

namespace tamrel {
namespace {

TEST(Caption, FirstCharacterUpperCasedRestUnchanged) {
    EXPECT_EQ(captionText("disks"), "Disks");
    EXPECT_EQ(captionText("Places"), "Places");
    EXPECT_EQ(captionText("eBay items"), "EBay items");
    EXPECT_EQ(captionText(""), "");
    EXPECT_EQ(captionText(QString::fromUtf8("\xC3\xA9t\xC3\xA9")),
              QString::fromUtf8("\xC3\x89t\xC3\xA9"));
}

}  // namespace
}  // namespace tamrel
