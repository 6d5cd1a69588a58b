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

}  // namespace tamrel
