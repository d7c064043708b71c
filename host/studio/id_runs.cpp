#include "studio/id_runs.h"

#include "text/json_text.h"

namespace vhost::studio {

namespace {

// Runs of at least this many consecutive ids are written as `[first, last]`.
constexpr ObjectId kShortestRun = 3;

}  // namespace

void IdRuns::Add(ObjectId id) {
    if (!runs_.empty() && runs_.back().second + 1 == id) {
        runs_.back().second = id;
    } else {
        runs_.emplace_back(id, id);
    }
}

void IdRuns::AppendJson(std::string& out) const {
    out += '[';
    for (const auto& [first, last] : runs_) {
        if (out.back() != '[') out += ',';
        if (last - first + 1 >= kShortestRun) {
            out += '[';
            AppendNumber(out, first);
            out += ',';
            AppendNumber(out, last);
            out += ']';
            continue;
        }
        AppendNumber(out, first);
        if (last != first) {
            out += ',';
            AppendNumber(out, last);
        }
    }
    out += ']';
}

}  // namespace vhost::studio
