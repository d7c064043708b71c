#include "import/scene_conversion.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <assimp/material.h>
#include <assimp/scene.h>

#include "import/scene_looks.h"
#include "model/object_looks.h"
#include "text/quoting.h"
#include "vela_host/host_objects.h"

namespace vhost {

namespace {

struct ConversionError {
    std::string message;
};

Vector VectorFrom(float x, float y, float z) {
    return {static_cast<double>(x), static_cast<double>(y), static_cast<double>(z)};
}

Matrix MatrixFrom(const aiMatrix4x4& m) {
    // assimp's matrices act on column vectors: the axes are the first three columns.
    Matrix matrix;
    matrix.v1 = VectorFrom(m.a1, m.b1, m.c1);
    matrix.v2 = VectorFrom(m.a2, m.b2, m.c2);
    matrix.v3 = VectorFrom(m.a3, m.b3, m.c3);
    matrix.off = VectorFrom(m.a4, m.b4, m.c4);
    return matrix;
}

bool IsFinite(const aiVector3D& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

Color BaseColorOf(const aiMaterial* material) {
    aiColor4D color(1.0F, 1.0F, 1.0F, 1.0F);
    if (material != nullptr && material->Get(AI_MATKEY_BASE_COLOR, color) != aiReturn_SUCCESS &&
        material->Get(AI_MATKEY_COLOR_DIFFUSE, color) != aiReturn_SUCCESS) {
        color = aiColor4D(1.0F, 1.0F, 1.0F, 1.0F);
    }
    return {color.r, color.g, color.b, color.a};
}

// Triangles of the faces with three vertices that all exist and lie at finite places; points,
// lines and polygons left untriangulated are no triangles. What is left out goes to `leftOut`.
std::vector<Triangle> TrianglesOf(const aiMesh& mesh, ImportReport& leftOut) {
    std::vector<Triangle> triangles;
    if (mesh.mFaces == nullptr) return triangles;
    triangles.reserve(mesh.mNumFaces);
    std::uint64_t notTriangles = 0;
    std::uint64_t pastVertices = 0;
    std::uint64_t notFinite = 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
        const aiFace& face = mesh.mFaces[f];
        if (face.mNumIndices != 3 || face.mIndices == nullptr) {
            ++notTriangles;
            continue;
        }
        const unsigned* i = face.mIndices;
        if (std::max({i[0], i[1], i[2]}) >= mesh.mNumVertices) {
            ++pastVertices;
        } else if (!IsFinite(mesh.mVertices[i[0]]) || !IsFinite(mesh.mVertices[i[1]]) ||
                   !IsFinite(mesh.mVertices[i[2]])) {
            ++notFinite;
        } else {
            triangles.push_back({i[0], i[1], i[2]});
        }
    }
    const std::string_view name = mesh.mName.C_Str();
    leftOut.Add(LeftOutKind::PointsAndLines, notTriangles, name);
    leftOut.Add(LeftOutKind::TrianglesPastVertices, pastVertices, name);
    leftOut.Add(LeftOutKind::TrianglesNotFinite, notFinite, name);
    return triangles;
}

Point PointFrom(const aiVector3D& v) { return IsFinite(v) ? Point{v.x, v.y, v.z} : Point{}; }

// The normals of `mesh`, one per position; none when it has none or one of them is not finite.
std::vector<Point> NormalsOf(const aiMesh& mesh, ImportReport& leftOut) {
    std::vector<Point> normals;
    if (mesh.mNormals == nullptr) return normals;
    const bool finite = std::all_of(mesh.mNormals, mesh.mNormals + mesh.mNumVertices,
                                    [](const aiVector3D& n) { return IsFinite(n); });
    if (!finite) {
        leftOut.Add(LeftOutKind::NormalsNotFinite, 1, mesh.mName.C_Str());
        return normals;
    }
    normals.reserve(mesh.mNumVertices);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) normals.push_back(PointFrom(mesh.mNormals[v]));
    return normals;
}

// What a mesh holds that the host has no place for yet.
void NoteUnmapped(const aiMesh& mesh, ImportReport& leftOut) {
    const std::string_view name = mesh.mName.C_Str();
    leftOut.Add(LeftOutKind::Skins, mesh.mNumBones, name);
    leftOut.Add(LeftOutKind::MorphTargets, mesh.mNumAnimMeshes, name);
    leftOut.Add(LeftOutKind::TexturePointSetsBeyondFirst, mesh.GetNumUVChannels() > 1 ? 1 : 0,
                name);
    leftOut.Add(LeftOutKind::ColourSetsBeyondFirst, mesh.GetNumColorChannels() > 1 ? 1 : 0, name);
}

// The first set of texture coordinates (u and v of each), then of colours; either none when the
// mesh has none or a value that is not finite.
void TakeTexturePointsAndColours(const aiMesh& mesh, MeshPart& part, ImportReport& leftOut) {
    const unsigned count = mesh.mNumVertices;
    bool finite = true;
    if (const aiVector3D* uvs = mesh.mTextureCoords[0]) {
        part.texturePoints.reserve(count);
        for (unsigned v = 0; v < count && finite; ++v) {
            finite = std::isfinite(uvs[v].x) && std::isfinite(uvs[v].y);
            part.texturePoints.push_back({uvs[v].x, uvs[v].y});
        }
    }
    if (const aiColor4D* colours = mesh.mColors[0]; colours != nullptr && finite) {
        part.colors.reserve(count);
        for (unsigned v = 0; v < count && finite; ++v) {
            const aiColor4D& c = colours[v];
            finite = std::isfinite(c.r) && std::isfinite(c.g) && std::isfinite(c.b) &&
                     std::isfinite(c.a);
            part.colors.push_back({c.r, c.g, c.b, c.a});
        }
    }
    if (!finite) {
        part.texturePoints.clear();
        part.colors.clear();
        leftOut.Add(LeftOutKind::TexturePointsOrColoursNotFinite, 1, mesh.mName.C_Str());
    }
}

// The part made of `mesh`; null for a mesh without vertices. `textures` are the materials'
// base-colour textures.
std::shared_ptr<const MeshPart> PartFrom(
    const aiMesh& mesh, const aiScene& scene,
    const std::vector<std::shared_ptr<const Texture>>& textures, ImportReport& leftOut) {
    if (mesh.mNumVertices == 0 || mesh.mVertices == nullptr) {
        leftOut.Add(LeftOutKind::EmptyMeshes, 1, mesh.mName.C_Str());
        return nullptr;
    }
    NoteUnmapped(mesh, leftOut);
    auto part = std::make_shared<MeshPart>();
    part->name = mesh.mName.C_Str();
    part->positions.reserve(mesh.mNumVertices);
    for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
        part->positions.push_back(PointFrom(mesh.mVertices[v]));
    }
    part->normals = NormalsOf(mesh, leftOut);
    part->triangles = TrianglesOf(mesh, leftOut);
    TakeTexturePointsAndColours(mesh, *part, leftOut);
    const bool hasMaterial = mesh.mMaterialIndex < scene.mNumMaterials && scene.mMaterials;
    part->baseColor = BaseColorOf(hasMaterial ? scene.mMaterials[mesh.mMaterialIndex] : nullptr);
    if (hasMaterial && !part->texturePoints.empty()) {
        part->baseColorTexture = textures[mesh.mMaterialIndex];
    }
    return part;
}

