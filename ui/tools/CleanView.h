#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QScrollArea>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/app/AppModel.h"

#include <QMessageBox>

namespace tamrel {

class KeyButton;
class RoundKey;
class TickBox;

// Opens the Trash in the file manager: the desktop's trash:/// location through `open`, else the
// home Trash's "files" folder. Whether either was opened.
bool openTrash(const std::function<bool(const QUrl&)>& open);

// A text button without chrome (12 pt semibold, tangerine): "Open Trash".
class TextButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit TextButton(const QString& text, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;
};

// The summary card of Clean up: the bytes the plan found, the ticked count and size on a
// display, the Clean key (off while nothing is ticked or a move runs) and, when the Trash holds
// more than 1 MiB, a note with "Open Trash".
class CleanHeader : public QWidget {
    Q_OBJECT
public:
    explicit CleanHeader(AppModel& model, QWidget* parent = nullptr);
    KeyButton* cleanKey() const { return clean_; }
    TextButton* openTrashKey() const { return openTrash_; }
    // How the Trash is opened (tests record it); by default QDesktopServices.
    void setUrlOpener(std::function<bool(const QUrl&)> open) { opener_ = std::move(open); }
    double heightFor() const;
    void refresh();

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    AppModel& model_;
    KeyButton* clean_;
    TextButton* openTrash_;
    std::function<bool(const QUrl&)> opener_;
    // What the plan found and what is ticked, summed over thousands of items at refresh() and
    // not at every paint.
    std::uint64_t found_ = 0;
    std::size_t tickedCount_ = 0;
    std::uint64_t tickedBytes_ = 0;
};

// One group of the plan: its tick box (all, some or none of its items), glyph, title, risk
// badge, blurb, ticked size of total and count, and an expand key that shows up to 200 item
// rows. A row's box or a click anywhere on it outside the magnifier flips its tick; the
// magnifier reveals the item; its context menu is the item menu with picking.
class CleanGroupCard : public QWidget {
    Q_OBJECT
public:
    CleanGroupCard(AppModel& model, CleanGroup group, bool open, QWidget* parent = nullptr);
    const CleanGroup& group() const { return group_; }
    bool isOpen() const { return open_; }
    TickBox* tickBox() const { return tick_; }
    RoundKey* expandKey() const { return expand_; }
    double heightFor(double width) const;
    // Rows drawn: min(items, 200) while open, else 0.
    std::size_t rowCount() const;
    QRectF rowRect(std::size_t row) const;
    QRectF magnifierRect(std::size_t row) const;
    // "+ N more, included in the group tick", or empty.
    QString moreLine() const;
    void refresh();

signals:
    void openChanged(bool open);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;

private:
    double headerHeight() const;
    std::optional<std::size_t> rowAt(QPointF pos) const;
    void makeExpandKey();

    AppModel& model_;
    CleanGroup group_;
    bool open_;
    TickBox* tick_;
    RoundKey* expand_ = nullptr;
    std::optional<std::size_t> hoverRow_;
    // The group's bytes, and its ticked items and their bytes, as of refresh().
    std::uint64_t total_ = 0;
    std::size_t pickedCount_ = 0;
    std::uint64_t pickedBytes_ = 0;
};

// The Clean up tab: the header, the empty-state card when the plan is empty, one card per group
// in plan order, and the confirmation (open while the model's confirmClean is true, both ways)
// whose title names the ticked count and size of the shown generation at every moment, so that
// "Move to Trash" moves what it names.
class CleanView : public QScrollArea {
    Q_OBJECT
public:
    explicit CleanView(AppModel& model, QWidget* parent = nullptr);

    CleanHeader* header() const { return header_; }
    const std::vector<CleanGroupCard*>& cards() const { return cards_; }
    bool showsEmptyState() const;
    QMessageBox* confirmation() const { return confirm_; }

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void rebuild();
    void relayout();
    void refresh();
    void followConfirm();

    AppModel& model_;
    QWidget* page_;
    CleanHeader* header_;
    QWidget* empty_;
    std::vector<CleanGroupCard*> cards_;
    std::set<std::string> openGroups_;
    QPointer<QMessageBox> confirm_;
};

}  // namespace tamrel
