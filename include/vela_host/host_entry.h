/* The module's side of loading: its exported entry point and module record.
 *
 * A module exports exactly three symbols: the entry point `c4d_main`, the module record `g_maxon`
 * and the processor-yield hook `g_CpuYieldDelegate`. The host reads `g_maxon` when it loads the
 * module, then calls `c4d_main` with, in this order: HOST_ACTION_INIT, HOST_ACTION_MESSAGE with
 * HOST_PLUGINMSG_LOAD_RESOURCE, HOST_ACTION_START, and HOST_ACTION_END when it shuts down. Each
 * action moves the module into the next of the phases described in host_abi.h.
 *
 * Every HOST_ACTION_INIT is matched by one HOST_ACTION_END, whatever it answered: a host that
 * abandons a module after a refused initialisation still ends it. A module acts on the first
 * initialisation and counts the others; the end that brings the count to 0 is its last. An end
 * that matches no initialisation changes nothing.
 * Rationale: the actions after HOST_ACTION_INIT carry no table, so a module file, which the
 * system loads once per process however often it is opened, serves one host at a time. A module
 * refuses (HOST_ENTRY_UNSUPPORTED_HOST) an initialisation that hands over another table while it
 * holds one. */
#ifndef VELA_HOST_HOST_ENTRY_H
#define VELA_HOST_HOST_ENTRY_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Actions of the entry point and their arguments. */
enum {
    /* p1: const HostTable*; p3: const HostStringView* with the module file's full path.
     * Answers HOST_ENTRY_OK, or HOST_ENTRY_UNSUPPORTED_HOST for a table the module cannot use (a
     * host older than the module, an area that lacks a member the module calls, another host's
     * table while the module holds one). [main-thread, loaded] */
    HOST_ACTION_INIT = 1,
    /* No arguments. The module registers its plug-ins. Answers HOST_ENTRY_OK when the module
     * started, HOST_ENTRY_FAILED_START when it failed to. [main-thread, resource loaded] */
    HOST_ACTION_START = 2,
    /* No arguments. Answers HOST_ENTRY_OK. [main-thread, ending] */
    HOST_ACTION_END = 3,
    /* No arguments. Answers the module's kind, HOST_ENTRY_PLUGIN_MODULE.
     * [main-thread, any phase from loaded] */
    HOST_ACTION_QUERY = 4,
    /* p1: the message id (low 32 bits); p2: the message's data. Answers HOST_ENTRY_OK when handled,
     * else HOST_ENTRY_UNHANDLED. [main-thread, initialised for HOST_PLUGINMSG_LOAD_RESOURCE;
     * running for the others] */
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
    HOST_ENTRY_UNSUPPORTED_HOST = -3,
    HOST_ENTRY_PLUGIN_MODULE = 5 /* HOST_ACTION_QUERY: a module that holds plug-ins */
};

typedef int32_t(HOST_ABI* HostModuleEntry)(int32_t action, void* p1, void* p2, void* p3);

/* The module record `g_maxon`, read by the host's framework when it loads the module.
 *
 * Its first two words hold HOST_MODULE_RECORD_VERSION. The third is the head of a list into which
 * the module's static initialisers link one declaration each, before any entry message: the
 * module's own identifier (reverse domain, ending in the module's name) and every framework the
 * module is built against. The remaining words are zero in the file; they belong to the host. */
#define HOST_MODULE_RECORD_VERSION 2022901

enum {
    HOST_DECLARATION_MODULE = 1,   /* the module's own identifier */
    HOST_DECLARATION_FRAMEWORK = 2 /* a framework the module is built against */
};

typedef struct HostModuleRecord HostModuleRecord;

typedef struct HostModuleDeclaration {
    const HostModuleRecord* module;           /* the record the declaration belongs to */
    const struct HostModuleDeclaration* next; /* the next declaration, or null */
    int32_t kind;                             /* HOST_DECLARATION_* */
    const char* identifier;                   /* terminated UTF-8 */
} HostModuleDeclaration;

struct HostModuleRecord {
    uint64_t version;
    uint64_t compatibility;
    const HostModuleDeclaration* declarations;
    uint64_t reserved[5];
};

/* The processor-yield hook: busy-wait loops of the module call it when they have spun long enough;
 * the host may store its own routine there. [main-thread, any phase from loaded] */
typedef void(HOST_ABI* HostCpuYield)(void);

/* Marks the three exports in a module's source; everything else in a module stays hidden. */
#if defined(_WIN32)
#define HOST_MODULE_EXPORT __declspec(dllexport)
#else
#define HOST_MODULE_EXPORT __attribute__((visibility("default")))
#endif

#define HOST_MODULE_ENTRY_SYMBOL "c4d_main"
#define HOST_MODULE_RECORD_SYMBOL "g_maxon"
#define HOST_MODULE_YIELD_SYMBOL "g_CpuYieldDelegate"

#ifdef __cplusplus
}
#endif

#endif
