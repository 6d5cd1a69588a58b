#pragma once

#include <QObject>

#include <string>

#include "model/app/AppModel.h"

namespace tamrel {

// Tells whether the model's derived data (breakdown, biggest, the report, the plan) are those
// of the shown index and explored folder, or are still being worked out for them: after
// another target is shown or another folder opened, until the model publishes the new ones.
//
// The model publishes all derived data in one step, and that step, alone, writes `breakdown`
// (announced at every write). A refreshed generation adopted in place (the step that changes
// `index` also raises `revision`) carries the lists over by path, so the data stay those of the
// folder at the same path; any other new generation starts with none.
//
// Main thread only, like the model.
class DerivedWatch : public QObject {
    Q_OBJECT
public:
    explicit DerivedWatch(AppModel& model, QObject* parent = nullptr);

    // True while an index is shown and its derived data for the explored folder have not
    // arrived. False without an index (there is nothing to wait for).
    bool pending() const;

signals:
    // pending() may have changed.
    void changed();

private:
    AppModel& model_;
    bool published_ = false;  // the shown generation, or the one it was adopted from, has data
    std::string folder_;      // the path of the folder they were worked out for
    int revision_;            // the revision last seen, to tell an adoption from a new target
};

}  // namespace tamrel
