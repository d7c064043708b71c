/* The host's preferences: the world container, preference pages and their descriptions.
 *
 * A preference page is a plug-in of type HOST_PLUGIN_PREFS. The host creates its instances through
 * the page class's `alloc` when it builds the preferences window (and once at start-up), and
 * calls the description and parameter callbacks while it draws the page and the user edits it. */
#ifndef VELA_HOST_HOST_PREFERENCES_H
#define VELA_HOST_HOST_PREFERENCES_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A parameter id of a description: up to seven levels, each an id, a data type and a creator. */
#define HOST_DESCID_MAX_LEVELS 7
typedef struct HostDescLevel {
    int32_t id;
    int32_t dtype;
    int32_t creator;
} HostDescLevel;
typedef struct HostDescId {
    int32_t count; /* levels in use; 0 is the empty id */
    HostDescLevel levels[HOST_DESCID_MAX_LEVELS];
} HostDescId;

/* Flags exchanged with the description and parameter callbacks. */
enum {
    HOST_DESCFLAGS_DESC_LOADED = 2,
    HOST_DESCFLAGS_DESC_NEEDDEFAULTVALUE = 0x20,
    HOST_DESCFLAGS_GET_PARAM_GET = 2,
    HOST_DESCFLAGS_SET_PARAM_SET = 2
};

/* Key of a parameter's settings container (in a description) that holds its default value. */
enum { HOST_DESC_DEFAULT = 16 };

/* Message types sent to a page's `message` callback. */
enum {
    HOST_MSG_DESCRIPTION_COMMAND = 18,  /* data: HostDescriptionCommand */
    HOST_MSG_DESCRIPTION_GETBITMAP = 27 /* data: HostDescriptionGetBitmap */
};

/* A button of the page's description was clicked. */
typedef struct HostDescriptionCommand {
    HostDescId id;
} HostDescriptionCommand;

/* The host asks for the bitmap a bitmap button shows. A module that supplies one stores it in
 * `bitmap`; the host owns it from then on and frees it. */
typedef struct HostDescriptionGetBitmap {
    HostDescId id;
    HostBitmap* bitmap;
} HostDescriptionGetBitmap;

/* Custom data type of a bitmap button's value, and its record. */
enum { HOST_CUSTOMDATA_BITMAPBUTTON = 1001053 };
typedef struct HostBitmapButtonData {
    const void* node; /* the page node the request was made on */
    HostDescId id;    /* the full id of the request */
    int32_t dirty;    /* change counter: a new value makes the host ask for the bitmap again */
} HostBitmapButtonData;

/* A page node: the host's handle of one page instance, passed to every callback. */
typedef struct HostNode HostNode;

/* A preference page, as the module's class table. Every callback but `alloc` gets the instance
 * that `alloc` returned. */
typedef struct HostPageClass {
    size_t size; /* sizeof(HostPageClass) of the module that filled it */
    /* The module's own data for `alloc`; the class table and this stay valid while the module is
     * loaded. */
    void* context;
    /* A new instance, or null when out of memory. [main-thread, running] */
    void*(HOST_ABI* alloc)(void* context);
    /* Runs the instance's destructor and releases it. Called once, by the host.
     * [main-thread, ending] */
    void(HOST_ABI* destroy)(void* instance);
    /* The new instance is the page `node`; called once, right after `alloc`.
     * [main-thread, running] */
    bool(HOST_ABI* init)(void* instance, HostNode* node);
    /* A message of type HOST_MSG_* with its data; false when the page did not handle it.
     * [main-thread, running] */
    bool(HOST_ABI* message)(void* instance, HostNode* node, int32_t type, void* data);
    /* Fills `description`; `flags` in and out (HOST_DESCFLAGS_DESC_*). [main-thread, running] */
    bool(HOST_ABI* get_description)(void* instance, HostNode* node, HostDescription* description,
                                    int32_t* flags);
    /* Reads parameter `id` into `value`; sets HOST_DESCFLAGS_GET_PARAM_GET in `flags` when it
     * supplied the value. [main-thread, running] */
    bool(HOST_ABI* get_parameter)(void* instance, HostNode* node, const HostDescId* id,
                                  HostValueRef* value, int32_t* flags);
    /* Takes `value` for parameter `id`; sets HOST_DESCFLAGS_SET_PARAM_SET when it took it.
     * [main-thread, running] */
    bool(HOST_ABI* set_parameter)(void* instance, HostNode* node, const HostDescId* id,
                                  const HostValueRef* value, int32_t* flags);
    /* Whether parameter `id` is enabled. `settings` is the parameter's description container.
     * [main-thread, running] */
    bool(HOST_ABI* get_enabling)(void* instance, HostNode* node, const HostDescId* id,
                                 const HostValueRef* value, int32_t flags,
                                 const HostContainer* settings);
} HostPageClass;

typedef struct HostPreferenceArea {
    size_t size; /* sizeof(HostPreferenceArea) of the host that filled it */

    /* The host's preferences, in place. Kept by the host between runs. Never null. */
    HostContainerRef*(HOST_ABI* get_world_container_instance)(const HostTable* host);

    /* Loads the registered description `name` into `description`. False when no description of
     * that name is registered. [main-thread, within `get_description`] */
    bool(HOST_ABI* description_load)(const HostTable* host, HostDescription* description,
                                     HostStringView name);
    /* The settings container of parameter `id` in `description`, in place; null when the
     * description has no such parameter. [main-thread, within `get_description`] */
    HostContainerRef*(HOST_ABI* description_get_parameter)(const HostTable* host,
                                                           HostDescription* description,
                                                           const HostDescId* id);
    /* When the host asks for one parameter only, writes its id to `single` and answers true.
     * [main-thread, within `get_description`] */
    bool(HOST_ABI* description_get_single)(const HostTable* host,
                                           const HostDescription* description, HostDescId* single);

    /* Asks the host to redraw its interface (the preferences window included). */
    void(HOST_ABI* update_interface)(const HostTable* host);
} HostPreferenceArea;

#ifdef __cplusplus
}
#endif

#endif
