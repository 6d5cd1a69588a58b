#include "ui/results/AppIcon.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fstream>

#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "model/apps/AppScanner.h"
#include "tests/support/AppImageHome.h"

namespace tamrel {
namespace {

// An AppImage whose icon comes as an SVG Qt cannot read (without Qt's SVG plugin none can; this
// one is broken) and as 48, 128 and 256 px PNGs shows the largest PNG, not the generic icon.
TEST(AppIcon, AnIconFileThatCannotBeReadPassesToTheNextBest) {
    test::TempDir dir;
    const std::string home = dir / "home";
    test::writeAppImage(dir, "home/Applications/Foo.AppImage", 1000);
    dir.mkdirs("home/.local/share/applications");
    std::ofstream(dir / "home/.local/share/applications/foo.desktop")
        << "[Desktop Entry]\nType=Application\nName=Foo\nExec=" << home
        << "/Applications/Foo.AppImage\nIcon=foo\n";
    const std::string icons = home + "/.local/share/icons/hicolor/";
    dir.mkdirs("home/.local/share/icons/hicolor/scalable/apps");
    std::ofstream(icons + "scalable/apps/foo.svg") << "<svg xmlns=\"http://www.w3.org/2000/sv";
    QImage biggest;
    for (int edge : {48, 128, 256}) {
        const std::string size = std::to_string(edge) + "x" + std::to_string(edge);
        dir.mkdirs("home/.local/share/icons/hicolor/" + size + "/apps");
        QImage png(edge, edge, QImage::Format_ARGB32);
        png.fill(QColor(edge, 40, 90));
        ASSERT_TRUE(png.save(QString::fromStdString(icons + size + "/apps/foo.png")));
        biggest = png;
    }

    ScanProgress progress;
    const auto index = Scanner::scan(dir.path(), progress, 2);
    const auto apps = AppScanner::scan(*index, home, dir / "sys", RuleProfile::linuxDesktop(home));
    ASSERT_EQ(apps.size(), 1u);
    QStringList names;
    for (const std::string& icon : apps[0].icons)
        names << QString::fromStdString(icon);
    const QString png = QString::fromStdString(icons) + QStringLiteral("%1/apps/foo.png");
    EXPECT_EQ(names, (QStringList{QString::fromStdString(icons + "scalable/apps/foo.svg"),
                                  png.arg("256x256"), png.arg("128x128"), png.arg("48x48")}));

    const QImage shown = AppIcon::entryIcon(names).pixmap(QSize(256, 256)).toImage();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32), biggest);
}

}  // namespace
}  // namespace tamrel
