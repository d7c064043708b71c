#include "Main.h"

#include <cstdint>
#include <new>

#include "VelaPrefs.h"
#include "host_api/host_interface.h"
#include "vela2023.h"
#include "vela_host/host_entry.h"

namespace {

constexpr const char* kSourceFile = "..\\source\\Main";
constexpr Int32 kLineCommandNotRegistered = 9;
constexpr Int32 kLinePageNotRegistered = 13;
constexpr Int32 kLineBanner = 16;

// Counts initialisation messages not yet matched by an end message; only the first acts. The host
// ends a module whose initialisation it abandoned too, so refused initialisations count as well.
Int32 g_startCount = 0;

// Absent until the first initialisation; released at the last end message.
Filename* g_modulePath = nullptr;

// The loaded plug-in resource. Zero at load; released at the last end message (after which a new
// initialisation loads it afresh), and once more at process exit for a host that unloads the
// module without ending it.
struct PluginResource {
    HostResource* handle = nullptr;
    Bool attempted = false;
    Filename* folder = nullptr;

    void Release() {
        const HostTable* host = hostapi::HostInterface::Table();
        if (handle != nullptr && host != nullptr) {
            host->registry->free_resource(host, handle);
        }
        handle = nullptr;
        attempted = false;
        hostapi::HostInterface::SetResource(nullptr);
        delete folder;
        folder = nullptr;
    }

    PluginResource() = default;
    PluginResource(const PluginResource&) = delete;
    PluginResource& operator=(const PluginResource&) = delete;
    ~PluginResource() { Release(); }
};

PluginResource g_resource;

Bool IsCoreModulesFolder(const Filename& folder) {
    const HostTable* host = hostapi::HostInterface::Table();
    const Filename coreModules(String(hostapi::ReadText([host](char* buffer, std::size_t capacity) {
        return host->files->get_folder(host, HOST_FOLDER_CORE_MODULES, buffer, capacity);
    })));
    return coreModules.IsPopulated() && folder == coreModules;
}

Filename StartupFolder() {
    const HostTable* host = hostapi::HostInterface::Table();
    return Filename(String(hostapi::ReadText([host](char* buffer, std::size_t capacity) {
        return host->files->get_folder(host, HOST_FOLDER_STARTUP, buffer, capacity);
    })));
}

Bool LoadResource() {
    const Filename folder = GetResourceFolder();
    if (g_resource.folder == nullptr) {
        g_resource.folder = new (std::nothrow) Filename(folder);
        if (g_resource.folder == nullptr) {
            return false;
        }
    }
    if (g_resource.attempted) {
        return g_resource.handle != nullptr;
    }
    const HostTable* host = hostapi::HostInterface::Table();
    g_resource.handle =
        host->registry->load_resource(host, hostapi::View(g_resource.folder->GetString().View()));
    g_resource.attempted = true;
    hostapi::HostInterface::SetResource(g_resource.handle);
    return g_resource.handle != nullptr;
}

// A later initialisation is answered as the first was, and only for the table the first handed
// over: the end and message actions carry no table, so the loaded module serves one host.
Int32 Initialise(const HostTable* table, const HostStringView* modulePath) {
    using hostapi::HostInterface;
    ++g_startCount;
    if (g_startCount != 1) {
        return HostInterface::IsAttached() && HostInterface::Table() == table
                   ? HOST_ENTRY_OK
                   : HOST_ENTRY_UNSUPPORTED_HOST;
    }
    if (!HostInterface::Supports(table) || modulePath == nullptr) {
        HostInterface::Detach();
        return HOST_ENTRY_UNSUPPORTED_HOST;
    }
    HostInterface::Attach(table);
    g_modulePath = new (std::nothrow) Filename(String(
        std::string_view(modulePath->data != nullptr ? modulePath->data : "", modulePath->size)));
    if (g_modulePath != nullptr) {
        hostapi::HostInterface::SetModulePath(&g_modulePath->GetString().GetUtf8());
    }
    return HOST_ENTRY_OK;
}

// An end that matches no initialisation is answered and changes nothing: the count never goes
// below zero, so a later initialisation is still the first.
Int32 End() {
    if (g_startCount == 0) {
        return HOST_ENTRY_OK;
    }
    --g_startCount;
    if (g_startCount != 0) {
        return HOST_ENTRY_OK;
    }
    g_resource.Release();
    hostapi::HostInterface::SetModulePath(nullptr);
    delete g_modulePath;
    g_modulePath = nullptr;
    return HOST_ENTRY_OK;
}

}  // namespace

Filename GetModulePath() { return g_modulePath != nullptr ? *g_modulePath : Filename(); }

Filename GetResourceFolder() {
    if (g_modulePath != nullptr) {
        const Filename moduleFolder = g_modulePath->GetDirectory();
        if (IsCoreModulesFolder(moduleFolder)) {
            Filename name = g_modulePath->GetFile();
            name.ClearSuffix();
            return StartupFolder() + String("resource") + String("modules") + name;
        }
        return moduleFolder + String("res");
    }
    return Filename(String("res"));
}

void WriteConsoleLine(const String& text, const char* file, Int32 line) {
    const maxon::LoggerRef logger = maxon::LoggerRef::Find(String(HOST_LOGGER_DEFAULT));
    if (!logger.IsValid()) {
        return;
    }
    logger.Write(maxon::TARGETAUDIENCE::ALL, text, maxon::SourceLocation{file, line},
                 maxon::WRITEMETA::DEFAULT);
}

Bool PluginStart() {
    if (!RegisterVela()) {
        WriteConsoleLine("Vela could not be registered.", kSourceFile, kLineCommandNotRegistered);
        return false;
    }
    if (!RegisterVelaPrefs()) {
        WriteConsoleLine("VelaPrefs could not be registered.", kSourceFile, kLinePageNotRegistered);
        return false;
    }
    WriteConsoleLine(
        "Vela Button 2023 for Cinema 4D 2023.0.1 by Velacraft Studio (velacraft.example.org)",
        kSourceFile, kLineBanner);
    return true;
}

Bool PluginMessage(Int32 id, void* /*data*/) {
    switch (id) {
        case HOST_PLUGINMSG_NONE:
            return true;
        case HOST_PLUGINMSG_LOAD_RESOURCE:
            return LoadResource();
        default:
            return false;
    }
}

// A module its host has not handed a usable table to calls nothing: it neither starts nor handles
// messages.
extern "C" HOST_MODULE_EXPORT Int32 c4d_main(Int32 action, void* p1, void* p2, void* p3) {
    const bool attached = hostapi::HostInterface::IsAttached();
    switch (action) {
        case HOST_ACTION_INIT:
            return Initialise(static_cast<const HostTable*>(p1),
                              static_cast<const HostStringView*>(p3));
        case HOST_ACTION_MESSAGE: {
            if (!attached) {
                return HOST_ENTRY_UNHANDLED;
            }
            const auto id = static_cast<Int32>(
                static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p1) & 0xFFFFFFFFU));
            return PluginMessage(id, p2) ? HOST_ENTRY_OK : HOST_ENTRY_UNHANDLED;
        }
        case HOST_ACTION_START:
            return attached && PluginStart() ? HOST_ENTRY_OK : HOST_ENTRY_FAILED_START;
        case HOST_ACTION_END:
            return End();
        case HOST_ACTION_QUERY:
            return HOST_ENTRY_PLUGIN_MODULE;
        default:
            return HOST_ENTRY_UNHANDLED;
    }
}
