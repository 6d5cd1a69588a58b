#include "ui/shell/About.h"

#include <QStringList>

namespace tamrel {

QString aboutText(const BuildInfo& build, const QString& indexFolder) {
    QStringList lines{QStringLiteral("Tamrel shows where the space on a disk goes."), QString()};
    if (!build.version.isEmpty()) {
        QString version = QStringLiteral("Version ") + build.version;
        if (!build.commit.isEmpty()) version += QStringLiteral(", commit ") + build.commit;
        lines << version;
    }
    lines << (indexFolder.isEmpty()
                  ? QStringLiteral(
                        "Indexes are not saved: there is no home folder to keep them in.")
                  : QStringLiteral("Saved indexes are kept in ") + indexFolder);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace tamrel
