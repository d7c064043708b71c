// What a press of the command costs as scenes grow.
//
// The module file is loaded and started by the stand-in host as the host starts it, and the
// command is pressed through the host with qualifier keys held, exactly as a click does. Scenes
// are generated in four shapes and sizes from a thousand to a million objects; building and
// closing them is never timed (manual timing around the presses only).
//
// Beside each press the same scene is walked once more inside the host, without the module, the
// interface table or any record: the floor, the least a walk that reads and writes every object's
// states can cost in this model. Counters give nanoseconds per object and press / floor.
//
// The program replaces the global allocation functions with counting ones, so that the bytes the
// host holds for the isolation records can be read off before and after a press.

#include <dlfcn.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include <benchmark/benchmark.h>

#include "actions/perform.h"
#include "host.h"
#include "scene_file/scene_file.h"
#include "vela2023/vela_ids.h"

// Counting allocation ---------------------------------------------------------------------------

namespace {

// Live bytes are counted as the allocator's usable size of each block, on allocation and on
// release alike, so the balance is exact whichever form of delete runs. Counting is switched on
// only around the presses whose memory is measured, so that timed presses pay one test per block.
// Blocks allocated before it is switched on and released while it is on are subtracted without
// having been added; the memory benchmark uses fresh scenes, where the press releases none.
std::atomic<bool> g_counting{false};
std::atomic<std::int64_t> g_liveBytes{0};
std::atomic<std::int64_t> g_allocations{0};
std::atomic<std::int64_t> g_peakBytes{0};  // the highest g_liveBytes since it was last reset

void CountBlock(void* block) noexcept {
    const auto size = static_cast<std::int64_t>(malloc_usable_size(block));
    const std::int64_t live = g_liveBytes.fetch_add(size, std::memory_order_relaxed) + size;
    if (live > g_peakBytes.load(std::memory_order_relaxed)) {
        g_peakBytes.store(live, std::memory_order_relaxed);
    }
    g_allocations.fetch_add(1, std::memory_order_relaxed);
}

void* CountedAlloc(std::size_t size) noexcept {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block != nullptr && g_counting.load(std::memory_order_relaxed)) CountBlock(block);
    return block;
}

void CountedFree(void* block) noexcept {
    if (block == nullptr) return;
    if (g_counting.load(std::memory_order_relaxed)) {
        g_liveBytes.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(block)),
                              std::memory_order_relaxed);
    }
    std::free(block);
}

