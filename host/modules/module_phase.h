// Where a loaded module is in its life. The host moves every module through these phases in this
// order; a step that fails sends it straight to ending. What a module asks of the host is checked
// against its phase: it may register plug-ins only while it is starting.
#pragma once

#include <string_view>

namespace vhost {

enum class ModulePhase {
    Loaded,          // its file is open and its record read; the entry point was not called yet
    Initialised,     // it accepted the host's table at initialisation
    ResourceLoaded,  // it was asked to load its resource (it starts whether that worked or not)
    Starting,        // inside its start call: the one phase in which it registers plug-ins
    Running,         // started; the host calls what it registered
    Ending,          // from the moment the host ends it until its library is closed: what it
                     // registered is disposed of, and it receives its end message
    Unloaded,        // its library is closed; nothing of it may be called
};

// The phase's name in the host's messages: "loaded", "initialised", "resource loaded",
// "starting", "running", "ending", "unloaded".
constexpr std::string_view PhaseName(ModulePhase phase) {
    switch (phase) {
        case ModulePhase::Loaded:
            return "loaded";
        case ModulePhase::Initialised:
            return "initialised";
        case ModulePhase::ResourceLoaded:
            return "resource loaded";
        case ModulePhase::Starting:
            return "starting";
        case ModulePhase::Running:
            return "running";
        case ModulePhase::Ending:
            return "ending";
        case ModulePhase::Unloaded:
            return "unloaded";
    }
    return "unknown";
}

}  // namespace vhost
