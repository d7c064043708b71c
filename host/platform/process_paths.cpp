#include "platform/process_paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vhost {

namespace {

std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string ExecutablePath() {
#if defined(_WIN32)
    std::wstring buffer(32768, L'\0');
    const DWORD size =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(size);
    return std::filesystem::path(buffer).u8string();
#else
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
#endif
}

std::string DefaultModulePath() {
    const std::filesystem::path program(ExecutablePath());
    return (program.parent_path() / "plugins" / "vela2023" / "vela2023.xdl64").string();
}

std::string DefaultPreferencesFolder() {
#if defined(_WIN32)
    const std::string appData = FromEnvironment("APPDATA");
    if (!appData.empty()) {
        return (std::filesystem::path(appData) / "vela-host").string();
    }
#endif
    const std::string config = FromEnvironment("XDG_CONFIG_HOME");
    if (!config.empty()) {
        return (std::filesystem::path(config) / "vela-host").string();
    }
    const std::string home = FromEnvironment("HOME");
    if (!home.empty()) {
        return (std::filesystem::path(home) / ".config" / "vela-host").string();
    }
    return ".vela-host";
}

}  // namespace vhost
