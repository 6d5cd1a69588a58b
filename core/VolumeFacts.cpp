#include "core/VolumeFacts.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/UniqueFd.h"

extern char** environ;

namespace tamrel {

namespace {

// Owns a posix_spawn_file_actions_t for one spawn.
class FileActions {
public:
    FileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~FileActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    bool ok() const { return ok_; }
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
    bool ok_ = false;
};

}  // namespace

std::int64_t snapshotLines(std::string_view output) {
    std::int64_t count = 0;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string_view line = output.substr(0, end);
        if (!line.empty() && line.find("com.apple") != std::string_view::npos) ++count;
        if (end == std::string_view::npos) break;
        output.remove_prefix(end + 1);
    }
    return count;
}

std::int64_t countLocalSnapshots(const std::string& tool, const std::string& path) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return 0;
    UniqueFd readEnd(fds[0]);
    UniqueFd writeEnd(fds[1]);

    FileActions actions;
    if (!actions.ok()) return 0;
    // dup2 onto 1 clears close-on-exec for the child's copy only; both pipe ends themselves
    // close on exec, so no other child of this process holds the write end open.
    if (::posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 1) != 0 ||
        ::posix_spawn_file_actions_addopen(actions.get(), 2, "/dev/null", O_WRONLY, 0) != 0) {
        return 0;
    }
    std::string arg0 = tool, arg1 = "listlocalsnapshots", arg2 = path;
    char* argv[] = {arg0.data(), arg1.data(), arg2.data(), nullptr};
    pid_t pid = 0;
    if (::posix_spawn(&pid, tool.c_str(), actions.get(), nullptr, argv, environ) != 0) return 0;
    writeEnd.reset();

    std::string output;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
        if (n > 0) {
            output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    readEnd.reset();
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return snapshotLines(output);
}

VolumeFacts VolumeFacts::read(const std::string& path) {
    VolumeFacts facts;
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) == 0) {
        // Blocks reserved for root are neither used nor available to the user.
        const auto frsize = static_cast<std::uint64_t>(st.f_frsize);
        const std::uint64_t reserved = st.f_bfree > st.f_bavail ? st.f_bfree - st.f_bavail : 0;
        const std::uint64_t blocks = st.f_blocks > reserved ? st.f_blocks - reserved : 0;
        const std::uint64_t total = blocks * frsize;
        const std::uint64_t available = static_cast<std::uint64_t>(st.f_bavail) * frsize;
        facts.used = total > available ? total - available : 0;
    }
    facts.snapshots = countLocalSnapshots("/usr/bin/tmutil", path);
    return facts;
}

}  // namespace tamrel
