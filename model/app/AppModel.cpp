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
      searchTimer_(clock_, [this] { startSearch(); }),
      quitWait_(clock_, [this] {
          if (quitOver_) quitOver_->store(true);
      }) {
    searchTimer_.setSingleShot(true);
    searchTimer_.setPrecise(true);
    quitWait_.setSingleShot(true);
    liveTimer_.setSingleShot(true);
    // A coarse timer may fire up to 5 % late, 100 ms on the 2 s quiet time.
    liveTimer_.setTimerType(Qt::PreciseTimer);
    connect(&liveTimer_, &QTimer::timeout, this, [this] {
        if (!watcher_) return;
        apply(watcher_->take());
    });
    saveTimer_.setSingleShot(true);
    connect(&saveTimer_, &QTimer::timeout, this, [this] { saveNow(SavedIndex::Write::direct); });
    followMountTable();
    if (options_.startUp) startUp();
}

AppModel::~AppModel() {
    closing_ = true;
    if (progress_) progress_->cancel();
    derivedLatest_->fetch_add(1);
    stopWatching();
    pool_.waitForDone();
}

void AppModel::startUp() {
    Batch batch(*this);
    // The saved index of "/" is loaded once, by refreshVolumes(), and opened from there.
    startingUp_ = true;
    refreshVolumes();
    if (indexed_.contains("/")) scan("/", false);
    startingUp_ = false;
    startUpRoot_.reset();
}

// --- Announcements ---

AppModel::Batch::~Batch() {
    if (model_.batchDepth_ > 1) {
        --model_.batchDepth_;
        return;
    }
    // Still inside the batch: starting the derived data may write nothing, but keeps the
    // order "writes, then work, then announcements".
    model_.startDerivedRun();
    --model_.batchDepth_;
    model_.flush();
}

void AppModel::animated(Spring spring, const std::function<void()>& writes) {
    Batch batch(*this);
    const std::optional<Spring> outer = stepSpring_;
    stepSpring_ = spring;
    writes();
    stepSpring_ = outer;
}

void AppModel::announce(Prop prop) {
    const auto i = static_cast<std::size_t>(prop);
    pending_.set(i);
    pendingSpring_[i] = stepSpring_;
}

void AppModel::flush() {
    // A slot may write again; its writes make a batch of their own, sent from inside the slot.
    while (pending_.any()) {
        const std::bitset<propCount> sending = pending_;
        const auto springs = pendingSpring_;
        pending_.reset();
        for (int i = 0; i < propCount; ++i) {
            if (!sending.test(static_cast<std::size_t>(i))) continue;
            const std::optional<Spring> outer = animation_;
            animation_ = springs[static_cast<std::size_t>(i)];
            emitChanged(static_cast<Prop>(i));
            animation_ = outer;
        }
    }
}

void AppModel::emitChanged(Prop prop) {
    switch (prop) {
        case Prop::phase: emit phaseChanged(); break;
        case Prop::volumes: emit volumesChanged(); break;
        case Prop::places: emit placesChanged(); break;
        case Prop::indexed: emit indexedChanged(); break;
        case Prop::hasFullDiskAccess: emit hasFullDiskAccessChanged(); break;
        case Prop::scanTarget: emit scanTargetChanged(); break;
        case Prop::progress: emit progressChanged(); break;
        case Prop::index: emit indexChanged(); break;
        case Prop::current: emit currentChanged(); break;
        case Prop::tab: emit tabChanged(); break;
        case Prop::hovered: emit hoveredChanged(); break;
        case Prop::revision: emit revisionChanged(); break;
        case Prop::query: emit queryChanged(); break;
        case Prop::results: emit resultsChanged(); break;
        case Prop::resultTotal: emit resultTotalChanged(); break;
        case Prop::resultTime: emit resultTimeChanged(); break;
        case Prop::searching: emit searchingChanged(); break;
        case Prop::basket: emit basketChanged(); break;
        case Prop::trashing: emit trashingChanged(); break;
        case Prop::confirmTrash: emit confirmTrashChanged(); break;
        case Prop::toast: emit toastChanged(); break;
        case Prop::breakdown: emit breakdownChanged(); break;
        case Prop::biggest: emit biggestChanged(); break;
        case Prop::tips: emit tipsChanged(); break;
        case Prop::systemReport: emit systemReportChanged(); break;
        case Prop::trashSize: emit trashSizeChanged(); break;
        case Prop::sync: emit syncChanged(); break;
        case Prop::cleanPlan: emit cleanPlanChanged(); break;
        case Prop::cleanPicked: emit cleanPickedChanged(); break;
        case Prop::confirmClean: emit confirmCleanChanged(); break;
        case Prop::apps: emit appsChanged(); break;
        case Prop::appsLoading: emit appsLoadingChanged(); break;
        case Prop::selectedApp: emit selectedAppChanged(); break;
        case Prop::leftoverPicked: emit leftoverPickedChanged(); break;
        case Prop::appSort: emit appSortChanged(); break;
        case Prop::appFilter: emit appFilterChanged(); break;
        case Prop::confirmUninstall: emit confirmUninstallChanged(); break;
        case Prop::uninstalling: emit uninstallingChanged(); break;
        case Prop::preparingClean: emit preparingCleanChanged(); break;
        case Prop::count: break;
    }
}

// --- Setters the screens use ---

void AppModel::setTab(Tab tab) { store(Prop::tab, tab_, tab); }
void AppModel::setHovered(OptionalNode node) { store(Prop::hovered, hovered_, node); }

void AppModel::setQuery(const QString& query) {
    Batch batch(*this);
    store(Prop::query, query_, query);
    scheduleSearch();
}

void AppModel::setConfirmTrash(bool on) { store(Prop::confirmTrash, confirmTrash_, on); }
void AppModel::setToast(OptionalToast toast) { store(Prop::toast, toast_, std::move(toast)); }
void AppModel::setConfirmClean(bool on) { store(Prop::confirmClean, confirmClean_, on); }
void AppModel::setLeftoverPicked(NodeSet picked) {
    store(Prop::leftoverPicked, leftoverPicked_, std::move(picked));
}
void AppModel::setAppSort(AppSort sort) { store(Prop::appSort, appSort_, sort); }
void AppModel::setAppFilter(const QString& filter) { store(Prop::appFilter, appFilter_, filter); }
void AppModel::setConfirmUninstall(bool on) {
    store(Prop::confirmUninstall, confirmUninstall_, on);
}

// --- Background work ---

void AppModel::runInBackground(std::function<void()> work) {
    pool_.start(std::move(work));
}

void AppModel::onMainThread(std::function<void()> call) {
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

IndexRef AppModel::ownIndex(std::unique_ptr<DiskIndex> index) {
    if (!index) return nullptr;
    return IndexRef(index.release(), [](DiskIndex* gone) {
        const QCoreApplication* app = QCoreApplication::instance();
        if (app && QThread::currentThread() == app->thread()) {
            QThreadPool::globalInstance()->start([gone] { delete gone; });
        } else {
            delete gone;
        }
    });
}

}  // namespace tamrel
