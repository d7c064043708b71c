#include "host_interface.h"

namespace hostapi {

namespace detail {
const HostTable* g_table = nullptr;
}  // namespace detail

using detail::g_table;

namespace {
const HostResource* g_resource = nullptr;
const std::string* g_modulePath = nullptr;
}  // namespace

// The last member of each area that the client layer calls. A call of a later member must move
// its area's line here, or the module would call through a slot that an older host lacks.
bool HostInterface::Supports(const HostTable* table) {
    return table != nullptr && table->version >= HOST_INTERFACE_VERSION &&
           HOST_AREA_HAS(table->registry, HostRegistryArea, load_string) &&
           HOST_AREA_HAS(table->containers, HostContainerArea, value_set_custom) &&
           HOST_AREA_HAS(table->documents, HostDocumentArea, event_add) &&
           HOST_AREA_HAS(table->preferences, HostPreferenceArea, update_interface) &&
           HOST_AREA_HAS(table->shortcuts, HostShortcutArea, to_string) &&
           HOST_AREA_HAS(table->dialogs, HostDialogArea, message_dialog) &&
           HOST_AREA_HAS(table->files, HostFileArea, open_web_address) &&
           HOST_AREA_HAS(table->console, HostConsoleArea, write);
}

void HostInterface::Attach(const HostTable* table) { g_table = table; }
void HostInterface::Detach() { g_table = nullptr; }
bool HostInterface::IsAttached() { return g_table != nullptr; }

void HostInterface::SetResource(const HostResource* resource) { g_resource = resource; }
const HostResource* HostInterface::Resource() { return g_resource; }

void HostInterface::SetModulePath(const std::string* path) { g_modulePath = path; }
std::string HostInterface::ModulePath() { return g_modulePath != nullptr ? *g_modulePath : ""; }

}  // namespace hostapi