void* CountedAllocOrThrow(std::size_t size) {
    void* block = CountedAlloc(size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

// Over-aligned blocks (the host's pools take their chunks so), counted the same way.
void* CountedAlignedAlloc(std::size_t size, std::align_val_t alignment) noexcept {
    const auto align = static_cast<std::size_t>(alignment);
    void* block =
        std::aligned_alloc(align, (std::max<std::size_t>(size, 1) + align - 1) / align * align);
    if (block != nullptr && g_counting.load(std::memory_order_relaxed)) CountBlock(block);
    return block;
}

void* CountedAlignedAllocOrThrow(std::size_t size, std::align_val_t alignment) {
    void* block = CountedAlignedAlloc(size, alignment);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

}  // namespace

void* operator new(std::size_t size) { return CountedAllocOrThrow(size); }
void* operator new[](std::size_t size) { return CountedAllocOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return CountedAlloc(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void operator delete(void* block) noexcept { CountedFree(block); }
void operator delete[](void* block) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t) noexcept { CountedFree(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { CountedFree(block); }
void* operator new(std::size_t size, std::align_val_t alignment) {
    return CountedAlignedAllocOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return CountedAlignedAllocOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return CountedAlignedAlloc(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return CountedAlignedAlloc(size, alignment);
}
void operator delete(void* block, std::align_val_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::align_val_t) noexcept { CountedFree(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { CountedFree(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { CountedFree(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    CountedFree(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    CountedFree(block);
}

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

constexpr std::int32_t kCommandId = ID_VELA;
constexpr std::int32_t kSettingsId = ID_VELASETTINGS;
constexpr std::int32_t kKeepOptionKey = VELASETTINGS_KEEP_VISIBILITY;
constexpr std::int32_t kIsolated = HOST_COMMAND_ENABLED | HOST_COMMAND_CHECKED;
constexpr std::int32_t kNotIsolated = HOST_COMMAND_ENABLED;

// Object types of the host.
constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;
constexpr std::int32_t kLight = HOST_OBJECT_LIGHT;
constexpr std::int32_t kCube = vhost::kObjectCube;
constexpr std::int32_t kInstance = HOST_OBJECT_INSTANCE;
constexpr std::int32_t kSubdivision = vhost::kObjectSubdivision;  // takes its children as input
constexpr std::int32_t kCloner = vhost::kObjectCloner;            // takes its children as input
constexpr std::int32_t kInstanceLink = HOST_INSTANCE_LINK;  // the instance's referenced object

// Scenes ------------------------------------------------------------------------------------------

enum class Shape { Wide, Balanced, Deep, Production };

const char* ShapeName(Shape shape) {
    switch (shape) {
        case Shape::Wide:
            return "wide";
        case Shape::Balanced:
            return "balanced";
        case Shape::Deep:
            return "deep";
        case Shape::Production:
            return "production";
    }
    return "?";
}

constexpr std::size_t kDeepestChain = 100000;
// Every hundredth object made is selected: about 1% in every shape.
constexpr std::size_t kSelectEvery = 100;

// Makes objects in one document, selecting every hundredth.
class SceneBuilder {
public:
    explicit SceneBuilder(vhost::Document& doc) : doc_(doc) {}

    vhost::Object* Make(std::int32_t type, vhost::Object* parent) {
        vhost::Object* object = doc_.CreateObject(type, "Object", {parent, nullptr});
        ++made_;
        if (made_ % kSelectEvery == 0) object->SetBit(vhost::kBitActive);
        return object;
    }
    std::size_t Made() const { return made_; }

private:
    vhost::Document& doc_;
    std::size_t made_ = 0;
};

void BuildWide(SceneBuilder& scene, std::size_t count) {
    while (scene.Made() < count) scene.Make(kCube, nullptr);
}

// One root; object i (in the order made) is a child of object (i - 1) / 8.
void BuildBalanced(SceneBuilder& scene, std::size_t count) {
    std::vector<vhost::Object*> made;
    made.reserve(count);
    made.push_back(scene.Make(kNull, nullptr));
    while (scene.Made() < count) {
        vhost::Object* parent = made[(made.size() - 1) / 8];
        made.push_back(scene.Make(kCube, parent));
    }
}

// Chains of at most kDeepestChain levels, side by side at the top.
void BuildDeep(SceneBuilder& scene, std::size_t count) {
    while (scene.Made() < count) {
        vhost::Object* parent = nullptr;
        for (std::size_t level = 0; level < kDeepestChain && scene.Made() < count; ++level) {
            parent = scene.Make(kNull, parent);
        }
    }
}

// An asset of the library: a group of parts, each part a group with a subdivided mesh, loose
// meshes and a nested group of meshes (17 objects per part).
vhost::Object* BuildAsset(SceneBuilder& scene, vhost::Object* library, std::size_t size) {
    vhost::Object* root = scene.Make(kNull, library);
    const std::size_t end = scene.Made() + size;
    while (scene.Made() + 1 < end) {
        vhost::Object* part = scene.Make(kNull, root);
        vhost::Object* subdivision = scene.Make(kSubdivision, part);
        for (int i = 0; i < 3; ++i) scene.Make(kPolygon, subdivision);
        for (int i = 0; i < 6; ++i) scene.Make(kPolygon, part);
        vhost::Object* nested = scene.Make(kNull, part);
        for (int i = 0; i < 5; ++i) scene.Make(kPolygon, nested);
    }
    return root;
}

// A room of the layout (26 objects): meshes, a subdivided mesh, a cloner with its children, a
// nested group, a light in every fourth room, and an instance of one of the library's assets.
void BuildRoom(SceneBuilder& scene, vhost::Object* building, vhost::Object* asset,
               std::size_t roomIndex) {
    vhost::Object* room = scene.Make(kNull, building);
    for (int i = 0; i < 10; ++i) scene.Make(kPolygon, room);
    vhost::Object* subdivision = scene.Make(kSubdivision, room);
    for (int i = 0; i < 3; ++i) scene.Make(kPolygon, subdivision);
    vhost::Object* cloner = scene.Make(kCloner, room);
    for (int i = 0; i < 3; ++i) scene.Make(kCube, cloner);
    vhost::Object* nested = scene.Make(kNull, room);
    for (int i = 0; i < 4; ++i) scene.Make(kPolygon, nested);
    if (roomIndex % 4 == 0) scene.Make(kLight, room);
    vhost::Object* instance = scene.Make(kInstance, room);
    instance->Data().SetLink(kInstanceLink, asset->Id());
}

// A production scene: a library of assets first (a fifth of the objects, assets of up to a
// thousand objects), then sets of buildings of rooms, every room holding an instance of an asset.
void BuildProduction(SceneBuilder& scene, std::size_t count) {
    const std::size_t assetSize = std::min<std::size_t>(1000, count / 10);
    const std::size_t libraryEnd = count / 5;
    vhost::Object* library = scene.Make(kNull, nullptr);
    std::vector<vhost::Object*> assets;
    while (scene.Made() + assetSize <= libraryEnd + 1) {
        assets.push_back(BuildAsset(scene, library, assetSize));
    }
    std::size_t roomIndex = 0;
    while (scene.Made() < count) {
        vhost::Object* set = scene.Make(kNull, nullptr);
        for (int b = 0; b < 10 && scene.Made() < count; ++b) {
            vhost::Object* building = scene.Make(kNull, set);
            for (int r = 0; r < 10 && scene.Made() < count; ++r, ++roomIndex) {
                BuildRoom(scene, building, assets[roomIndex % assets.size()], roomIndex);
            }
        }
    }
}

void BuildScene(vhost::Document& doc, Shape shape, std::size_t count) {
    SceneBuilder scene(doc);
    switch (shape) {
        case Shape::Wide:
            BuildWide(scene, count);
            break;
        case Shape::Balanced:
            BuildBalanced(scene, count);
            break;
        case Shape::Deep:
            BuildDeep(scene, count);
            break;
        case Shape::Production:
            BuildProduction(scene, count);
            break;
    }
}

// The floor -------------------------------------------------------------------------------------

// The walk a press makes, done by the host on its own model: every object in tree order (an object,
// its children, its next sibling) with an explicit stack, reading its selection and its three
// states and writing the three states. No record, no container, no interface table.
std::uint64_t FloorWalk(vhost::Document& doc, std::vector<vhost::Object*>& parents) {
    std::uint64_t seen = 0;
    parents.clear();
    vhost::Object* object = doc.FirstObject();
    while (object != nullptr) {
        const bool selected = object->Selected();
        seen += static_cast<std::uint64_t>(object->EditorMode()) +
                3 * static_cast<std::uint64_t>(object->RenderMode()) +
                (object->Enabled() ? 9U : 0U) + (selected ? 27U : 0U);
        const vhost::Mode mode = selected ? vhost::Mode::On : vhost::Mode::Off;
        object->SetEditorMode(mode);
        object->SetRenderMode(mode);
        object->SetEnabled(selected);
        if (vhost::Object* child = object->Down()) {
            parents.push_back(object);
            object = child;
            continue;
        }
        object = object->Next();
        while (object == nullptr && !parents.empty()) {
            object = parents.back()->Next();
            parents.pop_back();
        }
    }
    return seen;
}

// The session -----------------------------------------------------------------------------------

// One host with the module loaded and started as the host starts it, for the whole run.
class Session {
public:
    Session() : host_(std::make_unique<vhost::Host>()) {
        const vhost::ModuleLoadReport report = host_->LoadModule(VELA_MODULE_FILE);
        if (!report.started) {
            error_ = report.messages.empty() ? "the module did not start" : report.messages.front();
            return;
        }
        host_->FinishStartup();
        // The settings the preferences page keeps, with the option off.
        vhost::Container& world = host_->WorldContainer();
        if (world.GetContainerInstance(kSettingsId) == nullptr) {
            world.SetContainer(kSettingsId, vhost::Container(kSettingsId));
        }
        world.GetContainerInstance(kSettingsId)->SetInt32(kKeepOptionKey, 0);
    }

    const std::string& Error() const { return error_; }
    vhost::Host& Host() { return *host_; }

    // A press with `qualifiers` held, as a click does. Answers the command's state afterwards.
    std::int32_t Press(std::int32_t qualifiers) {
        vhost::actions::Perform(*host_, vhost::actions::PressCommand{kCommandId, qualifiers});
        return host_->QueryCommandState(kCommandId);
    }

    // A new active document holding a generated scene.
    vhost::Document& NewScene(Shape shape, std::size_t count) {
        vhost::Document& doc = host_->NewDocument("bench");
        BuildScene(doc, shape, count);
        return doc;
    }

    void Close(vhost::Document& doc) {
        host_->CloseDocument(doc);
        host_->ClearConsole();
    }

private:
    std::unique_ptr<vhost::Host> host_;
    std::string error_;
};

Session& TheSession() {
    static Session session;
    return session;
}

// Starts a benchmark: the session, or why there is none.
Session* StartSession(benchmark::State& state) {
    Session& session = TheSession();
    if (!session.Error().empty()) {
        state.SkipWithError(session.Error().c_str());
        return nullptr;
    }
    return &session;
}

double NsPerObject(double seconds, double iterations, std::size_t objects) {
    return seconds * 1e9 / iterations / static_cast<double>(objects);
}

struct Timings {
    double isolate = 0.0;
    double restore = 0.0;
    double floor = 0.0;
    std::uint64_t seen = 0;
};

// Isolate, restore and one floor walk on the active document `doc`; false when a press did not
// leave the command in the state it should.
bool TimePair(Session& session, vhost::Document& doc, std::vector<vhost::Object*>& parents,
              Timings& timings, std::string& error) {
    const Clock::time_point start = Clock::now();
    const std::int32_t afterIsolate = session.Press(0);
    const Clock::time_point isolated = Clock::now();
    const std::int32_t afterRestore = session.Press(0);
    const Clock::time_point restored = Clock::now();
    timings.seen += FloorWalk(doc, parents);
    const Clock::time_point walked = Clock::now();
    if (afterIsolate != kIsolated || afterRestore != kNotIsolated) {
        error = "the press did not isolate and restore";
        return false;
    }
    timings.isolate += Seconds(start, isolated);
    timings.restore += Seconds(isolated, restored);
    timings.floor += Seconds(restored, walked);
    return true;
}

void ReportPair(benchmark::State& state, const Timings& timings, std::size_t objects) {
    const auto iterations = static_cast<double>(state.iterations());
    const double isolate = NsPerObject(timings.isolate, iterations, objects);
    const double restore = NsPerObject(timings.restore, iterations, objects);
    const double floor = NsPerObject(timings.floor, iterations, objects);
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["isolate_ns/obj"] = isolate;
    state.counters["restore_ns/obj"] = restore;
    state.counters["floor_ns/obj"] = floor;
    state.counters["isolate/floor"] = isolate / floor;
    state.counters["restore/floor"] = restore / floor;
    state.counters["pair/2floor"] = (isolate + restore) / (2.0 * floor);
    benchmark::DoNotOptimize(timings.seen);
}

// Benchmarks ------------------------------------------------------------------------------------

// The first isolation of a freshly built scene (every record is allocated now) and its restore.
void PressCold(benchmark::State& state, Shape shape, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    std::vector<vhost::Object*> parents;
    Timings timings;
    std::size_t objects = 0;
    std::string error;
    for (auto _ : state) {
        vhost::Document& doc = session->NewScene(shape, count);
        objects = doc.ObjectCount();
        const double before = timings.isolate + timings.restore;
        const bool ok = TimePair(*session, doc, parents, timings, error);
        state.SetIterationTime(timings.isolate + timings.restore - before);
        session->Close(doc);
        if (!ok) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    ReportPair(state, timings, objects);
}

// Repeated isolate and restore on one scene, after a first pair has settled what the isolation
// selects (descendants of generators, referenced hierarchies).
void PressWarm(benchmark::State& state, Shape shape, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    vhost::Document& doc = session->NewScene(shape, count);
    std::vector<vhost::Object*> parents;
    Timings settle;
    std::string error;
    if (!TimePair(*session, doc, parents, settle, error)) {
        session->Close(doc);
        state.SkipWithError(error.c_str());
        return;
    }
    Timings timings;
    for (auto _ : state) {
        const double before = timings.isolate + timings.restore;
        if (!TimePair(*session, doc, parents, timings, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        state.SetIterationTime(timings.isolate + timings.restore - before);
    }
    const std::size_t objects = doc.ObjectCount();
    session->Close(doc);
    if (error.empty()) ReportPair(state, timings, objects);
}

// Presses with Shift held in a running isolation, after another 1% of the objects was selected.
void PressAdd(benchmark::State& state, Shape shape, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    vhost::Document& doc = session->NewScene(shape, count);
    if (session->Press(0) != kIsolated) {
        session->Close(doc);
        state.SkipWithError("the press did not isolate");
        return;
    }
    std::size_t index = 0;
    doc.ForEach([&index](vhost::Object& object) {
        if (index++ % kSelectEvery == kSelectEvery / 2) object.SetBit(vhost::kBitActive);
        return true;
    });
    std::vector<vhost::Object*> parents;
    double add = 0.0;
    double floor = 0.0;
    std::uint64_t seen = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        const std::int32_t afterAdd = session->Press(HOST_QUALIFIER_SHIFT);
        const Clock::time_point added = Clock::now();
        seen += FloorWalk(doc, parents);
        const Clock::time_point walked = Clock::now();
        if (afterAdd != kIsolated) {
            state.SkipWithError("the press with Shift ended the isolation");
            break;
        }
        add += Seconds(start, added);
        floor += Seconds(added, walked);
        state.SetIterationTime(Seconds(start, added));
        session->Host().ClearConsole();
    }
    const std::size_t objects = doc.ObjectCount();
    session->Close(doc);
    benchmark::DoNotOptimize(seen);
    const auto iterations = static_cast<double>(state.iterations());
    const double addNs = NsPerObject(add, iterations, objects);
    const double floorNs = NsPerObject(floor, iterations, objects);
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["add_ns/obj"] = addNs;
    state.counters["floor_ns/obj"] = floorNs;
    state.counters["add/floor"] = addNs / floorNs;
}

// What the host holds for the records: live heap bytes and blocks after the first isolation of a
// fresh scene minus before, per object; and what is left after the restore. Records are blocks of
// the host's container pool, whose chunks the counting allocator sees when they are taken (a
// chunk kept from earlier scenes is not counted again); `pooled_B/obj` is the pool's own count of
// the blocks in use.
void RecordMemory(benchmark::State& state, Shape shape, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    double bytes = 0.0;
    double blocks = 0.0;
    double heap = 0.0;
    double left = 0.0;
    double pooled = 0.0;
    std::size_t objects = 0;
    for (auto _ : state) {
        vhost::Document& doc = session->NewScene(shape, count);
        objects = doc.ObjectCount();
        session->Host().ClearConsole();
        g_counting = true;
        const std::int64_t bytesBefore = g_liveBytes.load();
        const std::int64_t blocksBefore = g_allocations.load();
        const std::size_t heapBefore = mallinfo2().uordblks;
        const std::size_t pooledBefore = vhost::Container::PooledBytes();
        const Clock::time_point start = Clock::now();
        const std::int32_t afterIsolate = session->Press(0);
        const Clock::time_point isolated = Clock::now();
        const std::int64_t bytesAfter = g_liveBytes.load();
        const std::int64_t blocksAfter = g_allocations.load();
        const std::size_t heapAfter = mallinfo2().uordblks;
        const std::size_t pooledAfter = vhost::Container::PooledBytes();
        const std::int32_t afterRestore = session->Press(0);
        const std::int64_t bytesRestored = g_liveBytes.load();
        g_counting = false;
        state.SetIterationTime(Seconds(start, isolated));
        session->Close(doc);
        if (afterIsolate != kIsolated || afterRestore != kNotIsolated) {
            state.SkipWithError("the press did not isolate and restore");
            return;
        }
        bytes += static_cast<double>(bytesAfter - bytesBefore);
        blocks += static_cast<double>(blocksAfter - blocksBefore);
        heap += static_cast<double>(heapAfter) - static_cast<double>(heapBefore);
        left += static_cast<double>(bytesRestored - bytesBefore);
        pooled += static_cast<double>(pooledAfter) - static_cast<double>(pooledBefore);
    }
    const double perObject = static_cast<double>(state.iterations()) * static_cast<double>(objects);
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["record_B/obj"] = bytes / perObject;
    state.counters["blocks/obj"] = blocks / perObject;
    state.counters["heap_B/obj"] = heap / perObject;
    state.counters["left_B/obj"] = left / perObject;
    state.counters["pooled_B/obj"] = pooled / perObject;
}

// Loading the module file and starting it (initialise, resource, start), then settling the host
// (the preferences page is created): what the person waits for at start-up. Each iteration uses
// a new host, which unloads the module again when it goes.
void LoadAndStart(benchmark::State& state) {
    double first = -1.0;
    double stillLoaded = 0.0;
    for (auto _ : state) {
        auto host = std::make_unique<vhost::Host>();
        const Clock::time_point start = Clock::now();
        const vhost::ModuleLoadReport report = host->LoadModule(VELA_MODULE_FILE);
        host->FinishStartup();
        const Clock::time_point started = Clock::now();
        state.SetIterationTime(Seconds(start, started));
        if (first < 0.0) first = Seconds(start, started) * 1e3;
        host.reset();
        if (!report.started) {
            state.SkipWithError("the module did not start");
            return;
        }
        // Whether the system really let go of the file: the next load maps it again if so.
        if (void* handle = dlopen(VELA_MODULE_FILE, RTLD_NOW | RTLD_NOLOAD)) {
            stillLoaded += 1.0;
            dlclose(handle);
        }
    }
    state.counters["first_ms"] = first;
    state.counters["still_loaded"] = stillLoaded;
}

// Corners where a press could cost more than the scene's size -----------------------------------

// A cold isolate + restore of the active document `doc`, reported per object of the scene.
void TimeColdPair(benchmark::State& state, Session& session, vhost::Document& doc,
                  Timings& timings) {
    std::vector<vhost::Object*> parents;
    std::string error;
    const double before = timings.isolate + timings.restore;
    if (!TimePair(session, doc, parents, timings, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.SetIterationTime(timings.isolate + timings.restore - before);
}

// A chain of input generators, the top one selected: every level brings all levels below it into
// the selection.
void GeneratorChain(benchmark::State& state, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    Timings timings;
    for (auto _ : state) {
        vhost::Document& doc = session->Host().NewDocument("bench");
        vhost::Object* parent = nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            parent = doc.CreateObject(kSubdivision, "Level", {parent, nullptr});
        }
        doc.FirstObject()->SetBit(vhost::kBitActive);
        TimeColdPair(state, *session, doc, timings);
        session->Close(doc);
    }
    ReportPair(state, timings, count);
}

// One hierarchy of `hierarchy` objects first, then `instances` selected instances of it side by
// side at the top. The walk reaches the hierarchy first, so every instance reveals all of it
// again: instances x hierarchy steps, as the isolation requires.
void InstancesOfOneHierarchy(benchmark::State& state, std::size_t hierarchy,
                             std::size_t instances) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    Timings timings;
    std::size_t objects = 0;
    for (auto _ : state) {
        vhost::Document& doc = session->Host().NewDocument("bench");
        vhost::Object* root = doc.CreateObject(kNull, "Asset", {});
        for (std::size_t i = 1; i < hierarchy; ++i) doc.CreateObject(kPolygon, "Part", {root});
        for (std::size_t i = 0; i < instances; ++i) {
            vhost::Object* instance = doc.CreateObject(kInstance, "Instance", {});
            instance->Data().SetLink(kInstanceLink, root->Id());
            instance->SetBit(vhost::kBitActive);
        }
        objects = doc.ObjectCount();
        TimeColdPair(state, *session, doc, timings);
        session->Close(doc);
    }
    ReportPair(state, timings, objects);
    const double revealed = static_cast<double>(hierarchy) * static_cast<double>(instances);
    state.counters["revealed"] = revealed;
    state.counters["isolate_ns/revealed"] =
        timings.isolate * 1e9 / static_cast<double>(state.iterations()) / revealed;
}

// Every object selected (a wide scene): the selection query answers all of them.
void AllSelected(benchmark::State& state, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    Timings timings;
    for (auto _ : state) {
        vhost::Document& doc = session->Host().NewDocument("bench");
        for (std::size_t i = 0; i < count; ++i) {
            doc.CreateObject(kCube, "Object", {})->SetBit(vhost::kBitActive);
        }
        TimeColdPair(state, *session, doc, timings);
        session->Close(doc);
    }
    ReportPair(state, timings, count);
}

// Saving an isolated production scene (every object with its record) to text and reading it back,
// in memory: the scene file's own cost, without the disk.
struct LoadMemory {
    std::int64_t held = 0;  // what the loaded scene holds
    std::int64_t peak = 0;  // the most that was held while it was read, the text not included
};

// One untimed load of `doc`'s text with the counting allocator on.
LoadMemory MeasureLoadMemory(const vhost::Document& doc) {
    const vhost::SceneTextResult text = vhost::SerializeScene(doc);
    g_counting = true;
    const std::int64_t before = g_liveBytes.load();
    g_peakBytes = before;
    vhost::SceneLoadResult loaded = vhost::ParseScene(text.text, "bench");
    LoadMemory memory{g_liveBytes.load() - before, g_peakBytes.load() - before};
    g_counting = false;
    loaded.document.reset();
    return memory;
}

// Seconds of one SaveScene of `doc` into the system's temporary folder (the atomic write with its
// flush to disk included), or a negative number when it failed.
double TimeSaveToFile(const vhost::Document& doc) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "press_benchmark_scene.json";
    const Clock::time_point start = Clock::now();
    const vhost::SceneSaveResult saved = vhost::SaveScene(doc, file);
    const double seconds = Seconds(start, Clock::now());
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return saved.Ok() ? seconds : -1.0;
}

void SceneFileRoundTrip(benchmark::State& state, std::size_t count) {
    Session* session = StartSession(state);
    if (session == nullptr) return;
    vhost::Document& doc = session->NewScene(Shape::Production, count);
    if (session->Press(0) != kIsolated) {
        session->Close(doc);
        state.SkipWithError("the press did not isolate");
        return;
    }
    const std::size_t objects = doc.ObjectCount();
    double save = 0.0;
    double load = 0.0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        vhost::SceneTextResult text = vhost::SerializeScene(doc);
        const Clock::time_point saved = Clock::now();
        vhost::SceneLoadResult loaded = vhost::ParseScene(text.text, "bench");
        const Clock::time_point read = Clock::now();
        if (!text.Ok() || !loaded.Ok() || loaded.document->ObjectCount() != objects) {
            state.SkipWithError("the scene did not save and load");
            break;
        }
        bytes = text.text.size();
        save += Seconds(start, saved);
        load += Seconds(saved, read);
        state.SetIterationTime(Seconds(start, read));
        loaded.document.reset();  // freed outside the timing
    }
    const LoadMemory memory = MeasureLoadMemory(doc);
    const double saveToFile = TimeSaveToFile(doc);
    session->Close(doc);
    const auto iterations = static_cast<double>(state.iterations());
    const auto perObject = [objects](std::int64_t amount) {
        return static_cast<double>(amount) / static_cast<double>(objects);
    };
    state.counters["scene_B/obj"] = perObject(memory.held);
    state.counters["load_peak_B/obj"] = perObject(memory.peak);
    state.counters["peak/scene"] =
        static_cast<double>(memory.peak) / static_cast<double>(memory.held);
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["save_ns/obj"] = NsPerObject(save, iterations, objects);
    state.counters["save_file_ns/obj"] = NsPerObject(saveToFile, 1.0, objects);
    state.counters["load_ns/obj"] = NsPerObject(load, iterations, objects);
    state.counters["file_B/obj"] = static_cast<double>(bytes) / static_cast<double>(objects);
}

struct Size {
    std::size_t count;
    const char* name;
    int coldIterations;
    int warmIterations;
};

constexpr Size kSizes[] = {
    {1000, "1e3", 200, 2000},
    {10000, "1e4", 40, 200},
    {100000, "1e5", 6, 20},
    {1000000, "1e6", 2, 4},
};

constexpr Shape kShapes[] = {Shape::Wide, Shape::Balanced, Shape::Deep, Shape::Production};

void RegisterAll() {
    // Registered first, so that it runs before the session of the other benchmarks has the module
    // loaded (a second load of a loaded file would only count a reference).
    benchmark::RegisterBenchmark("load_and_start", LoadAndStart)
        ->UseManualTime()
        ->Iterations(50)
        ->Unit(benchmark::kMillisecond);
    for (const Shape shape : kShapes) {
        for (const Size& size : kSizes) {
            const std::string suffix = std::string(ShapeName(shape)) + "/" + size.name;
            benchmark::RegisterBenchmark(("cold/" + suffix).c_str(), PressCold, shape, size.count)
                ->UseManualTime()
                ->Iterations(size.coldIterations)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("warm/" + suffix).c_str(), PressWarm, shape, size.count)
                ->UseManualTime()
                ->Iterations(size.warmIterations)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("add/" + suffix).c_str(), PressAdd, shape, size.count)
                ->UseManualTime()
                ->Iterations(size.warmIterations)
                ->Unit(benchmark::kMillisecond);
            benchmark::RegisterBenchmark(("memory/" + suffix).c_str(), RecordMemory, shape,
                                         size.count)
                ->UseManualTime()
                ->Iterations(size.count >= 1000000 ? 1 : 3)
                ->Unit(benchmark::kMillisecond);
        }
    }
    for (const auto& [count, name, iterations] :
         {std::tuple{10000, "1e4", 10}, std::tuple{100000, "1e5", 3}}) {
        benchmark::RegisterBenchmark((std::string("corner/generator_chain/") + name).c_str(),
                                     GeneratorChain, static_cast<std::size_t>(count))
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto& [hierarchy, instances, name] :
         {std::tuple{1000, 100, "1e3x100"}, std::tuple{10000, 100, "1e4x100"},
          std::tuple{10000, 1000, "1e4x1000"}, std::tuple{100000, 100, "1e5x100"}}) {
        benchmark::RegisterBenchmark((std::string("corner/instances_reveal/") + name).c_str(),
                                     InstancesOfOneHierarchy, static_cast<std::size_t>(hierarchy),
                                     static_cast<std::size_t>(instances))
            ->UseManualTime()
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond);
    }
    for (const auto& [count, name, iterations] :
         {std::tuple{10000, "1e4", 20}, std::tuple{1000000, "1e6", 2}}) {
        benchmark::RegisterBenchmark((std::string("corner/all_selected/") + name).c_str(),
                                     AllSelected, static_cast<std::size_t>(count))
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("scene_file/production/") + name).c_str(),
                                     SceneFileRoundTrip, static_cast<std::size_t>(count))
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    }
}

}  // namespace

int main(int argc, char** argv) {
    RegisterAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
