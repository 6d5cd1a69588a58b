#include "ui/theme/ShownText.h"

#include <gtest/gtest.h>

#include "tests/ui/Printers.h"

namespace tamrel {
namespace {

TEST(ShownText, ControlsAndBidiOverridesAreEscapedNotInterpreted) {
    EXPECT_EQ(shownText("plain name.txt"), "plain name.txt");
    EXPECT_EQ(shownText(QString::fromUtf8("line\nbreak")), "line\\u{000A}break");
    EXPECT_EQ(shownText(QString::fromUtf8("tab\tand\x7F")), "tab\\u{0009}and\\u{007F}");
    // "invoice" + RIGHT-TO-LEFT OVERRIDE + "fdp.exe" would read as "invoiceexe.pdf".
    EXPECT_EQ(shownText(QString::fromUtf8("invoice\xE2\x80\xAE"
                                          "fdp.exe")),
              "invoice\\u{202E}fdp.exe");
    EXPECT_EQ(shownText(QString::fromUtf8("a\xE2\x81\xA6"
                                          "b")),
              "a\\u{2066}b");
    // Letters of any script stay as they are.
    EXPECT_EQ(shownText(QString::fromUtf8("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D")),
              QString::fromUtf8("\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D"));
}

TEST(ShownText, InvalidUtf8IsRepaired) {
    EXPECT_EQ(shownPath(std::string("/tmp/caf\xE9")), QString::fromUtf8("/tmp/caf\xEF\xBF\xBD"));
}

}  // namespace
}  // namespace tamrel
