// How imported files look, over real files of Debian's assimp-testmodels: a textured glTF keeps
// its texture points and its image (the file's own bytes), cameras and lights keep their lens and
// colour, and all of it survives a save and a reopen; texture references that are bad are left out
// with their sentence and never read outside the file's folder; older scene files still open.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "import/scene_import.h"
#include "model/object_looks.h"
#include "model/scene.h"
#include "scene_file/mesh_companion.h"
#include "scene_file/scene_file.h"
#include "support/temp_folder.h"
#include "vela_host/host_objects.h"

namespace vhost {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempFolder;
using testing_support::WriteFile;

const fs::path kModels = "/usr/share/assimp/models";
const fs::path kBoxTextured = kModels / "glTF2/BoxTextured-glTF";

const Object* FirstOfType(const Document& document, std::int32_t type) {
    const Object* found = nullptr;
    document.ForEach([&](const Object& object) {
        if (object.Type() == type) found = &object;
        return found == nullptr;
    });
    return found;
}

const MeshPart& OnlyPart(const Document& document) {
    const Object* polygon = FirstOfType(document, HOST_OBJECT_POLYGON);
    EXPECT_NE(polygon, nullptr);
    EXPECT_EQ(polygon->GetMesh()->parts.size(), 1U);
    return *polygon->GetMesh()->parts.front();
}

void ExpectSameTexturePoints(const MeshPart& a, const MeshPart& b) {
    ASSERT_EQ(a.texturePoints.size(), b.texturePoints.size());
    EXPECT_EQ(std::memcmp(a.texturePoints.data(), b.texturePoints.data(),
                          a.texturePoints.size() * sizeof(TexturePoint)),
              0);
}

TEST(TextureImport, ATexturedGltfKeepsItsTexturePointsAndImageThroughSaveAndReopen) {
    const std::string png = ReadFile(kBoxTextured / "CesiumLogoFlat.png");
    ASSERT_GT(png.size(), 24U);
    // The image's width, from its header (big-endian at byte 16): it is square.
    std::uint32_t side = 0;
    for (std::size_t i = 16; i < 20; ++i) side = (side << 8U) | static_cast<unsigned char>(png[i]);
    const nlohmann::json gltf = nlohmann::json::parse(ReadFile(kBoxTextured / "BoxTextured.gltf"));
    const nlohmann::json& uvs = gltf["accessors"][3];
    ASSERT_EQ(gltf["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"], 3);
    // The image beside the file, and the same image embedded in a binary glTF.
    for (const fs::path& file : {kBoxTextured / "BoxTextured.gltf",
                                 kModels / "glTF2/BoxTextured-glTF-Binary/BoxTextured.glb"}) {
        SCOPED_TRACE(file.string());
        const ImportedScene imported = ImportScene(file);
        ASSERT_TRUE(imported.Ok()) << imported.error;
        EXPECT_TRUE(imported.leftOut.Empty()) << imported.leftOut.Lines("box")[0];
        const MeshPart& part = OnlyPart(*imported.document);
        ASSERT_EQ(part.texturePoints.size(), part.positions.size());
        // u runs over the range the file's accessor gives (the image repeats six times).
        const auto [lowU, highU] =
            std::minmax_element(part.texturePoints.begin(), part.texturePoints.end(),
                                [](TexturePoint a, TexturePoint b) { return a.u < b.u; });
        EXPECT_EQ(lowU->u, uvs["min"][0].get<float>());
        EXPECT_EQ(highU->u, uvs["max"][0].get<float>());
        ASSERT_NE(part.baseColorTexture, nullptr);
        EXPECT_EQ(part.baseColorTexture->bytes, png);
        EXPECT_EQ(part.baseColorTexture->format, ImageFormat::Png);
        EXPECT_EQ(part.baseColorTexture->width, side);
        EXPECT_EQ(part.baseColorTexture->height, side);

        TempFolder folder("vela-textures");
        const fs::path scene = folder / "box.json";
        ASSERT_TRUE(SaveScene(*imported.document, scene).Ok());
        EXPECT_EQ(nlohmann::json::parse(ReadFile(scene))["version"], 3);
        const SceneLoadResult reopened = LoadScene(scene);
        ASSERT_TRUE(reopened.Ok()) << reopened.error;
        const MeshPart& again = OnlyPart(*reopened.document);
        ExpectSameTexturePoints(part, again);
        ASSERT_NE(again.baseColorTexture, nullptr);
        EXPECT_EQ(again.baseColorTexture->bytes, png);
        EXPECT_EQ(again.baseColorTexture->width, side);
    }
}

TEST(TextureImport, CamerasKeepTheirLensAndLightsTheirColourThroughSaveAndReopen) {
    const ImportedScene imported = ImportScene(kModels / "Collada/duck.dae");
    ASSERT_TRUE(imported.Ok()) << imported.error;
    TempFolder folder("vela-looks");
    ASSERT_TRUE(SaveScene(*imported.document, folder / "duck.json").Ok());
    const SceneLoadResult reopened = LoadScene(folder / "duck.json");
    ASSERT_TRUE(reopened.Ok()) << reopened.error;
    for (const Document* document : {imported.document.get(), reopened.document.get()}) {
        const Object* camera = FirstOfType(*document, HOST_OBJECT_CAMERA);
        const Object* light = FirstOfType(*document, HOST_OBJECT_LIGHT);
        ASSERT_TRUE(camera != nullptr && light != nullptr);
        const std::optional<CameraLens> lens = CameraLensOf(camera->Data());
        ASSERT_TRUE(lens.has_value());
        // duck.dae: a vertical angle of 37.8492 degrees, aspect 1.5, near 1, far 10000; the
        // horizontal angle follows from the two.
        const double vertical = 37.8492 * std::numbers::pi / 180.0;
        EXPECT_NEAR(lens->fieldOfView, 2.0 * std::atan(1.5 * std::tan(vertical / 2.0)), 1e-4);
        EXPECT_NEAR(lens->aspect, 1.5, 1e-6);
        EXPECT_NEAR(lens->farClip, 10000.0, 1e-6);
        const std::optional<LightLook> look = LightLookOf(light->Data());
        ASSERT_TRUE(look.has_value());
        EXPECT_EQ(look->kind, LightKind::Directional);
        EXPECT_DOUBLE_EQ(look->intensity, 1.0);
        EXPECT_DOUBLE_EQ(look->red, 1.0);
    }
}

// A square of two triangles whose corners are red, green, blue and white.
constexpr std::string_view kColouredSquarePly = R"(ply
format ascii 1.0
element vertex 4
property float x
property float y
property float z
property uchar red
property uchar green
property uchar blue
element face 2
property list uchar int vertex_indices
end_header
-1 -1 0 255 0 0
1 -1 0 0 255 0
1 1 0 0 0 255
-1 1 0 255 255 255
3 0 1 2
3 0 2 3
)";

