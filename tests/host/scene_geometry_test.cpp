// Saving and reopening imported geometry: a real file imported, saved as a scene and its mesh
// file, and opened again with the same objects, transforms and shared meshes; and the mesh files
// that cannot be used, each refused with the file and what is wrong.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "import/scene_import.h"
#include "model/geometry.h"
#include "model/scene.h"
#include "scene_file/scene_file.h"
#include "support/temp_folder.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

const fs::path kEngine =
    "/usr/share/assimp/models/glTF2/2CylinderEngine-glTF-Binary/2CylinderEngine.glb";

std::vector<const Object*> InTreeOrder(const Document& document) {
    std::vector<const Object*> objects;
    document.ForEach([&objects](Object& object) {
        objects.push_back(&object);
        return true;
    });
    return objects;
}

ObjectId InstanceLink(const Object& object) {
    const Value* link = object.Data().Find(HOST_INSTANCE_LINK);
    return link != nullptr ? link->AsLink() : 0;
}

// Pointers of one document mapped to those of another one to one: what was shared is shared, and
// what was apart stays apart.
template <typename Pointer>
void ExpectSameSharing(std::map<Pointer, Pointer>& forward, std::map<Pointer, Pointer>& backward,
                       Pointer before, Pointer after) {
    const auto [there, added] = forward.emplace(before, after);
    EXPECT_EQ(there->second, after);
    const auto [back, addedBack] = backward.emplace(after, before);
    EXPECT_EQ(back->second, before);
}

bool SamePoints(const std::vector<Point>& a, const std::vector<Point>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].x != b[i].x || a[i].y != b[i].y || a[i].z != b[i].z) return false;
    }
    return true;
}

bool SameTriangles(const std::vector<Triangle>& a, const std::vector<Triangle>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].a != b[i].a || a[i].b != b[i].b || a[i].c != b[i].c) return false;
    }
    return true;
}

TEST(SceneGeometry, TheImportedEngineSavedAndReopenedHasTheSameObjectsTransformsAndSharedMeshes) {
    const ImportedScene imported = ImportScene(kEngine);
    ASSERT_TRUE(imported.Ok()) << imported.error;
    TempFolder folder;
    const fs::path scene = folder / "engine.json";
    const SceneSaveResult saved = SaveScene(*imported.document, scene);
    ASSERT_TRUE(saved.Ok()) << saved.error;
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"engine.json", "engine.json.mesh"}));
    const SceneLoadResult reopened = LoadScene(scene);
    ASSERT_TRUE(reopened.Ok()) << reopened.error;

    const std::vector<const Object*> before = InTreeOrder(*imported.document);
    const std::vector<const Object*> after = InTreeOrder(*reopened.document);
    ASSERT_EQ(after.size(), before.size());
    std::map<const Mesh*, const Mesh*> meshes;
    std::map<const Mesh*, const Mesh*> meshesBack;
    std::map<const MeshPart*, const MeshPart*> parts;
    std::map<const MeshPart*, const MeshPart*> partsBack;
    int transforms = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Object& was = *before[i];
        const Object& is = *after[i];
        SCOPED_TRACE(was.Name());
        EXPECT_EQ(is.Id(), was.Id());
        EXPECT_EQ(is.Name(), was.Name());
        EXPECT_EQ(is.Type(), was.Type());
        EXPECT_EQ(is.Up() != nullptr ? is.Up()->Id() : 0, was.Up() != nullptr ? was.Up()->Id() : 0);
        EXPECT_EQ(is.LocalTransform(), was.LocalTransform());
        transforms += was.LocalTransform().IsIdentity() ? 0 : 1;
        EXPECT_EQ(InstanceLink(is), InstanceLink(was));
        ASSERT_EQ(is.GetMesh() == nullptr, was.GetMesh() == nullptr);
        if (was.GetMesh() == nullptr) continue;
        ExpectSameSharing(meshes, meshesBack, was.GetMesh().get(), is.GetMesh().get());
        ASSERT_EQ(is.GetMesh()->parts.size(), was.GetMesh()->parts.size());
        for (std::size_t p = 0; p < was.GetMesh()->parts.size(); ++p) {
            const MeshPart& old = *was.GetMesh()->parts[p];
            const MeshPart& now = *is.GetMesh()->parts[p];
            ExpectSameSharing(parts, partsBack, &old, &now);
            EXPECT_EQ(now.name, old.name);
            EXPECT_TRUE(SamePoints(now.positions, old.positions));
            EXPECT_TRUE(SamePoints(now.normals, old.normals));
            EXPECT_TRUE(SameTriangles(now.triangles, old.triangles));
            EXPECT_EQ(now.baseColor.r, old.baseColor.r);
            EXPECT_EQ(now.baseColor.a, old.baseColor.a);
        }
    }
    // The file's 29 polygon objects show meshes of their own (38 instances show them through
    // their link); most nodes are placed by a transform of their own.
    EXPECT_EQ(meshes.size(), 29U);
    EXPECT_GT(transforms, 40);
    // A second save of the reopened scene writes the same two files.
    const SceneTextResult first = SerializeScene(*imported.document);
    const SceneTextResult second = SerializeScene(*reopened.document);
    EXPECT_EQ(second.text, first.text);
    EXPECT_EQ(second.meshFile, first.meshFile);
    EXPECT_EQ(ReadFile(scene), first.text);
}

