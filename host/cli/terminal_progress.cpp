#include "cli/terminal_progress.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <string>

#include "text/utf8.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vhost::cli {

namespace {

// Lines are cut to fit a terminal of 80 columns without wrapping.
constexpr std::size_t kWidest = 79;

bool IsTerminal(std::FILE* out) {
#ifdef _WIN32
    return _isatty(_fileno(out)) != 0;
#else
    return isatty(fileno(out)) != 0;
#endif
}

// The work Ctrl-C cancels; a lock-free atomic, as a signal handler may touch.
std::atomic<Progress*> interruptible{nullptr};
static_assert(std::atomic<Progress*>::is_always_lock_free);

extern "C" void CancelOnInterrupt(int /*signal*/) {
    Progress* progress = interruptible.load();
    if (progress != nullptr) progress->Cancel();
}

// Makes Ctrl-C cancel `progress`; answers how the signal was handled before.
CommandLineWork::SignalHandler CancelOnInterruptOf(Progress& progress) {
    interruptible.store(&progress);
    return std::signal(SIGINT, CancelOnInterrupt);
}

}  // namespace

std::string ProgressLineText(const ProgressState& state) {
    std::string text = state.stage;
    const std::string amount = ProgressAmount(state);
    if (!amount.empty()) text += ": " + amount;
    if (state.total > 0) {
        constexpr double kPercent = 100;
        const double share = std::min(kPercent, kPercent * static_cast<double>(state.done) /
                                                    static_cast<double>(state.total));
        text += " (" + std::to_string(static_cast<int>(share)) + "%)";
    }
    return text;
}

TerminalProgressLine::TerminalProgressLine(std::FILE* out)
    : TerminalProgressLine(out, IsTerminal(out)) {}

void TerminalProgressLine::Show(const ProgressState& state) {
    if (!drawn_) return;
    const std::string text(FirstCharacters(ProgressLineText(state), kWidest));
    const std::size_t width = CharacterCount(text);
    std::string line = "\r" + text;
    if (width < width_) line.append(width_ - width, ' ');
    width_ = width;
    std::fputs(line.c_str(), out_);
    std::fflush(out_);
}

void TerminalProgressLine::End() {
    if (!drawn_ || width_ == 0) return;
    std::fputs(("\r" + std::string(width_, ' ') + "\r").c_str(), out_);
    std::fflush(out_);
    width_ = 0;
}

CommandLineWork::CommandLineWork()
    : line_(stderr), progress_(&line_), previous_(CancelOnInterruptOf(progress_)) {}

CommandLineWork::~CommandLineWork() {
    std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_);
    interruptible.store(nullptr);
    progress_.Finish();
}

actions::Outcome PerformShowingProgress(Host& host, const actions::Action& action) {
    CommandLineWork work;
    return actions::Perform(host, action, {}, &work.ItsProgress());
}

}  // namespace vhost::cli
