#pragma once

#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace tamrel::AppIcon {

// The desktop's icon of a path (a folder, a file by its type, an application folder), asked of
// the icon theme once per path and kept in a process-wide cache for the life of the process. A
// path the theme has nothing for gets a generic document or folder icon. When the application
// has no icon theme (no desktop session), the first call sets "Adwaita" from the system's icon
// folders. Main thread only.
QIcon icon(const QString& path);

// The icon an application's desktop entry names: the first of `names` that can be shown, each
// the absolute path of a picture file or a name in the icon theme (a file Qt cannot read, such
// as an SVG without Qt's SVG plugin, passes to the next). The generic application icon when
// none can. Cached per list like icon(). Main thread only.
QIcon entryIcon(const QStringList& names);

// Draws the icon of `path` for a square of side `size` at `topLeft`: one point larger on every
// side than the square it takes in the layout.
void paint(QPainter& painter, const QPointF& topLeft, double size, const QString& path);
// Draws `icon` as the other paint() draws the icon of a path.
void paint(QPainter& painter, const QPointF& topLeft, double size, const QIcon& icon);

}  // namespace tamrel::AppIcon
