#pragma once

#include <QString>

#include <cstdint>

#include "core/index/DiskIndex.h"
#include "model/app/ModelContext.h"
#include "model/system/Clock.h"

namespace tamrel {

// The search of the results screen: `query` under `current` in the shown index, once typing
// has settled for Options::searchDelay, on the model's pool; `searching` meanwhile, then
// `results`, `resultTotal` and `resultTime`.
//
// Threading: main thread; the search itself runs on the pool and holds its index by shared
// ownership. Its result is stored only for the search still pending, on the index it searched.
class SearchController {
public:
    explicit SearchController(ModelContext& context);
    SearchController(const SearchController&) = delete;
    SearchController& operator=(const SearchController&) = delete;

    // Drops whatever search was pending and, for a query that is not blank with an index shown,
    // schedules a search of it (searching until it lands); else clears the results at once.
    void scheduleSearch();

private:
    void startSearch();

    ModelContext& context_;
    AppModel& model_;
    Timer searchTimer_;            // the 60 ms wait of the pending search
    std::uint64_t searchSeq_ = 0;  // the pending search; a result of another is dropped
    QString searchText_;           // what the pending search looks for
    NodeId searchUnder_ = 0;
    IndexRef searchIndex_;
};

}  // namespace tamrel
