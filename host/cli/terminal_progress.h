// Long work on the command line: a progress line on the error output while it is a terminal, and
// Ctrl-C calls the work off instead of ending the program.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "actions/perform.h"
#include "progress/progress.h"

namespace vhost::cli {

// Draws the state as one line of `out`, redrawn in place, and clears it at the end; draws nothing
// when `out` is not a terminal, so pipes, files and tests see nothing.
class TerminalProgressLine : public ProgressDisplay {
public:
    explicit TerminalProgressLine(std::FILE* out);
    // For a test: draws whether or not `out` is a terminal.
    TerminalProgressLine(std::FILE* out, bool drawn) : out_(out), drawn_(drawn) {}

    void Show(const ProgressState& state) override;
    void End() override;

private:
    std::FILE* out_;
    bool drawn_;
    std::size_t width_ = 0;  // the characters of the line last drawn
};

// One piece of work of the command line (an open, a save): its Progress shows on the error
// output's line, and while it lives Ctrl-C (SIGINT) cancels it, so the work stops as a cancel
// leaves it (the reader's child killed, the old file whole); the signal's earlier handling comes
// back when it ends. One at a time.
class CommandLineWork {
public:
    CommandLineWork();
    ~CommandLineWork();
    CommandLineWork(const CommandLineWork&) = delete;
    CommandLineWork& operator=(const CommandLineWork&) = delete;

    Progress& ItsProgress() { return progress_; }

    using SignalHandler = void (*)(int);

private:
    TerminalProgressLine line_;
    Progress progress_;
    SignalHandler previous_;
};

// Performs `action` (an open, a save) as CommandLineWork: its progress line is gone again when
// this returns, before anything else is written.
actions::Outcome PerformShowingProgress(Host& host, const actions::Action& action);

// The line drawn for `state`: the stage, what is done of what, and the share done when the total
// is known, e.g. "Reading town.gltf: 12.3 of 45.6 MB (27%)".
std::string ProgressLineText(const ProgressState& state);

}  // namespace vhost::cli