TEST(TextureImport, VertexColoursFollowTheirCornersThroughSaveAndReopen) {
    TempFolder folder("vela-colours");
    WriteFile(folder / "square.ply", std::string(kColouredSquarePly));
    const ImportedScene imported = ImportScene(folder / "square.ply");
    ASSERT_TRUE(imported.Ok()) << imported.error;
    ASSERT_TRUE(SaveScene(*imported.document, folder / "square.json").Ok());
    const SceneLoadResult reopened = LoadScene(folder / "square.json");
    ASSERT_TRUE(reopened.Ok()) << reopened.error;
    for (const Document* document : {imported.document.get(), reopened.document.get()}) {
        const MeshPart& part = OnlyPart(*document);
        ASSERT_EQ(part.colors.size(), part.positions.size());
        // Whatever order the reader gives the corners in, each keeps its own colour.
        for (std::size_t i = 0; i < part.positions.size(); ++i) {
            const Point& at = part.positions[i];
            const Color& colour = part.colors[i];
            const Color expected = at.x < 0 && at.y < 0   ? Color{1, 0, 0, 1}
                                   : at.x > 0 && at.y < 0 ? Color{0, 1, 0, 1}
                                   : at.x > 0             ? Color{0, 0, 1, 1}
                                                          : Color{1, 1, 1, 1};
            EXPECT_FLOAT_EQ(colour.r, expected.r) << i;
            EXPECT_FLOAT_EQ(colour.g, expected.g) << i;
            EXPECT_FLOAT_EQ(colour.b, expected.b) << i;
            EXPECT_FLOAT_EQ(colour.a, expected.a) << i;
        }
    }
}

