/* Atom arrays: counted lists of object handles, through which the host hands over several objects
 * at once (the selection, see `get_active_objects` in host_documents.h).
 *
 * An array the module created is the module's until `atom_array_destroy`; the handles in it are
 * the host's, as every object handle is (host_objects.h). The functions are members of the
 * document area (host_documents.h). */
#ifndef VELA_HOST_HOST_ATOM_ARRAYS_H
#define VELA_HOST_HOST_ATOM_ARRAYS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* `atom_array_create`: a new empty atom array that the caller owns until `atom_array_destroy`. */
typedef HostAtomArray*(HOST_ABI* HostAtomArrayCreateFn)(const HostTable* host);

/* `atom_array_destroy`: releases an array the caller owns. */
typedef void(HOST_ABI* HostAtomArrayDestroyFn)(const HostTable* host, HostAtomArray* array);

/* `atom_array_count`: the number of handles in the array. */
typedef int32_t(HOST_ABI* HostAtomArrayCountFn)(const HostTable* host, const HostAtomArray* array);

/* `atom_array_get`: the handle at `index`; null past the end. */
typedef HostObject*(HOST_ABI* HostAtomArrayGetFn)(const HostTable* host, const HostAtomArray* array,
                                                  int32_t index);

#ifdef __cplusplus
}
#endif

#endif
