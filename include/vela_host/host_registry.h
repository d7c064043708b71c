/* Registration of a module's plug-ins, plug-in look-up, and the module's resource.
 *
 * Everything a module registers belongs to the host from the moment the registration call is
 * made, whether the host accepts it or not: the host disposes of each instance through its class's
 * `destroy` callback (at the latest when it shuts down), and the module never frees it.
 * Registrations are accepted only while the host starts the module; a registration in any other
 * phase is refused (and its instance disposed of, as for any refusal). */
#ifndef VELA_HOST_HOST_REGISTRY_H
#define VELA_HOST_HOST_REGISTRY_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Plug-in types. */
enum { HOST_PLUGIN_COMMAND = 4, HOST_PLUGIN_OBJECT = 5, HOST_PLUGIN_PREFS = 35 };

/* Info flags of object plug-ins. */
enum {
    HOST_OBJECT_INFO_GENERATOR = 4,
    HOST_OBJECT_INFO_INPUT = 8 /* a generator that takes its children as input */
};

/* Info flags of command plug-ins. */
enum { HOST_COMMAND_INFO_HIDE_PLUGIN_MENU = 0x10000000 };

/* Command states answered by `get_state`. */
enum { HOST_COMMAND_ENABLED = 0x40000000, HOST_COMMAND_CHECKED = 0x00000001 };

/* A command, as the module's class table plus the instance the host passes back to it. */
typedef struct HostCommandClass {
    size_t size; /* sizeof(HostCommandClass) of the module that filled it */
    /* The user invoked the command in `document` (the active one). `parent` is the host's dialog
     * the command was invoked from, or null; it belongs to the host and is valid for this call
     * only. False reports failure to the host. [main-thread, running] */
    bool(HOST_ABI* execute)(void* instance, HostDocument* document, HostDialog* parent);
    /* HOST_COMMAND_* flags for drawing the command's button in `document`; `parent` as for
     * `execute`. [main-thread, running] */
    int32_t(HOST_ABI* get_state)(void* instance, HostDocument* document, HostDialog* parent);
    /* Runs the instance's destructor and releases it. Called once, by the host: while the module
     * ends, or at once when the host refuses the registration.
     * [main-thread, ending; or within a refused `register_command_plugin`] */
    void(HOST_ABI* destroy)(void* instance);
} HostCommandClass;

typedef struct HostRegistryArea {
    size_t size; /* sizeof(HostRegistryArea) of the host that filled it */

    /* Registers a command under plug-in type HOST_PLUGIN_COMMAND. `icon` may be null; the host
     * copies it and the module keeps (and frees) its own bitmap. `api_version` is the interface
     * version the module was built for. True when the host accepted the command; on false the
     * instance has been disposed of already (through `klass->destroy`: a module that passes no
     * class table, or one without `destroy`, keeps the instance). [main-thread, starting] */
    bool(HOST_ABI* register_command_plugin)(const HostTable* host, int32_t id, HostStringView name,
                                            int32_t info, const HostBitmap* icon,
                                            HostStringView help, const HostCommandClass* klass,
                                            void* instance, int32_t api_version);

    /* Registers a plug-in of the given type whose class table is `klass` (for HOST_PLUGIN_PREFS a
     * HostPageClass, see host_preferences.h). The host creates its instances through the class
     * table. True when accepted. [main-thread, starting] */
    bool(HOST_ABI* register_plugin)(const HostTable* host, int32_t type, int32_t id,
                                    HostStringView name, int32_t info, const void* klass,
                                    int32_t api_version);

    /* A registered plug-in of the given id and type; null when there is none. The handle lives
     * as long as the host. */
    HostPlugin*(HOST_ABI* find_plugin)(const HostTable* host, int32_t id, int32_t type);
    /* The info flags the plug-in was registered with. */
    int32_t(HOST_ABI* plugin_get_info)(const HostTable* host, const HostPlugin* plugin);
    /* The plug-in record's own data container, in place. Never null. */
    HostContainerRef*(HOST_ABI* plugin_get_data_instance)(const HostTable* host,
                                                          HostPlugin* plugin);

    /* Makes the description named `name` of the module's loaded resource available for plug-in
     * `id`. False when the resource holds no description of that name. [main-thread, starting] */
    bool(HOST_ABI* register_description)(const HostTable* host, int32_t id, HostStringView name,
                                         const HostResource* resource);

    /* Loads the plug-in resource in `folder` (string tables, descriptions, symbols). Null when
     * the folder is missing or unreadable. The module owns the handle until `free_resource`. */
    HostResource*(HOST_ABI* load_resource)(const HostTable* host, HostStringView folder);
    /* Releases a resource the module loaded. */
    void(HOST_ABI* free_resource)(const HostTable* host, HostResource* resource);

    /* String `id` of the resource's string table, in the host's language (falling back to
     * English, then to any language that has it). Writes the empty text when `resource` is null
     * or has no such string. */
    size_t(HOST_ABI* load_string)(const HostTable* host, const HostResource* resource, int32_t id,
                                  char* buffer, size_t capacity);
} HostRegistryArea;

#ifdef __cplusplus
}
#endif

#endif
