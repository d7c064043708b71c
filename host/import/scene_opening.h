// Opening a scene file of any kind: the host's own JSON scenes and the 3D files of other
// applications.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "import/import_report.h"
#include "scene_file/scene_file.h"

namespace vhost {

class Host;

// A file named *.json (in any letter case) is read as the host's own scene file (LoadScene);
// every other file is imported (ImportScene). Error messages begin with `path`. When `leftOut` is
// given it receives what an import left out of the file (nothing for the host's own files, and
// nothing when the file is refused).
SceneLoadResult OpenScene(const std::filesystem::path& path, ImportReport* leftOut = nullptr);

// The same, for `host`: what an import left out is also written to its console, one line per kind
// beginning with `path` (ImportReport::Lines), so the console, and the studio's console panel,
// hear of it. The host's open action does the same once the document is open.
SceneLoadResult OpenScene(Host& host, const std::filesystem::path& path,
                          ImportReport* leftOut = nullptr);

// Writes the lines of an import's report (ImportReport::Lines) to `host`'s console.
void WriteToConsole(Host& host, const std::vector<std::string>& leftOut);

}  // namespace vhost
