#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/live/Watcher.h"
#include "core/query/FileKind.h"
#include "core/scan/ScanProgress.h"
#include "core/space/CleanPlan.h"
#include "core/space/RuleProfile.h"
#include "core/space/Suggestions.h"
#include "core/space/SystemData.h"
#include "model/app/AppInventory.h"
#include "model/app/AppValues.h"
#include "model/app/BasketAndTrash.h"
#include "model/app/CleanUp.h"
#include "model/app/DerivedData.h"
#include "model/app/LiveSync.h"
#include "model/app/ModelContext.h"
#include "model/app/Navigator.h"
#include "model/app/Property.h"
#include "model/app/PropertyTypes.h"
#include "model/app/SearchController.h"
#include "model/app/Uninstaller.h"
#include "model/app/VolumeList.h"
#include "model/app/VolumesAndPlaces.h"
#include "model/apps/InstalledApp.h"
#include "model/removal/TrashCan.h"
#include "model/system/Clock.h"
#include "model/system/Desktop.h"
#include "model/system/Platform.h"

namespace tamrel {

// How long the model's waits last. Tests shorten them; the defaults are the product's.
struct AppModelOptions {
    // What the waits go by: the model's timers, an uninstall's patience, and the screens' timed
    // motion. Null: Clock::steady(). Must outlive the model.
    Clock* clock = nullptr;
    std::chrono::milliseconds searchDelay{60};  // typing settles before a search
    std::chrono::milliseconds quietTime{2000};  // no live batch for this long before a refresh
    // A disk that never falls quiet (a whole-disk index sees every program's writes) is
    // refreshed anyway once its first pending batch has waited this long.
    std::chrono::milliseconds liveMaxWait{10000};
    std::chrono::milliseconds retryDelay{1000};  // a refresh that finds another running waits
    // A followed index is saved at most this often while changes keep coming: each save writes
    // the whole index (168 MB for 3 million entries). A crash loses nothing, as the next open
    // catches up from the event id of the saved file. Also saved when it stops being followed.
    std::chrono::milliseconds saveInterval{60000};
    Watcher::Options watcher;                    // the event stream of the shown root
    // Stops launch jobs and moves with administrator rights; null: Platform::system().
    Platform* platform = nullptr;
    // Every move to the Trash the model makes; null: TrashCan::system().
    TrashCan* trashCan = nullptr;
    // An uninstall checks this often whether the application has quit, and waits 30 of these
    // on the clock at most.
    std::chrono::milliseconds quitCheck{200};
    // Runs the start-up actions (volumes, places, the saved whole-disk index) in the
    // constructor. Tests that set up state first turn it off and call startUp() themselves.
    bool startUp = true;
};

// The one state object of the application. Screens read its properties, are told of their
// changes through each property's changed signal, and act only by calling its operations.
//
// Announcing: a write of a value equal to the stored one is silent, except for progress, index,
// breakdown, tips, systemReport, cleanPlan and apps, which announce every write; every write of
// `query` (changed or not) schedules a search. Every write belongs to a Batch of the model's
// Announcer; signals are sent only when the outermost batch of an operation closes, in
// declaration order, so a slot never sees a new `index` with an old `current`. While the signals
// of an animated step are sent, animation() gives that step's spring; otherwise it gives nothing.
//
// Node ids held by the model (current, hovered, basket, results, biggest, tips, systemReport,
// cleanPlan, cleanPicked) belong to the shown index generation `index`; when another generation
// is installed they are carried over by path or cleared in the same batch of changes.
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

private:
    // Before the properties, which enroll with it in declaration order as they are made.
    Announcer announcer_;

public:
    // --- Properties: read on the main thread as model.phase(); each tells of its changes by
    // its PropertyNotifier::changed, connected as connect(&model.phase, &PropertyNotifier::changed,
    // ...). Only the model's operations write them. ---
    Property<Phase> phase{announcer_, Phase::home};
    Property<Volumes> volumes{announcer_};
    Property<Places> places{announcer_};
    // Path of a volume or place -> scan date of the saved index that serves it.
    Property<SavedDates> indexed{announcer_};
    Property<bool> hasFullDiskAccess{announcer_, false};
    // The folder or volume last asked for (its absolute path).
    Property<OptionalPath> scanTarget{announcer_};
    // Counters of the last fresh scan; a new object for every fresh scan.
    Property<ProgressRef, Announce::everyWrite> progress{announcer_};
    // The index on screen, or null.
    Property<IndexRef, Announce::everyWrite> index{announcer_};
    // The folder being explored; 0 is the root.
    Property<NodeId> current{announcer_, 0};
    Property<Tab> tab{announcer_, Tab::explore};
    Property<OptionalNode> hovered{announcer_};
    // Rises by one at every change of the shown index's content.
    Property<int> revision{announcer_, 0};
    Property<QString> query{announcer_};
    Property<NodeIds> results{announcer_};
    Property<qint64> resultTotal{announcer_, 0};
    Property<double> resultTime{announcer_, 0};
    Property<bool> searching{announcer_, false};
    Property<NodeIds> basket{announcer_};
    Property<bool> trashing{announcer_, false};
    Property<bool> confirmTrash{announcer_, false};
    Property<OptionalToast> toast{announcer_};
    Property<KindBytes, Announce::everyWrite> breakdown{announcer_};
    Property<NodeIds> biggest{announcer_};
    Property<Suggestions, Announce::everyWrite> tips{announcer_};
    Property<OptionalReport, Announce::everyWrite> systemReport{announcer_};
    Property<quint64> trashSize{announcer_, 0};
    Property<Sync> sync{announcer_, Sync::live};
    Property<CleanGroups, Announce::everyWrite> cleanPlan{announcer_};
    Property<NodeSet> cleanPicked{announcer_};
    Property<bool> confirmClean{announcer_, false};
    Property<InstalledApps, Announce::everyWrite> apps{announcer_};
    Property<bool> appsLoading{announcer_, false};
    Property<OptionalNode> selectedApp{announcer_};
    Property<NodeSet> leftoverPicked{announcer_};
    Property<AppSort> appSort{announcer_, AppSort::size};
    Property<QString> appFilter{announcer_};
    Property<bool> confirmUninstall{announcer_, false};
    Property<bool> uninstalling{announcer_, false};
    // True from runClean() until its recomputed plan is handed to the trash action (which sets
    // `trashing` in the same step) or dropped.
    Property<bool> preparingClean{announcer_, false};

public:
    using Options = AppModelOptions;

