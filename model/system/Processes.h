#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/UniqueFd.h"

namespace tamrel {

// One process of this user as /proc shows it at the moment of listing.
struct ProcessInfo {
    pid_t pid = 0;
    // Clock ticks after boot at which the process started (field 22 of /proc/PID/stat): with the
    // pid it names one process for the life of the system, as pids are reused.
    std::uint64_t started = 0;
    std::string comm;       // /proc/PID/comm, without the line break
    std::string exe;        // target of /proc/PID/exe without " (deleted)"; empty when unreadable
    std::string exeName;    // last component of `exe`
    std::string argv0Name;  // last component of argv[0]; empty when the process has none
    std::string flatpakID;  // the flatpak application id the process runs in, or empty
};

// The processes of this user, and finding and closing the running copies of an application.
//
// Every answer is a snapshot: a process may end, and its pid be given to another, at any time.
// Signals therefore go only through a pidfd opened on a process whose start time still matches
// the snapshot, so a reused pid is never signalled.
//
// Thread safety: stateless; every call may come from any thread.
class Processes {
public:
    // The processes whose /proc entry belongs to this user (kernel threads and processes that end
    // while being read are left out), in /proc's order. `procRoot` is "/proc" except in tests.
    static std::vector<ProcessInfo> list(const std::string& procRoot = "/proc");

    // The running copies of an application: the processes of `all` whose executable lies inside
    // `bundlePath` (the folder itself or below it), or which one of `programs` starts. A program
    // is what a desktop entry's Exec line runs (see execProgram): an absolute path matches the
    // executable's path, a bare name the base name of the executable or of argv[0]; "flatpak run
    // ID" is given as "flatpak:ID" and matches the processes of that flatpak application.
    static std::vector<ProcessInfo> runningCopies(const std::vector<ProcessInfo>& all,
                                                  const std::string& bundlePath,
                                                  const std::vector<std::string>& programs);

    // The running copies of the application known by the bundle identifier `bundleID`, as the
    // system would list its running applications by identifier: the processes whose executable
    // lies in an application bundle (the innermost folder above it whose name ends in ".app")
    // whose information dictionary names `bundleID` (compared lowercased), or whose flatpak
    // application id is `bundleID`; then those runningCopies() finds by the bundle's own path
    // (its helpers too) and by the programs its desktop entry starts. In the order of `all`.
    // Blocking: reads the information dictionary of each bundle found, once per call.
    static std::vector<ProcessInfo> copiesOf(const std::vector<ProcessInfo>& all,
                                             const std::string& bundleID,
                                             const std::string& bundlePath,
                                             const std::vector<std::string>& programs);

    // The program a desktop entry file starts: the first word of the Exec key of its
    // "[Desktop Entry]" group, unquoted, after an "env" with its VAR=value words; "flatpak:ID"
    // for "flatpak run [options] ID". Nothing when the file cannot be read, has no Exec key, or
    // starts a shell, an interpreter or a launcher (sh, python3, env without a program, xdg-open,
    // ...), whose processes are not the application's own.
    static std::optional<std::string> execProgram(const std::string& desktopFile);

    // The lowercased names running applications are known by: executable and argv[0] base names,
    // comm and flatpak ids. For the clean-up rules, which hold back data of running programs.
    static std::vector<std::string> runningNames(const std::vector<ProcessInfo>& all);
};

// A handle on one process that stays valid when its pid is reused: a pidfd. Move-only; closes
// the pidfd when destroyed (the process itself is left alone).
class ProcessHandle {
public:
    // Opens the process of the snapshot `p`. Nothing when it has ended already or its pid now
    // names another process (its start time differs).
    static std::optional<ProcessHandle> open(const ProcessInfo& p,
                                             const std::string& procRoot = "/proc");

    // Asks the process to quit (SIGTERM). False when it has ended already or cannot be signalled.
    bool terminate() const;

    // True while the process has not ended. A process that ended but has not been reaped by its
    // parent counts as ended.
    bool running() const;

    // Waits up to `timeout` for the process to end; true when it has ended.
    bool waitEnded(std::chrono::milliseconds timeout) const;

    pid_t pid() const { return pid_; }

private:
    ProcessHandle(UniqueFd fd, pid_t pid) : fd_(std::move(fd)), pid_(pid) {}

    UniqueFd fd_;
    pid_t pid_ = 0;
};

}  // namespace tamrel
