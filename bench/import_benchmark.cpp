// The importer on files of growing size: generated glTF towns of 10^3 to 10^5 nodes (mostly
// instances of eight meshes) and the largest files of Debian's assimp-testmodels. Reported per
// node of the file, so the cost stays flat when the import is linear.
//
// Every file is imported by both routes, one right after the other: `read_twice` (the child only
// says whether the file imports and the host reads it again) and `read_once` (the child hands the
// converted scene back as a scene file with its mesh file).
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

void Import(benchmark::State& state, const fs::path& file, vhost::ImportRoute route) {
    std::size_t objects = 0;
    for (auto _ : state) {
        vhost::ImportedScene imported = vhost::ImportScene(file, route);
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

constexpr vhost::ImportRoute kRoutes[] = {vhost::ImportRoute::ReadAgain,
                                          vhost::ImportRoute::HandBack};

// state.range(1) picks the route: 0 reads twice, 1 reads once.
vhost::ImportRoute RouteOf(const benchmark::State& state) {
    return kRoutes[static_cast<std::size_t>(state.range(1))];
}

void BM_ImportTown(benchmark::State& state) {
    const fs::path file = TownFile(static_cast<std::size_t>(state.range(0)));
    Import(state, file, RouteOf(state));
    fs::remove(file);
}
BENCHMARK(BM_ImportTown)
    ->Name("import/town")
    ->ArgNames({"nodes", "read_once"})
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ImportTestModel(benchmark::State& state, const char* file) {
    Import(state, fs::path("/usr/share/assimp/models") / file, RouteOf(state));
}

void TestModel(const char* name, const char* file) {
    benchmark::RegisterBenchmark(name, BM_ImportTestModel, file)
        ->ArgNames({"", "read_once"})
        ->Args({0, 0})
        ->Args({0, 1})
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
