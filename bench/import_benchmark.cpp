// The importer on files of growing size: generated glTF towns of 10^3 to 10^5 nodes (mostly
// instances of eight meshes) and the largest files of Debian's assimp-testmodels. Reported per
// node of the file, so the cost stays flat when the import is linear.
//
// Every file is imported both ways in every iteration: `read_twice` (the child only says whether
// the file imports and the host reads it again, as imports worked before) and `read_once` (the
// child hands the converted scene back).
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

#include "import/handed_scene.h"
#include "import/scene_import.h"
#include "node_gltf.h"

namespace {

namespace fs = std::filesystem;

fs::path TownFile(std::size_t nodes) {
    const fs::path file = fs::temp_directory_path() / ("vela-bench-town-" + std::to_string(nodes) +
                                                       "-" + std::to_string(::getpid()) + ".gltf");
    std::ofstream out(file, std::ios::binary);
    vtools::WriteNodeGltf(out, nodes);
    return file;
}

double SecondsToImport(const fs::path& file, vhost::ImportRoute route, std::size_t& objects,
                       benchmark::State& state) {
    const auto start = std::chrono::steady_clock::now();
    vhost::ImportedScene imported = vhost::ImportScene(file, route);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!imported.Ok()) state.SkipWithError(imported.error.c_str());
    objects = imported.Ok() ? imported.document->ObjectCount() : 0;
    benchmark::DoNotOptimize(imported.document);
    return took.count();
}

// Every iteration imports the file both ways, one right after the other, so that both see the
// same machine; the time of an iteration is the sum, the counters give each way and the ratio.
void Import(benchmark::State& state, const fs::path& file) {
    std::size_t objects = 0;
    double twice = 0.0;
    double once = 0.0;
    for (auto _ : state) {
        twice += SecondsToImport(file, vhost::ImportRoute::ReadAgain, objects, state);
        once += SecondsToImport(file, vhost::ImportRoute::HandBack, objects, state);
        if (objects == 0) return;
    }
    const auto perIteration = [&state](double seconds) {
        return 1e3 * seconds / static_cast<double>(state.iterations());
    };
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["read_twice_ms"] = perIteration(twice);
    state.counters["read_once_ms"] = perIteration(once);
    state.counters["once_us_per_object"] = 1e3 * perIteration(once) / static_cast<double>(objects);
    state.counters["speedup"] = twice / once;
}

void BM_ImportTown(benchmark::State& state) {
    const fs::path file = TownFile(static_cast<std::size_t>(state.range(0)));
    Import(state, file);
    fs::remove(file);
}
BENCHMARK(BM_ImportTown)
    ->Name("import/town")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The hand-back alone, in one process: the child's encoding of the converted town and the host's
// taking it into a document of its own.
void BM_HandBackTown(benchmark::State& state) {
    const fs::path file = TownFile(static_cast<std::size_t>(state.range(0)));
    const vhost::ImportedScene imported = vhost::ImportScene(file);
    fs::remove(file);
    if (!imported.Ok()) {
        state.SkipWithError(imported.error.c_str());
        return;
    }
    double encoding = 0.0;
    double taking = 0.0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::string handed;
        vhost::AppendHandedDocument(*imported.document, handed);
        const auto encoded = std::chrono::steady_clock::now();
        auto taken = vhost::TakeHandedDocument(handed);
        const auto end = std::chrono::steady_clock::now();
        if (taken == nullptr) state.SkipWithError("the handed town was not taken back");
        encoding += std::chrono::duration<double>(encoded - start).count();
        taking += std::chrono::duration<double>(end - encoded).count();
        bytes = handed.size();
        benchmark::DoNotOptimize(taken);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["encode_ms"] = 1e3 * encoding / iterations;
    state.counters["take_ms"] = 1e3 * taking / iterations;
}
BENCHMARK(BM_HandBackTown)->Name("handback/town")->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ImportTestModel(benchmark::State& state, const char* file) {
    Import(state, fs::path("/usr/share/assimp/models") / file);
}

void TestModel(const char* name, const char* file) {
    benchmark::RegisterBenchmark(name, BM_ImportTestModel, file)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

}  // namespace

int main(int argc, char** argv) {
    TestModel("import/2CylinderEngine.glb",
              "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb");
    TestModel("import/AC14-FZK-Haus.ifc", "IFC/AC14-FZK-Haus.ifc");
    TestModel("import/COLLADA.dae", "Collada/COLLADA.dae");
    TestModel("import/Testwuson.X", "X/Testwuson.X");
    TestModel("import/BoxTextured.gltf", "glTF2/BoxTextured-glTF/BoxTextured.gltf");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
