#pragma once

#include <QAbstractButton>
#include <QDateTime>
#include <QHash>
#include <QWidget>
#include <optional>
#include <string>

#include "core/base/RuleSet.h"
#include "model/app/AppModel.h"
#include "ui/theme/SpringAnimator.h"
#include "ui/theme/Keys.h"

class QVBoxLayout;
class QLabel;

namespace tamrel {

class LED;

// What one row of the sidebar shows, made from a volume or a place.
struct SidebarRowData {
    QString title;
    QString symbol;
    std::uint32_t hex = 0;
    std::optional<QString> detail;  // volumes: "<free> free"
    std::optional<double> fill;     // volumes: used / max(total, 1)
    std::string path;               // what a click opens, byte-exact
};
SidebarRowData volumeRow(const Volume& volume);
SidebarRowData placeRow(const Place& place);

// A row is selected when the scan target is its path (exact bytes) and the window is not on
// the Welcome screen.
bool rowSelected(const OptionalPath& scanTarget, const std::string& rowPath, Phase phase);
// The lit width of the used-space bar: fill × width, never below 4 points.
double fillBarWidth(double fill, double width);
// "today"-style relative dates with full unit words: "now", "5 minutes ago", "yesterday",
// "3 days ago", "last week", "2 months ago", "in 2 hours", ...
QString relativeDate(const QDateTime& date, const QDateTime& now);
// The bolt's help: "Indexed <relative date>. Opens instantly."
QString indexedHelp(const QDateTime& date, const QDateTime& now);

// What the access box shows. There is no settings pane that grants access on this system, so
// the box has no "Allow…" key; on Linux its texts say what the process may read instead of
// naming Full Disk Access.
struct AccessLook {
    QColor led;
    QString heading;
    QString hint;  // empty when access is granted
};
AccessLook accessLook(bool granted, RuleSet rules);

// One disk or place: its glyph, title (one line), the bolt when a saved index serves it and,
// for disks, the free space and the used-space bar. The row of the target on screen is a
// raised key that sinks while held; other rows tint while hovered. A click opens the row's
// path through AppModel::scan(path, false).
class SidebarRow : public KeyControl {
    Q_OBJECT
public:
    SidebarRow(AppModel& model, SidebarRowData data, QWidget* parent = nullptr);

    const SidebarRowData& data() const { return data_; }
    void setData(SidebarRowData data);
    bool selected() const;
    bool indexed() const;
    bool hovered() const { return hover_; }
    // The rectangle of the bolt, empty when there is none.
    QRectF boltRect() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
    void enterEvent(QEnterEvent*) override;
    void leaveEvent(QEvent*) override;
    bool event(QEvent* event) override;

private:
    void followSelection();
    // The title, and the free space and the bar under it for a disk.
    double textHeight() const;

    AppModel& model_;
    SidebarRowData data_;
    bool hover_ = false;
    bool wasSelected_ = false;
    SpringAnimator selection_;  // 0 flat, 1 raised key
    SpringAnimator press_;
};

// The Full Disk Access box at the foot of the sidebar.
class AccessStatus : public QWidget {
    Q_OBJECT
public:
    explicit AccessStatus(AppModel& model, QWidget* parent = nullptr);
    QString heading() const;
    QString hint() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void refresh();

    AppModel& model_;
    LED* led_;
    QLabel* heading_;
    QLabel* hint_;
};

// The column on the leading side: the mark and title, the disks, the places, "Open folder…"
// and the Full Disk Access box; 228 points wide. Rows keep their identity (their path) across
// refreshes of the lists.
class Sidebar : public QWidget {
    Q_OBJECT
public:
    explicit Sidebar(AppModel& model, QWidget* parent = nullptr);

    QList<SidebarRow*> volumeRows() const { return volumeRows_; }
    QList<SidebarRow*> placeRows() const { return placeRows_; }
    QAbstractButton* openFolderRow() const { return openFolder_; }
    AccessStatus* accessStatus() const { return access_; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void rebuild();

    AppModel& model_;
    QVBoxLayout* list_;
    QWidget* placesCaption_;
    QAbstractButton* openFolder_;
    AccessStatus* access_;
    QList<SidebarRow*> volumeRows_;
    QList<SidebarRow*> placeRows_;
};

}  // namespace tamrel
