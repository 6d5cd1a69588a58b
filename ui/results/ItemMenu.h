#pragma once

#include <QMenu>

#include "core/index/DiskIndex.h"

namespace tamrel {

class AppModel;

// The one context menu of a node wherever nodes are listed: "Look Inside" (folders only),
// "Show in File Manager", "Open", "Copy Path" and, with `canPick`, a divider and "Pick for the
// Trash" or "Unpick" (decided from the basket when the menu is built). Where the Trash rules
// refuse the item (AppModel::pickRefusal(), asked as the menu is built) the pick entry is turned
// off and says why (pickRefusedTitle()). Empty without an index.
//
// The menu belongs to the index generation shown when it was built: once another generation is
// shown its entries do nothing, so a node id is never read in an index it does not belong to.
// The caller shows it with popup() (no nested event loop); it deletes itself when closed.
QMenu* makeItemMenu(AppModel& model, NodeId node, bool canPick, QWidget* parent);

// The title of the pick entry turned off for `reason`: "Pick for the Trash — a protected
// place", the reason as a refused move's toast gives it.
QString pickRefusedTitle(const QString& reason);

// Opens the node with its default application, or reveals it in the file manager; when the
// desktop refuses, a failure toast says so.
void openNode(AppModel& model, NodeId node);
void revealNode(AppModel& model, NodeId node);

}  // namespace tamrel