// A PNG whose header says `width` × 1 pixels, with nothing to decode: refused on its size alone.
std::string PngHeaderOfWidth(std::uint32_t width) {
    auto chunk = [](std::string_view type, std::string_view data) {
        std::string out;
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += static_cast<char>((data.size() >> static_cast<unsigned>(shift)) & 0xFFU);
        }
        std::string body = std::string(type) + std::string(data);
        const std::uint32_t crc = scene_file::Crc32(body);
        out += body;
        for (int shift = 24; shift >= 0; shift -= 8) {
            out += static_cast<char>((crc >> static_cast<unsigned>(shift)) & 0xFFU);
        }
        return out;
    };
    std::string header;
    for (int shift = 24; shift >= 0; shift -= 8) {
        header += static_cast<char>((width >> static_cast<unsigned>(shift)) & 0xFFU);
    }
    header += std::string("\0\0\0\1\x08\x06\0\0\0", 9);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", "") +
           chunk("IEND", "");
}

struct BadReference {
    std::string uri;
    LeftOutKind kind;
    std::string sentence;
};

TEST(TextureImport, BadTextureReferencesAreLeftOutWithTheirSentenceAndNothingOutsideIsRead) {
    TempFolder folder("vela-bad-textures");
    const fs::path model = folder / "model";
    fs::create_directory(model);
    fs::copy_file(kBoxTextured / "BoxTextured0.bin", model / "BoxTextured0.bin");
    const std::string png = ReadFile(kBoxTextured / "CesiumLogoFlat.png");
    // A whole image outside the model's folder, which no reference may reach.
    WriteFile(folder / "secret.png", png);
    fs::create_symlink(folder / "secret.png", model / "link.png");
    WriteFile(model / "cut.png", png.substr(0, png.size() / 2));
    const std::string jpeg = ReadFile(kModels / "Collada/duck_sample.jpg");
    WriteFile(model / "duck.jpg", jpeg);
    WriteFile(model / "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    WriteFile(model / "notes.png", "not an image");
    WriteFile(model / "wide.png", PngHeaderOfWidth(9000));
    const std::string outside = "base-colour textures whose path leaves the file's folder";
    const BadReference cases[] = {
        {"../secret.png", LeftOutKind::TexturesOutsideFolder, outside},
        {"..\\secret.png", LeftOutKind::TexturesOutsideFolder, outside},
        {(folder / "secret.png").string(), LeftOutKind::TexturesOutsideFolder, outside},
        {"../../../../../../etc/passwd", LeftOutKind::TexturesOutsideFolder, outside},
        {"link.png", LeftOutKind::TexturesOutsideFolder, outside},
        {"cut.png", LeftOutKind::TexturesDamaged, "damaged (they do not decode)"},
        {"cut.jpg", LeftOutKind::TexturesDamaged, "damaged (they do not decode)"},
        {"notes.png", LeftOutKind::TexturesNotPngOrJpeg, "neither PNG nor JPEG"},
        {"wide.png", LeftOutKind::TexturesTooLarge, "over 8192 pixels a side"},
        {"gone.png", LeftOutKind::TexturesUnreadable, "missing or unreadable"},
    };
    nlohmann::json gltf = nlohmann::json::parse(ReadFile(kBoxTextured / "BoxTextured.gltf"));
    for (const BadReference& c : cases) {
        SCOPED_TRACE(c.uri);
        gltf["images"][0]["uri"] = c.uri;
        WriteFile(model / "box.gltf", gltf.dump());
        const ImportedScene imported = ImportScene(model / "box.gltf");
        ASSERT_TRUE(imported.Ok()) << imported.error;
        EXPECT_EQ(OnlyPart(*imported.document).baseColorTexture, nullptr);
        EXPECT_EQ(imported.leftOut.Entries(), (std::vector<LeftOut>{{c.kind, 1, 1, {"Texture"}}}));
        const std::vector<std::string> lines = imported.leftOut.Lines("box.gltf");
        ASSERT_EQ(lines.size(), 1U);
        EXPECT_NE(lines[0].find(c.sentence), std::string::npos) << lines[0];
    }
    // The whole JPEG beside it is taken.
    gltf["images"][0]["uri"] = "duck.jpg";
    WriteFile(model / "box.gltf", gltf.dump());
    const ImportedScene imported = ImportScene(model / "box.gltf");
    ASSERT_TRUE(imported.Ok()) << imported.error;
    EXPECT_TRUE(imported.leftOut.Empty());
    const std::shared_ptr<const Texture>& texture = OnlyPart(*imported.document).baseColorTexture;
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->format, ImageFormat::Jpeg);
    EXPECT_EQ(texture->bytes, jpeg);
}

