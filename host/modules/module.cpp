#include "modules/module.h"

#include <cstdint>
#include <cstring>

namespace vhost {

namespace {

// A record links a handful of declarations; a longer list means a damaged or cyclic one.
constexpr int kMaxDeclarations = 64;
// Identifiers are short reverse-domain names.
constexpr std::size_t kMaxIdentifierLength = 256;

bool ReadIdentifier(const char* text, std::string& identifier) {
    if (text == nullptr) {
        return false;
    }
    const std::size_t length = strnlen(text, kMaxIdentifierLength + 1);
    if (length == 0 || length > kMaxIdentifierLength) {
        return false;
    }
    identifier.assign(text, length);
    return true;
}

}  // namespace

std::unique_ptr<Module> Module::Open(const std::string& path, std::string& error) {
    std::unique_ptr<Module> module(new Module());
    module->path_ = path;
    if (!module->library_.Open(path)) {
        error = "cannot be loaded: " + module->library_.Error();
        return nullptr;
    }
    for (const char* name :
         {HOST_MODULE_ENTRY_SYMBOL, HOST_MODULE_RECORD_SYMBOL, HOST_MODULE_YIELD_SYMBOL}) {
        if (module->library_.Symbol(name) == nullptr) {
            error = std::string("does not export '") + name + "'";
            return nullptr;
        }
    }
    module->entry_ =
        reinterpret_cast<HostModuleEntry>(module->library_.Symbol(HOST_MODULE_ENTRY_SYMBOL));
    module->record_ =
        static_cast<const HostModuleRecord*>(module->library_.Symbol(HOST_MODULE_RECORD_SYMBOL));
    if (!module->ReadRecord(error)) {
        return nullptr;
    }
    return module;
}

bool Module::ReadRecord(std::string& error) {
    if (record_->version != HOST_MODULE_RECORD_VERSION ||
        record_->compatibility != HOST_MODULE_RECORD_VERSION) {
        error = "has a module record of version " + std::to_string(record_->version) + "/" +
                std::to_string(record_->compatibility) + ", expected " +
                std::to_string(HOST_MODULE_RECORD_VERSION);
        return false;
    }
    int count = 0;
    for (const HostModuleDeclaration* declaration = record_->declarations; declaration != nullptr;
         declaration = declaration->next) {
        if (++count > kMaxDeclarations) {
            error = "has a damaged module record: more than " + std::to_string(kMaxDeclarations) +
                    " declarations";
            return false;
        }
        std::string identifier;
        if (declaration->module != record_ ||
            !ReadIdentifier(declaration->identifier, identifier)) {
            error = "has a damaged module record: declaration " + std::to_string(count) +
                    " does not belong to it or names nothing";
            return false;
        }
        if (declaration->kind == HOST_DECLARATION_MODULE) {
            identifier_ = identifier;
        } else if (declaration->kind == HOST_DECLARATION_FRAMEWORK) {
            frameworks_.push_back(identifier);
        }
    }
    if (identifier_.empty()) {
        error = "has a module record that declares no module identifier";
        return false;
    }
    return true;
}

std::int32_t Module::Call(std::int32_t action, void* p1, void* p2, void* p3) const {
    return entry_(action, p1, p2, p3);
}

// The entry point takes untyped pointers; the module only reads the table and the path.
std::int32_t Module::Initialise(HostTable* table) {
    HostStringView path{path_.data(), path_.size()};
    const std::int32_t answer = Call(HOST_ACTION_INIT, table, nullptr, &path);
    if (answer == HOST_ENTRY_OK) phase_ = ModulePhase::Initialised;
    return answer;
}

std::int32_t Module::LoadResource() {
    const std::int32_t answer = PluginMessage(HOST_PLUGINMSG_LOAD_RESOURCE);
    phase_ = ModulePhase::ResourceLoaded;
    return answer;
}

std::int32_t Module::Start() {
    phase_ = ModulePhase::Starting;
    const std::int32_t answer = Call(HOST_ACTION_START);
    if (answer == HOST_ENTRY_OK) phase_ = ModulePhase::Running;
    return answer;
}

// The message action carries the message id in its first pointer argument.
std::int32_t Module::PluginMessage(std::int32_t message, void* data) const {
    // NOLINTNEXTLINE(performance-no-int-to-ptr): an id, never dereferenced
    void* const id = reinterpret_cast<void*>(std::uintptr_t{static_cast<std::uint32_t>(message)});
    return Call(HOST_ACTION_MESSAGE, id, data);
}

std::int32_t Module::End() {
    phase_ = ModulePhase::Ending;
    return Call(HOST_ACTION_END);
}

void Module::Unload() {
    library_.Close();
    phase_ = ModulePhase::Unloaded;
}

}  // namespace vhost
