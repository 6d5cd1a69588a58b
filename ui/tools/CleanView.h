#pragma once

#include <QScrollArea>

#include <set>
#include <string>
#include <vector>

#include "model/app/AppModel.h"
#include "ui/results/Confirmation.h"
#include "ui/tools/CleanGroupCard.h"
#include "ui/tools/CleanHeader.h"
#include "ui/tools/TextButton.h"

namespace tamrel {

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
    QMessageBox* confirmation() const { return confirm_->box(); }

protected:
    void resizeEvent(QResizeEvent*) override;

private:
    void rebuild();
    void relayout();
    void refresh();

    AppModel& model_;
    QWidget* page_;
    CleanHeader* header_;
    QWidget* empty_;
    std::vector<CleanGroupCard*> cards_;
    std::set<std::string> openGroups_;
    Confirmation* confirm_ = nullptr;
};

}  // namespace tamrel
