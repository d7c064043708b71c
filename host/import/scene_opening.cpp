#include "import/scene_opening.h"

#include <string>

#include "host.h"
#include "import/scene_import.h"
#include "platform/utf8_path.h"
#include "text/ascii.h"

namespace vhost {

namespace {

bool IsHostSceneFile(const std::filesystem::path& path) {
    return AsciiLower(path.extension().string()) == ".json";
}

}  // namespace

SceneLoadResult OpenScene(const std::filesystem::path& path, ImportReport* leftOut) {
    if (leftOut != nullptr) *leftOut = ImportReport();
    if (IsHostSceneFile(path)) return LoadScene(path);
    ImportedScene imported = ImportScene(path);
    if (leftOut != nullptr) *leftOut = std::move(imported.leftOut);
    SceneLoadResult result;
    result.document = std::move(imported.document);
    result.error = std::move(imported.error);
    return result;
}

SceneLoadResult OpenScene(Host& host, const std::filesystem::path& path, ImportReport* leftOut) {
    ImportReport report;
    SceneLoadResult result = OpenScene(path, &report);
    WriteToConsole(host, report.Lines(Utf8FromPath(path)));
    if (leftOut != nullptr) *leftOut = std::move(report);
    return result;
}

void WriteToConsole(Host& host, const std::vector<std::string>& leftOut) {
    for (const std::string& line : leftOut) {
        host.WriteConsole({HOST_LOGGER_DEFAULT, HOST_TARGETAUDIENCE_ALL, HOST_WRITEMETA_DEFAULT,
                           line, "host", 0});
    }
}

}  // namespace vhost
