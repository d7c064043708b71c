// The importer on any bytes, read from memory as a file of one of several formats (the input's
// first byte picks the format hint, the rest is the file). Whatever the library makes of it, the
// step to the host's objects keeps every node as one object in the same order (the library's
// root possibly standing for the file), links every instance to an earlier polygon object, keeps
// transforms finite and triangles inside their points, reads texture references only inside the
// folder they are resolved in; and the host's own entry point agrees.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include "fuzz_check.h"
#include "import/deep_stack.h"
#include "import/handed_scene.h"
#include "import/scene_conversion.h"
#include "import/scene_import.h"
#include "vela_host/host_objects.h"

// The library's readers allocate what a file claims, whatever the file's size (a 310-byte OFF file
// asks for 16 GB, a Collada array for 2 GB; docs/reliability.md). Here such a request fails as it
// would on a machine without the memory, so the library refuses the file and the run goes on to
// the host's step instead of stopping at the memory limit inside the library. The library calls
// these through the program, which defines them for every allocation of the process.
namespace {

constexpr std::size_t kLargestAllocation = std::size_t{256} << 20U;

void* Allocate(std::size_t size) {
    if (size > kLargestAllocation) throw std::bad_alloc();
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}

void* AllocateOrNull(std::size_t size) noexcept {
    if (size > kLargestAllocation) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t& /*tag*/) noexcept {
    return AllocateOrNull(size);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t /*size*/) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t /*size*/) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t& /*tag*/) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t& /*tag*/) noexcept { std::free(block); }

namespace {

constexpr const char* kHints[] = {"glb", "gltf", "obj", "fbx", "dae",   "3ds",
                                  "ply", "stl",  "x",   "off", "blend", ""};
constexpr std::int32_t kPolygon = HOST_OBJECT_POLYGON;

std::vector<std::string> NodeNamesInPreOrder(const aiNode* root) {
    std::vector<std::string> names;
    std::vector<const aiNode*> stack{root};
    while (!stack.empty()) {
        const aiNode* node = stack.back();
        stack.pop_back();
        names.emplace_back(node->mName.C_Str());
        for (unsigned c = node->mNumChildren; c-- > 0;) stack.push_back(node->mChildren[c]);
    }
    return names;
}

void CheckObjects(const aiScene& scene, const vhost::Document& document) {
    const std::vector<std::string> nodes = NodeNamesInPreOrder(scene.mRootNode);
    std::vector<const vhost::Object*> objects;
    document.ForEach([&objects](vhost::Object& object) {
        objects.push_back(&object);
        return true;
    });
    const std::size_t skipped = nodes.size() - objects.size();
    vfuzz::Require(skipped == 0 || (skipped == 1 && scene.mRootNode->mNumMeshes == 0),
                   "one object per node, the root aside when it carries nothing");
    std::unordered_map<vhost::ObjectId, std::size_t> position;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const vhost::Object& object = *objects[i];
        position[object.Id()] = i;
        vfuzz::Require(object.Name() == nodes[i + skipped],
                       "objects keep the nodes' names and order");
        vfuzz::Require(object.LocalTransform().IsFinite(), "transforms are finite");
        if (object.Type() == HOST_OBJECT_INSTANCE) {
            const auto target = position.find(object.Data().GetLink(HOST_INSTANCE_LINK));
            vfuzz::Require(target != position.end() && target->second < i &&
                               objects[target->second]->Type() == kPolygon,
                           "an instance links to an earlier polygon object");
        }
        if (object.Type() != kPolygon) {
            vfuzz::Require(object.GetMesh() == nullptr, "only polygon objects hold meshes");
            continue;
        }
        vfuzz::Require(object.GetMesh() != nullptr && !object.GetMesh()->parts.empty(),
                       "a polygon object holds geometry");
        for (const auto& part : object.GetMesh()->parts) {
            vfuzz::Require(!part->positions.empty(), "parts have points");
            for (const vhost::Triangle& t : part->triangles) {
                vfuzz::Require(t.a < part->positions.size() && t.b < part->positions.size() &&
                                   t.c < part->positions.size(),
                               "triangles name points of their part");
            }
        }
    }
}

