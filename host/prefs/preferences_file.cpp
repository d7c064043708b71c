#include "prefs/preferences_file.h"

#include <chrono>
#include <filesystem>
#include <system_error>

#include "model/scene.h"
#include "platform/utf8_path.h"
#include "scene_file/scene_file.h"

namespace vhost {

namespace {

constexpr const char* kDocumentName = "Preferences";

// A name beside `file` that is not taken yet, for setting a damaged file aside.
std::filesystem::path SetAsideName(const std::filesystem::path& file) {
    const auto stamp = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    std::filesystem::path candidate = file;
    candidate += ".damaged-" + std::to_string(stamp);
    for (int n = 1; std::filesystem::exists(candidate); ++n) {
        candidate = file;
        candidate += ".damaged-" + std::to_string(stamp) + "-" + std::to_string(n);
    }
    return candidate;
}

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
    const std::filesystem::path aside = SetAsideName(file);
    std::filesystem::rename(file, aside, error);
    if (error) {
        return {"the preferences could not be read (" + loaded.error +
                    "), and could not be set aside: " + error.message() +
                    "; the host starts with default preferences and will not overwrite the file",
                false};
    }
    return {"the preferences could not be read (" + loaded.error + "); the file was set aside as " +
                Utf8FromPath(aside) + " and the host starts with default preferences",
            true};
}

std::string SavePreferences(const std::string& folder, const Container& world) {
    std::error_code error;
    std::filesystem::create_directories(PathFromUtf8(folder), error);
    if (error) {
        return "cannot make the preferences folder " + folder + ": " + error.message();
    }
    Document carrier(kDocumentName);
    carrier.Data() = world;
    carrier.RemoveTakeData();
    const SceneSaveResult saved = SaveScene(carrier, PathFromUtf8(folder) / kPreferencesFileName);
    return saved.error;
}

}  // namespace vhost
