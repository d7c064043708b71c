/* The module's side of loading: its exported entry point and module record.
 *
 * A module exports exactly three symbols: the entry point `c4d_main`, the module record `g_maxon`
 * and the processor-yield hook `g_CpuYieldDelegate`. The host reads `g_maxon` when it loads the
 * module, then calls `c4d_main` with, in this order: HOST_ACTION_INIT, HOST_ACTION_MESSAGE with
 * HOST_PLUGINMSG_LOAD_RESOURCE, HOST_ACTION_START, and HOST_ACTION_END when it shuts down. */
#ifndef HOST_API_TABLE_HOST_ENTRY_H
#define HOST_API_TABLE_HOST_ENTRY_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Actions of the entry point and their arguments. */
enum {
    /* p1: const HostTable*; p3: const HostStringView* with the module file's full path.
     * Answers 1, or HOST_ENTRY_UNSUPPORTED_HOST for a host older than the module. */
    HOST_ACTION_INIT = 1,
    /* No arguments. Answers 1 when the module started, 0 when it failed to. */
    HOST_ACTION_START = 2,
    /* No arguments. Answers 1. */
    HOST_ACTION_END = 3,
    /* No arguments. Answers the module's kind (5). */
    HOST_ACTION_QUERY = 4,
    /* p1: the message id (low 32 bits); p2: the message's data. Answers 1 when handled, else -1. */
    HOST_ACTION_MESSAGE = 6
};

/* Plug-in messages sent with HOST_ACTION_MESSAGE. */
enum {
    HOST_PLUGINMSG_NONE = 0,
    HOST_PLUGINMSG_LOAD_RESOURCE = 1 /* load the module's resource folder */
};

/* Answers of the entry point. */
enum {
    HOST_ENTRY_OK = 1,
    HOST_ENTRY_FAILED_START = 0,
    HOST_ENTRY_UNHANDLED = -1,
    HOST_ENTRY_UNSUPPORTED_HOST = -3
};

typedef int32_t(HOST_ABI* HostModuleEntry)(int32_t action, void* p1, void* p2, void* p3);

#define HOST_MODULE_ENTRY_SYMBOL "c4d_main"

#ifdef __cplusplus
}
#endif

#endif
