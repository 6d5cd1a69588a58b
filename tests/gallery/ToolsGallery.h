#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "model/app/AppModel.h"
#include "ui/shell/MainWindow.h"

namespace tamrel {

// Draws the System Data, Clean up and Apps screens through `save` (a picture of a widget under a
// name), over a home folder that makes every one of them show something.
void saveToolsGallery(MainWindow& window, AppModel& model,
                      const std::function<void(QWidget&, const QString&)>& save);

// Draws the screens over a home folder shaped like a Linux desktop's (its XDG folders, Flatpak
// and Snap homes, packages in Downloads): Explore with its kinds, a search, System Data with its
// cards, Clean up with a group open, the sidebar, and the hidden-space card of a whole-disk
// report with unseen space and unreadable folders, all in the Linux texts.
void saveLinuxGallery(MainWindow& window, AppModel& model,
                      const std::function<void(QWidget&, const QString&)>& save);

}  // namespace tamrel
