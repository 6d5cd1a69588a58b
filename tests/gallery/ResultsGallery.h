#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "model/app/AppModel.h"
#include "ui/shell/MainWindow.h"

namespace tamrel {

// Draws the results screens through `save` (a picture of a widget under a name).
void saveResultsGallery(MainWindow& window, AppModel& model,
                        const std::function<void(QWidget&, const QString&)>& save);

}  // namespace tamrel