// A document without transforms or meshes is still written as version 1, byte for byte as before.
TEST(SceneGeometry, ADocumentWithoutGeometryIsWrittenAsVersionOneWithoutAMeshFile) {
    Document document;
    document.CreateObject(HOST_OBJECT_POLYGON, "Empty");
    const SceneTextResult text = SerializeScene(document);
    ASSERT_TRUE(text.Ok()) << text.error;
    EXPECT_NE(text.text.find("\"version\": 1,"), std::string::npos);
    EXPECT_EQ(text.text.find("mesh"), std::string::npos);
    EXPECT_TRUE(text.meshFile.empty());
}

struct Damaged {
    const char* what;
    // Changes the saved files; answers the message expected when opening them.
    std::function<std::string(const fs::path& scene, const fs::path& meshFile)> damage;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The line of the element of "objects" that holds the text at `at` (its opening brace).
std::size_t LineOfObjectAt(const std::string& text, std::size_t at) {
    const std::size_t start = text.rfind("\n    {", at);
    std::size_t line = 1;
    for (std::size_t i = 0; i <= start; ++i) line += text[i] == '\n' ? 1U : 0U;
    return line;
}

TEST(SceneGeometry, MeshFilesThatCannotBeUsedAreRefusedWithTheFileAndTheReason) {
    const ImportedScene imported = ImportScene(kEngine);
    ASSERT_TRUE(imported.Ok()) << imported.error;
    TempFolder folder;
    const fs::path scene = folder / "engine.json";
    const fs::path meshFile = folder / "engine.json.mesh";
    const std::string sceneName = scene.string();
    const std::string meshName = meshFile.string();
    // Another save of the scene: one polygon object fewer shows a mesh.
    Document other;
    other.SetName("Other");
    Object* sphere = other.CreateObject(HOST_OBJECT_POLYGON, "Sphere");
    sphere->SetMesh(InTreeOrder(*imported.document)[2]->GetMesh());
    ASSERT_NE(sphere->GetMesh(), nullptr);
    ASSERT_TRUE(SaveScene(other, folder / "other.json").Ok());
    const std::string otherMeshFile = ReadFile(folder / "other.json.mesh");

    const std::vector<Damaged> cases{
        {"mesh file missing",
         [&](const fs::path&, const fs::path& mesh) {
             fs::remove(mesh);
             return meshName + ": cannot open the scene's mesh file: No such file or directory";
         }},
        {"mesh file cut short",
         [&](const fs::path&, const fs::path& mesh) {
             const std::string bytes = ReadFile(mesh);
             WriteFile(mesh, bytes.substr(0, 100));
             return meshName + ": the file is cut short in part 0 (\"body\") (it has 100 bytes)";
         }},
        {"a byte of a point flipped",
         [&](const fs::path&, const fs::path& mesh) {
             std::string bytes = ReadFile(mesh);
             bytes[80] = static_cast<char>(bytes[80] ^ 0x10);
             WriteFile(mesh, bytes);
             return meshName + ": part 0 (\"body\") is damaged: its checksum does not match";
         }},
        {"the mesh file of another save",
         [&](const fs::path&, const fs::path& mesh) {
             WriteFile(mesh, otherMeshFile);
             return meshName + ": not the mesh file this scene was saved with: the scene expects ";
         }},
        {"a mesh that is not listed",
         [&](const fs::path& file, const fs::path&) {
             const std::string text = ReadFile(file);
             const std::size_t at = text.find("\"mesh\": 0\n");
             WriteFile(file, Replaced(text, "\"mesh\": 0\n", "\"mesh\": 29\n"));
             return sceneName + ":" + std::to_string(LineOfObjectAt(text, at)) +
                    ": objects[2].mesh: mesh 29 is not in \"meshes\", which lists 29";
         }},
        {"a part that is not in the mesh file",
         [&](const fs::path& file, const fs::path&) {
             WriteFile(file, Replaced(ReadFile(file), "{\"parts\": [0]}", "{\"parts\": [34]}"));
             return sceneName +
                    ":10: meshes[0].parts[0]: part 34 is not in the mesh file, which holds 34 "
                    "parts";
         }},
        {"a transform that is not finite",
         [&](const fs::path& file, const fs::path&) {
             const std::string text = ReadFile(file);
             std::string spoiled = text;
             const std::size_t at = text.find("\"transform\": [") + 14;
             spoiled.replace(at, text.find(',', at) - at, "\"nan\"");
             WriteFile(file, spoiled);
             return sceneName + ":" + std::to_string(LineOfObjectAt(text, at)) +
                    ": objects[0].transform[0]: expected a finite number, found \"nan\"";
         }},
    };
    for (const Damaged& bad : cases) {
        SCOPED_TRACE(bad.what);
        ASSERT_TRUE(SaveScene(*imported.document, scene).Ok());
        const std::string expected = bad.damage(scene, meshFile);
        const SceneLoadResult loaded = LoadScene(scene);
        EXPECT_FALSE(loaded.Ok());
        EXPECT_EQ(loaded.error.substr(0, expected.size()), expected) << loaded.error;
    }
}

// The mesh file and the scene are both written before either replaces its old file: a save that
// fails while writing the scene leaves both old files as they were, and no temporary file.
TEST(SceneGeometry, ASaveThatFailsLeavesTheOldSceneAndMeshFileAsTheyWere) {
    const ImportedScene imported = ImportScene(kEngine);
    ASSERT_TRUE(imported.Ok()) << imported.error;
    TempFolder folder;
    const fs::path scene = folder / "engine.json";
    ASSERT_TRUE(SaveScene(*imported.document, scene).Ok());
    const std::string oldScene = ReadFile(scene);
    const std::string oldMeshFile = ReadFile(folder / "engine.json.mesh");

    // Changed geometry, and a name the scene cannot hold (not UTF-8), met after the meshes.
    Document changed;
    Object* polygon = changed.CreateObject(HOST_OBJECT_POLYGON, "Kept");
    polygon->SetMesh(InTreeOrder(*imported.document)[2]->GetMesh());
    const ObjectId bad = changed.CreateObject(HOST_OBJECT_NULL, "Bad \xff name")->Id();
    const SceneSaveResult saved = SaveScene(changed, scene);
    EXPECT_FALSE(saved.Ok());
    EXPECT_EQ(saved.error, "cannot save the scene to \"" + scene.string() + "\": object " +
                               std::to_string(bad) +
                               " (\"Bad \\xFF name\"): its name is not valid UTF-8: "
                               "\"Bad \\xFF name\"");
    EXPECT_EQ(ReadFile(scene), oldScene);
    EXPECT_EQ(ReadFile(folder / "engine.json.mesh"), oldMeshFile);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"engine.json", "engine.json.mesh"}));
    EXPECT_TRUE(LoadScene(scene).Ok());

    // A scene without meshes keeps the old mesh file while its save fails, and takes it away
    // once it is written: the new scene does not name it.
    Document plain;
    plain.CreateObject(HOST_OBJECT_NULL, "Bad \xff name");
    EXPECT_FALSE(SaveScene(plain, scene).Ok());
    EXPECT_EQ(ReadFile(folder / "engine.json.mesh"), oldMeshFile);
    Document good;
    good.CreateObject(HOST_OBJECT_NULL, "Plain");
    ASSERT_TRUE(SaveScene(good, scene).Ok());
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"engine.json"}));
    EXPECT_TRUE(LoadScene(scene).Ok());
}

}  // namespace
}  // namespace vhost
