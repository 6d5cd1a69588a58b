#include "ui/results/AppIcon.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QStandardPaths>

namespace tamrel::AppIcon {

namespace {

void ensureTheme() {
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
        // No desktop theme (a bare session, the offscreen platform): the system's icon folders
        // and the theme every desktop ships.
        QStringList paths = QIcon::themeSearchPaths();
        for (const QString& dir :
             QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("icons"),
                                       QStandardPaths::LocateDirectory)) {
            if (!paths.contains(dir)) paths << dir;
        }
        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(QStringLiteral("Adwaita"));
        QIcon::setFallbackThemeName(QStringLiteral("hicolor"));
    }
}

}  // namespace

QIcon icon(const QString& path) {
    static QHash<QString, QIcon> cache;
    if (auto it = cache.constFind(path); it != cache.constEnd()) return *it;

    ensureTheme();
    const QFileInfo info(path);
    QIcon found;
    if (info.isDir() && !info.isSymLink()) {
        found = path.endsWith(QLatin1String(".app"), Qt::CaseInsensitive)
                    ? QIcon::fromTheme(QStringLiteral("application-x-executable"))
                    : QIcon::fromTheme(QStringLiteral("folder"));
    } else {
        // By name only: reading file contents for every row would cost far more than a look-up.
        static const QMimeDatabase mimes;
        const QMimeType type = mimes.mimeTypeForFile(info, QMimeDatabase::MatchExtension);
        found = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    }
    if (found.isNull()) {
        found = QIcon::fromTheme(info.isDir() ? QStringLiteral("folder")
                                              : QStringLiteral("text-x-generic"));
    }
    cache.insert(path, found);
    return found;
}

QIcon entryIcon(const QStringList& names) {
    static QHash<QStringList, QIcon> cache;
    if (auto it = cache.constFind(names); it != cache.constEnd()) return *it;

    ensureTheme();
    QIcon found;
    for (const QString& name : names) {
        if (name.startsWith(QLatin1Char('/'))) {
            const QIcon file(name);
            if (!file.pixmap(QSize(64, 64)).isNull()) found = file;
        } else if (!name.isEmpty()) {
            found = QIcon::fromTheme(name);
        }
        if (!found.isNull()) break;
    }
    if (found.isNull()) found = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    cache.insert(names, found);
    return found;
}

void paint(QPainter& painter, const QPointF& topLeft, double size, const QString& path) {
    paint(painter, topLeft, size, icon(path));
}

void paint(QPainter& painter, const QPointF& topLeft, double size, const QIcon& icon) {
    const QRectF target(topLeft.x() - 1, topLeft.y() - 1, size + 2, size + 2);
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QPixmap pixmap = icon.pixmap(QSize(int(size + 2), int(size + 2)), dpr);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap, QRectF(pixmap.rect()));
    painter.restore();
}

}  // namespace tamrel::AppIcon
