// What reporting progress costs a long piece of work: an open of a scene file of 10^6 objects
// read without a Progress (the reader's own one with no display, as every caller that shows
// nothing) and with the terminal's progress line drawn (into /dev/null), side by side in one run:
// the two opens alternate (each going first every other time), so that a machine busy with other
// work slows both alike, and each is
// timed in the process's CPU time (the work is on one thread), which waiting for a core the
// machine's other work holds does not count. Saving the
// same document is measured the same way. The Advance calls themselves, which both sides make,
// are measured alone as a bound of what the mechanism costs when nothing is shown.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "cli/terminal_progress.h"
#include "model/scene.h"
#include "progress/progress.h"
#include "scene_file/scene_file.h"
#include "vela_host/host_objects.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kObjects = 1'000'000;
constexpr int kRounds = 21;

// Groups of a thousand: a null and 999 polygon objects with a small data container each.
std::unique_ptr<vhost::Document> MillionObjects() {
    auto document = std::make_unique<vhost::Document>("Million");
    vhost::Object* group = nullptr;
    for (std::size_t i = 0; i < kObjects; ++i) {
        if (i % 1000 == 0) {
            group = document->CreateObject(HOST_OBJECT_NULL, "Group " + std::to_string(i));
            continue;
        }
        vhost::Object* object = document->CreateObject(
            HOST_OBJECT_POLYGON, "Object " + std::to_string(i), {group, nullptr});
        object->Data().SetInt32(1022131, static_cast<std::int32_t>(i));
    }
    return document;
}

const fs::path& SceneFile() {
    static const fs::path file = [] {
        fs::path path = fs::temp_directory_path() / "vela-bench-progress-1e6.json";
        if (!vhost::SaveScene(*MillionObjects(), path).Ok()) std::abort();
        return path;
    }();
    return file;
}

// The CPU time the process has used, in seconds.
double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    constexpr double kNanosecond = 1e-9;
    return static_cast<double>(now.tv_sec) + kNanosecond * static_cast<double>(now.tv_nsec);
}

// The terminal's line, drawn whether or not the output is a terminal, into /dev/null.
class DrawnLine {
public:
    DrawnLine() : out_(std::fopen("/dev/null", "w")), line_(out_, true), progress_(&line_) {}
    ~DrawnLine() {
        progress_.Finish();  // the line is cleared while its file is open
        std::fclose(out_);
    }
    DrawnLine(const DrawnLine&) = delete;
    DrawnLine& operator=(const DrawnLine&) = delete;
    vhost::Progress& ItsProgress() { return progress_; }

private:
    std::FILE* out_;
    vhost::cli::TerminalProgressLine line_;
    vhost::Progress progress_;
};

template <typename Work>
double CpuSecondsOf(const Work& work) {
    const double start = CpuSeconds();
    work();
    return CpuSeconds() - start;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs `without` and `with` alternately and reports their medians, their fastest rounds (what
// other work on the machine disturbed least) and the median of the rounds' costs in percent.
template <typename Without, typename With>
void SideBySide(benchmark::State& state, const Without& without, const With& with) {
    std::vector<double> plain;
    std::vector<double> drawn;
    std::vector<double> cost;
    while (state.KeepRunning()) {
        for (int round = 0; round < kRounds; ++round) {
            // Every other round the other side goes first, so that what the first leaves the
            // second (a warm cache, a file to replace) favours neither.
            if (round % 2 == 0) {
                plain.push_back(CpuSecondsOf(without));
                drawn.push_back(CpuSecondsOf(with));
            } else {
                drawn.push_back(CpuSecondsOf(with));
                plain.push_back(CpuSecondsOf(without));
            }
            cost.push_back(100.0 * (drawn.back() - plain.back()) / plain.back());
        }
        state.SetIterationTime(Median(drawn));
    }
    state.counters["without_ms"] = 1000 * Median(plain);
    state.counters["with_line_ms"] = 1000 * Median(drawn);
    state.counters["cost_percent"] = Median(cost);
    state.counters["fastest_without_ms"] = 1000 * *std::min_element(plain.begin(), plain.end());
    state.counters["fastest_with_line_ms"] = 1000 * *std::min_element(drawn.begin(), drawn.end());
}

void OpenSideBySide(benchmark::State& state) {
    const fs::path& file = SceneFile();
    SideBySide(
        state,
        [&] {
            if (!vhost::LoadScene(file).Ok()) std::abort();
        },
        [&] {
            DrawnLine line;
            if (!vhost::LoadScene(file, &line.ItsProgress()).Ok()) std::abort();
        });
}

void SaveSideBySide(benchmark::State& state) {
    const std::unique_ptr<vhost::Document> document = MillionObjects();
    const fs::path file = fs::temp_directory_path() / "vela-bench-progress-saved.json";
    SideBySide(
        state,
        [&] {
            if (!vhost::SaveScene(*document, file).Ok()) std::abort();
        },
        [&] {
            DrawnLine line;
            if (!vhost::SaveScene(*document, file, &line.ItsProgress()).Ok()) std::abort();
        });
    fs::remove(file);
}

// 10^6 Advance calls, one per object, as a reader makes them.
void AdvanceAMillionTimes(benchmark::State& state) {
    while (state.KeepRunning()) {
        vhost::Progress progress;
        progress.Stage("Counting", vhost::ProgressUnit::Objects, kObjects);
        bool going = true;
        for (std::uint64_t done = 0; done < kObjects; ++done) going &= progress.Advance(done);
        benchmark::DoNotOptimize(going);
    }
}

}  // namespace

BENCHMARK(OpenSideBySide)
    ->Name("progress/open_1e6")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(SaveSideBySide)
    ->Name("progress/save_1e6")
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(AdvanceAMillionTimes)->Name("progress/advance_1e6")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
