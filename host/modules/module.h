// One module file loaded by the host: its library, its three exports, its module record, and its
// phase, which the entry point's life-cycle steps move on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "modules/dynamic_library.h"
#include "modules/module_phase.h"
#include "vela_host/host_entry.h"
#include "vela_host/host_table.h"

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

    ModulePhase Phase() const { return phase_; }

    // The life-cycle steps, in the order the host takes them; each answers the entry point's
    // answer and moves the phase. Initialisation hands over `table` and the module file's path;
    // an answer other than HOST_ENTRY_OK leaves the module loaded. The start answered with
    // HOST_ENTRY_OK makes it running; while the call lasts, it is starting.
    std::int32_t Initialise(HostTable* table);
    std::int32_t LoadResource();
    std::int32_t Start();
    // A plug-in message (HOST_PLUGINMSG_* or one of another's); the phase stays.
    std::int32_t PluginMessage(std::int32_t message, void* data = nullptr) const;
    // The host begins to end the module: after a failed step, or at shutdown. The module is
    // ending from here until it is unloaded; the host disposes of what it registered and sends
    // the end message meanwhile.
    void BeginEnding() { phase_ = ModulePhase::Ending; }
    std::int32_t End();
    // Closes the library. Nothing of the module may be called afterwards.
    void Unload();

    // Calls the entry point as it is, leaving the phase alone: for a driver of the entry point
    // that takes the life-cycle steps itself.
    std::int32_t Call(std::int32_t action, void* p1 = nullptr, void* p2 = nullptr,
                      void* p3 = nullptr) const;

private:
    Module() = default;
    bool ReadRecord(std::string& error);

    std::string path_;
    DynamicLibrary library_;
    HostModuleEntry entry_ = nullptr;
    const HostModuleRecord* record_ = nullptr;
    std::string identifier_;
    std::vector<std::string> frameworks_;
    ModulePhase phase_ = ModulePhase::Loaded;
};

}  // namespace vhost
