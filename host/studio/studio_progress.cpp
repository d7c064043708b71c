#include "studio/studio_progress.h"

#include <utility>

#include "studio/request_errors.h"

namespace vhost::studio {

using json = nlohmann::json;

StudioProgress::Work::Work(StudioProgress& studio) : studio_(studio), progress_(&studio) {
    const std::lock_guard lock(studio_.mutex_);
    studio_.working_ = &progress_;
}

StudioProgress::Work::~Work() {
    {
        const std::lock_guard lock(studio_.mutex_);
        studio_.working_ = nullptr;
    }
    progress_.Finish();
}

bool StudioProgress::Cancel() {
    const std::lock_guard lock(mutex_);
    if (working_ == nullptr) return false;
    working_->Cancel();
    return true;
}

json StudioProgress::Shown() const {
    const std::lock_guard lock(mutex_);
    return shown_;
}

void StudioProgress::Show(const ProgressState& state) { Publish(ProgressJson(state)); }

void StudioProgress::End() { Publish(nullptr); }

void StudioProgress::Publish(json shown) {
    const std::string text = JsonText(shown);
    {
        const std::lock_guard lock(mutex_);
        shown_ = std::move(shown);
    }
    events_.Publish("progress", text);
}

json ProgressJson(const ProgressState& state) {
    return {{"stage", state.stage},
            {"unit", state.unit == ProgressUnit::Bytes ? "bytes" : "objects"},
            {"done", state.done},
            {"total", state.total}};
}

}  // namespace vhost::studio
