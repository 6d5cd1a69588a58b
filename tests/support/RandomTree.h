#pragma once

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "core/live/Changes.h"
#include "tests/support/TempDir.h"

namespace tamrel::test {

inline std::string parentOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

// Appends `bytes` bytes to a file; false when it cannot be opened.
inline bool append(const std::string& path, std::size_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string data(bytes, 'y');
    EXPECT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(fd);
    return true;
}

// A random tree on disk changed at random, with the Changes a watcher would report: the folder
// of every entry created, deleted, renamed, linked or written, and for a folder swapped with
// another or whose permissions changed, that folder and every folder below it. Hard links are
// made across folders (only the new link's folder is reported, as a watcher reports it), and
// folders get modes that shut them to a user other than root. An operation the file system
// refuses (in a folder shut to the user running it) changes and reports nothing. What the
// constructor makes is dated a day back, so that a date a change leaves is always a new one.
class RandomTree {
public:
    explicit RandomTree(unsigned seed) : rng_(seed) {
        folders_.push_back(dir_.path());
        for (int k = 0; k < 25; ++k)
            newFolder(pick(folders_));
        for (int k = 0; k < 120; ++k)
            newFile(pick(folders_));
        for (int k = 0; k < 10; ++k)
            newLink(pick(folders_));
        // Dated a day back, so that every change made later shows in the dates it touches.
        const std::int64_t dayAgo = nowSeconds() - 86'400;
        for (const auto* list : {&files_, &folders_}) {
            for (const std::string& p : *list)
                setMtime(p, dayAgo);
        }
    }

    const std::string& root() const { return dir_.path(); }

