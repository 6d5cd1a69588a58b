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

void AppModel::scheduleSearch() {
    Batch batch(announcer_);
    ++searchSeq_;  // whatever was pending is no longer
    searchTimer_.stop();
    searchIndex_.reset();
    if (!index() || blank(query())) {
        results.set(batch, {});
        searching.set(batch, false);
        return;
    }
    searchText_ = query();  // searched as typed: the query language splits on blanks itself
    searchUnder_ = current();
    searchIndex_ = index();
    searching.set(batch, true);
    searchTimer_.start(options_.searchDelay);
}

void AppModel::startSearch() {
    if (!searchIndex_) return;
    const std::uint64_t seq = searchSeq_;
    const IndexRef index = std::move(searchIndex_);
    const std::string text = searchText_.toStdString();
    const NodeId under = searchUnder_;
    runInBackground([this, seq, index, text, under] {
        auto result = std::make_shared<SearchResult>();
        try {
            *result = search(*index, text, under, resultLimit, ruleSet());
        } catch (const std::exception&) {
            *result = SearchResult();
        }
        onMainThread([this, seq, index, text, result] {
            // Stored only for the search still pending, on the index it searched: an older
            // search, or one of another generation, never lands over a newer one.
            if (seq != searchSeq_ || this->index() != index || query().toStdString() != text) return;
            Batch batch(announcer_);
            results.set(batch, std::move(result->ids));
            resultTotal.set(batch, static_cast<qint64>(result->total));
            resultTime.set(batch, result->elapsed);
            searching.set(batch, false);
        });
    });
}

}  // namespace tamrel
