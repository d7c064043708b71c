#include "import/trial_run.h"

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>

namespace vhost {

namespace {

constexpr int kReturned = 0;
constexpr int kOutOfMemory = 3;
constexpr auto kPollInterval = std::chrono::milliseconds(5);
// The pipe's buffer and the parent's reads: a child that hands back a large text is not kept
// waiting between small reads.
constexpr int kPipeBytes = 1 << 20;
constexpr std::size_t kLongestStageName = 200;
constexpr std::size_t kPipeRecordBytes = 4096;

void WriteAll(int fd, const std::string& text) {
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n <= 0) return;
        written += static_cast<std::size_t>(n);
    }
}

// The child ends by the signal that stopped it, whatever handlers the process had installed (a
// sanitizer's, for one, would report and exit with a status of its own), so the parent can say
// how the task ended.
void RestoreDefaultCrashSignals() {
    for (const int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

// The child's progress crosses as records of a few dozen bytes: the unit, the count done and the
// total, the stage's name after its length. Each record is one write of less than PIPE_BUF
// bytes, so records never mix; one the pipe has no room for is left out (a later one says more).
class ProgressToParent : public ProgressDisplay {
public:
    explicit ProgressToParent(int fd) : fd_(fd) {}

    void Show(const ProgressState& state) override {
        std::string record;
        AppendValue(record, static_cast<std::uint8_t>(state.unit));
        AppendValue(record, state.done);
        AppendValue(record, state.total);
        const std::string_view name = std::string_view(state.stage).substr(0, kLongestStageName);
        AppendValue(record, static_cast<std::uint8_t>(name.size()));
        record += name;
        [[maybe_unused]] const ssize_t written = write(fd_, record.data(), record.size());
    }
    void End() override {}

private:
    template <typename Value>
    static void AppendValue(std::string& out, Value value) {
        out.append(reinterpret_cast<const char*>(&value), sizeof value);
    }

    int fd_;
};

// The answer crosses after its length, so the parent can count its bytes as they arrive and
// knows when all of them have come.
using AnswerLength = std::uint64_t;
constexpr std::size_t kAnswerLengthBytes = sizeof(AnswerLength);

void WriteAnswer(int fd, const std::string& answer) {
    const AnswerLength length = answer.size();
    WriteAll(fd, std::string(reinterpret_cast<const char*>(&length), kAnswerLengthBytes));
    WriteAll(fd, answer);
}

// The length the answer received so far in `text` announces, once its bytes have come.
std::optional<AnswerLength> AnnouncedLength(const std::string& text) {
    AnswerLength length = 0;
    if (text.size() < kAnswerLengthBytes) return std::nullopt;
    std::memcpy(&length, text.data(), kAnswerLengthBytes);
    return length;
}

// The child's heap grows in steps of this size. Left to itself, the C library grows a thread's
// heap a page at a time, one system call each (tens of thousands for a large scene, some tens
// of milliseconds); the pages a step reserves cost nothing until written, and the child's
// address space stays bounded by its limit.
constexpr int kChildHeapStep = 64 << 20;

void GrowHeapInLargeSteps() {
#ifdef __GLIBC__
    mallopt(M_TOP_PAD, kChildHeapStep);
#endif
}

[[noreturn]] void RunChild(const std::function<std::string(Progress&)>& task,
                           const TrialLimits& limits, int out, int progressOut) {
    RestoreDefaultCrashSignals();
    // Ctrl-C on a terminal reaches the whole process group; the parent decides, and kills the
    // child if the work is to stop.
    signal(SIGINT, SIG_IGN);
    GrowHeapInLargeSteps();
    if (limits.addressSpaceBytes != 0) {
        const rlimit memory{limits.addressSpaceBytes, limits.addressSpaceBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
    int status = kReturned;
    try {
        ProgressToParent display(progressOut);
        Progress progress(&display);
        WriteAnswer(out, task(progress));
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    _exit(status);
}

// The child's stages, passed on to the parent's Progress until the answer begins to arrive, and
// then the answer's bytes.
class ProgressFromChild {
public:
    explicit ProgressFromChild(Progress* progress) : progress_(progress) {}

    // Takes the records that have arrived on `in`.
    void Read(int in) {
        std::array<char, kPipeRecordBytes> buffer{};
        while (true) {
            const ssize_t n = read(in, buffer.data(), buffer.size());
            if (n <= 0) return;
            pending_.append(buffer.data(), static_cast<std::size_t>(n));
            while (TakeRecord()) {
            }
        }
    }

    // The answer so far is `received` bytes, its length first.
    void Received(const std::string& received) {
        const std::optional<AnswerLength> length = AnnouncedLength(received);
        if (progress_ == nullptr || !length) return;
        if (!receiving_) {
            progress_->Stage("Taking the scene from the reader", ProgressUnit::Bytes, *length);
            receiving_ = true;
        }
        progress_->Advance(received.size() - kAnswerLengthBytes);
    }

private:
    static constexpr std::size_t kHead = 1 + 8 + 8 + 1;

    bool TakeRecord() {
        if (pending_.size() < kHead) return false;
        const auto nameLength = static_cast<std::uint8_t>(pending_[kHead - 1]);
        if (pending_.size() < kHead + nameLength) return false;
        ProgressState state;
        state.unit = static_cast<ProgressUnit>(pending_[0]);
        std::memcpy(&state.done, pending_.data() + 1, sizeof state.done);
        std::memcpy(&state.total, pending_.data() + 1 + 8, sizeof state.total);
        state.stage = pending_.substr(kHead, nameLength);
        pending_.erase(0, kHead + nameLength);
        if (progress_ != nullptr && !receiving_) {
            if (state.stage != progress_->State().stage || state.unit != progress_->State().unit) {
                progress_->Stage(state.stage, state.unit, state.total);
            }
            progress_->SetTotal(state.total);
            progress_->Advance(state.done);
        }
        return true;
    }

    Progress* progress_;
    std::string pending_;
    bool receiving_ = false;
};

// Once the answer's length has come, makes room for the whole answer at once, so that a large
// answer is not copied again each time the text outgrows its room. The length is the child's word,
// so the room made ahead is bounded; an answer longer than that grows as it comes.
void MakeRoomForAnswer(std::string& text, bool& madeRoom) {
    constexpr AnswerLength kLargestRoomAhead = AnswerLength{1} << 30U;
    const std::optional<AnswerLength> length = AnnouncedLength(text);
    if (madeRoom || !length) return;
    text.reserve(
        static_cast<std::size_t>(kAnswerLengthBytes + std::min(*length, kLargestRoomAhead)));
    madeRoom = true;
}

// Appends what the child has written so far to `text`; true once the child closed its end (it
// ended).
bool ReadAvailable(int in, std::vector<char>& buffer, std::string& text, bool& madeRoom) {
    while (true) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n == 0) return true;
        if (n < 0) return errno != EAGAIN && errno != EINTR;
        text.append(buffer.data(), static_cast<std::size_t>(n));
        MakeRoomForAnswer(text, madeRoom);
    }
}

// Waits up to `wait` for the child to write its answer (while `in` is open) or its progress.
void WaitForOutput(int in, bool inOpen, int progressIn, std::chrono::milliseconds wait) {
    std::array<pollfd, 2> ready{pollfd{progressIn, POLLIN, 0}, pollfd{in, POLLIN, 0}};
    poll(ready.data(), inOpen ? 2 : 1, static_cast<int>(wait.count()));
}

void ClosePipe(std::array<int, 2>& ends) {
    for (int& end : ends) {
        if (end >= 0) close(end);
        end = -1;
    }
}

void KillAndWait(pid_t child, int& status) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
}

// True once `text` holds the whole answer its length announced: the child has nothing left to do
// but end.
bool AnswerComplete(const std::string& text) {
    const std::optional<AnswerLength> length = AnnouncedLength(text);
    return length && text.size() - kAnswerLengthBytes == *length;
}

// A child whose whole answer has come is left to end on its own: handing a large scene's memory
// back to the system takes it tens of milliseconds, which the host need not wait for. Such
// children are collected by the next trial run, or by the system once the host ends.
class EndingChildren {
public:
    void Add(pid_t child) {
        const std::lock_guard lock(mutex_);
        children_.push_back(child);
    }

    void CollectEnded() {
        const std::lock_guard lock(mutex_);
        std::erase_if(children_, [](pid_t child) {
            int status = 0;
            return waitpid(child, &status, WNOHANG) != 0;
        });
    }

private:
    std::mutex mutex_;
    std::vector<pid_t> children_;
};

EndingChildren& Ending() {
    static EndingChildren children;
    return children;
}

TrialResult Stopped(std::string why) { return {TrialResult::Ending::Stopped, std::move(why)}; }

// The answer without its length; a cut answer stays cut (the reader of the answer refuses it).
std::string AnswerOf(std::string text) {
    text.erase(0, std::min(text.size(), kAnswerLengthBytes));
    return text;
}

TrialResult EndingOf(int status, std::string text) {
    if (WIFSIGNALED(status)) {
        return Stopped("crashed (signal " + std::to_string(WTERMSIG(status)) + ")");
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kOutOfMemory) {
        return Stopped("ran out of memory");
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != kReturned) return Stopped("failed");
    return {TrialResult::Ending::Returned, std::move(text)};
}

}  // namespace

TrialResult TrialRun(const std::function<std::string(Progress&)>& task, const TrialLimits& limits,
                     Progress* progress) {
    Ending().CollectEnded();
    std::array<int, 2> pipeEnds{-1, -1};
    std::array<int, 2> progressEnds{-1, -1};
    if (pipe(pipeEnds.data()) != 0) return {};
    if (pipe(progressEnds.data()) != 0) {
        ClosePipe(pipeEnds);
        return {};
    }
    fcntl(pipeEnds[1], F_SETPIPE_SZ, kPipeBytes);  // a smaller pipe only costs more wake-ups
    const pid_t child = fork();
    if (child < 0) {
        ClosePipe(pipeEnds);
        ClosePipe(progressEnds);
        return {};
    }
    if (child == 0) {
        close(pipeEnds[0]);
        close(progressEnds[0]);
        fcntl(progressEnds[1], F_SETFL, O_NONBLOCK);  // a record with no room is left out
        RunChild(task, limits, pipeEnds[1], progressEnds[1]);
    }
    close(pipeEnds[1]);
    close(progressEnds[1]);
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    fcntl(progressEnds[0], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    std::vector<char> buffer(static_cast<std::size_t>(kPipeBytes));
    ProgressFromChild fromChild(progress);
    std::string text;
    bool closed = false;
    bool madeRoom = false;
    int status = 0;
    auto stop = [&](TrialResult result) {
        KillAndWait(child, status);
        close(pipeEnds[0]);
        close(progressEnds[0]);
        return result;
    };
    while (true) {
        fromChild.Read(progressEnds[0]);
        if (!closed) closed = ReadAvailable(pipeEnds[0], buffer, text, madeRoom);
        fromChild.Received(text);
        if (progress != nullptr) progress->Poll();
        if (!closed && AnswerComplete(text)) {
            Ending().Add(child);
            close(pipeEnds[0]);
            close(progressEnds[0]);
            return {TrialResult::Ending::Returned, AnswerOf(std::move(text))};
        }
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || done < 0) break;
        if (progress != nullptr && progress->Cancelled()) {
            return stop({TrialResult::Ending::Cancelled, {}});
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return stop(Stopped("did not finish in " + std::to_string(limits.time.count()) + " s"));
        }
        if (closed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
            WaitForOutput(pipeEnds[0], !closed, progressEnds[0], kPollInterval);
        }
    }
    if (!closed) ReadAvailable(pipeEnds[0], buffer, text, madeRoom);
    close(pipeEnds[0]);
    close(progressEnds[0]);
    return EndingOf(status, AnswerOf(std::move(text)));
}

}  // namespace vhost
