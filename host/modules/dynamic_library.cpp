#include "modules/dynamic_library.h"

#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "platform/utf8_path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace vhost {

namespace {

#if defined(_WIN32)
std::string LastErrorText() {
    const DWORD error = GetLastError();
    return std::system_category().message(static_cast<int>(error)) + " (system error " +
           std::to_string(error) + ")";
}
#endif

}  // namespace

DynamicLibrary::~DynamicLibrary() { Close(); }

DynamicLibrary::DynamicLibrary(DynamicLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

DynamicLibrary& DynamicLibrary::operator=(DynamicLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool DynamicLibrary::Open(const std::string& path) {
    Close();
    // The loaders of the systems word a missing file each their own way; the host says it alike.
    std::error_code error;
    if (!std::filesystem::exists(PathFromUtf8(path), error)) {
        error_ = "there is no such file";
        return false;
    }
#if defined(_WIN32)
    // An absolute path, so that the system's library search never picks another file of the
    // same name; the module's own folder is searched for what it imports.
    const std::filesystem::path file = std::filesystem::absolute(PathFromUtf8(path), error);
    handle_ = reinterpret_cast<void*>(
        LoadLibraryExW(file.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (handle_ == nullptr) {
        error_ = LastErrorText();
    }
#else
    // Each module keeps its symbols to itself, as modules of the host do.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = dlerror();
        error_ = reason != nullptr ? reason : "unknown error";
    }
#endif
    return handle_ != nullptr;
}

void DynamicLibrary::Close() {
    if (handle_ == nullptr) {
        return;
    }
#if defined(_WIN32)
    FreeLibrary(reinterpret_cast<HMODULE>(handle_));
#else
    dlclose(handle_);
#endif
    handle_ = nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr) {
        return nullptr;
    }
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle_), name));
#else
    return dlsym(handle_, name);
#endif
}

}  // namespace vhost
