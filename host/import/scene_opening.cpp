#include "import/scene_opening.h"

#include <algorithm>
#include <string>

#include "import/scene_import.h"

namespace vhost {

namespace {

bool IsHostSceneFile(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".json";
}

}  // namespace

SceneLoadResult OpenScene(const std::filesystem::path& path) {
    return IsHostSceneFile(path) ? LoadScene(path) : ImportScene(path);
}

}  // namespace vhost
