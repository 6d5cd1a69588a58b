#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tamrel {

// What the leftover search knows of one installed application.
struct AppIdentity {
    // Bundle identifiers of the application and of the bundles nested in it, as spelled.
    std::vector<std::string> bundleIDs;
    // Names it goes by: display name, file name, executable name.
    std::vector<std::string> names;
    // Signing team identifier.
    std::optional<std::string> team;
    // No other installed application is signed by the same team.
    bool teamExclusive = false;
    // Lowercased names of the other installed applications; never used as name matches.
    std::unordered_set<std::string> otherAppNames;
    // Further paths that belong to the application; a leading "~" stands for the home folder.
    std::vector<std::string> extraPaths;
    // The snap the application is installed from (its desktop entry's X-SnapInstanceName), or
    // empty; with the Linux rule profile its "~/snap/<name>" is the application's container.
    std::string snapName;

    AppIdentity(std::vector<std::string> bundleIDs, std::vector<std::string> names,
                std::optional<std::string> team = std::nullopt)
        : bundleIDs(std::move(bundleIDs)), names(std::move(names)), team(std::move(team)) {}

    friend bool operator==(const AppIdentity&, const AppIdentity&) = default;
};

}  // namespace tamrel
