// The step from the assimp library's scene to a document of the host (docs/importing.md).
#pragma once

#include <string_view>

#include "scene_file/scene_file.h"

struct aiScene;

namespace vhost {

// A new document named `documentName` holding `scene`'s node tree as objects. Meshes without
// vertices and triangles that name no vertex are left out; a node whose transform is not finite,
// a mesh or material index out of range, or a node met twice refuses the scene with a message
// that begins with `sourceName`.
SceneLoadResult ConvertImportedScene(const aiScene& scene, std::string_view documentName,
                                     std::string_view sourceName);

}  // namespace vhost
