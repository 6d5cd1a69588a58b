#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/app/AppInventory.h"
#include "model/app/AppModelOptions.h"
#include "model/app/AppValues.h"
#include "model/app/BasketAndTrash.h"
#include "model/app/CleanUp.h"
#include "model/app/DerivedData.h"
#include "model/app/LiveSync.h"
#include "model/app/ModelContext.h"
#include "model/app/Navigator.h"
#include "model/app/Property.h"
#include "model/app/PropertyTypes.h"
#include "model/app/Removals.h"
#include "model/app/SearchController.h"
#include "model/app/ShownIndex.h"
#include "model/app/Toasts.h"
#include "model/app/Uninstaller.h"
#include "model/app/VolumesAndPlaces.h"
#include "model/apps/InstalledApp.h"
#include "model/system/Clock.h"
#include "model/system/Desktop.h"
#include "model/system/Platform.h"

namespace tamrel {

// The one state object of the application. Screens read its properties, are told of their
// changes through each property's changed signal, and act only by calling its operations.
//
// Announcing: a write of a value equal to the stored one is silent, except for progress, index,
// breakdown, tips, systemReport, cleanPlan and apps, which announce every write; every write of
// `query` (changed or not) schedules a search. Every write belongs to a Batch of the model's
// Announcer; signals are sent only when the outermost batch of an operation closes, in the
// order the properties are declared below, so a slot never sees a new `index` with an old
// `current`. While the signals of an animated step are sent, animation() gives that step's
// spring (the controllers name them beside the properties they animate); otherwise it gives
// nothing.
//
// Node ids held by the model (current, hovered, basket, results, biggest, tips, systemReport,
// cleanPlan, cleanPicked) belong to the shown index generation `index`; when another generation
// is installed they are carried over by path or cleared in the same batch of changes.
//
// Structure: the model composes its controllers, each the one writer of its own properties,
// and forwards those properties here. Each controller is given, in its constructor, the others
// it uses, so that they call one another one way only: ShownIndex (index, current, hovered,
// basket, revision, phase, scanTarget) and Toasts use none; DerivedData, SearchController,
// CleanUp and AppInventory follow ShownIndex's changes rather than being called by those who
// change the index.
//
// Threading: the model lives on the main thread; every property and operation is for the main
// thread only. Scans, derived data, searches, refreshes and saves run on the model's own thread
// pool and hold the index they work on by shared ownership; their results come back through
// queued calls and are stored only when still current. The destructor stops the watcher, saves
// a refreshed generation whose changes are not saved yet, and waits for running work: a running
// fresh scan is cancelled first, moves to the Trash stop after the item under way, and an
// uninstall stops waiting for the application to quit or for the administrator prompt (which
// is withdrawn); nothing of their outcome is reported.
class AppModel : public QObject {
    Q_OBJECT

public:
    using Options = AppModelOptions;

    // Creates the model with every property at its initial value; then, unless
    // options.startUp is false, runs startUp(). `desktop` must outlive the model.
    explicit AppModel(Desktop& desktop, Options options = Options(), QObject* parent = nullptr);
    ~AppModel() override;

private:
    // Made before the properties below, which forward theirs, and destroyed after them.
    Announcer announcer_;
    Desktop& desktop_;
    Options options_;
    Clock& clock_;
    Platform& platform_;
    ModelContext context_;
    // Each made after those it is given.
    Toasts toasts_;
    Removals removals_;
    ShownIndex shown_;
    SearchController search_;
    BasketAndTrash basketAndTrash_;
    CleanUp cleanUp_;
    DerivedData derived_;
    AppInventory appInventory_;
    Uninstaller uninstaller_;
    LiveSync liveSync_;
    VolumesAndPlaces volumesAndPlaces_;
    Navigator navigator_;