// A version 2 scene and its mesh file of layout 1, as hosts wrote them before textures: one
// triangle, no texture points.
std::string LayoutOneMeshFile() {
    std::string part;
    auto u32 = [&part](std::uint32_t value) { part.append(reinterpret_cast<char*>(&value), 4); };
    auto f32 = [&part](float value) { part.append(reinterpret_cast<char*>(&value), 4); };
    u32(3);
    part += "Tri";
    for (float channel : {0.5F, 0.25F, 1.0F, 1.0F}) f32(channel);
    u32(3);
    u32(0);
    u32(1);
    for (float coordinate : {0.F, 0.F, 0.F, 1.F, 0.F, 0.F, 0.F, 1.F, 0.F}) f32(coordinate);
    for (std::uint32_t index : {0U, 1U, 2U}) u32(index);
    u32(scene_file::Crc32(part));
    std::string file = "VELAMESH";
    const std::uint32_t header[] = {1, 1};
    file.append(reinterpret_cast<const char*>(header), sizeof header);
    return file + part;
}

TEST(TextureImport, AVersionTwoSceneWithItsOlderMeshFileStillOpens) {
    TempFolder folder("vela-old-scene");
    const std::string mesh = LayoutOneMeshFile();
    const scene_file::MeshFileRecord record = scene_file::RecordOfMeshFile(mesh, 1);
    WriteFile(folder / "old.json.mesh", mesh);
    const nlohmann::ordered_json scene = {
        {"format", "vela-host-scene"},
        {"version", 2},
        {"name", "Old"},
        {"data", {{"id", 0}, {"entries", nlohmann::json::array()}}},
        {"takes", nullptr},
        {"mesh_file", {{"bytes", record.bytes}, {"crc32", record.crc32}, {"parts", 1}}},
        {"meshes", {{{"parts", {0}}}}},
        {"objects",
         {{{"id", 1},
           {"parent", nullptr},
           {"type", "polygon"},
           {"name", "Tri"},
           {"editor", "default"},
           {"render", "default"},
           {"enabled", true},
           {"selected", false},
           {"bits", 0},
           {"data", {{"id", 0}, {"entries", nlohmann::json::array()}}},
           {"mesh", 0}}}}};
    WriteFile(folder / "old.json", scene.dump(2));
    const SceneLoadResult opened = LoadScene(folder / "old.json");
    ASSERT_TRUE(opened.Ok()) << opened.error;
    const MeshPart& part = OnlyPart(*opened.document);
    EXPECT_EQ(part.positions.size(), 3U);
    EXPECT_EQ(part.baseColor.g, 0.25F);
    EXPECT_TRUE(part.texturePoints.empty() && part.colors.empty());
    EXPECT_EQ(part.baseColorTexture, nullptr);
}

}  // namespace
}  // namespace vhost
