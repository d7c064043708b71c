// Opening a scene file of any kind: the host's own JSON scenes and the 3D files of other
// applications.
#pragma once

#include <filesystem>

#include "scene_file/scene_file.h"

namespace vhost {

// A file named *.json (in any letter case) is read as the host's own scene file (LoadScene);
// every other file is imported (ImportScene). Error messages begin with `path`.
SceneLoadResult OpenScene(const std::filesystem::path& path);

}  // namespace vhost
