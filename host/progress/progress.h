// How far a long piece of work has come (opening, importing, saving), and the one way to call it
// off.
//
// The work holds a Progress and tells it, at its own points, which stage it is in and how much of
// the stage is done; a display (a terminal line, the studio's pages) is shown that at most about
// ten times a second. Another thread may cancel the work at any time; the work sees it at the same
// points, as Advance answering false, and stops without changing anything it was to change.
//
// Advance costs an integer compare until the next check is due. The checks come about every
// hundredth of a second, whatever the size of a step: the distance between two is measured and
// adapted at each check, so a tight loop over a million objects pays a compare per object and a
// clock reading per few thousand.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace vhost {

// What a stage counts.
enum class ProgressUnit { Objects, Bytes };

// What a display shows: the stage ("Reading town.gltf"), how much of it is done, of how much (0:
// not known yet), and in what.
struct ProgressState {
    std::string stage;
    ProgressUnit unit = ProgressUnit::Objects;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

// Where progress is shown. Called on the working thread.
class ProgressDisplay {
public:
    ProgressDisplay() = default;
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;
    virtual ~ProgressDisplay() = default;

    // The work is at `state`; shown no sooner than a tenth of a second after the work began, and
    // then at most about ten times a second.
    virtual void Show(const ProgressState& state) = 0;
    // The work ended, however it ended (after a Show or not): the display takes away what it shows.
    virtual void End() = 0;
};

class Progress {
public:
    // `display` may be null (nothing is shown; the work can still be cancelled) and must outlive
    // the Progress.
    explicit Progress(ProgressDisplay* display = nullptr);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    // Ends the display if anything was shown.
    ~Progress();

    // Begins a stage counting `unit`s up to `total` (0: not known yet; SetTotal may tell it later).
    // [the working thread]
    void Stage(std::string_view name, ProgressUnit unit, std::uint64_t total = 0);
    void SetTotal(std::uint64_t total) { state_.total = total; }

    // `done` units of the stage are done; false once the work is cancelled, and then the work
    // stops. [the working thread]
    bool Advance(std::uint64_t done) {
        if (done < nextCheck_) return true;
        return Check(done);
    }

    // For work that waits on something else (a child process): shows the state as it stands when
    // a show is due, and answers as Advance. [the working thread]
    bool Poll() { return Check(state_.done); }

    // Whether the work was cancelled; answered at once. [any thread]
    bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }
    // Calls the work off; it stops at its next point. [any thread]
    void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }

    // The work is over: the display ends if it showed anything. [the working thread]
    void Finish();

    const ProgressState& State() const { return state_; }

private:
    using Clock = std::chrono::steady_clock;

    bool Check(std::uint64_t done);

    ProgressDisplay* display_;
    ProgressState state_;
    std::atomic<bool> cancelled_{false};
    bool shown_ = false;
    std::uint64_t nextCheck_ = 0;
    std::uint64_t stride_ = 1;
    Clock::time_point lastCheck_;
    Clock::time_point nextShow_;
};

// The units a stage of `done` and `total` is at, as a person reads them: "1,234 of 5,678
// objects", "12.3 of 45.6 MB", "12.3 MB" when the total is not known; empty when nothing is
// known yet.
std::string ProgressAmount(const ProgressState& state);

}  // namespace vhost
