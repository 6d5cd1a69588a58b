#include "model/system/SystemPlatform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/PathText.h"
#include "platform/Spawn.h"
#include "platform/XdgDirs.h"

namespace tamrel {

namespace {

bool isExecutable(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

Platform& Platform::system() {
    static SystemPlatform real;
    return real;
}

SystemPlatform::SystemPlatform(std::string helper)
    : helper_(std::move(helper)), registry_(AppRegistry::forCurrentUser()) {}

std::string SystemPlatform::defaultHelper() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string beside(self, static_cast<std::size_t>(n));
        beside = joinPath(parentPath(beside), "tamrel-trash-helper");
        if (isExecutable(beside)) return beside;
    }
    return TAMREL_TRASH_HELPER_BUILT;
}

std::optional<std::string> SystemPlatform::applicationPath(const std::string& bundleID) {
    return registry_.applicationPath(bundleID);
}

int SystemPlatform::run(const std::string& program, const std::vector<std::string>& args) {
    if (!isExecutable(program)) return -1;
    return runProgram(program, args);
}

bool SystemPlatform::trashAsAdministrator(const std::vector<ElevatedItem>& items,
                                          const std::atomic<bool>& stop) {
    // Made under the user's own rights: the helper only makes the Trash folder itself.
    const std::string trash = makeHomeTrash();
    if (trash.empty() || !isExecutable(helper_)) return false;
    std::vector<std::string> args;
    args.reserve(items.size() * 4 + 2);
    args.push_back(trash);
    for (const ElevatedItem& item : items) {
        // An argument ends at its first NUL byte and would name another file: left out.
        if (item.path.find('\0') != std::string::npos) continue;
        if (item.unload) args.emplace_back("--unload");
        // The helper moves it only while it is still the item picked.
        if (item.expected) {
            args.emplace_back("--expect");
            args.push_back(expectedArgument(*item.expected));
        }
        args.push_back(item.path);
    }
    std::optional<int> status;
    if (::geteuid() == 0) {
        status = runProgramUnlessStopped(helper_, args, stop);
    } else {
        // pkexec answers 126 when the prompt is dismissed and 127 when it is refused.
        for (const char* pkexec : {"/usr/bin/pkexec", "/bin/pkexec"}) {
            if (!isExecutable(pkexec)) continue;
            args.insert(args.begin(), helper_);
            status = runProgramUnlessStopped(pkexec, args, stop);
            break;
        }
    }
    // The helper exits 0 when every item moved and 1 when some stayed.
    return status == 0 || status == 1;
}

}  // namespace tamrel
