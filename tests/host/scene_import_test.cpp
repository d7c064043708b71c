// Importing other applications' 3D files, over the real files of Debian's assimp-testmodels: the
// node tree becomes the object tree (reused meshes as instances), every format gives geometry,
// damaged files are refused with the file and the reason, and no tree is too deep.
#include "import/scene_import.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <assimp/scene.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "import/scene_conversion.h"
#include "import/scene_opening.h"
#include "model/scene.h"
#include "support/temp_folder.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

constexpr std::int32_t kNull = HOST_OBJECT_NULL;
constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;
constexpr std::int32_t kCamera = HOST_OBJECT_CAMERA;
constexpr std::int32_t kLight = HOST_OBJECT_LIGHT;

const fs::path kModels = "/usr/share/assimp/models";
const fs::path kEngine = kModels / "glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";

std::vector<Object*> InTreeOrder(const Document& document) {
    std::vector<Object*> objects;
    document.ForEach([&objects](Object& object) {
        objects.push_back(&object);
        return true;
    });
    return objects;
}

// The JSON chunk of a binary glTF: what the file itself says, read apart from the importer.
nlohmann::json GlbJson(const fs::path& file) {
    const std::string bytes = ReadFile(file);
    std::uint32_t length = 0;
    std::memcpy(&length, bytes.data() + 12, sizeof length);
    return nlohmann::json::parse(bytes.substr(20, length));
}

// Every triangle names a position of its part, and normals come one per position.
void ExpectDrawable(const Object& polygon) {
    ASSERT_NE(polygon.GetMesh(), nullptr) << polygon.Name();
    ASSERT_FALSE(polygon.GetMesh()->parts.empty()) << polygon.Name();
    for (const auto& part : polygon.GetMesh()->parts) {
        EXPECT_FALSE(part->triangles.empty()) << polygon.Name();
        EXPECT_TRUE(part->normals.empty() || part->normals.size() == part->positions.size());
        for (const Triangle& t : part->triangles) {
            ASSERT_LT(std::max({t.a, t.b, t.c}), part->positions.size()) << polygon.Name();
        }
    }
}

// 2CylinderEngine: 82 nodes under two roots, 67 with a mesh, 38 of them reusing one. The importer
// names unnamed glTF nodes "nodes[INDEX]", which ties each object to its node in the file.
TEST(SceneImport, TheEngineKeepsItsNodeTreeAndItsReusedMeshesBecomeInstances) {
    const nlohmann::json gltf = GlbJson(kEngine);
    const nlohmann::json& nodes = gltf["nodes"];
    const ImportedScene imported = ImportScene(kEngine);
    ASSERT_TRUE(imported.Ok()) << imported.error;
    const Document& document = *imported.document;
    EXPECT_EQ(document.Name(), "2CylinderEngine.glb");

    // The file's pre-order, and which node first uses each mesh.
    std::vector<std::size_t> order;
    std::map<std::size_t, std::size_t> parentOf;
    std::vector<std::size_t> stack;
    const nlohmann::json& roots = gltf["scenes"][0]["nodes"];
    for (auto root = roots.rbegin(); root != roots.rend(); ++root) stack.push_back(*root);
    while (!stack.empty()) {
        const std::size_t node = stack.back();
        stack.pop_back();
        order.push_back(node);
        const nlohmann::json& children = nodes[node].value("children", nlohmann::json::array());
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            parentOf[*child] = node;
            stack.push_back(*child);
        }
    }
    ASSERT_EQ(order.size(), 82U);
    const std::vector<Object*> objects = InTreeOrder(document);
    ASSERT_EQ(objects.size(), order.size());

    std::map<int, std::size_t> firstUser;  // glTF mesh -> node
    std::map<std::int32_t, int> counts;
    std::set<const Mesh*> meshes;
    std::map<ObjectId, std::size_t> position;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const Object& object = *objects[i];
        const std::size_t node = order[i];
        const nlohmann::json& source = nodes[node];
        ++counts[object.Type()];
        position[object.Id()] = i;
        ASSERT_EQ(object.Name(), "nodes[" + std::to_string(node) + "]");
        if (parentOf.contains(node)) {
            ASSERT_NE(object.Up(), nullptr);
            EXPECT_EQ(object.Up()->Name(), "nodes[" + std::to_string(parentOf[node]) + "]");
        } else {
            EXPECT_EQ(object.Up(), nullptr);
        }
        if (!source.contains("mesh")) {
            EXPECT_EQ(object.Type(), source.contains("camera") ? kCamera : kNull) << object.Name();
            continue;
        }
        const int mesh = source["mesh"];
        const auto earlier = firstUser.find(mesh);
        if (earlier == firstUser.end()) {
            firstUser[mesh] = node;
            EXPECT_EQ(object.Type(), kPolygon) << object.Name();
            ExpectDrawable(object);
            EXPECT_TRUE(meshes.insert(object.GetMesh().get()).second);
            continue;
        }
        EXPECT_EQ(object.Type(), HOST_OBJECT_INSTANCE) << object.Name();
        EXPECT_EQ(object.GetMesh(), nullptr);  // drawn through its link, never copied
        const Object* target = document.FindById(object.Data().GetLink(HOST_INSTANCE_LINK));
        ASSERT_NE(target, nullptr) << object.Name();
        EXPECT_EQ(target->Name(), "nodes[" + std::to_string(earlier->second) + "]");
        EXPECT_LT(position[target->Id()], i);
    }
    EXPECT_EQ(counts[kPolygon], 29);
    EXPECT_EQ(counts[HOST_OBJECT_INSTANCE], 38);
    EXPECT_EQ(counts[kCamera], 1);
    EXPECT_EQ(counts[kNull], 14);

    // glTF matrices are column-major: the axes, then the offset.
    const Object& piston = *document.FindByPath("nodes[0]/nodes[80]").at(0);
    const nlohmann::json& m = nodes[80]["matrix"];
    const Matrix& transform = piston.LocalTransform();
    const double tolerance = 1e-6;
    EXPECT_NEAR(transform.v1.y, m[1].get<double>(), tolerance);
    EXPECT_NEAR(transform.v2.x, m[4].get<double>(), tolerance);
    EXPECT_NEAR(transform.v3.x, m[8].get<double>(), tolerance);
    EXPECT_NEAR(transform.off.x, m[12].get<double>(), tolerance);
    EXPECT_NEAR(transform.off.y, m[13].get<double>(), 1e-4);
    EXPECT_NEAR(transform.off.z, m[14].get<double>(), tolerance);
}

