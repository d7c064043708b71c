// The long work the host thread is busy with (an open, an import, a save), as every page sees it,
// and the one way a page calls it off.
//
// While the work lasts, every page receives a `progress` event about ten times a second, {stage,
// unit, done, total}, and one with null once it ends; a page that connects meanwhile finds it in
// its hello. The host thread does nothing else meanwhile, so a cancel (/api/cancel) is answered
// on the server's thread without waiting for it: it only sets the flag the work looks at.
#pragma once

#include <mutex>

#include <nlohmann/json.hpp>

#include "progress/progress.h"
#include "studio/event_stream.h"

namespace vhost::studio {

class StudioProgress : public ProgressDisplay {
public:
    explicit StudioProgress(EventStream& events) : events_(events) {}

    // One piece of work: its Progress is the one a cancel reaches while it lives. [host thread]
    class Work {
    public:
        explicit Work(StudioProgress& studio);
        ~Work();
        Work(const Work&) = delete;
        Work& operator=(const Work&) = delete;

        Progress& ItsProgress() { return progress_; }

    private:
        StudioProgress& studio_;
        Progress progress_;
    };

    // Calls off the work in progress; false when the host thread is busy with none. [any thread]
    bool Cancel();
    // What the pages were last shown of the work in progress; null when none shows. [any thread]
    nlohmann::json Shown() const;

    void Show(const ProgressState& state) override;
    void End() override;

private:
    void Publish(nlohmann::json shown);

    EventStream& events_;
    mutable std::mutex mutex_;
    Progress* working_ = nullptr;
    nlohmann::json shown_;
};

// A state as the `progress` event carries it.
nlohmann::json ProgressJson(const ProgressState& state);

}  // namespace vhost::studio
