// tamrel-trash-helper TRASH-FOLDER [--unload] [--expect ITEM] PATH [...]...
//
// Moves each PATH into the freedesktop.org Trash at TRASH-FOLDER and gives what it moved to the
// user who asked: PKEXEC_UID when pkexec started it as root, else the caller. "--unload" before a
// path first stops the launch job it defines with "/bin/launchctl bootout system PATH", when that
// program exists. "--expect ITEM" before a path (ITEM as expectedArgument() writes it) moves it
// only while it is still the item picked: its kind, size, time, device and inode, reached through
// the same mounts (see TrashMover::move()). Paths arrive as separate arguments and are never
// handed to a shell.
//
// Only items below the places the model removes from are taken (elevatedPlaces, and the user's
// own home folder), and of those never the system's own folders (the deny-lists). Refused too:
// relative paths, "." or ".." components, links among the parent folders, anything in the
// Trash, and items whose tree holds a device node, a file of another user than root and the
// one asking, or a mount point (see TrashMover::move()).
//
// Limits and signal dispositions inherited through pkexec are reset first, and each move runs
// with signals blocked, so that no inherited limit or signal ends it half-way: a copy either
// completes or is taken out of the Trash again. Exit status: 0 when every item moved, 1 when
// some did not (each said on stderr), 2 when nothing could be done (bad arguments, no usable
// Trash).

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
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

// Undoes what the starting process may have set up to end this one half-way: limits (a file size
// limit would kill a copy with SIGXFSZ) and ignored, caught or blocked signals.
void resetInheritance() {
    for (int sig = 1; sig < NSIG; ++sig)
        std::signal(sig, SIG_DFL);
    // Failures are reported as errors, never by a signal: a closed stderr or a file too big.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    ::sigprocmask(SIG_SETMASK, &unblocked, nullptr);
    // Without the right to raise a hard limit, up to it: a copy that still meets a limit fails
    // with an error and is taken out of the Trash again.
    const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
    for (int resource : {RLIMIT_FSIZE, RLIMIT_CPU, RLIMIT_DATA, RLIMIT_AS, RLIMIT_STACK}) {
        rlimit now{};
        if (::setrlimit(resource, &unlimited) != 0 && ::getrlimit(resource, &now) == 0) {
            now.rlim_cur = now.rlim_max;
            ::setrlimit(resource, &now);
        }
    }
    // A core dump of this process could hold what it read as root.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

// Blocks every signal that can be blocked while it lives: a move runs to its end (or to its
// clean-up), and a signal that came meanwhile takes effect between two items.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        ::sigprocmask(SIG_BLOCK, &all, &old_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &old_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t old_;
};

void say(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "tamrel-trash-helper: %s: %s\n", path.c_str(), why.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    resetInheritance();
    ::umask(077);
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: tamrel-trash-helper TRASH-FOLDER [--unload] [--expect ITEM] PATH...\n");
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
    std::optional<std::string> expectNext;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--unload") {
            unloadNext = true;
            continue;
        }
        if (arg == "--expect" && i + 1 < argc) {
            expectNext = argv[++i];
            continue;
        }
        const bool stop = std::exchange(unloadNext, false);
        const std::optional<std::string> expectText = std::exchange(expectNext, std::nullopt);
        std::optional<tamrel::ExpectedItem> expected;
        if (expectText) {
            expected = tamrel::parseExpectedArgument(*expectText);
            if (!expected) {
                say(arg, "what it must be is not understood: " + *expectText);
                status = 1;
                continue;
            }
        }
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
        // Empty components dropped, for the place rules.
        const std::string tidied = tamrel::absolutePath(parts);
        if (!tamrel::isElevatedPlace(tidied, home)) {
            say(arg, "not in a folder that applications are removed from");
            status = 1;
            continue;
        }
        if (tamrel::isProtectedPath(tidied, user.home) || tamrel::isSystemFolder(tidied) ||
            tidied == home) {
            say(arg, "a protected folder of the system");
            status = 1;
            continue;
        }
        if (stop) unload(arg);
        const SignalsHeld held;
        if (!trash->move(arg, why, expected ? &*expected : nullptr)) {
            say(arg, why);
            status = 1;
        }
    }
    if (unloadNext || expectNext) {
        std::fprintf(stderr, "tamrel-trash-helper: --unload or --expect without a path\n");
        status = 1;
    }
    return status;
}
