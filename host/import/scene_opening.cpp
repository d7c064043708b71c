#include "import/scene_opening.h"

#include <string>

#include "import/scene_import.h"
#include "text/ascii.h"

namespace vhost {

namespace {

bool IsHostSceneFile(const std::filesystem::path& path) {
    return AsciiLower(path.extension().string()) == ".json";
}

}  // namespace

SceneLoadResult OpenScene(const std::filesystem::path& path) {
    return IsHostSceneFile(path) ? LoadScene(path) : ImportScene(path);
}

}  // namespace vhost
