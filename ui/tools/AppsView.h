#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/tools/Generation.h"

class QLineEdit;
#include <QMessageBox>
class QScrollArea;
class QToolButton;

namespace tamrel {

class KeyButton;
class LoadingState;

// The application rows of the list: icon, name, use line, total and leftover data, the selected
// one drawn as a raised warm key. A click selects (again) through AppModel::selectApp. Only the
// rows inside the repainted region are drawn.
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

protected:
    void paintEvent(QPaintEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    std::optional<std::size_t> rowAt(QPointF pos) const;

    AppModel& model_;
    AppRefs apps_;
    std::optional<std::size_t> hover_;
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
// the magnifier flips its tick; the magnifier reveals it.
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

private:
    struct Line {
        QRectF rect;
        std::optional<Leftover::Kind> group;  // a group header
        std::size_t leftover = 0;             // else this leftover
    };
    std::vector<Line> lines() const;

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    int hover_ = -1;
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
    QString footnote() const;
    bool showsPasswordNote() const;
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    double headerHeight() const;
    double factsHeight() const;
    double footerHeight() const;
    // Lines the footnote wraps to beside the footer keys (at most three).
    int footnoteLines() const;

    AppModel& model_;
    InstalledApp app_;
    IndexRef index_;
    bool running_ = false;
    QScrollArea* scroll_;
    LeftoverList* leftovers_;
    KeyButton* reveal_;
    KeyButton* uninstall_;
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

protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    const InstalledApp* selected() const;
    void refresh();
    void rebuildDetail();
    void followConfirm();
    void retitle();

    AppModel& model_;
    AppList* list_;
    QWidget* placeholder_;
    LoadingState* loading_;
    AppDetail* detail_ = nullptr;
    ShownGeneration generation_;
    QPointer<QMessageBox> confirm_;
};

}  // namespace tamrel
