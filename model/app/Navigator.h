#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"
#include "model/app/AppValues.h"
#include "model/app/ModelContext.h"

namespace tamrel {

// Opening a target and moving around in it: which index is shown (`index`, `scanTarget`,
// `progress`, `phase`) and the folder explored in it (`current`); the saved indexes a target is
// served from, and the check that such a file is intact; the file actions of the context menu.
//
// Threading: main thread; a fresh scan, its save and the check of a saved file run on the
// model's pool and hold their index by shared ownership. A scan's result is shown only while
// its scan still owns the screen; a check's outcome is of the target opened at the same count
// only.
class Navigator {
public:
    explicit Navigator(ModelContext& context) : context_(context), model_(context.model) {}
    Navigator(const Navigator&) = delete;
    Navigator& operator=(const Navigator&) = delete;

    // The start-up actions: refreshVolumes(), then, when `indexed` has an entry for "/",
    // scan("/", false).
    void startUp();
    // Shows the folder or volume at `path`: navigated to inside the shown index, served from
    // the saved index of "/", loaded from its own saved index, or scanned afresh (always with
    // `fresh`).
    void scan(const std::string& path, bool fresh);
    // Lets the user pick a folder, then scan(picked, false).
    void chooseFolder();
    // scan(index root, true) when an index is shown.
    void rescan();
    // Explores a folder of the shown index; anything else is ignored.
    void open(NodeId node);
    // Explores the parent of `current`.
    void up();
    // The node's children not marked removed, largest first; empty without an index. With
    // `head`, only the first `head` are in order (DiskIndex::sortedChildren).
    NodeIds children(NodeId node, std::size_t head) const;
    // The file actions of the context menu. False when no index is shown or the desktop
    // refused.
    bool reveal(NodeId node);
    bool openItem(NodeId node);
    bool copyPath(NodeId node);
    // Shows `index` at its root with nothing picked, as a newly opened target.
    void show(IndexRef index);

    // A saved index as loaded: the index, or null (also when loading fails in any way), and
    // whether a file of the current format for that root was there and refused as damaged.
    struct Saved {
        IndexRef index;
        bool damaged = false;
    };
    static Saved loadSaved(const std::string& root);
    // A folder that was entered (not a mount point, not denied, not gone) at `path` in `index`.
    static std::optional<NodeId> enteredFolder(const DiskIndex& index, const std::string& path);
    // While startUp() runs, the saved index of "/" that refreshVolumes() loaded to date the
    // folders it serves is handed over here, so that opening "/" next maps and checks the file
    // once. Kept only while startUp() runs.
    void keepStartUpRoot(Saved saved) {
        if (startingUp_) startUpRoot_ = std::move(saved);
    }

private:
    // What every opening that replaces the shown target does first: stops following it, counts
    // a new opening, takes `path` as the scan target and empties the basket and the query.
    void replaceShown(const std::string& path);
    void finishScan(const std::string& path, const ProgressRef& progress, IndexRef scanned,
                    const QString& error);
    void recordSaved(const std::string& path, std::chrono::system_clock::time_point scannedAt);
    // loadSaved(root), except that the saved index of "/" kept by keepStartUpRoot() is handed
    // over (once) instead of being loaded again.
    Saved savedIndex(const std::string& root);
    // Checks on the pool that the file a shown index was loaded from is intact (its checksum);
    // when it is not and nothing else was opened since, the index is thrown away and its root
    // scanned afresh, with a toast that says so. Refreshes are not saved until the check passed.
    void checkSaved(const IndexRef& index);
    // "The saved index was damaged", as a failure.
    static Toast damagedToast();

    ModelContext& context_;
    AppModel& model_;
    // While startUp() runs: the saved index of "/" as refreshVolumes() loaded it (null inside
    // when that load failed). Empty at any other time: it is never held beyond start-up.
    bool startingUp_ = false;
    std::optional<Saved> startUpRoot_;
    // Rises whenever scan() replaces what is shown: a check's outcome is of the target opened
    // at the same count only.
    std::uint64_t opened_ = 0;
};

}  // namespace tamrel
