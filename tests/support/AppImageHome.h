#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace tamrel::test {

// Writes an AppImage of `bytes` bytes at `relative` in `dir` (folders made): an ELF header
// carrying the AppImage magic ("AI" and 2 at bytes 8 to 10), then filler, mode 0755.
void writeAppImage(const TempDir& dir, const std::string& relative, std::size_t bytes);

// Sets a file's access time `accessed` from now (negative: before now); its change time becomes
// now. Later than the change time means "opened", earlier "never opened since".
void setAccessed(const std::string& path, std::chrono::seconds accessed);

// A home folder at `dir`/home with three AppImages and what they left around:
// - "Applications/Obsidian-1.5.3.AppImage" (300 KB), started by two desktop entries in
//   .local/share/applications: "appimagekit-obsidian.desktop" (Name=Obsidian,
//   StartupWMClass=obsidian, X-AppImage-Name=md.obsidian.Obsidian, X-AppImage-Version=1.5.4,
//   its own icon "appimagekit-obsidian", a PNG at .local/share/icons/hicolor/64x64/apps) and
//   "obsidian-vault.desktop" (Icon=accessories-notes, which "notes.desktop", an entry of another
//   program, names too); opened an hour from now;
//   its leftovers: .config/obsidian (by name), .cache/obsidian (by name),
//   .local/state/md.obsidian.Obsidian (by identifier), .config/autostart/obsidian.desktop;
// - "AppImages/krita-5.2.2-x86_64.appimage" (200 KB), no desktop entry, never opened; its
//   leftovers: .config/kritarc, .local/share/krita, .cache/krita;
// - "Downloads/Slack-4.36.0-x86_64.AppImage" (100 KB), in a folder no rule reads; its cache
//   .cache/Slack.
// Each leftover holds `leftoverBytes` bytes. Returns the home folder's path.
std::string makeAppImageHome(const TempDir& dir, std::size_t leftoverBytes = 20000);

// A copy of sleep(1) at `exe` (folders made) started as a child of the test with `environment`
// added to its own and run for a minute; the child is killed and reaped when the object goes
// (by its own pid: the test started it). Started once it runs the copy.
class SleepingChild {
public:
    SleepingChild(const std::string& exe, const std::map<std::string, std::string>& environment);
    ~SleepingChild();
    SleepingChild(const SleepingChild&) = delete;
    SleepingChild& operator=(const SleepingChild&) = delete;

    pid_t pid() const { return pid_; }
    // Whether the child has ended (it is reaped then); waits up to `limit` for it.
    bool endedWithin(std::chrono::milliseconds limit);

private:
    pid_t pid_ = 0;
    bool reaped_ = false;
};

}  // namespace tamrel::test
