// What an import says it left out, over real files of Debian's assimp-testmodels, and the file read
// once: the scene the child hands back is the scene the host would have read itself.
#include "import/import_report.h"

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "actions/perform.h"
#include "host.h"
#include "import/scene_import.h"
#include "node_gltf.h"
#include "scene_file/scene_file.h"
#include "support/temp_folder.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::TempFolder;

const fs::path kModels = "/usr/share/assimp/models";

struct ReportCase {
    const char* file;
    std::vector<LeftOut> expected;
};

TEST(ImportReport, EachFileReportsWhatItLeftOutOncePerKindWithCountsAndPlaces) {
    const ReportCase cases[] = {
        // The library drops the one triangle whose indices run past the vertices, and says so.
        {"glTF2/IndexOutOfRange/IndexOutOfRange.gltf",
         {{LeftOutKind::TrianglesDroppedByLibrary, 1, 0, {}}}},
        {"glTF2/BoxWithInfinites-glTF-Binary/BoxWithInfinites.glb",
         {{LeftOutKind::TrianglesNotFinite, 12, 1, {"Mesh"}}}},
        {"glTF2/IncorrectVertexArrays/Cube.gltf",
         {{LeftOutKind::PointsAndLines, 70, 4, {"Lines", "TruncatedLines", "IndexedLines"}}}},
        {"glTF2/simple_skin/simple_skin.gltf",
         {{LeftOutKind::Animations, 1, 1, {""}}, {LeftOutKind::Skins, 2, 1, {"meshes[0]"}}}},
        // Its camera, light and texture points are kept; its texture is a TGA image.
        {"Collada/duck.dae", {{LeftOutKind::TexturesNotPngOrJpeg, 1, 1, {"blinn3"}}}},
        // Textures of other purposes than the base colour: a normal map and others.
        // Normal, clear-coat, roughness and emissive maps: one in each of 11 materials (one
        // image serves two purposes in "SharedNorm_Coated"); the base colour of
        // "Partial_Coating" is kept.
        {"glTF2/ClearCoat-glTF/ClearCoatTest.gltf",
         {{LeftOutKind::Textures,
           11,
           11,
           {"Partial_Coated", "RoughVariations_Coated", "RoughVariations_Coating"}}}},
        // Six materials move, turn or scale their texture; one camera is orthographic.
        {"glTF2/textureTransform/TextureTransformTest.gltf",
         {{LeftOutKind::TextureTransforms, 6, 6, {"Offset U", "Offset V", "Offset UV"}}}},
        {"glTF2/cameras/Cameras.gltf", {{LeftOutKind::OrthographicCameras, 1, 1, {"nodes[2]"}}}},
        // Nothing left out: nothing reported.
        {"PLY/cube.ply", {}},
        {"STL/Spider_ascii.stl", {}},
    };
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.file);
        const ImportedScene imported = ImportScene(kModels / c.file);
        ASSERT_TRUE(imported.Ok()) << imported.error;
        EXPECT_EQ(imported.leftOut.Entries(), c.expected);
        EXPECT_EQ(imported.leftOut.Lines(c.file).size(), c.expected.size());
    }
}

TEST(ImportReport, LinesNameTheFileTheCountAndTheFirstPlaces) {
    ImportReport report;
    for (const char* mesh : {"Roof", "Wall", "Roof", "Door", "Gate"}) {
        report.Add(LeftOutKind::TexturePointSetsBeyondFirst, 1, mesh);
    }
    report.Add(LeftOutKind::TrianglesNotFinite, 12, "Mesh");
    report.AddUnplaced(LeftOutKind::TrianglesDroppedByLibrary, 2);
    EXPECT_EQ(report.Lines("town.gltf"),
              (std::vector<std::string>{
                  "town.gltf: left out triangles whose indices ran past the vertices (dropped by "
                  "the library, which does not say how many or where): 2 mesh parts",
                  "town.gltf: left out triangles with a vertex that is not finite: 12 triangles "
                  "in 1 mesh: \"Mesh\"",
                  "town.gltf: left out texture coordinates beyond the first set: 5 meshes: "
                  "\"Roof\", \"Wall\", "
                  "\"Door\" and 2 more"}));
    EXPECT_TRUE(ImportReport().Lines("clean.gltf").empty());

    // The report crosses from the child as bytes; anything cut short is refused, not guessed.
    const std::string bytes = report.Encode();
    EXPECT_EQ(ImportReport::Decode(bytes), report);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        EXPECT_FALSE(ImportReport::Decode(bytes.substr(0, cut)).has_value()) << cut;
    }
}

