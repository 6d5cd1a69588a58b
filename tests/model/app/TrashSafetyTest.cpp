// Random interleavings of picking, ticking, trashing, cleaning, uninstalling and adopting
// refreshed index generations after real changes on disk: folders swapped for links to a "bait"
// tree holding the same names, folders replaced by other folders and files by new ones of the
// same size and time (no link anywhere), and, as root, the bait mounted over the folders of
// picked items. Whatever the order, the movers are asked only for paths the user picked, in the
// generation they picked them in; the real movers take nothing of the bait, and an item put in
// the place of another moves only when it was itself picked.
//
// TAMREL_SAFETY_ROUNDS sets the number of rounds of 40 operations (default 100); TAMREL_SAFETY_SEED
// the first seed. A failure names the seed of its round.

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCoreApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "platform/PathText.h"
#include "platform/XdgDirs.h"
#include "tests/model/Fixtures.h"
#include "tests/model/app/ActionsFixture.h"

namespace tamrel {
namespace {

using test::waitFor;

int envInt(const char* name, int fallback) {
    const char* v = std::getenv(name);
    return v ? std::atoi(v) : fallback;
}

// The device and inode of what is at `path` (not followed); {0, 0} when nothing is.
std::pair<dev_t, ino_t> identity(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return {0, 0};
    return {st.st_dev, st.st_ino};
}

// One round: a fresh tree, model and recorder, and `steps` random operations.
class Round {
public:
    explicit Round(std::uint32_t seed)
        : random_(seed), homeVar_("HOME", tree_ / "home"), can_(holding_.path(), true) {
        for (int i = 0; i < 3; ++i) {
            put("home/Library/Caches/c" + std::to_string(i) + "/f", 270'000 + 90'000 * i);
        }
        for (int i = 0; i < 2; ++i) {
            const std::string id = "com.safety.a" + std::to_string(i);
            test::makeBundle(tree_, "home/Applications/A" + std::to_string(i) + ".app",
                             {{"CFBundleIdentifier", id}, {"CFBundleName", "A" + std::to_string(i)}});
            put("home/Library/Caches/" + id + "/x", 20'000);
            put("home/Library/Application Support/" + id + "/x", 30'000);
        }
        for (int d = 0; d < 3; ++d) {
            for (int s = 0; s < 2; ++s) {
                for (int f = 0; f < 2; ++f) {
                    put("docs/d" + std::to_string(d) + "/s" + std::to_string(s) + "/f" +
                            std::to_string(f),
                        1000 * (1 + (d * 9 + s * 3 + f) % 7));
                }
            }
        }
        // What the links lead to: every name a swapped folder held, and more.
        for (const char* file : {"s0/f0", "s0/f1", "s1/f0", "s1/f1", "f0", "f1", "c0/f", "c1/f",
                                 "c2/f", "com.safety.a0/x", "com.safety.a1/x"}) {
            const std::filesystem::path at = bait_ / file;
            std::filesystem::create_directories(at.parent_path());
            std::ofstream(at, std::ios::binary) << std::string(300'000, 'b');
            baitFiles_.push_back(at);
        }
        AppModel::Options options;
        options.startUp = false;
        options.trashCan = &can_;
        options.quitCheck = std::chrono::milliseconds(1);
        model_ = std::make_unique<AppModel>(desktop_, options);
        // The generation each stored inventory was made from, watched from outside the model:
        // a load is stored only when the generation it started from is still shown.
        QObject::connect(&model_->appsLoading, &PropertyNotifier::changed, [this] {
            if (model_->appsLoading()) {
                loadFrom_ = model_->index();
            } else if (model_->index() == loadFrom_) {
                inventoryFrom_ = loadFrom_;
            }
        });
        // What each newly ticked item is, as the tick records it.
        QObject::connect(&model_->cleanPicked, &PropertyNotifier::changed, [this] { ticked(); });
        ActionsProbe::show(*model_, test::scanTree(tree_.path()));
        // Start from a plan with ticked items and a loaded inventory.
        EXPECT_TRUE(waitFor([&] { return !model_->cleanPicked().empty(); }));
        model_->loadApps(false);
        EXPECT_TRUE(waitFor([&] { return !model_->apps().empty(); }));
    }

    // Runs the steps; the paths asked for that nobody picked.
    std::vector<std::string> run(int steps) {
        AppModel& m = *model_;
        for (int step = 0; step < steps; ++step) {
            const IndexRef shown = m.index();
            switch (pick(12)) {
                case 0:
                case 1: {
                    const NodeId node = pick(shown->count());
                    m.toggleBasket(node);
                    const NodeIds& basket = m.basket();
                    if (std::find(basket.begin(), basket.end(), node) != basket.end())
                        picked_.insert(identity(shown->path(node)));
                    break;
                }
                case 2: {
                    NodeIds items;
                    for (const CleanGroup& g : m.cleanPlan()) {
                        for (const CleanItem& i : g.items) {
                            if (pick(2)) items.push_back(i.node);
                        }
                    }
                    m.setClean(items, pick(3) != 0);
                    ticked();
                    break;
                }
                case 3:
                    allow(*shown, m.basket());
                    m.trash(m.basket(), {});
                    break;
                case 4:
                    allow(*shown, NodeIds(m.cleanPicked().begin(), m.cleanPicked().end()));
                    m.runClean();
                    break;
                case 5:
                    changeDisk();
                    ActionsProbe::adopt(m, test::scanTree(tree_.path()));
                    break;
                case 6:
                    if (pick(4) == 0) changeDisk();
                    break;
                case 7:
                    m.loadApps(pick(2) != 0);
                    break;
                case 8:
                    if (!m.apps().empty()) m.selectApp(m.apps()[pick(m.apps().size())].node);
                    break;
                case 9:
                    uninstallSelected();
                    break;
                case 10:
                    if (pick(20) == 0) ActionsProbe::show(m, test::scanTree(tree_.path()));
                    break;
                default:
                    for (int n = pick(4); n > 0; --n) {
                        QCoreApplication::processEvents();
                        std::this_thread::sleep_for(std::chrono::microseconds(pick(300)));
                    }
                    break;
            }
        }
        // Let what runs finish, so every outcome meets the model.
        EXPECT_TRUE(waitFor([&] { return !m.trashing() && !m.uninstalling() && !m.appsLoading(); }));
        QCoreApplication::processEvents();
        std::vector<std::string> stray;
        for (const std::string& p : can_.asked()) {
            if (!allowed_.contains(p)) stray.push_back(p);
        }
        asked_ = can_.asked().size();
        for (const std::string& file : baitFiles_) {
            struct stat st {};
            if (::lstat(file.c_str(), &st) != 0) stray.push_back("moved: " + file);
        }
        std::error_code ec;
        for (const auto& e :
             std::filesystem::directory_iterator(homeTrashDirectory() + "/files", ec)) {
            const auto id = identity(e.path());
            if (putInPlace_.contains(id) && !picked_.contains(id))
                stray.push_back("moved what was put in the place of a pick: " + e.path().string());
        }
        return stray;
    }

    // A mount follows its folder renamed aside or moved to the Trash: each one below the
    // round's folders is found in the mount table (read whole before any goes, as it changes).
    ~Round() {
        for (bool found = true; found;) {
            std::ifstream table("/proc/self/mountinfo");
            std::vector<std::string> below;
            for (std::string line; std::getline(table, line);) {
                std::istringstream fields(line);
                std::string point;
                for (int k = 0; k < 5; ++k)
                    fields >> point;
                for (std::size_t at; (at = point.find("\\040")) != std::string::npos;)
                    point.replace(at, 4, " ");  // as the table writes a space
                for (const std::string& top : {tree_.path(), data_.path(), holding_.path()}) {
                    if (isAtOrBelow(point, top)) below.push_back(point);
                }
            }
            found = false;
            for (const std::string& point : below)
                found = ::umount2(point.c_str(), MNT_DETACH) == 0 || found;
        }
    }

    std::size_t asked() const { return asked_; }

private:
    std::uint32_t pick(std::uint64_t n) {
        return n == 0 ? 0 : static_cast<std::uint32_t>(random_() % n);
    }
    // Writes a file of `bytes` bytes. The model's workers may move a folder of the path at the
    // same time, so a write that fails is part of the interleaving, not an error.
    void put(const std::string& relative, std::size_t bytes) {
        const std::filesystem::path file = tree_ / relative;
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        std::ofstream(file, std::ios::binary) << std::string(bytes, 'x');
    }
    // A folder of the tree, and no link, at `relative`: the test's own changes never reach into
    // the bait.
    bool realFolder(const std::string& relative) const {
        struct stat st {};
        return ::lstat((tree_ / relative).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    // The clean-up ticks changed: what each newly ticked item is now (the tick of an item the
    // plan ticks by default was recorded as the plan was made, no later than now).
    void ticked() {
        const IndexRef& shown = model_->index();
        std::set<std::string> now;
        for (NodeId n : model_->cleanPicked()) {
            if (!shown || n >= shown->count()) continue;
            const std::string path = shown->path(n);
            if (!ticked_.contains(path)) picked_.insert(identity(path));
            now.insert(path);
        }
        ticked_ = std::move(now);
    }
    // The user confirms a move of these nodes as the shown generation names them.
    void allow(const DiskIndex& shown, const NodeIds& nodes) {
        for (NodeId n : nodes) {
            if (n < shown.count()) allowed_.insert(shown.path(n));
        }
    }
    void uninstallSelected() {
        AppModel& m = *model_;
        if (!m.selectedApp() || m.apps().empty()) return;
        for (const InstalledApp& app : m.apps()) {
            if (app.node != *m.selectedApp()) continue;
            if (pick(3) == 0) {
                NodeSet some;
                for (const Leftover& l : app.leftovers) {
                    if (pick(2)) some.insert(l.node);
                }
                m.setLeftoverPicked(some);
            }
            // The bundle by its stored path; the leftovers as the generation the inventory was
            // made from names them.
            allowed_.insert(app.path);
            NodeIds leftovers;
            for (const Leftover& l : app.leftovers) {
                if (m.leftoverPicked().contains(l.node)) leftovers.push_back(l.node);
            }
            if (inventoryFrom_) allow(*inventoryFrom_, leftovers);
            m.uninstall(app);
            return;
        }
    }
    // New files and folders (ids shift in the next scan), renames to names never used before
    // (so a path that left never comes back), folders swapped for links to the bait or for other
    // folders, files replaced by new ones alike, and (as root) a folder mounted over the folder of
    // a picked or ticked item. Nothing is deleted.
    void changeDisk() {
        const std::string n = std::to_string(++serial_);
        switch (pick(8)) {
            case 0: {
                // Inside a folder of the tree when it is still there, else at the top.
                const std::string folder = "docs/d" + std::to_string(pick(3));
                const bool there = realFolder(folder);
                put((there ? folder + "/" : std::string()) + "new" + n + "/f", 500 + pick(90'000));
                break;
            }
            case 1:
                if (realFolder("home/Library/Caches")) {
                    put("home/Library/Caches/n" + n + "/f", 200'000 + pick(300'000));
                }
                break;
            case 2: {
                const std::string d = "docs/d" + std::to_string(pick(3));
                if (realFolder(d)) {
                    std::rename((tree_ / (d + "/s" + std::to_string(pick(3)))).c_str(),
                                (tree_ / ("docs/r" + n)).c_str());
                }
                break;
            }
            case 3:
                put("a" + n, 100 + pick(1000));
                break;
            case 4: {
                // A folder at one of three depths, replaced by a link to the bait folder that
                // holds its children's names.
                const std::string d = "docs/d" + std::to_string(pick(3));
                const std::string folder[] = {d, d + "/s" + std::to_string(pick(2)),
                                              "home/Library/Caches"};
                const std::string target[] = {bait_.path(), bait_ / "s0", bait_.path()};
                const int k = static_cast<int>(pick(3));
                const std::string at = tree_ / folder[k];
                if (realFolder(d) &&
                    std::rename(at.c_str(), (tree_ / ("swapped" + n)).c_str()) == 0) {
                    ::symlink(target[k].c_str(), at.c_str());
                }
                break;
            }
            case 5: {
                // A folder renamed aside and another one renamed in under its name: a cache big
                // enough for the plan, or a folder of documents.
                const std::string d = "docs/d" + std::to_string(pick(3));
                const std::string folder[] = {d, d + "/s" + std::to_string(pick(2)),
                                              "home/Library/Caches/c" + std::to_string(pick(3))};
                const int k = static_cast<int>(pick(3));
                if (!realFolder(folder[k]) || !realFolder(parentPath(folder[k]))) break;
                const std::string other = others_ / ("o" + n);
                std::filesystem::create_directories(other);
                std::ofstream(other + "/f", std::ios::binary)
                    << std::string(k == 2 ? 300'000 : 2000, 'o');
                const std::string at = tree_ / folder[k];
                if (std::rename(at.c_str(), (tree_ / ("aside" + n)).c_str()) == 0 &&
                    std::rename(other.c_str(), at.c_str()) == 0) {
                    putInPlace_.insert(identity(at));
                }
                break;
            }
            case 6: {
                // A file made anew under its name, with the size and times of the one it replaces.
                const std::string file = tree_ / ("docs/d" + std::to_string(pick(3)) + "/s" +
                                                  std::to_string(pick(2)) + "/f" +
                                                  std::to_string(pick(2)));
                struct stat st {};
                if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
                    std::rename(file.c_str(), (tree_ / ("old" + n)).c_str()) != 0) {
                    break;
                }
                std::ofstream(file, std::ios::binary)
                    << std::string(static_cast<std::size_t>(st.st_size), 'n');
                const timespec times[2] = {st.st_atim, st.st_mtim};
                ::utimensat(AT_FDCWD, file.c_str(), times, 0);
                putInPlace_.insert(identity(file));
                break;
            }
            default: {
                // As root, the bait (every name a folder of the tree holds) mounted over the
                // folder of a picked or ticked item, for the rest of the round.
                if (::geteuid() != 0) break;
                const IndexRef& shown = model_->index();
                NodeIds chosen = model_->basket();
                chosen.insert(chosen.end(), model_->cleanPicked().begin(),
                              model_->cleanPicked().end());
                if (!shown || chosen.empty()) break;
                const NodeId node = chosen[pick(chosen.size())];
                if (node >= shown->count()) break;
                // Never through a link: the bait would be mounted over a folder of its own.
                const std::string folder = parentPath(shown->path(node));
                std::error_code ec;
                if (folder.size() <= tree_.path().size() ||
                    std::filesystem::canonical(folder, ec).string() != folder) {
                    break;
                }
                ::mount(bait_.path().c_str(), folder.c_str(), nullptr, MS_BIND, nullptr);
                break;
            }
        }
    }

    std::mt19937 random_;
    test::ScopedDataHome data_;
    test::TempDir tree_;
    test::TempDir holding_;
    test::TempDir bait_;
    test::TempDir others_;  // folders renamed in under the names of others
    std::vector<std::string> baitFiles_;
    test::ScopedEnv homeVar_;
    test::RecordingTrashCan can_;
    test::FakeDesktop desktop_;
    std::unique_ptr<AppModel> model_;
    std::set<std::string> allowed_;
    IndexRef loadFrom_;
    IndexRef inventoryFrom_;
    std::size_t asked_ = 0;
    int serial_ = 0;
    // Items put in the place of others, and what each pick and tick found where it was made.
    std::set<std::pair<dev_t, ino_t>> putInPlace_;
    std::set<std::pair<dev_t, ino_t>> picked_;
    std::set<std::string> ticked_;  // the paths ticked
};

TEST(TrashSafety, NoPathThatWasNotPickedIsEverAskedToMove) {
    const int rounds = envInt("TAMREL_SAFETY_ROUNDS", 100);
    const auto first = static_cast<std::uint32_t>(envInt("TAMREL_SAFETY_SEED", 1));
    std::size_t asked = 0;
    for (int r = 0; r < rounds; ++r) {
        const std::uint32_t seed = first + static_cast<std::uint32_t>(r);
        Round round(seed);
        const std::vector<std::string> stray = round.run(40);
        asked += round.asked();
        ASSERT_TRUE(stray.empty()) << "seed " << seed << ": " << stray.front();
    }
    // The rounds did move things: the test is not vacuous.
    RecordProperty("asked", static_cast<int>(asked));
    EXPECT_GT(asked, static_cast<std::size_t>(rounds));
}

}  // namespace
}  // namespace tamrel
