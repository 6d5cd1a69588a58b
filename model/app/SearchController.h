#pragma once

#include <QString>

#include <cstdint>

#include "core/index/DiskIndex.h"
#include "model/app/ModelContext.h"
#include "model/app/ShownIndex.h"
#include "model/system/Clock.h"

namespace tamrel {

// The search of the results screen: `query` under `current` in the shown index, once typing
// has settled for Options::searchDelay, on the model's pool; `searching` meanwhile, then
// `results`, `resultTotal` and `resultTime`. Follows the shown index: its results are carried
// over to another generation by path or dropped, and a query that is not empty is searched
// again once the operation that changed the index has made its writes.
//
// Threading: main thread; the search itself runs on the pool and holds its index by shared
// ownership. Its result is stored only for the search still pending, on the index it searched.
class SearchController {
    // First: the properties enroll with its announcer as they are made.
    ModelContext& context_;

public:
    SearchController(ModelContext& context, ShownIndex& shown);
    SearchController(const SearchController&) = delete;
    SearchController& operator=(const SearchController&) = delete;

    Property<QString> query{context_.announcer};
    Property<NodeIds> results{context_.announcer};
    Property<qint64> resultTotal{context_.announcer, 0};
    Property<double> resultTime{context_.announcer, 0};
    Property<bool> searching{context_.announcer, false};

    // Stores the text (announced only when it changed) and always schedules a search.
    void setQuery(const QString& text);
    // Drops whatever search was pending and, for a query that is not blank with an index shown,
    // schedules a search of it (searching until it lands); else clears the results at once.
    void scheduleSearch();

private:
    void startSearch();
    void follow(ShownChange& change);

    ShownIndex& shown_;
    bool again_ = false;           // the shown index changed: search again as the batch closes
    Timer searchTimer_;            // the 60 ms wait of the pending search
    std::uint64_t searchSeq_ = 0;  // the pending search; a result of another is dropped
    QString searchText_;           // what the pending search looks for
    NodeId searchUnder_ = 0;
    IndexRef searchIndex_;
};

}  // namespace tamrel
