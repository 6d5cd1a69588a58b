// tamrel-trash-helper TRASH-FOLDER [--unload] PATH [[--unload] PATH]...
//
// Moves each PATH into the freedesktop.org Trash at TRASH-FOLDER and gives what it moved to the
// user who asked: PKEXEC_UID when pkexec started it as root, else the caller. "--unload" before a
// path first stops the launch job it defines with "/bin/launchctl bootout system PATH", when that
// program exists. Paths arrive as separate arguments and are never handed to a shell. Refused:
// relative paths, "." or ".." components, links among the parent folders, and the system's own
// folders. Exit status: 0 when every item moved, 1 when some did not (each said on stderr), 2
// when nothing could be done (bad arguments, no usable Trash).

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/PathText.h"
#include "platform/ProtectedPaths.h"
#include "platform/Spawn.h"
#include "platform/TrashMover.h"
#include "platform/XdgDirs.h"

namespace {

// The user the moved items are given to.
std::optional<tamrel::UserEntry> requester() {
    uid_t uid = ::getuid();
    const char* asked = std::getenv("PKEXEC_UID");
    if (uid == 0 && asked && *asked) {
        char* end = nullptr;
        errno = 0;
        const unsigned long v = std::strtoul(asked, &end, 10);
        if (errno != 0 || *end != '\0' || v > 0xFFFFFFFEul) return std::nullopt;
        uid = static_cast<uid_t>(v);
    }
    return tamrel::userEntry(uid);
}

void unload(const std::string& path) {
    static const std::string launchctl = "/bin/launchctl";
    if (::access(launchctl.c_str(), X_OK) == 0) {
        tamrel::runProgram(launchctl, {"bootout", "system", path});
    }
}

void say(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "tamrel-trash-helper: %s: %s\n", path.c_str(), why.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    ::umask(077);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tamrel-trash-helper TRASH-FOLDER [--unload] PATH...\n");
        return 2;
    }
    const std::optional<tamrel::UserEntry> found = requester();
    if (!found) {
        std::fprintf(stderr, "tamrel-trash-helper: unknown user\n");
        return 2;
    }
    const tamrel::UserEntry& user = *found;
    std::string why;
    auto trash = tamrel::TrashMover::open(argv[1], user.uid, user.gid, why);
    if (!trash) {
        say(argv[1], why);
        return 2;
    }
    const std::string home = tamrel::absolutePath(tamrel::pathComponents(user.home));
    int status = 0;
    bool unloadNext = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--unload") {
            unloadNext = true;
            continue;
        }
        const bool stop = std::exchange(unloadNext, false);
        if (!arg.starts_with('/')) {
            say(arg, "not an absolute path");
            status = 1;
            continue;
        }
        const auto parts = tamrel::pathComponents(arg);
        if (tamrel::hasDotComponent(parts)) {
            say(arg, "the path holds \".\" or \"..\"");
            status = 1;
            continue;
        }
        // Empty components dropped, for the protected-path rules.
        const std::string tidied = tamrel::absolutePath(parts);
        if (tamrel::isProtectedPath(tidied, user.home) || tamrel::isSystemFolder(tidied) ||
            tidied == home) {
            say(arg, "a protected folder of the system");
            status = 1;
            continue;
        }
        if (stop) unload(arg);
        if (!trash->move(arg, why)) {
            say(arg, why);
            status = 1;
        }
    }
    if (unloadNext) {
        std::fprintf(stderr, "tamrel-trash-helper: --unload without a path\n");
        status = 1;
    }
    return status;
}
