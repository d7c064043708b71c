#include "platform/process_paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
// windows.h first: shellapi.h needs its types.
#include <shellapi.h>
#endif

namespace vhost {

namespace {

// A variable of the environment in UTF-8; empty when it is not set.
std::string FromEnvironment(const char* name) {
#if defined(_WIN32)
    // The narrow environment holds the ANSI code page; the wide one is what the system keeps.
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = _wgetenv(wideName.c_str());
    return value != nullptr ? Utf8FromPath(std::filesystem::path(value)) : std::string();
#else
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
#endif
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
#if defined(_WIN32)
    (void)argc;
    (void)argv;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; wide != nullptr && i < count; ++i) {
        arguments.push_back(Utf8FromPath(std::filesystem::path(wide[i])));
    }
    LocalFree(reinterpret_cast<HLOCAL>(wide));
    return arguments;
#else
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
#endif
}

std::string ExecutablePath() {
#if defined(_WIN32)
    std::wstring buffer(32768, L'\0');
    const DWORD size =
        GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    buffer.resize(size);
    return Utf8FromPath(std::filesystem::path(buffer));
#else
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : Utf8FromPath(path);
#endif
}

std::string DefaultStartupFolder() {
    return Utf8FromPath(PathFromUtf8(ExecutablePath()).parent_path());
}

std::string DefaultModulePath() {
    const std::filesystem::path program = PathFromUtf8(ExecutablePath());
    return Utf8FromPath(program.parent_path() / "plugins" / "vela2023" / "vela2023.xdl64");
}

std::string DefaultPreferencesFolder() {
#if defined(_WIN32)
    const std::string appData = FromEnvironment("APPDATA");
    if (!appData.empty()) {
        return Utf8FromPath(PathFromUtf8(appData) / "vela-host");
    }
#endif
    const std::string config = FromEnvironment("XDG_CONFIG_HOME");
    if (!config.empty()) {
        return Utf8FromPath(PathFromUtf8(config) / "vela-host");
    }
    const std::string home = FromEnvironment("HOME");
    if (!home.empty()) {
        return Utf8FromPath(PathFromUtf8(home) / ".config" / "vela-host");
    }
    return ".vela-host";
}

}  // namespace vhost
