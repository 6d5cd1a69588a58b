#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/index/DiskIndex.h"
#include "core/query/FileKind.h"
#include "core/scan/ScanProgress.h"
#include "core/space/CleanPlan.h"
#include "core/space/Suggestions.h"
#include "core/space/SystemData.h"
#include "model/app/AppValues.h"
#include "model/apps/InstalledApp.h"

namespace tamrel {

// The property types of AppModel, named so that they read as one word.
using Volumes = std::vector<Volume>;
using Places = std::vector<Place>;
using SavedDates = std::map<std::string, std::chrono::system_clock::time_point>;
using NodeIds = std::vector<NodeId>;
using NodeSet = std::set<NodeId>;
using OptionalNode = std::optional<NodeId>;
using OptionalPath = std::optional<std::string>;
using OptionalToast = std::optional<Toast>;
using OptionalReport = std::optional<SystemDataReport>;
using KindBytes = std::vector<std::pair<FileKind, std::uint64_t>>;
using Suggestions = std::vector<Suggestion>;
using CleanGroups = std::vector<CleanGroup>;
using InstalledApps = std::vector<InstalledApp>;
// Applications of `apps` by address: valid until `apps` is next written.
using AppRefs = std::vector<const InstalledApp*>;
using IndexRef = std::shared_ptr<DiskIndex>;
using ProgressRef = std::shared_ptr<ScanProgress>;

}  // namespace tamrel
