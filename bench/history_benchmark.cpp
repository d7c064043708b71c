// What the history of a document costs in the host, without the module: deleting a subtree and
// undoing the delete, pasting many objects, and a move in a large scene, whose step must not cost
// more as the scene grows. Only the action measured is timed (manual time); building the scenes
// and putting them back between iterations is not.

#include <chrono>
#include <cstdint>
#include <cstdlib>

#include <benchmark/benchmark.h>

#include "actions/history.h"
#include "actions/perform.h"
#include "host.h"

namespace {

using vhost::ObjectId;
namespace actions = vhost::actions;

// A root with `count` - 1 objects below it: rows of 100 under the root, each with its children.
ObjectId AddTree(vhost::Host& host, std::int64_t count) {
    vhost::Document& document = host.ActiveDocument();
    vhost::Object* root = document.CreateObject(HOST_OBJECT_NULL, "Root");
    vhost::Object* row = nullptr;
    for (std::int64_t made = 1; made < count; ++made) {
        if (row == nullptr || made % 100 == 0) {
            row = document.CreateObject(HOST_OBJECT_NULL, "Row", {root, nullptr});
            continue;
        }
        vhost::Object* leaf = document.CreateObject(HOST_OBJECT_POLYGON, "Leaf", {row, nullptr});
        leaf->Data().SetInt32(1022131, 1);  // a container to take along
    }
    return root->Id();
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

template <typename Action>
double Timed(vhost::Host& host, const Action& action) {
    const auto start = std::chrono::steady_clock::now();
    const actions::Outcome outcome = actions::Perform(host, action);
    const double seconds = Seconds(start);
    if (!outcome.Done()) std::abort();
    return seconds;
}

void BM_DeleteSubtree(benchmark::State& state) {
    vhost::Host host;
    const ObjectId root = AddTree(host, state.range(0));
    while (state.KeepRunning()) {
        state.SetIterationTime(Timed(host, actions::DeleteObject{{root}}));
        actions::Perform(host, actions::Undo{});
    }
    state.counters["objects"] = static_cast<double>(state.range(0));
}

void BM_UndoDeleteSubtree(benchmark::State& state) {
    vhost::Host host;
    const ObjectId root = AddTree(host, state.range(0));
    while (state.KeepRunning()) {
        actions::Perform(host, actions::DeleteObject{{root}});
        state.SetIterationTime(Timed(host, actions::Undo{}));
    }
}

void BM_Paste(benchmark::State& state) {
    vhost::Host host;
    const ObjectId root = AddTree(host, state.range(0));
    actions::Perform(host, actions::CopyObjects{{root}});
    while (state.KeepRunning()) {
        state.SetIterationTime(Timed(host, actions::PasteObjects{}));
        actions::Perform(host, actions::Undo{});
        vhost::actions::HistoryOf(host, host.ActiveDocument()).Clear();
    }
}

// A move of one object back and forth in a scene of range(0) objects: the step keeps four ids,
// whatever the scene's size.
void BM_MoveInLargeScene(benchmark::State& state) {
    vhost::Host host;
    const ObjectId root = AddTree(host, state.range(0));
    const ObjectId moved = host.ActiveDocument().FindById(root)->Down()->Id();
    while (state.KeepRunning()) {
        state.SetIterationTime(Timed(host, actions::MoveObject{.object = moved}));
        actions::Perform(host, actions::Undo{});
    }
}

BENCHMARK(BM_DeleteSubtree)->Arg(10'000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UndoDeleteSubtree)->Arg(10'000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste)->Arg(10'000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveInLargeScene)
    ->Arg(10'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
