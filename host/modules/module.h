// One module file loaded by the host: its library, its three exports and its module record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modules/dynamic_library.h"
#include "vela_host/host_entry.h"

namespace vhost {

class Module {
public:
    // Opens the module file and checks its exports and its module record. Null on failure, with
    // `error` saying which step failed and why.
    static std::unique_ptr<Module> Open(const std::string& path, std::string& error);

    ~Module() = default;
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const std::string& Path() const { return path_; }
    // The module's identifier from its record, e.g. "org.example.velacraft.vela2023".
    const std::string& Identifier() const { return identifier_; }
    const std::vector<std::string>& Frameworks() const { return frameworks_; }

    // Calls the entry point.
    std::int32_t Call(std::int32_t action, void* p1 = nullptr, void* p2 = nullptr,
                      void* p3 = nullptr) const;

    // Closes the library. Nothing of the module may be called afterwards.
    void Unload() { library_.Close(); }

private:
    Module() = default;
    bool ReadRecord(std::string& error);

    std::string path_;
    DynamicLibrary library_;
    HostModuleEntry entry_ = nullptr;
    const HostModuleRecord* record_ = nullptr;
    std::string identifier_;
    std::vector<std::string> frameworks_;
};

}  // namespace vhost
