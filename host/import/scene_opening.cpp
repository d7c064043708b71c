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

SceneLoadResult OpenScene(const std::filesystem::path& path, ImportReport* leftOut,
                          Progress* progress) {
    if (leftOut != nullptr) *leftOut = ImportReport();
    if (IsHostSceneFile(path)) return LoadScene(path, progress);
    ImportedScene imported = ImportScene(path, ImportRoute::HandBack, progress);
    if (leftOut != nullptr) *leftOut = std::move(imported.leftOut);
    SceneLoadResult result;
    result.document = std::move(imported.document);
    result.error = std::move(imported.error);
    result.cancelled = imported.cancelled;
    return result;
}

}  // namespace vhost