    Changes change(int steps) {
        Changes changes;
        for (int k = 0; k < steps; ++k) {
            switch (rng_() % 10) {
                case 0:
                    if (const std::string made = newFile(pick(folders_)); !made.empty())
                        changes.dirs.insert(parentOf(made));
                    break;
                case 1: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    if (::unlink(f.c_str()) != 0) {
                        files_.push_back(f);
                        break;
                    }
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 2: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    const std::string to = pick(folders_) + "/moved" + std::to_string(next_++);
                    if (::rename(f.c_str(), to.c_str()) != 0) {
                        files_.push_back(f);
                        break;
                    }
                    files_.push_back(to);
                    changes.dirs.insert(parentOf(f));
                    changes.dirs.insert(parentOf(to));
                    break;
                }
                case 3: {
                    if (files_.empty()) break;
                    const std::string f = pick(files_);
                    if (!append(f, 4096 * (1 + rng_() % 8))) break;
                    // Its execute bits turned over too: through one name of a hard link, the
                    // others change as well.
                    struct stat st {};
                    if (::stat(f.c_str(), &st) == 0) ::chmod(f.c_str(), (st.st_mode & 07777) ^ 0111);
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 4: {
                    const std::string parent = pick(folders_);
                    const std::string made = newFolder(parent);
                    if (made.empty()) break;
                    for (int n = 0; n < 4; ++n)
                        newFile(made);
                    newFile(newFolder(made));
                    changes.dirs.insert(parent);
                    break;
                }
                case 5: {
                    const std::string gone = pickBelowRoot();
                    if (gone.empty()) break;
                    // Restores permissions as it goes, so it may change what it cannot remove
                    // (its parent shut to writes): everything below is reported.
                    reportBelow(gone, changes);
                    removeTree(gone);
                    changes.dirs.insert(parentOf(gone));
                    forgetMissing(gone);
                    break;
                }
                case 6: {
                    const std::string from = pickBelowRoot();
                    if (from.empty()) break;
                    const std::string into = pick(folders_);
                    if (into == from || into.starts_with(from + "/")) break;
                    const std::string to = into + "/renamed" + std::to_string(next_++);
                    if (::rename(from.c_str(), to.c_str()) != 0) break;
                    forget(from, to);
                    changes.dirs.insert(parentOf(from));
                    changes.dirs.insert(into);
                    break;
                }
                case 7:
                    if (const std::string made = newLink(pick(folders_)); !made.empty())
                        changes.dirs.insert(parentOf(made));
                    break;
                case 8: {
                    const std::string a = pickBelowRoot(), b = pickBelowRoot();
                    if (a.empty() || a == b || a.starts_with(b + "/") || b.starts_with(a + "/"))
                        break;
                    if (::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) !=
                        0) {
                        break;
                    }
                    swap(a, b);
                    changes.dirs.insert(parentOf(a));
                    changes.dirs.insert(parentOf(b));
                    reportBelow(a, changes);
                    reportBelow(b, changes);
                    break;
                }
                case 9: {
                    const std::string folder = pickBelowRoot();
                    static constexpr mode_t modes[] = {0755, 0755, 0700, 0600, 0500, 0};
                    if (folder.empty() || ::chmod(folder.c_str(), modes[rng_() % 6]) != 0) break;
                    changes.dirs.insert(parentOf(folder));
                    reportBelow(folder, changes);
                    break;
                }
            }
        }
        return changes;
    }

private:
    std::string pick(const std::vector<std::string>& from) { return from[rng_() % from.size()]; }
    std::string take(std::vector<std::string>& from) {
        const std::size_t k = rng_() % from.size();
        std::string out = from[k];
        from.erase(from.begin() + static_cast<std::ptrdiff_t>(k));
        return out;
    }
    std::string pickBelowRoot() {
        if (folders_.size() < 2) return {};
        return folders_[1 + rng_() % (folders_.size() - 1)];
    }
    // Each returns the path made, or "" when the file system refused.
    std::string newFolder(const std::string& parent) {
        if (parent.empty()) return {};
        const std::string p = parent + "/d" + std::to_string(next_++);
        if (::mkdir(p.c_str(), 0755) != 0) return {};
        folders_.push_back(p);
        return p;
    }
    std::string newFile(const std::string& parent) {
        if (parent.empty()) return {};
        const std::string p = parent + "/f" + std::to_string(next_++);
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return {};
        const std::string data(1 + rng_() % 20000, 'x');
        if (::write(fd, data.data(), data.size()) < 0) ADD_FAILURE() << "write " << p;
        ::close(fd);
        files_.push_back(p);
        return p;
    }
    // A second name, in `parent`, for a file anywhere in the tree.
    std::string newLink(const std::string& parent) {
        if (files_.empty()) return {};
        const std::string p = parent + "/l" + std::to_string(next_++);
        if (::link(pick(files_).c_str(), p.c_str()) != 0) return {};
        files_.push_back(p);
        return p;
    }
    // Every known folder at or below `top`.
    void reportBelow(const std::string& top, Changes& changes) const {
        for (const std::string& f : folders_) {
            if (f == top || f.starts_with(top + "/")) changes.dirs.insert(f);
        }
    }
    // Two folders exchanged: what was known below each is now below the other.
    void swap(const std::string& a, const std::string& b) {
        for (auto* list : {&folders_, &files_}) {
            for (std::string& p : *list) {
                if (p == a || p.starts_with(a + "/")) {
                    p = b + p.substr(a.size());
                } else if (p == b || p.starts_with(b + "/")) {
                    p = a + p.substr(b.size());
                }
            }
        }
    }
    // Drops the known paths at or below `top` that are no longer there.
    void forgetMissing(const std::string& top) {
        for (auto* list : {&folders_, &files_}) {
            std::erase_if(*list, [&](const std::string& p) {
                struct stat st {};
                return (p == top || p.starts_with(top + "/")) && ::lstat(p.c_str(), &st) != 0 &&
                       errno == ENOENT;
            });
        }
    }
    // Renames (or, with `to` empty, drops) every known path at or below `from`.
    void forget(const std::string& from, const std::string& to) {
        for (auto* list : {&folders_, &files_}) {
            std::vector<std::string> kept;
            for (const std::string& p : *list) {
                if (p == from || p.starts_with(from + "/")) {
                    if (!to.empty()) kept.push_back(to + p.substr(from.size()));
                } else {
                    kept.push_back(p);
                }
            }
            *list = std::move(kept);
        }
    }

    TempDir dir_;
    std::mt19937 rng_;
    std::vector<std::string> folders_;
    std::vector<std::string> files_;
    int next_ = 0;
};

}  // namespace tamrel::test
