// The host side of the registry area: command registration, plug-in look-up, resources.
#include <memory>

#include "host.h"
#include "media/bitmap.h"
#include "prefs/preference_pages.h"
#include "resources/resource_loader.h"
#include "table/table_support.h"
#include "table_areas.h"

namespace vhost::table {

namespace {

bool HOST_ABI RegisterCommandPlugin(const HostTable* host, std::int32_t id, HostStringView name,
                                    std::int32_t info, const HostBitmap* icon, HostStringView help,
                                    const HostCommandClass* klass, void* instance,
                                    std::int32_t api_version) {
    RegisteredCommand command;
    command.id = id;
    command.name = Text(name);
    command.help = Text(help);
    command.info = info;
    command.apiVersion = api_version;
    command.hasIcon = icon != nullptr;
    // The module may free its bitmap after registering: the host keeps its own copy to draw.
    if (icon != nullptr) {
        command.icon = std::make_shared<const Bitmap>(*reinterpret_cast<const Bitmap*>(icon));
    }
    command.klass = klass;
    command.instance = instance;
    return Host::FromTable(host).RegisterCommand(std::move(command));
}

// Preference pages are the one kind of plug-in besides commands that modules register here.
bool HOST_ABI RegisterPlugin(const HostTable* host, std::int32_t type, std::int32_t id,
                             HostStringView name, std::int32_t info, const void* klass,
                             std::int32_t api_version) {
    if (type != HOST_PLUGIN_PREFS) return false;
    return Host::FromTable(host).RegisterPreferencePage(
        id, std::string(Text(name)), info, static_cast<const HostPageClass*>(klass), api_version);
}

HostPlugin* HOST_ABI FindPlugin(const HostTable* host, std::int32_t id, std::int32_t type) {
    PluginRecord* record = Host::FromTable(host).FindPlugin(id, type);
    return record != nullptr ? record->Handle() : nullptr;
}

std::int32_t HOST_ABI PluginGetInfo(const HostTable* /*host*/, const HostPlugin* plugin) {
    return plugin != nullptr ? PluginRecord::FromHandle(plugin)->info : 0;
}

HostContainerRef* HOST_ABI PluginGetDataInstance(const HostTable* /*host*/, HostPlugin* plugin) {
    return plugin != nullptr ? PluginRecord::FromHandle(plugin)->data.Ref() : nullptr;
}

const Resource* ResourceOf(const HostResource* handle) {
    return reinterpret_cast<const Resource*>(handle);
}

// The host keeps its own copy of the description: the module releases its resource at its end.
bool HOST_ABI RegisterDescription(const HostTable* host, std::int32_t id, HostStringView name,
                                  const HostResource* resource) {
    if (resource == nullptr) return false;
    const Description* description = ResourceOf(resource)->FindDescription(Text(name));
    if (description == nullptr) return false;
    Host::FromTable(host).Pages().RegisterDescription(id, *description);
    return true;
}

// A folder that fails to load is reported on the console, file by file, as the host does.
HostResource* HOST_ABI LoadResource(const HostTable* host, HostStringView folder) {
    Host& self = Host::FromTable(host);
    std::vector<std::string> errors;
    Resource* resource = self.LoadResource(std::string(Text(folder)), errors);
    for (std::string& error : errors) {
        self.WriteConsole(ConsoleLine{HOST_LOGGER_DEFAULT, HOST_TARGETAUDIENCE_ALL,
                                      HOST_WRITEMETA_DEFAULT, std::move(error), "resource", 0});
    }
    return reinterpret_cast<HostResource*>(resource);
}

void HOST_ABI FreeResource(const HostTable* host, HostResource* resource) {
    Host::FromTable(host).FreeResource(reinterpret_cast<Resource*>(resource));
}

// The string in the host's language; without a resource every string is the empty text.
std::size_t HOST_ABI LoadString(const HostTable* host, const HostResource* resource,
                                std::int32_t id, char* buffer, std::size_t capacity) {
    if (resource == nullptr) return WriteText({}, buffer, capacity);
    const std::string language = Host::FromTable(host).LanguageCode();
    return WriteText(ResourceOf(resource)->LoadString(id, language), buffer, capacity);
}

constexpr HostRegistryArea kArea{
    .size = sizeof(HostRegistryArea),
    .register_command_plugin = &RegisterCommandPlugin,
    .register_plugin = &RegisterPlugin,
    .find_plugin = &FindPlugin,
    .plugin_get_info = &PluginGetInfo,
    .plugin_get_data_instance = &PluginGetDataInstance,
    .register_description = &RegisterDescription,
    .load_resource = &LoadResource,
    .free_resource = &FreeResource,
    .load_string = &LoadString,
};

}  // namespace

const HostRegistryArea* RegistryArea() { return &kArea; }

}  // namespace vhost::table
