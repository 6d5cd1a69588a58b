#pragma once

#include <QWidget>

#include "model/app/AppModel.h"

namespace tamrel {

class ItemList;

// A title, a grey caption beside it, and a file list below: the frame of the search results
// and of the Biggest tab.
class ListScreen : public QWidget {
    Q_OBJECT
public:
    explicit ListScreen(AppModel& model, QWidget* parent = nullptr);
    const QString& title() const { return title_; }
    const QString& caption() const { return caption_; }
    ItemList& list() { return *list_; }

protected:
    void setHeader(QString title, QString caption);
    // Lists `ids` of the shown index (the first one, the largest, sets the scale) told relative
    // to the explored folder, as the head of `total` entries, as the list named `list` (see
    // ItemListView::setRows).
    void showNodes(const NodeIds& ids, qint64 total, const QString& list);
    // No index: an empty list and no header.
    void clear();
    void paintEvent(QPaintEvent* event) override;

    AppModel& model_;
    ItemList* list_;

private:
    QString title_;
    QString caption_;
};

// The matches of the current search, largest first, told relative to the explored folder; a
// title with the number found (or "Nothing by that name"; while the next search runs, the
// last one's number) and the search's time. Nodes gone from the index are left out.
class SearchResultsView : public ListScreen {
    Q_OBJECT
public:
    explicit SearchResultsView(AppModel& model, QWidget* parent = nullptr);
    void refresh();
};

// The Biggest tab: the heaviest files below the explored folder, without those gone from the
// index (removed, or inside a removed folder) even before the model computes the list again.
// While the model works out the list of another folder or index, the one it holds stays.
class BiggestView : public ListScreen {
    Q_OBJECT
public:
    explicit BiggestView(AppModel& model, QWidget* parent = nullptr);
    void refresh();
};

}  // namespace tamrel
