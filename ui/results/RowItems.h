#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/index/DiskIndex.h"

namespace tamrel {

class AppModel;

// One line of any file list. Built only by rowItems(); compared by value so that a list redraws
// only the rows whose item changed.
struct RowItem {
    NodeId id = 0;  // node id in the shown index; the row's identity
    QString name;
    QString subtitle;  // parent path below the base, or item count / age
    std::uint64_t size = 0;
    double fraction = 0;             // size over the list's scale; may exceed 1
    std::optional<QString> appPath;  // the path of a folder whose extension is "app"
    QString path;
    bool denied = false;
    bool isDir = false;
    bool picked = false;
    // False where the Trash rules refuse the item (AppModel::mayPick) and it is not picked: the
    // row then offers no pick key.
    bool pickable = true;

    friend bool operator==(const RowItem&, const RowItem&) = default;
};

// The rows of `ids` of `index`, in their order. The scale is max(maxSize, 1). With `relativeTo`
// each subtitle is the parent's path below that folder ("/" for a direct child; a parent outside
// it keeps its absolute path, the home folder at its start written "~"); without it a folder
// reads its file count ("no access" when it could not be opened) and a file its age at `now`.
// `inBasket` says whether a node or an ancestor is picked. Every id must belong to `index`; an id
// beyond it is left out.
std::vector<RowItem> rowItems(const DiskIndex& index, std::span<const NodeId> ids,
                              std::uint64_t maxSize, std::optional<NodeId> relativeTo,
                              const std::function<bool(NodeId)>& inBasket, std::string_view home,
                              const QDateTime& now);

// The rows of `ids` of the model's shown index: the home folder and the time taken once for the
// whole call, `picked` from the model's basket, `pickable` from its Trash rules. No rows without
// an index. Main thread.
std::vector<RowItem> rowItems(const AppModel& model, std::span<const NodeId> ids,
                              std::uint64_t maxSize, std::optional<NodeId> relativeTo);

}  // namespace tamrel