    // Creates the model with every property at its initial value; then, unless
    // options.startUp is false, runs startUp(). `desktop` must outlive the model.
    explicit AppModel(Desktop& desktop, Options options = Options(), QObject* parent = nullptr);
    ~AppModel() override;

    // The start-up actions (Navigator::startUp()).
    void startUp();

    // The clock of the model's waits (Options::clock); the screens' timed motion goes by it too.
    Clock& clock() const { return clock_; }

    // The spring of the step whose changes are being announced, or nothing outside one.
    std::optional<Spring> animation() const { return announcer_.animation(); }

    // --- Properties the screens write ---
    void setTab(Tab tab);
    void setHovered(OptionalNode node);
    // Stores the text (announced only when it changed) and always schedules a search.
    void setQuery(const QString& query);
    void setConfirmTrash(bool on);
    void setToast(OptionalToast toast);
    void setConfirmClean(bool on);
    void setLeftoverPicked(NodeSet picked);
    void setAppSort(AppSort sort);
    void setAppFilter(const QString& filter);
    void setConfirmUninstall(bool on);

    // --- Volumes, places and Full Disk Access (see VolumesAndPlaces) ---
    void refreshVolumes();
    std::optional<std::uint64_t> expectedScanBytes() const;

    // --- Opening a target and navigation (see Navigator) ---
    void scan(const std::string& path, bool fresh);
    void chooseFolder();
    void rescan();
    void open(NodeId node);
    void up();
    NodeIds children(NodeId node, std::size_t head = SIZE_MAX) const {
        return navigator_.children(node, head);
    }
    bool reveal(NodeId node);
    bool openItem(NodeId node);
    bool copyPath(NodeId node);

    // --- Derived data ---
    // Recomputes breakdown, biggest, tips, trashSize, systemReport and the clean-up plan of the
    // shown index and current folder off the main thread; the latest run started wins.
    void refreshDerived();

    // The most derived-data runs of all models of this process that were computing at the same
    // moment (for benchmarks).
    static int peakDerivedRuns();

    // --- Trash basket and trashing (see BasketAndTrash) ---
    bool inBasket(NodeId node) const { return basketAndTrash_.inBasket(node); }
    bool mayPick(NodeId node) const { return basketAndTrash_.mayPick(node); }
    void toggleBasket(NodeId node);
    std::uint64_t basketSize() const { return basketAndTrash_.basketSize(); }
    void setBasket(NodeIds basket);
    void trash(const NodeIds& nodes, const std::vector<std::string>& skipped);
    static bool isProtected(const std::string& path) { return BasketAndTrash::isProtected(path); }
    // A removal runs: a clean-up being prepared, a move to the Trash or an uninstall. Removals
    // never overlap: trash(), runClean() and uninstall() called meanwhile are refused with a
    // toast.
    bool removalBusy() const { return context_.removalBusy(); }

    // --- Clean-up plan and the rules (see CleanUp) ---
    static RuleSet ruleSet() { return CleanUp::ruleSet(); }
    static CleanContext cleanContext() { return CleanUp::cleanContext(); }
    void applyCleanPlan(CleanGroups plan);
    void setClean(const NodeIds& nodes, bool on);
    std::uint64_t cleanSize() const { return cleanUp_.cleanSize(); }
    void runClean();

    // --- Installed applications and uninstalling (see AppInventory and Uninstaller) ---
    void loadApps(bool force);
    AppRefs sortedApps() const { return appInventory_.sortedApps(); }
    void selectApp(NodeId node);
    bool appRunning(const InstalledApp& app) const { return uninstaller_.appRunning(app); }
    void uninstall(const InstalledApp& app);

private:
    // Writes one property as a step of its own.
    template <typename P, typename V>
    void write(P& property, V&& value) {
        Batch batch(announcer_);
        property.set(batch, std::forward<V>(value));
    }

    Desktop& desktop_;
    Options options_;
    Clock& clock_;
    Platform& platform_;
    // What the controllers share; they are made after it, in this order, and destroyed before.
    ModelContext context_;
    SearchController search_;
    DerivedData derived_;
    VolumesAndPlaces volumesAndPlaces_;
    LiveSync liveSync_;
    Navigator navigator_;
    BasketAndTrash basketAndTrash_;
    CleanUp cleanUp_;
    AppInventory appInventory_;
    Uninstaller uninstaller_;

    // Tests of the actions install index generations and picks directly.
    friend class ActionsProbe;

    // Last member: destroyed (and waited for) before anything its tasks may post to.
    QThreadPool pool_;
};

}  // namespace tamrel
