#include "tests/support/AppImageHome.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/UniqueFd.h"
#include "tests/support/Child.h"

namespace tamrel::test {

namespace {

void put(const TempDir& dir, const std::string& relative, const std::string& text) {
    dir.mkdirs(relative.substr(0, relative.rfind('/')));
    std::ofstream(dir / relative, std::ios::binary) << text;
}

void putBytes(const TempDir& dir, const std::string& relative, std::size_t bytes) {
    dir.mkdirs(relative.substr(0, relative.rfind('/')));
    dir.write(relative, bytes);
}

}  // namespace

void writeAppImage(const TempDir& dir, const std::string& relative, std::size_t bytes) {
    std::string data = {'\x7f', 'E', 'L', 'F', '\x02', '\x01', '\x01', '\0', 'A', 'I', '\x02'};
    data.resize(std::max(bytes, data.size()), '\x5a');
    put(dir, relative, data);
    ASSERT_EQ(::chmod((dir / relative).c_str(), 0755), 0);
}

void setAccessed(const std::string& path, std::chrono::seconds accessed) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const timespec times[2] = {{now.tv_sec + accessed.count(), now.tv_nsec}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::string makeAppImageHome(const TempDir& dir, std::size_t leftoverBytes) {
    const std::string obsidian = dir / "home/Applications/Obsidian-1.5.3.AppImage";
    writeAppImage(dir, "home/Applications/Obsidian-1.5.3.AppImage", 300'000);
    writeAppImage(dir, "home/AppImages/krita-5.2.2-x86_64.appimage", 200'000);
    writeAppImage(dir, "home/Downloads/Slack-4.36.0-x86_64.AppImage", 100'000);

    const std::string apps = "home/.local/share/applications/";
    put(dir, apps + "appimagekit-obsidian.desktop",
        "[Desktop Entry]\nType=Application\nName=Obsidian\nName[de]=Obsidian DE\n"
        "Exec=\"" + obsidian + "\" %U\nIcon=appimagekit-obsidian\nStartupWMClass=obsidian\n"
        "X-AppImage-Name=md.obsidian.Obsidian\nX-AppImage-Version=1.5.4\n"
        "[Desktop Action New]\nName=New vault\nExec=/usr/bin/other\n");
    put(dir, apps + "obsidian-vault.desktop",
        "[Desktop Entry]\nType=Application\nName=Obsidian Vault\nExec=env A=1 " + obsidian +
            " --vault\nIcon=accessories-notes\n");
    put(dir, apps + "notes.desktop",
        "[Desktop Entry]\nType=Application\nName=Notes\nExec=/usr/bin/notes\n"
        "Icon=accessories-notes\n");
    putBytes(dir, "home/.local/share/icons/hicolor/64x64/apps/appimagekit-obsidian.png", 3000);
    putBytes(dir, "home/.local/share/icons/hicolor/32x32/apps/appimagekit-obsidian.png", 1000);
    putBytes(dir, "home/.local/share/icons/hicolor/64x64/apps/accessories-notes.png", 3000);

    for (const char* leftover :
         {"home/.config/obsidian/obsidian.json", "home/.cache/obsidian/Cache/data",
          "home/.local/state/md.obsidian.Obsidian/state", "home/.config/kritarc",
          "home/.local/share/krita/brushes", "home/.cache/krita/thumbs",
          "home/.cache/Slack/Cache/data"}) {
        putBytes(dir, leftover, leftoverBytes);
    }
    put(dir, "home/.config/autostart/obsidian.desktop",
        "[Desktop Entry]\nType=Application\nName=Obsidian\nExec=" + obsidian + "\n");

    // Opened an hour from now, later than its change time (now); Krita last touched a day ago,
    // before its change time: never opened since it came.
    setAccessed(obsidian, std::chrono::hours(1));
    setAccessed(dir / "home/AppImages/krita-5.2.2-x86_64.appimage", -std::chrono::hours(24));
    return dir / "home";
}

SleepingChild::SleepingChild(const std::string& exe,
                             const std::map<std::string, std::string>& environment) {
    std::filesystem::create_directories(std::filesystem::path(exe).parent_path());
    std::filesystem::copy_file("/bin/sleep", exe,
                               std::filesystem::copy_options::overwrite_existing);
    ::chmod(exe.c_str(), 0755);
    // The environment is built before the fork: a child of a process with threads may only make
    // async-signal-safe calls before exec.
    std::vector<std::string> texts;
    for (char** var = environ; *var; ++var) {
        const std::string text = *var;
        if (!environment.contains(text.substr(0, text.find('=')))) texts.push_back(text);
    }
    for (const auto& [name, value] : environment) texts.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& text : texts) envp.push_back(text.data());
    envp.push_back(nullptr);
    const char* argv[] = {"sleep", "60", nullptr};
    // Returns once the child runs the copy, not the test binary it was forked from.
    pid_ = startProgram([&] { ::execve(exe.c_str(), const_cast<char**>(argv), envp.data()); });
}

SleepingChild::~SleepingChild() {
    if (reaped_) return;  // the pid may belong to another process by now
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
}

bool SleepingChild::endedWithin(std::chrono::milliseconds limit) {
    if (reaped_) return true;
    // The kernel makes the child's pidfd readable as it ends.
    const UniqueFd ending(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    if (ending) {
        pollfd wait{ending.get(), POLLIN, 0};
        while (::poll(&wait, 1, static_cast<int>(limit.count())) < 0 && errno == EINTR) {
        }
    }
    int status = 0;
    reaped_ = ::waitpid(pid_, &status, WNOHANG) == pid_;
    return reaped_;
}

}  // namespace tamrel::test