void NoteAnimations(const aiScene& scene, ImportReport& leftOut) {
    for (unsigned a = 0; a < scene.mNumAnimations && scene.mAnimations != nullptr; ++a) {
        if (scene.mAnimations[a] != nullptr) {
            leftOut.Add(LeftOutKind::Animations, 1, scene.mAnimations[a]->mName.C_Str());
        }
    }
}

class Conversion {
public:
    Conversion(const aiScene& scene, std::string_view documentName,
               const std::optional<std::filesystem::path>& textureFolder, ImportReport& leftOut)
        : scene_(scene),
          document_(std::make_unique<Document>(std::string(documentName))),
          textureFolder_(textureFolder),
          leftOut_(leftOut) {}

    void ReportTo(Progress* progress) { progress_ = progress; }

    std::unique_ptr<Document> Run() {
        MakeParts();
        NoteCamerasAndLights();
        NoteAnimations(scene_, leftOut_);
        const aiNode* root = scene_.mRootNode;
        if (root != nullptr) ConvertTree(*root);
        NoteUnplaced();
        return std::move(document_);
    }

private:
    struct Pending {
        const aiNode* node;
        Object* parent;
    };

    void ConvertTree(const aiNode& root) {
        if (StandsForTheFile(root)) {
            visited_.insert(&root);
            PushChildren(root, nullptr);
        } else {
            pending_.push_back({&root, nullptr});
        }
        while (!pending_.empty()) {
            const auto [node, parent] = pending_.back();
            pending_.pop_back();
            Object* object = Convert(*node, parent);
            PushChildren(*node, object);
            if (progress_ != nullptr) progress_->Advance(++converted_);
        }
    }

