// The geometry of a scene file (format version 2): transforms on the objects, meshes listed by
// their parts in the scene, the parts themselves in the mesh file (mesh_companion.h).
//
// Writing, a document's meshes are indexed first: each distinct Mesh and MeshPart in the order
// the objects first show them. Reading, the scene's own members are gathered while the objects
// are read and the mesh file is read last, so that each part and each mesh is built once and the
// objects that shared one share it again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/geometry.h"
#include "model/scene.h"
#include "scene_file/mesh_companion.h"

namespace vhost::scene_file {

// The first version of the format that holds geometry; scenes without any are written as version
// 1. Version 3 adds textures, texture points and vertex colours (layout 2 of the mesh file) and
// is written for every scene with geometry; version 2 scenes are still read.
inline constexpr std::int64_t kSceneGeometryVersion = 2;
inline constexpr std::int64_t kSceneLatestVersion = 3;

// A document's transforms and meshes as a version 2 scene stores them.
class GeometryIndex {
public:
    explicit GeometryIndex(const Document& document);

    // Whether the document has anything only version 2 keeps.
    bool Any() const { return anyTransform_ || !meshes_.empty(); }
    const std::vector<const Mesh*>& Meshes() const { return meshes_; }
    const std::vector<const MeshPart*>& Parts() const { return parts_; }
    std::uint32_t MeshIndex(const Mesh* mesh) const { return meshIndex_.at(mesh); }
    std::uint32_t PartIndex(const MeshPart* part) const { return partIndex_.at(part); }

private:
    bool anyTransform_ = false;
    std::vector<const Mesh*> meshes_;
    std::vector<const MeshPart*> parts_;
    std::unordered_map<const Mesh*, std::uint32_t> meshIndex_;
    std::unordered_map<const MeshPart*, std::uint32_t> partIndex_;
};

// Where a scene's mesh file comes from: its name as messages give it, and its bytes.
struct MeshFileSource {
    std::string name;
    // Fills `bytes`, or answers why it cannot (e.g. "cannot open the file: No such file ...").
    std::function<std::string(std::string& bytes)> read;
};

// What the scene's JSON says of geometry, gathered by a reader.
struct SceneGeometry {
    std::optional<MeshFileRecord> meshFile;               // absent: the scene has no mesh file
    std::vector<std::vector<std::uint32_t>> meshes;       // each mesh's parts
    std::vector<std::pair<Object*, std::uint32_t>> uses;  // which object shows which mesh
};

// Reads the mesh file when the scene names one and gives each object its mesh. Answers empty, or
// the message, which begins with the mesh file's name. The readers have checked every index
// against the lists they index.
std::string AttachGeometry(const SceneGeometry& geometry, const MeshFileSource& source);

}  // namespace vhost::scene_file
