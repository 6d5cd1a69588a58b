#pragma once

#include <QObject>

#include "model/app/AppModel.h"

namespace tamrel {

// The one busy state of the moves to the Trash: set while a clean-up is being prepared (the plan
// computed again before its items go), while items move to the Trash and while an application is
// uninstalled. While it is set, "Clean", "Move to Trash" and "Uninstall" are off, so two
// destructive runs never overlap.
//
// One per model, owned by it (a child object), made on first use. Main thread only.
class ToolsBusy : public QObject {
    Q_OBJECT
public:
    static ToolsBusy& of(AppModel& model);

    bool busy() const;
    bool preparing() const { return preparing_; }

    // Starts the clean-up of the ticked items (AppModel::runClean) unless busy; the busy state
    // holds until the move has started and ended. False when it did not start.
    bool startClean();
    // Uninstalls `app` unless busy. False when it did not start.
    bool startUninstall(const InstalledApp& app);

signals:
    void changed();

private:
    explicit ToolsBusy(AppModel& model);
    void setPreparing(bool on);

    AppModel& model_;
    bool preparing_ = false;
};

}  // namespace tamrel
