// Running a task in a child process within limits, and taking back what it returned.
//
// The assimp library is not safe on damaged files: some of its readers crash (a damaged Collada
// file), spin for minutes or claim any amount of memory (a damaged PLY or OFF file) on a few
// hundred bytes. A crash in the library would take the host and its open documents with it, so a
// file is read in a child, where the library can crash, run out of its memory allowance or its
// time without harm; the child hands the converted document back (child_answer.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

#include "progress/progress.h"

namespace vhost {

struct TrialLimits {
    std::chrono::seconds time;
    std::size_t addressSpaceBytes;  // 0: no limit (builds with AddressSanitizer need none)
};

struct TrialResult {
    enum class Ending { Returned, Stopped, Cancelled, NotRun };
    Ending ending = Ending::NotRun;
    // Returned: what the task returned. Stopped: why it did not return ("crashed (signal 11)",
    // "did not finish in 60 s", "ran out of memory"). NotRun (no child could be made): empty.
    std::string text;
};

// Runs `task` in a forked child within `limits`, waits for what it returns and hands that back.
// What the child writes is read while it runs, so an answer of any size never blocks it; once the
// whole answer has come, the child is left to end on its own (collected at a later call).
//
// The task reports its progress to the Progress it is given in the child; the stages and counts
// cross to `progress` in the parent, and the bytes of the answer are counted as they arrive (the
// child's last stage says how many there are). A cancel of `progress` kills the child at once
// (Ending::Cancelled), whatever it is doing: the time limit is only for a child nobody calls off.
TrialResult TrialRun(const std::function<std::string(Progress&)>& task, const TrialLimits& limits,
                     Progress* progress = nullptr);

}  // namespace vhost
