#include "core/query/FileKind.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(FileKind, ExtensionTableAndRawValues) {
    EXPECT_EQ(FileKind::fromExt(""), FileKind::other);
    EXPECT_EQ(FileKind::fromExt("MOV"), FileKind::other);
    EXPECT_EQ(FileKind::fromExt("mov"), FileKind::video);
    EXPECT_EQ(FileKind::fromExt("app"), FileKind::app);
    EXPECT_EQ(FileKind::fromExt("pkg"), FileKind::diskImage);
    EXPECT_EQ(FileKind::fromExt("key"), FileKind::document);
    EXPECT_EQ(FileKind::fromExt("cache"), FileKind::data);
    EXPECT_EQ(FileKind::fromExt("ts"), FileKind::code);
    EXPECT_EQ(FileKind::fromExt("sparsebundle"), FileKind::diskImage);
    EXPECT_EQ(FileKind::fromExt("sparsebundlex"), FileKind::other);
    EXPECT_EQ(FileKind::fromExt("sqlite3"), FileKind::data);
    EXPECT_EQ(FileKind::fromExt("sqlite"), FileKind::data);
    EXPECT_EQ(FileKind::fromExt("sqlit"), FileKind::other);

    EXPECT_EQ(FileKind::fromRawValue("diskImage"), FileKind::diskImage);
    EXPECT_FALSE(FileKind::fromRawValue("diskimage"));
    EXPECT_FALSE(FileKind::fromRawValue("Video"));
    EXPECT_EQ(FileKind(FileKind::app).label(), "Apps & binaries");
    EXPECT_EQ(FileKind::allCases().front(), FileKind::video);
    EXPECT_EQ(FileKind::allCases().back(), FileKind::other);
}

TEST(FileKind, ExtensionRuleAndNameFastPath) {
    EXPECT_EQ(extOfName("x."), "");
    EXPECT_EQ(extOfName(".bashrc"), "");
    EXPECT_EQ(extOfName("No Extension"), "");
    EXPECT_EQ(extOfName(""), "");
    EXPECT_EQ(extOfName("..x"), "x");
    EXPECT_EQ(extOfName("a.B"), "b");
    EXPECT_EQ(extOfName("Archive.TAR.GZ"), "gz");
    EXPECT_EQ(extOfName("bad.\xff"
                        "z"),
              "\xEF\xBF\xBDz");
    EXPECT_EQ(FileKind::ofName("bad.\xff"
                               "z"),
              FileKind::other);

    // The fast path must agree with the full rule, including folds ICU alone knows: the Kelvin
    // sign lowercases to an ASCII "k".
    for (const char* name :
         {"Photo.JPEG", "a.b.c", "Movie.Mp4", "x.", ".git", "notes.txt", "lib.so",
          "weird.\xE2\x84\xAA"
          "ey",
          "long.sparsebundle", "LONG.SPARSEBUNDLES", "Disk.İSO"}) {
        EXPECT_EQ(FileKind::ofName(name), FileKind::fromExt(extOfName(name))) << name;
    }
    EXPECT_EQ(FileKind::ofName("weird.\xE2\x84\xAA"
                               "ey"),
              FileKind::document);
}

}  // namespace
}  // namespace tamrel