    void MakeParts() {
        if (scene_.mNumMeshes > 0 && scene_.mMeshes == nullptr) {
            throw ConversionError{"the scene lists meshes it does not hold"};
        }
        const std::vector<std::shared_ptr<const Texture>> textures =
            BaseColorTextures(scene_, textureFolder_, leftOut_);
        parts_.reserve(scene_.mNumMeshes);
        for (unsigned m = 0; m < scene_.mNumMeshes; ++m) {
            const aiMesh* mesh = scene_.mMeshes[m];
            parts_.push_back(mesh != nullptr ? PartFrom(*mesh, scene_, textures, leftOut_)
                                             : nullptr);
        }
    }

    // Cameras and lights whose name no node had, in the file's order.
    void NoteUnplaced() {
        auto note = [this](const aiString& name) {
            if (kinds_.erase(name.C_Str()) > 0) {
                leftOut_.Add(LeftOutKind::UnplacedCamerasAndLights, 1, name.C_Str());
            }
        };
        for (unsigned c = 0; c < scene_.mNumCameras && scene_.mCameras != nullptr; ++c) {
            if (scene_.mCameras[c] != nullptr) note(scene_.mCameras[c]->mName);
        }
        for (unsigned l = 0; l < scene_.mNumLights && scene_.mLights != nullptr; ++l) {
            if (scene_.mLights[l] != nullptr) note(scene_.mLights[l]->mName);
        }
    }

    // The library ties a camera or a light to the node of the same name; with names repeated,
    // to the first such node.
    void NoteCamerasAndLights() {
        for (unsigned c = 0; c < scene_.mNumCameras && scene_.mCameras != nullptr; ++c) {
            if (const aiCamera* camera = scene_.mCameras[c]) {
                kinds_.emplace(camera->mName.C_Str(), Kind{HOST_OBJECT_CAMERA, camera, nullptr});
            }
        }
        for (unsigned l = 0; l < scene_.mNumLights && scene_.mLights != nullptr; ++l) {
            if (const aiLight* light = scene_.mLights[l]) {
                kinds_.emplace(light->mName.C_Str(), Kind{HOST_OBJECT_LIGHT, nullptr, light});
            }
        }
    }

    // The library gives every file one root node. When it carries nothing of its own and holds
    // several top-level nodes (or none) it is the library's, standing for the file: its children
    // are then the document's top-level objects. An empty root with one child may be the file's
    // own single top node (glTF) and is kept.
    bool StandsForTheFile(const aiNode& root) const {
        return root.mNumMeshes == 0 && !kinds_.contains(root.mName.C_Str()) &&
               root.mTransformation.IsIdentity() && root.mNumChildren != 1;
    }

    // Children go on the stack last first, so they are converted in their order.
    void PushChildren(const aiNode& node, Object* object) {
        if (node.mNumChildren > 0 && node.mChildren == nullptr) {
            throw ConversionError{"node " + Quoted(node.mName.C_Str()) +
                                  " lists children it does not hold"};
        }
        for (unsigned c = node.mNumChildren; c-- > 0;) {
            if (node.mChildren[c] != nullptr) pending_.push_back({node.mChildren[c], object});
        }
    }

    Object* Convert(const aiNode& node, Object* parent) {
        const std::string name = node.mName.C_Str();
        if (!visited_.insert(&node).second) {
            throw ConversionError{"node " + Quoted(name) + " appears twice in the tree"};
        }
        const Matrix transform = MatrixFrom(node.mTransformation);
        if (!transform.IsFinite()) {
            throw ConversionError{"node " + Quoted(name) + " has a transform that is not finite"};
        }
        std::vector<unsigned> meshes = UsableMeshesOf(node);
        Object* object = nullptr;
        if (!meshes.empty()) {
            object = MakeGeometry(name, std::move(meshes), parent);
        } else {
            object = MakeOther(name, parent);
        }
        object->SetLocalTransform(transform);
        return object;
    }