struct FormatCase {
    const char* file;
    std::size_t objects;
    std::size_t polygons;
    std::size_t camerasAndLights;
};

TEST(SceneImport, EachFormatGivesItsObjectsWithDrawableGeometry) {
    const FormatCase cases[] = {
        {"OBJ/spider.obj", 19, 19, 0}, {"FBX/box.fbx", 2, 1, 0},
        {"Collada/duck.dae", 4, 1, 2}, {"3DS/fels.3ds", 2, 1, 0},
        {"PLY/cube.ply", 1, 1, 0},     {"STL/Spider_ascii.stl", 2, 1, 0},
        {"X/test.x", 1, 1, 0},         {"BLEND/BlenderDefault_250.blend", 3, 1, 2},
    };
    for (const FormatCase& format : cases) {
        SCOPED_TRACE(format.file);
        const SceneLoadResult imported = OpenScene(kModels / format.file);
        ASSERT_TRUE(imported.Ok()) << imported.error;
        std::size_t polygons = 0;
        std::size_t camerasAndLights = 0;
        const std::vector<Object*> objects = InTreeOrder(*imported.document);
        for (const Object* object : objects) {
            EXPECT_TRUE(object->LocalTransform().IsFinite());
            if (object->Type() == kPolygon) {
                ++polygons;
                ExpectDrawable(*object);
            }
            camerasAndLights += object->Type() == kCamera || object->Type() == kLight ? 1U : 0U;
        }
        EXPECT_EQ(objects.size(), format.objects);
        EXPECT_EQ(polygons, format.polygons);
        EXPECT_EQ(camerasAndLights, format.camerasAndLights);
    }
}

TEST(SceneImport, DamagedMissingAndUnknownFilesAreRefusedWithTheFileAndTheReason) {
    TempFolder folder("vela-import");
    const std::string engine = ReadFile(kEngine);
    WriteFile(folder / "cut.glb", engine.substr(0, engine.size() / 2));
    WriteFile(folder / "notes.txt", "not a 3D file\n");
    // A damaged Collada file on which the library's reader dereferences a null pointer (found by
    // fuzzing; the corpus keeps it behind its format byte).
    WriteFile(
        folder / "segv.dae",
        ReadFile(fs::path(VELA_FUZZ_CORPUS_DIR) / "import" / "collada-reader-segv").substr(1));
    const std::pair<fs::path, std::string> cases[] = {
        {kModels / "glTF2/MissingBin/BoxTextured.gltf", "could not open referenced file"},
        {kModels / "glTF2/RecursiveNodes/RecursiveNodes.gltf", "recursive reference"},
        {kModels / "glTF2/SchemaFailures/sceneWrongType.gltf", "\"scene\" was not of type"},
        {kModels / "glTF2/wrongTypes/badArray.gltf", "\"primitives\" was not of type \"array\""},
        {kModels / "glTF2/IndexOutOfRange/AllIndicesOutOfRange.gltf", "has no faces"},
        {folder / "cut.glb", "cannot import: "},
        {folder / "notes.txt", "cannot import: "},
        {folder / "segv.dae", "cannot import: the importer crashed (signal 11) reading it"},
        {folder / "absent.obj", "cannot open the file: No such file or directory"},
    };
    for (const auto& [file, reason] : cases) {
        const SceneLoadResult imported = OpenScene(file);
        EXPECT_FALSE(imported.Ok()) << file;
        EXPECT_EQ(imported.error.rfind(file.string() + ": ", 0), 0U) << imported.error;
        EXPECT_NE(imported.error.find(reason), std::string::npos) << imported.error;
    }
    // Indices past the end of the vertices are the library's to drop (and the report's to say,
    // import_report_test.cpp): the rest stays drawable.
    const SceneLoadResult partly =
        OpenScene(kModels / "glTF2/IndexOutOfRange/IndexOutOfRange.gltf");
    ASSERT_TRUE(partly.Ok()) << partly.error;
    const std::vector<Object*> objects = InTreeOrder(*partly.document);
    const auto polygon = std::find_if(objects.begin(), objects.end(),
                                      [](const Object* o) { return o->Type() == kPolygon; });
    ASSERT_NE(polygon, objects.end());
    ExpectDrawable(**polygon);
}

