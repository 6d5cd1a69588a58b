#include "model/app/AppModel.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <QThreadPool>

namespace tamrel {

AppModel::AppModel(Desktop& desktop, Options options, QObject* parent)
    : QObject(parent),
      desktop_(desktop),
      options_(std::move(options)),
      clock_(options_.clock ? *options_.clock : Clock::steady()),
      platform_(options_.platform ? *options_.platform : Platform::system()),
      context_(*this, announcer_, desktop_, options_, clock_, platform_, pool_),
      search_(context_),
      derived_(context_),
      volumesAndPlaces_(context_),
      liveSync_(context_),
      navigator_(context_),
      basketAndTrash_(context_),
      cleanUp_(context_),
      appInventory_(context_),
      uninstaller_(context_) {
    context_.search = &search_;
    context_.derived = &derived_;
    context_.volumes = &volumesAndPlaces_;
    context_.live = &liveSync_;
    context_.navigator = &navigator_;
    context_.basket = &basketAndTrash_;
    context_.clean = &cleanUp_;
    context_.inventory = &appInventory_;
    context_.uninstaller = &uninstaller_;
    announcer_.onClosing([this] { derived_.startRun(); });
    volumesAndPlaces_.followMountTable();
    if (options_.startUp) navigator_.startUp();
}

AppModel::~AppModel() {
    context_.closing = true;
    if (progress()) progress()->cancel();
    derived_.stop();
    liveSync_.stopWatching();
    pool_.waitForDone();
}

void AppModel::startUp() {
    navigator_.startUp();
}

void AppModel::scan(const std::string& path, bool fresh) {
    navigator_.scan(path, fresh);
}

void AppModel::chooseFolder() {
    navigator_.chooseFolder();
}

void AppModel::rescan() {
    navigator_.rescan();
}

void AppModel::open(NodeId node) {
    navigator_.open(node);
}

void AppModel::up() {
    navigator_.up();
}

bool AppModel::reveal(NodeId node) {
    return navigator_.reveal(node);
}

bool AppModel::openItem(NodeId node) {
    return navigator_.openItem(node);
}

bool AppModel::copyPath(NodeId node) {
    return navigator_.copyPath(node);
}

void AppModel::toggleBasket(NodeId node) {
    basketAndTrash_.toggleBasket(node);
}

void AppModel::setBasket(NodeIds basket) {
    basketAndTrash_.setBasket(std::move(basket));
}

void AppModel::trash(const NodeIds& nodes, const std::vector<std::string>& skipped) {
    basketAndTrash_.trash(nodes, skipped);
}

void AppModel::applyCleanPlan(CleanGroups plan) {
    cleanUp_.applyCleanPlan(std::move(plan));
}

void AppModel::setClean(const NodeIds& nodes, bool on) {
    cleanUp_.setClean(nodes, on);
}

void AppModel::runClean() {
    cleanUp_.runClean();
}

void AppModel::loadApps(bool force) {
    appInventory_.loadApps(force);
}

void AppModel::selectApp(NodeId node) {
    appInventory_.selectApp(node);
}

void AppModel::uninstall(const InstalledApp& app) {
    uninstaller_.uninstall(app);
}

void AppModel::refreshVolumes() {
    volumesAndPlaces_.refreshVolumes();
}

std::optional<std::uint64_t> AppModel::expectedScanBytes() const {
    return volumesAndPlaces_.expectedScanBytes();
}

void AppModel::refreshDerived() {
    derived_.refreshDerived();
}

int AppModel::peakDerivedRuns() {
    return DerivedData::peakRuns();
}

// --- Properties the screens write ---

void AppModel::setTab(Tab value) {
    write(tab, value);
}
void AppModel::setHovered(OptionalNode node) {
    write(hovered, node);
}

void AppModel::setQuery(const QString& text) {
    Batch batch(announcer_);
    query.set(batch, text);
    search_.scheduleSearch();
}

void AppModel::setConfirmTrash(bool on) {
    write(confirmTrash, on);
}
void AppModel::setToast(OptionalToast value) {
    write(toast, std::move(value));
}
void AppModel::setConfirmClean(bool on) {
    write(confirmClean, on);
}
void AppModel::setLeftoverPicked(NodeSet picked) {
    write(leftoverPicked, std::move(picked));
}
void AppModel::setAppSort(AppSort sort) {
    write(appSort, sort);
}
void AppModel::setAppFilter(const QString& filter) {
    write(appFilter, filter);
}
void AppModel::setConfirmUninstall(bool on) {
    write(confirmUninstall, on);
}

}  // namespace tamrel
