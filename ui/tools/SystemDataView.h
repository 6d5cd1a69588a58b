#pragma once

#include <QScrollArea>
#include <QWidget>

#include <vector>

#include "model/app/AppModel.h"
#include "ui/tools/BucketCard.h"
#include "ui/tools/HiddenSpaceCard.h"
#include "ui/tools/SystemSummary.h"

namespace tamrel {

class LoadingState;

// The System Data tab: the summary, the note for a folder scan, the grid of bucket cards
// (columns at least 360 wide) and the hidden-space card when it has a row; the loading state
// until the model has an index and a report (a new index keeps showing the previous report until
// its own comes). Texts follow AppModel::ruleSet().
class SystemDataView : public QScrollArea {
    Q_OBJECT
public:
    explicit SystemDataView(AppModel& model, QWidget* parent = nullptr);

    bool loading() const;
    SystemSummary* summary() const { return summary_; }
    const std::vector<BucketCard*>& cards() const { return cards_; }
    // The hidden-space card, or null when it has no row.
    HiddenSpaceCard* hiddenCard() const { return hidden_; }
    // The folder note shown, or empty.
    QString note() const { return note_; }
    // The grid's column count at the current width.
    int columns() const;

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void rebuild();
    void relayout();

    AppModel& model_;
    QWidget* page_;
    LoadingState* loadingState_;
    SystemSummary* summary_ = nullptr;
    std::vector<BucketCard*> cards_;
    HiddenSpaceCard* hidden_ = nullptr;
    QString note_;
    QRectF noteRect_;
    friend class SystemDataPage;
};

}  // namespace tamrel
