#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/scan/ScanProgress.h"
#include "core/scan/Scanner.h"
#include "core/space/RuleProfile.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"
#include "tests/support/TreeChecker.h"

namespace tamrel::test {

// A real tree shaped like a Linux desktop: a temporary root holding "home/u" (the home folder)
// and the system folders the test makes ("var/log", "boot"...). The Linux profile points its
// root there, so "/var/log" is looked up as root + "/var/log".
class LinuxDesktop {
public:
    TempDir dir;
    const std::string root = dir.path();
    const std::string home = dir / "home/u";
    std::unique_ptr<DiskIndex> index;

    LinuxDesktop() { dir.mkdirs("home/u"); }

    // A file of `bytes` below the home folder ("/.cache/x") or the root ("var/log/x").
    // Folders on the way are made.
    void homeFile(std::string_view rel, std::size_t bytes = 8192) const {
        rootFile("home/u" + std::string(rel), bytes);
    }
    void rootFile(std::string_view rel, std::size_t bytes = 8192) const {
        const std::size_t slash = rel.rfind('/');
        if (slash != std::string_view::npos && slash > 0) dir.mkdirs(rel.substr(0, slash));
        dir.write(rel, bytes);
    }

    // Sets the modification time of root + "/" + rel to `days` days before `now`.
    void age(std::string_view rel, std::uint32_t now, std::uint32_t days) const {
        const timespec t[2] = {{static_cast<time_t>(now - days * 86'400), 0},
                               {static_cast<time_t>(now - days * 86'400), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / rel).c_str(), t, AT_SYMLINK_NOFOLLOW), 0) << rel;
    }

    // The Linux profile of the home folder with the XDG variables unset (their defaults).
    RuleProfile profile() const {
        ScopedEnv c("XDG_CACHE_HOME", std::nullopt), f("XDG_CONFIG_HOME", std::nullopt),
            d("XDG_DATA_HOME", std::nullopt), s("XDG_STATE_HOME", std::nullopt);
        return RuleProfile::linuxDesktop(home, root);
    }

    const DiskIndex& scan() {
        ScanProgress progress;
        index = Scanner::scan(root, progress, 2);
        expectValidTree(*index);
        return *index;
    }

    std::optional<NodeId> id(std::string_view rel) const { return index->lookup(dir / rel); }
    std::uint64_t size(std::string_view rel) const {
        const auto n = id(rel);
        EXPECT_TRUE(n) << rel;
        return n ? index->size(*n) : 0;
    }
};

}  // namespace tamrel::test
