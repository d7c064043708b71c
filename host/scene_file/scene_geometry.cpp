#include "scene_file/scene_geometry.h"

#include <memory>

namespace vhost::scene_file {

GeometryIndex::GeometryIndex(const Document& document) {
    document.ForEach([this](Object& object) {
        if (!anyTransform_ && !object.LocalTransform().IsIdentity()) anyTransform_ = true;
        const Mesh* mesh = object.GetMesh().get();
        if (mesh == nullptr || meshIndex_.contains(mesh)) return true;
        meshIndex_.emplace(mesh, static_cast<std::uint32_t>(meshes_.size()));
        meshes_.push_back(mesh);
        for (const auto& part : mesh->parts) {
            if (partIndex_.emplace(part.get(), static_cast<std::uint32_t>(parts_.size())).second) {
                parts_.push_back(part.get());
            }
        }
        return true;
    });
}

std::string AttachGeometry(const SceneGeometry& geometry, const MeshFileSource& source) {
    if (!geometry.meshFile) return {};
    std::string bytes;
    if (std::string error = source.read ? source.read(bytes) : "the mesh file was not given";
        !error.empty()) {
        return source.name + ": " + error;
    }
    MeshFileReading reading = DecodeMeshFile(bytes, *geometry.meshFile);
    if (!reading.error.empty()) return source.name + ": " + reading.error;
    std::vector<std::shared_ptr<const Mesh>> meshes;
    meshes.reserve(geometry.meshes.size());
    for (const std::vector<std::uint32_t>& parts : geometry.meshes) {
        auto mesh = std::make_shared<Mesh>();
        mesh->parts.reserve(parts.size());
        for (std::uint32_t part : parts) mesh->parts.push_back(reading.parts.at(part));
        meshes.push_back(std::move(mesh));
    }
    for (const auto& [object, mesh] : geometry.uses) object->SetMesh(meshes.at(mesh));
    return {};
}

}  // namespace vhost::scene_file
