#pragma once

#include <memory>

#include "core/index/DiskIndex.h"

namespace tamrel {

// The index generation in which a screen received a list of node ids (a report, a plan, an
// inventory). Node ids are only read in the generation they belong to: a screen shows its list
// only while matches() holds for the shown index. Held weakly, so a generation that is gone
// never matches a new one that happens to take its address.
class ShownGeneration {
public:
    void receive(const std::shared_ptr<DiskIndex>& index) { index_ = index; }
    bool matches(const std::shared_ptr<DiskIndex>& shown) const {
        return shown && index_.lock() == shown;
    }

private:
    std::weak_ptr<DiskIndex> index_;
};

}  // namespace tamrel
