#include "ui/tools/CleanView.h"

#include <cmath>
#include <map>
#include "ui/results/Confirmation.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/tools/ToolsBusy.h"
#include "ui/tools/ToolsPaint.h"
#include "ui/tools/ToolsText.h"
#include "ui/tools/EmptyCleanCard.h"

namespace tamrel {

// ---- The screen

CleanView::CleanView(AppModel& model, QWidget* parent)
    : QScrollArea(parent), model_(model), page_(new QWidget) {
    setBareContent(*this, page_, false);
    header_ = new CleanHeader(model_, page_);
    empty_ = new EmptyCleanCard(page_);

    connect(&model_.cleanPlan, &PropertyNotifier::changed, this, &CleanView::rebuild);
    connect(&model_.index, &PropertyNotifier::changed, this, &CleanView::rebuild);
    for (const PropertyNotifier* property : Notifiers{&model_.cleanPicked, &model_.trashing,
                        &model_.trashSize, &model_.revision})
        connect(property, &PropertyNotifier::changed, this, &CleanView::refresh);
    connect(&model_.removalBusy, &PropertyNotifier::changed, this, &CleanView::refresh);
    // The title follows the ticks of the shown generation (refresh), and the run takes the ticks
    // of the shown generation when pressed: it moves what the title names.
    confirm_ = new Confirmation(
        this, model_, model_.confirmClean, [this](bool on) { model_.setConfirmClean(on); },
        {QStringLiteral("Clean up"), QStringLiteral("Move to Trash"),
         [this] { return cleanConfirmTitle(model_.cleanPicked().size(), model_.cleanSize()); },
         [] {
             return QStringLiteral(
                 "Everything goes to the Trash, so you can put it back. Anything that belongs to "
                 "an app you open in the meantime is skipped.");
         }},
        [this] { ToolsBusy::startClean(model_); });
    rebuild();
}

bool CleanView::showsEmptyState() const {
    return empty_->isVisible();
}

void CleanView::rebuild() {
    // The focus on a card goes to the new card of the same group.
    const FocusCarry focus(page_);
    // What the cards showed: a new plan rolls their ticked sizes from there in an animated step.
    std::map<std::string, std::uint64_t> shown;
    for (CleanGroupCard* card : cards_) {
        shown[card->group().id] = card->pickedMotion().bytes();
        delete card;
    }
    cards_.clear();
    const bool animate = isVisible() && model_.animation().has_value();
    if (model_.index()) {
        for (const CleanGroup& group : model_.cleanPlan()) {
            auto* card = new CleanGroupCard(model_, group, openGroups_.contains(group.id), page_);
            if (const auto was = shown.find(group.id); was != shown.end())
                card->rollFrom(was->second, animate);
            connect(card, &CleanGroupCard::openChanged, this, [this, id = group.id](bool open) {
                if (open)
                    openGroups_.insert(id);
                else
                    openGroups_.erase(id);
                relayout();
            });
            connect(card, &CleanGroupCard::heightChanged, this, &CleanView::relayout);
            card->show();
            cards_.push_back(card);
        }
    }
    empty_->setVisible(model_.cleanPlan().empty());
    refresh();
    focus.restore(page_);
}

void CleanView::refresh() {
    header_->refresh();
    for (CleanGroupCard* card : cards_)
        card->refresh();
    if (confirm_) confirm_->refresh();
    relayout();
}

void CleanView::relayout() {
    const double width = viewport()->width();
    const double inner = width - 2 * kScreenSide;
    double y = 0;
    header_->setGeometry(kScreenSide, 0, int(inner), int(std::ceil(header_->heightFor())));
    y += header_->height() + kCardGap;
    if (empty_->isVisible()) {
        empty_->setGeometry(kScreenSide, int(y), int(inner), int(EmptyCleanCard::cardHeight()));
        y += empty_->height() + kCardGap;
    }
    for (CleanGroupCard* card : cards_) {
        card->setGeometry(kScreenSide, int(y), int(inner), int(std::ceil(card->heightFor(inner))));
        y += card->height() + kCardGap;
    }
    page_->resize(int(width), int(std::ceil(y - kCardGap + kTrayRoom)));
}

void CleanView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

}  // namespace tamrel
