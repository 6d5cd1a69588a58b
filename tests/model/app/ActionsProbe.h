#pragma once

#include <QCoreApplication>

#include <utility>

#include "model/app/AppModel.h"

namespace tamrel {

// Installs index generations and picks in a model the way its own operations would, for the
// tests of the actions that move files.
class ActionsProbe {
public:
    // Lets every piece of the model's background work end and runs what it handed back to the
    // main thread, until nothing more is started: after it, a result that was going to land has
    // landed. Not while a worker waits for the main thread's say (a held administrator prompt).
    static void finishWork(AppModel& model) {
        do {
            model.pool_.waitForDone();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        } while (model.pool_.activeThreadCount() > 0);
    }
    // Shows `index` at its root with nothing picked, as a newly opened target (no watcher).
    static void show(AppModel& model, IndexRef index) { model.navigator_.show(std::move(index)); }
    // Adopts `next` as a refreshed generation of the shown index.
    static void adopt(AppModel& model, IndexRef next) { model.liveSync_.adopt(std::move(next)); }
    static void setCurrent(AppModel& model, NodeId node) { model.shown_.setCurrent(node); }
    static void setCleanPicked(AppModel& model, NodeSet picked) {
        Batch batch(model.announcer_);
        model.cleanUp_.cleanPicked.set(batch, std::move(picked));
    }
    // Publishes `report` as the System Data report of the shown generation.
    static void setSystemReport(AppModel& model, SystemDataReport report) {
        Batch batch(model.announcer_);
        model.derived_.systemReport.set(batch, std::move(report));
    }
    // The window's phase, as a scan that holds it would set it.
    static void setPhase(AppModel& model, Phase phase) {
        Batch batch(model.announcer_);
        model.shown_.phase.set(batch, phase);
    }
    // The access the model's probe found, as on a machine where it is limited.
    static void setHasFullDiskAccess(AppModel& model, bool on) {
        Batch batch(model.announcer_);
        model.volumesAndPlaces_.hasFullDiskAccess.set(batch, on);
    }
    static void setApps(AppModel& model, InstalledApps apps, const IndexRef& from, int revision) {
        Batch batch(model.announcer_);
        model.appInventory_.apps.set(batch, std::move(apps));
        model.appInventory_.appsIndex_ = from;
        model.appInventory_.appsRevision_ = revision;
        model.appInventory_.appsProfile_ = CleanUp::ruleProfile();
    }
};

}  // namespace tamrel
