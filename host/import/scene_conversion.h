// The step from the assimp library's scene to a document of the host (docs/importing.md).
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "import/imported_scene.h"
#include "progress/progress.h"

struct aiScene;

namespace vhost {

// A new document named `documentName` holding `scene`'s node tree as objects, with the report of
// what it left out: meshes without vertices, triangles that name no vertex or a vertex that is not
// finite, faces that are no triangles, normals that are not finite, and what the host does not map
// (import_report.h). A node whose transform is not finite, a mesh index out of range, or a node met
// twice refuses the scene with a message that begins with `sourceName` (and no report).
// `progress`, when given, is told the nodes converted. Base-colour textures that are not embedded
// are read from `textureFolder` only (import/texture_images.h); without one they are left out.
ImportedScene ConvertImportedScene(
    const aiScene& scene, std::string_view documentName, std::string_view sourceName,
    Progress* progress = nullptr,
    const std::optional<std::filesystem::path>& textureFolder = std::nullopt);

}  // namespace vhost
