// The importer of builds without the assimp library.
#include <string>

#include "import/scene_import.h"
#include "platform/utf8_path.h"

namespace vhost {

namespace {

ImportedScene Unavailable(const std::string& sourceName) {
    ImportedScene result;
    result.error = sourceName +
                   ": this host was built without the importer; it opens only its own .json scene "
                   "files";
    return result;
}

}  // namespace

bool ImporterAvailable() { return false; }

ImportedScene ImportScene(const std::filesystem::path& path, ImportRoute /*route*/,
                          Progress* /*progress*/) {
    return Unavailable(Utf8FromPath(path));
}

ImportedScene ImportSceneFromMemory(std::string_view /*bytes*/, std::string_view /*formatHint*/,
                                    std::string_view sourceName,
                                    const std::optional<std::filesystem::path>& /*textureFolder*/) {
    return Unavailable(std::string(sourceName));
}

}  // namespace vhost
