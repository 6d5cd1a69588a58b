#include "core/query/FileKind.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "core/query/Breakdown.h"
#include "core/query/Search.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "tests/support/TempDir.h"

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

// The Linux set adds package and program files to the table; the designed kinds stay exact.
TEST(FileKind, LinuxAdditionsLeaveTheDesignedTableAlone) {
    struct Case {
        const char* name;
        FileKind designed;
        FileKind onLinux;
    };
    for (const Case& c : std::vector<Case>{
             {"tool_1.0_amd64.deb", FileKind::other, FileKind::diskImage},
             {"tool-1.0.x86_64.RPM", FileKind::other, FileKind::diskImage},
             {"tool.snap", FileKind::other, FileKind::diskImage},
             {"org.tool.Tool.flatpak", FileKind::other, FileKind::diskImage},
             {"Obsidian-1.5.3.AppImage", FileKind::other, FileKind::app},
             {"debian-12.iso", FileKind::diskImage, FileKind::diskImage},
             {"disk.img", FileKind::diskImage, FileKind::diskImage},
             {"win11.qcow2", FileKind::diskImage, FileKind::diskImage},
             {"vm.vdi", FileKind::diskImage, FileKind::diskImage},
             {"vm.vmdk", FileKind::diskImage, FileKind::diskImage},
             {"Installer.pkg", FileKind::diskImage, FileKind::diskImage},
             {"movie.mkv", FileKind::video, FileKind::video},
             {"Makefile", FileKind::other, FileKind::other},
         }) {
        EXPECT_EQ(FileKind::ofName(c.name), c.designed) << c.name;
        EXPECT_EQ(FileKind::ofName(c.name, RuleSet::linuxDesktop), c.onLinux) << c.name;
        EXPECT_EQ(FileKind::fromExt(extOfName(c.name), RuleSet::linuxDesktop), c.onLinux)
            << c.name;
    }

    // A program without an extension: a plain file with an execute bit, on the Linux set only.
    const std::uint8_t program = Flag::executable;
    EXPECT_TRUE(FileKind::isProgramWithoutExt("rg", program, RuleSet::linuxDesktop));
    EXPECT_TRUE(FileKind::isProgramWithoutExt("run.", program, RuleSet::linuxDesktop));
    EXPECT_FALSE(FileKind::isProgramWithoutExt("rg", program, RuleSet::designed));
    EXPECT_FALSE(FileKind::isProgramWithoutExt("rg", 0, RuleSet::linuxDesktop));
    EXPECT_FALSE(FileKind::isProgramWithoutExt("build.sh", program, RuleSet::linuxDesktop));
    EXPECT_FALSE(FileKind::isProgramWithoutExt("bin", 1 | program, RuleSet::linuxDesktop))
        << "a folder";
    EXPECT_EQ(FileKind::ofEntry("run.sh", program, RuleSet::linuxDesktop), FileKind::other);
}

// The scanner keeps the execute bit; the breakdown and "kind:" of the Linux set count an
// extensionless program and the package files where the kinds table puts them.
TEST(FileKind, ScannedProgramsAndPackagesCountByTheLinuxSet) {
    test::TempDir dir;
    dir.mkdirs("bin");
    dir.write("bin/tool", 40'960);
    ASSERT_EQ(::chmod((dir / "bin/tool").c_str(), 0755), 0);
    dir.write("bin/README", 8192);  // not executable
    dir.write("bin/Tool.AppImage", 16'384);
    dir.write("bin/tool.deb", 24'576);
    ScanProgress progress;
    const auto index = Scanner::scan(dir.path(), progress, 2);
    const NodeId tool = *index->lookup(dir / "bin/tool");
    EXPECT_TRUE(index->kind(tool) & Flag::executable);
    EXPECT_FALSE(index->kind(*index->lookup(dir / "bin/README")) & Flag::executable);
    EXPECT_FALSE(index->kind(*index->lookup(dir / "bin")) & Flag::executable) << "a folder";
    EXPECT_EQ(FileKind::ofNode(*index, tool, RuleSet::linuxDesktop), FileKind::app);
    EXPECT_EQ(FileKind::ofNode(*index, tool, RuleSet::designed), FileKind::other);

    const auto bytesOf = [](const auto& kinds, FileKind k) -> std::uint64_t {
        for (const auto& [kind, bytes] : kinds)
            if (kind == k) return bytes;
        return 0;
    };
    const auto size = [&](const char* rel) { return index->size(*index->lookup(dir / rel)); };
    const auto onLinux = breakdown(*index, 0, RuleSet::linuxDesktop);
    EXPECT_EQ(bytesOf(onLinux, FileKind::app), size("bin/tool") + size("bin/Tool.AppImage"));
    EXPECT_EQ(bytesOf(onLinux, FileKind::diskImage), size("bin/tool.deb"));
    EXPECT_EQ(bytesOf(onLinux, FileKind::other), size("bin/README"));
    const auto designed = breakdown(*index, 0);
    EXPECT_EQ(bytesOf(designed, FileKind::app), 0u);
    EXPECT_EQ(bytesOf(designed, FileKind::other), index->size(0));

    EXPECT_EQ(search(*index, "kind:app", 0, 10, RuleSet::linuxDesktop).total, 2u);
    EXPECT_EQ(search(*index, "kind:disk", 0, 10, RuleSet::linuxDesktop).total, 1u);
    EXPECT_EQ(search(*index, "kind:app", 0, 10).total, 0u);
    EXPECT_EQ(search(*index, "ext:deb", 0, 10).total, 1u) << "ext: is the same in both sets";
}

}  // namespace
}  // namespace tamrel
