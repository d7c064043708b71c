// Opening a scene file of any kind: the host's own JSON scenes and the 3D files of other
// applications.
#pragma once

#include <filesystem>

#include "import/import_report.h"
#include "scene_file/scene_file.h"

namespace vhost {

// A file named *.json (in any letter case) is read as the host's own scene file (LoadScene);
// every other file is imported (ImportScene). Error messages begin with `path`. When `leftOut` is
// given it receives what an import left out of the file (nothing for the host's own files, and
// nothing when the file is refused). `progress`, when given, is told how far the reading is and
// may cancel it (the result is then `cancelled`).
SceneLoadResult OpenScene(const std::filesystem::path& path, ImportReport* leftOut = nullptr,
                          Progress* progress = nullptr);

}  // namespace vhost