    // Gives `property` the next place in the order of announcement.
    template <typename P>
    const P& placed(P& property) {
        announcer_.place(property);
        return property;
    }

public:
    // --- Properties: read on the main thread as model.phase(); each tells of its changes by
    // its PropertyNotifier::changed, connected as connect(&model.phase, &PropertyNotifier::changed,
    // ...). Each is the property of the controller it is placed from, which alone writes it. ---
    const Property<Phase>& phase = placed(shown_.phase);
    const Property<Volumes>& volumes = placed(volumesAndPlaces_.volumes);
    const Property<Places>& places = placed(volumesAndPlaces_.places);
    // Path of a volume or place -> scan date of the saved index that serves it.
    const Property<SavedDates>& indexed = placed(volumesAndPlaces_.indexed);
    const Property<bool>& hasFullDiskAccess = placed(volumesAndPlaces_.hasFullDiskAccess);
    // The folder or volume last asked for (its absolute path).
    const Property<OptionalPath>& scanTarget = placed(shown_.scanTarget);
    // Counters of the last fresh scan; a new object for every fresh scan.
    const Property<ProgressRef, Announce::everyWrite>& progress = placed(navigator_.progress);
    // The index on screen, or null.
    const Property<IndexRef, Announce::everyWrite>& index = placed(shown_.index);
    // The folder being explored; 0 is the root.
    const Property<NodeId>& current = placed(shown_.current);
    const Property<Tab>& tab = placed(navigator_.tab);
    const Property<OptionalNode>& hovered = placed(shown_.hovered);
    // Rises by one at every change of the shown index's content.
    const Property<int>& revision = placed(shown_.revision);
    const Property<QString>& query = placed(search_.query);
    const Property<NodeIds>& results = placed(search_.results);
    const Property<qint64>& resultTotal = placed(search_.resultTotal);
    const Property<double>& resultTime = placed(search_.resultTime);
    const Property<bool>& searching = placed(search_.searching);
    const Property<NodeIds>& basket = placed(shown_.basket);
    const Property<bool>& trashing = placed(removals_.trashing);
    const Property<bool>& confirmTrash = placed(basketAndTrash_.confirmTrash);
    const Property<OptionalToast>& toast = placed(toasts_.toast);
    const Property<KindBytes, Announce::everyWrite>& breakdown = placed(derived_.breakdown);
    const Property<NodeIds>& biggest = placed(derived_.biggest);
    const Property<Suggestions, Announce::everyWrite>& tips = placed(derived_.tips);
    const Property<OptionalReport, Announce::everyWrite>& systemReport =
        placed(derived_.systemReport);
    const Property<quint64>& trashSize = placed(derived_.trashSize);
    const Property<Sync>& sync = placed(liveSync_.sync);
    const Property<CleanGroups, Announce::everyWrite>& cleanPlan = placed(cleanUp_.cleanPlan);
    const Property<NodeSet>& cleanPicked = placed(cleanUp_.cleanPicked);
    const Property<bool>& confirmClean = placed(cleanUp_.confirmClean);
    const Property<InstalledApps, Announce::everyWrite>& apps = placed(appInventory_.apps);
    const Property<bool>& appsLoading = placed(appInventory_.appsLoading);
    const Property<OptionalNode>& selectedApp = placed(appInventory_.selectedApp);
    const Property<NodeSet>& leftoverPicked = placed(appInventory_.leftoverPicked);
    const Property<AppSort>& appSort = placed(appInventory_.appSort);
    const Property<QString>& appFilter = placed(appInventory_.appFilter);
    const Property<bool>& confirmUninstall = placed(uninstaller_.confirmUninstall);
    const Property<bool>& uninstalling = placed(removals_.uninstalling);
    // True from runClean() until its recomputed plan is handed to the trash action (which sets
    // `trashing` in the same step) or dropped.
    const Property<bool>& preparingClean = placed(removals_.preparingClean);
    // A removal runs: a clean-up being prepared, a move to the Trash or an uninstall (each set
    // too while it waits for the check of the saved index shown; see Removals). Removals never
    // overlap: trash(), runClean() and uninstall() called meanwhile are refused with a toast.
    const Property<bool>& removalBusy = placed(removals_.removalBusy);

    // The start-up actions (Navigator::startUp()).
    void startUp();

    // The clock of the model's waits (Options::clock); the screens' timed motion goes by it too.
    Clock& clock() const { return clock_; }

    // The spring of the step whose changes are being announced, or nothing outside one.
    std::optional<Spring> animation() const { return announcer_.animation(); }