    std::vector<unsigned> UsableMeshesOf(const aiNode& node) const {
        std::vector<unsigned> meshes;
        if (node.mNumMeshes > 0 && node.mMeshes == nullptr) {
            throw ConversionError{"node " + Quoted(node.mName.C_Str()) +
                                  " lists meshes it does not hold"};
        }
        for (unsigned m = 0; m < node.mNumMeshes; ++m) {
            const unsigned index = node.mMeshes[m];
            if (index >= parts_.size()) {
                throw ConversionError{"node " + Quoted(node.mName.C_Str()) + " uses mesh " +
                                      std::to_string(index) + " of " +
                                      std::to_string(parts_.size())};
            }
            if (parts_[index] != nullptr) meshes.push_back(index);
        }
        return meshes;
    }

    // A polygon object for the first node that uses these meshes; an instance of it for every
    // later one.
    Object* MakeGeometry(const std::string& name, std::vector<unsigned> meshes, Object* parent) {
        const auto earlier = firstUser_.find(meshes);
        if (earlier != firstUser_.end()) {
            Object* instance =
                document_->CreateObject(HOST_OBJECT_INSTANCE, name, {parent, nullptr});
            instance->Data().SetLink(HOST_INSTANCE_LINK, earlier->second);
            return instance;
        }
        Object* polygon = document_->CreateObject(HOST_OBJECT_POLYGON, name, {parent, nullptr});
        auto mesh = std::make_shared<Mesh>();
        for (const unsigned index : meshes) mesh->parts.push_back(parts_[index]);
        polygon->SetMesh(std::move(mesh));
        firstUser_.emplace(std::move(meshes), polygon->Id());
        return polygon;
    }

    // A camera or a light with its look when one of that name is still to be placed, else a null.
    Object* MakeOther(const std::string& name, Object* parent) {
        const auto kind = kinds_.find(name);
        if (kind == kinds_.end()) {
            return document_->CreateObject(HOST_OBJECT_NULL, name, {parent, nullptr});
        }
        Object* object = document_->CreateObject(kind->second.type, name, {parent, nullptr});
        if (kind->second.camera != nullptr) {
            StoreCameraLens(object->Data(), LensOf(*kind->second.camera));
            if (kind->second.camera->mOrthographicWidth > 0.0F) {
                leftOut_.Add(LeftOutKind::OrthographicCameras, 1, name);
            }
        } else if (kind->second.light != nullptr) {
            StoreLightLook(object->Data(), LookOf(*kind->second.light));
        }
        kinds_.erase(kind);
        return object;
    }

    struct Kind {
        std::int32_t type;
        const aiCamera* camera;
        const aiLight* light;
    };

    const aiScene& scene_;
    std::unique_ptr<Document> document_;
    const std::optional<std::filesystem::path>& textureFolder_;
    ImportReport& leftOut_;
    std::vector<std::shared_ptr<const MeshPart>> parts_;  // by the library's mesh index
    std::unordered_map<std::string, Kind> kinds_;         // cameras and lights not yet placed
    std::map<std::vector<unsigned>, ObjectId> firstUser_;
    std::unordered_set<const aiNode*> visited_;
    std::vector<Pending> pending_;
    Progress* progress_ = nullptr;
    std::uint64_t converted_ = 0;
};

}  // namespace

ImportedScene ConvertImportedScene(const aiScene& scene, std::string_view documentName,
                                   std::string_view sourceName, Progress* progress,
                                   const std::optional<std::filesystem::path>& textureFolder) {
    ImportedScene result;
    try {
        Conversion conversion(scene, documentName, textureFolder, result.leftOut);
        conversion.ReportTo(progress);
        result.document = conversion.Run();
    } catch (const ConversionError& error) {
        result = {nullptr, std::string(sourceName) + ": " + error.message, {}};
    } catch (const std::bad_alloc&) {
        result = {nullptr, std::string(sourceName) + ": not enough memory to import the scene", {}};
    }
    return result;
}

}  // namespace vhost
