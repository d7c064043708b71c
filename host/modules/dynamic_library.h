// A shared library opened by path, and its exported symbols. The platform's loader (dlopen or
// LoadLibrary) lives behind this class only.
#pragma once

#include <string>

namespace vhost {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;
    DynamicLibrary(DynamicLibrary&& other) noexcept;
    DynamicLibrary& operator=(DynamicLibrary&& other) noexcept;

    // Opens the library; on failure answers false and `Error()` says why.
    bool Open(const std::string& path);
    // Closes it; every pointer into it becomes invalid.
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }

    // The address of an exported symbol, or null.
    void* Symbol(const char* name) const;
    const std::string& Error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace vhost