    // --- Properties the screens write ---
    void setTab(Tab tab) { navigator_.setTab(tab); }
    void setHovered(OptionalNode node) { shown_.setHovered(node); }
    // Stores the text (announced only when it changed) and always schedules a search.
    void setQuery(const QString& text) { search_.setQuery(text); }
    void setConfirmTrash(bool on) { basketAndTrash_.setConfirmTrash(on); }
    void setToast(OptionalToast toast) { toasts_.show(std::move(toast)); }
    void setConfirmClean(bool on) { cleanUp_.setConfirmClean(on); }
    void setLeftoverPicked(NodeSet picked) { appInventory_.setLeftoverPicked(std::move(picked)); }
    void setAppSort(AppSort sort) { appInventory_.setAppSort(sort); }
    void setAppFilter(const QString& filter) { appInventory_.setAppFilter(filter); }
    void setConfirmUninstall(bool on) { uninstaller_.setConfirmUninstall(on); }

    // --- Volumes, places and Full Disk Access (see VolumesAndPlaces) ---
    void refreshVolumes() { volumesAndPlaces_.refreshVolumes(); }
    std::optional<std::uint64_t> expectedScanBytes() const {
        return volumesAndPlaces_.expectedScanBytes();
    }

    // --- Opening a target and navigation (see Navigator) ---
    void scan(const std::string& path, bool fresh) { navigator_.scan(path, fresh); }
    void chooseFolder() { navigator_.chooseFolder(); }
    void rescan() { navigator_.rescan(); }
    void open(NodeId node) { navigator_.open(node); }
    void up() { navigator_.up(); }
    NodeIds children(NodeId node, std::size_t head = SIZE_MAX) const {
        return navigator_.children(node, head);
    }
    bool reveal(NodeId node) { return navigator_.reveal(node); }
    bool openItem(NodeId node) { return navigator_.openItem(node); }
    bool copyPath(NodeId node) { return navigator_.copyPath(node); }

    // --- Derived data ---
    // Recomputes breakdown, biggest, tips, trashSize, systemReport and the clean-up plan of the
    // shown index and current folder off the main thread; the latest run started wins.
    void refreshDerived() { derived_.refreshDerived(); }

    // The most derived-data runs of all models of this process that were computing at the same
    // moment (for benchmarks).
    static int peakDerivedRuns() { return DerivedData::peakRuns(); }

    // --- Trash basket and trashing (see BasketAndTrash and ShownIndex) ---
    bool inBasket(NodeId node) const { return basketAndTrash_.inBasket(node); }
    bool mayPick(NodeId node) const { return basketAndTrash_.mayPick(node); }
    QString pickRefusal(NodeId node) const { return basketAndTrash_.pickRefusal(node); }
    void toggleBasket(NodeId node) { basketAndTrash_.toggleBasket(node); }
    std::uint64_t basketSize() const { return basketAndTrash_.basketSize(); }
    void setBasket(NodeIds nodes) { basketAndTrash_.setBasket(std::move(nodes)); }
    void trash(const NodeIds& nodes, const std::vector<std::string>& skipped) {
        basketAndTrash_.trash(nodes, skipped);
    }
    static bool isProtected(const std::string& path) { return BasketAndTrash::isProtected(path); }

    // --- Clean-up plan and the rules (see CleanUp) ---
    static RuleSet ruleSet() { return ModelContext::ruleSet(); }
    static CleanContext cleanContext() { return CleanUp::cleanContext(); }
    void applyCleanPlan(CleanGroups plan) { cleanUp_.applyCleanPlan(std::move(plan)); }
    void setClean(const NodeIds& nodes, bool on) { cleanUp_.setClean(nodes, on); }
    std::uint64_t cleanSize() const { return cleanUp_.cleanSize(); }
    void runClean() { cleanUp_.runClean(); }

    // --- Installed applications and uninstalling (see AppInventory and Uninstaller) ---
    void loadApps(bool force) { appInventory_.loadApps(force); }
    AppRefs sortedApps() const { return appInventory_.sortedApps(); }
    void selectApp(NodeId node) { appInventory_.selectApp(node); }
    bool appRunning(const InstalledApp& app) const { return uninstaller_.appRunning(app); }
    void uninstall(const InstalledApp& app) { uninstaller_.uninstall(app); }

private:
    // Tests of the actions install index generations and picks directly.
    friend class ActionsProbe;

    // Last member: destroyed (and waited for) before anything its tasks may post to.
    QThreadPool pool_;
};

}  // namespace tamrel
