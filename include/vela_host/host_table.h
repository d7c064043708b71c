/* The host interface table: everything a module may ask of the host.
 *
 * The host hands the table to the module with HOST_ACTION_INIT and keeps it alive until the module
 * is unloaded. The first 32-bit word is the host's interface version, which a module compares with
 * the version it was built for before it reads anything else. Each area begins with its own size,
 * so an area can grow at its end without breaking modules built against an older header (see the
 * versions in host_abi.h): a module checks an area with HOST_AREA_HAS before it calls a member that
 * a table of an older size may lack.
 *
 * Every function takes the table itself as its first argument; the host finds its own state from
 * it. When each function may be called, and what the tags that end some contracts mean, is said
 * in host_abi.h. */
#ifndef VELA_HOST_HOST_TABLE_H
#define VELA_HOST_HOST_TABLE_H

#include "host_abi.h"
#include "host_console.h"
#include "host_containers.h"
#include "host_dialogs.h"
#include "host_documents.h"
#include "host_files.h"
#include "host_preferences.h"
#include "host_registry.h"
#include "host_shortcuts.h"

#ifdef __cplusplus
extern "C" {
#endif

struct HostTable {
    int32_t version; /* HOST_INTERFACE_VERSION of the host */
    const HostRegistryArea* registry;
    const HostContainerArea* containers;
    const HostDocumentArea* documents;
    const HostPreferenceArea* preferences;
    const HostShortcutArea* shortcuts;
    const HostDialogArea* dialogs;
    const HostFileArea* files; /* bitmaps, file names, languages, the system */
    const HostConsoleArea* console;
};

/* True when `area` (a pointer to an area struct of type `type`, or null) is present and large
 * enough to hold `member`. */
#define HOST_AREA_HAS(area, type, member) \
    ((area) != NULL && (area)->size >= offsetof(type, member) + HOST_MEMBER_SIZE(type, member))

#ifdef __cplusplus
#define HOST_MEMBER_SIZE(type, member) sizeof(type::member)
#else
#define HOST_MEMBER_SIZE(type, member) sizeof(((type*)0)->member)
#endif

#ifdef __cplusplus
}
#endif

#endif
