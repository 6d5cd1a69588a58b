#include "model/system/Processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "core/base/TextCase.h"
#include "core/space/RuleProfile.h"
#include "model/apps/BundleInfo.h"
#include "platform/PathText.h"

namespace tamrel {

namespace {

// Called through syscall(): the declarations of glibc 2.36 lack C linkage for C++.
int pidfdOpen(pid_t pid) { return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0u)); }
int pidfdSendSignal(int fd, int sig) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, sig, nullptr, 0u));
}

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Field 22 of /proc/PID/stat. The second field (comm in parentheses) may hold blanks and
// parentheses itself, so fields are counted after its last ')'.
std::optional<std::uint64_t> startTime(const std::string& statText) {
    const auto close = statText.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream rest(statText.substr(close + 1));
    std::string field;
    for (int n = 3; n <= 22; ++n) {
        if (!(rest >> field)) return std::nullopt;
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(field.data(), field.data() + field.size(), value);
    if (ec != std::errc() || end != field.data() + field.size()) return std::nullopt;
    return value;
}

std::optional<std::uint64_t> startTimeOf(const std::string& procRoot, pid_t pid) {
    return startTime(readSmallFile(procRoot + "/" + std::to_string(pid) + "/stat"));
}

std::string linkTarget(const std::string& link) {
    std::string buf(4096, '\0');
    const ssize_t n = ::readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return {};
    buf.resize(static_cast<std::size_t>(n));
    static constexpr std::string_view deleted = " (deleted)";
    if (buf.ends_with(deleted)) buf.resize(buf.size() - deleted.size());
    return buf;
}

// Flatpak runs each application in a systemd scope "app-flatpak-ID-NUMBER.scope".
std::string flatpakFromCgroup(const std::string& cgroup) {
    static constexpr std::string_view mark = "app-flatpak-";
    const auto at = cgroup.find(mark);
    if (at == std::string::npos) return {};
    const auto end = cgroup.find(".scope", at);
    if (end == std::string::npos) return {};
    const std::string middle = cgroup.substr(at + mark.size(), end - at - mark.size());
    const auto dash = middle.rfind('-');
    if (dash == std::string::npos || dash == 0) return {};
    return middle.substr(0, dash);
}

// Programs that run what their arguments name: matching by them would take every script or
// program they run for a copy of the application.
bool isRunner(const std::string& name) {
    static const std::set<std::string, std::less<>> runners = {
        "sh",     "bash",   "dash",    "zsh",     "fish",   "ksh",     "csh",      "tcsh",
        "env",    "python", "python2", "python3", "perl",   "ruby",    "node",     "nodejs",
        "java",   "mono",   "wine",    "gjs",     "sudo",   "pkexec",  "xdg-open", "gtk-launch",
        "snap",   "exec",   "nohup",   "dbus-launch", "electron", "appimagelauncher",
    };
    if (runners.contains(name)) return true;
    // python3.11 and the like.
    return name.starts_with("python") || name.starts_with("perl") || name.starts_with("ruby");
}

// Splits an Exec value into words, honouring double quotes and backslash escapes inside them.
std::vector<std::string> execWords(std::string_view value) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (quoted) {
            if (c == '\\' && i + 1 < value.size()) {
                word += value[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = inWord = true;
        } else if (c == ' ' || c == '\t') {
            if (inWord) words.push_back(std::exchange(word, {}));
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

// The innermost folder above the executable `exe` whose name ends in ".app" (a name that is
// only ".app" is no bundle), or nothing.
std::optional<std::string> enclosingBundle(const std::string& exe) {
    if (!exe.starts_with('/')) return std::nullopt;
    std::size_t end = exe.rfind('/');
    while (end != std::string::npos && end > 0) {
        const std::size_t start = exe.rfind('/', end - 1);
        const std::string_view name =
            std::string_view(exe).substr(start + 1, end - start - 1);
        if (name.size() > 4 && name.ends_with(".app")) return exe.substr(0, end);
        end = start;
    }
    return std::nullopt;
}

}  // namespace

std::vector<ProcessInfo> Processes::list(const std::string& procRoot) {
    std::vector<ProcessInfo> out;
    DIR* dir = ::opendir(procRoot.c_str());
    if (!dir) return out;
    const uid_t me = ::getuid();
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        const std::string_view name = entry->d_name;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), pid);
        if (ec != std::errc() || end != name.data() + name.size() || pid <= 0) continue;
        const std::string base = procRoot + "/" + std::string(name);
        struct stat st {};
        if (::stat(base.c_str(), &st) != 0 || st.st_uid != me) continue;
        const std::string cmdline = readSmallFile(base + "/cmdline");
        if (cmdline.empty()) continue;  // a kernel thread, or a process that has just ended
        const auto started = startTime(readSmallFile(base + "/stat"));
        if (!started) continue;
        ProcessInfo p;
        p.pid = pid;
        p.started = *started;
        p.comm = readSmallFile(base + "/comm");
        if (p.comm.ends_with('\n')) p.comm.pop_back();
        p.exe = linkTarget(base + "/exe");
        p.exeName = p.exe.empty() ? std::string() : lastComponent(p.exe);
        p.argv0Name = lastComponent(std::string_view(cmdline.c_str()));
        p.flatpakID = flatpakFromCgroup(readSmallFile(base + "/cgroup"));
        out.push_back(std::move(p));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
    return out;
}

std::vector<ProcessInfo> Processes::runningCopies(const std::vector<ProcessInfo>& all,
                                                  const std::string& bundlePath,
                                                  const std::vector<std::string>& programs) {
    std::vector<ProcessInfo> out;
    // The kernel gives executables with links resolved; the bundle may be named through one.
    std::string resolved;
    if (char* real = ::realpath(bundlePath.c_str(), nullptr)) {
        resolved = real;
        std::free(real);
    }
    const auto inBundle = [&](const std::string& exe) {
        if (bundlePath.empty() || bundlePath == "/" || resolved == "/") return false;
        if (exe.empty()) return false;
        return isAtOrBelow(exe, bundlePath) || (!resolved.empty() && isAtOrBelow(exe, resolved));
    };
    for (const ProcessInfo& p : all) {
        bool match = inBundle(p.exe);
        for (const std::string& program : programs) {
            if (match || program.empty()) break;
            if (program.starts_with("flatpak:")) {
                match = !p.flatpakID.empty() && p.flatpakID == program.substr(8);
            } else if (program.starts_with('/')) {
                match = p.exe == program;
            } else {
                match = p.exeName == program || p.argv0Name == program;
            }
        }
        if (match) out.push_back(p);
    }
    return out;
}

std::vector<ProcessInfo> Processes::copiesOf(const std::vector<ProcessInfo>& all,
                                             const std::string& bundleID,
                                             const std::string& bundlePath,
                                             const std::vector<std::string>& programs) {
    const std::string wanted = lowercase(bundleID);
    // Bundle folder -> its lowercased identifier; a bundle without one gives "".
    std::unordered_map<std::string, std::string> ids;
    const auto idOf = [&](const std::string& bundle) -> const std::string& {
        auto it = ids.find(bundle);
        if (it == ids.end()) {
            std::string id;
            if (const auto info = BundleInfo::open(bundle)) {
                id = lowercase(info->identifier().value_or(""));
            }
            it = ids.emplace(bundle, std::move(id)).first;
        }
        return it->second;
    };
    std::unordered_set<pid_t> byPath;
    for (const ProcessInfo& p : runningCopies(all, bundlePath, programs)) byPath.insert(p.pid);
    std::vector<ProcessInfo> out;
    for (const ProcessInfo& p : all) {
        bool match = !wanted.empty() && !p.flatpakID.empty() && lowercase(p.flatpakID) == wanted;
        if (!match && !wanted.empty()) {
            if (const auto bundle = enclosingBundle(p.exe)) match = idOf(*bundle) == wanted;
        }
        if (match || byPath.contains(p.pid)) {
            out.push_back(p);
        }
    }
    return out;
}

std::optional<std::string> Processes::execProgram(const std::string& desktopFile) {
    std::ifstream in(desktopFile);
    if (!in) return std::nullopt;
    std::string line;
    bool inEntry = false;
    while (std::getline(in, line)) {
        if (line.starts_with('[')) {
            inEntry = line.starts_with("[Desktop Entry]");
            continue;
        }
        if (!inEntry || !line.starts_with("Exec")) continue;
        std::string_view rest = std::string_view(line).substr(4);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        if (!rest.starts_with('=')) continue;
        const auto words = execWords(rest.substr(1));
        std::size_t i = 0;
        if (i < words.size() && lastComponent(words[i]) == "env") {
            ++i;
            while (i < words.size() && words[i].find('=') != std::string::npos) ++i;
        }
        if (i >= words.size()) return std::nullopt;
        if (lastComponent(words[i]) == "flatpak" && i + 1 < words.size() && words[i + 1] == "run") {
            for (std::size_t j = i + 2; j < words.size(); ++j) {
                if (!words[j].starts_with('-')) return "flatpak:" + words[j];
            }
            return std::nullopt;
        }
        if (isRunner(lastComponent(words[i]))) return std::nullopt;
        return words[i];
    }
    return std::nullopt;
}

std::vector<std::string> Processes::runningNames(const std::vector<ProcessInfo>& all) {
    std::vector<std::string> names;
    for (const ProcessInfo& p : all) {
        for (const std::string* name : {&p.exeName, &p.argv0Name, &p.comm, &p.flatpakID}) {
            if (!name->empty()) names.push_back(lowercase(*name));
        }
        // A snap's data folders are named after the snap, not after its executable.
        if (const auto snap = snapNameOfExecutable(p.exe)) names.push_back(lowercase(*snap));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::optional<ProcessHandle> ProcessHandle::open(const ProcessInfo& p,
                                                 const std::string& procRoot) {
    UniqueFd fd(pidfdOpen(p.pid));
    if (!fd) return std::nullopt;
    // The pidfd names whatever process holds the pid now; it is the one of the snapshot only if
    // it started at the same tick. Read after the pidfd is open, so the pid cannot change hands
    // between the check and the handle.
    if (startTimeOf(procRoot, p.pid) != p.started) return std::nullopt;
    ProcessHandle handle(std::move(fd), p.pid);
    if (!handle.running()) return std::nullopt;
    return handle;
}

bool ProcessHandle::terminate() const {
    return pidfdSendSignal(fd_.get(), SIGTERM) == 0;
}

bool ProcessHandle::running() const {
    return !waitEnded(std::chrono::milliseconds(0));
}

bool ProcessHandle::waitEnded(std::chrono::milliseconds timeout) const {
    pollfd pfd{fd_.get(), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ms = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, 1 << 30));
        const int r = ::poll(&pfd, 1, ms);
        if (r > 0) return true;
        if (r == 0) return false;
        if (errno != EINTR) return false;
    }
}

}  // namespace tamrel
