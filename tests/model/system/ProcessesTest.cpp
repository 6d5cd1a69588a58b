#include "model/system/Processes.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "tests/model/Fixtures.h"
#include "tests/model/system/BundleChild.h"
#include "tests/support/TempDir.h"

namespace tamrel {
namespace {

using namespace std::chrono_literals;
using test::BundleChild;
using test::TempDir;

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

const ProcessInfo* find(const std::vector<ProcessInfo>& all, pid_t pid) {
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const ProcessInfo& p) { return p.pid == pid; });
    return it == all.end() ? nullptr : &*it;
}

TEST(Processes, ListsAChildAndFindsItAsARunningCopyOfItsBundle) {
    TempDir dir;
    BundleChild child(dir, "Tools/Worker.app", false);
    const auto all = Processes::list();
    const ProcessInfo* p = find(all, child.pid());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->exe, child.exe());
    EXPECT_EQ(p->exeName, "worker");
    EXPECT_EQ(p->argv0Name, "worker");
    EXPECT_EQ(p->comm, "worker");
    EXPECT_NE(p->started, 0u);
    ASSERT_NE(find(all, ::getpid()), nullptr);

    auto pids = [&](const std::string& bundle, const std::vector<std::string>& programs) {
        std::vector<pid_t> out;
        for (const ProcessInfo& q : Processes::runningCopies(all, bundle, programs)) {
            out.push_back(q.pid);
        }
        return out;
    };
    const std::vector<pid_t> just{child.pid()};
    EXPECT_EQ(pids(dir / "Tools/Worker.app", {}), just);
    EXPECT_EQ(pids(dir / "Tools/Worker.app/", {}), just);
    // A folder whose name merely begins like the bundle's does not hold the executable.
    EXPECT_TRUE(pids(dir / "Tools/Work", {}).empty());
    EXPECT_TRUE(pids(dir / "Tools/Worker.ap", {}).empty());
    EXPECT_TRUE(pids("/", {}).empty());
    // Named through a link to a folder above it.
    dir.symlink(dir / "Tools", "Linked");
    EXPECT_EQ(pids(dir / "Linked/Worker.app", {}), just);
    // Started by a desktop entry: by the absolute program, or by the base name.
    EXPECT_EQ(pids(dir / "Other.app", {child.exe()}), just);
    const auto byName = pids(dir / "Other.app", {"worker"});
    EXPECT_NE(std::find(byName.begin(), byName.end(), child.pid()), byName.end());
    EXPECT_TRUE(pids(dir / "Other.app", {"/bin/worker", "flatpak:worker", ""}).empty());
}

// A handle on the child, opened from a fresh listing.
std::optional<ProcessHandle> openChild(const BundleChild& child) {
    const auto all = Processes::list();
    const ProcessInfo* p = find(all, child.pid());
    if (!p) ADD_FAILURE() << "pid " << child.pid() << " not listed";
    return p ? ProcessHandle::open(*p) : std::nullopt;
}

TEST(Processes, AProcessThatQuitsOnTerminateIsSeenToEnd) {
    TempDir dir;
    BundleChild child(dir, "Quits.app", false);
    const auto handle = openChild(child);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(handle->running());
    EXPECT_TRUE(handle->terminate());
    EXPECT_TRUE(handle->waitEnded(10s));
    // Ended but not yet reaped by its parent: it counts as ended.
    EXPECT_FALSE(handle->running());
    EXPECT_TRUE(child.reapedByTerm());
}

TEST(Processes, AProcessThatIgnoresTerminateKeepsRunning) {
    TempDir dir;
    BundleChild child(dir, "Stays.app", true);
    const auto handle = openChild(child);
    ASSERT_TRUE(handle);
    EXPECT_TRUE(handle->terminate());
    EXPECT_FALSE(handle->waitEnded(100ms));
    EXPECT_TRUE(handle->running());
}

TEST(Processes, AHandleIsNeverOpenedOnAnotherProcessUnderTheSamePid) {
    TempDir dir;
    ProcessInfo snapshot;
    {
        BundleChild child(dir, "Gone.app", false);
        const auto all = Processes::list();
        const ProcessInfo* p = find(all, child.pid());
        ASSERT_NE(p, nullptr);
        snapshot = *p;
        // The pid with another start time is another process.
        ProcessInfo other = snapshot;
        other.started += 1;
        EXPECT_FALSE(ProcessHandle::open(other));
        EXPECT_TRUE(ProcessHandle::open(snapshot));
    }
    // Ended and reaped: nothing to open, whatever holds the pid now.
    EXPECT_FALSE(ProcessHandle::open(snapshot));
}

