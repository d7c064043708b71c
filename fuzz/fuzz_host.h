// A host with the module loaded and started, for the targets that drive the module: made once per
// process and never destroyed, so the module is never unloaded while the fuzzer runs.
#pragma once

#include "fuzz_check.h"
#include "host.h"

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

}  // namespace vfuzz
