// Object ids as the change event lists them: runs of consecutive ids, so that a press that hides a
// whole town is a few runs, not a million ids.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "model/container.h"

namespace vhost::studio {

// Ids added in ascending order, kept as runs of consecutive ids.
class IdRuns {
public:
    // `id` is greater than every id added before.
    void Add(ObjectId id);
    bool Empty() const { return runs_.empty(); }
    bool OneId() const { return runs_.size() == 1 && runs_[0].first == runs_[0].second; }
    ObjectId First() const { return runs_.front().first; }
    // The ids as a JSON list, in ascending order: each run of at least three ids as
    // `[first,last]`, every other id as itself.
    void AppendJson(std::string& out) const;

private:
    std::vector<std::pair<ObjectId, ObjectId>> runs_;  // first and last id of each
};

}  // namespace vhost::studio
