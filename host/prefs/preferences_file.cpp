#include "prefs/preferences_file.h"

#include <filesystem>
#include <system_error>

#include "model/scene.h"
#include "platform/set_aside.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"
#include "text/quoting.h"

namespace vhost {

namespace {

constexpr const char* kDocumentName = "Preferences";

}  // namespace

PreferencesLoad LoadPreferences(const std::string& folder, Container& world) {
    const std::filesystem::path file = PathFromUtf8(folder) / kPreferencesFileName;
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return {};
    }
    SceneLoadResult loaded = LoadScene(file);
    if (loaded.Ok()) {
        if (loaded.document->FirstObject() == nullptr) {
            world = loaded.document->Data();
            return {};
        }
        loaded.error = Utf8FromPath(file) + ": expected preferences, found a scene with objects";
    }
    const SetAside aside = SetFileAside(file);
    if (aside.error) {
        return {"the preferences could not be read (" + loaded.error +
                    "), and could not be set aside: " + aside.error.message() +
                    "; the host starts with default preferences and will not overwrite the file",
                false};
    }
    return {"the preferences could not be read (" + loaded.error + "); the file was set aside as " +
                Quoted(Utf8FromPath(aside.path)) + " and the host starts with default preferences",
            true};
}

std::string SavePreferences(const std::string& folder, const Container& world) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (error) {
        return "cannot make the preferences folder " + Quoted(folder) + ": " + error.message();
    }
    Document carrier(kDocumentName);
    carrier.Data() = world;
    carrier.RemoveTakeData();
    const SceneSaveResult saved = SaveScene(carrier, PathFromUtf8(folder) / kPreferencesFileName);
    return saved.error;
}

}  // namespace vhost
