#include "model/app/SearchController.h"

#include <exception>

#include "core/query/Search.h"
#include "model/app/AppModel.h"

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

SearchController::SearchController(ModelContext& context)
    : context_(context),
      model_(context.model),
      searchTimer_(context.clock, [this] { startSearch(); }) {
    searchTimer_.setSingleShot(true);
    searchTimer_.setPrecise(true);
}

void SearchController::scheduleSearch() {
    Batch batch(context_.announcer);
    ++searchSeq_;  // whatever was pending is no longer
    searchTimer_.stop();
    searchIndex_.reset();
    if (!model_.index() || blank(model_.query())) {
        model_.results.set(batch, {});
        model_.searching.set(batch, false);
        return;
    }
    searchText_ = model_.query();  // searched as typed: the query language splits on blanks itself
    searchUnder_ = model_.current();
    searchIndex_ = model_.index();
    model_.searching.set(batch, true);
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
        try {
            *result = search(*index, text, under, resultLimit, CleanUp::ruleSet());
        } catch (const std::exception&) {
            *result = SearchResult();
        }
        context_.onMainThread([this, seq, index, text, result] {
            // Stored only for the search still pending, on the index it searched: an older
            // search, or one of another generation, never lands over a newer one.
            if (seq != searchSeq_ || model_.index() != index ||
                model_.query().toStdString() != text)
                return;
            Batch batch(context_.announcer);
            model_.results.set(batch, std::move(result->ids));
            model_.resultTotal.set(batch, static_cast<qint64>(result->total));
            model_.resultTime.set(batch, result->elapsed);
            model_.searching.set(batch, false);
        });
    });
}

}  // namespace tamrel