// The folder an input's texture references are resolved in: a whole image (CesiumLogoFlat.png,
// the name the glTF seeds use), one cut short, a link to an image outside it; and that image
// outside, which no reference may reach. Made once per process, the same for every process (the
// import target runs in children that libFuzzer restarts).
struct TextureFolder {
    std::filesystem::path inside;
    std::string outsideBytes;
};

const TextureFolder& Textures() {
    static const TextureFolder folder = [] {
        namespace fs = std::filesystem;
        const fs::path root = fs::temp_directory_path() / "vela-fuzz-textures";
        const fs::path models = "/usr/share/assimp/models";
        TextureFolder made{root / "model", {}};
        fs::create_directories(made.inside);
        std::error_code ignored;
        fs::copy_file(models / "glTF2/BoxTextured-glTF/CesiumLogoFlat.png",
                      made.inside / "CesiumLogoFlat.png", fs::copy_options::overwrite_existing,
                      ignored);
        fs::copy_file(models / "Collada/duck_sample.jpg", root / "secret.jpg",
                      fs::copy_options::overwrite_existing, ignored);
        std::ifstream secret(root / "secret.jpg", std::ios::binary);
        made.outsideBytes.assign(std::istreambuf_iterator<char>(secret), {});
        std::ofstream(made.inside / "cut.jpg", std::ios::binary)
            << made.outsideBytes.substr(0, made.outsideBytes.size() / 2);
        fs::create_symlink(root / "secret.jpg", made.inside / "link.jpg", ignored);
        return made;
    }();
    return folder;
}

// No texture holds the image outside the folder.
void CheckTextures(const vhost::Document& document) {
    document.ForEach([](const vhost::Object& object) {
        if (object.GetMesh() == nullptr) return true;
        for (const auto& part : object.GetMesh()->parts) {
            vfuzz::Require(part->baseColorTexture == nullptr ||
                               part->baseColorTexture->bytes != Textures().outsideBytes,
                           "no texture is read from outside the file's folder");
            vfuzz::Require(
                part->texturePoints.empty() || part->texturePoints.size() == part->positions.size(),
                "texture points come one per position");
        }
        return true;
    });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const char* hint = kHints[data[0] % std::size(kHints)];
    const std::string_view file(reinterpret_cast<const char*>(data + 1), size - 1);
    std::size_t objects = 0;
    bool converted = false;
    // The library recurses per level of a node tree; it gets the stack the host gives it.
    const bool ran = vhost::RunWithStack(std::size_t{256} << 20U, [&] {
        Assimp::Importer importer;
        const aiScene* scene = importer.ReadFileFromMemory(
            file.data(), file.size(), aiProcess_Triangulate | aiProcess_ValidateDataStructure,
            hint);
        if (scene == nullptr || scene->mRootNode == nullptr) return;
        const vhost::ImportedScene result =
            vhost::ConvertImportedScene(*scene, "doc", "input", nullptr, Textures().inside);
        if (!result.Ok()) {
            vfuzz::Require(vfuzz::StartsWith(result.error, "input: "),
                           "the message names the source: " + result.error);
            return;
        }
        converted = true;
        objects = result.document->ObjectCount();
        CheckObjects(*scene, *result.document);
        CheckTextures(*result.document);
        // The form in which the child that read a file hands the document to the host.
        std::string handed;
        vfuzz::Require(vhost::AppendHandedDocument(*result.document, handed),
                       "an imported document has a handed form");
        const std::unique_ptr<vhost::Document> taken = vhost::TakeHandedDocument(handed);
        vfuzz::Require(taken != nullptr && taken->ObjectCount() == objects,
                       "the handed form gives the document back");
    });
    vfuzz::Require(ran, "the import thread starts");
    const vhost::ImportedScene imported =
        vhost::ImportSceneFromMemory(file, hint, "input", Textures().inside);
    vfuzz::Require(imported.Ok() == converted, "the host's importer agrees: " + imported.error);
    vfuzz::Require(imported.Ok() ? imported.document->ObjectCount() == objects
                                 : vfuzz::StartsWith(imported.error, "input: "),
                   "the same objects, or a message that names the source");
    return 0;
}
