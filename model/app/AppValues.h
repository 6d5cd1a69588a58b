#pragma once

#include <QString>
#include <QUuid>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamrel {

// A sidebar shortcut to a folder. Identified by its path; equal when all four fields are.
struct Place {
    QString name;           // "Downloads"
    QString symbol;         // symbol name of its icon, "house.fill"
    std::string url;        // the folder's absolute path, byte-exact
    std::uint32_t hex = 0;  // colour 0xRRGGBB

    const std::string& id() const { return url; }
    friend bool operator==(const Place&, const Place&) = default;
};

// A mounted volume. Identified by its mount point; equal when all five fields are.
struct Volume {
    std::string url;  // the mount point ("/" for the system volume)
    QString name;     // the file-system label, else the last path component ("/": "Computer")
    std::uint64_t total = 0;  // capacity in bytes
    std::uint64_t free = 0;   // bytes available to the user; 0 when not known
    bool isInternal = false;  // not removable and not on USB; false when not known

    const std::string& id() const { return url; }
    friend bool operator==(const Volume&, const Volume&) = default;
};

// The tab of the results screen, in the order the tab picker shows them.
enum class Tab : std::uint8_t { explore, system, biggest, tidy, apps };

// The five tabs in order.
inline constexpr std::array<Tab, 5> allTabs() {
    return {Tab::explore, Tab::system, Tab::biggest, Tab::tidy, Tab::apps};
}
// The tab's title, also its identity: "Explore", "System Data", "Biggest", "Clean up", "Apps".
QString rawValue(Tab tab);
// The tab whose title is exactly `title` (case matters), or nothing.
std::optional<Tab> tabFromRaw(const QString& title);

// Which top-level screen the window shows.
enum class Phase : std::uint8_t { home, scanning, results };

// Where the live synchronisation of the shown index stands.
enum class Sync : std::uint8_t { catchingUp, live, updating };

// The order of the application list, in the order the sort menu shows them.
enum class AppSort : std::uint8_t { size, name, lastUsed };

inline constexpr std::array<AppSort, 3> allAppSorts() {
    return {AppSort::size, AppSort::name, AppSort::lastUsed};
}
// The menu title: "Size", "Name", "Last used".
QString rawValue(AppSort sort);
// The order whose title is exactly `title`, or nothing.
std::optional<AppSort> appSortFromRaw(const QString& title);

// A transient message at the foot of the results screen. Identified by its id, so two toasts
// with the same texts are different messages; equal only when all four fields are.
struct Toast {
    QUuid id;
    QString title;
    QString detail;    // may be empty
    bool good = true;  // success (true) or failure styling

    // A toast with a new random id.
    static Toast make(QString title, QString detail, bool good) {
        return {QUuid::createUuid(), std::move(title), std::move(detail), good};
    }
    friend bool operator==(const Toast&, const Toast&) = default;
};

// The spring with which screens animate the changes of one model step: its response in
// seconds and its damping fraction (blend duration 0).
struct Spring {
    double response = 0;
    double damping = 0;
    friend bool operator==(const Spring&, const Spring&) = default;
};

}  // namespace tamrel
