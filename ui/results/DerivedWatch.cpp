#include "ui/results/DerivedWatch.h"

namespace tamrel {
namespace {

std::string folderOf(const AppModel& model) {
    const IndexRef& index = model.index();
    if (!index || model.current() >= index->count()) return {};
    return index->path(model.current());
}

}  // namespace

DerivedWatch::DerivedWatch(AppModel& model, QObject* parent)
    : QObject(parent), model_(model), revision_(model.revision()) {
    // Built over a model that already shows results: a new generation starts without a report
    // and without biggest files, so either one means its data have come.
    if (model_.index() && (model_.systemReport() || !model_.biggest().empty())) {
        published_ = true;
        folder_ = folderOf(model_);
    }
    connect(&model_, &AppModel::breakdownChanged, this, [this] {
        published_ = bool(model_.index());
        folder_ = folderOf(model_);
        emit changed();
    });
    connect(&model_, &AppModel::indexChanged, this, [this] {
        // Sent before revisionChanged: revision_ still holds the value before this step.
        const bool adopted = model_.revision() != revision_;
        if (!adopted) published_ = false;
        emit changed();
    });
    connect(&model_, &AppModel::revisionChanged, this, [this] { revision_ = model_.revision(); });
    connect(&model_, &AppModel::currentChanged, this, &DerivedWatch::changed);
}

bool DerivedWatch::pending() const {
    if (!model_.index()) return false;
    return !published_ || folderOf(model_) != folder_;
}

}  // namespace tamrel