// Every open through the host's open action writes the report to its console, where the studio
// shows it, and hands it to the caller.
TEST(ImportReport, OpeningThroughTheHostWritesTheReportToItsConsole) {
    Host host;
    const fs::path partly = kModels / "glTF2/IndexOutOfRange/IndexOutOfRange.gltf";
    const actions::Outcome opened =
        actions::Perform(host, actions::OpenDocument{.path = partly.string()});
    ASSERT_TRUE(opened.Done()) << opened.message;
    ASSERT_EQ(opened.leftOut.size(), 1U);
    ASSERT_EQ(host.Console().size(), 1U);
    EXPECT_EQ(host.Console().front().text, opened.leftOut.at(0));
    EXPECT_NE(host.Console().front().text.find(partly.string() + ": left out triangles"),
              std::string::npos);

    const actions::Outcome clean =
        actions::Perform(host, actions::OpenDocument{.path = (kModels / "PLY/cube.ply").string()});
    ASSERT_TRUE(clean.Done()) << clean.message;
    EXPECT_TRUE(clean.leftOut.empty());
    EXPECT_EQ(host.Console().size(), 1U);
}

// The scene as saved (text and mesh file), with object ids counted from 1: the two routes make
// their objects at different moments of the process, so their ids differ by a constant.
SceneTextResult SavedWithIdsFromOne(const Document& document) {
    const SceneTextResult saved = SerializeScene(document);
    EXPECT_TRUE(saved.Ok()) << saved.error;
    const ObjectId first = document.FirstObject()->Id();
    std::string text = saved.text;
    for (const std::string key : {"\"id\": ", "\"parent\": ", "\"link\": "}) {
        for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at)) {
            at += key.size();
            const std::size_t end = text.find_first_not_of("0123456789", at);
            const ObjectId id = std::stoull(text.substr(at, end - at).insert(0, "0"));
            if (id == 0) continue;  // a container's id, or no parent
            text.replace(at, end - at, std::to_string(id - first + 1));
        }
    }
    return {text, saved.meshFile, saved.error};
}

TEST(ImportReport, TheSceneHandedBackIsTheSceneReadAgain) {
    TempFolder folder("vela-import");
    {
        std::ofstream town(folder / "town.gltf", std::ios::binary);
        vtools::WriteNodeGltf(town, 1000);
    }
    const fs::path files[] = {
        kModels / "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb",
        kModels / "glTF2/IndexOutOfRange/IndexOutOfRange.gltf",
        kModels / "Collada/duck.dae",
        kModels / "OBJ/spider.obj",
        folder / "town.gltf",
    };
    for (const fs::path& file : files) {
        SCOPED_TRACE(file);
        const ImportedScene once = ImportScene(file, ImportRoute::HandBack);
        const ImportedScene twice = ImportScene(file, ImportRoute::ReadAgain);
        ASSERT_TRUE(once.Ok()) << once.error;
        ASSERT_TRUE(twice.Ok()) << twice.error;
        EXPECT_EQ(once.document->Name(), file.filename().string());
        const SceneTextResult savedOnce = SavedWithIdsFromOne(*once.document);
        const SceneTextResult savedTwice = SavedWithIdsFromOne(*twice.document);
        EXPECT_EQ(savedOnce.text, savedTwice.text);
        EXPECT_TRUE(savedOnce.meshFile == savedTwice.meshFile) << "the mesh files differ";
        EXPECT_EQ(once.leftOut, twice.leftOut);
    }
    // A refusal reads the same either way.
    const fs::path missing = kModels / "glTF2/MissingBin/BoxTextured.gltf";
    EXPECT_EQ(ImportScene(missing, ImportRoute::HandBack).error,
              ImportScene(missing, ImportRoute::ReadAgain).error);
}

}  // namespace
}  // namespace vhost
