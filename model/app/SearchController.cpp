#include "model/app/SearchController.h"

#include <chrono>
#include <exception>
#include <utility>

#include "core/query/Search.h"
#include "model/system/Clock.h"

namespace tamrel {

namespace {

constexpr std::size_t resultLimit = 300;

// Blank in the sense of the search field: spaces and tabs and the other horizontal blanks.
bool blank(const QString& text) {
    for (QChar c : text) {
        if (c != u'\t' && c.category() != QChar::Separator_Space) return false;
    }
    return true;
}

}  // namespace

SearchController::SearchController(ModelContext& context, ShownIndex& shown)
    : context_(context), shown_(shown), searchTimer_(context.clock, [this] { startSearch(); }) {
    searchTimer_.setSingleShot(true);
    searchTimer_.setPrecise(true);
    shown_.follow([this](ShownChange& change) { follow(change); });
    // The search of the index as the operation leaves it, outside any animated step.
    context_.announcer.onClosing([this] {
        if (std::exchange(again_, false) && !query().isEmpty()) scheduleSearch();
    });
}

void SearchController::follow(ShownChange& change) {
    Batch batch(context_.announcer);
    if (change.dropped) {
        results.set(batch, {});
    } else if (change.carry) {
        results.set(batch, change.carry->all(results()));
    }
    again_ = true;
}

void SearchController::setQuery(const QString& text) {
    Batch batch(context_.announcer);
    query.set(batch, text);
    scheduleSearch();
}

void SearchController::scheduleSearch() {
    Batch batch(context_.announcer);
    ++searchSeq_;  // whatever was pending is no longer
    searchTimer_.stop();
    searchIndex_.reset();
    if (!shown_.index() || blank(query())) {
        results.set(batch, {});
        searching.set(batch, false);
        return;
    }
    searchText_ = query();  // searched as typed: the query language splits on blanks itself
    searchUnder_ = shown_.current();
    searchIndex_ = shown_.index();
    searching.set(batch, true);
    searchTimer_.start(context_.options.searchDelay);
}

void SearchController::startSearch() {
    if (!searchIndex_) return;
    const std::uint64_t seq = searchSeq_;
    const IndexRef index = std::move(searchIndex_);
    const std::string text = searchText_.toStdString();
    const NodeId under = searchUnder_;
    context_.runInBackground([this, seq, index, text, under] {
        auto result = std::make_shared<SearchResult>();
        // Timed on the model's clock, as every time it shows.
        const Clock::TimePoint start = context_.clock.now();
        try {
            *result = search(*index, text, under, resultLimit, ModelContext::ruleSet());
        } catch (const std::exception&) {
            *result = SearchResult();
        }
        result->elapsed = std::chrono::duration<double>(context_.clock.now() - start).count();
        context_.onMainThread([this, seq, index, text, result] {
            // Stored only for the search still pending, on the index it searched: an older
            // search, or one of another generation, never lands over a newer one.
            if (seq != searchSeq_ || shown_.index() != index || query().toStdString() != text)
                return;
            Batch batch(context_.announcer);
            results.set(batch, std::move(result->ids));
            resultTotal.set(batch, static_cast<qint64>(result->total));
            resultTime.set(batch, result->elapsed);
            searching.set(batch, false);
        });
    });
}

}  // namespace tamrel
