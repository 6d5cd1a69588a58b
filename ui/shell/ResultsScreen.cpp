#include "ui/results/ResultsView.h"
#include "ui/shell/RootView.h"

namespace tamrel {

// The screen of the results phase.
QWidget* createResultsScreen(AppModel& model, QWidget* parent) {
    return new ResultsView(model, parent);
}

}  // namespace tamrel
