#include "ui/tools/SystemDataView.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <map>
#include "platform/XdgDirs.h"
#include "ui/results/ResultsPaint.h"
#include "ui/theme/Colors.h"
#include "ui/theme/Fonts.h"
#include "ui/theme/Metrics.h"
#include "ui/theme/ReadingOrder.h"
#include "ui/tools/SystemDataMetrics.h"
#include "ui/tools/ToolsPaint.h"

namespace tamrel {

namespace {

double noteHeight(const QString& text, double width) {
    return wrappedHeight(text, Fonts::blurb.font(), width - 2 * kNotePad - kNoteTextInset) +
           2 * kNotePad;
}

}  // namespace

// ---- The screen

class SystemDataPage : public QWidget {
public:
    explicit SystemDataPage(SystemDataView& view) : view_(view) {}

protected:
    void paintEvent(QPaintEvent*) override {
        if (view_.note_.isEmpty() || view_.loading()) return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = view_.noteRect_;
        p.setPen(Qt::NoPen);
        p.setBrush(Color::softFill);
        p.drawRoundedRect(r, kNoteRadius, kNoteRadius);
        paintSymbol(p,
                    QRectF(r.left() + kNotePad, r.top() + kNotePad, kNoteSymbolWidth,
                           Fonts::blurb.lineHeight()),
                    QStringLiteral("info.circle.fill"), kNoteSymbolPoints, Color::ink2);
        p.setFont(Fonts::blurb.font());
        p.setPen(Color::ink2);
        p.drawText(r.adjusted(kNotePad + kNoteTextInset, kNotePad, -kNotePad, -kNotePad),
                   Qt::TextWordWrap, view_.note_);
    }

private:
    SystemDataView& view_;
};

SystemDataView::SystemDataView(AppModel& model, QWidget* parent)
    : QScrollArea(parent), model_(model), page_(new SystemDataPage(*this)) {
    setBareContent(*this, page_, false);
    loadingState_ =
        new LoadingState(QStringLiteral("Working out what's in System Data…"), kLoadingTop, page_);

    connect(&model_.systemReport, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    connect(&model_.index, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    // The "Clean these up" keys and notes follow the plan.
    connect(&model_.cleanPlan, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    // The note names "/" as the sidebar does.
    connect(&model_.volumes, &PropertyNotifier::changed, this, &SystemDataView::rebuild);
    connect(&model_.revision, &PropertyNotifier::changed, this, [this] { page_->update(); });
    rebuild();
}

bool SystemDataView::loading() const {
    // The model's report is always of the shown generation: carried over by path to a new
    // one, it stays on screen until the new report replaces it.
    return !model_.systemReport() || !model_.index();
}

int SystemDataView::columns() const {
    return gridColumns(viewport()->width() - 2 * kScreenSide, kBucketColumnLeast, kCardGap);
}

void SystemDataView::rebuild() {
    // What the cards showed: a new report rolls their sizes from there in an animated step.
    std::optional<std::uint64_t> shownTotal;
    if (summary_) shownTotal = summary_->totalMotion().bytes();
    std::map<std::string, std::uint64_t> shownBuckets;
    for (const BucketCard* card : cards_)
        shownBuckets[card->bucket().id] = card->sizeMotion().bytes();
    const bool animate = isVisible() && model_.animation().has_value();
    // The focus on a card goes to the new card of the same bucket.
    const FocusCarry focus(page_);
    delete summary_;
    summary_ = nullptr;
    for (BucketCard* card : cards_)
        delete card;
    cards_.clear();
    delete hidden_;
    hidden_ = nullptr;
    note_.clear();
    if (!loading()) {
        const RuleSet rules = AppModel::ruleSet();
        const SystemDataReport& report = *model_.systemReport();
        summary_ = new SystemSummary(rules, page_);
        summary_->setReport(report);
        if (shownTotal) summary_->rollFrom(*shownTotal, animate);
        if (const auto note = folderNote(model_.index()->rootPath(), rootVolumeName(model_.volumes()))) note_ = *note;
        // The plan belongs to the shown index, as the report does here (not loading).
        const std::string home = homeDirectory();
        for (const SpaceBucket& bucket : report.buckets) {
            auto* card = new BucketCard(
                model_, bucket, model_.index(),
                cleanKeyLook(*model_.index(), bucket, model_.cleanPlan(), home, rules), page_);
            if (const auto shown = shownBuckets.find(bucket.id); shown != shownBuckets.end())
                card->rollFrom(shown->second, animate);
            cards_.push_back(card);
        }
        hidden_ = new HiddenSpaceCard(report, rules, page_);
        if (hidden_->rows().empty()) {
            delete hidden_;
            hidden_ = nullptr;
        }
        summary_->show();
        for (BucketCard* card : cards_)
            card->show();
        if (hidden_) hidden_->show();
    }
    loadingState_->setVisible(loading());
    relayout();
    focus.restore(page_);
}

void SystemDataView::relayout() {
    const double width = viewport()->width();
    if (loading()) {
        page_->resize(int(width), viewport()->height());
        loadingState_->setGeometry(0, 0, int(width), viewport()->height());
        return;
    }
    const double inner = width - 2 * kScreenSide;
    double y = 0;
    summary_->setGeometry(kScreenSide, int(y), int(inner),
                          int(std::ceil(SystemSummary::cardHeight())));
    y += summary_->height() + kCardGap;
    if (!note_.isEmpty()) {
        noteRect_ = QRectF(kScreenSide, y, inner, noteHeight(note_, inner));
        y += noteRect_.height() + kCardGap;
    }
    if (!cards_.empty()) {
        // Every card as tall as the others: with room for a note when one has a note.
        const bool noteRoom = std::any_of(cards_.begin(), cards_.end(), [](const BucketCard* c) {
            return !c->planNote().isEmpty();
        });
        std::vector<double> heights(cards_.size(), std::ceil(BucketCard::cardHeight(noteRoom)));
        double gridHeight = 0;
        const std::vector<QRectF> cells =
            gridCells(heights, inner, kBucketColumnLeast, kCardGap, &gridHeight);
        for (std::size_t i = 0; i < cards_.size(); ++i)
            cards_[i]->setGeometry(cells[i].translated(kScreenSide, y).toRect());
        y += gridHeight + kCardGap;
    }
    if (hidden_) {
        hidden_->setGeometry(kScreenSide, int(y), int(inner),
                             int(std::ceil(hidden_->heightFor(inner))));
        y += hidden_->height() + kCardGap;
    }
    y += kTrayRoom - kCardGap;
    page_->resize(int(width), int(std::ceil(y)));
    page_->update();
}

void SystemDataView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    relayout();
}

}  // namespace tamrel
