// The importer on files of growing size: generated glTF towns of 10^3 to 10^5 nodes (mostly
// instances of eight meshes) and the largest files of Debian's assimp-testmodels. Reported per
// node of the file, so the cost stays flat when the import is linear.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <benchmark/benchmark.h>

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

void Import(benchmark::State& state, const fs::path& file) {
    std::size_t objects = 0;
    for (auto _ : state) {
        vhost::SceneLoadResult imported = vhost::ImportScene(file);
        if (!imported.Ok()) {
            state.SkipWithError(imported.error.c_str());
            return;
        }
        objects = imported.document->ObjectCount();
        benchmark::DoNotOptimize(imported.document);
    }
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["per_object"] = benchmark::Counter(
        static_cast<double>(objects),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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

void BM_ImportTestModel(benchmark::State& state, const char* file) {
    Import(state, fs::path("/usr/share/assimp/models") / file);
}
BENCHMARK_CAPTURE(BM_ImportTestModel, engine_glb,
                  "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb")
    ->Name("import/2CylinderEngine.glb")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportTestModel, haus_ifc, "IFC/AC14-FZK-Haus.ifc")
    ->Name("import/AC14-FZK-Haus.ifc")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportTestModel, collada, "Collada/COLLADA.dae")
    ->Name("import/COLLADA.dae")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_ImportTestModel, wuson_x, "X/Testwuson.X")
    ->Name("import/Testwuson.X")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
