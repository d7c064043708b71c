// A host with the module loaded and started, for the targets that drive the module: made once per
// process and never destroyed, so the module is never unloaded while the fuzzer runs.
#pragma once

#include <vector>

#include "fuzz_check.h"
#include "host.h"
#include "model/scene.h"

namespace vfuzz {

// `file` is the module's path (the targets get it as VELA_MODULE_FILE).
inline vhost::Host& StartedHost(const char* file) {
    static vhost::Host* const host = [file] {
        auto* started = new vhost::Host();
        const vhost::ModuleLoadReport report = started->LoadModule(file);
        Require(report.started && report.messages.empty(), "the module starts cleanly");
        started->FinishStartup();
        return started;
    }();
    return *host;
}

// Every object of `document`, parents before their children.
inline std::vector<vhost::Object*> AllObjects(const vhost::Document& document) {
    std::vector<vhost::Object*> objects;
    document.ForEach([&objects](vhost::Object& object) {
        objects.push_back(&object);
        return true;
    });
    return objects;
}

}  // namespace vfuzz
