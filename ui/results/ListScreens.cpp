#include "ui/results/ListScreens.h"

#include <QPainter>
#include <QVBoxLayout>

#include "ui/results/ItemList.h"
#include "ui/results/ResultsMetrics.h"
#include "ui/results/ResultsPaint.h"
#include "ui/results/ResultsText.h"
#include "ui/results/RowItems.h"
#include "ui/theme/Caption.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Keys.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/Palette.h"

namespace tamrel {

ListScreen::ListScreen(AppModel& model, QWidget* parent)
    : QWidget(parent), model_(model), list_(new ItemList(model, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kScreenSide, kListTitleHeight + kListTitleGap, kScreenSide,
                               kScreenSide);
    layout->addWidget(list_);
}

void ListScreen::setHeader(QString title, QString caption) {
    if (title == title_ && caption == caption_) return;
    title_ = std::move(title);
    caption_ = std::move(caption);
    update();
}

void ListScreen::paintEvent(QPaintEvent*) {
    if (!model_.index()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont& titleFont = Fonts::screenTitle.font();
    const QFontMetricsF tm(titleFont);
    const double baseline = tm.ascent() + kListTitleDrop;
    const double x = kScreenSide + kListTitleInset;
    painter.setFont(titleFont);
    painter.setPen(Color::ink);
    painter.drawText(QPointF(x, baseline), title_);
    const QFont& captionFont = Fonts::caption.font();
    painter.setFont(captionFont);
    painter.setPen(Color::ink2);
    const double captionX = x + tm.horizontalAdvance(title_) + kListCaptionGap;
    painter.drawText(QPointF(captionX, baseline),
                     QFontMetricsF(captionFont)
                         .elidedText(captionText(caption_), Qt::ElideRight,
                                     std::max(0.0, width() - kScreenSide - captionX)));
}

void ListScreen::showNodes(const NodeIds& ids, qint64 total, const QString& list) {
    list_->setVisible(true);
    const std::uint64_t maxSize = ids.empty() ? 1 : model_.index()->size(ids.front());
    list_->setRows(rowItems(model_, ids, maxSize, model_.current()), total, list);
}

void ListScreen::clear() {
    list_->setVisible(false);
    list_->setRows({}, 0, {});
    setHeader({}, {});
}

SearchResultsView::SearchResultsView(AppModel& model, QWidget* parent) : ListScreen(model, parent) {
    for (const PropertyNotifier* property :
         Notifiers{&model_.index, &model_.current, &model_.revision,
          &model_.basket, &model_.results, &model_.resultTotal,
          &model_.resultTime, &model_.searching}) {
        connect(property, &PropertyNotifier::changed, this, &SearchResultsView::refresh);
    }
    refresh();
}

void SearchResultsView::refresh() {
    const IndexRef index = model_.index();
    if (!index) return clear();
    const NodeIds ids = presentNodes(*index, model_.results());
    const qint64 gone = qint64(model_.results().size() - ids.size());
    showNodes(ids, std::max<qint64>(model_.resultTotal() - gone, qint64(ids.size())),
              model_.query());
    setHeader(searchTitle(!ids.empty(), model_.searching(), model_.resultTotal() - gone),
              searchCaption(model_.resultTime(), AppModel::ruleSet()));
}

BiggestView::BiggestView(AppModel& model, QWidget* parent) : ListScreen(model, parent) {
    for (const PropertyNotifier* property :
         Notifiers{&model_.index, &model_.current, &model_.revision,
          &model_.basket, &model_.biggest}) {
        connect(property, &PropertyNotifier::changed, this, &BiggestView::refresh);
    }
    refresh();
}

void BiggestView::refresh() {
    const IndexRef index = model_.index();
    if (!index) return clear();
    // The model's list is always of the shown generation (carried over by path to a new one),
    // so it is shown as it is until the list of the explored folder replaces it.
    const NodeIds ids = presentNodes(*index, model_.biggest());
    showNodes(ids, qint64(ids.size()), QString::fromStdString(index->path(model_.current())));
    setHeader(QStringLiteral("Heaviest files"), biggestCaption(*index, model_.current()));
}

}  // namespace tamrel
