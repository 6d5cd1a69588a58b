#pragma once

#include <QObject>
#include <QThreadPool>

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "model/app/AppModel.h"

namespace tamrel {

// Whether applications run now, found off the main thread. Finding out lists this user's
// processes in /proc: 3.8 ms for 72 processes, 6 ms for 110, longer with a few hundred, too long
// to spend on the main thread at each click in the application detail. The screen asks check()
// when the detail is shown or shows another application, when the uninstall question opens and
// after an uninstall asked an application to quit, and reads the last answer with running().
//
// One check runs at a time; asking while one runs queues the newest application only (a burst of
// asks costs one more listing). An answer is kept for its application (by bundle path and
// identifier) and replaces an older one; changed() tells of every answer that differs from the
// one kept.
//
// Main thread only. The model must outlive the check; the destructor waits for a listing under
// way (a few milliseconds) and drops its answer.
class RunningCheck : public QObject {
    Q_OBJECT
public:
    explicit RunningCheck(AppModel& model, QObject* parent = nullptr);
    ~RunningCheck() override;

    void check(const InstalledApp& app);
    // The last answer for `app`, or nothing before the first.
    std::optional<bool> running(const InstalledApp& app) const;
    // A check runs or waits.
    bool busy() const { return running_ || queued_.has_value(); }

signals:
    void changed();

private:
    using Key = std::pair<std::string, std::string>;  // bundle path, identifier
    static Key keyOf(const InstalledApp& app) { return {app.path, app.bundleID}; }
    void start(const InstalledApp& app);
    void answered(const Key& key, bool running);

    AppModel& model_;
    std::map<Key, bool> answers_;
    bool running_ = false;
    std::optional<InstalledApp> queued_;
    QThreadPool pool_;  // last: destroyed (and waited for) first
};

}  // namespace tamrel
