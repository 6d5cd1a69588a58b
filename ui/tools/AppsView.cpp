#include "ui/tools/AppsView.h"

#include <QApplication>
#include <algorithm>
#include "ui/results/Confirmation.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Panel.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/tools/AppsMetrics.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"

namespace tamrel {

// ---- The screen

AppsView::AppsView(AppModel& model, QWidget* parent)
    : QWidget(parent),
      model_(model),
      running_(new RunningCheck(model, this)),
      list_(new AppList(model, this)),
      placeholder_(new Panel(kCardRadius, this)) {
    loading_ = new LoadingState(QString(), 0, placeholder_);
    connect(running_, &RunningCheck::changed, this, [this] {
        if (detail_) detail_->setRunning(selectedRunning());
        retitle();
    });
    // An uninstall asked the application to quit: whether it still runs is asked again.
    connect(&model_.uninstalling, &PropertyNotifier::changed, this, [this] {
        if (!model_.uninstalling()) checkRunning();
    });
    connect(&model_.apps, &PropertyNotifier::changed, this, [this] {
        generation_.receive(model_.index());
        refresh();
        rebuildDetail();
    });
    connect(&model_.index, &PropertyNotifier::changed, this, [this] {
        // The inventory on screen belongs to another generation now: nothing of it is shown
        // or acted on until the inventory of this one arrives.
        if (isVisible() && !current()) model_.loadApps(false);
        refresh();
        rebuildDetail();
    });
    connect(&model_.selectedApp, &PropertyNotifier::changed, this, &AppsView::rebuildDetail);
    for (const PropertyNotifier* property : Notifiers{&model_.appFilter, &model_.appSort,
                        &model_.appsLoading, &model_.selectedApp})
        connect(property, &PropertyNotifier::changed, this, &AppsView::refresh);
    for (const PropertyNotifier* property : Notifiers{&model_.leftoverPicked, &model_.uninstalling,
                        &model_.revision}) {
        connect(property, &PropertyNotifier::changed, this, [this] {
            if (detail_) detail_->refresh();
            retitle();
        });
    }
    connect(&model_.removalBusy, &PropertyNotifier::changed, this, [this] {
        if (detail_) detail_->refresh();
    });
    // The title and message follow the selection and ticks of the shown generation, and the
    // uninstall looks the application up again at the moment of the click, in the shown
    // generation only: what they name is what goes.
    confirm_ = new Confirmation(
        this, model_, model_.confirmUninstall, [this](bool on) { model_.setConfirmUninstall(on); },
        {QStringLiteral("Uninstall"), QStringLiteral("Uninstall"),
         [this] { return uninstallTitle(selected()); },
         [this] {
             const InstalledApp* app = selected();
             bool system = false;
             for (const Leftover& l : app ? app->leftovers : std::vector<Leftover>{})
                 system = system || (l.system && model_.leftoverPicked().contains(l.node));
             return uninstallMessage(app, model_.leftoverPicked().size(), selectedRunning(),
                                     system);
         }},
        [this] {
            if (const InstalledApp* app = selected()) {
                const InstalledApp copy = *app;
                ToolsBusy::startUninstall(model_, copy);
            }
        });
    // The question names an application that runs: asked afresh as it opens.
    connect(confirm_, &Confirmation::opened, this, &AppsView::checkRunning);
    if (!model_.apps().empty()) generation_.receive(model_.index());
    refresh();
    rebuildDetail();
}

bool AppsView::current() const {
    return generation_.matches(model_.index());
}

const InstalledApp* AppsView::selected() const {
    if (!current() || !model_.selectedApp()) return nullptr;
    for (const InstalledApp& app : model_.apps()) {
        if (app.node == *model_.selectedApp()) return &app;
    }
    return nullptr;
}

QString AppsView::placeholderText() const {
    return detail_ ? QString() : loading_->text();
}

void AppsView::refresh() {
    list_->refresh(current());
    const bool loading = model_.appsLoading();
    loading_->setText(appsPlaceholder(loading, current() && model_.apps().empty()));
    loading_->setSpinning(loading);
}

void AppsView::checkRunning() {
    if (const InstalledApp* app = selected(); app && isVisible()) running_->check(*app);
}

bool AppsView::selectedRunning() const {
    const InstalledApp* app = selected();
    return app && running_->running(*app).value_or(false);
}

void AppsView::rebuildDetail() {
    const InstalledApp* app = selected();
    if (detail_ && app && detail_->app() == *app && model_.index()) {
        detail_->refresh();
        retitle();
        // The list was loaded again (or the index refreshed): whether the application runs
        // is asked again too, so "Open now" does not keep an old answer.
        checkRunning();
        return;
    }
    // The focus in the detail of the same application (its inventory loaded again) goes to the
    // same part of the new one, also when the detail was gone between two inventories (a new
    // index generation shows none until its own inventory comes) and the focus waited nearby,
    // or had not been placed again yet (the window places it once the events of the refresh are
    // over, and would place it on the new part without its row).
    FocusCarry focus(this);
    const QWidget* focused = QApplication::focusWidget();
    const bool focusWaits = !focused || focused == window() || isAncestorOf(focused);
    if (!focus.carries() && pendingFocus_ && focusWaits) focus = *pendingFocus_;
    pendingFocus_.reset();
    delete detail_;
    detail_ = nullptr;
    if (app) {
        detail_ = new AppDetail(model_, *app, model_.index(), this);
        // The last answer shows until the new one comes.
        detail_->setRunning(selectedRunning());
        detail_->show();
        checkRunning();
    }
    placeholder_->setVisible(!detail_);
    resizeEvent(nullptr);
    retitle();
    if (!focus.restore(this) && focus.carries()) pendingFocus_ = focus;
}

void AppsView::showEvent(QShowEvent*) {
    model_.loadApps(false);
    checkRunning();
}

void AppsView::resizeEvent(QResizeEvent*) {
    const QRect area(kScreenSide, 0, std::max(0, width() - 2 * kScreenSide),
                     std::max(0, height() - kScreenSide));
    // In a small window the list gives up width, down to its least, so the detail keeps its keys.
    const int listW =
        int(std::clamp(area.width() - kAppCardGap - kAppDetailLeast, kAppListLeast, kAppListWidth));
    list_->setGeometry(area.left(), area.top(), listW, area.height());
    const QRect rest(area.left() + listW + kAppCardGap, area.top(),
                     std::max(0, area.width() - listW - kAppCardGap), area.height());
    if (detail_) detail_->setGeometry(rest);
    placeholder_->setGeometry(rest);
    loading_->setGeometry(0, 0, rest.width(), rest.height());
    // Room below the spinner for the empty state's wrapped lines.
    const double top = rest.height() / 2.0 - kAppPlaceholderRise;
    loading_->setGeometry(0, int(top), rest.width(), kAppPlaceholderHeight);
}

}  // namespace tamrel
