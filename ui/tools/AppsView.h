#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/theme/SizeText.h"
#include "ui/tools/Generation.h"
#include "ui/tools/RunningCheck.h"

class QLineEdit;
#include <QMessageBox>
class QScrollArea;
class QToolButton;

namespace tamrel {

class KeyButton;
class LoadingState;

// The application rows of the list: icon, name, use line, total and leftover data, the selected
// one drawn as a raised warm key. A click selects (again) through AppModel::selectApp. Only the
// rows inside the repainted region are drawn. From the keyboard (it takes the focus with Tab,
// its place on the selected row to begin with): Up, Down, Home, End, Page Up and Page Down move
// between rows, Enter or Space selects the row.
class AppRows : public QWidget {
    Q_OBJECT
public:
    explicit AppRows(AppModel& model, QWidget* parent = nullptr);
    // The applications shown, in order (AppModel::sortedApps, or none while the inventory is of
    // another generation).
    void setApps(AppRefs apps, bool spinner);
    const AppRefs& apps() const { return apps_; }
    QRect rowRect(std::size_t row) const;
    static double rowHeight();
    // The row with the keyboard's place, or -1.
    int focusRow() const { return focusRow_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    std::optional<std::size_t> rowAt(QPointF pos) const;
    void setFocusRow(int row);

    AppModel& model_;
    AppRefs apps_;
    std::optional<std::size_t> hover_;
    int focusRow_ = -1;
    class BusySpinner* spinner_;
};

// The list card: the filter field (bound both ways to appFilter), the sort menu and the rows.
class AppList : public QWidget {
    Q_OBJECT
public:
    explicit AppList(AppModel& model, QWidget* parent = nullptr);
    QLineEdit& filter() { return *filter_; }
    QToolButton& sortButton() { return *sort_; }
    AppRows& rows() { return *rows_; }
    void refresh(bool current);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    void refreshSortMenu();

    AppModel& model_;
    QLineEdit* filter_;
    QToolButton* sort_;
    QScrollArea* scroll_;
    AppRows* rows_;
};

// The leftovers of the detail by kind: a tick box per kind (all, some, none of its items) and a
// row per leftover with its box, name, folder, lock, size and magnifier. A click on a row outside
// the magnifier flips its tick; the magnifier reveals it. From the keyboard (it takes the focus
// with Tab): Up, Down, Home and End move between the kinds' boxes and the rows, Space flips the
// box or the row's tick, Enter reveals a row's item (or flips a kind's box).
class LeftoverList : public QWidget {
    Q_OBJECT
public:
    LeftoverList(AppModel& model, const InstalledApp& app, IndexRef index,
                 QWidget* parent = nullptr);
    double heightFor() const;
    // The hit areas: a kind's box, a leftover's row and magnifier (by its index in the app's
    // leftovers), in this widget.
    QRectF groupBoxRect(Leftover::Kind kind) const;
    QRectF rowRect(std::size_t leftover) const;
    QRectF magnifierRect(std::size_t leftover) const;
    // The lock of a leftover outside the home folder (empty for one inside), which carries the
    // tooltip that says why it needs a password.
    QRectF lockRect(std::size_t leftover) const;
    bool showsEmptyText() const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;

private:
    struct Line {
        QRectF rect;
        std::optional<Leftover::Kind> group;  // a group header
        std::size_t leftover = 0;             // else this leftover
    };
    std::vector<Line> lines() const;
    // A kind's box: ticks every leftover of the kind, or unticks them all when all are ticked.
    void flipGroup(Leftover::Kind kind);
    void flipLeftover(NodeId node);
    bool current() const { return index_ && model_.index() == index_; }

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    int hover_ = -1;
    int focusLine_ = -1;  // the line with the keyboard's place
};

// The detail card of one application: header with icon, name, identity line, badges and the
// bytes to remove; three facts; the leftovers by kind; the footer with its notes, "Show in File
// Manager" and "Uninstall" (off while busy or while the inventory is not of the shown index).
class AppDetail : public QWidget {
    Q_OBJECT
public:
    AppDetail(AppModel& model, const InstalledApp& app, IndexRef index, QWidget* parent = nullptr);
    const InstalledApp& app() const { return app_; }
    KeyButton* uninstallKey() const { return uninstall_; }
    KeyButton* revealKey() const { return reveal_; }
    LeftoverList& leftovers() { return *leftovers_; }
    // Bytes the read-out shows: the application's own plus its ticked leftovers.
    std::uint64_t toRemove() const;
    // The "to remove" read-out, rolling its digits when an animated step changes it.
    const SizeTextMotion& removeMotion() const { return remove_; }
    QString footnote() const;
    bool showsPasswordNote() const;
    void refresh();
    // Whether the application runs, as last found (off the main thread) by the screen.
    void setRunning(bool running);
    bool running() const { return running_; }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    double badgeHeight() const;
    // The name, the identity line and the badges, one under the other.
    double headerTextsHeight() const;
    double headerHeight() const;
    double factsHeight() const;
    double footerHeight() const;
    // Lines the footnote wraps to beside (or above) the footer keys (at most three).
    int footnoteLines() const;
    // The note goes above the keys when the detail is too narrow for it beside them.
    bool footerStacked() const;
    double noteWidth() const;
    // The room the note would have beside the keys.
    double noteBesideKeys() const;

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    bool running_ = false;
    QScrollArea* scroll_;
    LeftoverList* leftovers_;
    KeyButton* reveal_;
    KeyButton* uninstall_;
    SizeTextMotion remove_;
};

// The Apps tab: the list beside the detail of the selected application (or a placeholder), the
// inventory loaded when shown or when another index generation is shown, and the uninstall
// confirmation (open while confirmUninstall is true, both ways) whose title and message follow
// the selection and ticks of the shown generation, as the uninstall takes them.
class AppsView : public QWidget {
    Q_OBJECT
public:
    explicit AppsView(AppModel& model, QWidget* parent = nullptr);
    AppList& list() { return *list_; }
    AppDetail* detail() const { return detail_; }
    // The placeholder's text, or empty while a detail is shown.
    QString placeholderText() const;
    // The inventory on screen belongs to the shown index.
    bool current() const;
    QMessageBox* confirmation() const { return confirm_; }
    // Finds out whether the applications shown run.
    RunningCheck& runningCheck() { return *running_; }

protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    const InstalledApp* selected() const;
    void refresh();
    void rebuildDetail();
    void followConfirm();
    void retitle();
    // Asks whether the selected application runs; the detail and the question follow the answer.
    void checkRunning();
    bool selectedRunning() const;

    AppModel& model_;
    RunningCheck* running_;
    AppList* list_;
    QWidget* placeholder_;
    LoadingState* loading_;
    AppDetail* detail_ = nullptr;
    ShownGeneration generation_;
    QPointer<QMessageBox> confirm_;
};

}  // namespace tamrel
