/* Basic types shared by every area of the host interface table, and how its contracts read.
 *
 * The table is plain C: it is compiled by the module and by the host with whatever compiler each
 * uses, and no C++ type, exception or allocator crosses it. Host objects are opaque handles; texts
 * cross as UTF-8 with an explicit length.
 *
 * Threads and phases
 * ------------------
 *   main-thread  The thread on which the host calls the module's entry point. The host has no
 *                other thread for modules: every function and callback of the table is called on
 *                it, and none may be called from a thread the module starts.
 *
 * A module goes through these phases, in this order. When a step fails the host goes on with
 * `ending` (with `unloaded` when the module file itself was refused).
 *
 *   loaded           The host has opened the module file and read its exports and module record;
 *                    it has called nothing yet.
 *   initialised      HOST_ACTION_INIT handed over the table and the module accepted it. The
 *                    module may call the table from here to the end of `ending`.
 *   resource loaded  The host has sent HOST_PLUGINMSG_LOAD_RESOURCE (whatever the module answered:
 *                    a module without its resource is still started).
 *   starting         The host is calling HOST_ACTION_START. The only phase in which the host
 *                    accepts registrations.
 *   running          HOST_ACTION_START answered HOST_ENTRY_OK. The host calls what the module
 *                    registered and sends it messages.
 *   ending           The host calls HOST_ACTION_END and destroys, before or after it, every
 *                    instance the module handed over.
 *   unloaded         The module file is closed; nothing of the module is called any more.
 *
 * When a call may be made
 * -----------------------
 * Unless its contract says otherwise, a function of the host's table may be called on the main
 * thread in any phase from initialised: initialised, resource loaded, starting, running and
 * ending. This default, [main-thread, any phase from initialised], is written nowhere else. A
 * function that may be called in fewer phases ends its contract with a tag in brackets: the
 * thread, then one phase ("[main-thread, starting]"), several, or a span ("any phase from
 * loaded"). "within `f`" restricts a call to the time inside a call of `f` (a dialog's layout
 * calls are valid only within its `create_layout` callback); the phase is then the phase of that
 * call.
 *
 * The contract of every callback of the module, of every action of its entry point and of the
 * processor-yield hook ends with its tag, which says when the host calls it: they have no default.
 *
 * A comment followed by several declarations without comments of their own is the contract of
 * each of them, its tag included. */
#ifndef VELA_HOST_HOST_ABI_H
#define VELA_HOST_HOST_ABI_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Calling convention of every function pointer in the table. x64 Windows and the System V ABI have
 * one convention each; the macro keeps the header honest should a 32-bit target ever appear. */
#if defined(_WIN32) && !defined(_WIN64)
#define HOST_ABI __cdecl
#else
#define HOST_ABI
#endif

/* The interface version this header describes. The host writes its own version into the first
 * 32-bit word of the table; modules refuse hosts older than the version they were built for.
 *
 * Versions
 *   2023000  The table with its eight areas (registry, containers, documents, preferences,
 *            shortcuts, dialogs, files, console) as these headers declare them, the entry point's
 *            actions of host_entry.h and module records of version 2022901.
 *
 * How the interface grows: a function is added at the end of its area (the area's size grows with
 * it), a new area at the end of HostTable, and the version rises; the comment of the new member
 * names the version that added it. Nothing is removed, moved or retyped. A module that calls a
 * later member either refuses older hosts by their version or checks the member with
 * HOST_AREA_HAS (host_table.h) before it calls it. */
#define HOST_INTERFACE_VERSION 2023000

/* A text handed to the other side: UTF-8, not necessarily terminated, `size` bytes long. The
 * callee copies what it keeps; the memory stays the caller's. A null `data` with size 0 is the
 * empty text. */
typedef struct HostStringView {
    const char* data;
    size_t size;
} HostStringView;

/* Texts handed back to the caller are written into the caller's buffer, snprintf style: the callee
 * copies at most `capacity` bytes (no terminator) and returns the full size of the text, so a
 * caller whose buffer was too small calls again with a larger one. */

/* Opaque handles. Their lifetime is stated with each function that hands one out. */
typedef struct HostTable HostTable;
typedef struct HostContainer HostContainer;
typedef struct HostValue HostValue;
typedef struct HostDocument HostDocument;
typedef struct HostObject HostObject;
typedef struct HostAtomArray HostAtomArray;
typedef struct HostTakeData HostTakeData;
typedef struct HostTake HostTake;
typedef struct HostPlugin HostPlugin;
typedef struct HostResource HostResource;
typedef struct HostDescription HostDescription;
typedef struct HostBitmap HostBitmap;
typedef struct HostDialog HostDialog;
typedef struct HostLogger HostLogger;

/* A place that names a container in place. Functions that give access to a container the host
 * keeps (a document's or object's data, a nested container, the world container) return the
 * address of such a slot rather than the bare handle, so the client layer can present the slot as
 * a reference to the container. The slot and the container live as long as their owner; the slot
 * always names the same container. */
typedef struct HostContainerRef {
    HostContainer* container;
} HostContainerRef;

/* The same for a value object the host passes to a module (a parameter being read or written). */
typedef struct HostValueRef {
    HostValue* value;
} HostValueRef;

#ifdef __cplusplus
}
#endif

#endif
