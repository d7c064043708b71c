// Which module's code the host is running. The host enters a module through its entry point and
// through the class tables of what it registered (commands, preference pages), and marks each such
// call with a Scope naming the module, so that whatever the module asks of the host during the
// call is known to come from it. Calls nest: a command's execute may open a dialog, or make the
// host ask every command for its state, all inside the one call.
#pragma once

namespace vhost {

class Module;

class ModuleCalls {
public:
    ModuleCalls() = default;
    ~ModuleCalls() = default;
    ModuleCalls(const ModuleCalls&) = delete;
    ModuleCalls& operator=(const ModuleCalls&) = delete;

    // The module whose code runs now (the innermost call); null while the host runs none: in the
    // host's own code, in a callback of something the host registered itself, or when a caller
    // drives the table without the host.
    const Module* Current() const { return current_; }

    // One call into `module`'s code (null: into code that is not a module's), for as long as the
    // scope lives.
    class Scope {
    public:
        Scope(ModuleCalls& calls, const Module* module) : calls_(calls), outer_(calls.current_) {
            calls_.current_ = module;
        }
        ~Scope() { calls_.current_ = outer_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ModuleCalls& calls_;
        const Module* outer_;
    };

private:
    const Module* current_ = nullptr;
};

}  // namespace vhost
