#include "ui/shell/About.h"

#include <gtest/gtest.h>

namespace tamrel {
namespace {

TEST(About, SaysTheVersionAndWhereIndexesAreKept) {
    const QString first = QStringLiteral("Tamrel shows where the space on a disk goes.\n\n");
    const struct {
        BuildInfo build;
        const char* folder;
        const char* rest;
    } cases[] = {
        {{"0.1.0", "eed82c63c5cc"},
         "/home/u/.local/share/Tamrel",
         "Version 0.1.0, commit eed82c63c5cc\nSaved indexes are kept in "
         "/home/u/.local/share/Tamrel"},
        // A build from a source archive has no commit.
        {{"0.1.0", ""},
         "/data/<me>/Tamrel",
         "Version 0.1.0\nSaved indexes are kept in /data/<me>/Tamrel"},
        {{"", ""}, "", "Indexes are not saved: there is no home folder to keep them in."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(aboutText(c.build, QString::fromUtf8(c.folder)),
                  first + QString::fromUtf8(c.rest))
            << c.rest;
    }
}

}  // namespace
}  // namespace tamrel
