/* The host's shortcut table.
 *
 * Each entry is a container: HOST_SHORTCUT_PLUGINID names the command, HOST_SHORTCUT_ADDRESS the
 * manager it is tied to (0 = global), and the key strokes follow as qualifier/key pairs under the
 * keys 0/1, 10/11, 20/21 and so on; the first pair whose key is 0 ends the strokes.
 * Indices are positions in the table at the time of the call: removing an entry moves the entries
 * after it down by one. */
#ifndef VELA_HOST_HOST_SHORTCUTS_H
#define VELA_HOST_HOST_SHORTCUTS_H

#include "host_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

enum { HOST_SHORTCUT_PLUGINID = 1000, HOST_SHORTCUT_ADDRESS = 1001 };

typedef struct HostShortcutArea {
    size_t size; /* sizeof(HostShortcutArea) of the host that filled it */

    /* The number of entries in the table. */
    int32_t(HOST_ABI* get_count)(const HostTable* host);
    /* Copies entry `index` into `record` (replacing its contents). False for an index outside the
     * table. */
    bool(HOST_ABI* get)(const HostTable* host, int32_t index, HostContainer* record);
    /* Appends a copy of `record`. False when the record names no command or no stroke. */
    bool(HOST_ABI* add)(const HostTable* host, const HostContainer* record);
    /* Removes entry `index`. False for an index outside the table. */
    bool(HOST_ABI* remove)(const HostTable* host, int32_t index);
    /* Writes the indices of the entries bound to plug-in `id`, in table order, into `indices`
     * (at most `capacity` of them) and returns how many were written. */
    int32_t(HOST_ABI* find_from_id)(const HostTable* host, int32_t id, int32_t* indices,
                                    int32_t capacity);
    /* The text of a shortcut record as the host shows it, into the caller's buffer (see
     * host_abi.h): strokes joined with "~"; the empty text when the first key is 0. */
    size_t(HOST_ABI* to_string)(const HostTable* host, const HostContainer* record, char* buffer,
                                size_t capacity);
} HostShortcutArea;

#ifdef __cplusplus
}
#endif

#endif
