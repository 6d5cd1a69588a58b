#include <QLabel>
#include <QVBoxLayout>

#include "ui/shell/RootView.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/ShownText.h"

namespace tamrel {

// Stands in for the results screen until the results screens are built: the root folder's path.
QWidget* createResultsScreen(AppModel& model, QWidget* parent) {
    auto* screen = new QWidget(parent);
    auto* layout = new QVBoxLayout(screen);
    auto* label = new QLabel(screen);
    label->setAlignment(Qt::AlignCenter);
    label->setFont(Fonts::system(15, Fonts::Weight::semibold));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Color::ink2);
    label->setPalette(pal);
    if (model.index() != nullptr) label->setText(shownPath(model.index()->rootPath()));
    layout->addWidget(label);
    return screen;
}

}  // namespace tamrel
