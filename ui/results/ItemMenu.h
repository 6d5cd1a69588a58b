#pragma once

#include <QMenu>

#include <functional>
#include <string>

#include "core/index/DiskIndex.h"

namespace tamrel {

class AppModel;

// The one context menu of a node wherever nodes are listed: "Look Inside" (folders only),
// "Show in File Manager", "Open", "Copy Path" and, with `canPick`, a divider and "Pick for the
// Trash" or "Unpick" (decided from the basket when the menu is built). Where the Trash rules
// refuse the item (AppModel::pickRefusal(), asked as the menu is built) the pick entry is turned
// off and says why (pickRefusedTitle()). Empty without an index, or for an id the shown
// generation does not have: `node` must belong to the generation shown as it is called.
//
// The menu keeps the item by its path, taken in that generation, as the basket keeps its picks:
// a live refresh may show another generation before an entry is chosen, and the entry then acts
// on the node at that path in the generation shown by then (actOnPath()). A pick made so records
// what identifies the item on the disk as every pick does. "Pick for the Trash" picks the item
// unless it is picked by then, and "Unpick" takes it out while it is in the basket, so neither
// undoes what happened meanwhile. The caller shows it with popup() (no nested event loop); it
// deletes itself when closed.
QMenu* makeItemMenu(AppModel& model, NodeId node, bool canPick, QWidget* parent);

// Runs `act` with the node at `path` in the generation shown now. Where that generation has no
// node there, or only one moved to the Trash, a toast says that `name` is no longer there and
// `act` is not run: a choice the user made never does nothing silently.
void actOnPath(AppModel& model, const std::string& path, const QString& name,
               const std::function<void(NodeId)>& act);

// The title of the pick entry turned off for `reason`: "Pick for the Trash — a protected
// place", the reason as a refused move's toast gives it.
QString pickRefusedTitle(const QString& reason);

// Opens the node with its default application, or reveals it in the file manager; when the
// desktop refuses, a failure toast says so.
void openNode(AppModel& model, NodeId node);
void revealNode(AppModel& model, NodeId node);

}  // namespace tamrel
