#include "modules/module.h"

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

}  // namespace vhost
