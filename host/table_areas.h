// The areas of the interface table, one struct of function pointers each, which the host puts
// into the table it hands to every module. They are declared here, beside the host, and defined
// above it in host/table/: each area's functions find their host from the table and forward to it.
#pragma once

#include "vela_host/host_table.h"

namespace vhost::table {

const HostRegistryArea* RegistryArea();
const HostContainerArea* ContainerArea();
const HostDocumentArea* DocumentArea();
const HostPreferenceArea* PreferenceArea();
const HostShortcutArea* ShortcutArea();
const HostDialogArea* DialogArea();
const HostFileArea* FileArea();
const HostConsoleArea* ConsoleArea();

}  // namespace vhost::table
