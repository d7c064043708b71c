#include "progress/progress.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vhost {

namespace {

constexpr auto kShowInterval = std::chrono::milliseconds(100);
// Checks are spaced to come about this often: the cancel flag is seen within about that time.
constexpr auto kCheckInterval = std::chrono::milliseconds(10);
constexpr std::uint64_t kLargestStride = std::uint64_t{1} << 40U;

std::string Grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    constexpr std::size_t kGroup = 3;
    for (std::size_t at = digits.size(); at > kGroup; at -= kGroup) digits.insert(at - kGroup, ",");
    return digits;
}

std::string Megabytes(std::uint64_t bytes) {
    constexpr double kMegabyte = 1e6;
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%.1f", static_cast<double>(bytes) / kMegabyte);
    return text.data();
}

}  // namespace

Progress::Progress(ProgressDisplay* display)
    : display_(display), lastCheck_(Clock::now()), nextShow_(lastCheck_ + kShowInterval) {}

Progress::~Progress() { Finish(); }

void Progress::Stage(std::string_view name, ProgressUnit unit, std::uint64_t total) {
    state_.stage.assign(name);
    state_.unit = unit;
    state_.done = 0;
    state_.total = total;
    // The first point of a stage checks at once; the stride then adapts to the stage's steps.
    nextCheck_ = 0;
    stride_ = 1;
}

bool Progress::Check(std::uint64_t done) {
    state_.done = done;
    const Clock::time_point now = Clock::now();
    const auto since = now - lastCheck_;
    lastCheck_ = now;
    if (since < kCheckInterval / 2) {
        stride_ = std::min(stride_ * 2, kLargestStride);
    } else if (since > kCheckInterval * 2 && stride_ > 1) {
        stride_ /= 2;
    }
    nextCheck_ = done + stride_;
    if (display_ != nullptr && now >= nextShow_) {
        nextShow_ = now + kShowInterval;
        shown_ = true;
        display_->Show(state_);
    }
    return !Cancelled();
}

void Progress::Finish() {
    if (shown_ && display_ != nullptr) display_->End();
    shown_ = false;
}

std::string ProgressAmount(const ProgressState& state) {
    if (state.done == 0 && state.total == 0) return {};
    if (state.unit == ProgressUnit::Bytes) {
        if (state.total == 0) return Megabytes(state.done) + " MB";
        return Megabytes(state.done) + " of " + Megabytes(state.total) + " MB";
    }
    const char* objects =
        (state.total == 0 ? state.done : state.total) == 1 ? " object" : " objects";
    if (state.total == 0) return Grouped(state.done) + objects;
    return Grouped(state.done) + " of " + Grouped(state.total) + objects;
}

}  // namespace vhost
