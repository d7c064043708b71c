#include "import/trial_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <new>
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

[[noreturn]] void RunChild(const std::function<std::string()>& task, const TrialLimits& limits,
                           int out) {
    RestoreDefaultCrashSignals();
    if (limits.addressSpaceBytes != 0) {
        const rlimit memory{limits.addressSpaceBytes, limits.addressSpaceBytes};
        setrlimit(RLIMIT_AS, &memory);
    }
    int status = kReturned;
    try {
        WriteAll(out, task());
    } catch (const std::bad_alloc&) {
        status = kOutOfMemory;
    }
    _exit(status);
}

// Appends what the child has written so far to `text`; true once the child closed its end (it
// ended).
bool ReadAvailable(int in, std::vector<char>& buffer, std::string& text) {
    while (true) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n == 0) return true;
        if (n < 0) return errno != EAGAIN && errno != EINTR;
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
}

// Waits up to `wait` for the child to write or end.
void WaitForOutput(int in, std::chrono::milliseconds wait) {
    pollfd ready{in, POLLIN, 0};
    poll(&ready, 1, static_cast<int>(wait.count()));
}

TrialResult Stopped(std::string why) { return {TrialResult::Ending::Stopped, std::move(why)}; }

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

TrialResult TrialRun(const std::function<std::string()>& task, const TrialLimits& limits) {
    std::array<int, 2> pipeEnds{};
    if (pipe(pipeEnds.data()) != 0) return {};
    fcntl(pipeEnds[1], F_SETPIPE_SZ, kPipeBytes);  // a smaller pipe only costs more wake-ups
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return {};
    }
    if (child == 0) {
        close(pipeEnds[0]);
        RunChild(task, limits, pipeEnds[1]);
    }
    close(pipeEnds[1]);
    fcntl(pipeEnds[0], F_SETFL, O_NONBLOCK);
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    std::vector<char> buffer(static_cast<std::size_t>(kPipeBytes));
    std::string text;
    bool closed = false;
    int status = 0;
    while (true) {
        if (!closed) closed = ReadAvailable(pipeEnds[0], buffer, text);
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child || done < 0) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            close(pipeEnds[0]);
            return Stopped("did not finish in " + std::to_string(limits.time.count()) + " s");
        }
        if (closed) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } else {
            WaitForOutput(pipeEnds[0], kPollInterval);
        }
    }
    if (!closed) ReadAvailable(pipeEnds[0], buffer, text);
    close(pipeEnds[0]);
    return EndingOf(status, std::move(text));
}

}  // namespace vhost
