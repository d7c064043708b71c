/* Basic types shared by every area of the host interface table.
 *
 * The table is plain C: it is compiled by the module and by the host with whatever compiler each
 * uses, and no C++ type, exception or allocator crosses it. Host objects are opaque handles; texts
 * cross as UTF-8 with an explicit length. */
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
 * 32-bit word of the table; modules refuse hosts older than the version they were built for. */
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
