#pragma once

#include <QWidget>

#include <optional>

#include "model/app/AppModel.h"
#include "ui/results/Confirmation.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/tools/AppDetail.h"
#include "ui/tools/AppList.h"
#include "ui/tools/AppRows.h"
#include "ui/tools/Generation.h"
#include "ui/tools/LeftoverList.h"
#include "ui/tools/RunningCheck.h"

namespace tamrel {

class LoadingState;

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
    QMessageBox* confirmation() const { return confirm_->box(); }
    // Finds out whether the applications shown run.
    RunningCheck& runningCheck() { return *running_; }

protected:
    void showEvent(QShowEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    const InstalledApp* selected() const;
    void refresh();
    void rebuildDetail();
    void retitle() { confirm_->refresh(); }
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
    Confirmation* confirm_ = nullptr;
    // Where the focus was in a detail that went with no detail to take its place.
    std::optional<FocusCarry> pendingFocus_;
};

}  // namespace tamrel