// The library reads and frees a glTF node tree recursively; the importer gives it the stack.
TEST(SceneImport, ANodeChainAHundredThousandDeepImports) {
    constexpr int kDepth = 100000;
    std::string nodes;
    for (int i = 0; i < kDepth; ++i) {
        nodes += (i > 0 ? ",{" : "{") + std::string("\"name\":\"n") + std::to_string(i) + "\"";
        nodes += i + 1 < kDepth ? ",\"children\":[" + std::to_string(i + 1) + "]}" : "}";
    }
    TempFolder folder("vela-import");
    WriteFile(folder / "deep.gltf", R"({"asset":{"version":"2.0"},"scene":0,)"
                                    R"("scenes":[{"nodes":[0]}],"nodes":[)" +
                                        nodes + "]}");
    const ImportedScene imported = ImportScene(folder / "deep.gltf");
    ASSERT_TRUE(imported.Ok()) << imported.error;
    ASSERT_EQ(imported.document->ObjectCount(), static_cast<std::size_t>(kDepth));
    const Object* object = imported.document->FirstObject();
    int depth = 1;
    while (object->Down() != nullptr) {
        object = object->Down();
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(object->Name(), "n" + std::to_string(kDepth - 1));
}

// What the library hands over unchecked by its own validation: non-finite numbers.
TEST(SceneImport, NonFiniteTransformsAreRefusedAndMeshesWithoutVerticesLeftOutAndReported) {
    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("file");
    scene->mNumMeshes = 2;
    scene->mMeshes = new aiMesh* [2] { new aiMesh, new aiMesh };  // the first has no vertices
    aiMesh& mesh = *scene->mMeshes[1];
    mesh.mNumVertices = 3;
    mesh.mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, std::nanf(""), 0}};
    mesh.mNumFaces = 1;
    mesh.mFaces = new aiFace[1];
    mesh.mFaces[0].mNumIndices = 3;
    mesh.mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
    auto* empty = new aiNode("empty");
    empty->mNumMeshes = 1;
    empty->mMeshes = new unsigned[1]{0};
    auto* holed = new aiNode("holed");
    holed->mNumMeshes = 1;
    holed->mMeshes = new unsigned[1]{1};
    aiNode* children[] = {empty, holed};
    scene->mRootNode->addChildren(2, children);

    const ImportedScene cleaned = ConvertImportedScene(*scene, "cleaned", "memory");
    ASSERT_TRUE(cleaned.Ok()) << cleaned.error;
    EXPECT_EQ(cleaned.document->FirstObject()->Type(), kNull);  // nothing left to draw
    const Object& polygon = *cleaned.document->FirstObject()->Next();
    ASSERT_NE(polygon.GetMesh(), nullptr);
    EXPECT_TRUE(polygon.GetMesh()->parts.at(0)->triangles.empty());  // it used a NaN point
    // Both are reported, by the names the library gives the meshes (none here).
    EXPECT_EQ(cleaned.leftOut.Entries(),
              (std::vector<LeftOut>{{LeftOutKind::TrianglesNotFinite, 1, 1, {""}},
                                    {LeftOutKind::EmptyMeshes, 1, 1, {""}}}));

    holed->mTransformation.b4 = std::numeric_limits<float>::infinity();
    const ImportedScene refused = ConvertImportedScene(*scene, "refused", "memory");
    EXPECT_EQ(refused.error, "memory: node \"holed\" has a transform that is not finite");
    EXPECT_TRUE(refused.leftOut.Empty());
}

}  // namespace
}  // namespace vhost
