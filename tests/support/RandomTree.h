#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/live/Changes.h"
#include "tests/support/TempDir.h"

namespace tamrel::test {

inline std::string parentOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}

inline void append(const std::string& path, std::size_t bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    const std::string data(bytes, 'y');
    EXPECT_EQ(::write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(fd);
}

// A random tree on disk changed at random, with the Changes a watcher would report: the folder
// of every entry created, deleted, renamed or written.
class RandomTree {
public:
    explicit RandomTree(unsigned seed) : rng_(seed) {
        folders_.push_back(dir_.path());
        for (int k = 0; k < 25; ++k)
            newFolder(pick(folders_));
        for (int k = 0; k < 120; ++k)
            newFile(pick(folders_));
    }

    const std::string& root() const { return dir_.path(); }

    Changes change(int steps) {
        Changes changes;
        for (int k = 0; k < steps; ++k) {
            switch (rng_() % 7) {
                case 0:
                    changes.dirs.insert(newFile(pick(folders_)));
                    break;
                case 1: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    ::unlink(f.c_str());
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 2: {
                    if (files_.empty()) break;
                    const std::string f = take(files_);
                    const std::string to = pick(folders_) + "/moved" + std::to_string(next_++);
                    ::rename(f.c_str(), to.c_str());
                    files_.push_back(to);
                    changes.dirs.insert(parentOf(f));
                    changes.dirs.insert(parentOf(to));
                    break;
                }
                case 3: {
                    if (files_.empty()) break;
                    const std::string f = pick(files_);
                    append(f, 4096 * (1 + rng_() % 8));
                    changes.dirs.insert(parentOf(f));
                    break;
                }
                case 4: {
                    const std::string parent = pick(folders_);
                    const std::string made = newFolder(parent);
                    for (int n = 0; n < 4; ++n)
                        newFile(made);
                    newFile(newFolder(made));
                    changes.dirs.insert(parent);
                    break;
                }
                case 5: {
                    const std::string gone = pickBelowRoot();
                    if (gone.empty()) break;
                    removeTree(gone);
                    forget(gone, "");
                    changes.dirs.insert(parentOf(gone));
                    break;
                }
                case 6: {
                    const std::string from = pickBelowRoot();
                    if (from.empty()) break;
                    const std::string into = pick(folders_);
                    if (into == from || into.starts_with(from + "/")) break;
                    const std::string to = into + "/renamed" + std::to_string(next_++);
                    EXPECT_EQ(::rename(from.c_str(), to.c_str()), 0);
                    forget(from, to);
                    changes.dirs.insert(parentOf(from));
                    changes.dirs.insert(into);
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
    std::string newFolder(const std::string& parent) {
        const std::string p = parent + "/d" + std::to_string(next_++);
        ::mkdir(p.c_str(), 0755);
        folders_.push_back(p);
        return p;
    }
    std::string newFile(const std::string& parent) {
        const std::string p = parent + "/f" + std::to_string(next_++);
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        const std::string data(1 + rng_() % 20000, 'x');
        if (::write(fd, data.data(), data.size()) < 0) ADD_FAILURE() << "write " << p;
        ::close(fd);
        files_.push_back(p);
        return parent;
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