TEST(Processes, ReadsNamesStartTimeAndFlatpakIdFromTheProcFiles) {
    TempDir proc;
    proc.mkdirs("4242");
    proc.mkdirs("17");
    proc.mkdirs("self-ish");
    // A comm with blanks and parentheses must not shift the fields after it.
    writeText(proc / "4242/stat", "4242 (we (i) rd) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 "
                                  "987654 20 21\n");
    writeText(proc / "4242/comm", "we (i) rd\n");
    writeText(proc / "4242/cmdline", std::string("/app/bin/Editor\0--new\0", 22));
    writeText(proc / "4242/cgroup",
              "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
              "app-flatpak-org.example.Editor-12345.scope\n");
    // A kernel thread: no command line.
    writeText(proc / "17/stat", "17 (kworker) S 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 5 0 0\n");
    writeText(proc / "17/cmdline", "");
    const auto all = Processes::list(proc.path());
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].pid, 4242);
    EXPECT_EQ(all[0].started, 987654u);
    EXPECT_EQ(all[0].comm, "we (i) rd");
    EXPECT_EQ(all[0].argv0Name, "Editor");
    EXPECT_EQ(all[0].exe, "");
    EXPECT_EQ(all[0].flatpakID, "org.example.Editor");
    EXPECT_EQ(Processes::runningNames(all),
              (std::vector<std::string>{"editor", "org.example.editor", "we (i) rd"}));
    EXPECT_EQ(Processes::runningCopies(all, "/x.app", {"flatpak:org.example.Editor"}).size(), 1u);
    // A flatpak is listed under its application id, in any case.
    EXPECT_EQ(Processes::copiesOf(all, "ORG.example.editor", "", {}).size(), 1u);
    EXPECT_TRUE(Processes::copiesOf(all, "org.example", "", {}).empty());
}

TEST(Processes, CopiesOfAnApplicationAreFoundByTheIdentifierOfTheirBundle) {
    TempDir dir;
    // Two copies of one application in different places, and another application.
    test::makeBundle(dir, "Installed/Viewer.app", {{"CFBundleIdentifier", "com.example.viewer"}});
    test::makeBundle(dir, "Downloads/Viewer 2.app", {{"CFBundleIdentifier", "COM.Example.Viewer"}});
    test::makeBundle(dir, "Tools/Other.app", {{"CFBundleIdentifier", "com.example.other"}});
    // A helper bundle inside the installed copy carries its own identifier.
    test::makeBundle(dir, "Installed/Viewer.app/Contents/Helpers/Render.app",
                     {{"CFBundleIdentifier", "com.example.viewer.render"}});
    BundleChild copy(dir, "Downloads/Viewer 2.app", false);
    BundleChild other(dir, "Tools/Other.app", false);
    BundleChild helper(dir, "Installed/Viewer.app/Contents/Helpers/Render.app", false);
    const auto all = Processes::list();
    auto pids = [&](const std::string& id, const std::string& bundle) {
        std::vector<pid_t> out;
        for (const ProcessInfo& q : Processes::copiesOf(all, id, bundle, {})) out.push_back(q.pid);
        std::sort(out.begin(), out.end());
        return out;
    };
    const std::string installed = dir / "Installed/Viewer.app";
    // The running copy elsewhere counts by its identifier; the helper by running from inside
    // the bundle; the other application not at all.
    std::vector<pid_t> want{copy.pid(), helper.pid()};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(pids("com.example.viewer", installed), want);
    EXPECT_EQ(pids("com.example.viewer", dir / "Nowhere.app"), std::vector<pid_t>{copy.pid()});
    EXPECT_EQ(pids("com.example.viewer.render", dir / "Nowhere.app"),
              std::vector<pid_t>{helper.pid()});
    EXPECT_EQ(pids("com.example.other", dir / "Tools/Other.app"), std::vector<pid_t>{other.pid()});
    EXPECT_TRUE(pids("com.example.view", dir / "Nowhere.app").empty());
    EXPECT_TRUE(pids("", dir / "Nowhere.app").empty());
}

TEST(Processes, TheProgramOfADesktopEntry) {
    TempDir dir;
    auto program = [&](const std::string& text) {
        writeText(dir / "a.desktop", text);
        return Processes::execProgram(dir / "a.desktop");
    };
    EXPECT_EQ(program("[Desktop Entry]\nName=A\nExec=/opt/a/bin/a %U\n"), "/opt/a/bin/a");
    EXPECT_EQ(program("[Desktop Entry]\nExec = env GDK_BACKEND=x11 A=1 editor --new %F\n"),
              "editor");
    EXPECT_EQ(program("[Desktop Entry]\nExec=\"/opt/My App/run\" %u\n"), "/opt/My App/run");
    EXPECT_EQ(program("[Desktop Entry]\nExec=/usr/bin/flatpak run --branch=stable "
                      "--arch=x86_64 org.example.Editor @@u %U @@\n"),
              "flatpak:org.example.Editor");
    // Only the main group's key counts.
    EXPECT_EQ(program("[Desktop Action New]\nExec=other\n[Desktop Entry]\nExec=main\n"), "main");
    EXPECT_EQ(program("[Desktop Entry]\nExecutable=x\nName=A\n"), std::nullopt);
    EXPECT_EQ(program("[Desktop Entry]\nExec=env A=1\n"), std::nullopt);
    // A shell or an interpreter runs other programs too: never a program of the application.
    EXPECT_EQ(program("[Desktop Entry]\nExec=sh -c \"cd /opt/a && ./a\"\n"), std::nullopt);
    EXPECT_EQ(program("[Desktop Entry]\nExec=env X=1 /usr/bin/python3.11 /opt/a/main.py\n"),
              std::nullopt);
    EXPECT_EQ(Processes::execProgram(dir / "missing.desktop"), std::nullopt);
}

}  // namespace
}  // namespace tamrel
